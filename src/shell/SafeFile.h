#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSaveFile>
#include <QString>

/// Writes a file so that an old file of that name is replaced only by a
/// complete new one: the bytes go to a temporary file beside it, every write
/// is checked as it happens, and the new file takes the old one's place only
/// when all of it reached the disk. A failed write (a full disk, a folder
/// that cannot be written) leaves the old file as it was and says why in
/// errorString() ("No space left on device").
///
/// Every file the program writes goes through here: QSaveFile alone is not
/// enough, since Qt 6.4's commit() reports success when its last flush
/// failed, and the old file is then replaced by a cut one.
class SafeFile
{
public:
    explicit SafeFile(const QString& path);
    /// Abandons the new file unless commit() succeeded.
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    /// Before open(): the new file is readable and writable by its owner
    /// only, from its first byte on (a file with a password in it).
    void setOwnerOnly(bool on) { ownerOnly_ = on; }
    bool open();
    /// Appends bytes (kept in a buffer, written in blocks). After a failure
    /// every further call returns false and the file cannot be committed.
    bool write(QByteArrayView bytes);
    bool write(char c) { return write(QByteArrayView(&c, 1)); }
    /// Writes what is buffered and checks that all of it reached the
    /// system, so that commit() has only to put the file in place. On
    /// failure the new file is abandoned and the old one stays.
    bool finishWriting();
    /// Writes what is buffered, then puts the new file in place. On failure
    /// the new file is removed and the old one stays.
    bool commit();
    /// Abandons the new file; the old one stays.
    void cancel();

    bool failed() const { return !error_.isEmpty(); }
    /// The cause of the failure, as the system words it.
    const QString& errorString() const { return error_; }
    const QString& path() const { return path_; }

    /// Writes bytes as the file at path. On failure *error holds the cause.
    static bool save(const QString& path, QByteArrayView bytes, QString* error);
    /// save() of a file readable by its owner only.
    static bool saveOwnerOnly(const QString& path, QByteArrayView bytes, QString* error);

    /// Commits files that belong together (the XML pair): no file replaces
    /// its old one unless every one of them was written in full. Should
    /// putting one in place fail after another already is, the old files
    /// are put back (a file that had none is removed). On failure
    /// *failedFile is the file that failed; its errorString() says why.
    static bool commitAll(const QList<SafeFile*>& files, SafeFile** failedFile = nullptr);

private:
    bool flushBuffer();
    void failWith(const QString& why);

    QString path_;
    QSaveFile file_;
    QByteArray buffer_;
    QString error_;
    bool open_ = false;
    bool committed_ = false;
    bool ownerOnly_ = false;
};
