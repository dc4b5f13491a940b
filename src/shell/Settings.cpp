#include "Settings.h"

#include "AppPaths.h"
#include "SafeFile.h"

#include <QFile>
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION // this file holds the template code of the header
#include <SimpleIni.h>
#include <string>

namespace {

constexpr int MaxValueLength = 254;

// The file is read as raw bytes: SimpleIni copes with garbage lines, and a
// file that cannot be read simply has no values.
bool load(const QString& file, CSimpleIniA& ini)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = f.readAll();
    data.replace('\0', ' '); // a NUL would end the parser's reading early
    return ini.LoadData(data.constData(), size_t(data.size())) >= 0;
}

} // namespace

namespace Settings {

QString read(const QString& file, const QString& section, const QString& key)
{
    CSimpleIniA ini(false, false, false); // not UTF-8, no multi-keys, no multi-line values
    if (!load(file, ini))
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

bool write(const QString& file, const QString& section, const QString& key, const QString& value)
{
    CSimpleIniA ini(false, false, false);
    if (QFile::exists(file) && !load(file, ini))
        return false; // unreadable: leave it as it is
    // A single blank is how the logon forgets a value; SimpleIni would keep it
    // verbatim, which reads back as "" after trimming all the same.
    if (ini.SetValue(section.toLocal8Bit().constData(), key.toLocal8Bit().constData(),
                     value.toLocal8Bit().constData()) < 0)
        return false;
    std::string out;
    if (ini.Save(out) < 0)
        return false;
    return SafeFile::save(file, QByteArrayView(out.data(), qsizetype(out.size())), nullptr);
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
