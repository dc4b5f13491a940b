// The connection, statements with bound values, transactions, the company
// tables and the text conversions that the screens rely on.

#include "DataTesting.h"
#include "Database.h"
#include "Schema.h"
#include "TestDisk.h"
#include "ValueText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <optional>

namespace {

const QString createLoguser = QStringLiteral(
    "create table loguser(uid char(50), pwd char(50), urights char(50), mrights char(150))");

QString typeName(ColumnType type)
{
    switch (type) {
    case ColumnType::Long:
        return QStringLiteral("Long");
    case ColumnType::Double:
        return QStringLiteral("Double");
    case ColumnType::Date:
        return QStringLiteral("Date");
    case ColumnType::Text:
        return QStringLiteral("Text");
    case ColumnType::Boolean:
        return QStringLiteral("Boolean");
    }
    return QStringLiteral("?");
}

/// "name Type[(size)][ auto], ..." so that a wrong layout shows in one line.
QString layoutText(const ColumnList& columns)
{
    QStringList parts;
    for (const ColumnInfo& c : columns) {
        QString part = c.name.toLower() + u' ' + typeName(c.type);
        if (c.type == ColumnType::Text)
            part += QStringLiteral("(%1)").arg(c.size);
        if (c.autoNumber)
            part += QStringLiteral(" auto");
        parts << part;
    }
    return parts.join(QStringLiteral(", "));
}

QStringList columnTexts(Database& db, const QString& sql, const QVariantList& params = {})
{
    QStringList out;
    const RowTable t = db.select(sql, params);
    for (const RowValues& row : t.rows)
        out << row.value(0).toString();
    return out;
}

ColumnInfo egmcargoColumn(const QString& name)
{
    for (const ColumnInfo& c : Schema::egmcargo())
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return c;
    qFatal("egmcargo has no column %s", qPrintable(name));
    return {};
}

enum class Statement
{
    Select,
    Insert,
    SelectIntoMemory,
    Scalar,
    Layout
};

} // namespace

Q_DECLARE_METATYPE(Statement)

class TestDatabase : public QObject
{
    Q_OBJECT

private slots:
    void openRefusesWhatIsNotADatabase_data();
    void openRefusesWhatIsNotADatabase();
    void createRefusesAnExistingFile();
    void readOnlyDatabaseIsRead_data();
    void readOnlyDatabaseIsRead();
    void readOnlyFolderWithUnsavedLogIsRefused();
    void databaseOnAFullDiskSaysSo();
    void missingTableIsNamed_data();
    void missingTableIsNamed();
    void maxOfEmptyTableIsNull();
    void namesMatchWithoutRegardToCase();
    void quotesAreTakenLiterally_data();
    void quotesAreTakenLiterally();
    void transactionKeepsRowsOnlyWhenCommitted_data();
    void transactionKeepsRowsOnlyWhenCommitted();
    void secondWriterIsRefusedWhileFirstHoldsTheLock_data();
    void secondWriterIsRefusedWhileFirstHoldsTheLock();
    void companyTablesHaveTheirColumnsInOrder_data();
    void companyTablesHaveTheirColumnsInOrder();
    void companyLookupsAreFilled_data();
    void companyLookupsAreFilled();
    void companyDatabaseLeavesUserTableToLogon();
    void containerKeyIsGivenByTheTable();
    void checkValue_data();
    void checkValue();
    void leadingNumber_data();
    void leadingNumber();
    void numberText_data();
    void numberText();
    void parseDate_data();
    void parseDate();
    void parseDateOfBytes();
    void ddmmyyyy();
};

void TestDatabase::openRefusesWhatIsNotADatabase_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("missing file") << false << QByteArray();
    QTest::newRow("text file") << true
                               << QByteArray("[SYSTEM]\r\nSYSPATH=c:\\tarvex\\system.mdb\r\n"
                                             "This is a settings file, not a database.\r\n"
                                             "It is long enough to hold a database header.\r\n");
}

void TestDatabase::openRefusesWhatIsNotADatabase()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("company.mdb"));
    if (exists) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    const auto error = dbErrorOf([&] { Database::open({QStringLiteral("SQLITE"), file}); });

    QVERIFY(error);
    QCOMPARE(error->number(), DbError::ConnectionFailed);
    QVERIFY2(error->description().contains(QFileInfo(file).fileName()), describe(error));
    if (exists) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content);
    } else {
        // SQLite would happily create the file; the logon must learn it is missing.
        QVERIFY(!QFile::exists(file));
    }
}

