#include "AppSession.h"

#include "frmColor.h"
#include "frmLogon.h"

AppSession::AppSession(QObject* parent) : QObject(parent)
{
    registerForm(QStringLiteral("frmColor"), [] { return new frmColor; });
}

AppSession::~AppSession()
{
    delete logon_;
    delete menu_;
}

void AppSession::registerForm(const QString& formName, frmMenu::Factory factory)
{
    factories_.insert(formName, factory);
    if (menu_)
        menu_->registerForm(formName, std::move(factory));
}

void AppSession::start()
{
    showLogon();
}

void AppSession::showLogon()
{
    if (logon_)
        logon_->deleteLater();
    logon_ = new frmLogon;
    logon_->setAttribute(Qt::WA_DeleteOnClose);
    connect(logon_, &frmLogon::loggedOn, this, &AppSession::loggedOn);
    connect(logon_, &frmLogon::cancelled, this, &AppSession::finished);
    logon_->show();
    logon_->raise();
    logon_->activateWindow();
}

void AppSession::loggedOn()
{
    if (!menu_) {
        menu_ = new frmMenu;
        for (auto it = factories_.cbegin(); it != factories_.cend(); ++it)
            menu_->registerForm(it.key(), it.value());
        connect(menu_, &frmMenu::exitRequested, this, &AppSession::finished);
        connect(menu_, &frmMenu::closed, this, &AppSession::finished);
        connect(menu_, &frmMenu::logoutRequested, this, &AppSession::showLogon);
        menu_->showMaximized();
    }
    menu_->applyMenuRights();
    menu_->raise();
    menu_->activateWindow();
    if (logon_) {
        // The logon window goes once the main window stands.
        logon_->disconnect(this);
        logon_->hide();
        logon_->deleteLater();
    }
}
