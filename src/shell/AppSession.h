#pragma once

#include "frmMenu.h"

#include <QObject>
#include <QPointer>
#include <memory>

#include "frmLogon.h"

class BackupJob;

/// The program's run: the logon window first, the main window after the
/// first successful logon, the logon again on Logout (modal over the main
/// window), and the end of the program on Cancel, Exit or closing the main
/// window. When another user (or another company) logs on after Logout,
/// the open screens are closed first; the same user again keeps them.
///
/// The company database is backed up at the first logon of a day into it,
/// and at Logout or Exit when shipping bills changed since its newest
/// backup; House Keeping backs it up, or restores it, when asked.
class AppSession : public QObject
{
    Q_OBJECT

public:
    explicit AppSession(QObject* parent = nullptr);
    ~AppSession() override;

    /// Screens the main window opens, registered before or after start().
    void registerForm(const QString& formName, frmMenu::Factory factory);
    /// Shows the logon window.
    void start();

    frmLogon* logon() const { return logon_; }
    frmMenu* menu() const { return menu_; }
    /// The backup being written, or the last one; null before any.
    BackupJob* backup() const { return backup_.get(); }

signals:
    /// The program is to end (the caller quits the event loop).
    void finished();

private:
    void showLogon();
    void loggedOn();
    void logout();
    void exitProgram();
    /// A backup of the company database, written while the clerk works on.
    void startBackup();
    void backupFinished(bool ok, const QString& text);
    /// Shipping bills changed since the newest backup of the company.
    bool changedSinceBackup() const;
    void restoreBackup();

    QPointer<frmLogon> logon_;
    QPointer<frmMenu> menu_;
    QHash<QString, frmMenu::Factory> factories_;
    std::unique_ptr<BackupJob> backup_;
    QStringList user_; ///< company, data source and user ID of the last logon
};