void TestDatabase::createRefusesAnExistingFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("company.db"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }

    const auto error = dbErrorOf([&] { Database::create(file); });

    QVERIFY(error);
    QVERIFY2(error->description().contains(QFileInfo(file).fileName()), describe(error));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("keep me"));
}

void TestDatabase::readOnlyDatabaseIsRead_data()
{
    QTest::addColumn<bool>("folderReadOnly");
    QTest::addColumn<bool>("openElsewhere");
    // A closed database in write-ahead-log mode has no -wal or -shm file,
    // and a read-only folder cannot hold the ones SQLite wants to make.
    QTest::newRow("read-only folder") << true << false;
    // Another installation writes it: its last change is still in the -wal.
    QTest::newRow("read-only folder, open elsewhere") << true << true;
    QTest::newRow("read-only file") << false << false;
    QTest::newRow("read-only file, open elsewhere") << false << true;
}

void TestDatabase::readOnlyDatabaseIsRead()
{
    if (TestEngine::onServer())
        QSKIP("SQLite files only");
    TEST_DISK_CHILD(1024);
    QFETCH(bool, folderReadOnly);
    QFETCH(bool, openElsewhere);
    const QString folder = TestDisk::folder() + QStringLiteral("/install");
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/demo.mdb");
    const QString insert = QStringLiteral("insert into egmcargo (id) values (?)");
    const QString count = QStringLiteral("select count(*) from egmcargo");
    {
        auto db = Database::create(file);
        Schema::createCompanyDatabase(*db);
        db->exec(insert, {1});
    }
    std::shared_ptr<Database> elsewhere;
    if (openElsewhere) {
        elsewhere = Database::open({QStringLiteral("SQLITE"), file});
        elsewhere->exec(insert, {2});
        QVERIFY(QFileInfo(file + QStringLiteral("-wal")).size() > 0);
    }
    QVERIFY(TestDisk::makeReadOnly(folderReadOnly ? folder : file));

    auto db = Database::open({QStringLiteral("SQLITE"), file});
    QVERIFY(db->readOnly());
    QCOMPARE(db->scalar(count).toInt(), openElsewhere ? 2 : 1);
    QCOMPARE(db->select(QStringLiteral("select id from egmcargo order by id")).rows.size(),
             openElsewhere ? 2 : 1);
    const auto error = dbErrorOf([&] { db->exec(insert, {3}); });
    QVERIFY(error);
    QCOMPARE(error->description(),
             QStringLiteral("The database '%1' is read-only: it can be read but not changed "
                            "(attempt to write a readonly database).")
                 .arg(file));
    // A save says so before it starts.
    const auto lock = dbErrorOf([&] { db->begin(); });
    QVERIFY(lock);
    QCOMPARE(lock->description(), error->description());
    QVERIFY(!db->inTransaction());
}

void TestDatabase::readOnlyFolderWithUnsavedLogIsRefused()
{
    if (TestEngine::onServer())
        QSKIP("SQLite files only");
    TEST_DISK_CHILD(1024);
    const QString folder = TestDisk::folder() + QStringLiteral("/install");
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/demo.mdb");
    auto writer = Database::create(file);
    Schema::createCompanyDatabase(*writer);
    // The index of the log gone, the log itself left: a writer that died.
    QVERIFY(QFile::remove(file + QStringLiteral("-shm")));
    QVERIFY(TestDisk::makeReadOnly(folder));
    const auto error = dbErrorOf([&] { Database::open({QStringLiteral("SQLITE"), file}); });
    QVERIFY(error);
    QCOMPARE(error->number(), DbError::ConnectionFailed);
    QCOMPARE(error->description(),
             QStringLiteral("The database '%1' cannot be read: its folder is read-only and "
                            "changes saved last are still in '%1-wal'. Open it once where it "
                            "can be written.")
                 .arg(file));
}

