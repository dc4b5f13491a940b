#include "Secrets.h"

#include "AppPaths.h"
#include "Keyring.h"
#include "SafeFile.h"
#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

namespace Secrets {

namespace {

/// A field of a password-file line: ':' and '\' escaped, "*" for any.
QString field(const QString& value)
{
    if (value.isEmpty())
        return QStringLiteral("*");
    QString out = value;
    out.replace(u'\\', QStringLiteral("\\\\"));
    out.replace(u':', QStringLiteral("\\:"));
    return out;
}

/// The first four fields of a line (server, port, database, user), as written.
QString lineKey(const QString& line)
{
    int fields = 0;
    for (int i = 0; i < line.size(); ++i) {
        if (line[i] == u'\\') {
            ++i;
        } else if (line[i] == u':' && ++fields == 4) {
            return line.left(i);
        }
    }
    return QString();
}

bool addToPasswordFile(const DataSources::Entry& entry, const QString& password, QString* error)
{
    const QString file = passwordFile();
    QByteArray content;
    QFile f(file);
    if (f.exists() && !(f.open(QIODevice::ReadOnly) && (content = f.readAll(), true))) {
        *error = f.errorString();
        return false;
    }
    f.close();
    // libpq ignores a password file that others may read.
    return SafeFile::saveOwnerOnly(file, withPasswordLine(content, entry, password), error);
}

} // namespace

QString passwordFile()
{
    const QString named =
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("PGPASSFILE"));
    return named.isEmpty() ? QDir::home().filePath(QStringLiteral(".pgpass")) : named;
}

QByteArray withPasswordLine(const QByteArray& content, const DataSources::Entry& entry,
                            const QString& password)
{
    const QString line = QStringList{field(entry.host), field(entry.port), field(entry.database),
                                     field(entry.user), field(password)}
                             .join(u':');
    const QString key = lineKey(line);
    QStringList lines = QString::fromUtf8(content).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    lines.removeIf([&key](const QString& l) { return lineKey(l) == key; });
    lines << line;
    return (lines.join(u'\n') + u'\n').toUtf8();
}

bool keepServerPassword(const DataSources::Entry& entry, const QString& password, QString* error)
{
    QString why;
    if (keyring().write(KeyringKeys::dataSource(entry.name), password, &why))
        return true;
    return addToPasswordFile(entry, password, error);
}

void forgetServerPassword(const QString& dataSource)
{
    keyring().remove(KeyringKeys::dataSource(dataSource));
}

QString serverPassword(const QString& dataSource)
{
    return keyring().read(KeyringKeys::dataSource(dataSource)).value_or(QString());
}

QString mailPassword()
{
    const QString inFile = ReadIni(QStringLiteral("Mail"), QStringLiteral("Password"));
    return inFile.isEmpty() ? keyring().read(KeyringKeys::mail()).value_or(QString()) : inFile;
}

QStringList moveFromFiles()
{
    QStringList notices;
    const QString ini = AppPaths::iniFile();
    const QByteArray settings = Settings::contentOf(ini);
    const QString noKeyring = keyring().unavailableReason();

    // "Save Password" of an earlier Tarvex.
    const QString saved =
        Settings::valueIn(settings, QStringLiteral("User"), QStringLiteral("Pwd"));
    if (!saved.isEmpty()) {
        if (!keyring().write(KeyringKeys::logon(), saved))
            notices << QStringLiteral("The saved password was taken out of Tarvex.ini and not "
                                      "kept: no keyring is available. Type it at the logon.");
    }
    Settings::remove(ini, QStringLiteral("User"), QStringLiteral("Pwd"));

    const QString mail =
        Settings::valueIn(settings, QStringLiteral("Mail"), QStringLiteral("Password"));
    if (!mail.isEmpty()) {
        if (keyring().write(KeyringKeys::mail(), mail))
            Settings::remove(ini, QStringLiteral("Mail"), QStringLiteral("Password"));
        else if (Settings::remove(ini, QStringLiteral("Mail"), QStringLiteral("Password")))
            notices << QStringLiteral("The mail server's password was taken out of Tarvex.ini "
                                      "and not kept: no keyring is available. Mail goes out "
                                      "without signing on.");
    }

    // A server data source's password.
    const QString sources = DataSources::registryFile();
    const QByteArray registry = Settings::contentOf(sources);
    for (const QString& name : DataSources::names()) {
        const QString password = Settings::valueIn(registry, name, QStringLiteral("Password"));
        const auto entry = DataSources::find(name);
        if (password.isEmpty() || !entry)
            continue;
        QString why;
        if (!keepServerPassword(*entry, password, &why)) {
            notices << QStringLiteral("The password of the data source \"%1\" stays in %2: "
                                      "neither a keyring nor the password file %3 can keep it "
                                      "(%4).")
                           .arg(name, QDir::toNativeSeparators(sources),
                                QDir::toNativeSeparators(passwordFile()), why);
            continue;
        }
        if (!noKeyring.isEmpty())
            notices << QStringLiteral("The password of the data source \"%1\" was moved from %2 "
                                      "to the password file %3.")
                           .arg(name, QDir::toNativeSeparators(sources),
                                QDir::toNativeSeparators(passwordFile()));
        Settings::remove(sources, name, QStringLiteral("Password"));
    }
    return notices;
}

} // namespace Secrets
