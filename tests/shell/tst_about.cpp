#include "AppPaths.h"
#include "DataSources.h"
#include "LogonState.h"
#include "ScriptedPrompts.h"
#include "TestHome.h"
#include "frmAbout.h"
#include "frmMenu.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QUrl>

Q_DECLARE_METATYPE(DataSources::Entry)

class tst_About : public QObject
{
    Q_OBJECT

private:
    static QString text(frmAbout& about, const char* name)
    {
        if (auto* box = about.findChild<QLineEdit*>(name))
            return box->text();
        auto* label = about.findChild<QLabel*>(name);
        return label ? label->text() : QStringLiteral("(no %1)").arg(name);
    }

private slots:
    void cleanup()
    {
        logonState() = LogonState();
        frmAbout::setFolderOpener({});
    }

    void theVersionIsTheTitleBars()
    {
        TestHome home;
        frmAbout about;
        frmMenu menu;
        QCOMPARE(text(about, "lblVersion"), menu.windowTitle());
        QCOMPARE(text(about, "lblVersion"), QString("Tarvex (Ver " TARVEX_VERSION ")"));
    }

    void theInstallationAndItsDatabaseAreShown_data()
    {
        QTest::addColumn<DataSources::Entry>("entry");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("engine");
        DataSources::Entry file("demo.mdb", "SQLITE", "/srv/agency/demo.mdb");
        QTest::newRow("SQLite file") << file << "/srv/agency/demo.mdb"
                                     << "SQLite file";
        DataSources::Entry server("agency_demo", "PSQL", "agency_demo");
        server.host = "db.agency.lan";
        server.port = "5433";
        server.user = "egm";
        server.password = "secret";
        QTest::newRow("server") << server << "agency_demo on db.agency.lan:5433"
                                << "PostgreSQL server";
        DataSources::Entry service("acme", "PSQL", "agency_acme");
        service.service = "agency";
        QTest::newRow("service") << service << "agency_acme on service agency"
                                 << "PostgreSQL server";
        DataSources::Entry local("local", "PSQL", "tarvex_demo");
        QTest::newRow("local server") << local << "tarvex_demo on the local server"
                                      << "PostgreSQL server";
    }
    void theInstallationAndItsDatabaseAreShown()
    {
        QFETCH(DataSources::Entry, entry);
        QFETCH(QString, database);
        QFETCH(QString, engine);
        TestHome home;
        QVERIFY(DataSources::add(entry));
        logonState().DataSource = "DSN=" + entry.name;
        frmAbout about;
        QCOMPARE(text(about, "txtFolder"), QDir::toNativeSeparators(home.path()));
        QCOMPARE(text(about, "lblFolderSource"), QString("named by --home"));
        QCOMPARE(text(about, "txtDatabase"), database);
        QCOMPARE(text(about, "lblEngine"), engine);
        QVERIFY(!text(about, "txtDatabase").contains("secret"));
    }

    void aDataSourceThatIsNotRegisteredIsSaid()
    {
        TestHome home;
        logonState().DataSource = "DSN=gone.mdb";
        frmAbout about;
        QCOMPARE(text(about, "txtDatabase"), QString("DSN=gone.mdb (not registered)"));
        QCOMPARE(text(about, "lblEngine"), QString());
    }

    void theButtonOpensTheFolder()
    {
        TestHome home;
        QList<QUrl> opened;
        frmAbout::setFolderOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        frmAbout about;
        auto* button = about.findChild<QPushButton*>("cmdOpenFolder");
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(home.path())});
    }

    void aFolderThatCannotBeOpenedIsSaid()
    {
        TestHome home;
        ScriptedPrompts prompts;
        frmAbout::setFolderOpener([](const QUrl&) { return false; });
        frmAbout about;
        QTest::mouseClick(about.findChild<QPushButton*>("cmdOpenFolder"), Qt::LeftButton);
        QCOMPARE(prompts.messages(),
                 QStringList{"The folder '" + QDir::toNativeSeparators(home.path()) +
                             "' cannot be opened."});
    }

    void helpAboutIsInTheMenuForEveryUser()
    {
        TestHome home;
        frmMenu menu;
        menu.registerForm("frmAbout", [] { return new frmAbout; });
        logonState().MRights = "";
        menu.applyMenuRights();
        QAction* entry = menu.findChild<QAction*>("menHelp_0");
        QVERIFY(entry);
        QCOMPARE(entry->text(), QString("&About Tarvex"));
        // Its own letter: Alt+H still opens House Keeping.
        QCOMPARE(menu.findChild<QMenu*>("menHelp")->title(), QString("Hel&p"));
        QVERIFY(entry->isEnabled());
        entry->trigger();
        QVERIFY(menu.openedForm("frmAbout"));
    }
};

QTEST_MAIN(tst_About)
#include "tst_about.moc"