void TestDatabase::databaseOnAFullDiskSaysSo()
{
    if (TestEngine::onServer())
        QSKIP("SQLite files only");
    TEST_DISK_CHILD(1024);
    const QString file = TestDisk::folder() + QStringLiteral("/demo.mdb");
    {
        auto db = Database::create(file);
        Schema::createCompanyDatabase(*db);
    }
    TestDisk::fill(0);
    const auto error = dbErrorOf([&] { Database::open({QStringLiteral("SQLITE"), file}); });
    QVERIFY(error);
    QCOMPARE(error->number(), DbError::ConnectionFailed);
    QCOMPARE(error->description(),
             QStringLiteral("The disk that holds the database '%1' is full (disk I/O error).")
                 .arg(file));
}

void TestDatabase::missingTableIsNamed_data()
{
    QTest::addColumn<Statement>("statement");

    QTest::newRow("select") << Statement::Select;
    QTest::newRow("insert with values") << Statement::Insert;
    QTest::newRow("select into memory") << Statement::SelectIntoMemory;
    QTest::newRow("scalar") << Statement::Scalar;
    QTest::newRow("table layout") << Statement::Layout;
}

void TestDatabase::missingTableIsNamed()
{
    QFETCH(Statement, statement);
    ScratchDatabase s;
    Database& db = s.db();

    const auto error = dbErrorOf([&] {
        switch (statement) {
        case Statement::Select:
            db.exec(QStringLiteral("select * from loguser where uid = 'admin'"));
            break;
        case Statement::Insert:
            db.exec(QStringLiteral("insert into loguser (uid, pwd) values (?, ?)"),
                    {QStringLiteral("admin"), QStringLiteral("admin")});
            break;
        case Statement::SelectIntoMemory:
            db.select(QStringLiteral("select uid from loguser where uid = ?"),
                      {QStringLiteral("admin")});
            break;
        case Statement::Scalar:
            db.scalar(QStringLiteral("select count(*) from loguser"));
            break;
        case Statement::Layout:
            db.tableColumns(QStringLiteral("loguser"));
            break;
        }
    });

    QVERIFY(error);
    QCOMPARE(error->number(), DbError::CommandFailed);
    // The logon recognises a missing user table by its name in the message.
    QVERIFY2(error->description().contains(QLatin1String("loguser"), Qt::CaseInsensitive),
             describe(error));
}

void TestDatabase::maxOfEmptyTableIsNull()
{
    ScratchDatabase s;
    Database& db = s.db();
    Schema::createCompanyDatabase(db);

    QVERIFY(db.scalar(QStringLiteral("select max(id) from egmcargo")).isNull());

    db.exec(QStringLiteral("insert into egmcargo (id, egmno) values (?, ?)"), {41, 2306});
    const QVariant max = db.scalar(QStringLiteral("select max(id) from egmcargo"));
    QVERIFY(!max.isNull());
    QCOMPARE(max.toInt(), 41);
}

void TestDatabase::namesMatchWithoutRegardToCase()
{
    ScratchDatabase s;
    Database& db = s.db();
    Schema::createCompanyDatabase(db);

    db.insertRows(QStringLiteral("egmCargo"),
                  {QStringLiteral("ID"), QStringLiteral("EgmNo"), QStringLiteral("EGMDT")},
                  {{7, 2306, QDate(2006, 3, 5)}});
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from egmcargo where id = ?"), {7}).toInt(),
             1);

    // Columns named in another case still take their type from the table.
    const RowTable t = db.select(QStringLiteral("select ID, EGMDT from EGMCARGO"));
    QCOMPARE(t.columns.size(), 2);
    QCOMPARE(t.columns[0].type, ColumnType::Long);
    QCOMPARE(t.columns[1].type, ColumnType::Date);
    QCOMPARE(t.rows.size(), 1);
    QCOMPARE(t.rows[0][0].toInt(), 7);
    QCOMPARE(t.rows[0][1], QVariant(QDate(2006, 3, 5)));
    QCOMPARE(t.columnIndex(QStringLiteral("id")), 0);

    QVERIFY(db.tableExists(QStringLiteral("D_PORT_CD")));
    QVERIFY(db.tableExists(QStringLiteral("EgmContain")));
    QCOMPARE(layoutText(db.tableColumns(QStringLiteral("D_PORT_CD"))),
             layoutText(db.tableColumns(QStringLiteral("d_port_cd"))));
    const int ports = db.scalar(QStringLiteral("select count(*) from d_port_cd")).toInt();
    QVERIFY(ports > 0);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from D_PORT_CD")).toInt(), ports);
    QCOMPARE(columnTexts(db, QStringLiteral("select * from D_PORT_CD order by PORT_NM")).size(),
             ports);
}

