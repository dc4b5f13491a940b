#include "AdoXmlWriter.h"
#include "BillHistory.h"
#include "CargoRenumber.h"
#include "Database.h"
#include "DemoFixture.h"
#include "ImportsTesting.h"
#include "Schema.h"
#include "TestEngine.h"
#include "ValueText.h"
#include "XmlImport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <tuple>

Q_DECLARE_METATYPE(RowTable)

using namespace ImportsTesting;

namespace {

/// One local shipping bill with one container, so that a rollback can be
/// seen to leave what was there.
void addLocalBill(Database& db, int id)
{
    db.insertRows(QStringLiteral("egmcargo"),
                  {QStringLiteral("id"), QStringLiteral("egmno"), QStringLiteral("sbno")},
                  {{id, 1.0, 100.0 + id}});
    db.insertRows(QStringLiteral("egmcontain"),
                  {QStringLiteral("ref"), QStringLiteral("containno"), QStringLiteral("subrefno")},
                  {{id, QStringLiteral("LOCL%1").arg(id, 7, 10, QChar(u'0')), 0}});
}

/// Line (1-based) of the first occurrence of what in bytes.
int lineOf(const QByteArray& bytes, const QByteArray& what)
{
    const qsizetype at = bytes.indexOf(what);
    return at < 0 ? 0 : int(bytes.left(at).count('\n')) + 1;
}

/// The row-by-row rule the import follows, written the plain way: each bill
/// in turn claims every container of its old id. The fast version must
/// agree with it.
void renumberByScanning(RowTable& cargo, RowTable& containers, int baseId)
{
    const auto number = [](const QVariant& v) {
        return v.isNull() ? 0.0 : ValueText::leadingNumber(ValueText::numberText(v));
    };
    int nextId = baseId;
    for (RowValues& b : cargo.rows) {
        const double oldId = std::nearbyint(number(b[0]));
        b[0] = nextId;
        for (RowValues& c : containers.rows)
            if (!c[1].isNull() && number(c[1]) == oldId)
                c[4] = nextId;
        ++nextId;
    }
    for (RowValues& c : containers.rows) {
        c[1] = c[4];
        c[4] = 0;
    }
}

const QString kHierarchical =
    QStringLiteral("<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\r\n"
                   "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\r\n"
                   "\txmlns:rs='urn:schemas-microsoft-com:rowset'\r\n"
                   "\txmlns:z='#RowsetSchema'>\r\n"
                   "<s:Schema id='RowsetSchema'>\r\n"
                   "\t<s:ElementType name='row' content='eltOnly'>\r\n"
                   "\t\t<s:AttributeType name='id' rs:number='1'>\r\n"
                   "\t\t\t<s:datatype dt:type='int' dt:maxLength='4'/>\r\n"
                   "\t\t</s:AttributeType>\r\n"
                   "\t\t<s:AttributeType name='egmno' rs:number='2'>\r\n"
                   "\t\t\t<s:datatype dt:type='float' dt:maxLength='8'/>\r\n"
                   "\t\t</s:AttributeType>\r\n"
                   "\t\t<s:ElementType name='containers' content='eltOnly' "
                   "rs:relation='010000000100000000000000'>\r\n"
                   "\t\t\t<s:AttributeType name='ref' rs:number='1'>\r\n"
                   "\t\t\t\t<s:datatype dt:type='int' dt:maxLength='4'/>\r\n"
                   "\t\t\t</s:AttributeType>\r\n"
                   "\t\t\t<s:extends type='rs:rowbase'/>\r\n"
                   "\t\t</s:ElementType>\r\n"
                   "\t\t<s:extends type='rs:rowbase'/>\r\n"
                   "\t</s:ElementType>\r\n"
                   "</s:Schema>\r\n"
                   "<rs:data>\r\n"
                   "\t<z:row id='1' egmno='700001'>\r\n"
                   "\t\t<containers ref='1'/>\r\n"
                   "\t</z:row>\r\n"
                   "</rs:data>\r\n"
                   "</xml>");

} // namespace

class tst_XmlImport : public QObject
{
    Q_OBJECT

private slots:
    void init() { demo_ = std::make_unique<DemoFixture>(); }
    void cleanup() { demo_.reset(); }

    void renumbersAndRelinks_data();
    void renumbersAndRelinks();
    void renumberingAgreesWithTheRowByRowRule();
    void pairExportedByOneCompanyImportsIntoAnother();
    void rotNoMustMatchTheFile_data();
    void rotNoMustMatchTheFile();
    void failedWriteLeavesNothing_data();
    void failedWriteLeavesNothing();
    void controlCharacterIsRefused_data();
    void controlCharacterIsRefused();
    void containerOfNoShippingBillIsRefused_data();
    void containerOfNoShippingBillIsRefused();
    void columnsInAnotherOrderAreMatchedByName_data();
    void columnsInAnotherOrderAreMatchedByName();
    void anotherWriterHoldingTheLockIsNamed();
    void emptyCargoFileImportsNothing_data();
    void emptyCargoFileImportsNothing();
    void unreadableFileIsNamed_data();
    void unreadableFileIsNamed();
    void fileWiderThanItsTableIsRefused_data();
    void fileWiderThanItsTableIsRefused();
    void narrowerFileFillsTheLeadingColumns();
    void databaseErrorShowsNumberAndDescription();
    void idsBeyondTheLongRangeAreRefused();
    void pathsAreTakenWithoutTrailingBlanks();
    void missingPathsAreReported_data();
    void missingPathsAreReported();
    void importingTwiceAddsTwice();
    void fileComposedInAdoFormatImports();
    void hierarchicalAdoSampleIsRefused();

private:
    std::unique_ptr<DemoFixture> demo_;
};

