// The row set behind the record forms and the imports: moving, bookmarks,
// filter, find and sort, and changes written through to the source table,
// one row at a time or as a batch.

#include "DataTesting.h"
#include "Database.h"
#include "RowSet.h"
#include "Schema.h"

#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

const QString createLoguser = QStringLiteral(
    "create table loguser(uid char(50), pwd char(50), urights char(50), mrights char(150))");

enum class Move
{
    First,
    Last,
    Next,
    Previous,
    Bookmark,
    Position,
    Requery,
    Filter,
    Sort,
    AddNew
};

} // namespace

Q_DECLARE_METATYPE(Move)

class TestRowSet : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptySetIsAtBothEnds();
    void movesWalkTheRowsInOrder();
    void moveCompleteFollowsMoves_data();
    void moveCompleteFollowsMoves();
    void bookmarkReturnsToItsRow();
    void bookmarkOfDeletedRowIsRefused();
    void filterShowsMatchingRows_data();
    void filterShowsMatchingRows();
    void beginsWithTakesQuoteLiterally();
    void clearedFilterShowsAllRows();
    void findMovesForwardThroughMatches();
    void sortOrdersRows_data();
    void sortOrdersRows();
    void columnsDescribeSourceTable();
    void openOnMissingTableNamesIt();
    void addNewWritesRowToTable();
    void typedTextIsStoredAsColumnType();
    void editChangesOnlyThatRow();
    void cancelAfterEditRestoresStoredValues();
    void cancelAfterAddNewReturnsToPreviousRow();
    void cancelAfterAddNewOnEmptySetLeavesItEmpty();
    void deleteRemovesExactlyOneRow();
    void moveNextAfterDeleteLandsOnFollowingRow();
    void requeryShowsRowsAddedElsewhere();
    void refusedValueKeepsOldValue_data();
    void refusedValueKeepsOldValue();
    void autoNumberAppearsAfterUpdate();
    void batchIsWrittenByUpdateBatch_data();
    void batchIsWrittenByUpdateBatch();
    void batchRowsCanBeChangedAfterUpdateBatch();
    void batchDeleteWaitsForUpdateBatch();
    void storedTextComesBackExactly_data();
    void storedTextComesBackExactly();
    void reopenForgetsFilterAndSort_data();
    void reopenForgetsFilterAndSort();
    void writtenOnlyAfterCallerCommits();

private:
    Database& db() { return scratch_->db(); }
    int count(const QString& sql, const QVariantList& params = {})
    {
        return db().scalar(sql, params).toInt();
    }
    void addUser(const QString& uid, const QString& pwd = QString(),
                 const QString& urights = QString())
    {
        db().exec(QStringLiteral("insert into loguser (uid, pwd, urights) values (?, ?, ?)"),
                  {uid, pwd, urights});
    }
    void addContainer(int ref, const QString& containno, const QString& constatus)
    {
        db().exec(QStringLiteral("insert into egmcontain (ref, containno, constatus, subrefno) "
                                 "values (?, ?, ?, 0)"),
                  {ref, containno, constatus});
    }
    /// Users in an order that differs from their alphabetical one.
    void addThreeUsers()
    {
        addUser(QStringLiteral("bob"), QStringLiteral("b"));
        addUser(QStringLiteral("admin"), QStringLiteral("a"));
        addUser(QStringLiteral("alpha"), QStringLiteral("x"));
    }
    void openUsersByUid(RowSet& rs)
    {
        rs.open(scratch_->ptr(), QStringLiteral("select * from loguser order by uid"));
    }

    std::unique_ptr<ScratchDatabase> scratch_;
};

/// The values of one column from the first row to the last.
static QStringList walk(RowSet& rs, const QString& column)
{
    QStringList out;
    if (rs.recordCount() == 0)
        return out;
    rs.moveFirst();
    while (!rs.eof()) {
        out << rs.value(column).toString();
        rs.moveNext();
    }
    return out;
}

void TestRowSet::init()
{
    scratch_ = std::make_unique<ScratchDatabase>();
    Schema::createCompanyDatabase(db());
    db().exec(createLoguser);
}

void TestRowSet::cleanup()
{
    scratch_.reset();
}

void TestRowSet::emptySetIsAtBothEnds()
{
    RowSet rs;
    openUsersByUid(rs);

    QVERIFY(rs.isOpen());
    QCOMPARE(rs.recordCount(), 0);
    QVERIFY(rs.bof());
    QVERIFY(rs.eof());
    QVERIFY(rs.absolutePosition() < 1);
    rs.moveFirst();
    rs.moveLast();
    QVERIFY(rs.bof());
    QVERIFY(rs.eof());
    const auto error = dbErrorOf([&] { rs.value(QStringLiteral("uid")); });
    QVERIFY(error);
    QCOMPARE(error->number(), DbError::NoCurrentRow);
}