void TestDatabase::quotesAreTakenLiterally_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("apostrophe") << QStringLiteral("O'Brien");
    QTest::newRow("always true") << QStringLiteral("' or '1'='1");
    QTest::newRow("second statement") << QStringLiteral("x'; drop table loguser; --");
    QTest::newRow("doubled quote") << QStringLiteral("it''s");
}

void TestDatabase::quotesAreTakenLiterally()
{
    QFETCH(QString, text);
    ScratchDatabase s;
    Database& db = s.db();
    db.exec(createLoguser);
    const QString insert = QStringLiteral("insert into loguser (uid, pwd) values (?, ?)");
    db.exec(insert, {QStringLiteral("admin"), QStringLiteral("admin")});
    db.exec(insert, {text, QStringLiteral("secret")});

    QCOMPARE(
        db.scalar(QStringLiteral("select count(*) from loguser where uid = ?"), {text}).toInt(), 1);
    QCOMPARE(db.scalar(QStringLiteral("select pwd from loguser where uid = ?"), {text}).toString(),
             QStringLiteral("secret"));
    QCOMPARE(db.scalar(QStringLiteral("select uid from loguser where pwd = ?"),
                       {QStringLiteral("secret")})
                 .toString(),
             text);

    QSqlQuery q = db.exec(QStringLiteral("update loguser set pwd = ? where uid = ?"), {text, text});
    QCOMPARE(q.numRowsAffected(), 1);
    QCOMPARE(db.scalar(QStringLiteral("select count(*) from loguser")).toInt(), 2);
    QCOMPARE(db.scalar(QStringLiteral("select pwd from loguser where uid = 'admin'")).toString(),
             QStringLiteral("admin"));
}

void TestDatabase::transactionKeepsRowsOnlyWhenCommitted_data()
{
    QTest::addColumn<bool>("commit");
    QTest::addColumn<int>("kept");

    QTest::newRow("committed") << true << 2;
    QTest::newRow("left without commit") << false << 0;
}

void TestDatabase::transactionKeepsRowsOnlyWhenCommitted()
{
    QFETCH(bool, commit);
    QFETCH(int, kept);
    ScratchDatabase s;
    Database& db = s.db();
    Schema::createCompanyDatabase(db);
    const QString insert = QStringLiteral("insert into egmcargo (id, egmno) values (?, ?)");
    const QString count = QStringLiteral("select count(*) from egmcargo");

    {
        Database::Transaction tx(db);
        QVERIFY(db.inTransaction());
        db.exec(insert, {1, 2306});
        db.exec(insert, {2, 2306});
        {
            // A read snapshot inside it is this transaction, and ends nothing.
            const Database::Transaction snapshot(db, Database::Transaction::Read);
            QCOMPARE(db.scalar(count).toInt(), 2);
        }
        QVERIFY(db.inTransaction());
        if (commit)
            tx.commit();
    }

    QVERIFY(!db.inTransaction());
    QCOMPARE(db.scalar(count).toInt(), kept);
    // What another connection finds in the file is what counts.
    auto other = s.open();
    QCOMPARE(other->scalar(count).toInt(), kept);

    // The connection can start the next transaction.
    Database::Transaction next(db);
    db.exec(insert, {3, 2307});
    next.commit();
    QCOMPARE(other->scalar(count).toInt(), kept + 1);
}

void TestDatabase::secondWriterIsRefusedWhileFirstHoldsTheLock_data()
{
    QTest::addColumn<int>("wait"); // 0: the connection's own
    QTest::newRow("the connection's wait") << 0;
    QTest::newRow("a wait of 2 s") << 2;
}

