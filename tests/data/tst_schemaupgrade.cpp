// A company database of an earlier Tarvex brought up to date, one whose ids
// collide left alone, one of a newer Tarvex not touched.

#include "DataTesting.h"
#include "Schema.h"

#include <QtTest>

using State = Schema::Upgrade::State;

namespace {

/// A company database as an earlier Tarvex left it: no version, no keys.
void makeEarlier(Database& db)
{
    Schema::createCompanyDatabase(db);
    db.exec("drop index egmcargo_id");
    db.exec("drop index cargo_id");
    db.exec("drop table schemaversion");
    db.exec("drop table egmcargo_deleted");
    db.exec("drop table egmcontain_deleted");
    db.exec("drop table billhistory");
    db.clearLayoutCache();
}

/// A company database of version 3: deleted bills kept, no history.
void makeVersion3(Database& db)
{
    Schema::createCompanyDatabase(db);
    db.exec("drop table billhistory");
    db.exec("update schemaversion set version = 3");
    db.clearLayoutCache();
}

bool keyed(Database& db, const QString& table)
{
    for (const SqlDialect::Index& i : db.indexes(table))
        if (i.unique && i.columns == QStringList{"id"})
            return true;
    return false;
}

} // namespace

class tst_SchemaUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void upgrade_data();
    void upgrade();
};

void tst_SchemaUpgrade::upgrade_data()
{
    QTest::addColumn<int>("version"); // 1 or 3: earlier, 0: this program's
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("versionAfter");
    QTest::addColumn<QStringList>("said");

    const int now = Schema::companyVersion;
    QTest::newRow("earlier, ids apart")
        << 1 << QStringList{"insert into egmcargo (id, egmno, sbno) values (1, 10, 100)"}
        << int(State::Upgraded) << now << QStringList{};
    QTest::newRow("earlier, a bill id twice")
        << 1
        << QStringList{"insert into egmcargo (id, egmno, sbno) values (7, 10, 100)",
                       "insert into egmcargo (id, egmno, sbno) values (7, 10, 101)",
                       "insert into egmcargo (id, egmno, sbno) values (9, 10, 102)"}
        << int(State::Collides) << 1
        << QStringList{"id 7: 2 rows (ROT No. 10 SB No. 100, ROT No. 10 SB No. 101)",
                       "new id above 9", "left as it is"};
    QTest::newRow("earlier, a cargo line id twice")
        << 1
        << QStringList{"insert into cargo (id) values (3)", "insert into cargo (id) values (3)"}
        << int(State::Collides) << 1 << QStringList{"table cargo", "id 3: 2 rows"};
    QTest::newRow("version 3, deleted bills kept")
        << 3 << QStringList{"insert into egmcargo (id, egmno, sbno) values (1, 10, 100)"}
        << int(State::Upgraded) << now << QStringList{};
    QTest::newRow("current") << 0 << QStringList{} << int(State::Current) << now << QStringList{};
    QTest::newRow("newer") << now + 1 << QStringList{} << int(State::Newer) << now + 1
                           << QStringList{"newer Tarvex", "read-only"};
}

void tst_SchemaUpgrade::upgrade()
{
    QFETCH(int, version);
    QFETCH(QStringList, rows);
    QFETCH(int, state);
    QFETCH(int, versionAfter);
    QFETCH(QStringList, said);
    ScratchDatabase s;
    Database& db = s.db();
    if (version == 1)
        makeEarlier(db);
    else if (version == 3)
        makeVersion3(db);
    else
        Schema::createCompanyDatabase(db);
    if (version > 3)
        db.exec("update schemaversion set version = ?", {version});
    for (const QString& sql : rows)
        db.exec(sql);

    const Schema::Upgrade u = Schema::upgradeCompanyDatabase(db);
    QCOMPARE(int(u.state), state);
    QCOMPARE(Schema::companyDatabaseVersion(db), versionAfter);
    for (const QString& text : said)
        QVERIFY2(u.message.contains(text), qPrintable(u.message));
    QCOMPARE(u.message.isEmpty(), said.isEmpty());
    const bool keys = versionAfter > 1;
    QCOMPARE(keyed(db, "egmcargo"), keys);
    QCOMPARE(keyed(db, "cargo"), keys);
    QCOMPARE(db.tableExists("egmcargo_deleted"), keys);
    QCOMPARE(db.tableExists("billhistory"), versionAfter >= 4);
    QCOMPARE(db.scalar("select count(*) from egmcargo").toInt() +
                 db.scalar("select count(*) from cargo").toInt(),
             int(rows.size()));
}

QTEST_GUILESS_MAIN(tst_SchemaUpgrade)
#include "tst_schemaupgrade.moc"
