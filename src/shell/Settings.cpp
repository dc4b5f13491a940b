#include "Settings.h"

#include "AppPaths.h"
#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION // this file holds the template code of the header
#include <SimpleIni.h>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int MaxValueLength = 254;

/// SimpleIni copes with garbage lines; a NUL would end its reading early.
bool parse(QByteArrayView content, CSimpleIniA& ini)
{
    QByteArray data = content.toByteArray();
    data.replace('\0', ' ');
    return ini.LoadData(data.constData(), size_t(data.size())) >= 0;
}

QString shown(const QString& file)
{
    return QDir::toNativeSeparators(file);
}

QString notRegular(const QString& file)
{
    return QStringLiteral("The settings file %1 is not a regular file; it was not read.")
        .arg(shown(file));
}

QString tooLarge(const QString& file)
{
    return QStringLiteral("The settings file %1 is larger than %2 KB; it was not read.")
        .arg(shown(file))
        .arg(Settings::MaxFileSize / 1024);
}

QString unreadable(const QString& file, int error)
{
    return QStringLiteral("The settings file %1 cannot be read: %2")
        .arg(shown(file), qt_error_string(error));
}

/// Whether a settings file's content holds a password (a Pwd or Password
/// key with a value).
bool holdsPassword(const QByteArray& content)
{
    static const QRegularExpression key(QStringLiteral("^\\s*(pwd|password)\\s*=\\s*\\S"),
                                        QRegularExpression::CaseInsensitiveOption |
                                            QRegularExpression::MultilineOption);
    return key.match(QString::fromLatin1(content)).hasMatch();
}

/// A file with a password in it is made readable by its owner only.
bool save(const QString& file, const QByteArray& content, QString* error)
{
    return holdsPassword(content) ? SafeFile::saveOwnerOnly(file, content, error)
                                  : SafeFile::save(file, content, error);
}

} // namespace

namespace Settings {

QString valueIn(QByteArrayView content, const QString& section, const QString& key)
{
    CSimpleIniA ini(false, false, false); // not UTF-8, no multi-keys, no multi-line values
    if (!parse(content, ini))
        return QString();
    const char* v =
        ini.GetValue(section.toLocal8Bit().constData(), key.toLocal8Bit().constData(), nullptr);
    if (!v)
        return QString();
    QString value = QString::fromLocal8Bit(v).trimmed();
    if (value.size() > MaxValueLength)
        value = value.left(MaxValueLength).trimmed();
    return value;
}

bool withValues(QByteArrayView content, const QString& section, const Values& values,
                QByteArray* out)
{
    CSimpleIniA ini(false, false, false);
    if (!parse(content, ini))
        return false;
    // A single blank is how the logon forgets a value; SimpleIni would keep
    // it verbatim, which reads back as "" after trimming all the same.
    for (const auto& [key, value] : values)
        if (ini.SetValue(section.toLocal8Bit().constData(), key.toLocal8Bit().constData(),
                         value.toLocal8Bit().constData()) < 0)
            return false;
    std::string text;
    if (ini.Save(text) < 0)
        return false;
    *out = QByteArray(text.data(), qsizetype(text.size()));
    return true;
}

bool load(const QString& file, QByteArray* content, QString* problem)
{
    content->clear();
    problem->clear();
    const QByteArray name = QFile::encodeName(file);
    // Looked at before it is opened: opening a device or a pipe can block
    // or have effects of its own.
    struct stat st;
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return true; // no file: no settings
        *problem = unreadable(file, errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *problem = notRegular(file);
        return false;
    }
    if (st.st_size > MaxFileSize) {
        *problem = tooLarge(file);
        return false;
    }
    // O_NONBLOCK: should the name have become a pipe meanwhile, opening it
    // must not wait for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *problem = unreadable(file, errno);
        return false;
    }
    bool ok = true;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *problem = notRegular(file);
        ok = false;
    }
    // Room for what the file holds and one byte more; a file that grows
    // while it is read is read on up to one byte past the limit.
    QByteArray data(qsizetype(st.st_size) + 1, Qt::Uninitialized);
    qsizetype size = 0;
    while (ok && size <= MaxFileSize) {
        if (size == data.size())
            data.resize(std::min<qsizetype>(data.size() * 2, MaxFileSize + 1));
        const ssize_t n = ::read(fd, data.data() + size, size_t(data.size() - size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *problem = unreadable(file, errno);
            ok = false;
        } else if (n == 0) {
            break;
        } else {
            size += n;
        }
    }
    ::close(fd);
    if (ok && size > MaxFileSize) {
        *problem = tooLarge(file);
        ok = false;
    }
    if (!ok)
        return false;
    data.truncate(size);
    *content = std::move(data);
    return true;
}

QString problem(const QString& file)
{
    QByteArray content;
    QString why;
    load(file, &content, &why);
    return why;
}

QByteArray contentOf(const QString& file)
{
    QByteArray content;
    QString why;
    load(file, &content, &why); // a refused file leaves content empty
    return content;
}

QString read(const QString& file, const QString& section, const QString& key)
{
    return valueIn(contentOf(file), section, key);
}

bool write(const QString& file, const QString& section, const QString& key, const QString& value,
           QString* error)
{
    return write(file, section, Values{{key, value}}, error);
}

bool write(const QString& file, const QString& section, const Values& values, QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    QByteArray content;
    if (!load(file, &content, error))
        return false; // unreadable: leave it as it is
    QByteArray out;
    if (!withValues(content, section, values, &out)) {
        *error = QStringLiteral("The settings of %1 could not be put together.").arg(shown(file));
        return false;
    }
    return save(file, out, error);
}

QStringList sectionsIn(QByteArrayView content)
{
    CSimpleIniA ini(false, false, false);
    QStringList out;
    if (!parse(content, ini))
        return out;
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    sections.sort(CSimpleIniA::Entry::LoadOrder());
    for (const auto& e : sections)
        out << QString::fromLocal8Bit(e.pItem);
    return out;
}

bool withoutKey(QByteArrayView content, const QString& section, const QString& key, QByteArray* out)
{
    CSimpleIniA ini(false, false, false);
    if (!parse(content, ini))
        return false;
    if (!ini.Delete(section.toLocal8Bit().constData(), key.toLocal8Bit().constData())) {
        *out = content.toByteArray(); // no such key: nothing changes
        return true;
    }
    std::string text;
    if (ini.Save(text) < 0)
        return false;
    *out = QByteArray(text.data(), qsizetype(text.size()));
    return true;
}

bool remove(const QString& file, const QString& section, const QString& key, QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    QByteArray content;
    if (!load(file, &content, error))
        return false;
    QByteArray out;
    if (!withoutKey(content, section, key, &out)) {
        *error = QStringLiteral("The settings of %1 could not be put together.").arg(shown(file));
        return false;
    }
    if (out == content)
        return true; // the key was not there: the file is left alone
    return save(file, out, error);
}

} // namespace Settings

QString ReadIni(const QString& section, const QString& key)
{
    return Settings::read(AppPaths::iniFile(), section, key);
}

int WriteIni(const QString& section, const QString& key, const QString& value)
{
    return Settings::write(AppPaths::iniFile(), section, key, value) ? 1 : 0;
}
