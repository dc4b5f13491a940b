#include "BackupJob.h"

#include "Backup.h"
#include "DbError.h"

#include <QDir>
#include <QThread>

BackupJob::BackupJob(const Database::Location& where, QObject* parent) : QObject(parent)
{
    const QString dir = Backup::folder();
    const int keep = Backup::keep();
    thread_ = QThread::create([this, where, dir, keep] {
        try {
            std::shared_ptr<Database> db = Database::open(where);
            const Backup::Result r = Backup::make(*db, dir, keep);
            text_ = QStringLiteral("Backup written: %1 (checked)")
                        .arg(QDir::toNativeSeparators(r.file));
            if (!r.unfinished.isEmpty())
                text_ += QStringLiteral("; an unfinished backup was removed: ") +
                         r.unfinished.join(QStringLiteral(", "));
            ok_ = true;
        } catch (const DbError& e) {
            text_ = e.description();
        }
    });
    connect(thread_, &QThread::finished, this, [this] { emit finished(ok_, text_); });
    thread_->start(QThread::LowPriority);
}

BackupJob::~BackupJob()
{
    thread_->wait();
    delete thread_;
}

bool BackupJob::isRunning() const
{
    return thread_->isRunning();
}

void BackupJob::wait()
{
    thread_->wait();
}
