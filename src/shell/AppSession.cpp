#include "AppSession.h"

#include "Backup.h"
#include "BackupJob.h"
#include "BillHistory.h"
#include "Database.h"
#include "DbError.h"
#include "LogonState.h"
#include "Prompts.h"
#include "Restore.h"
#include "frmAbout.h"
#include "frmColor.h"
#include "frmLogon.h"

#include <QMdiArea>

AppSession::AppSession(QObject* parent) : QObject(parent)
{
    registerForm(QStringLiteral("frmColor"), [] { return new frmColor; });
    registerForm(QStringLiteral("frmAbout"), [] { return new frmAbout; });
}

AppSession::~AppSession()
{
    backup_.reset(); // waits for a backup being written
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
        connect(menu_, &frmMenu::exitRequested, this, &AppSession::exitProgram);
        connect(menu_, &frmMenu::closed, this, &AppSession::exitProgram);
        connect(menu_, &frmMenu::logoutRequested, this, &AppSession::logout);
        connect(menu_, &frmMenu::backupRequested, this, &AppSession::startBackup);
        connect(menu_, &frmMenu::restoreRequested, this, &AppSession::restoreBackup);
        menu_->showMaximized();
    }
    menu_->applyMenuRights();
    menu_->raise();
    menu_->activateWindow();
    // The day's first logon into the company.
    if (st.Conn && !st.Conn->readOnly() && Backup::newest(*st.Conn).date() != QDate::currentDate())
        startBackup();
}

bool AppSession::changedSinceBackup() const
{
    const LogonState& st = logonState();
    if (!st.Conn || st.Conn->readOnly())
        return false;
    try {
        const QDateTime changed = BillHistory::lastChange(*st.Conn);
        return changed.isValid() && !(changed < Backup::newest(*st.Conn));
    } catch (const DbError&) {
        return true;
    }
}

void AppSession::logout()
{
    if (changedSinceBackup())
        startBackup();
    showLogon();
}

void AppSession::exitProgram()
{
    if (backup_ && backup_->isRunning()) {
        if (menu_)
            menu_->showStatus(QStringLiteral("Waiting for the backup being written..."));
        backup_->wait();
    }
    if (changedSinceBackup()) {
        if (menu_) {
            menu_->showStatus(QStringLiteral("Writing a backup of the company database..."));
            menu_->repaint();
        }
        BackupJob job(logonState().Conn->where());
        job.wait();
        if (!job.succeeded())
            prompts().warn(job.text());
    }
    emit finished();
}

void AppSession::startBackup()
{
    const LogonState& st = logonState();
    if (!st.Conn)
        return;
    if (backup_ && backup_->isRunning()) {
        if (menu_)
            menu_->showStatus(QStringLiteral("A backup of the company database is being "
                                             "written."));
        return;
    }
    backup_ = std::make_unique<BackupJob>(st.Conn->where());
    connect(backup_.get(), &BackupJob::finished, this, &AppSession::backupFinished);
    if (menu_)
        menu_->showStatus(QStringLiteral("Writing a backup of the company database..."));
}

void AppSession::backupFinished(bool ok, const QString& text)
{
    if (ok) {
        if (menu_)
            menu_->showStatus(text);
        return;
    }
    if (menu_)
        menu_->showStatus(QStringLiteral("No backup was written."));
    prompts().warn(text);
}

void AppSession::restoreBackup()
{
    LogonState& st = logonState();
    if (!st.Conn)
        return;
    if (backup_)
        backup_->wait();
    const QString file = prompts().openFile(QStringLiteral("Restore a Backup"),
                                            QStringLiteral("Backups (*.sqlite);;All files (*)"),
                                            QString(), Backup::folder());
    if (file.isEmpty())
        return;
    Database& db = *st.Conn;
    try {
        const Restore::Contents c = Restore::inspect(file);
        if (db.where().isServer()) {
            const std::optional<QString> name = prompts().input(
                QStringLiteral("The company database is on a server: %1 is restored into a new, "
                               "empty database there, and the company's own database is not "
                               "changed.\nName the new database:")
                    .arg(Restore::describe(c)),
                QStringLiteral("Restore"));
            if (!name || name->trimmed().isEmpty())
                return;
            Restore::intoServer(db, file, name->trimmed());
            prompts().message(QStringLiteral("Restored %1 into the new database %2 on the "
                                             "server.\nTo use it, point the data source at it: "
                                             "Database=%2 in its section of DataSources.ini.")
                                  .arg(Restore::describe(c), name->trimmed()),
                              Prompts::Buttons::Ok, Prompts::Icon::Information,
                              QStringLiteral("Restore"));
            return;
        }
        if (prompts().question(
                QStringLiteral("Restore %1 over the company database %2?\nThe database as it is "
                               "now is backed up first; then you log on again.")
                    .arg(Restore::describe(c), db.location()),
                Prompts::Buttons::YesNo, Prompts::No, Prompts::Icon::Question,
                QStringLiteral("Restore")) != Prompts::Yes)
            return;
        // Nothing on the screens may stand for the database as it was.
        if (menu_) {
            menu_->closeForms();
            if (!menu_->mdiArea()->subWindowList().isEmpty()) {
                prompts().warn(QStringLiteral("Nothing was restored: a screen is still open. "
                                              "Close it, then restore."));
                return;
            }
        }
        const Restore::Replaced r = Restore::overFile(db, st.InUse.get(), file);
        prompts().message(QStringLiteral("Restored %1.\nThe company database as it was is in "
                                         "%2.\nLog on again.")
                              .arg(Restore::describe(r.from), r.before.file),
                          Prompts::Buttons::Ok, Prompts::Icon::Information,
                          QStringLiteral("Restore"));
    } catch (const DbError& e) {
        prompts().warn(e.description());
        return;
    }
    showLogon();
}
