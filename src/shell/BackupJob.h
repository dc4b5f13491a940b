#pragma once

#include "Database.h"

#include <QObject>
#include <QString>

class QThread;

/// One backup written on a thread of its own, on a connection of its own,
/// while the clerk goes on working; finished() comes back on the thread
/// that started it.
class BackupJob : public QObject
{
    Q_OBJECT

public:
    /// Starts a backup of the database at where into the backup folder (the
    /// settings are read now, on the caller's thread).
    explicit BackupJob(const Database::Location& where, QObject* parent = nullptr);
    ~BackupJob() override;

    bool isRunning() const;
    /// Waits until the backup is written or has failed (finished() has not
    /// been sent yet when this returns; it follows from the event loop).
    void wait();
    /// What finished() said; "" before.
    bool succeeded() const { return ok_; }
    QString text() const { return text_; }

signals:
    /// ok: "Backup written: FILE (checked)"; else why none was written.
    void finished(bool ok, const QString& text);

private:
    QThread* thread_ = nullptr;
    bool ok_ = false;
    QString text_;
};