void tst_XmlImport::renumbersAndRelinks_data()
{
    QTest::addColumn<QList<int>>("localIds");
    QTest::addColumn<QList<int>>("fileIds");
    QTest::addColumn<QList<int>>("fileRefs");
    QTest::addColumn<QList<int>>("newIds");
    QTest::addColumn<QList<int>>("newRefs");

    QTest::newRow("empty table") << QList<int>{} << QList<int>{7, 9} << QList<int>{7, 7, 9}
                                 << QList<int>{1, 2} << QList<int>{1, 1, 2};
    QTest::newRow("new ids equal the old ones")
        << QList<int>{1} << QList<int>{2, 3} << QList<int>{2, 3} << QList<int>{2, 3}
        << QList<int>{2, 3};
    // The first bill's new id is the second bill's old id: its container
    // must not be taken again by the second bill.
    QTest::newRow("ids swap places") << QList<int>{1, 5} << QList<int>{7, 6} << QList<int>{7, 6}
                                     << QList<int>{6, 7} << QList<int>{6, 7};
}

void tst_XmlImport::renumbersAndRelinks()
{
    QFETCH(QList<int>, localIds);
    QFETCH(QList<int>, fileIds);
    QFETCH(QList<int>, fileRefs);
    QFETCH(QList<int>, newIds);
    QFETCH(QList<int>, newRefs);

    auto db = demo_->company();
    for (int id : localIds)
        addLocalBill(*db, id);
    QList<RowValues> bills;
    for (qsizetype i = 0; i < fileIds.size(); ++i)
        bills << bill(fileIds[i], 9000.0 + double(i));
    QList<RowValues> boxes;
    for (qsizetype i = 0; i < fileRefs.size(); ++i)
        boxes << container(int(500 + i), fileRefs[i], QStringLiteral("CONT%1").arg(i));
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargoFile(bills), containerFile(boxes));

    const auto outcome = XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001"});
    QCOMPARE(outcome.message, QString("Data Imported Sucessfully"));
    QVERIFY(outcome.imported);
    QCOMPARE(outcome.shippingBills, fileIds.size());
    QCOMPARE(outcome.containers, fileRefs.size());

    for (qsizetype i = 0; i < fileIds.size(); ++i)
        QCOMPARE(db->scalar("select id from egmcargo where sbno = ?", {9000.0 + double(i)}),
                 QVariant(newIds[i]));
    QSet<int> autoids;
    for (qsizetype i = 0; i < fileRefs.size(); ++i) {
        const RowTable row = db->select("select autoid, ref, subrefno from egmcontain where "
                                        "containno = ?",
                                        {QStringLiteral("CONT%1").arg(i)});
        QCOMPARE(row.rows.size(), 1);
        QCOMPARE(row.rows[0][1], QVariant(newRefs[i]));
        QCOMPARE(row.rows[0][2], QVariant(0));
        // The table numbers the rows; the sender's autoid is not kept.
        QVERIFY(!row.rows[0][0].isNull());
        QVERIFY(row.rows[0][0] != QVariant(int(500 + i)));
        autoids.insert(row.rows[0][0].toInt());
    }
    QCOMPARE(autoids.size(), fileRefs.size());
    QCOMPARE(count(*db, "egmcargo"), localIds.size() + fileIds.size());
    // Each bill's history begins with its import, which names the file.
    for (int id : newIds) {
        const QList<BillHistory::Entry> history = BillHistory::list(*db, id);
        QCOMPARE(history.size(), 1);
        QCOMPARE(history[0].kind, BillHistory::Kind::Imported);
        QCOMPARE(history[0].changes, "From " + QDir::toNativeSeparators(pair.cargo));
    }
    QCOMPARE(count(*db, "billhistory"), fileIds.size());
}

void tst_XmlImport::renumberingAgreesWithTheRowByRowRule()
{
    // Old ids that repeat, refs of no bill, null refs, refs written as text
    // or with a fraction, ids that a new id will take: whatever the mix,
    // the hashed renumbering gives what the plain scan gives.
    QRandomGenerator random(20060305);
    for (int round = 0; round < 200; ++round) {
        RowTable cargo = cargoFile({});
        RowTable containers = containerFile({});
        const int bills = int(random.bounded(0, 30));
        for (int b = 0; b < bills; ++b)
            cargo.rows << bill(int(random.bounded(-3, 40)), b);
        const int boxes = int(random.bounded(0, 60));
        for (int c = 0; c < boxes; ++c) {
            QVariant ref = int(random.bounded(-3, 45));
            switch (random.bounded(8)) {
            case 0:
                ref = QVariant();
                break;
            case 1:
                ref = QStringLiteral("%1 ").arg(ref.toInt());
                break;
            case 2:
                ref = ref.toInt() + 0.5;
                break;
            default:
                break;
            }
            RowValues row = container(c, ref, QStringLiteral("C%1").arg(c));
            row[4] = int(random.bounded(0, 5));
            containers.rows << row;
        }
        const int baseId = int(random.bounded(-2, 40));
        RowTable expectedCargo = cargo;
        RowTable expectedContainers = containers;
        renumberByScanning(expectedCargo, expectedContainers, baseId);
        renumberImport(cargo, containers, baseId);
        QCOMPARE(cargo.rows, expectedCargo.rows);
        QCOMPARE(containers.rows, expectedContainers.rows);
    }
}