void TestRowSet::movesWalkTheRowsInOrder()
{
    addThreeUsers();
    RowSet rs;
    openUsersByUid(rs);

    QCOMPARE(rs.recordCount(), 3);
    QVERIFY(!rs.bof());
    QVERIFY(!rs.eof());
    QCOMPARE(rs.absolutePosition(), 1);
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("admin"));

    rs.moveNext();
    QCOMPARE(rs.absolutePosition(), 2);
    QCOMPARE(rs.value(0).toString(), QStringLiteral("alpha"));

    rs.moveLast();
    QCOMPARE(rs.absolutePosition(), 3);
    QCOMPARE(rs.value(QStringLiteral("UID")).toString(), QStringLiteral("bob"));

    rs.moveNext();
    QVERIFY(rs.eof());
    QVERIFY(!rs.bof());
    QCOMPARE(rs.absolutePosition(), RowSet::PosEof);
    QVERIFY(dbErrorOf([&] { rs.value(QStringLiteral("uid")); }));

    rs.movePrevious();
    QVERIFY(!rs.eof());
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("bob"));

    rs.moveFirst();
    QCOMPARE(rs.absolutePosition(), 1);
    rs.movePrevious();
    QVERIFY(rs.bof());
    QVERIFY(!rs.eof());
    QCOMPARE(rs.absolutePosition(), RowSet::PosBof);

    rs.moveNext();
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("admin"));

    rs.setAbsolutePosition(2);
    QCOMPARE(rs.value(QStringLiteral("pwd")).toString(), QStringLiteral("x"));
    QCOMPARE(rs.recordCount(), 3);
}

void TestRowSet::moveCompleteFollowsMoves_data()
{
    QTest::addColumn<Move>("move");
    QTest::addColumn<int>("emitted");

    QTest::newRow("first") << Move::First << 1;
    QTest::newRow("last") << Move::Last << 1;
    QTest::newRow("next") << Move::Next << 1;
    QTest::newRow("previous") << Move::Previous << 1;
    QTest::newRow("bookmark") << Move::Bookmark << 1;
    QTest::newRow("position") << Move::Position << 1;
    QTest::newRow("requery") << Move::Requery << 1;
    QTest::newRow("filter") << Move::Filter << 1;
    QTest::newRow("sort") << Move::Sort << 1;
    // The form shows "Add record" while adding; a position would overwrite it.
    QTest::newRow("add new") << Move::AddNew << 0;
}

void TestRowSet::moveCompleteFollowsMoves()
{
    QFETCH(Move, move);
    QFETCH(int, emitted);
    addThreeUsers();
    RowSet rs;
    openUsersByUid(rs);
    rs.moveNext();
    const int mark = rs.bookmark();
    rs.moveLast();

    QSignalSpy spy(&rs, &RowSet::moveComplete);
    switch (move) {
    case Move::First:
        rs.moveFirst();
        break;
    case Move::Last:
        rs.moveLast();
        break;
    case Move::Next:
        rs.moveNext();
        break;
    case Move::Previous:
        rs.movePrevious();
        break;
    case Move::Bookmark:
        rs.setBookmark(mark);
        break;
    case Move::Position:
        rs.setAbsolutePosition(1);
        break;
    case Move::Requery:
        rs.requery();
        break;
    case Move::Filter:
        rs.setFilter(QStringLiteral("uid like 'a*'"));
        break;
    case Move::Sort:
        rs.setSort(QStringLiteral("uid desc"));
        break;
    case Move::AddNew:
        rs.addNew();
        break;
    }
    QCOMPARE(spy.count(), emitted);
}

void TestRowSet::bookmarkReturnsToItsRow()
{
    addThreeUsers();
    addUser(QStringLiteral("carol"));
    RowSet rs;
    openUsersByUid(rs);

    rs.moveNext();
    const int alpha = rs.bookmark();
    rs.moveLast();
    QVERIFY(rs.bookmark() != alpha);

    rs.setBookmark(alpha);
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("alpha"));
    QCOMPARE(rs.absolutePosition(), 2);

    // A bookmark names the row, not the place: it survives a new order.
    rs.setSort(QStringLiteral("uid desc"));
    rs.moveFirst();
    rs.setBookmark(alpha);
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("alpha"));
    QCOMPARE(rs.absolutePosition(), 3);

    rs.moveNext();
    rs.moveNext();
    QVERIFY(rs.eof());
    QVERIFY(dbErrorOf([&] { rs.bookmark(); }));
}

void TestRowSet::bookmarkOfDeletedRowIsRefused()
{
    addThreeUsers();
    RowSet rs;
    openUsersByUid(rs);
    rs.moveNext();
    const int alpha = rs.bookmark();
    rs.deleteCurrent();
    rs.moveFirst();

    const auto error = dbErrorOf([&] { rs.setBookmark(alpha); });
    QVERIFY(error);
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("admin"));
}

