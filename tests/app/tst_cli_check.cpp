// tarvex check on an installation made as "tarvex init" makes it, with the
// sample EGMs of tests/outputs and the check's own.

#include "CommandLine.h"
#include "Database.h"
#include "Installation.h"

#include "../outputs/OutputsTesting.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "CliTesting.h"

using namespace OutputsTesting;

class TestCliCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        home_ = tmp_.filePath("agency");
        const auto db = demoCompany(home_);
        QVERIFY(db);
        insertSampleEgms(*db);
        insertCheckedEgms(*db);
    }

    void printsTheFindings_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");

        QTest::newRow("clean") << QStringList{"check", "9300"} << int(CommandLine::Done)
                               << "ROT No. 9300: no error and no warning, ready to be filed.\n";
        QTest::newRow("warnings only: done")
            << QStringList{"check", "9100", "--date", "05/03/2024"} << int(CommandLine::Done)
            << "warning  SB 5001  SB No. 5001 is also entered under ROT No. 2024117\n"
               "ROT No. 9100: 0 errors, 1 warning.\n";
        QTest::newRow("an error: stopped")
            << QStringList{"check", "9200"} << int(CommandLine::Stopped)
            << "error  SB 92001  container CSQU3054384  check digit should be 3\n"
               "ROT No. 9200: 1 error, 0 warnings.\n";
        QTest::newRow("another date than the stored one")
            << QStringList{"check", "9300", "--date=06/03/2024"} << int(CommandLine::Done)
            << "warning  SB 93001  stored EGM date 05/03/2024 (this bill); the file will carry "
               "06/03/2024\n"
               "ROT No. 9300: 0 errors, 1 warning.\n";
        QTest::newRow("no such EGM: the check cannot run")
            << QStringList{"check", "31337"} << int(CommandLine::Stopped) << "";
    }
    void printsTheFindings()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        const CliRun r = runCliAs(home_, args);
        QCOMPARE(r.out, out);
        QCOMPARE(r.code, code);
        if (out.isEmpty())
            QVERIFY2(r.err.contains("No related cargo information"), qPrintable(r.err));
    }

    void json()
    {
        const CliRun r = runCliAs(home_, {"check", "--json", "9200"});
        QCOMPARE(r.code, int(CommandLine::Stopped));
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
        QVERIFY2(doc.isArray(), qPrintable(error.errorString() + r.out));
        QCOMPARE(doc.array().size(), 1);
        const QJsonObject f = doc.array().first().toObject();
        QCOMPARE(f["severity"].toString(), "error");
        QCOMPARE(f["billId"].toInteger(), 93);
        QCOMPARE(f["sbNo"].toString(), "92001");
        QCOMPARE(f["container"].toString(), "CSQU3054384");
        QCOMPARE(f["field"].toString(), "containno");
        QCOMPARE(f["message"].toString(), "check digit should be 3");

        const CliRun clean = runCliAs(home_, {"check", "9300", "--json"});
        QCOMPARE(clean.code, int(CommandLine::Done));
        QCOMPARE(QJsonDocument::fromJson(clean.out.toUtf8()).array().size(), 0);
    }

    void wrongUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no ROT No.") << QStringList{"check"} << "give the ROT No.";
        QTest::newRow("two ROT Nos.") << QStringList{"check", "1", "2"} << "give the ROT No.";
        QTest::newRow("no date after --date")
            << QStringList{"check", "1", "--date"} << "--date needs the EGM date";
        QTest::newRow("date that is no date")
            << QStringList{"check", "1", "--date", "30/02/2024"}
            << "--date needs the EGM date as dd/mm/yyyy, not \"30/02/2024\"";
        QTest::newRow("unknown option")
            << QStringList{"check", "1", "--csv"} << "unknown option --csv";
    }
    void wrongUsage()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, problem);
        const CliRun r = runCliAs(home_, args);
        QCOMPARE(r.code, int(CommandLine::Usage));
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.startsWith("tarvex check: " + problem), qPrintable(r.err));
        QVERIFY(r.err.contains("usage: tarvex check ROTNO [--date DD/MM/YYYY] [--json]"));
    }

    void helpListsTheCommand()
    {
        QVERIFY(CommandLine::usage().contains("check ROTNO [--date DD/MM/YYYY] [--json]"));
    }

private:
    QTemporaryDir tmp_;
    QString home_;
};

QTEST_GUILESS_MAIN(TestCliCheck)
#include "tst_cli_check.moc"