void tst_XmlImport::pairExportedByOneCompanyImportsIntoAnother()
{
    // The sender: two EGMs, of which one goes out.
    auto sender = demo_->company();
    RowValues withTime = bill(2, 5002);
    withTime[4] = QDateTime(QDate(2006, 3, 2), QTime(10, 30), Qt::UTC);
    RowValues bulk = bill(3, 5003);
    bulk[8] = QStringLiteral("P");
    bulk[9] = 12.75;
    bulk[10] = QStringLiteral("CBM");
    bulk[12] = QVariant();
    const QStringList cargoColumns = [] {
        QStringList names;
        for (const ColumnInfo& c : Schema::egmcargo())
            names << c.name;
        return names;
    }();
    sender->insertRows("egmcargo", cargoColumns,
                       {bill(1, 5001), withTime, bulk, bill(4, 6001, 700002.0)});
    sender->insertRows("egmcontain", {"ref", "containno", "constatus", "subrefno"},
                       {{1, "MSCU1000001", "F", 0},
                        {1, "MSCU1000002", "E", 0},
                        {2, "MSCU2000001", "F", 0},
                        {4, "OTHR4000001", "F", 0}});
    const RowTable sentCargo =
        sender->select("select * from egmcargo where egmcargo.egmno=?", {700001.0});
    const RowTable sentContainers =
        sender->select("select egmcontain.* from egmcontain,egmcargo where "
                       "egmcontain.ref=egmcargo.id and egmcargo.egmno=?",
                       {700001.0});
    QCOMPARE(sentCargo.rows.size(), 3);
    QCOMPARE(sentContainers.rows.size(), 3);
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), sentCargo, sentContainers);

    // The receiver: another company database that has bills of its own.
    FreshDatabase other;
    auto receiver = other.ptr();
    Schema::createCompanyDatabase(*receiver);
    addLocalBill(*receiver, 1);
    addLocalBill(*receiver, 2);

    const auto outcome = XmlImport::importPair(*receiver, {pair.cargo, pair.containers, "700001"});
    QCOMPARE(outcome.message, QString("Data Imported Sucessfully"));
    QCOMPARE(outcome.firstId, 3);

    const RowTable got = receiver->select("select * from egmcargo where id >= 3 order by id");
    QCOMPARE(got.rows.size(), sentCargo.rows.size());
    QHash<int, int> newIdOf;
    for (qsizetype r = 0; r < got.rows.size(); ++r) {
        QCOMPARE(got.rows[r][0], QVariant(int(3 + r)));
        newIdOf.insert(sentCargo.rows[r][0].toInt(), int(3 + r));
        for (qsizetype k = 1; k < got.columns.size(); ++k)
            QVERIFY2(got.rows[r][k] == sentCargo.rows[r][k],
                     qPrintable(QStringLiteral("bill %1, column %2: %3 against %4")
                                    .arg(r)
                                    .arg(got.columns[k].name, got.rows[r][k].toString(),
                                         sentCargo.rows[r][k].toString())));
    }
    QVERIFY(got.rows[2][12].isNull());
    QCOMPARE(got.rows[1][4].toDateTime().time(), QTime(10, 30));

    for (const RowValues& sent : sentContainers.rows) {
        const RowTable mine =
            receiver->select("select * from egmcontain where containno = ?", {sent[2]});
        QCOMPARE(mine.rows.size(), 1);
        QCOMPARE(mine.rows[0][1], QVariant(newIdOf.value(sent[1].toInt())));
        QCOMPARE(mine.rows[0][3], sent[3]);
        QCOMPARE(mine.rows[0][4], QVariant(0));
    }
    QCOMPARE(count(*receiver, "egmcontain"), 2 + 3);
    QCOMPARE(receiver->scalar("select count(*) from egmcargo where egmno = 700002").toInt(), 0);
}

void tst_XmlImport::rotNoMustMatchTheFile_data()
{
    QTest::addColumn<QVariant>("firstEgmno");
    QTest::addColumn<QVariant>("secondEgmno");
    QTest::addColumn<int>("egmnoType");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message"); // "" when the import goes through

    const int number = int(ColumnType::Double);
    const QVariant egm = 700001.0;
    const QString mismatch = QStringLiteral("Cargo file contain Data of 700001");
    QTest::newRow("same number") << egm << egm << number << "700001"
                                 << "";
    QTest::newRow("ROT No. empty") << egm << egm << number << "" << mismatch;
    QTest::newRow("another number") << egm << egm << number << "700002" << mismatch;
    // Compared as typed: a blank or a leading zero makes another text.
    QTest::newRow("typed with a trailing blank") << egm << egm << number << "700001 " << mismatch;
    QTest::newRow("typed with a leading zero") << egm << egm << number << "0700001" << mismatch;
    QTest::newRow("fraction") << QVariant(12.5) << QVariant(12.5) << number << "12.5"
                              << "";
    QTest::newRow("fraction typed otherwise")
        << QVariant(12.5) << QVariant(12.5) << number << "12.50"
        << "Cargo file contain Data of 12.5";
    // Every bill is checked, not the first alone.
    QTest::newRow("a later bill of another EGM")
        << egm << QVariant(700002.0) << number << "700001"
        << "Shipping Bill No. 2 (row 2) carries the EGM No. 700002 where the first carries "
           "700001: a pair holds one EGM.";
    QTest::newRow("no EGM number in the first row")
        << QVariant() << egm << number << ""
        << "Shipping Bill No. 2 (row 2) carries the EGM No. 700001 where the first carries "
           "none: a pair holds one EGM.";
    QTest::newRow("no EGM number in a later row")
        << egm << QVariant() << number << "700001"
        << "Shipping Bill No. 2 (row 2) carries the EGM No. none where the first carries "
           "700001: a pair holds one EGM.";
    QTest::newRow("whole-number column")
        << QVariant(700001) << QVariant(700001) << int(ColumnType::Long) << "700001"
        << "";
    QTest::newRow("text column with trailing blanks")
        << QVariant("700001  ") << QVariant("700001  ") << int(ColumnType::Text) << "700001"
        << "";
    QTest::newRow("text column, other ROT No.")
        << QVariant("700001  ") << QVariant("700001  ") << int(ColumnType::Text) << "7" << mismatch;
}

