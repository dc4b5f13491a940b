#include "frmAbout.h"

#include "AppPaths.h"
#include "DataSources.h"
#include "LogonState.h"
#include "MyFunc.h"
#include "Prompts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

frmAbout::FolderOpener folderOpener;

QLineEdit* readOnlyBox(QWidget* parent, const QString& name, const QString& text)
{
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setMinimumWidth(420);
    box->setCursorPosition(0);
    return box;
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Tarvex"));

    const AppPaths::Choice home = AppPaths::current();
    QString engine;
    const QString database = databaseText(logonState().DataSource, &engine);

    lblVersion =
        new QLabel(QStringLiteral("Tarvex (Ver %1)").arg(QStringLiteral(TARVEX_VERSION)), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    QFont heading = lblVersion->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    lblVersion->setFont(heading);
    txtFolder = readOnlyBox(this, QStringLiteral("txtFolder"), QDir::toNativeSeparators(home.dir));
    lblFolderSource = new QLabel(AppPaths::sourceText(home.source), this);
    lblFolderSource->setObjectName(QStringLiteral("lblFolderSource"));
    txtDatabase = readOnlyBox(this, QStringLiteral("txtDatabase"), database);
    lblEngine = new QLabel(engine, this);
    lblEngine->setObjectName(QStringLiteral("lblEngine"));
    cmdOpenFolder = new QPushButton(QStringLiteral("&Open Folder"), this);
    cmdOpenFolder->setObjectName(QStringLiteral("cmdOpenFolder"));
    cmdOpenFolder->setEnabled(QDir(home.dir).exists());
    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto* form = new QFormLayout;
    auto* folderLabel = new QLabel(QStringLiteral("&Installation:"), this);
    folderLabel->setObjectName(QStringLiteral("lblFolder"));
    folderLabel->setBuddy(txtFolder);
    form->addRow(folderLabel, txtFolder);
    form->addRow(QString(), lblFolderSource);
    auto* databaseLabel = new QLabel(QStringLiteral("Company &database:"), this);
    databaseLabel->setObjectName(QStringLiteral("lblDatabase"));
    databaseLabel->setBuddy(txtDatabase);
    form->addRow(databaseLabel, txtDatabase);
    form->addRow(QString(), lblEngine);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdOpenFolder);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblVersion);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(cmdOpenFolder, &QPushButton::clicked, this, &frmAbout::openFolder);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    InstallEscCloses(this);
    ApplyAppearance(this);
}

void frmAbout::setFolderOpener(FolderOpener opener)
{
    folderOpener = std::move(opener);
}

QString frmAbout::databaseText(const QString& connection, QString* engine)
{
    const QString name = DataSources::nameFromConnection(connection);
    const std::optional<DataSources::Entry> entry =
        name.isEmpty() ? std::nullopt : DataSources::find(name);
    if (!entry) {
        *engine = QString();
        return connection.isEmpty() ? QStringLiteral("(nobody is logged on)")
                                    : QStringLiteral("%1 (not registered)").arg(connection);
    }
    if (entry->driver.compare(QLatin1String("PSQL"), Qt::CaseInsensitive) != 0) {
        *engine = QStringLiteral("SQLite file");
        return QDir::toNativeSeparators(entry->database);
    }
    *engine = QStringLiteral("PostgreSQL server");
    // The server's name, never its password.
    QString where;
    if (!entry->service.isEmpty())
        where = QStringLiteral("service ") + entry->service;
    else
        where = (entry->host.isEmpty() ? QStringLiteral("the local server") : entry->host) +
                (entry->port.isEmpty() ? QString() : u':' + entry->port);
    return QStringLiteral("%1 on %2").arg(entry->database, where);
}

void frmAbout::openFolder()
{
    const QUrl url = QUrl::fromLocalFile(txtFolder->text());
    const bool opened = folderOpener ? folderOpener(url) : QDesktopServices::openUrl(url);
    if (!opened)
        prompts().warn(QStringLiteral("The folder '%1' cannot be opened.").arg(txtFolder->text()));
}
