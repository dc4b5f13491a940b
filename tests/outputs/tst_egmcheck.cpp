// The check of an EGM: each rule's table holds bills that must give a
// finding and clean bills that must give none.

#include "ContainerNumber.h"
#include "Database.h"
#include "EgmCheck.h"
#include "Schema.h"
#include "TestEngine.h"

#include <QTest>

using namespace EgmCheck;

Q_DECLARE_METATYPE(EgmCheck::Egm)

namespace {

const QDate kEgmDate(2024, 3, 5);

/// A bill that breaks no rule: containerised, in the port list, dated
/// before the EGM.
Bill bill(qint64 id, double sbno, const QDate& sbdt = QDate(2024, 3, 1))
{
    Bill b;
    b.id = id;
    b.sbNo = sbno;
    b.sbDate = sbdt;
    b.egmDate = kEgmDate;
    b.sbPort = b.gatePort = QStringLiteral("INNSA1");
    b.destPort = QStringLiteral("USNYC");
    b.nature = QStringLiteral("C");
    b.packages = 10;
    return b;
}

Bill bulk(qint64 id, double sbno)
{
    Bill b = bill(id, sbno);
    b.nature = QStringLiteral("P");
    b.packages.reset();
    b.volume = 12.5;
    b.unit = QStringLiteral("CBM");
    return b;
}

struct Box
{
    int bill;
    const char* number;
    const char* status = "F";
};

Egm egm(std::vector<Bill> bills, std::initializer_list<Box> boxes = {})
{
    Egm e;
    e.rotText = QStringLiteral("2024117");
    e.egmDate = kEgmDate;
    e.today = QDate(2024, 6, 1);
    e.ports = {QStringLiteral("USNYC"), QStringLiteral("DEHAM")};
    e.bills = std::move(bills);
    for (const Box& b : boxes)
        e.addContainer(b.bill, b.number, b.status);
    // Every containerised bill of the tables has a container unless the
    // row is about one without.
    return e;
}

/// Containerised bills each with a valid container of their own.
Egm clean(std::vector<Bill> bills)
{
    Egm e = egm(std::move(bills));
    const char* numbers[] = {"CSQU3054383", "MWCU6059784", "MSKU1234565", "TCLU7654320"};
    for (int i = 0; i < int(e.bills.size()); ++i)
        if (e.bills[size_t(i)].containerised())
            e.addContainer(i, numbers[i % 4], "F");
    return e;
}

QStringList findings(const char* ruleName, const Egm& e)
{
    QList<Finding> out;
    for (const Rule& r : rules())
        if (QLatin1String(r.name) == QLatin1String(ruleName))
            r.apply(e, out);
    QStringList lines;
    for (const Finding& f : out)
        lines << line(f) + QStringLiteral(" [") + f.field + u']';
    return lines;
}

} // namespace