void tst_XmlImport::rotNoMustMatchTheFile()
{
    QFETCH(QVariant, firstEgmno);
    QFETCH(QVariant, secondEgmno);
    QFETCH(int, egmnoType);
    QFETCH(QString, typed);
    QFETCH(QString, message);

    auto db = demo_->company();
    addLocalBill(*db, 1);
    RowTable cargo = cargoFile({bill(7, 1, firstEgmno), bill(8, 2, secondEgmno)});
    cargo.columns[1].type = ColumnType(egmnoType);
    cargo.columns[1].size = egmnoType == int(ColumnType::Text) ? 20 : 8;
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargo, containerFile({container(1, 7, "MSCU0000001")}));

    const auto outcome = XmlImport::importPair(*db, {pair.cargo, pair.containers, typed});
    if (message.isEmpty()) {
        QCOMPARE(outcome.message, QString("Data Imported Sucessfully"));
        QCOMPARE(count(*db, "egmcargo"), 3);
        QCOMPARE(count(*db, "egmcontain"), 2);
    } else {
        if (message.startsWith("Shipping Bill"))
            message = QStringLiteral("The cargo file \"%1\" cannot be imported.\n%2\nNothing was "
                                     "imported.")
                          .arg(QDir::toNativeSeparators(pair.cargo), message);
        QCOMPARE(outcome.message, message);
        QVERIFY(!outcome.imported);
        QCOMPARE(count(*db, "egmcargo"), 1);
        QCOMPARE(count(*db, "egmcontain"), 1);
    }
}

void tst_XmlImport::failedWriteLeavesNothing_data()
{
    QTest::addColumn<RowTable>("cargo");
    QTest::addColumn<RowTable>("containers");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("cargoAtFault");
    QTest::addColumn<int>("row");

    const RowTable cargo = cargoFile({bill(7, 1), bill(8, 2), bill(9, 3)});
    const RowTable containers =
        containerFile({container(1, 7, "MSCU0000001"), container(2, 8, "MSCU0000002"),
                       container(3, 9, "MSCU0000003")});

    // The shipping bills are written before the containers: a container the
    // table refuses must take them away again.
    RowTable tooLong = containers;
    tooLong.rows[2][2] = QStringLiteral("MSCU00000033");
    QTest::newRow("container number too long")
        << cargo << tooLong
        << "The value for the field 'containno' is too long: it takes at most 11 characters."
        << false << 3;

    RowTable badBill = cargo;
    badBill.rows[1][5] = QStringLiteral("INIXY12");
    QTest::newRow("shipping bill value too long")
        << badBill << containers
        << "The value for the field 'sbport' is too long: it takes at most 6 characters." << true
        << 2;

    RowTable textNumber = cargo;
    textNumber.columns[3].type = ColumnType::Text;
    textNumber.columns[3].size = 10;
    textNumber.rows[1][3] = QStringLiteral("INIXY1");
    QTest::newRow("text where a number belongs")
        << textNumber << containers << "'INIXY1' is not a number: the field 'sbno' takes numbers."
        << true << 2;

    RowTable dateAsText = cargo;
    dateAsText.columns[4].type = ColumnType::Text;
    dateAsText.columns[4].size = 20;
    dateAsText.rows[2][4] = QStringLiteral("soon");
    QTest::newRow("text where a date belongs")
        << dateAsText << containers
        << "'soon' is not a date: the field 'sbdt' takes dates (dd/mm/yyyy)." << true << 3;
}

void tst_XmlImport::failedWriteLeavesNothing()
{
    QFETCH(RowTable, cargo);
    QFETCH(RowTable, containers);
    QFETCH(QString, description);
    QFETCH(bool, cargoAtFault);
    QFETCH(int, row);

    auto db = demo_->company();
    addLocalBill(*db, 1);
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargo, containers);
    const auto outcome = XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001"});
    QVERIFY(!outcome.imported);
    // The number and the description as they were; then the file, the row,
    // and that nothing was imported.
    QCOMPARE(outcome.message,
             QStringLiteral("%1  %2\nThe %3 \"%4\", row %5: nothing was imported.")
                 .arg(QString::number(DbError::BadValue), description,
                      cargoAtFault ? "cargo file" : "container file",
                      QDir::toNativeSeparators(cargoAtFault ? pair.cargo : pair.containers))
                 .arg(row));
    QCOMPARE(count(*db, "egmcargo"), 1);
    QCOMPARE(count(*db, "egmcontain"), 1);
    QVERIFY(!db->inTransaction());
    // The connection is fit for the next import.
    const Pair good =
        writePair(dir.path(), cargoFile({bill(7, 1)}), containerFile({container(1, 7, "X")}));
    QCOMPARE(XmlImport::importPair(*db, {good.cargo, good.containers, "700001"}).message,
             QString("Data Imported Sucessfully"));
    QCOMPARE(count(*db, "egmcargo"), 2);
}

void tst_XmlImport::controlCharacterIsRefused_data()
{
    QTest::addColumn<RowTable>("cargo");
    QTest::addColumn<RowTable>("containers");
    QTest::addColumn<bool>("cargoAtFault");
    QTest::addColumn<QString>("reason");

    const RowTable cargo = cargoFile({bill(7, 1), bill(8, 2)});
    const RowTable containers =
        containerFile({container(1, 7, "MSCU0000001"), container(2, 8, "MSCU0000002")});
    RowTable lineFeed = cargo;
    lineFeed.rows[1][5] = QStringLiteral("IN\nXY");
    QTest::newRow("line feed in a shipping bill")
        << lineFeed << containers << true << "row 2, field \"sbport\" holds a line feed (0x0A)";
    RowTable carriageReturn = containers;
    carriageReturn.rows[0][2] = QStringLiteral("MSCU\r01");
    QTest::newRow("carriage return in a container")
        << cargo << carriageReturn << false
        << "row 1, field \"containno\" holds a carriage return (0x0D)";
}