void TestRowSet::filterShowsMatchingRows_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("like with star")
        << "loguser"
        << "uid like 'a*'"
        << "uid" << QStringList{QStringLiteral("admin"), QStringLiteral("alpha")};
    QTest::newRow("like matches without regard to case")
        << "loguser"
        << "uid like 'A*'"
        << "uid" << QStringList{QStringLiteral("admin"), QStringLiteral("alpha")};
    QTest::newRow("doubled quote") << "loguser"
                                   << "uid = 'o''brien'"
                                   << "uid" << QStringList{QStringLiteral("o'brien")};
    QTest::newRow("no match") << "loguser"
                              << "uid = 'nobody'"
                              << "uid" << QStringList();
    QTest::newRow("number") << "egmcontain"
                            << "ref = 2"
                            << "containno"
                            << QStringList{QStringLiteral("TWOU0000001"),
                                           QStringLiteral("TWOU0000002")};
    QTest::newRow("column in capitals")
        << "egmcontain"
        << "REF = 2"
        << "containno" << QStringList{QStringLiteral("TWOU0000001"), QStringLiteral("TWOU0000002")};
    QTest::newRow("and") << "egmcontain"
                         << "ref = 2 and constatus = 'E'"
                         << "containno" << QStringList{QStringLiteral("TWOU0000002")};
    QTest::newRow("or") << "egmcontain"
                        << "ref = 1 or constatus = 'E'"
                        << "containno"
                        << QStringList{QStringLiteral("ONEU0000001"),
                                       QStringLiteral("TWOU0000002")};
}

void TestRowSet::filterShowsMatchingRows()
{
    QFETCH(QString, table);
    QFETCH(QString, filter);
    QFETCH(QString, column);
    QFETCH(QStringList, shown);
    addThreeUsers();
    addUser(QStringLiteral("o'brien"));
    addContainer(1, QStringLiteral("ONEU0000001"), QStringLiteral("F"));
    addContainer(2, QStringLiteral("TWOU0000001"), QStringLiteral("F"));
    addContainer(2, QStringLiteral("TWOU0000002"), QStringLiteral("E"));
    addContainer(3, QStringLiteral("TRIU0000001"), QStringLiteral("F"));
    RowSet rs;
    rs.open(scratch_->ptr(), QStringLiteral("select * from %1 order by %2").arg(table, column));

    rs.setFilter(filter);

    QCOMPARE(rs.recordCount(), shown.size());
    if (!shown.isEmpty()) {
        QCOMPARE(rs.absolutePosition(), 1);
        QCOMPARE(rs.value(column).toString(), shown.first());
    } else {
        QVERIFY(rs.eof());
    }
    QCOMPARE(walk(rs, column), shown);
}

void TestRowSet::beginsWithTakesQuoteLiterally()
{
    addThreeUsers();
    addUser(QStringLiteral("o'brien"));
    addUser(QStringLiteral("o'*"));
    RowSet rs;
    openUsersByUid(rs);

    const auto error = dbErrorOf(
        [&] { rs.setFilter(Criteria::beginsWith(QStringLiteral("uid"), QStringLiteral("o'b"))); });
    QVERIFY2(!error, describe(error));
    QCOMPARE(walk(rs, QStringLiteral("uid")), QStringList{QStringLiteral("o'brien")});

    // A star typed by the user is a character like any other.
    rs.setFilter(Criteria::beginsWith(QStringLiteral("uid"), QStringLiteral("o'*")));
    QCOMPARE(walk(rs, QStringLiteral("uid")), QStringList{QStringLiteral("o'*")});
}

void TestRowSet::clearedFilterShowsAllRows()
{
    addThreeUsers();
    RowSet rs;
    openUsersByUid(rs);

    rs.setFilter(QStringLiteral("uid like 'a*'"));
    QCOMPARE(rs.recordCount(), 2);
    rs.clearFilter();
    QCOMPARE(rs.recordCount(), 3);
    QVERIFY(rs.filter().isEmpty());

    rs.setFilter(QStringLiteral("uid like 'b*'"));
    QCOMPARE(rs.recordCount(), 1);
    rs.setFilter(QStringLiteral(""));
    QCOMPARE(
        walk(rs, QStringLiteral("uid")),
        (QStringList{QStringLiteral("admin"), QStringLiteral("alpha"), QStringLiteral("bob")}));
}

void TestRowSet::findMovesForwardThroughMatches()
{
    addThreeUsers();
    RowSet rs;
    openUsersByUid(rs);
    const Criteria startsWithA = Criteria::beginsWith(QStringLiteral("uid"), QStringLiteral("a"));

    rs.moveFirst();
    QVERIFY(rs.find(startsWithA));
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("admin"));

    QVERIFY(rs.find(startsWithA, 1));
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("alpha"));

    QVERIFY(!rs.find(startsWithA, 1));
    QVERIFY(rs.eof());

    // With skip 0 the current row is the first candidate.
    rs.moveLast();
    const Criteria b = Criteria::parse(QStringLiteral("uid like 'b*'"));
    QVERIFY(rs.find(b));
    QCOMPARE(rs.absolutePosition(), 3);
    // A forward search does not look behind the current row.
    QVERIFY(!rs.find(startsWithA));
    QVERIFY(rs.eof());
}