void TestDatabase::secondWriterIsRefusedWhileFirstHoldsTheLock()
{
    // Waits out the engine's busy timeout (a few seconds).
    QFETCH(int, wait);
    ScratchDatabase s;
    Database& first = s.db();
    Schema::createCompanyDatabase(first);
    auto second = s.open();
    const QString count = QStringLiteral("select count(*) from egmcargo");
    QCOMPARE(second->lockWait(), SqlDialect::lockWaitSeconds);
    const int seconds = wait ? wait : SqlDialect::lockWaitSeconds;

    {
        Database::Transaction hold(first);
        first.exec(QStringLiteral("insert into egmcargo (id) values (?)"), {1});

        // Taking the ids' table is where a save waits for another (on SQLite
        // the write transaction itself).
        std::optional<Database::LockWait> patience;
        if (wait)
            patience.emplace(*second, wait);
        QCOMPARE(second->lockWait(), seconds);
        QElapsedTimer timer;
        timer.start();
        const auto error = dbErrorOf([&] {
            second->begin();
            second->lockTable(QStringLiteral("egmcargo"));
        });
        const qint64 waited = timer.elapsed();
        QVERIFY2(error, "a second writer started while the first held the write lock");
        QCOMPARE(error->number(), DbError::Busy);
        QVERIFY2(waited >= seconds * 1000 - 300 && waited < seconds * 1000 + 2500,
                 qPrintable(QString::number(waited)));
        if (TestEngine::onServer()) {
            QCOMPARE(error->description(),
                     QStringLiteral("The table egmcargo is busy: another user has been changing "
                                    "it for over %1 seconds. Nothing was saved; try again in a "
                                    "moment.")
                         .arg(seconds));
        } else {
            QCOMPARE(error->description(),
                     QStringLiteral("Another user is saving to the database just now; try again "
                                    "in a moment (database is locked)."));
        }
        if (second->inTransaction())
            second->rollback();
        patience.reset();
        // The wait asked for ends with its LockWait.
        QCOMPARE(second->lockWait(), SqlDialect::lockWaitSeconds);
        // Readers are not held up, and do not see the uncommitted row.
        QCOMPARE(second->scalar(count).toInt(), 0);

        hold.commit();
    }

    second->begin();
    QVERIFY(second->inTransaction());
    second->lockTable(QStringLiteral("egmcargo"));
    second->exec(QStringLiteral("insert into egmcargo (id) values (?)"), {2});
    second->commit();
    QCOMPARE(first.scalar(count).toInt(), 2);
}

void TestDatabase::companyTablesHaveTheirColumnsInOrder_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("layout");

    // Order matters: the XML import copies rows by column position.
    QTest::newRow("egmcargo") << QStringLiteral("egmcargo")
                              << QStringLiteral(
                                     "id Long, egmno Double, egmdt Date, sbno Double, sbdt Date, "
                                     "sbport Text(6), destport Text(6), gateport Text(6), "
                                     "naturecargo Text(2), volume Double, unitvol Text(3), "
                                     "pkgs Long, linecode Text(10)");
    QTest::newRow("egmcontain") << QStringLiteral("egmcontain")
                                << QStringLiteral("autoid Long auto, ref Long, containno Text(11), "
                                                  "constatus Text(3), subrefno Long");
}

void TestDatabase::companyTablesHaveTheirColumnsInOrder()
{
    QFETCH(QString, table);
    QFETCH(QString, layout);
    ScratchDatabase s;
    Schema::createCompanyDatabase(s.db());

    // Read back through a new connection: the file, not a cached layout.
    auto db = s.open();
    QCOMPARE(layoutText(db->tableColumns(table)), layout);
}

void TestDatabase::companyLookupsAreFilled_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<bool>("exactly");

    QTest::newRow("ports") << QStringLiteral("select port_cd from d_port_cd")
                           << QStringList{QStringLiteral("INIXY1"), QStringLiteral("INNSA")}
                           << false;
    QTest::newRow("natures of cargo")
        << QStringLiteral("select nat_cd from nature")
        << QStringList{QStringLiteral("C"), QStringLiteral("CP")} << false;
    QTest::newRow("container statuses")
        << QStringLiteral("select cs_cd from constatus")
        << QStringList{QStringLiteral("E"), QStringLiteral("F")} << true;
}

void TestDatabase::companyLookupsAreFilled()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, codes);
    QFETCH(bool, exactly);
    ScratchDatabase s;
    Schema::createCompanyDatabase(s.db());

    QStringList found = columnTexts(s.db(), sql);
    if (exactly) {
        std::sort(found.begin(), found.end());
        QCOMPARE(found, codes);
    } else {
        for (const QString& code : codes)
            QVERIFY2(found.contains(code), qPrintable(code));
    }
}