void tst_XmlImport::controlCharacterIsRefused()
{
    QFETCH(RowTable, cargo);
    QFETCH(RowTable, containers);
    QFETCH(bool, cargoAtFault);
    QFETCH(QString, reason);

    auto db = demo_->company();
    addLocalBill(*db, 1);
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargo, containers);
    const auto outcome = XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001"});
    QVERIFY(!outcome.imported);
    const QRegularExpression expected(
        QStringLiteral("^The %1 \"%2\" cannot be imported.\nLine \\d+, column \\d+: %3; no "
                       "value of the file may hold a control character but TAB.\nNothing was "
                       "imported.$")
            .arg(cargoAtFault ? "cargo file" : "container file",
                 QRegularExpression::escape(
                     QDir::toNativeSeparators(cargoAtFault ? pair.cargo : pair.containers)),
                 QRegularExpression::escape(reason)));
    QVERIFY2(expected.match(outcome.message).hasMatch(), qPrintable(outcome.message));
    QCOMPARE(count(*db, "egmcargo"), 1);
    QCOMPARE(count(*db, "egmcontain"), 1);
}

void tst_XmlImport::containerOfNoShippingBillIsRefused_data()
{
    QTest::addColumn<QVariant>("ref");
    QTest::addColumn<QString>("reason");
    // The bill of another EGM that the database holds under id 1: the
    // container must not land there.
    QTest::newRow("ref of a bill the database holds")
        << QVariant(1)
        << "The container MSCU0000002 (row 2) belongs to the shipping bill with id 1, which the "
           "cargo file does not hold.";
    QTest::newRow("ref of no bill at all")
        << QVariant(99)
        << "The container MSCU0000002 (row 2) belongs to the shipping bill with id 99, which the "
           "cargo file does not hold.";
    QTest::newRow("no ref") << QVariant()
                            << "The container MSCU0000002 (row 2) names no shipping bill (its ref "
                               "is empty).";
}

void tst_XmlImport::containerOfNoShippingBillIsRefused()
{
    QFETCH(QVariant, ref);
    QFETCH(QString, reason);
    auto db = demo_->company();
    addLocalBill(*db, 1);
    QTemporaryDir dir;
    RowValues stray = container(2, ref, "MSCU0000002");
    stray[4] = 1; // the subrefno that the classic import would have made its ref
    const Pair pair = writePair(
        dir.path(), cargoFile({bill(7, 1), bill(8, 2)}),
        containerFile({container(1, 7, "MSCU0000001"), stray, container(3, 8, "MSCU0000003")}));
    const auto outcome = XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001"});
    QVERIFY(!outcome.imported);
    QCOMPARE(outcome.message,
             QStringLiteral("The container file \"%1\" cannot be imported.\n%2\nNothing was "
                            "imported.")
                 .arg(QDir::toNativeSeparators(pair.containers), reason));
    QCOMPARE(count(*db, "egmcargo"), 1);
    QCOMPARE(count(*db, "egmcontain"), 1);
}

void tst_XmlImport::columnsInAnotherOrderAreMatchedByName_data()
{
    QTest::addColumn<bool>("cargoReordered");
    QTest::addColumn<bool>("containersReordered");
    QTest::addColumn<bool>("namesInOtherCase");
    QTest::newRow("destport and gateport swapped") << true << false << false;
    QTest::newRow("ref and containno swapped") << false << true << false;
    QTest::newRow("both, names in capitals") << true << true << true;
}

void tst_XmlImport::columnsInAnotherOrderAreMatchedByName()
{
    QFETCH(bool, cargoReordered);
    QFETCH(bool, containersReordered);
    QFETCH(bool, namesInOtherCase);
    RowTable cargo = cargoFile({bill(7, 5001), bill(9, 5002)});
    for (RowValues& row : cargo.rows)
        row[7] = QStringLiteral("INNSA1"); // gateport apart from sbport and destport
    RowTable containers =
        containerFile({container(1, 7, "MSCU0000001"), container(2, 9, "MSCU0000002", "E")});
    const auto swap = [](RowTable& t, int a, int b) {
        t.columns.swapItemsAt(a, b);
        for (RowValues& row : t.rows)
            row.swapItemsAt(a, b);
    };
    if (cargoReordered) {
        swap(cargo, 6, 7);  // destport, gateport
        swap(cargo, 0, 12); // id last: the new ids still go to it
    }
    if (containersReordered) {
        swap(containers, 1, 2);
        swap(containers, 0, 4); // autoid last, where the table does not take it
    }
    if (namesInOtherCase) {
        for (ColumnInfo& c : cargo.columns)
            c.name = c.name.toUpper();
        for (ColumnInfo& c : containers.columns)
            c.name = c.name.toUpper();
    }
    auto db = demo_->company();
    addLocalBill(*db, 1);
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargo, containers);
    const auto outcome = XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001"});
    QCOMPARE(outcome.message, QString("Data Imported Sucessfully"));
    QCOMPARE(db->select("select id, sbno, destport, gateport from egmcargo where id > 1 order by "
                        "id")
                 .rows,
             (QList<RowValues>{{2, 5001.0, "AEJEA", "INNSA1"}, {3, 5002.0, "AEJEA", "INNSA1"}}));
    QCOMPARE(db->select("select ref, containno, constatus, subrefno from egmcontain where ref > 1 "
                        "order by containno")
                 .rows,
             (QList<RowValues>{{2, "MSCU0000001", "F", 0}, {3, "MSCU0000002", "E", 0}}));
}