void TestRowSet::sortOrdersRows_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("sorts");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("text") << "loguser" << QStringList{QStringLiteral("uid")} << "uid"
                          << QStringList{QStringLiteral("admin"), QStringLiteral("alpha"),
                                         QStringLiteral("bob")};
    QTest::newRow("text descending")
        << "loguser" << QStringList{QStringLiteral("UID desc")} << "uid"
        << QStringList{QStringLiteral("bob"), QStringLiteral("alpha"), QStringLiteral("admin")};
    QTest::newRow("empty sort restores fetch order")
        << "loguser" << QStringList{QStringLiteral("uid"), QString()} << "uid"
        << QStringList{QStringLiteral("bob"), QStringLiteral("admin"), QStringLiteral("alpha")};
    // 9 < 10 < 100 as numbers, not as text.
    QTest::newRow("number") << "egmcontain" << QStringList{QStringLiteral("ref")} << "ref"
                            << QStringList{QStringLiteral("9"), QStringLiteral("10"),
                                           QStringLiteral("10"), QStringLiteral("100")};
    QTest::newRow("two keys") << "egmcontain" << QStringList{QStringLiteral("ref desc, constatus")}
                              << "containno"
                              << QStringList{
                                     QStringLiteral("HUNU0000001"), QStringLiteral("TENU0000002"),
                                     QStringLiteral("TENU0000001"), QStringLiteral("NINU0000001")};
}

void TestRowSet::sortOrdersRows()
{
    QFETCH(QString, table);
    QFETCH(QStringList, sorts);
    QFETCH(QString, column);
    QFETCH(QStringList, order);
    addThreeUsers();
    addContainer(10, QStringLiteral("TENU0000001"), QStringLiteral("F"));
    addContainer(9, QStringLiteral("NINU0000001"), QStringLiteral("F"));
    addContainer(100, QStringLiteral("HUNU0000001"), QStringLiteral("F"));
    addContainer(10, QStringLiteral("TENU0000002"), QStringLiteral("E"));
    RowSet rs;
    rs.openTable(scratch_->ptr(), table);

    for (const QString& sort : sorts)
        rs.setSort(sort);

    QCOMPARE(walk(rs, column), order);
}

void TestRowSet::columnsDescribeSourceTable()
{
    RowSet users;
    users.openTable(scratch_->ptr(), QStringLiteral("loguser"));
    const ColumnList& c = users.columns();
    QCOMPARE(c.size(), 4);
    QCOMPARE(c[0].name, QStringLiteral("uid"));
    QCOMPARE(c[0].type, ColumnType::Text);
    QCOMPARE(c[0].size, 50);
    QCOMPARE(c[3].name, QStringLiteral("mrights"));
    QCOMPARE(c[3].size, 150);
    QCOMPARE(users.sourceTable().toLower(), QStringLiteral("loguser"));

    RowSet cargo;
    cargo.open(scratch_->ptr(), QStringLiteral("select * from egmCargo"));
    QCOMPARE(cargo.columnIndex(QStringLiteral("EGMDT")), 2);
    QCOMPARE(cargo.columns()[2].type, ColumnType::Date);
    QCOMPARE(cargo.columns()[5].size, 6);
}

void TestRowSet::openOnMissingTableNamesIt()
{
    db().exec(QStringLiteral("drop table loguser"));
    db().clearLayoutCache();
    RowSet rs;

    const auto error = dbErrorOf(
        [&] { rs.open(scratch_->ptr(), QStringLiteral("select * from loguser order by uid")); });

    QVERIFY(error);
    QVERIFY2(error->description().contains(QLatin1String("loguser")), describe(error));
    QVERIFY(!rs.isOpen());
}

void TestRowSet::addNewWritesRowToTable()
{
    addUser(QStringLiteral("admin"), QStringLiteral("admin"), QStringLiteral(" SU"));
    RowSet rs;
    openUsersByUid(rs);

    rs.addNew();
    QCOMPARE(rs.editMode(), RowSet::EditMode::Adding);
    rs.setValue(QStringLiteral("uid"), QStringLiteral("clerk"));
    rs.setValue(QStringLiteral("pwd"), QStringLiteral("pw"));
    rs.setValue(QStringLiteral("urights"), QStringLiteral(" 01 02"));
    QCOMPARE(count(QStringLiteral("select count(*) from loguser")), 1);
    rs.update();

    QCOMPARE(rs.editMode(), RowSet::EditMode::None);
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("clerk"));
    const RowTable t =
        db().select(QStringLiteral("select pwd, urights, mrights from loguser where uid = ?"),
                    {QStringLiteral("clerk")});
    QCOMPARE(t.rows.size(), 1);
    QCOMPARE(t.rows[0][0].toString(), QStringLiteral("pw"));
    QCOMPARE(t.rows[0][1].toString(), QStringLiteral(" 01 02"));
    QVERIFY(t.rows[0][2].isNull());
    QCOMPARE(count(QStringLiteral("select count(*) from loguser")), 2);
}

