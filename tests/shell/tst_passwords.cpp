#include "AppPaths.h"
#include "DataSources.h"
#include "FakeKeyring.h"
#include "PasswordHash.h"
#include "RightsCodes.h"
#include "Secrets.h"
#include "Settings.h"
#include "TestHome.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>

/// The rules behind the passwords and the rights editor, without a window.
class tst_Passwords : public QObject
{
    Q_OBJECT

private slots:
    void hashIsSaltedAndChecks()
    {
        const QString a = PasswordHash::hash("harbour");
        const QString b = PasswordHash::hash("harbour");
        QVERIFY(a.startsWith("$argon2id$"));
        QVERIFY(a.size() <= PasswordHash::MaxLength);
        QVERIFY(a != b); // a salt of its own
        QVERIFY(!a.contains("harbour"));
        QVERIFY(PasswordHash::isHash(a));
        QVERIFY(PasswordHash::matches(a, "harbour"));
        QVERIFY(PasswordHash::matches(a + "   ", "harbour")); // as a char column pads it
        QVERIFY(!PasswordHash::matches(a, "Harbour"));
        QVERIFY(!PasswordHash::matches(a, ""));
    }

    void matches_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("matches");
        QTest::newRow("plain, same") << "KOSRAW"
                                     << "KOSRAW" << true;
        QTest::newRow("plain, padded by the column") << "KOSRAW      "
                                                     << "KOSRAW" << true;
        QTest::newRow("plain, other case") << "KOSRAW"
                                           << "kosraw" << false;
        QTest::newRow("plain, other") << "KOSRAW"
                                      << "KOSRA" << false;
        QTest::newRow("plain empty, empty typed") << ""
                                                  << "" << true;
        QTest::newRow("hash text typed as the password")
            << "$argon2id$v=19$m=65536,t=2,p=1$abc$def"
            << "$argon2id$v=19$m=65536,t=2,p=1$abc$def" << false;
    }
    void matches()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, matches);
        QCOMPARE(PasswordHash::matches(stored, typed), matches);
    }

    void ticksStoreTheTypedCodes_data()
    {
        QTest::addColumn<bool>("menu");
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<QString>("text");
        QTest::newRow("menu: none") << true << QStringList{} << "";
        QTest::newRow("menu: cargo and flat file") << true << QStringList{"03", "12"} << "03 12";
        QTest::newRow("menu: order is the menus'")
            << true << QStringList{"13", "00", "08"} << "00 08 13";
        QTest::newRow("menu: everything") << true << QStringList{" SU"} << " SU";
        QTest::newRow("menu: everything covers the rest")
            << true << QStringList{"03", " SU"} << " SU";
        QTest::newRow("record: none") << false << QStringList{} << "";
        QTest::newRow("record: add and delete") << false << QStringList{"01", "03"} << " 01 03";
        QTest::newRow("record: all five")
            << false << QStringList{"05", "04", "03", "02", "01"} << " 01 02 03 04 05";
        QTest::newRow("record: everything") << false << QStringList{" SU"} << " SU";
    }
    void ticksStoreTheTypedCodes()
    {
        QFETCH(bool, menu);
        QFETCH(QStringList, ticks);
        QFETCH(QString, text);
        const auto kind = menu ? RightsCodes::Kind::Menu : RightsCodes::Kind::Record;
        QCOMPARE(RightsCodes::text(kind, ticks), text);
        // And the text shows as the ticks again.
        QStringList expected = ticks.contains(" SU") ? QStringList{" SU"} : ticks;
        QStringList back = RightsCodes::ticked(kind, text);
        expected.sort();
        back.sort();
        QCOMPARE(back, expected);
    }

    void storedTextShowsWhatItOpens_data()
    {
        QTest::addColumn<bool>("menu");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("ticks");
        QTest::newRow("menu padded by the column") << true << "03 12   " << QStringList{"03", "12"};
        QTest::newRow("menu without blanks") << true << "0312" << QStringList{"03", "12"};
        QTest::newRow("menu SU without its blank") << true << "SU" << QStringList{};
        QTest::newRow("menu SU among codes") << true << "03 SU" << QStringList{" SU"};
        QTest::newRow("menu code of no entry") << true << "05" << QStringList{};
        QTest::newRow("record padded") << false << " 01 03          " << QStringList{"01", "03"};
        QTest::newRow("record without the blank") << false << "01" << QStringList{};
        QTest::newRow("record SU") << false << " SU" << QStringList{" SU"};
    }
    void storedTextShowsWhatItOpens()
    {
        QFETCH(bool, menu);
        QFETCH(QString, stored);
        QFETCH(QStringList, ticks);
        const auto kind = menu ? RightsCodes::Kind::Menu : RightsCodes::Kind::Record;
        QCOMPARE(RightsCodes::ticked(kind, stored), ticks);
    }

    void ownUserMasterRightsStay_data()
    {
        QTest::addColumn<QString>("menuBefore");
        QTest::addColumn<QString>("recordBefore");
        QTest::addColumn<QString>("menuAfter");
        QTest::addColumn<QString>("recordAfter");
        QTest::addColumn<bool>("kept");
        QTest::newRow("unchanged") << " SU"
                                   << " SU"
                                   << " SU"
                                   << " SU" << true;
        QTest::newRow("supervisor drops SU") << " SU"
                                             << " SU"
                                             << "08"
                                             << " SU" << false;
        QTest::newRow("record SU becomes add and edit") << " SU"
                                                        << " SU"
                                                        << " SU"
                                                        << " 01 02" << true;
        QTest::newRow("edit taken away") << " SU"
                                         << " 01 02"
                                         << " SU"
                                         << " 01" << false;
        QTest::newRow("delete taken away") << " SU"
                                           << " 01 02 03"
                                           << " SU"
                                           << " 01 02" << true;
        QTest::newRow("menu entry taken away") << "03 08"
                                               << " 02"
                                               << "03"
                                               << " 02" << false;
        QTest::newRow("other entry taken away") << "03 08"
                                                << " 02"
                                                << "08"
                                                << " 02" << true;
    }
    void ownUserMasterRightsStay()
    {
        QFETCH(QString, menuBefore);
        QFETCH(QString, recordBefore);
        QFETCH(QString, menuAfter);
        QFETCH(QString, recordAfter);
        QFETCH(bool, kept);
        QCOMPARE(RightsCodes::keepsUserMaster(menuBefore, recordBefore, menuAfter, recordAfter),
                 kept);
    }

    void passwordFileLine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file") << QByteArray() << QByteArray("db:5432:egm:clerk:p\\:w\n");
        QTest::newRow("other lines kept") << QByteArray("other:*:x:y:z\n")
                                          << QByteArray("other:*:x:y:z\ndb:5432:egm:clerk:p\\:w\n");
        QTest::newRow("line replaced") << QByteArray("db:5432:egm:clerk:old\nother:*:x:y:z\n")
                                       << QByteArray("other:*:x:y:z\ndb:5432:egm:clerk:p\\:w\n");
    }
    void passwordFileLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        DataSources::Entry e("agency", "PSQL", "egm");
        e.host = "db";
        e.port = "5432";
        e.user = "clerk";
        QCOMPARE(Secrets::withPasswordLine(before, e, "p:w"), after);
    }

    void aSettingsFileWithAPasswordIsTheOwnersOnly()
    {
        TestHome home;
        const QString file = home.file("DataSources.ini");
        QVERIFY(Settings::write(file, "agency", "Password", "secret"));
        QCOMPARE(int(QFileInfo(file).permissions() & 0x0077), 0); // nothing for group or others
        QVERIFY(QFileInfo(file).permissions() & QFileDevice::ReadOwner);
        QVERIFY(Settings::remove(file, "agency", "Password"));
        QCOMPARE(Settings::read(file, "agency", "Password"), QString());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(!f.readAll().contains("secret"));
    }

    void serverPasswordGoesToTheKeyringOrThePasswordFile()
    {
        TestHome home;
        const QString pgpass = home.file("pgpass");
        const PasswordFile passwordFile(pgpass.toLocal8Bit());
        DataSources::Entry e("agency", "PSQL", "egm");
        e.host = "db";
        e.user = "clerk";
        e.password = "s3cret!";
        {
            FakeKeyring keys;
            QVERIFY(DataSources::add(e));
            QCOMPARE(keys.secrets.value(KeyringKeys::dataSource("agency")), QString("s3cret!"));
            QVERIFY(DataSources::find("agency")->location().server.contains("s3cret!"));
        }
        QVERIFY(!QFile::exists(pgpass));
        QVERIFY(DataSources::add(e)); // no keyring now: libpq's file
        QFile f(pgpass);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("db:*:egm:clerk:s3cret!\n"));
        QCOMPARE(int(f.permissions() & 0x0077), 0);
        QFile registry(DataSources::registryFile());
        QVERIFY(registry.open(QIODevice::ReadOnly));
        QVERIFY(!registry.readAll().contains("s3cret!"));
    }

    void passwordsInTheFilesMoveToTheKeyring()
    {
        TestHome home;
        FakeKeyring keys;
        WriteIni("User", "UsId", "clerk");
        WriteIni("User", "Pwd", "harbour");
        WriteIni("Mail", "Password", "m@il");
        Settings::write(DataSources::registryFile(), "agency",
                        {{"Driver", "PSQL"}, {"Host", "db"}, {"Password", "s3cret!"}});
        QCOMPARE(Secrets::moveFromFiles(), QStringList());
        QCOMPARE(keys.secrets.value(KeyringKeys::logon()), QString("harbour"));
        QCOMPARE(keys.secrets.value(KeyringKeys::mail()), QString("m@il"));
        QCOMPARE(keys.secrets.value(KeyringKeys::dataSource("agency")), QString("s3cret!"));
        QCOMPARE(Secrets::mailPassword(), QString("m@il"));
        for (const QString& file : {AppPaths::iniFile(), DataSources::registryFile()}) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray text = f.readAll();
            QVERIFY2(!text.contains("harbour") && !text.contains("m@il") &&
                         !text.contains("s3cret!"),
                     text.constData());
        }
        QCOMPARE(ReadIni("User", "UsId"), QString("clerk"));
    }

    void withoutAKeyringTheyAreDroppedAndSaidSo()
    {
        TestHome home; // no keyring
        const PasswordFile passwordFile(home.file("pgpass").toLocal8Bit());
        WriteIni("User", "Pwd", "harbour");
        WriteIni("Mail", "Password", "m@il");
        Settings::write(DataSources::registryFile(), "agency",
                        {{"Driver", "PSQL"}, {"Host", "db"}, {"Password", "s3cret!"}});
        const QStringList notices = Secrets::moveFromFiles();
        QCOMPARE(notices.size(), 3);
        QVERIFY(notices[0].contains("saved password"));
        QVERIFY(notices[1].contains("mail server"));
        QVERIFY(notices[2].contains("agency") && notices[2].contains("password file"));
        QCOMPARE(ReadIni("User", "Pwd"), QString());
        QCOMPARE(ReadIni("Mail", "Password"), QString());
        QCOMPARE(Settings::read(DataSources::registryFile(), "agency", "Password"), QString());
        QFile f(home.file("pgpass"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("s3cret!"));
    }
};

QTEST_GUILESS_MAIN(tst_Passwords)
#include "tst_passwords.moc"
