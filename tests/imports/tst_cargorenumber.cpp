#include "CargoRenumber.h"

#include <QTest>

Q_DECLARE_METATYPE(RowTable)

namespace {

/// egmcargo's first columns are enough: id, egmno and one more to watch.
RowTable cargoFile(const QList<int>& ids)
{
    RowTable t;
    t.columns = {ColumnInfo::of("id", ColumnType::Long),
                 ColumnInfo::of("egmno", ColumnType::Double),
                 ColumnInfo::of("sbno", ColumnType::Double)};
    for (int id : ids)
        t.rows.append({id, 1234.0, 5000.0 + id});
    return t;
}

/// egmcontain: autoid, ref, containno, constatus, subrefno.
RowTable containerFile(const QList<QVariant>& refs, const QList<QVariant>& subrefs)
{
    RowTable t;
    t.columns = {ColumnInfo::of("autoid", ColumnType::Long),
                 ColumnInfo::of("ref", ColumnType::Long),
                 ColumnInfo::of("containno", ColumnType::Text, 11),
                 ColumnInfo::of("constatus", ColumnType::Text, 3),
                 ColumnInfo::of("subrefno", ColumnType::Long)};
    for (qsizetype i = 0; i < refs.size(); ++i)
        t.rows.append({int(100 + i), refs[i], QStringLiteral("CONT%1").arg(i), QStringLiteral("F"),
                       subrefs.value(i, 0)});
    return t;
}

} // namespace

class TestCargoRenumber : public QObject
{
    Q_OBJECT

private slots:
    void renumbers_data();
    void renumbers();
    void idsGoToTheGivenColumn();
    void columnCheck_data();
    void columnCheck();
};

void TestCargoRenumber::renumbers_data()
{
    QTest::addColumn<int>("baseId");
    QTest::addColumn<QList<int>>("fileIds");
    QTest::addColumn<QList<QVariant>>("fileRefs");
    QTest::addColumn<QList<QVariant>>("fileSubrefs");
    QTest::addColumn<QList<int>>("newIds");
    QTest::addColumn<QList<QVariant>>("newRefs");
    QTest::addColumn<QList<qsizetype>>("strays");

    QTest::newRow("empty local table")
        << 1 << QList<int>{7, 9} << QList<QVariant>{7, 7, 9} << QList<QVariant>{0, 0, 0}
        << QList<int>{1, 2} << QList<QVariant>{1, 1, 2} << QList<qsizetype>{};
    QTest::newRow("new ids equal the old ones")
        << 2 << QList<int>{2, 3} << QList<QVariant>{2, 3} << QList<QVariant>{0, 0}
        << QList<int>{2, 3} << QList<QVariant>{2, 3} << QList<qsizetype>{};
    // The first bill's new id is the second bill's old id: its containers
    // must not be caught again by the second bill.
    QTest::newRow("ids swap places")
        << 6 << QList<int>{7, 6} << QList<QVariant>{7, 6} << QList<QVariant>{0, 0}
        << QList<int>{6, 7} << QList<QVariant>{6, 7} << QList<qsizetype>{};
    // Such a container would land on whatever bill holds that id: the
    // import refuses the pair when it is told of one.
    QTest::newRow("container of no shipping bill keeps its file subrefno")
        << 1 << QList<int>{7} << QList<QVariant>{7, 99, QVariant()} << QList<QVariant>{0, 42, 5}
        << QList<int>{1} << QList<QVariant>{1, 42, 5} << QList<qsizetype>{1, 2};
    QTest::newRow("no containers")
        << 10 << QList<int>{3, 1, 2} << QList<QVariant>{} << QList<QVariant>{}
        << QList<int>{10, 11, 12} << QList<QVariant>{} << QList<qsizetype>{};
    // The last id there is: no id after it is made (a signed overflow).
    QTest::newRow("the last id") << 2147483646 << QList<int>{7, 8} << QList<QVariant>{8, 7}
                                 << QList<QVariant>{0, 0} << QList<int>{2147483646, 2147483647}
                                 << QList<QVariant>{2147483647, 2147483646} << QList<qsizetype>{};
}