void TestRowSet::typedTextIsStoredAsColumnType()
{
    RowSet rs;
    rs.open(scratch_->ptr(), QStringLiteral("select * from egmcargo"));
    rs.addNew();
    rs.setValue(QStringLiteral("id"), QStringLiteral("1"));
    rs.setValue(QStringLiteral("egmno"), QStringLiteral("2306"));
    rs.setValue(QStringLiteral("egmdt"), QStringLiteral("05/03/2006"));
    rs.setValue(QStringLiteral("sbdt"), QStringLiteral("31/12/2005"));
    rs.setValue(QStringLiteral("volume"), QStringLiteral("12.5"));
    rs.setValue(QStringLiteral("pkgs"), QStringLiteral("40"));
    rs.update();

    // The statements of the outputs compare numbers unquoted.
    QCOMPARE(count(QStringLiteral("select count(*) from egmcargo where egmcargo.egmno=2306 "
                                  "and pkgs = 40 and volume = 12.5")),
             1);
    const RowTable t = db().select(QStringLiteral("select egmdt, sbdt from egmcargo"));
    QCOMPARE(t.rows.size(), 1);
    QCOMPARE(t.rows[0][0], QVariant(QDate(2006, 3, 5)));
    QCOMPARE(t.rows[0][1], QVariant(QDate(2005, 12, 31)));
    QCOMPARE(rs.value(QStringLiteral("egmdt")), QVariant(QDate(2006, 3, 5)));
}

void TestRowSet::editChangesOnlyThatRow()
{
    // loguser has no key: two rows can be alike in every column.
    addUser(QStringLiteral("clerk"), QStringLiteral("pw"), QStringLiteral(" 01"));
    addUser(QStringLiteral("clerk"), QStringLiteral("pw"), QStringLiteral(" 01"));
    addUser(QStringLiteral("boss"), QStringLiteral("pw"), QStringLiteral(" SU"));
    RowSet rs;
    rs.openTable(scratch_->ptr(), QStringLiteral("loguser"));

    rs.moveNext();
    rs.setValue(QStringLiteral("pwd"), QStringLiteral("changed"));
    rs.update();
    QCOMPARE(count(QStringLiteral("select count(*) from loguser where pwd = 'changed'")), 1);
    QCOMPARE(count(QStringLiteral("select count(*) from loguser where pwd = 'pw'")), 2);

    // The other twin still matches its stored values and is found.
    rs.moveFirst();
    rs.edit();
    QCOMPARE(rs.editMode(), RowSet::EditMode::Editing);
    rs.setValue(QStringLiteral("pwd"), QStringLiteral("other"));
    rs.update();
    QCOMPARE(count(QStringLiteral("select count(*) from loguser where pwd = 'other'")), 1);
    QCOMPARE(count(QStringLiteral("select count(*) from loguser where pwd = 'changed'")), 1);
    QCOMPARE(count(QStringLiteral("select count(*) from loguser where pwd = 'pw' and uid = "
                                  "'boss'")),
             1);
    QCOMPARE(count(QStringLiteral("select count(*) from loguser")), 3);
}

void TestRowSet::cancelAfterEditRestoresStoredValues()
{
    addUser(QStringLiteral("admin"), QStringLiteral("secret"), QStringLiteral(" SU"));
    addUser(QStringLiteral("bob"), QStringLiteral("b"));
    RowSet rs;
    openUsersByUid(rs);

    rs.setValue(QStringLiteral("pwd"), QStringLiteral("typed"));
    rs.setValue(QStringLiteral("urights"), QStringLiteral(" 01"));
    QCOMPARE(rs.value(QStringLiteral("pwd")).toString(), QStringLiteral("typed"));
    rs.cancelUpdate();

    QCOMPARE(rs.editMode(), RowSet::EditMode::None);
    QCOMPARE(rs.value(QStringLiteral("pwd")).toString(), QStringLiteral("secret"));
    QCOMPARE(rs.value(QStringLiteral("urights")).toString(), QStringLiteral(" SU"));
    // Moving on must not write the abandoned values after all.
    rs.moveNext();
    rs.moveFirst();
    QCOMPARE(db().scalar(QStringLiteral("select pwd from loguser where uid = 'admin'")).toString(),
             QStringLiteral("secret"));
    QCOMPARE(rs.value(QStringLiteral("pwd")).toString(), QStringLiteral("secret"));
}