class TestEgmCheck : public QObject
{
    Q_OBJECT

private:
    void ruleTable()
    {
        QTest::addColumn<Egm>("egm");
        QTest::addColumn<QStringList>("expected");
    }
    void runRule(const char* name)
    {
        QFETCH(Egm, egm);
        QFETCH(QStringList, expected);
        QCOMPARE(findings(name, egm), expected);
    }

private slots:
    void containerNumber_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("reason");
        using V = ContainerNumber::Verdict;
        QTest::newRow("valid CSQU") << "CSQU3054383" << int(V::Valid) << "";
        QTest::newRow("valid MWCU") << "MWCU6059784" << int(V::Valid) << "";
        QTest::newRow("valid J category") << "ABCJ1234563" << int(V::Valid) << "";
        QTest::newRow("remainder 10 is 0") << "ABCU0000070" << int(V::Valid) << "";
        QTest::newRow("wrong digit")
            << "CSQU3054384" << int(V::WrongCheckDigit) << "check digit should be 3";
        QTest::newRow("ten characters")
            << "CSQU305438" << int(V::NoCheckDigit)
            << "container number has 10 characters: no check digit to check it by";
        QTest::newRow("empty") << "" << int(V::WrongForm) << "container number is empty";
        QTest::newRow("blank after") << "CSQU3054383 " << int(V::WrongForm)
                                     << "container number has blanks before or after it";
        QTest::newRow("too short") << "CSQU30543" << int(V::WrongForm)
                                   << "container number should have 11 characters (4 letters "
                                      "and 7 digits), not 9";
        QTest::newRow("small letters")
            << "csqu3054383" << int(V::WrongForm)
            << "container number should start with the owner's 3 capital letters";
        QTest::newRow("digit in owner")
            << "C5QU3054383" << int(V::WrongForm)
            << "container number should start with the owner's 3 capital letters";
        QTest::newRow("category X") << "CSQX3054383" << int(V::WrongForm)
                                    << "the 4th letter of the container number (its category) "
                                       "should be U, J or Z";
        QTest::newRow("letter O for zero") << "CSQU3O54383" << int(V::WrongForm)
                                           << "characters 5 to 10 of the container number "
                                              "should be the 6-digit serial number";
        QTest::newRow("letter check digit")
            << "CSQU305438X" << int(V::WrongForm)
            << "the last character of the container number should be its check digit";
    }
    void containerNumber()
    {
        QFETCH(QString, number);
        QFETCH(int, verdict);
        QFETCH(QString, reason);
        const ContainerNumber::Result r = ContainerNumber::check(number);
        QCOMPARE(int(r.verdict), verdict);
        QCOMPARE(r.reason, reason);
    }

    void checkDigitOfLetters_data()
    {
        // Every letter value once: A=10 ... K=21, L=23 ... U=32, V=34 ... Z=38.
        QTest::addColumn<QString>("firstTen");
        QTest::addColumn<int>("digit");
        QTest::newRow("ABCU") << "ABCU000000" << (10 + 12 * 2 + 13 * 4 + 32 * 8) % 11 % 10;
        QTest::newRow("KLMZ") << "KLMZ000000" << (21 + 23 * 2 + 24 * 4 + 38 * 8) % 11 % 10;
        QTest::newRow("VWXJ") << "VWXJ000001" << (34 + 35 * 2 + 36 * 4 + 20 * 8 + 512) % 11 % 10;
        QTest::newRow("not of the form") << "AB1U000000" << -1;
    }
    void checkDigitOfLetters()
    {
        QFETCH(QString, firstTen);
        QFETCH(int, digit);
        QCOMPARE(ContainerNumber::checkDigit(firstTen.toLatin1()), digit);
    }

    void containerNumbers_data()
    {
        ruleTable();
        QTest::newRow("clean") << clean({bill(1, 5001), bill(2, 5002)}) << QStringList();
        QTest::newRow("wrong digit")
            << egm({bill(1, 5001)}, {{0, "CSQU3054384"}})
            << QStringList{"error  SB 5001  container CSQU3054384  check digit should be 3 "
                           "[containno]"};
        QTest::newRow("ten characters warn")
            << egm({bill(1, 5001)}, {{0, "CSQU305438"}})
            << QStringList{"warning  SB 5001  container CSQU305438  container number has 10 "
                           "characters: no check digit to check it by [containno]"};
    }
    void containerNumbers() { runRule("containerNumbers"); }

    void sameContainerTwice_data()
    {
        ruleTable();
        QTest::newRow("clean") << clean({bill(1, 5001), bill(2, 5002)}) << QStringList();
        QTest::newRow("consolidated: same container on two bills")
            << egm({bill(1, 5001), bill(2, 5002)}, {{0, "CSQU3054383"}, {1, "CSQU3054383"}})
            << QStringList();
        QTest::newRow("twice on one bill")
            << egm({bill(1, 5001)}, {{0, "CSQU3054383"}, {0, "MWCU6059784"}, {0, "CSQU3054383"}})
            << QStringList{"error  SB 5001  container CSQU3054383  container is entered twice "
                           "on this bill [containno]"};
    }
    void sameContainerTwice() { runRule("sameContainerTwice"); }

    void containerStatusAcrossBills_data()
    {
        ruleTable();
        QTest::newRow("consolidated, same status")
            << egm({bill(1, 5001), bill(2, 5002)},
                   {{0, "CSQU3054383", "F"}, {1, "CSQU3054383", "F"}})
            << QStringList();
        QTest::newRow("status in another case and with a blank")
            << egm({bill(1, 5001), bill(2, 5002)},
                   {{0, "CSQU3054383", "F"}, {1, "CSQU3054383", "f "}})
            << QStringList();
        QTest::newRow("F on one, E on another")
            << egm({bill(1, 5001), bill(2, 5002)},
                   {{0, "CSQU3054383", "F"}, {1, "CSQU3054383", "E"}})
            << QStringList{"error  SB 5002  container CSQU3054383  container status is E here "
                           "but F on SB 5001 [constatus]"};
    }
    void containerStatusAcrossBills() { runRule("containerStatusAcrossBills"); }

    void sameShippingBillTwice_data()
    {
        ruleTable();
        QTest::newRow("clean") << clean({bill(1, 5001), bill(2, 5002)}) << QStringList();
        QTest::newRow("same number, other date")
            << clean({bill(1, 5001, QDate(2024, 3, 1)), bill(2, 5001, QDate(2024, 3, 2))})
            << QStringList();
        QTest::newRow("same number and date")
            << clean({bill(1, 5001), bill(2, 5002), bill(3, 5001)})
            << QStringList{"error  SB 5001  SB No. 5001 of 01/03/2024 is entered on another "
                           "bill of this EGM too [sbno]"};
    }
    void sameShippingBillTwice() { runRule("sameShippingBillTwice"); }

    void containersMatchNature_data()
    {
        ruleTable();
        QTest::newRow("clean") << clean({bill(1, 5001), bulk(2, 5002)}) << QStringList();
        Bill cp = bill(1, 5001);
        cp.nature = QStringLiteral("CP");
        QTest::newRow("containerised without containers")
            << egm({cp})
            << QStringList{"error  SB 5001  containerised cargo (nature CP) without containers "
                           "[containno]"};
        QTest::newRow("bulk with containers")
            << egm({bulk(1, 5001)}, {{0, "CSQU3054383"}})
            << QStringList{"error  SB 5001  cargo of nature P has 1 container(s); only "
                           "containerised cargo (C, CP) has containers [naturecargo]"};
    }
    void containersMatchNature() { runRule("containersMatchNature"); }

    void requiredFields_data()
    {
        ruleTable();
        QTest::newRow("clean") << clean({bill(1, 5001), bulk(2, 5002)}) << QStringList();
        Bill none = bill(1, 0);
        none.sbNo.reset();
        none.sbDate.reset();
        none.nature.clear();
        none.destPort = QStringLiteral("  ");
        QTest::newRow("nothing typed")
            << egm({none})
            << QStringList{"error  SB -  SB No. is missing [sbno]",
                           "error  SB -  SB date is missing [sbdt]",
                           "error  SB -  nature of cargo is missing [naturecargo]",
                           "error  SB -  destination port is missing [destport]"};
        Bill textDate = bill(1, 5001);
        textDate.sbDate.reset();
        textDate.sbDateText = QStringLiteral("31/02/2024");
        QTest::newRow("date that is no date")
            << clean({textDate})
            << QStringList{"error  SB 5001  SB date \"31/02/2024\" is not a date [sbdt]"};
        Bill noPackages = bill(1, 5001);
        noPackages.packages = 0;
        QTest::newRow("containerised without packages")
            << clean({noPackages})
            << QStringList{"error  SB 5001  number of packages is missing [pkgs]"};
        Bill noVolume = bulk(1, 5001);
        noVolume.volume.reset();
        Bill noUnit = bulk(2, 5002);
        noUnit.unit.clear();
        QTest::newRow("other cargo without volume or unit")
            << egm({noVolume, noUnit})
            << QStringList{"error  SB 5001  volume is missing [volume]",
                           "error  SB 5002  unit of the volume is missing [unitvol]"};
    }
    void requiredFields() { runRule("requiredFields"); }

    void shippingBillDateNotLater_data()
    {
        ruleTable();
        QTest::newRow("same day as the EGM") << clean({bill(1, 5001, kEgmDate)}) << QStringList();
        QTest::newRow("after the EGM date")
            << clean({bill(1, 5001, QDate(2024, 3, 6))})
            << QStringList{"error  SB 5001  SB date 06/03/2024 is after the EGM date 05/03/2024 "
                           "[sbdt]"};
        Egm future = clean({bill(1, 5001, QDate(2024, 7, 1))});
        future.egmDate = QDate(2024, 7, 10);
        QTest::newRow("after today")
            << future << QStringList{"error  SB 5001  SB date 01/07/2024 is after today [sbdt]"};
    }
    void shippingBillDateNotLater() { runRule("shippingBillDateNotLater"); }

    void destinationPortKnown_data()
    {
        ruleTable();
        QTest::newRow("clean") << clean({bill(1, 5001)}) << QStringList();
        Bill other = bill(1, 5001);
        other.destPort = QStringLiteral("USNYC1");
        Bill lower = bill(2, 5002);
        lower.destPort = QStringLiteral("usnyc");
        QTest::newRow("not in the list")
            << clean({other, lower})
            << QStringList{"error  SB 5001  destination port \"USNYC1\" is not in the port list "
                           "[destport]",
                           "error  SB 5002  destination port \"usnyc\" is not in the port list "
                           "[destport]"};
    }
    void destinationPortKnown() { runRule("destinationPortKnown"); }

    void shippingBillInOtherEgm_data()
    {
        ruleTable();
        QTest::newRow("clean") << clean({bill(1, 5001)}) << QStringList();
        Egm e = clean({bill(1, 5001), bill(2, 5002)});
        e.elsewhere.insert(5002, {QStringLiteral("2024118"), QStringLiteral("2024119")});
        QTest::newRow("in two other EGMs")
            << e
            << QStringList{"warning  SB 5002  SB No. 5002 is also entered under ROT No. "
                           "2024118, 2024119 [sbno]"};
    }
    void shippingBillInOtherEgm() { runRule("shippingBillInOtherEgm"); }

    void shippingBillDateNotOld_data()
    {
        ruleTable();
        QTest::newRow("six months to the day")
            << clean({bill(1, 5001, QDate(2023, 9, 5))}) << QStringList();
        QTest::newRow("older")
            << clean({bill(1, 5001, QDate(2023, 9, 4))})
            << QStringList{"warning  SB 5001  SB date 04/09/2023 is more than 6 months before "
                           "the EGM date 05/03/2024 [sbdt]"};
    }
    void shippingBillDateNotOld() { runRule("shippingBillDateNotOld"); }

    void storedEgmDate_data()
    {
        ruleTable();
        QTest::newRow("clean") << clean({bill(1, 5001), bill(2, 5002)}) << QStringList();
        Egm e = clean({bill(1, 5001), bill(2, 5002), bill(3, 5003), bill(4, 5004)});
        e.bills[1].egmDate = e.bills[2].egmDate = QDate(2024, 3, 4);
        e.bills[3].egmDate.reset();
        QTest::newRow("two bills of another date, one without")
            << e
            << QStringList{"warning  SB 5002  stored EGM date 04/03/2024 (2 bills, this the "
                           "first); the file will carry 05/03/2024 [egmdt]",
                           "warning  SB 5004  no stored EGM date (this bill); the file will "
                           "carry 05/03/2024 [egmdt]"};
        Egm untyped = clean({bill(1, 5001), bill(2, 5002), bill(3, 5003)});
        untyped.egmDate.reset();
        untyped.bills[2].egmDate = QDate(2024, 3, 4);
        QTest::newRow("no date typed: the most common stands")
            << untyped
            << QStringList{"warning  SB 5003  stored EGM date 04/03/2024 (this bill); the file "
                           "will carry 05/03/2024 [egmdt]"};
    }
    void storedEgmDate() { runRule("storedEgmDate"); }

    void portCodeForm_data()
    {
        ruleTable();
        Bill icd = bill(1, 5001);
        icd.sbPort = icd.gatePort = QStringLiteral("INIXY1");
        QTest::newRow("clean") << clean({bill(1, 5001), icd}) << QStringList();
        Bill wrong = bill(1, 5001);
        wrong.sbPort = QStringLiteral("INNSA");
        wrong.gatePort = QStringLiteral("innsa1");
        QTest::newRow("five characters, small letters")
            << clean({wrong})
            << QStringList{"warning  SB 5001  port of shipment \"INNSA\" is not a 6-character "
                           "customs code (as INIXY1) [sbport]",
                           "warning  SB 5001  gateway port \"innsa1\" is not a 6-character "
                           "customs code (as INIXY1) [gateport]"};
    }
    void portCodeForm() { runRule("portCodeForm"); }

    void errorsComeFirst()
    {
        Egm e = egm({bill(1, 5001), bill(2, 5002)}, {{0, "CSQU305438"}, {1, "CSQU3054384"}});
        const QList<Finding> all = check(e);
        QCOMPARE(all.size(), 2);
        QVERIFY(all[0].isError());
        QCOMPARE(all[0].billId, 2);
        QCOMPARE(all[1].severity, Severity::Warning);
        QCOMPARE(summary("2024117 ", all), "ROT No. 2024117: 1 error, 1 warning.");
        QCOMPARE(summary("2024117", {}),
                 "ROT No. 2024117: no error and no warning, ready to be filed.");
    }

    void readsTheEgmFromTheDatabase()
    {
        FreshDatabase fresh;
        Database& db = fresh.db();
        Schema::createCompanyDatabase(db);
        const QStringList columns = {"id",          "egmno",  "egmdt",    "sbno",
                                     "sbdt",        "sbport", "destport", "gateport",
                                     "naturecargo", "volume", "unitvol",  "pkgs"};
        const QDate egmDay(2024, 3, 5);
        db.insertRows("egmcargo", columns,
                      {{1, 2024117, egmDay, 5001, QDate(2024, 3, 1), "INNSA1", "USNYC", "INNSA1",
                        "C", QVariant(), QVariant(), 10},
                       {2, 2024117, egmDay, 5002, QDate(2024, 3, 2), "INNSA1", "DEHAM", "INNSA1",
                        "P", 12.5, "CBM", QVariant()},
                       {3, 2024118, QDate(2024, 3, 9), 5002, QDate(2024, 3, 2), "INNSA1", "DEHAM",
                        "INNSA1", "P", 3.0, "MT", QVariant()}});
        db.insertRows("egmcontain", {"ref", "containno", "constatus", "subrefno"},
                      {{1, "CSQU3054384", "F", 0}, {1, "MWCU6059784", "F", 0}});
        const Egm e = read(db, "2024117", egmDay, QDate(2024, 6, 1));
        QCOMPARE(e.bills.size(), size_t(2));
        QCOMPARE(e.bills[1].volume, 12.5);
        QCOMPARE(e.bills[1].unit, "CBM");
        QCOMPARE(e.bills[0].sbDate, QDate(2024, 3, 1));
        QCOMPARE(e.containerCount(), 2);
        QVERIFY(e.ports.contains("DEHAM"));
        QStringList lines;
        for (const Finding& f : check(e))
            lines << line(f);
        QCOMPARE(lines,
                 QStringList({"error  SB 5001  container CSQU3054384  check digit should be 3",
                              "warning  SB 5002  SB No. 5002 is also entered under ROT No. "
                              "2024118"}));
    }
};

QTEST_GUILESS_MAIN(TestEgmCheck)
#include "tst_egmcheck.moc"
