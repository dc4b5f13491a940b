// What the screens rely on that engines do differently unless the data layer
// evens it out (stored order, fixed-width text, date-times, auto-numbers),
// and what a server adds: logins, a failed statement spoiling its
// transaction, a connection lost and found again.

#include "DataTesting.h"
#include "Database.h"
#include "PostgresDialect.h"
#include "RowSet.h"
#include "Schema.h"
#include "TestEngine.h"

#include <QtTest>
#include <ctime>
#include <optional>

namespace {

const QString createLoguser = QStringLiteral(
    "create table loguser(uid char(50), pwd char(50), urights char(50), mrights char(150))");

QStringList texts(Database& db, const QString& sql)
{
    QStringList out;
    for (const RowValues& r : db.select(sql).rows)
        out << r.value(0).toString();
    return out;
}

void needsServer()
{
    if (!TestEngine::onServer())
        qFatal("needsServer() outside a server run");
}

/// A location of the test server with one parameter changed.
Database::Location serverWith(const QString& keyword, const QString& value)
{
    PgConninfo::Pairs pairs;
    PgConninfo::parse(TestEngine::serverWithoutDatabase(), &pairs, nullptr);
    bool found = false;
    for (auto& p : pairs)
        if (p.first == keyword) {
            p.second = value;
            found = true;
        }
    if (!found)
        pairs.append({keyword, value});
    return {QStringLiteral("PSQL"), TestEngine::programDatabase(), PgConninfo::join(pairs)};
}

} // namespace

#define SERVER_ONLY()                                                                              \
    do {                                                                                           \
        if (!TestEngine::onServer())                                                               \
            QSKIP("A server's own behaviour: runs in the PostgreSQL half (tst_engines_psql).");    \
        needsServer();                                                                             \
    } while (false)

class TestEngines : public QObject
{
    Q_OBJECT

private slots:
    void rowsKeepTheirStoredOrderWhenChanged()
    {
        ScratchDatabase s;
        Database& db = s.db();
        db.exec(createLoguser);
        for (const char* uid : {"carol", "alpha", "bob"})
            db.exec(QStringLiteral("insert into loguser(uid,pwd) values (?,?)"),
                    {QString::fromLatin1(uid), QStringLiteral("x")});
        db.exec(QStringLiteral("update loguser set pwd = ? where uid = ?"),
                {QStringLiteral("changed"), QStringLiteral("carol")});

        // A row set's edit, located without a key, moves nothing either.
        RowSet rs;
        rs.openTable(s.ptr(), QStringLiteral("loguser"));
        rs.moveNext();
        rs.setValue(QStringLiteral("pwd"), QStringLiteral("again"));
        rs.update();

        QCOMPARE(texts(db, QStringLiteral("select uid from loguser")),
                 (QStringList{"carol", "alpha", "bob"}));
        QCOMPARE(texts(db, QStringLiteral("select pwd from LOGUSER where pwd <> 'x'")),
                 (QStringList{"changed", "again"}));
        // The hidden order is no column of the table.
        QCOMPARE(db.tableColumns(QStringLiteral("loguser")).size(), 4);
        QCOMPARE(db.select(QStringLiteral("select * from loguser")).columns.size(), 4);
    }

    void fixedWidthTextComesBackAsStored()
    {
        ScratchDatabase s;
        Database& db = s.db();
        db.exec(createLoguser);
        db.exec(QStringLiteral("insert into loguser(uid,pwd,urights,mrights) values (?,?,?,?)"),
                {QStringLiteral("admin"), QStringLiteral("pw"), QStringLiteral(" 01 03"),
                 QStringLiteral(" SU")});
        const RowTable t = db.select(QStringLiteral("select * from loguser where UID = ?"),
                                     {QStringLiteral("admin")});
        QCOMPARE(t.rows.size(), 1);
        QCOMPARE(t.rows[0], (RowValues{QStringLiteral("admin"), QStringLiteral("pw"),
                                       QStringLiteral(" 01 03"), QStringLiteral(" SU")}));
        QCOMPARE(t.columns[0].type, ColumnType::Text);
        QCOMPARE(t.columns[0].size, 50);
        QCOMPARE(t.columns[3].size, 150);
    }