void TestDatabase::companyDatabaseLeavesUserTableToLogon()
{
    ScratchDatabase s;
    Database& db = s.db();
    Schema::createCompanyDatabase(db);

    QVERIFY(!db.tableExists(QStringLiteral("loguser")));
    QVERIFY(dbErrorOf([&] { db.exec(QStringLiteral("select * from loguser")); }));
    // The logon's own statement then creates it.
    db.exec(createLoguser);
    db.clearLayoutCache();
    QVERIFY(db.tableExists(QStringLiteral("LOGUSER")));
}

void TestDatabase::containerKeyIsGivenByTheTable()
{
    ScratchDatabase s;
    Database& db = s.db();
    Schema::createCompanyDatabase(db);

    db.exec(QStringLiteral("insert into egmcontain (ref, containno, constatus, subrefno) "
                           "values (?, ?, ?, ?)"),
            {1, QStringLiteral("ABCU1234567"), QStringLiteral("F"), 0});
    db.exec(QStringLiteral("insert into egmcontain (ref, containno) values (?, ?)"),
            {1, QStringLiteral("ABCU7654321")});
    db.insertRows(QStringLiteral("egmcontain"),
                  {QStringLiteral("autoid"), QStringLiteral("ref"), QStringLiteral("containno")},
                  {{QVariant(), 2, QStringLiteral("XYZU0000001")}});

    const RowTable t =
        db.select(QStringLiteral("select autoid, containno from egmcontain order by autoid"));
    QCOMPARE(t.rows.size(), 3);
    QList<int> keys;
    for (const RowValues& row : t.rows) {
        QVERIFY2(!row[0].isNull(), qPrintable(row[1].toString()));
        keys << row[0].toInt();
    }
    QVERIFY(keys[0] > 0);
    QVERIFY(keys[0] < keys[1]);
    QVERIFY(keys[1] < keys[2]);
    QCOMPARE(t.rows[2][1].toString(), QStringLiteral("XYZU0000001"));
}

void TestDatabase::checkValue_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QVariant>("stored");

    const QVariant refused;
    const QVariant null;
    QTest::newRow("text that fits") << "sbport" << QVariant(QStringLiteral("INIXY1")) << true
                                    << QVariant(QStringLiteral("INIXY1"));
    QTest::newRow("text one too long")
        << "sbport" << QVariant(QStringLiteral("INIXY12")) << false << refused;
    QTest::newRow("nature code too long")
        << "naturecargo" << QVariant(QStringLiteral("CPX")) << false << refused;
    QTest::newRow("line code of ten") << "linecode" << QVariant(QStringLiteral("ABCDEFGHIJ"))
                                      << true << QVariant(QStringLiteral("ABCDEFGHIJ"));
    QTest::newRow("line code of eleven")
        << "linecode" << QVariant(QStringLiteral("ABCDEFGHIJK")) << false << refused;
    QTest::newRow("whole number") << "pkgs" << QVariant(QStringLiteral("12")) << true
                                  << QVariant(12);
    QTest::newRow("number with blanks")
        << "pkgs" << QVariant(QStringLiteral(" 12 ")) << true << QVariant(12);
    QTest::newRow("number and words")
        << "pkgs" << QVariant(QStringLiteral("12 boxes")) << false << refused;
    QTest::newRow("too large for a Long")
        << "pkgs" << QVariant(QStringLiteral("3000000000")) << false << refused;
    QTest::newRow("empty number") << "pkgs" << QVariant(QString()) << true << null;
    QTest::newRow("decimal") << "volume" << QVariant(QStringLiteral("12.5")) << true
                             << QVariant(12.5);
    QTest::newRow("decimal comma")
        << "volume" << QVariant(QStringLiteral("12,5")) << false << refused;
    QTest::newRow("letters for a number")
        << "egmno" << QVariant(QStringLiteral("abc")) << false << refused;
    QTest::newRow("day first date") << "egmdt" << QVariant(QStringLiteral("31/12/2006")) << true
                                    << QVariant(QDate(2006, 12, 31));
    QTest::newRow("short date") << "sbdt" << QVariant(QStringLiteral("5/3/06")) << true
                                << QVariant(QDate(2006, 3, 5));
    QTest::newRow("no such day") << "egmdt" << QVariant(QStringLiteral("31/02/2006")) << false
                                 << refused;
    QTest::newRow("no such month")
        << "egmdt" << QVariant(QStringLiteral("13/13/2006")) << false << refused;
    QTest::newRow("words for a date")
        << "sbdt" << QVariant(QStringLiteral("tomorrow")) << false << refused;
    QTest::newRow("empty date") << "egmdt" << QVariant(QString()) << true << null;
}

