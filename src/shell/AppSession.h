#pragma once

#include "frmMenu.h"

#include <QObject>
#include <QPointer>

#include "frmLogon.h"

/// The program's run: the logon window first, the main window after the
/// first successful logon, the logon again on Logout (modal over the main
/// window), and the end of the program on Cancel, Exit or closing the main
/// window. When another user (or another company) logs on after Logout,
/// the open screens are closed first; the same user again keeps them.
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

signals:
    /// The program is to end (the caller quits the event loop).
    void finished();

private:
    void showLogon();
    void loggedOn();

    QPointer<frmLogon> logon_;
    QPointer<frmMenu> menu_;
    QHash<QString, frmMenu::Factory> factories_;
    QStringList user_; ///< company, data source and user ID of the last logon
};
