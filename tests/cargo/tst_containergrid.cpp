// The container grid and the shipping-bill field rules without a window:
// row counts, the end-of-edit checks, the save checks and their messages,
// the writing of container rows, and the id of a new bill.

#include "CargoRules.h"
#include "ContainerGrid.h"
#include "Database.h"
#include "Schema.h"
#include "ScriptedPrompts.h"
#include "TestEngine.h"

#include <QTemporaryDir>
#include <QtTest>

class TestContainerGrid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rowsFollowContainerCount_data();
    void rowsFollowContainerCount();
    void endOfEditChecks_data();
    void endOfEditChecks();
    void newContainerTakesStatusAbove();
    void saveChecks_data();
    void saveChecks();
    void saveUpdatesStoredAndInsertsNew();
    void fieldRules();
    void fieldRefusals_data();
    void fieldRefusals();
    void requiredFieldsFollowNature();
    void nextBillId_data();
    void nextBillId();

private:
    Database& db() { return fresh_->db(); }
    std::unique_ptr<FreshDatabase> fresh_;
    std::unique_ptr<ScriptedPrompts> prompts_;
};

void TestContainerGrid::init()
{
    fresh_ = std::make_unique<FreshDatabase>();
    Schema::createCompanyDatabase(db());
    prompts_ = std::make_unique<ScriptedPrompts>();
}

void TestContainerGrid::cleanup()
{
    prompts_.reset();
    fresh_.reset();
}

void TestContainerGrid::rowsFollowContainerCount_data()
{
    QTest::addColumn<int>("containers");
    QTest::addColumn<int>("rows");
    QTest::newRow("none") << 0 << 75;
    QTest::newRow("3") << 3 << 75;
    QTest::newRow("74") << 74 << 75;
    QTest::newRow("75") << 75 << 81;
    QTest::newRow("80") << 80 << 86;
}

void TestContainerGrid::rowsFollowContainerCount()
{
    QFETCH(int, containers);
    QFETCH(int, rows);
    QList<RowValues> stored;
    for (int i = 0; i < containers; ++i)
        stored << RowValues{7, QStringLiteral("ABCU%1").arg(i, 7, 10, QLatin1Char('0')), "F", 0};
    stored << RowValues{8, QStringLiteral("OTHER000001"), "E", 0}; // another bill's
    db().insertRows(QStringLiteral("egmcontain"), {"ref", "containno", "constatus", "subrefno"},
                    stored);
    ContainerGrid grid;
    grid.FillContainerGrid(db(), 7);
    QCOMPARE(grid.rows(), rows);
    QCOMPARE(grid.rowCount(), rows);
    if (containers > 0) {
        QCOMPARE(grid.text(1, ContainerGrid::Ref), QStringLiteral("7"));
        QCOMPARE(grid.text(containers, ContainerGrid::ContainerNo),
                 QStringLiteral("ABCU%1").arg(containers - 1, 7, 10, QLatin1Char('0')));
        QVERIFY(grid.autoid(containers) > 0);
    }
    QCOMPARE(grid.text(containers + 1, ContainerGrid::ContainerNo), QString());
    grid.empty();
    QCOMPARE(grid.rows(), 0);
    grid.ensureRows();
    QCOMPARE(grid.rows(), 75);
}

void TestContainerGrid::endOfEditChecks_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("why"); // a refusal's reason, or the advice on a kept number
    const QString number = QStringLiteral("Container No.: 10 or 11 characters, as CSQU3054383");
    const QString status = QStringLiteral("Status: a status of the list, E (empty) or F (full)");
    QTest::newRow("11 characters, valid") << 2 << "CSQU3054383" << true << "";
    QTest::newRow("11 characters, wrong check digit")
        << 2 << "MSKU1234567" << true << "Container No.: check digit should be 5 (kept)";
    QTest::newRow("10 characters") << 2 << "MSKU123456" << true << "";
    QTest::newRow("9 characters") << 2 << "MSKU12345" << false << number;
    QTest::newRow("12 characters") << 2 << "MSKU12345678" << false << number;
    QTest::newRow("leading blank, 11 without")
        << 2 << " CSQU3054383" << true
        << "Container No.: container number has blanks before or after it (kept)";
    QTest::newRow("empty number") << 2 << "" << false << number;
    QTest::newRow("status F") << 3 << "F" << true << "";
    QTest::newRow("status lower-case e") << 3 << "e" << false << status;
    QTest::newRow("status with a quote") << 3 << "E'" << false << status;
    QTest::newRow("status unknown") << 3 << "X" << false << status;
}