void tst_XmlImport::anotherWriterHoldingTheLockIsNamed()
{
    // Waits out the import's wait for the lock once (two seconds).
    auto db = demo_->company();
    auto other = demo_->company();
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargoFile({bill(7, 1)}),
                                containerFile({container(1, 7, "MSCU0000001")}));
    Database::Transaction saving(*other);
    other->lockTable("egmcargo"); // another clerk numbering a shipping bill
    const auto outcome = XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001", 2});
    const QString number = QString::number(DbError::Busy) + "  ";
    if (TestEngine::onServer())
        QCOMPARE(outcome.message, number + "The table egmcargo is busy: another user has been "
                                           "changing it for over 2 seconds. Nothing was saved; "
                                           "try again in a moment.\nNothing was imported.");
    else
        QCOMPARE(outcome.message, number + "Another user is saving to the database just now; try "
                                           "again in a moment (database is locked).\nNothing was "
                                           "imported.");
    saving.commit();
    QCOMPARE(XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001"}).message,
             QString("Data Imported Sucessfully"));
}

void tst_XmlImport::emptyCargoFileImportsNothing_data()
{
    QTest::addColumn<RowTable>("containers");
    QTest::newRow("no containers either") << containerFile({});
    QTest::newRow("containers without bills") << containerFile({container(1, 7, "MSCU0000001")});
}

void tst_XmlImport::emptyCargoFileImportsNothing()
{
    QFETCH(RowTable, containers);
    auto db = demo_->company();
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargoFile({}), containers);
    const auto outcome = XmlImport::importPair(*db, {pair.cargo, pair.containers, ""});
    QVERIFY(!outcome.imported);
    QCOMPARE(outcome.message, QStringLiteral("The cargo file \"%1\" holds no shipping bills; "
                                             "nothing was imported.")
                                  .arg(QDir::toNativeSeparators(pair.cargo)));
    QCOMPARE(count(*db, "egmcargo"), 0);
    QCOMPARE(count(*db, "egmcontain"), 0);
}

void tst_XmlImport::unreadableFileIsNamed_data()
{
    QTest::addColumn<bool>("cargoAtFault");
    QTest::addColumn<QByteArray>("bytes"); // empty: the file is not there
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("line"); // 0: no line to give

    const QByteArray cargo = AdoXml::write(cargoFile({bill(7, 1), bill(8, 2)}), "egmcargo");
    const QByteArray containers = AdoXml::write(
        containerFile({container(1, 7, "MSCU0000001"), container(2, 8, "MSCU0000002")}),
        "egmcontain");

    QByteArray wrongEnd = cargo;
    wrongEnd.replace("</rs:data>", "</rs:dta>");
    QTest::newRow("cargo not well-formed")
        << true << wrongEnd << "The end tag </rs:dta> does not match the open element <rs:data>."
        << lineOf(wrongEnd, "</rs:dta>");

    QByteArray unquoted = containers;
    unquoted.replace("ref='8'", "ref=8");
    QTest::newRow("container not well-formed")
        << false << unquoted << "The value of the attribute \"ref\" must be in quotes."
        << lineOf(unquoted, "ref=8");

    for (const auto& [name, atFault, whole] :
         {std::tuple{"cargo truncated", true, cargo},
          std::tuple{"container truncated", false, containers}}) {
        const QByteArray cut = whole.left(whole.size() * 3 / 4);
        QTest::newRow(name) << atFault << cut << "The file ends" << int(cut.count('\n')) + 1;
    }

    QTest::newRow("cargo hierarchical")
        << true << kHierarchical.toUtf8() << "hierarchical"
        << lineOf(kHierarchical.toUtf8(), "<s:ElementType name='containers'");
    QByteArray nestedRows = containers;
    nestedRows.replace("subrefno='0'/>", "subrefno='0'><part/></z:row>");
    QTest::newRow("container with nested rows")
        << false << nestedRows << "hierarchical" << lineOf(nestedRows, "<part/>");

    RowTable noEgmno = cargoFile({bill(7, 1)});
    noEgmno.columns[1].name = QStringLiteral("egm_no");
    QTest::newRow("cargo without egmno")
        << true << AdoXml::write(noEgmno) << "The cargo file has no column \"egmno\"." << 0;
    RowTable noRef = containerFile({container(1, 7, "MSCU0000001")});
    noRef.columns[1].name = QStringLiteral("cargoref");
    QTest::newRow("container without ref")
        << false << AdoXml::write(noRef) << "The container file has no column \"ref\"." << 0;
    RowTable noSubref = containerFile({container(1, 7, "MSCU0000001")});
    noSubref.columns.removeLast();
    for (RowValues& row : noSubref.rows)
        row.removeLast();
    QTest::newRow("container without subrefno")
        << false << AdoXml::write(noSubref) << "The container file has no column \"subrefno\"."
        << 0;
    // The clerk picked the container file where the cargo file belongs.
    QTest::newRow("files swapped")
        << true << containers << "The cargo file has no column \"egmno\"." << 0;
    QTest::newRow("cargo file not XML")
        << true << QByteArray("EGM 700001\r\nshipping bills follow\r\n")
        << "Expected the root element here." << 1;
    QTest::newRow("container file missing") << false << QByteArray() << "Cannot open" << 0;
}

