// tarvex deleted and tarvex undelete on an installation made as "tarvex
// init" makes it.

#include "CommandLine.h"
#include "Database.h"
#include "DeletedBills.h"
#include "Installation.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "CliTesting.h"

class TestCliDeleted : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QStandardPaths::setTestModeEnabled(true);
        home_ = tmp_.filePath("agency");
        QDir(home_).removeRecursively();
        const auto db = demoCompany(home_);
        QVERIFY(db);
        db->exec("insert into egmcargo (id, egmno, sbno, sbdt) values (1, 10, 501, '2026-12-01')");
        db->exec("insert into egmcargo (id, egmno, sbno) values (2, 11, 502)");
        db->exec("insert into egmcontain (ref, containno) values (1, 'ABCU1234565')");
        for (int id : {1, 2}) {
            Database::Transaction tx(*db);
            DeletedBills::keep(*db, id, "RAVI");
            db->exec("delete from egmcargo where id = ?", {id});
            tx.commit();
        }
    }

    void commands_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("out");
        const QString header =
            "ID     ROT No.    SB No.     SB Date     Containers  Deleted by   Deleted at\n";
        QTest::newRow("all, newest first")
            << QStringList{"deleted"} << int(CommandLine::Done)
            << QStringList{header + "2      11         502                    0           RAVI",
                           "\n1      10         501        01/12/2026  1           RAVI"};
        QTest::newRow("one EGM") << QStringList{"deleted", "11"} << int(CommandLine::Done)
                                 << QStringList{header + "2      11         502"};
        QTest::newRow("an EGM without any")
            << QStringList{"deleted", "12"} << int(CommandLine::Done)
            << QStringList{"No deleted shipping bills of ROT No. 12\n"};
        QTest::newRow("restored under its id")
            << QStringList{"undelete", "1"} << int(CommandLine::Done)
            << QStringList{"Restored shipping bill 501 of ROT No. 10 with 1 container under its "
                           "id 1\n"};
        QTest::newRow("no such deleted bill")
            << QStringList{"undelete", "7"} << int(CommandLine::Stopped) << QStringList{};
        QTest::newRow("not a number")
            << QStringList{"undelete", "x"} << int(CommandLine::Usage) << QStringList{};
    }
    void commands()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QStringList, out);
        const CliRun r = runCliAs(home_, args);
        QCOMPARE(r.code, code);
        for (const QString& text : out)
            QVERIFY2(r.out.contains(text), qPrintable(r.out + r.err));
        QCOMPARE(r.out.isEmpty(), out.isEmpty());
    }

    void restoredUnderTheNextIdWhenItsOwnIsTaken()
    {
        const auto db = Database::open({"SQLITE", QDir(home_).filePath("demo.mdb")});
        db->exec("insert into egmcargo (id, egmno, sbno) values (2, 11, 900)");
        const CliRun r = runCliAs(home_, {"undelete", "2"});
        QCOMPARE(r.out, QString("Restored shipping bill 502 of ROT No. 11 with 0 containers under "
                                "the new id 3 (its id 2 is taken)\n"));
        QCOMPARE(db->scalar("select sbno from egmcargo where id = 3").toInt(), 502);
    }

private:
    QTemporaryDir tmp_;
    QString home_;
};

QTEST_GUILESS_MAIN(TestCliDeleted)
#include "tst_cli_deleted.moc"