void TestContainerGrid::endOfEditChecks()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(QString, why);
    ContainerGrid grid;
    grid.setText(1, column, text);
    QString told = QStringLiteral("stale");
    QCOMPARE(grid.endOfEdit(db(), 1, column, &told), accepted);
    QCOMPARE(grid.text(1, column), text); // the check never changes what was stored
    QCOMPARE(told, why);
}

void TestContainerGrid::newContainerTakesStatusAbove()
{
    ContainerGrid grid;
    grid.setText(4, ContainerGrid::Status, QStringLiteral("E"));
    grid.setText(5, ContainerGrid::ContainerNo, QStringLiteral("MSKU1234567"));
    grid.endOfEdit(db(), 5, ContainerGrid::ContainerNo);
    QCOMPARE(grid.text(5, ContainerGrid::Status), QStringLiteral("E"));
    // A status of its own is kept; the first row has none above.
    grid.setText(6, ContainerGrid::Status, QStringLiteral("F"));
    grid.endOfEdit(db(), 6, ContainerGrid::ContainerNo);
    QCOMPARE(grid.text(6, ContainerGrid::Status), QStringLiteral("F"));
    grid.endOfEdit(db(), 1, ContainerGrid::ContainerNo);
    QCOMPARE(grid.text(1, ContainerGrid::Status), QString());
}

void TestContainerGrid::saveChecks_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("good") << "MSKU1234567"
                          << "F"
                          << "";
    QTest::newRow("10 characters") << "MSKU123456"
                                   << "E"
                                   << "";
    QTest::newRow("9 characters") << "MSKU12345"
                                  << "F"
                                  << "Check Container No. Value";
    QTest::newRow("12 characters") << "MSKU12345678"
                                   << "F"
                                   << "Check Container No. Value";
    QTest::newRow("leading blank counts") << " MSKU1234567"
                                          << "F"
                                          << "Check Container No. Value";
    QTest::newRow("two-character status") << "MSKU1234567"
                                          << "FF"
                                          << "Status should be 1 Characters";
    QTest::newRow("no status") << "MSKU1234567"
                               << ""
                               << "Status should be 1 Characters";
    QTest::newRow("lower-case e") << "MSKU1234567"
                                  << "e"
                                  << "Container Status should be (E)mpty / (F)ull";
    QTest::newRow("status only, no number") << ""
                                            << "X"
                                            << "";
}

void TestContainerGrid::saveChecks()
{
    QFETCH(QString, number);
    QFETCH(QString, status);
    QFETCH(QString, message);
    ContainerGrid grid;
    grid.setText(1, ContainerGrid::ContainerNo, QStringLiteral("GOOD1234567"));
    grid.setText(1, ContainerGrid::Status, QStringLiteral("E"));
    grid.setText(40, ContainerGrid::ContainerNo, number);
    grid.setText(40, ContainerGrid::Status, status);
    QCOMPARE(grid.CheckContainerRows(), message.isEmpty());
    QCOMPARE(prompts_->messages(),
             message.isEmpty() ? QStringList() : QStringList{"Row 40: " + message});
}

void TestContainerGrid::saveUpdatesStoredAndInsertsNew()
{
    db().exec(QStringLiteral("insert into egmcontain (ref, containno, constatus, subrefno) values "
                             "(3, 'OLDU1234567', 'E', 0), (3, 'KEEP1234567', 'E', 0)"));
    ContainerGrid grid;
    grid.FillContainerGrid(db(), 3);
    grid.setText(1, ContainerGrid::Status, QStringLiteral("F"));
    grid.setText(2, ContainerGrid::ContainerNo, QString()); // emptied: skipped, stays stored
    grid.setText(3, ContainerGrid::ContainerNo, QStringLiteral("NEWU7654321"));
    grid.setText(3, ContainerGrid::Status, QStringLiteral("E"));
    grid.setText(4, ContainerGrid::Autoid, QStringLiteral("999")); // names no container
    grid.setText(4, ContainerGrid::ContainerNo, QStringLiteral("NEWU0000001"));
    grid.setText(4, ContainerGrid::Status, QStringLiteral("F"));
    QCOMPARE(grid.SaveContainerRows(db(), 5), 3); // also moves them to bill 5
    const RowTable t = db().select(QStringLiteral(
        "select ref, containno, constatus, subrefno from egmcontain order by autoid"));
    QList<QStringList> rows;
    for (const RowValues& r : t.rows)
        rows << QStringList{r[0].toString(), r[1].toString(), r[2].toString(), r[3].toString()};
    QCOMPARE(rows, (QList<QStringList>{{"5", "OLDU1234567", "F", "0"},
                                       {"3", "KEEP1234567", "E", "0"},
                                       {"5", "NEWU7654321", "E", "0"},
                                       {"5", "NEWU0000001", "F", "0"}}));
}

