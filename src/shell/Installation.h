#pragma once

#include <QString>

/// Sets up a ready installation in a folder: Tarvex.ini, the skins, a system
/// database with one company and that company's database (tables and
/// look-up lists, no user table: the first logon creates the default user).
namespace Installation {

/// The demo company's name and data source.
QString demoCompanyName();
QString demoDataSource();

/// Creates the installation in dir (made if missing). Refuses, with a
/// message in *error, when dir already holds a Tarvex.ini, so nothing that
/// exists is overwritten.
bool createDemo(const QString& dir, QString* error);

/// Copies the shipped skins into dir/skins (existing files are kept).
void installSkins(const QString& dir);

} // namespace Installation