void TestCargoRenumber::renumbers()
{
    QFETCH(int, baseId);
    QFETCH(QList<int>, fileIds);
    QFETCH(QList<QVariant>, fileRefs);
    QFETCH(QList<QVariant>, fileSubrefs);
    QFETCH(QList<int>, newIds);
    QFETCH(QList<QVariant>, newRefs);
    QFETCH(QList<qsizetype>, strays);

    RowTable cargo = cargoFile(fileIds);
    RowTable containers = containerFile(fileRefs, fileSubrefs);
    QCOMPARE(checkImportColumns(cargo, containers), QString());
    QCOMPARE(renumberImport(cargo, containers, baseId), strays);

    QCOMPARE(cargo.rows.size(), newIds.size());
    for (qsizetype r = 0; r < newIds.size(); ++r) {
        QCOMPARE(cargo.rows[r][0], QVariant(newIds[r]));
        // The other columns travel unchanged.
        QCOMPARE(cargo.rows[r][2], QVariant(5000.0 + fileIds[r]));
    }
    QCOMPARE(containers.rows.size(), newRefs.size());
    for (qsizetype r = 0; r < newRefs.size(); ++r) {
        QCOMPARE(containers.rows[r][1], newRefs[r]);
        QCOMPARE(containers.rows[r][4], QVariant(0));
        QCOMPARE(containers.rows[r][0], QVariant(int(100 + r)));
        QCOMPARE(containers.rows[r][2], QVariant(QStringLiteral("CONT%1").arg(r)));
    }
}

void TestCargoRenumber::idsGoToTheGivenColumn()
{
    // A file matched by name may hold its id anywhere.
    RowTable cargo;
    cargo.columns = {ColumnInfo::of("egmno", ColumnType::Double),
                     ColumnInfo::of("id", ColumnType::Long)};
    cargo.rows = {{1234.0, 7}, {1234.0, 9}};
    RowTable containers = containerFile({9, 7}, {});
    QCOMPARE(renumberImport(cargo, containers, 20, 1), QList<qsizetype>{});
    QCOMPARE(cargo.rows, (QList<RowValues>{{1234.0, 20}, {1234.0, 21}}));
    QCOMPARE(containers.rows[0][1], QVariant(21));
    QCOMPARE(containers.rows[1][1], QVariant(20));
}

void TestCargoRenumber::columnCheck_data()
{
    QTest::addColumn<RowTable>("cargo");
    QTest::addColumn<RowTable>("containers");
    QTest::addColumn<QString>("message");

    const RowTable cargo = cargoFile({1});
    const RowTable containers = containerFile({1}, {0});
    QTest::newRow("all there") << cargo << containers << QString();

    RowTable upper = cargo;
    upper.columns[1].name = QStringLiteral("EGMNO");
    RowTable mixed = containers;
    mixed.columns[1].name = QStringLiteral("Ref");
    mixed.columns[4].name = QStringLiteral("SubRefNo");
    QTest::newRow("names in other cases") << upper << mixed << QString();

    RowTable noEgmno = cargo;
    noEgmno.columns[1].name = QStringLiteral("egm_no");
    QTest::newRow("cargo without egmno")
        << noEgmno << containers << "The cargo file has no column \"egmno\".";
    QTest::newRow("cargo without columns")
        << RowTable() << containers << "The cargo file has no columns.";

    RowTable noRef = containers;
    noRef.columns[1].name = QStringLiteral("reference");
    QTest::newRow("containers without ref")
        << cargo << noRef << "The container file has no column \"ref\".";

    RowTable noSubref = containers;
    noSubref.columns.removeLast();
    QTest::newRow("containers without subrefno")
        << cargo << noSubref << "The container file has no column \"subrefno\".";
}

void TestCargoRenumber::columnCheck()
{
    QFETCH(RowTable, cargo);
    QFETCH(RowTable, containers);
    QFETCH(QString, message);
    QCOMPARE(checkImportColumns(cargo, containers), message);
}

QTEST_GUILESS_MAIN(TestCargoRenumber)
#include "tst_cargorenumber.moc"