void TestContainerGrid::fieldRules()
{
    using namespace CargoRules;
    QVERIFY(isContainerised("C") && isContainerised("CP"));
    for (const char* other : {"c", "cp", "DB", "", "C "})
        QVERIFY2(!isContainerised(QString::fromLatin1(other)), other);
    for (QChar c : QStringLiteral("0123456789./"))
        QVERIFY(isNumberKey(c));
    for (QChar c : QStringLiteral("-a+, e"))
        QVERIFY(!isNumberKey(c));
    QVERIFY(packagesAcceptable("3") && packagesAcceptable("2/"));
    QVERIFY(!packagesAcceptable("0") && !packagesAcceptable("abc") && !packagesAcceptable(""));
    const QDate today(2024, 6, 15);
    QVERIFY(billDateAcceptable("15/06/2024", today) && billDateAcceptable("1/1/2000", today));
    QVERIFY(!billDateAcceptable("16/06/2024", today));
    QVERIFY(!billDateAcceptable("31/02/2024", today) && !billDateAcceptable("soon", today));
}

void TestContainerGrid::fieldRefusals_data()
{
    using F = CargoRules::Field;
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("refusal");
    const QString date = QStringLiteral("SB Date: a date not after today, dd/mm/yyyy");
    const QString pkgs = QStringLiteral("Pkgs.: the number of packages, not 0");
    QTest::newRow("ROT No. empty") << int(F::RotNo) << ""
                                   << "ROT No.: the EGM's number";
    QTest::newRow("nature not picked") << int(F::Nature) << ""
                                       << "Nture Cargo: pick the nature of the cargo from the list";
    QTest::newRow("SB Date today") << int(F::SbDate) << "15/06/2024"
                                   << "";
    QTest::newRow("SB Date 31/02") << int(F::SbDate) << "31/02/2024" << date;
    QTest::newRow("SB Date tomorrow") << int(F::SbDate) << "16/06/2024" << date;
    QTest::newRow("SB Date empty") << int(F::SbDate) << "" << date;
    QTest::newRow("port not picked") << int(F::DestPort) << ""
                                     << "Dest. Port: pick the port from the list";
    QTest::newRow("Pkgs. 1234567") << int(F::Pkgs) << "1234567"
                                   << "";
    QTest::newRow("Pkgs. 0") << int(F::Pkgs) << "0" << pkgs;
    QTest::newRow("Pkgs. letters") << int(F::Pkgs) << "abc" << pkgs;
    QTest::newRow("Unit empty") << int(F::Unit) << ""
                                << "Unit: the unit of the volume";
}

void TestContainerGrid::fieldRefusals()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, refusal);
    QCOMPARE(CargoRules::fieldRefusal(CargoRules::Field(field), text, QDate(2024, 6, 15)), refusal);
}

void TestContainerGrid::requiredFieldsFollowNature()
{
    using F = CargoRules::Field;
    const QList<F> common{F::RotNo, F::Nature, F::SbNo, F::SbDate, F::DestPort};
    const QList<F> containerised = common + QList<F>{F::Pkgs};
    const QList<F> other = common + QList<F>{F::Volume, F::Unit};
    QCOMPARE(CargoRules::requiredFields("CP"), containerised);
    QCOMPARE(CargoRules::requiredFields("DB"), other);
    QCOMPARE(CargoRules::requiredFields("c"), other);
}

void TestContainerGrid::nextBillId_data()
{
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<qint64>("next");
    QTest::newRow("empty table") << QList<int>{} << qint64(1);
    QTest::newRow("1, 2, 7") << QList<int>{1, 2, 7} << qint64(8);
}

void TestContainerGrid::nextBillId()
{
    QFETCH(QList<int>, ids);
    QFETCH(qint64, next);
    for (int id : ids)
        db().exec(QStringLiteral("insert into egmcargo (id) values (?)"), {id});
    QCOMPARE(CargoRules::nextBillId(db()), next);
}

QTEST_GUILESS_MAIN(TestContainerGrid)
#include "tst_containergrid.moc"
