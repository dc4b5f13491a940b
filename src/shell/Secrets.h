#pragma once

#include "DataSources.h"

#include <QString>
#include <QStringList>

/// The passwords the installation needs beside its users' (the one "Save
/// Password" keeps, the mail server's, a database server's) live in the
/// keyring, or, for a database server, in libpq's password file
/// (~/.pgpass, which libpq reads itself); never in Tarvex's own files.
namespace Secrets {

/// Moves every password found in Tarvex.ini (User/Pwd, Mail/Password) and
/// DataSources.ini (a server's Password) into the keyring, a server's into
/// the password file where there is no keyring, and takes it out of the
/// file. A password that cannot be kept anywhere is dropped. Returns one
/// sentence for each password moved elsewhere than the keyring or dropped.
QStringList moveFromFiles();

/// Keeps a server data source's password: in the keyring, else in the
/// password file. False (and *error why) when neither can be written.
bool keepServerPassword(const DataSources::Entry& entry, const QString& password, QString* error);
/// Takes a server data source's password out of the keyring.
void forgetServerPassword(const QString& dataSource);
/// The password the keyring keeps for a server data source ("" for none).
QString serverPassword(const QString& dataSource);
/// The mail server's password: Tarvex.ini's Mail/Password while it is still
/// there, else the keyring's.
QString mailPassword();

/// libpq's password file: PGPASSFILE, else ~/.pgpass.
QString passwordFile();
/// The password file's content with the line for entry's server, database
/// and user set to password (an earlier line for them replaced).
QByteArray withPasswordLine(const QByteArray& content, const DataSources::Entry& entry,
                            const QString& password);

} // namespace Secrets
