#include "AppSession.h"

#include "LogonState.h"
#include "frmAbout.h"
#include "frmColor.h"
#include "frmLogon.h"

AppSession::AppSession(QObject* parent) : QObject(parent)
{
    registerForm(QStringLiteral("frmColor"), [] { return new frmColor; });
    registerForm(QStringLiteral("frmAbout"), [] { return new frmAbout; });
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
    logon_ = new frmLogon(menu_);
    if (menu_) {
        // After Logout nobody is logged on: the logon stands over the main
        // window, and nothing behind it can be used until a logon succeeds
        // or Cancel ends the program.
        logon_->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        logon_->setWindowModality(Qt::ApplicationModal);
    }
    logon_->setAttribute(Qt::WA_DeleteOnClose);
    connect(logon_, &frmLogon::loggedOn, this, &AppSession::loggedOn);
    connect(logon_, &frmLogon::cancelled, this, &AppSession::finished);
    logon_->show();
    logon_->raise();
    logon_->activateWindow();
}

void AppSession::loggedOn()
{
    if (logon_) {
        // The logon window goes first: what the screens ask while they close
        // must not wait behind it.
        logon_->disconnect(this);
        logon_->hide();
        logon_->deleteLater();
    }
    const LogonState& st = logonState();
    const QStringList user{st.CompanyName, st.DataSource, st.UserId};
    if (menu_ && user != user_) {
        // The open screens were opened with another user's rights (or
        // another company's data): each closes as its own Close would.
        menu_->closeForms();
    }
    user_ = user;
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
}