void TestRowSet::cancelAfterAddNewReturnsToPreviousRow()
{
    addThreeUsers();
    RowSet rs;
    openUsersByUid(rs);
    rs.moveNext();

    rs.addNew();
    rs.setValue(QStringLiteral("uid"), QStringLiteral("temp"));
    QCOMPARE(rs.recordCount(), 4);
    rs.cancelUpdate();

    QCOMPARE(rs.editMode(), RowSet::EditMode::None);
    QCOMPARE(rs.recordCount(), 3);
    QCOMPARE(rs.absolutePosition(), 2);
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("alpha"));
    QCOMPARE(
        walk(rs, QStringLiteral("uid")),
        (QStringList{QStringLiteral("admin"), QStringLiteral("alpha"), QStringLiteral("bob")}));
    QCOMPARE(count(QStringLiteral("select count(*) from loguser")), 3);
}

void TestRowSet::cancelAfterAddNewOnEmptySetLeavesItEmpty()
{
    RowSet rs;
    openUsersByUid(rs);

    rs.addNew();
    QVERIFY(!rs.eof());
    rs.setValue(QStringLiteral("uid"), QStringLiteral("temp"));
    rs.cancelUpdate();

    QCOMPARE(rs.recordCount(), 0);
    QVERIFY(rs.eof());
    QVERIFY(rs.bof());
    QCOMPARE(count(QStringLiteral("select count(*) from loguser")), 0);
}

void TestRowSet::deleteRemovesExactlyOneRow()
{
    addUser(QStringLiteral("clerk"), QStringLiteral("pw"));
    addUser(QStringLiteral("clerk"), QStringLiteral("pw"));
    addUser(QStringLiteral("boss"), QStringLiteral("pw"));
    RowSet rs;
    rs.openTable(scratch_->ptr(), QStringLiteral("loguser"));

    rs.deleteCurrent();

    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(count(QStringLiteral("select count(*) from loguser where uid = 'clerk'")), 1);
    QCOMPARE(count(QStringLiteral("select count(*) from loguser")), 2);
}

void TestRowSet::moveNextAfterDeleteLandsOnFollowingRow()
{
    addThreeUsers();
    addUser(QStringLiteral("carol"));
    RowSet rs;
    openUsersByUid(rs);

    rs.moveNext();
    rs.deleteCurrent();
    rs.moveNext();
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("bob"));
    QCOMPARE(rs.absolutePosition(), 2);

    rs.moveLast();
    rs.deleteCurrent();
    rs.moveNext();
    QVERIFY(rs.eof());

    QCOMPARE(walk(rs, QStringLiteral("uid")),
             (QStringList{QStringLiteral("admin"), QStringLiteral("bob")}));
    QCOMPARE(count(QStringLiteral("select count(*) from loguser")), 2);
}

void TestRowSet::requeryShowsRowsAddedElsewhere()
{
    addUser(QStringLiteral("bob"));
    RowSet rs;
    openUsersByUid(rs);
    rs.moveLast();

    addUser(QStringLiteral("admin"));
    QCOMPARE(rs.recordCount(), 1);
    rs.requery();

    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.absolutePosition(), 1);
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("admin"));
}

void TestRowSet::refusedValueKeepsOldValue_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("typed");

    QTest::newRow("user ID too long") << "loguser"
                                      << "uid" << QString(51, u'u');
    QTest::newRow("port too long") << "egmcargo"
                                   << "sbport"
                                   << "INIXY12";
    QTest::newRow("nature too long") << "egmcargo"
                                     << "naturecargo"
                                     << "CPX";
    QTest::newRow("packages not a number") << "egmcargo"
                                           << "pkgs"
                                           << "ten";
    QTest::newRow("volume not a number") << "egmcargo"
                                         << "volume"
                                         << "1,5";
    QTest::newRow("EGM number not a number") << "egmcargo"
                                             << "egmno"
                                             << "23O6";
    QTest::newRow("date that does not exist") << "egmcargo"
                                              << "egmdt"
                                              << "31/02/2006";
    QTest::newRow("words for a date") << "egmcargo"
                                      << "sbdt"
                                      << "next week";
}

void TestRowSet::refusedValueKeepsOldValue()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, typed);
    addUser(QStringLiteral("admin"), QStringLiteral("admin"), QStringLiteral(" SU"));
    db().insertRows(QStringLiteral("egmcargo"),
                    {QStringLiteral("id"), QStringLiteral("egmno"), QStringLiteral("egmdt"),
                     QStringLiteral("sbdt"), QStringLiteral("sbport"),
                     QStringLiteral("naturecargo"), QStringLiteral("volume"),
                     QStringLiteral("pkgs")},
                    {{1, 2306, QDate(2006, 3, 5), QDate(2006, 3, 1), QStringLiteral("INIXY1"),
                      QStringLiteral("C"), 3.5, 10}});
    RowSet rs;
    rs.openTable(scratch_->ptr(), table);
    const QVariant before = rs.value(column);
    QVERIFY(!before.isNull());

    const auto error = dbErrorOf([&] { rs.setValue(column, typed); });

    QVERIFY(error);
    QCOMPARE(error->number(), DbError::BadValue);
    QVERIFY2(error->description().contains(column), describe(error));
    QCOMPARE(rs.value(column), before);
    rs.update();
    rs.requery();
    QCOMPARE(rs.value(column), before);
}