void TestDatabase::checkValue()
{
    QFETCH(QString, column);
    QFETCH(QVariant, typed);
    QFETCH(bool, accepted);
    QFETCH(QVariant, stored);
    const ColumnInfo info = egmcargoColumn(column);

    QVariant result;
    const auto error = dbErrorOf([&] { result = Database::checkValue(info, typed); });

    if (!accepted) {
        QVERIFY2(error, qPrintable(result.toString()));
        QCOMPARE(error->number(), DbError::BadValue);
        QVERIFY2(error->description().contains(column), describe(error));
        return;
    }
    QVERIFY2(!error, describe(error));
    if (stored.isNull())
        QVERIFY2(result.isNull(), qPrintable(result.toString()));
    else
        QCOMPARE(result, stored);
}

void TestDatabase::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");

    QTest::newRow("trailing blanks") << "123  " << 123.0;
    QTest::newRow("letters after") << "12abc" << 12.0;
    QTest::newRow("letters only") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("sign, fraction, exponent") << " -4.5e1" << -45.0;
    QTest::newRow("blanks anywhere") << " 1 2 . 5 e 1x" << 125.0;
    QTest::newRow("classic exponent letter") << "2D3" << 2000.0;
    QTest::newRow("exponent without digits") << "7e+" << 7.0;
    QTest::newRow("point alone") << "-." << 0.0;
    QTest::newRow("too large") << "1e400" << 0.0;
    QTest::newRow("a hundred digits") << QString(100, u'1') << 1.1111111111111111e99;
    QTest::newRow("wide digits are no digits") << QStringLiteral("١٢") << 0.0;
}

void TestDatabase::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, number);
    QCOMPARE(ValueText::leadingNumber(text), number);
    // The byte version the file writers and readers use reads the same.
    QCOMPARE(ValueText::leadingNumber(QByteArrayView(text.toUtf8())), number);
}

void TestDatabase::numberText_data()
{
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("text");

    QTest::newRow("whole") << 5.0 << "5";
    QTest::newRow("fraction") << 12.5 << "12.5";
    QTest::newRow("below one") << 0.1 << "0.1";
    QTest::newRow("millions") << 1234567.0 << "1234567";
    QTest::newRow("negative") << -2.5 << "-2.5";
    QTest::newRow("binary noise") << 0.1 + 0.2 << "0.3";
    QTest::newRow("negative zero") << -0.0 << "0";
    // The classic conversion: 15 significant digits, the plain form from
    // 1E-04 to below 1E+15 (the exponent taken after rounding), the
    // scientific one with an upper-case E and two exponent digits outside.
    QTest::newRow("fifteen digits") << 999999999999999.0 << "999999999999999";
    QTest::newRow("1E+15") << 1e15 << "1E+15";
    QTest::newRow("-1E+15") << -1e15 << "-1E+15";
    QTest::newRow("sixteen digits rounded") << 1234567890123456.0 << "1.23456789012346E+15";
    QTest::newRow("rounds up to 1E+15") << 999999999999999.9 << "1E+15";
    QTest::newRow("just below 1E+15") << 999999999999999.4 << "999999999999999";
    QTest::newRow("1E+100") << 1e100 << "1E+100";
    QTest::newRow("largest") << 1.7976931348623157e308 << "1.79769313486232E+308";
    QTest::newRow("1E-04 is plain") << 0.0001 << "0.0001";
    QTest::newRow("plain below 1E-03") << 0.00012345 << "0.00012345";
    QTest::newRow("15 digits below 1E-03") << 0.000123456789012345678 << "0.000123456789012346";
    QTest::newRow("rounds up to 1E-04") << 0.0000999999999999999995 << "0.0001";
    QTest::newRow("just below 1E-04") << 0.0000999999999999 << "9.99999999999E-05";
    QTest::newRow("1E-05") << 0.00001 << "1E-05";
    QTest::newRow("1.5E-05") << -0.000015 << "-1.5E-05";
    QTest::newRow("1E-300") << 1e-300 << "1E-300";
    QTest::newRow("a third") << 1.0 / 3 << "0.333333333333333";
    QTest::newRow("two thirds") << 2.0 / 3 << "0.666666666666667";
    QTest::newRow("fraction of a large number") << 123456789.123456789 << "123456789.123457";
}