    void dateTimesKeepTheirClock()
    {
        // The client in India, the server wherever it is.
        const QByteArray oldTz = qgetenv("TZ");
        qputenv("TZ", "Asia/Kolkata");
        tzset();
        const auto restore = qScopeGuard([&] {
            if (oldTz.isEmpty())
                qunsetenv("TZ");
            else
                qputenv("TZ", oldTz);
            tzset();
        });
        ScratchDatabase s;
        Database& db = s.db();
        Schema::createCompanyDatabase(db);
        const QDateTime typed(QDate(2026, 4, 1), QTime(10, 30, 15));
        db.insertRows(QStringLiteral("egmcargo"),
                      {QStringLiteral("id"), QStringLiteral("egmdt"), QStringLiteral("sbdt")},
                      {{1, typed, QDate(2026, 3, 31)}});
        db.exec(QStringLiteral("insert into egmcargo (id, egmdt) values (?, ?)"),
                {2, QDateTime(QDate(2026, 4, 2), QTime(23, 59, 59))});

        const RowTable t =
            db.select(QStringLiteral("select egmdt, sbdt from egmcargo order by id"));
        QCOMPARE(t.rows[0][0], QVariant(QDateTime(QDate(2026, 4, 1), QTime(10, 30, 15), Qt::UTC)));
        QCOMPARE(t.rows[0][1], QVariant(QDate(2026, 3, 31)));
        QCOMPARE(t.rows[1][0], QVariant(QDateTime(QDate(2026, 4, 2), QTime(23, 59, 59), Qt::UTC)));

        // An edit finds its row by the values read, the date-time among them.
        RowSet rs;
        rs.open(s.ptr(), QStringLiteral("select * from egmcargo where id = ?"), {1});
        rs.setValue(QStringLiteral("pkgs"), 5);
        rs.update();
        QCOMPARE(db.scalar(QStringLiteral("select pkgs from egmcargo where id = 1")).toInt(), 5);
    }

    void autoNumberGoesOnAfterGivenValues()
    {
        ScratchDatabase s;
        Database& db = s.db();
        Schema::createCompanyDatabase(db);
        db.insertRows(QStringLiteral("egmcontain"),
                      {QStringLiteral("autoid"), QStringLiteral("ref")},
                      {{100, 1}, {QVariant(), 1}});
        db.insertRows(QStringLiteral("egmcontain"), {QStringLiteral("ref")}, {{2}});
        QCOMPARE(texts(db, QStringLiteral("select autoid from egmcontain")),
                 (QStringList{"100", "101", "102"}));
    }