void TestRowSet::autoNumberAppearsAfterUpdate()
{
    RowSet rs;
    rs.open(scratch_->ptr(), QStringLiteral("select * from egmcontain order by autoid"));
    QList<int> keys;
    for (const QString& no : {QStringLiteral("ABCU1234567"), QStringLiteral("ABCU7654321")}) {
        rs.addNew();
        rs.setValue(QStringLiteral("ref"), 1);
        rs.setValue(QStringLiteral("containno"), no);
        rs.setValue(QStringLiteral("constatus"), QStringLiteral("F"));
        rs.setValue(QStringLiteral("subrefno"), 0);
        QVERIFY(rs.value(QStringLiteral("autoid")).isNull());
        rs.update();

        const QVariant key = rs.value(QStringLiteral("autoid"));
        QVERIFY2(!key.isNull(), qPrintable(no));
        QCOMPARE(
            key.toInt(),
            db().scalar(QStringLiteral("select autoid from egmcontain where containno = ?"), {no})
                .toInt());
        keys << key.toInt();
    }
    QVERIFY(keys[0] != keys[1]);

    // The key now locates the row for the next change.
    rs.moveFirst();
    rs.setValue(QStringLiteral("constatus"), QStringLiteral("E"));
    rs.update();
    QCOMPARE(
        db().scalar(QStringLiteral("select constatus from egmcontain where autoid = ?"), {keys[0]})
            .toString(),
        QStringLiteral("E"));
    QCOMPARE(
        db().scalar(QStringLiteral("select constatus from egmcontain where autoid = ?"), {keys[1]})
            .toString(),
        QStringLiteral("F"));
}

void TestRowSet::batchIsWrittenByUpdateBatch_data()
{
    QTest::addColumn<bool>("commit");

    QTest::newRow("committed") << true;
    QTest::newRow("transaction left without commit") << false;
}

void TestRowSet::batchIsWrittenByUpdateBatch()
{
    QFETCH(bool, commit);
    const QString cargoCount = QStringLiteral("select count(*) from egmcargo");
    const QString containCount = QStringLiteral("select count(*) from egmcontain");
    RowSet cargo;
    RowSet contain;
    cargo.open(scratch_->ptr(), QStringLiteral("Select * from egmcargo"));
    contain.open(scratch_->ptr(), QStringLiteral("Select * from egmcontain"));
    cargo.setBatchMode(true);
    contain.setBatchMode(true);

    {
        Database::Transaction tx(db());
        cargo.addNew();
        cargo.setValue(QStringLiteral("id"), 1);
        cargo.setValue(QStringLiteral("egmno"), 2306);
        cargo.update();
        for (const QString& no : {QStringLiteral("AAAU0000001"), QStringLiteral("AAAU0000002"),
                                  QStringLiteral("AAAU0000003")}) {
            contain.addNew();
            contain.setValue(QStringLiteral("ref"), 1);
            contain.setValue(QStringLiteral("containno"), no);
            contain.setValue(QStringLiteral("subrefno"), 0);
            contain.update();
        }
        QCOMPARE(cargo.pendingCount(), 1);
        QCOMPARE(contain.pendingCount(), 3);
        QCOMPARE(count(cargoCount), 0);
        QCOMPARE(count(containCount), 0);

        cargo.updateBatch();
        contain.updateBatch();
        QCOMPARE(contain.pendingCount(), 0);
        QCOMPARE(count(cargoCount), 1);
        QCOMPARE(count(containCount), 3);
        if (commit)
            tx.commit();
    }

    QCOMPARE(count(cargoCount), commit ? 1 : 0);
    QCOMPARE(count(QStringLiteral("select count(*) from egmcontain where ref = 1")),
             commit ? 3 : 0);
}

void TestRowSet::batchRowsCanBeChangedAfterUpdateBatch()
{
    RowSet rs;
    rs.open(scratch_->ptr(), QStringLiteral("select * from egmcontain order by autoid"));
    rs.setBatchMode(true);
    rs.addNew();
    rs.setValue(QStringLiteral("ref"), 1);
    rs.setValue(QStringLiteral("containno"), QStringLiteral("BATU0000001"));
    rs.setValue(QStringLiteral("constatus"), QStringLiteral("F"));
    rs.update();
    rs.updateBatch();

    // The written row is still the set's current row and can be changed again.
    rs.setValue(QStringLiteral("constatus"), QStringLiteral("E"));
    rs.update();
    const auto error = dbErrorOf([&] { rs.updateBatch(); });
    QVERIFY2(!error, describe(error));
    QCOMPARE(db().scalar(QStringLiteral("select constatus from egmcontain where containno = ?"),
                         {QStringLiteral("BATU0000001")})
                 .toString(),
             QStringLiteral("E"));
    QCOMPARE(rs.value(QStringLiteral("autoid")).toInt(),
             db().scalar(QStringLiteral("select autoid from egmcontain")).toInt());
}