void tst_XmlImport::unreadableFileIsNamed()
{
    QFETCH(bool, cargoAtFault);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QFETCH(int, line);

    auto db = demo_->company();
    addLocalBill(*db, 1);
    QTemporaryDir dir;
    Pair pair = writePair(dir.path(), cargoFile({bill(7, 1), bill(8, 2)}),
                          containerFile({container(1, 7, "MSCU0000001")}));
    QString& faulty = cargoAtFault ? pair.cargo : pair.containers;
    faulty = dir.filePath(cargoAtFault ? "sent cargo.xml" : "sent containers.xml");
    if (!bytes.isEmpty())
        writeOrFail(faulty, bytes);

    const auto outcome = XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001"});
    QVERIFY(!outcome.imported);
    const QString m = outcome.message;
    QVERIFY2(m.startsWith(QStringLiteral("The %1 \"%2\" cannot be imported.\n")
                              .arg(cargoAtFault ? "cargo file" : "container file",
                                   QDir::toNativeSeparators(faulty))),
             qPrintable(m));
    QVERIFY2(m.contains(reason), qPrintable(m));
    if (line > 0)
        QVERIFY2(m.contains(QStringLiteral("\nLine %1, column ").arg(line)), qPrintable(m));
    else
        QVERIFY2(!m.contains("\nLine "), qPrintable(m));
    QVERIFY(m.endsWith("\nNothing was imported."));
    QCOMPARE(count(*db, "egmcargo"), 1);
    QCOMPARE(count(*db, "egmcontain"), 1);
}

void tst_XmlImport::fileWiderThanItsTableIsRefused_data()
{
    QTest::addColumn<bool>("cargoAtFault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("cargo file")
        << true
        << "It has 14 columns and the table egmcargo has 13: its columns must be those of "
           "egmcargo, in the same order.";
    QTest::newRow("container file")
        << false
        << "It has 6 columns and the table egmcontain has 5: its columns must be those of "
           "egmcontain, in the same order.";
}

void tst_XmlImport::fileWiderThanItsTableIsRefused()
{
    QFETCH(bool, cargoAtFault);
    QFETCH(QString, reason);

    ColumnInfo remarks;
    remarks.name = QStringLiteral("remarks");
    remarks.size = 50;
    RowTable cargo = cargoFile({bill(7, 1)});
    RowTable containers = containerFile({container(1, 7, "MSCU0000001")});
    RowTable& wide = cargoAtFault ? cargo : containers;
    wide.columns << remarks;
    wide.rows[0] << QStringLiteral("fragile");

    auto db = demo_->company();
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargo, containers);
    const auto outcome = XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001"});
    QCOMPARE(outcome.message,
             QStringLiteral("The %1 \"%2\" cannot be imported.\n%3\nNothing was imported.")
                 .arg(cargoAtFault ? "cargo file" : "container file",
                      QDir::toNativeSeparators(cargoAtFault ? pair.cargo : pair.containers),
                      reason));
    QCOMPARE(count(*db, "egmcargo"), 0);
    QCOMPARE(count(*db, "egmcontain"), 0);
}

void tst_XmlImport::narrowerFileFillsTheLeadingColumns()
{
    // Copied by position from the first column to the file's last: what the
    // file does not have stays empty.
    RowTable cargo = cargoFile({bill(7, 5001)});
    cargo.columns = cargo.columns.mid(0, 4);
    cargo.rows[0] = cargo.rows[0].mid(0, 4);
    // A name the table does not know: the columns go by position.
    RowTable containers = containerFile({container(1, 7, "MSCU0000001")});
    containers.columns[2].name = QStringLiteral("container_no");
    containers.columns.swapItemsAt(3, 4); // ..., subrefno, constatus
    containers.columns.removeLast();
    for (RowValues& row : containers.rows) {
        row.swapItemsAt(3, 4);
        row.removeLast();
    }
    auto db = demo_->company();
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargo, containers);
    QCOMPARE(XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001"}).message,
             QString("Data Imported Sucessfully"));
    const RowTable got = db->select("select * from egmcargo");
    QCOMPARE(got.rows.size(), 1);
    QCOMPARE(got.rows[0][0], QVariant(1));
    QCOMPARE(got.rows[0][3], QVariant(5001.0));
    for (int k = 4; k < 13; ++k)
        QVERIFY(got.rows[0][k].isNull());
    // The container's subrefno landed in constatus, as position 3 says.
    const RowTable box = db->select("select ref, constatus, subrefno from egmcontain");
    QCOMPARE(box.rows[0][0], QVariant(1));
    QCOMPARE(box.rows[0][1], QVariant(QString("0")));
    QVERIFY(box.rows[0][2].isNull());
}

void tst_XmlImport::databaseErrorShowsNumberAndDescription()
{
    auto db = demo_->company();
    db->exec("drop table egmcontain");
    db->clearLayoutCache();
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargoFile({bill(7, 1)}),
                                containerFile({container(1, 7, "MSCU0000001")}));
    const auto outcome = XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001"});
    QCOMPARE(outcome.message, QString::number(DbError::CommandFailed) +
                                  "  no such table: egmcontain\nNothing was imported.");
    QCOMPARE(count(*db, "egmcargo"), 0);
}

void tst_XmlImport::idsBeyondTheLongRangeAreRefused()
{
    auto db = demo_->company();
    db->insertRows("egmcargo", {"id", "egmno"}, {{2147483646, 1.0}});
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargoFile({bill(7, 1), bill(8, 2)}), containerFile({}));
    const auto outcome = XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001"});
    const QString refusal = "The %1 shipping bills cannot be numbered: their ids would run past "
                            "2147483647, the largest a shipping bill id can be. Nothing was "
                            "imported.";
    QCOMPARE(outcome.message, refusal.arg(2));
    QCOMPARE(count(*db, "egmcargo"), 1);
    // One more still fits: the last id an import gives is 2147483647.
    const Pair one = writePair(dir.path(), cargoFile({bill(7, 1)}),
                               containerFile({container(1, 7, "MSCU0000001")}));
    const auto last = XmlImport::importPair(*db, {one.cargo, one.containers, "700001"});
    QCOMPARE(last.message, QString("Data Imported Sucessfully"));
    QCOMPARE(last.firstId, 2147483647);
    QCOMPARE(db->scalar("select ref from egmcontain where containno = 'MSCU0000001'"),
             QVariant(2147483647));
    // And then none.
    QCOMPARE(XmlImport::importPair(*db, {one.cargo, one.containers, "700001"}).message,
             refusal.arg(1));
    QCOMPARE(count(*db, "egmcargo"), 2);
}

