#include "SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype BlockSize = 64 * 1024;

/// A second name (a hard link) for the file at path, so that it can be put
/// back after a new file took its place; "" when there is no file or the
/// file system has no hard links.
QString linkToOld(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return QString();
    const QByteArray from = QFile::encodeName(path);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name =
            path + QStringLiteral(".old-%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                                 QLatin1Char('0'));
        if (::link(from.constData(), QFile::encodeName(name).constData()) == 0)
            return name;
        if (errno != EEXIST)
            break;
    }
    return QString();
}

} // namespace

SafeFile::SafeFile(const QString& path) : path_(path), file_(path)
{
    // Never write in place: a failure half way would leave neither the old
    // file nor a whole new one.
    file_.setDirectWriteFallback(false);
}

SafeFile::~SafeFile()
{
    if (open_ && !committed_)
        cancel();
}

bool SafeFile::open()
{
    error_.clear();
    // Unbuffered: each block reaches the system at once, so a full disk is
    // seen by the write that meets it, not by a flush nobody checks.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        failWith(file_.errorString());
        return false;
    }
    // The new file is the one put in place, so it carries the mode it is
    // made with; nothing is written before it is narrowed.
    if (ownerOnly_ && ::fchmod(file_.handle(), S_IRUSR | S_IWUSR) != 0) {
        failWith(qt_error_string(errno));
        file_.cancelWriting();
        return false;
    }
    open_ = true;
    buffer_.reserve(BlockSize);
    return true;
}

void SafeFile::failWith(const QString& why)
{
    error_ = why.isEmpty() ? QStringLiteral("The file could not be written.") : why;
}

bool SafeFile::flushBuffer()
{
    qsizetype done = 0;
    while (done < buffer_.size()) {
        const qint64 n = file_.write(buffer_.constData() + done, buffer_.size() - done);
        if (n <= 0) {
            failWith(file_.errorString());
            return false;
        }
        done += qsizetype(n);
    }
    buffer_.clear();
    return true;
}

bool SafeFile::write(QByteArrayView bytes)
{
    if (!open_ || failed())
        return false;
    if (buffer_.size() + bytes.size() > BlockSize) {
        if (!flushBuffer())
            return false;
        if (bytes.size() >= BlockSize) {
            buffer_.append(bytes);
            return flushBuffer();
        }
    }
    buffer_.append(bytes);
    return true;
}

bool SafeFile::finishWriting()
{
    if (!open_ || failed()) {
        cancel();
        return false;
    }
    if (!flushBuffer() || !file_.flush() || file_.error() != QFileDevice::NoError) {
        if (!failed())
            failWith(file_.errorString());
        cancel();
        return false;
    }
    return true;
}

bool SafeFile::commit()
{
    if (!finishWriting())
        return false;
    if (!file_.commit()) {
        failWith(file_.errorString());
        open_ = false;
        return false;
    }
    // Qt 6.4 can report a commit as done when its final steps failed.
    if (file_.error() != QFileDevice::NoError) {
        failWith(file_.errorString());
        open_ = false;
        return false;
    }
    open_ = false;
    committed_ = true;
    return true;
}

void SafeFile::cancel()
{
    if (open_) {
        file_.cancelWriting();
        file_.commit(); // with writing cancelled this only removes the temporary file
    }
    open_ = false;
    buffer_.clear();
}

bool SafeFile::commitAll(const QList<SafeFile*>& files, SafeFile** failedFile)
{
    const auto giveUp = [&](SafeFile* culprit) {
        for (SafeFile* f : files)
            f->cancel();
        if (failedFile)
            *failedFile = culprit;
        return false;
    };
    for (SafeFile* f : files)
        if (!f->finishWriting())
            return giveUp(f);
    // Every byte is on the disk; what is left can fail only in the rename.
    QStringList backups;
    for (SafeFile* f : files)
        backups << linkToOld(f->path_);
    const auto dropBackups = [&] {
        for (const QString& b : backups)
            if (!b.isEmpty())
                QFile::remove(b);
    };
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (files[i]->commit())
            continue;
        for (qsizetype j = 0; j < i; ++j) {
            const QString& path = files[j]->path_;
            if (!backups[j].isEmpty() && ::rename(QFile::encodeName(backups[j]).constData(),
                                                  QFile::encodeName(path).constData()) == 0)
                backups[j].clear();
            else
                // No old file to put back: the new one must not stay beside
                // the old files of the others.
                QFile::remove(path);
        }
        dropBackups();
        return giveUp(files[i]);
    }
    dropBackups();
    return true;
}

bool SafeFile::saveOwnerOnly(const QString& path, QByteArrayView bytes, QString* error)
{
    SafeFile f(path);
    f.setOwnerOnly(true);
    const bool ok = f.open() && f.write(bytes) && f.commit();
    if (error)
        *error = ok ? QString() : f.errorString();
    return ok;
}

bool SafeFile::save(const QString& path, QByteArrayView bytes, QString* error)
{
    SafeFile f(path);
    const bool ok = f.open() && f.write(bytes) && f.commit();
    if (error)
        *error = ok ? QString() : f.errorString();
    return ok;
}