void TestDatabase::numberText()
{
    QFETCH(double, number);
    QFETCH(QString, text);
    QCOMPARE(ValueText::numberText(number), text);
    QByteArray bytes("x");
    ValueText::appendNumber(bytes, number);
    QCOMPARE(bytes, "x" + text.toLatin1());
}

void TestDatabase::parseDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");

    QTest::newRow("dd/mm/yyyy") << "31/12/2006" << QDate(2006, 12, 31);
    QTest::newRow("d/m/yy") << "1/2/06" << QDate(2006, 2, 1);
    QTest::newRow("yyyy-mm-dd") << "2006-12-31" << QDate(2006, 12, 31);
    QTest::newRow("d-Mon-yyyy") << "31-Dec-2006" << QDate(2006, 12, 31);
    QTest::newRow("d Mon yyyy") << "5 Mar 2006" << QDate(2006, 3, 5);
    QTest::newRow("31 February") << "31/02/2006" << QDate();
    QTest::newRow("month 13") << "13/13/2006" << QDate();
    QTest::newRow("words") << "abc" << QDate();
    QTest::newRow("empty") << "" << QDate();
    QTest::newRow("stored with a time") << "2006-03-05 14:30:00" << QDate(2006, 3, 5);
    QTest::newRow("stored with T and fraction") << "2006-03-05T14:30:00.250" << QDate(2006, 3, 5);
    QTest::newRow("one-digit month and day") << "2006-3-5" << QDate(2006, 3, 5);
    QTest::newRow("blanks around") << " 2006-03-05 " << QDate(2006, 3, 5);
    QTest::newRow("year below 100") << "0099-03-05" << QDate();
    QTest::newRow("hour 24") << "2006-03-05 24:00:00" << QDate();
    QTest::newRow("five-digit year") << "20060-03-05" << QDate();
    QTest::newRow("time without minutes") << "2006-03-05 14" << QDate();
}

void TestDatabase::parseDate()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);

    const std::optional<QDate> parsed = ValueText::parseDate(text);
    if (!date.isValid()) {
        QVERIFY2(!parsed, parsed ? qPrintable(parsed->toString(Qt::ISODate)) : "");
        return;
    }
    QVERIFY(parsed);
    QCOMPARE(*parsed, date);
}

void TestDatabase::parseDateOfBytes()
{
    // The byte reader of stored dates reads every form as the text one does.
    const QStringList texts = {"31/12/2006",
                               "1/2/06",
                               "2006-12-31",
                               "31-Dec-2006",
                               "5 Mar 2006",
                               "31/02/2006",
                               "abc",
                               "",
                               "2006-03-05 14:30:00",
                               "2006-03-05T14:30:00.250",
                               "2006-3-5",
                               " 2006-03-05 ",
                               "0099-03-05",
                               "2006-03-05 24:00:00",
                               "2006-03-05 9:05",
                               "2006-03-05  09:05:07",
                               "2006-03-05T",
                               "2006-03-05 14:30:61"};
    for (const QString& text : texts) {
        const std::optional<QDateTime> expected = ValueText::parseDateTime(text);
        const ValueText::DateTime got = ValueText::parseDateTime(QByteArrayView(text.toUtf8()));
        QVERIFY2(got.isValid() == bool(expected), qPrintable(text));
        if (expected) {
            QCOMPARE(got.date(), expected->date());
            QCOMPARE(QTime(got.hour, got.minute, got.second), expected->time());
        }
    }
}

void TestDatabase::ddmmyyyy()
{
    QCOMPARE(ValueText::ddmmyyyy(QDate(2006, 3, 5)), QStringLiteral("05032006"));
    QCOMPARE(ValueText::ddmmyyyy(QDate(2006, 12, 31)), QStringLiteral("31122006"));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