void tst_XmlImport::pathsAreTakenWithoutTrailingBlanks()
{
    auto db = demo_->company();
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargoFile({bill(7, 1)}),
                                containerFile({container(1, 7, "MSCU0000001")}));
    const auto outcome =
        XmlImport::importPair(*db, {pair.cargo + "   ", pair.containers + " ", "700001"});
    QCOMPARE(outcome.message, QString("Data Imported Sucessfully"));
}

void tst_XmlImport::missingPathsAreReported_data()
{
    QTest::addColumn<bool>("cargoGiven");
    QTest::addColumn<bool>("containersGiven");
    QTest::addColumn<QString>("message");
    QTest::newRow("no cargo file")
        << false << true << "No cargo file was given; nothing was imported.";
    QTest::newRow("no container file")
        << true << false << "No container file was given; nothing was imported.";
    QTest::newRow("neither") << false << false << "No cargo file was given; nothing was imported.";
}

void tst_XmlImport::missingPathsAreReported()
{
    QFETCH(bool, cargoGiven);
    QFETCH(bool, containersGiven);
    QFETCH(QString, message);
    auto db = demo_->company();
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargoFile({bill(7, 1)}), containerFile({}));
    const auto outcome = XmlImport::importPair(
        *db, {cargoGiven ? pair.cargo : "  ", containersGiven ? pair.containers : "", "700001"});
    QCOMPARE(outcome.message, message);
    QCOMPARE(count(*db, "egmcargo"), 0);
}

void tst_XmlImport::importingTwiceAddsTwice()
{
    auto db = demo_->company();
    QTemporaryDir dir;
    const Pair pair = writePair(dir.path(), cargoFile({bill(7, 1), bill(9, 2)}),
                                containerFile({container(1, 7, "A"), container(2, 9, "B")}));
    for (int round = 0; round < 2; ++round)
        QCOMPARE(XmlImport::importPair(*db, {pair.cargo, pair.containers, "700001"}).firstId,
                 1 + 2 * round);
    QCOMPARE(db->select("select ref from egmcontain order by autoid").rows,
             (QList<RowValues>{{1}, {2}, {3}, {4}}));
}

void tst_XmlImport::fileComposedInAdoFormatImports()
{
    // Written the way ADO saves an Access table: declaration, namespaces,
    // base-table metadata, timestamps, CRLF, wrapped lines, an escaped
    // ampersand and columns left out where the value is null.
    const QString cargo = QFINDTESTDATA("data/ado_egmcargo.xml");
    const QString containers = QFINDTESTDATA("data/ado_egmcontain.xml");
    QVERIFY(!cargo.isEmpty() && !containers.isEmpty());
    auto db = demo_->company();
    addLocalBill(*db, 1);

    const auto outcome = XmlImport::importPair(*db, {cargo, containers, "700001"});
    QCOMPARE(outcome.message, QString("Data Imported Sucessfully"));
    QCOMPARE(outcome.shippingBills, 3);
    QCOMPARE(outcome.containers, 3);

    const RowTable bills = db->select("select * from egmcargo where id > 1 order by id");
    QCOMPARE(bills.rows.size(), 3);
    QCOMPARE(bills.rows[0],
             (RowValues{2, 700001.0, QDate(2006, 3, 5), 5001.0, QDate(2006, 3, 1), "INIXY1",
                        "AEJEA", "INIXY1", "C", QVariant(), QVariant(), 120, "M&S"}));
    QCOMPARE(bills.rows[1][9], QVariant(12.5));
    QCOMPARE(bills.rows[1][10], QVariant("CBM"));
    QVERIFY(bills.rows[2][12].isNull());
    QCOMPARE(bills.rows[2][4], QVariant(QDate(2006, 3, 4)));

    const RowTable boxes =
        db->select("select ref, containno, constatus, subrefno from egmcontain where ref > 1 "
                   "order by containno");
    QCOMPARE(boxes.rows, (QList<RowValues>{{2, "MSCU1234567", "F", 0},
                                           {2, "MSCU7654321", "E", 0},
                                           {4, "TGHU0000017", "F", 0}}));
}

void tst_XmlImport::hierarchicalAdoSampleIsRefused()
{
    const QString sample = QStringLiteral(
        TARVEX_SHARED_DIR "/testdata/ado-samples/legacy_rowversion_relation_shape.xml");
    if (!QFile::exists(sample))
        QSKIP("the ADO samples are not there");
    const QString containers = QFINDTESTDATA("data/ado_egmcontain.xml");
    auto db = demo_->company();
    for (bool asCargo : {true, false}) {
        const auto outcome =
            XmlImport::importPair(*db, {asCargo ? sample : QFINDTESTDATA("data/ado_egmcargo.xml"),
                                        asCargo ? containers : sample, "700001"});
        QVERIFY(!outcome.imported);
        QVERIFY2(
            outcome.message.startsWith(QStringLiteral("The %1 \"%2\" cannot be imported.\nLine ")
                                           .arg(asCargo ? "cargo file" : "container file",
                                                QDir::toNativeSeparators(sample))),
            qPrintable(outcome.message));
        QVERIFY(outcome.message.contains("hierarchical"));
        QCOMPARE(count(*db, "egmcargo"), 0);
        QCOMPARE(count(*db, "egmcontain"), 0);
    }
}

QTEST_GUILESS_MAIN(tst_XmlImport)
#include "tst_xmlimport.moc"