    void manyRowsKeepTheirOrderAndNumbers()
    {
        // More rows than one statement takes (a server gets them a block at
        // a time): stored in the order given, the auto-number going on in
        // runs of given and table-made numbers.
        constexpr int n = 2500;
        ScratchDatabase s;
        Database& db = s.db();
        Schema::createCompanyDatabase(db);
        Database::Transaction tx(db);
        QList<RowValues> bills;
        QStringList ids;
        for (int i = 0; i < n; ++i) {
            const int id = (i * 7919) % n + 1; // every id once, out of order
            bills << RowValues{id, 4000000 + i, QStringLiteral("AEJEA")};
            ids << QString::number(id);
        }
        db.insertRows(QStringLiteral("egmcargo"),
                      {QStringLiteral("id"), QStringLiteral("sbno"), QStringLiteral("destport")},
                      bills);
        // (Not "select id" alone: SQLite would read it from the index, in id order.)
        QCOMPARE(texts(db, QStringLiteral("select id, destport from egmcargo")), ids);
        QCOMPARE(db.scalar(QStringLiteral("select sum(sbno) from egmcargo")).toDouble(),
                 4000000.0 * n + n * (n - 1) / 2.0);

        QList<RowValues> boxes;
        QStringList expected;
        for (int i = 0; i < n; ++i) {
            const QVariant autoid = i < 1000   ? QVariant(i + 1)
                                    : i < 2000 ? QVariant()
                                               : QVariant(3000 + i);
            boxes << RowValues{autoid, i % 7, QStringLiteral("MSKU%1").arg(i, 7, 10, QChar(u'0'))};
            expected << QString::number(i < 2000 ? i + 1 : 3000 + i);
        }
        boxes << RowValues{QVariant(), 1, QStringLiteral("MSKU9999999")};
        expected << QString::number(3000 + n);
        db.insertRows(
            QStringLiteral("egmcontain"),
            {QStringLiteral("autoid"), QStringLiteral("ref"), QStringLiteral("containno")}, boxes);
        QCOMPARE(texts(db, QStringLiteral("select autoid, containno from egmcontain")), expected);
        QCOMPARE(texts(db, QStringLiteral("select containno from egmcontain where autoid = 1500")),
                 QStringList{QStringLiteral("MSKU0001499")});
    }

    void refusedRowAmongManyIsNamed_data()
    {
        QTest::addColumn<int>("fault"); // 0: an id given twice, 1: too long a text
        QTest::addColumn<bool>("inTransaction");
        QTest::newRow("id given twice") << 0 << false;
        QTest::newRow("id given twice, in a transaction") << 0 << true;
        QTest::newRow("text too long") << 1 << false;
        QTest::newRow("text too long, in a transaction") << 1 << true;
    }

    void refusedRowAmongManyIsNamed()
    {
        QFETCH(int, fault);
        QFETCH(bool, inTransaction);
        constexpr int n = 2500;
        constexpr int bad = 1717;
        ScratchDatabase s;
        Database& db = s.db();
        Schema::createCompanyDatabase(db);
        if (!TestEngine::onServer())
            db.exec(QStringLiteral("PRAGMA synchronous = OFF")); // a row at a time, unsynced

        QList<RowValues> bills;
        for (int i = 0; i < n; ++i)
            bills << RowValues{i + 1, QStringLiteral("AEJEA")};
        if (fault == 0)
            bills[bad][0] = 3;
        else
            bills[bad][1] = QStringLiteral("AEJEBAL");
        const QString count = QStringLiteral("select count(*) from egmcargo");
        qsizetype failedRow = -2;
        std::optional<Database::Transaction> tx;
        if (inTransaction)
            tx.emplace(db);
        const auto error = dbErrorOf([&] {
            db.insertRows(QStringLiteral("egmcargo"),
                          {QStringLiteral("id"), QStringLiteral("destport")}, bills, &failedRow);
        });
        QVERIFY(error);
        QCOMPARE(failedRow, qsizetype(bad));
        QCOMPARE(error->number(), fault == 0 ? DbError::CommandFailed : DbError::BadValue);
        if (fault == 1)
            QVERIFY2(error->description().contains(QLatin1String("destport")), describe(error));
        if (inTransaction) {
            tx.reset(); // rolled back: nothing of it stays
            QCOMPARE(db.scalar(count).toInt(), 0);
        } else {
            // As a row at a time: the rows before the refused one are stored.
            QCOMPARE(db.scalar(count).toInt(), bad);
        }
        // The connection goes on.
        db.insertRows(QStringLiteral("egmcargo"), {QStringLiteral("id")}, {{n + 1}});
        QCOMPARE(db.scalar(count).toInt(), inTransaction ? 1 : bad + 1);
    }