void TestRowSet::batchDeleteWaitsForUpdateBatch()
{
    addContainer(1, QStringLiteral("KEEP0000001"), QStringLiteral("F"));
    addContainer(1, QStringLiteral("GONE0000001"), QStringLiteral("F"));
    RowSet rs;
    rs.open(scratch_->ptr(), QStringLiteral("select * from egmcontain order by autoid"));
    rs.setBatchMode(true);

    rs.moveLast();
    rs.deleteCurrent();
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.pendingCount(), 1);
    QCOMPARE(count(QStringLiteral("select count(*) from egmcontain")), 2);

    rs.updateBatch();
    QCOMPARE(rs.pendingCount(), 0);
    QCOMPARE(db().scalar(QStringLiteral("select containno from egmcontain")).toString(),
             QStringLiteral("KEEP0000001"));
    QCOMPARE(count(QStringLiteral("select count(*) from egmcontain")), 1);
}

void TestRowSet::storedTextComesBackExactly_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("rights with trailing blanks") << " 01 03   ";
    QTest::newRow("full width") << QStringLiteral(" 01 03").leftJustified(50, u' ');
    QTest::newRow("leading blanks") << "  SU";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("empty") << "";
}

void TestRowSet::storedTextComesBackExactly()
{
    QFETCH(QString, text);
    RowSet rs;
    openUsersByUid(rs);
    rs.addNew();
    rs.setValue(QStringLiteral("uid"), QStringLiteral("clerk"));
    rs.setValue(QStringLiteral("urights"), text);
    rs.update();

    QCOMPARE(db().scalar(QStringLiteral("select urights from loguser")).toString(), text);
    const RowTable t = db().select(QStringLiteral("select urights from loguser"));
    QCOMPARE(t.rows.size(), 1);
    QCOMPARE(t.rows[0][0].toString(), text);

    RowSet again;
    openUsersByUid(again);
    QCOMPARE(again.value(QStringLiteral("urights")).toString(), text);

    // A stored row with trailing blanks is still found for a change.
    again.setValue(QStringLiteral("pwd"), QStringLiteral("pw"));
    again.update();
    QCOMPARE(
        db().scalar(QStringLiteral("select pwd from loguser where urights = ?"), {text}).toString(),
        QStringLiteral("pw"));
}

void TestRowSet::reopenForgetsFilterAndSort_data()
{
    QTest::addColumn<bool>("sorted");
    QTest::newRow("filter") << false;
    // The sort named the fifth column of the first query, which the second lacks.
    QTest::newRow("sort on a column the new query lacks") << true;
}

void TestRowSet::reopenForgetsFilterAndSort()
{
    QFETCH(bool, sorted);
    addThreeUsers();
    RowSet rs;
    rs.open(scratch_->ptr(), QStringLiteral("select uid, pwd, urights, mrights from loguser"));
    if (sorted)
        rs.setSort(QStringLiteral("mrights desc, uid"));
    else
        rs.setFilter(QStringLiteral("uid = 'bob'"));
    rs.close();

    rs.open(scratch_->ptr(), QStringLiteral("select uid from loguser order by uid"));
    QCOMPARE(
        walk(rs, QStringLiteral("uid")),
        (QStringList{QStringLiteral("admin"), QStringLiteral("alpha"), QStringLiteral("bob")}));
    QVERIFY(rs.filter().isEmpty());
}

void TestRowSet::writtenOnlyAfterCallerCommits()
{
    RowSet rs;
    openUsersByUid(rs);
    rs.addNew();
    rs.setValue(QStringLiteral("uid"), QStringLiteral("clerk"));
    {
        Database::Transaction tx(db());
        rs.writeCurrent();
        QCOMPARE(count(QStringLiteral("select count(*) from loguser")), 1);
    } // rolled back
    QCOMPARE(count(QStringLiteral("select count(*) from loguser")), 0);
    // Still the pending new row with its typed value: the next write stores it.
    QCOMPARE(rs.editMode(), RowSet::EditMode::Adding);
    QCOMPARE(rs.value(QStringLiteral("uid")).toString(), QStringLiteral("clerk"));
    rs.update();
    QCOMPARE(count(QStringLiteral("select count(*) from loguser")), 1);
    QCOMPARE(rs.editMode(), RowSet::EditMode::None);
}

QTEST_GUILESS_MAIN(TestRowSet)
#include "tst_rowset.moc"