    void downServerDoesNotOpen_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("reason");
        QTest::newRow("nothing listens") << "port"
                                         << "1"
                                         << "Connection refused";
        QTest::newRow("wrong password") << "password"
                                        << "wrong"
                                        << "password authentication failed";
        QTest::newRow("unknown login") << "user"
                                       << "nobody"
                                       << "nobody";
    }

    void downServerDoesNotOpen()
    {
        SERVER_ONLY();
        QFETCH(QString, keyword);
        QFETCH(QString, value);
        QFETCH(QString, reason);
        const auto error = dbErrorOf([&] { Database::open(serverWith(keyword, value)); });
        QVERIFY(error);
        // The logon's "connection does not open" path, with the server's reason.
        QCOMPARE(error->number(), DbError::ConnectionFailed);
        QVERIFY2(error->description().contains(reason), describe(error));
        QVERIFY2(error->description().contains(TestEngine::programDatabase()), describe(error));
    }

    void failedStatementUndoesTheWholeChange()
    {
        SERVER_ONLY();
        ScratchDatabase s;
        Database& db = s.db();
        Schema::createCompanyDatabase(db);
        const QString count = QStringLiteral("select count(*) from egmcargo");
        {
            Database::Transaction tx(db);
            db.exec(QStringLiteral("insert into egmcargo (id) values (?)"), {1});
            QVERIFY(dbErrorOf([&] { db.exec(QStringLiteral("insert into nosuch values (1)")); }));
            // Whatever the caller tries next, nothing of the change is kept,
            // and the commit says so instead of passing for a save.
            const auto next = dbErrorOf([&] { db.scalar(count); });
            QVERIFY(next);
            QVERIFY2(next->description().contains(QLatin1String("nosuch")), describe(next));
            const auto commit = dbErrorOf([&] { tx.commit(); });
            QVERIFY(commit);
            QVERIFY2(commit->description().startsWith(QLatin1String("Nothing was saved")),
                     describe(commit));
        }
        QVERIFY(!db.inTransaction());
        QCOMPARE(db.scalar(count).toInt(), 0);
        // The connection goes on.
        Database::Transaction again(db);
        db.exec(QStringLiteral("insert into egmcargo (id) values (?)"), {2});
        again.commit();
        QCOMPARE(db.scalar(count).toInt(), 1);
    }

    void lostConnectionIsSaidAndFoundAgain_data()
    {
        QTest::addColumn<bool>("inTransaction");
        QTest::newRow("between changes") << false;
        QTest::newRow("half way through a change") << true;
    }

    void lostConnectionIsSaidAndFoundAgain()
    {
        SERVER_ONLY();
        QFETCH(bool, inTransaction);
        ScratchDatabase s;
        Database& db = s.db();
        Schema::createCompanyDatabase(db);
        const QString count = QStringLiteral("select count(*) from egmcargo");
        db.exec(QStringLiteral("insert into egmcargo (id) values (?)"), {1});
        const QVariant pid = db.scalar(QStringLiteral("select pg_backend_pid()"));

        std::optional<DbError> error;
        {
            std::unique_ptr<Database::Transaction> tx;
            if (inTransaction) {
                tx = std::make_unique<Database::Transaction>(db);
                db.exec(QStringLiteral("insert into egmcargo (id) values (?)"), {2});
            }
            // As a server restart does to every client.
            TestEngine::admin().exec(QStringLiteral("select pg_terminate_backend(?)"), {pid});
            error = dbErrorOf([&] {
                db.exec(QStringLiteral("insert into egmcargo (id) values (?)"), {3});
                if (tx)
                    tx->commit();
            });
        }
        QVERIFY(error);
        QCOMPARE(error->number(), DbError::ConnectionLost);
        QVERIFY2(error->description().contains(QLatin1String("was lost")), describe(error));
        QVERIFY(!db.inTransaction());
        // The next step connects again; what was committed is there, nothing else.
        QCOMPARE(db.scalar(count).toInt(), 1);
        QVERIFY(db.scalar(QStringLiteral("select pg_backend_pid()")) != pid);
    }
};

QTEST_GUILESS_MAIN(TestEngines)
#include "tst_engines.moc"
