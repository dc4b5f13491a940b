// The cargo screen driven as a clerk drives it: the bill typed from the
// keyboard and filed, the ids, the saves that write all or nothing, the
// grid and its keys, the nature rule, carry, container delete and search,
// the last change in the status bar and the bill's history.
// The grid's and the fields' rules themselves are tested in tst_containergrid.

#include "CargoTesting.h"
#include "ContainerGrid.h"
#include "ContainerGridView.h"
#include "DeletedBills.h"
#include "EgmExport.h"
#include "frmCargo.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>

using namespace MastersTesting;
using namespace CargoTesting;

namespace {

/// A cargo screen whose container write fails, after writing what it could;
/// or, with afterHistory, whose last write fails once the history is written.
class FailingContainersForm : public frmCargo
{
public:
    int number = DbError::CommandFailed;
    int tries = 0;
    bool afterHistory = false;

protected:
    void writeContainers(Database& db, qint64 id) override
    {
        ++tries;
        frmCargo::writeContainers(db, id);
        if (!afterHistory)
            throw DbError(number, QStringLiteral("Disk or network error."));
    }
    void writeHistory(Database& db, qint64 id, const BillHistory::Bill& before) override
    {
        frmCargo::writeHistory(db, id, before);
        throw DbError(number, QStringLiteral("Disk or network error."));
    }
};

ContainerGrid* gridOf(frmCargo* f)
{
    return f->containerGrid();
}

} // namespace

class TestCargoScreen : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensOnLastBillWithItsContainers_data();
    void opensOnLastBillWithItsContainers();
    void billTypedFromKeyboardIsFiledByteForByte();
    void newBillGetsNextIdAndHomePorts_data();
    void newBillGetsNextIdAndHomePorts();
    void refusedContainerWritesNothing();
    void failedSaveWritesNothingAndKeepsTypedValues_data();
    void failedSaveWritesNothingAndKeepsTypedValues();
    void retryOfChangedRowIsBounded();
    void secondSaveAddsNoContainerTwice();
    void cancelAfterAddShowsPreviousBill();
    void deleteRemovesEveryContainerOfTheBill();
    void gridTakesTheKeys();
    void gridCellEditing();
    void natureSwitchesFields();
    void fieldKeepsFocus_data();
    void fieldKeepsFocus();
    void carryTakesFiveFields();
    void deleteContainer_data();
    void deleteContainer();
    void searchFindsFirstThenNext();
    void searchOnEmptyTable();
    void closingWhileAddingDiscards();
    void storedValuesSurviveEditAndSave();
    void boxesFollowTheNatureOfTheBillShown();
    void enterAfterUnitGoesOnToUpdate();
    void saveChecksEveryFieldTheNatureNeeds_data();
    void saveChecksEveryFieldTheNatureNeeds();
    void editOfABillDeletedMeanwhileWritesNothing();
    void shiftTabGoesBackThroughEveryField();
    void natureListMatchesAllThatWasTyped();
    void showBillOpensTheBillAsked();
    void rotNoFilterWalksOneEgm();
    void statusTellsTheLastChangeAndCtrlHListsThemAll();

private:
    frmCargo* open()
    {
        form_ = new frmCargo;
        if (!showActive(form_))
            qWarning("the cargo screen did not become active");
        return form_;
    }
    std::unique_ptr<Installed> inst_;
    QPointer<frmCargo> form_;
};

void TestCargoScreen::init()
{
    inst_ = std::make_unique<Installed>();
    QVERIFY(inst_->ok);
    Installed::logOn(QStringLiteral("TARVEX"), QStringLiteral(" SU"), QStringLiteral(" SU"));
}

void TestCargoScreen::cleanup()
{
    delete form_;
    inst_.reset();
}

void TestCargoScreen::opensOnLastBillWithItsContainers_data()
{
    QTest::addColumn<int>("containers");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("status");
    QTest::newRow("empty table") << -1 << 75 << QString();
    QTest::newRow("3 containers") << 3 << 75 << QStringLiteral("Record: 3");
    QTest::newRow("80 containers") << 80 << 86 << QStringLiteral("Record: 3");
}

void TestCargoScreen::opensOnLastBillWithItsContainers()
{
    QFETCH(int, containers);
    QFETCH(int, rows);
    QFETCH(QString, status);
    if (containers >= 0) {
        for (int id : {1, 2, 7})
            addBill(id, 5000 + id);
        addContainers(2, 4);
        addContainers(7, containers);
    }
    frmCargo* f = open();
    QCOMPARE(gridOf(f)->rows(), rows);
    QCOMPARE(MastersTesting::status(f), status);
    QCOMPARE(box(f, 15)->text(), containers >= 0 ? QStringLiteral("5007") : QString());
    if (containers > 0)
        QCOMPARE(gridOf(f)->text(containers, ContainerGrid::ContainerNo),
                 QStringLiteral("TEST%1").arg(7000 + containers - 1, 7, 10, QLatin1Char('0')));
    QCOMPARE(gridOf(f)->text(containers + 1, ContainerGrid::ContainerNo), QString());
    QVERIFY(!f->findChild<QWidget*>(QStringLiteral("cmdExit")));
}

void TestCargoScreen::billTypedFromKeyboardIsFiledByteForByte()
{
    frmCargo* f = open();
    key(Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), box(f, 1));
    enter(QStringLiteral("2024117"));
    auto* nature = control<QComboBox>(f, QStringLiteral("cmbNatCargo"));
    QCOMPARE(QApplication::focusWidget(), nature);
    QVERIFY(!nature->view()->isVisible()); // this list does not open by itself
    enter(QStringLiteral("CONT"));
    QCOMPARE(box(f, 18)->text(), QStringLiteral("C"));
    QCOMPARE(QApplication::focusWidget(), box(f, 15));
    enter(QStringLiteral("5001"));
    enter(QStringLiteral("01/03/2006"));
    auto* port = control<QComboBox>(f, QStringLiteral("cmbDestPort"));
    QTRY_VERIFY(port->view()->isVisible()); // opens on arrival
    enter(QStringLiteral("SINGA"));
    QCOMPARE(box(f, 3)->text(), QStringLiteral("SGSIN"));
    QTRY_COMPARE(QApplication::focusWidget(), box(f, 22)); // one Enter took the pick and moved on
    enter(QStringLiteral("120"));
    // Volume and Unit are off for containerised cargo: next is the grid.
    QCOMPARE(QApplication::focusWidget(), f->containerView());
    for (const QString& c : {QStringLiteral("MSKU1234567"), QStringLiteral("TCLU7654321")}) {
        enter(c);
        enter(QStringLiteral("F"));
    }
    enter(QStringLiteral("GESU0000012"));
    enter(QStringLiteral("E"));
    // Tab from the grid goes on to Update.
    key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), control<QPushButton>(f, QStringLiteral("cmdUpdate")));
    key(Qt::Key_S, Qt::ControlModifier);
    QVERIFY2(inst_->prompts.messages().isEmpty(), qPrintable(inst_->prompts.messages().join('|')));
    QVERIFY(!editing(f));
    QCOMPARE(count(QStringLiteral("select count(*) from egmcontain where ref = 1")), 3);

    const EgmExport::FlatFile file = EgmExport::flatFile(conn(), 2024117, QDate(2006, 3, 5));
    QFile expected(QStringLiteral(TARVEX_SOURCE_DIR "/tests/cargo/expected/keyboard_bill.egm"));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QCOMPARE(file.bytes, expected.readAll());
}

void TestCargoScreen::newBillGetsNextIdAndHomePorts_data()
{
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<int>("next");
    QTest::newRow("empty table") << QList<int>{} << 1;
    QTest::newRow("1, 2, 7") << QList<int>{1, 2, 7} << 8;
}

void TestCargoScreen::newBillGetsNextIdAndHomePorts()
{
    QFETCH(QList<int>, ids);
    QFETCH(int, next);
    for (int id : ids)
        addBill(id, id);
    conn().exec(QStringLiteral("update egmcargo set sbport = 'X', gateport = 'Y'"));
    frmCargo* f = open();
    if (!ids.isEmpty()) {
        // An edit alone gives the home ports too.
        click(f, QStringLiteral("cmdEdit"));
        click(f, QStringLiteral("cmdUpdate"));
        QCOMPARE(count(QStringLiteral("select count(*) from egmcargo where id = ? and sbport = "
                                      "'INIXY1' and gateport = 'INIXY1'"),
                       {ids.last()}),
                 1);
    }
    click(f, QStringLiteral("cmdAdd"));
    fillBill(f, QStringLiteral("77"));
    click(f, QStringLiteral("cmdUpdate"));
    QVERIFY(!editing(f));
    QCOMPARE(count(QStringLiteral("select max(id) from egmcargo")), next);
    QCOMPARE(count(QStringLiteral("select count(*) from egmcargo where id = ? and egmno = 77 and "
                                  "sbport = 'INIXY1' and gateport = 'INIXY1'"),
                   {next}),
             1);
    QCOMPARE(MastersTesting::status(f), QStringLiteral("Record: %1").arg(ids.size() + 1));
    // The id is a key: a second bill of that id can never be stored.
    bool refused = false;
    try {
        addBill(next, 1);
    } catch (const DbError&) {
        refused = true;
    }
    QVERIFY(refused);
}

void TestCargoScreen::refusedContainerWritesNothing()
{
    frmCargo* f = open();
    click(f, QStringLiteral("cmdAdd"));
    fillBill(f, QStringLiteral("5"));
    gridOf(f)->ensureRows();
    gridOf(f)->setText(1, ContainerGrid::ContainerNo, QStringLiteral("ABCU12345"));
    gridOf(f)->setText(1, ContainerGrid::Status, QStringLiteral("F"));
    click(f, QStringLiteral("cmdUpdate"));
    QCOMPARE(inst_->prompts.messages(),
             QStringList{QStringLiteral("Row 1: Check Container No. Value")});
    QVERIFY(editing(f));
    QCOMPARE(count(QStringLiteral("select count(*) from egmcargo")), 0);
    QCOMPARE(count(QStringLiteral("select count(*) from egmcontain")), 0);
}

void TestCargoScreen::failedSaveWritesNothingAndKeepsTypedValues_data()
{
    QTest::addColumn<bool>("afterHistory");
    QTest::newRow("the containers fail") << false;
    QTest::newRow("the last write fails, after the history") << true;
}

void TestCargoScreen::failedSaveWritesNothingAndKeepsTypedValues()
{
    QFETCH(bool, afterHistory);
    auto* f = new FailingContainersForm;
    f->afterHistory = afterHistory;
    form_ = f;
    QVERIFY(showActive(f));
    click(f, QStringLiteral("cmdAdd"));
    fillBill(f, QStringLiteral("2024117"));
    gridOf(f)->ensureRows();
    gridOf(f)->setText(1, ContainerGrid::ContainerNo, QStringLiteral("MSKU1234567"));
    gridOf(f)->setText(1, ContainerGrid::Status, QStringLiteral("F"));
    click(f, QStringLiteral("cmdUpdate"));
    QCOMPARE(inst_->prompts.messages(),
             QStringList{QStringLiteral("-2147217900  Disk or network error.")});
    QCOMPARE(count(QStringLiteral("select count(*) from egmcargo")), 0);
    QCOMPARE(count(QStringLiteral("select count(*) from egmcontain")), 0);
    QCOMPARE(count(QStringLiteral("select count(*) from billhistory")), 0);
    QVERIFY(editing(f));
    QCOMPARE(box(f, 1)->text(), QStringLiteral("2024117"));
    QCOMPARE(gridOf(f)->text(1, ContainerGrid::ContainerNo), QStringLiteral("MSKU1234567"));
}

void TestCargoScreen::retryOfChangedRowIsBounded()
{
    auto* f = new FailingContainersForm;
    f->number = DbError::RowNotFound;
    form_ = f;
    QVERIFY(showActive(f));
    click(f, QStringLiteral("cmdAdd"));
    fillBill(f, QStringLiteral("1"));
    click(f, QStringLiteral("cmdUpdate"));
    QCOMPARE(f->tries, frmCargo::SaveTries);
    QCOMPARE(inst_->prompts.messages().size(), frmCargo::SaveTries);
    QVERIFY(editing(f));
    QCOMPARE(count(QStringLiteral("select count(*) from egmcargo")), 0);
}

void TestCargoScreen::secondSaveAddsNoContainerTwice()
{
    addBill(1, 10);
    frmCargo* f = open();
    for (int round = 0; round < 2; ++round) {
        click(f, QStringLiteral("cmdEdit"));
        gridOf(f)->setText(1 + round, ContainerGrid::ContainerNo,
                           QStringLiteral("MSKU123456%1").arg(round));
        gridOf(f)->setText(1 + round, ContainerGrid::Status, QStringLiteral("E"));
        click(f, QStringLiteral("cmdUpdate"));
        QVERIFY(!gridOf(f)->text(1, ContainerGrid::Autoid).isEmpty());
    }
    QCOMPARE(count(QStringLiteral("select count(*) from egmcontain where ref = 1")), 2);
}

void TestCargoScreen::cancelAfterAddShowsPreviousBill()
{
    addBill(1, 10);
    addBill(2, 20);
    addContainers(2, 3);
    frmCargo* f = open();
    click(f, QStringLiteral("cmdFirst"));
    click(f, QStringLiteral("cmdNext"));
    click(f, QStringLiteral("cmdAdd"));
    QCOMPARE(box(f, 15)->text(), QString());
    QCOMPARE(gridOf(f)->rows(), 0);
    key(Qt::Key_Escape);
    QVERIFY(!editing(f));
    QCOMPARE(box(f, 15)->text(), QStringLiteral("20"));
    QCOMPARE(gridOf(f)->rows(), 0); // until the next move
    click(f, QStringLiteral("cmdFirst"));
    click(f, QStringLiteral("cmdNext"));
    QCOMPARE(gridOf(f)->text(3, ContainerGrid::Status), QStringLiteral("F"));
    QCOMPARE(count(QStringLiteral("select count(*) from egmcargo")), 2);
}

void TestCargoScreen::deleteRemovesEveryContainerOfTheBill()
{
    addBill(1, 10);
    addBill(2, 20);
    addContainers(1, 2);
    addContainers(2, 5);
    frmCargo* f = open();
    // After a cancelled Add the grid shows nothing, yet Delete takes them all.
    click(f, QStringLiteral("cmdAdd"));
    key(Qt::Key_Escape);
    inst_->prompts.answers << Prompts::No;
    click(f, QStringLiteral("cmdDelete"));
    QCOMPARE(count(QStringLiteral("select count(*) from egmcargo")), 2);
    inst_->prompts.answers << Prompts::Yes;
    click(f, QStringLiteral("cmdDelete"));
    QCOMPARE(count(QStringLiteral("select count(*) from egmcargo")), 1);
    QCOMPARE(count(QStringLiteral("select count(*) from egmcontain where ref = 2")), 0);
    QCOMPARE(count(QStringLiteral("select count(*) from egmcontain where ref = 1")), 2);
    // Kept with its containers and who deleted it, to be put back.
    const QList<DeletedBills::Entry> kept = DeletedBills::list(conn());
    QCOMPARE(kept.size(), 1);
    QCOMPARE(kept[0].oldId, 2);
    QCOMPARE(kept[0].containers, 5);
    QCOMPARE(kept[0].deletedBy, QStringLiteral("TARVEX"));
    QCOMPARE(box(f, 15)->text(), QStringLiteral("10"));
    QCOMPARE(gridOf(f)->text(2, ContainerGrid::Status), QStringLiteral("F"));
}

void TestCargoScreen::gridTakesTheKeys()
{
    addBill(1, 10);
    addBill(2, 20);
    frmCargo* f = open();
    f->containerView()->setFocus();
    QCOMPARE(QApplication::focusWidget(), f->containerView());
    for (int k : {int(Qt::Key_Up), int(Qt::Key_Home), int(Qt::Key_Escape), int(Qt::Key_Return)})
        key(k);
    key(Qt::Key_A, Qt::ControlModifier);
    QVERIFY(f->isVisible());
    QVERIFY(!editing(f));
    QCOMPARE(MastersTesting::status(f), QStringLiteral("Record: 2"));
    // Tab leaves the grid; the form's keys act again.
    key(Qt::Key_Tab);
    key(Qt::Key_Home);
    QCOMPARE(MastersTesting::status(f), QStringLiteral("Record: 1"));
}

void TestCargoScreen::gridCellEditing()
{
    addBill(1, 10);
    addContainers(1, 1, QStringLiteral("E"));
    frmCargo* f = open();
    click(f, QStringLiteral("cmdEdit"));
    ContainerGridView* view = f->containerView();
    ContainerGrid* grid = gridOf(f);
    view->setFocus();
    QCOMPARE(view->selectedRow(), 1);
    QCOMPARE(view->selectedColumn(), int(ContainerGrid::ContainerNo));
    // Enter opens the cell for correction; Esc abandons.
    key(Qt::Key_Return);
    QVERIFY(view->isEditing());
    QCOMPARE(view->editor()->text(), QStringLiteral("TEST0001000"));
    type(QStringLiteral("X"));
    key(Qt::Key_Escape);
    QVERIFY(!view->isEditing());
    QCOMPARE(grid->text(1, 2), QStringLiteral("TEST0001000"));
    QVERIFY(editing(f)); // Esc in the grid is the grid's
    // A new container on row 2 takes row 1's status; Enter goes right.
    view->selectCell(2, 2);
    enter(QStringLiteral("ABCU1234567"));
    QCOMPARE(grid->text(2, 3), QStringLiteral("E"));
    QCOMPARE(view->selectedColumn(), 3);
    // A refused status is stored but keeps the selection.
    enter(QStringLiteral("Q"));
    QCOMPARE(grid->text(2, 3), QStringLiteral("Q"));
    QCOMPARE(view->selectedRow(), 2);
    QCOMPARE(view->selectedColumn(), 3);
    QCOMPARE(statusLine(inst_->prompts),
             QStringLiteral("Status: a status of the list, E (empty) or F (full)"));
    enter(QStringLiteral("F"));
    QCOMPARE(view->selectedRow(), 3);
    QCOMPARE(view->selectedColumn(), 2);
    QCOMPARE(statusLine(inst_->prompts), QString());
    // A short number keeps the selection too; a click elsewhere keeps the typing.
    enter(QStringLiteral("ABC"));
    QCOMPARE(view->selectedRow(), 3);
    type(QStringLiteral("ZZZU7654321"));
    QTest::mouseClick(box(f, 15), Qt::LeftButton);
    QCOMPARE(grid->text(3, 2), QStringLiteral("ZZZU7654321"));
    QCOMPARE(grid->text(3, 3), QStringLiteral("F"));
    // Ctrl+S in the editor stores the cell, then saves.
    view->setFocus();
    view->selectCell(4, 2);
    type(QStringLiteral("MSCU1234565"));
    QVERIFY(view->isEditing());
    key(Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!editing(f));
    QCOMPARE(count(QStringLiteral("select count(*) from egmcontain where ref = 1 and containno in "
                                  "('ZZZU7654321', 'MSCU1234565')")),
             2);
}

void TestCargoScreen::natureSwitchesFields()
{
    frmCargo* f = open();
    click(f, QStringLiteral("cmdAdd"));
    auto* nature = control<QComboBox>(f, QStringLiteral("cmbNatCargo"));
    const struct
    {
        const char* pick;
        bool containerised;
    } cases[] = {{"CONTAINERISED", true}, {"DRY", false}, {"CONT", true}};
    for (const auto& c : cases) {
        nature->setFocus(); // a new search, not more of the last
        type(QString::fromLatin1(c.pick));
        box(f, 15)->setFocus();
        type(QStringLiteral("12"));
        key(Qt::Key_Tab);
        QCOMPARE(f->containerView()->isEnabled(), c.containerised);
        QCOMPARE(box(f, 22)->isEnabled(), c.containerised);
        QCOMPARE(box(f, 24)->isEnabled(), !c.containerised);
        QCOMPARE(box(f, 25)->isEnabled(), !c.containerised);
    }
    // A lower-case code is not containerised.
    box(f, 18)->setText(QStringLiteral("c"));
    box(f, 15)->setFocus();
    key(Qt::Key_Tab);
    QVERIFY(!f->containerView()->isEnabled());
}

void TestCargoScreen::fieldKeepsFocus_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("stays");
    const QString tomorrow = QDate::currentDate().addDays(1).toString(QStringLiteral("dd/MM/yyyy"));
    const QString today = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    QTest::newRow("pkgs 0") << 22 << QStringLiteral("0") << true;
    QTest::newRow("pkgs letters are not typed") << 22 << QStringLiteral("ab-") << true;
    QTest::newRow("pkgs 3/") << 22 << QStringLiteral("3/") << false;
    QTest::newRow("date tomorrow") << 16 << tomorrow << true;
    QTest::newRow("date today") << 16 << today << false;
    QTest::newRow("not a date") << 16 << QStringLiteral("31/02/2006") << true;
    QTest::newRow("empty ROT No.") << 1 << QString() << true;
}

namespace {

/// The reason the status bar gives for a refused box.
QString reasonFor(int box)
{
    using F = CargoRules::Field;
    const F field = box == 22 ? F::Pkgs : box == 16 ? F::SbDate : F::RotNo;
    return CargoRules::fieldRefusal(field, QString(), QDate::currentDate());
}

} // namespace

void TestCargoScreen::fieldKeepsFocus()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(bool, stays);
    frmCargo* f = open();
    click(f, QStringLiteral("cmdAdd"));
    control<BoundList>(f, QStringLiteral("cmbNatCargo"))->setStoredValue(QStringLiteral("C"));
    box(f, field)->setFocus();
    type(text);
    key(Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget() == box(f, field), stays);
    // A refusal says why in the status bar; leaving the field clears it.
    QCOMPARE(statusLine(inst_->prompts), stays ? reasonFor(field) : QString());
    if (!stays)
        return;
    // Neither Tab nor a click on a button takes the focus away; Esc still cancels.
    key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), box(f, field));
    QTest::mouseClick(control<QPushButton>(f, QStringLiteral("cmdCancel")), Qt::LeftButton);
    QVERIFY(editing(f));
    QTRY_COMPARE(QApplication::focusWidget(), box(f, field));
    key(Qt::Key_Escape);
    QVERIFY(!editing(f));
}

void TestCargoScreen::carryTakesFiveFields()
{
    frmCargo* f = open();
    click(f, QStringLiteral("cmdCarry")); // on an empty table: all empty
    QVERIFY(editing(f));
    QCOMPARE(box(f, 1)->text(), QString());
    key(Qt::Key_Escape);
    conn().exec(
        QStringLiteral("insert into egmcargo (id, egmno, sbno, sbdt, destport, naturecargo, "
                       "volume, unitvol, pkgs) values (4, 2024117, 5001, '2006-03-01', "
                       "'SGSIN', 'DB', 12.5, 'MT', 3)"));
    click(f, QStringLiteral("cmdRefresh"));
    click(f, QStringLiteral("cmdLast"));
    click(f, QStringLiteral("cmdCarry"));
    QCOMPARE(QApplication::focusWidget(), box(f, 1));
    const QStringList shown = {box(f, 1)->text(),  box(f, 16)->text(), box(f, 25)->text(),
                               box(f, 3)->text(),  box(f, 18)->text(), box(f, 15)->text(),
                               box(f, 22)->text(), box(f, 24)->text()};
    QCOMPARE(shown, (QStringList{"2024117", "01/03/2006", "MT", "SGSIN", "DB", "", "", ""}));
    QCOMPARE(control<QComboBox>(f, QStringLiteral("cmbDestPort"))->currentText(),
             QStringLiteral("SINGAPORE"));
    QCOMPARE(gridOf(f)->rows(), 0);
    key(Qt::Key_Escape);
    QCOMPARE(box(f, 15)->text(), QStringLiteral("5001"));
    QCOMPARE(box(f, 24)->text(), QStringLiteral("12.500"));
}

void TestCargoScreen::deleteContainer_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("left");
    QTest::newRow("stored container") << 2 << QStringList{} << 2;
    QTest::newRow("empty row") << 10 << QStringList{QStringLiteral("Not deleted")} << 3;
}

void TestCargoScreen::deleteContainer()
{
    QFETCH(int, row);
    QFETCH(QStringList, messages);
    QFETCH(int, left);
    addBill(1, 10);
    addContainers(1, 3);
    frmCargo* f = open();
    click(f, QStringLiteral("cmdEdit"));
    box(f, 15)->setText(QStringLiteral("11"));
    f->containerView()->selectCell(row, 2);
    inst_->prompts.answers << Prompts::Yes;
    click(f, QStringLiteral("cmdDeleteC"));
    QCOMPARE(inst_->prompts.messages(),
             QStringList{QStringLiteral("Confirm Deletion ?")} + messages);
    QCOMPARE(count(QStringLiteral("select count(*) from egmcontain")), left);
    QCOMPARE(gridOf(f)->text(left + 1, 2), QString());
    // Saved with the rest of the edit; or, with nothing to delete, the edit
    // goes on with what was typed.
    const bool saved = messages.isEmpty();
    QCOMPARE(editing(f), !saved);
    QCOMPARE(box(f, 15)->text(), QStringLiteral("11"));
    QCOMPARE(count(QStringLiteral("select sbno from egmcargo")), saved ? 11 : 10);
    // The container's removal and the edit saved after it, each in the history.
    QCOMPARE(count(QStringLiteral("select count(*) from billhistory")), saved ? 2 : 0);
}

void TestCargoScreen::searchFindsFirstThenNext()
{
    for (auto [id, sbno] : QList<QPair<int, int>>{{1, 7}, {2, 40}, {3, 8}, {4, 40}, {5, 9}})
        addBill(id, sbno);
    frmCargo* f = open();
    inst_->prompts.inputs << QStringLiteral("40abc");
    inst_->prompts.answers << Prompts::Yes << Prompts::Yes;
    click(f, QStringLiteral("cmdSearch"));
    QCOMPARE(inst_->prompts.messages(),
             (QStringList{"Search Next ?", "Search Next ?", "Could not find Shipping Bill"}));
    QCOMPARE(MastersTesting::status(f), QStringLiteral("Record: 4"));
    inst_->prompts.clear();
    inst_->prompts.inputs << QStringLiteral("41");
    click(f, QStringLiteral("cmdSearch"));
    QCOMPARE(inst_->prompts.messages(), QStringList{"Could not find Shipping Bill"});
    QCOMPARE(MastersTesting::status(f), QStringLiteral("Record: 4"));
    inst_->prompts.clear();
    inst_->prompts.inputs << QString();
    click(f, QStringLiteral("cmdSearch"));
    QVERIFY(inst_->prompts.messages().isEmpty());
}

void TestCargoScreen::searchOnEmptyTable()
{
    frmCargo* f = open();
    inst_->prompts.inputs << QStringLiteral("5");
    click(f, QStringLiteral("cmdSearch"));
    QCOMPARE(inst_->prompts.messages(), QStringList{"Could not find Shipping Bill"});
    QCOMPARE(box(f, 15)->text(), QString());
}

void TestCargoScreen::closingWhileAddingDiscards()
{
    addBill(1, 10);
    frmCargo* f = open();
    click(f, QStringLiteral("cmdEdit"));
    box(f, 15)->setText(QStringLiteral("99"));
    f->close();
    delete f; // the next form takes its place
    click(open(), QStringLiteral("cmdAdd"));
    box(form_, 1)->setText(QStringLiteral("5"));
    form_->close();
    QCOMPARE(count(QStringLiteral("select count(*) from egmcargo")), 1);
    QCOMPARE(count(QStringLiteral("select sbno from egmcargo")), 10);
    QVERIFY(inst_->prompts.messages().isEmpty());
}

void TestCargoScreen::storedValuesSurviveEditAndSave()
{
    // Longer than the boxes take when typed: shown whole, written back as they are.
    conn().exec(QStringLiteral("insert into egmcargo (id, egmno, sbno, sbdt, sbport, destport, "
                               "gateport, naturecargo, pkgs) values (999999, 12345678, 87654321, "
                               "'2006-03-01', 'INIXY1', 'SGSIN', 'INIXY1', 'C', 1234567)"));
    frmCargo* f = open();
    const QStringList shown{box(f, 0)->text(), box(f, 1)->text(), box(f, 15)->text(),
                            box(f, 22)->text()};
    QCOMPARE(shown, (QStringList{"999999", "12345678", "87654321", "1234567"}));
    key(Qt::Key_E, Qt::ControlModifier);
    key(Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!editing(f));
    const auto stored = [] {
        return conn().select(QStringLiteral("select id, egmno, sbno, pkgs from egmcargo order by "
                                            "id"));
    };
    QCOMPARE(stored().rows, (QList<RowValues>{{999999, 12345678.0, 87654321.0, 1234567}}));
    // A new bill takes the seventh digit too, and keeps it through an edit.
    click(f, QStringLiteral("cmdCarry"));
    QCOMPARE(box(f, 1)->text(), QStringLiteral("12345678"));
    fillBill(f, box(f, 1)->text());
    key(Qt::Key_S, Qt::ControlModifier);
    QVERIFY2(inst_->prompts.messages().isEmpty(), qPrintable(inst_->prompts.messages().join('|')));
    QCOMPARE(box(f, 0)->text(), QStringLiteral("1000000"));
    key(Qt::Key_E, Qt::ControlModifier);
    key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(stored().rows.size(), 2);
    QCOMPARE(stored().rows[1], (RowValues{1000000, 12345678.0, 5001.0, 5}));
    // Typing still stops at the box's length.
    key(Qt::Key_E, Qt::ControlModifier);
    box(f, 15)->setFocus();
    box(f, 15)->selectAll();
    type(QStringLiteral("123456789"));
    QCOMPARE(box(f, 15)->text(), QStringLiteral("1234567"));
    key(Qt::Key_Escape);
}

void TestCargoScreen::boxesFollowTheNatureOfTheBillShown()
{
    conn().exec(QStringLiteral("insert into egmcargo (id, egmno, sbno, sbdt, destport, "
                               "naturecargo, volume, unitvol) values (1, 100, 10, '2006-03-01', "
                               "'SGSIN', 'DB', 2.5, 'MT')"));
    addBill(2, 20);
    frmCargo* f = open();
    const auto containerised = [f](bool yes) {
        return box(f, 22)->isEnabled() == yes && box(f, 24)->isEnabled() == !yes &&
               box(f, 25)->isEnabled() == !yes && f->containerView()->isEnabled() == yes;
    };
    QVERIFY(containerised(true));
    click(f, QStringLiteral("cmdPrevious"));
    QVERIFY(containerised(false));
    QCOMPARE(box(f, 24)->text(), QStringLiteral("2.500")); // shown, not emptied
    click(f, QStringLiteral("cmdNext"));
    QVERIFY(containerised(true));
    click(f, QStringLiteral("cmdEdit"));
    QVERIFY(containerised(true));
    QCOMPARE(box(f, 22)->text(), QStringLiteral("5"));
    key(Qt::Key_Escape);
    click(f, QStringLiteral("cmdPrevious"));
    click(f, QStringLiteral("cmdCarry"));
    QVERIFY(containerised(false));
    key(Qt::Key_Escape);
    // Picking a nature switches the boxes at once.
    click(f, QStringLiteral("cmdAdd"));
    control<BoundList>(f, QStringLiteral("cmbNatCargo"))->setStoredValue(QStringLiteral("CP"));
    QVERIFY(containerised(true));
}

void TestCargoScreen::enterAfterUnitGoesOnToUpdate()
{
    frmCargo* f = open();
    click(f, QStringLiteral("cmdAdd"));
    fillBill(f, QStringLiteral("300"), QStringLiteral("P"));
    box(f, 25)->clear();
    box(f, 25)->setFocus();
    // No grid, nothing to delete: three Enters file the bill, none throws it away.
    QVERIFY(!control<QPushButton>(f, QStringLiteral("cmdDeleteC"))->isEnabled());
    enter(QStringLiteral("MT"));
    QCOMPARE(QApplication::focusWidget(), control<QPushButton>(f, QStringLiteral("cmdUpdate")));
    key(Qt::Key_Return);
    QVERIFY(!editing(f));
    QCOMPARE(count(QStringLiteral("select count(*) from egmcargo where egmno = 300 and unitvol = "
                                  "'MT' and volume = 2.5")),
             1);
}

void TestCargoScreen::saveChecksEveryFieldTheNatureNeeds_data()
{
    QTest::addColumn<QString>("nature");
    QTest::addColumn<int>("emptied"); // a box, or -1 for the port list, -2 for the nature list
    QTest::addColumn<QString>("focused");
    QTest::addColumn<QString>("why");
    QTest::newRow("ROT No. only") << "" << -2 << "cmbNatCargo"
                                  << "Nture Cargo: pick the nature of the cargo from the list";
    QTest::newRow("no port") << "C" << -1 << "cmbDestPort"
                             << "Dest. Port: pick the port from the list";
    QTest::newRow("containerised, no Pkgs.") << "CP" << 22 << "txtFields_22"
                                             << "Pkgs.: the number of packages, not 0";
    QTest::newRow("packaged, no Unit") << "DB" << 25 << "txtFields_25"
                                       << "Unit: the unit of the volume";
}

void TestCargoScreen::saveChecksEveryFieldTheNatureNeeds()
{
    QFETCH(QString, nature);
    QFETCH(int, emptied);
    QFETCH(QString, focused);
    QFETCH(QString, why);
    frmCargo* f = open();
    click(f, QStringLiteral("cmdAdd"));
    if (nature.isEmpty()) {
        box(f, 1)->setText(QStringLiteral("700"));
    } else {
        fillBill(f, QStringLiteral("700"), nature);
        if (emptied >= 0)
            box(f, emptied)->clear();
        else
            control<BoundList>(f, emptied == -1 ? QStringLiteral("cmbDestPort")
                                                : QStringLiteral("cmbNatCargo"))
                ->setStoredValue(QString());
    }
    box(f, 1)->setFocus();
    key(Qt::Key_S, Qt::ControlModifier);
    QVERIFY(editing(f));
    QCOMPARE(focusedName(), focused);
    QCOMPARE(statusLine(inst_->prompts), why);
    QCOMPARE(count(QStringLiteral("select count(*) from egmcargo")), 0);
}

void TestCargoScreen::editOfABillDeletedMeanwhileWritesNothing()
{
    addBill(1, 10);
    frmCargo* f = open();
    click(f, QStringLiteral("cmdEdit"));
    gridOf(f)->setText(1, ContainerGrid::ContainerNo, QStringLiteral("MSCU1234565"));
    gridOf(f)->setText(1, ContainerGrid::Status, QStringLiteral("F"));
    conn().exec(QStringLiteral("delete from egmcargo where id = 1")); // another clerk
    click(f, QStringLiteral("cmdUpdate"));
    QCOMPARE(inst_->prompts.messages().size(), 1);
    QVERIFY2(inst_->prompts.messages()[0].contains("deleted by another user"),
             qPrintable(inst_->prompts.messages()[0]));
    QVERIFY(editing(f));
    QCOMPARE(count(QStringLiteral("select count(*) from egmcontain")), 0);
}

void TestCargoScreen::shiftTabGoesBackThroughEveryField()
{
    addBill(1, 10);
    frmCargo* f = open();
    click(f, QStringLiteral("cmdEdit"));
    box(f, 22)->setFocus();
    auto* port = control<BoundList>(f, QStringLiteral("cmbDestPort"));
    key(Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY(port->view()->isVisible()); // opens on arrival
    QCOMPARE(focusedName(), port->objectName());
    // Esc closes it and stays; the edit goes on.
    key(Qt::Key_Escape);
    QTRY_VERIFY(!port->view()->isVisible());
    QCOMPARE(QApplication::focusWidget(), port);
    QVERIFY(editing(f));
    port->showPopup();
    QTRY_VERIFY(port->view()->isVisible());
    // Shift+Tab closes it and goes back, its entry as it was.
    key(Qt::Key_Backtab, Qt::ShiftModifier);
    // (The offscreen platform leaves the closed popup the active window.)
    QTRY_COMPARE(f->focusWidget(), box(f, 16));
    QApplication::setActiveWindow(f);
    QVERIFY(!port->view()->isVisible());
    QCOMPARE(port->storedValue(), QStringLiteral("SGSIN"));
    // Back through the fields, an empty one included.
    box(f, 15)->clear();
    for (const char* name : {"txtFields_15", "cmbNatCargo", "txtFields_1"}) {
        key(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focusedName(), QString::fromLatin1(name));
    }
}

void TestCargoScreen::natureListMatchesAllThatWasTyped()
{
    frmCargo* f = open();
    click(f, QStringLiteral("cmdAdd"));
    auto* nature = control<BoundList>(f, QStringLiteral("cmbNatCargo"));
    nature->setFocus();
    type(QStringLiteral("CONTAINERISED A"));
    QCOMPARE(nature->storedValue(), QStringLiteral("CP"));
    QVERIFY(!nature->view()->isVisible()); // the blank did not open the list
    // In the open list as well, afresh.
    nature->showPopup();
    QTRY_VERIFY(nature->view()->isVisible());
    type(QStringLiteral("dry"));
    key(Qt::Key_Return);
    QTRY_COMPARE(nature->storedValue(), QStringLiteral("DB"));
}

void TestCargoScreen::showBillOpensTheBillAsked()
{
    for (int id : {1, 2, 7})
        addBill(id, 5000 + id);
    frmCargo* f = open();
    QVERIFY(f->showBill(2));
    QCOMPARE(box(f, 15)->text(), QStringLiteral("5002"));
    // A bill that is not stored leaves the one shown; so does typing.
    QVERIFY(!f->showBill(99));
    QCOMPARE(box(f, 15)->text(), QStringLiteral("5002"));
    click(f, QStringLiteral("cmdEdit"));
    box(f, 15)->setText(QStringLiteral("6002"));
    QVERIFY(!f->showBill(7));
    QVERIFY(editing(f));
    QCOMPARE(box(f, 15)->text(), QStringLiteral("6002"));
    QCOMPARE(statusLine(inst_->prompts),
             QStringLiteral("Save or cancel the shipping bill being typed first."));
}

void TestCargoScreen::rotNoFilterWalksOneEgm()
{
    for (int id : {1, 2, 3, 4, 5})
        addBill(id, 5000 + id, QStringLiteral("C"), id % 2 ? 100 : 200);
    frmCargo* f = open();
    key(Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(focusedName(), QStringLiteral("txtRotFilter"));
    enter(QStringLiteral("200"));
    QCOMPARE(box(f, 0)->text(), QStringLiteral("2"));
    QCOMPARE(MastersTesting::status(f), QStringLiteral("Record 1 of 2"));
    click(f, QStringLiteral("cmdNext"));
    QCOMPARE(box(f, 0)->text(), QStringLiteral("4"));
    QCOMPARE(MastersTesting::status(f), QStringLiteral("Record 2 of 2"));
    // Add keeps the filter; the box is not for typing meanwhile.
    click(f, QStringLiteral("cmdCarry"));
    QVERIFY(!control<QLineEdit>(f, QStringLiteral("txtRotFilter"))->isEnabled());
    key(Qt::Key_Escape);
    QCOMPARE(MastersTesting::status(f), QStringLiteral("Record 2 of 2"));
    // Search looks through every bill.
    inst_->prompts.inputs << QStringLiteral("5003");
    click(f, QStringLiteral("cmdSearch"));
    QCOMPARE(box(f, 0)->text(), QStringLiteral("3"));
    QCOMPARE(MastersTesting::status(f), QStringLiteral("Record: 3"));
    QCOMPARE(control<QLineEdit>(f, QStringLiteral("txtRotFilter"))->text(), QString());
    // A bill asked for outside the filter takes it away too.
    control<QLineEdit>(f, QStringLiteral("txtRotFilter"))->setFocus();
    enter(QStringLiteral("100"));
    QVERIFY(f->showBill(2));
    QCOMPARE(box(f, 0)->text(), QStringLiteral("2"));
    QCOMPARE(MastersTesting::status(f), QStringLiteral("Record: 2"));
}

void TestCargoScreen::statusTellsTheLastChangeAndCtrlHListsThemAll()
{
    addBill(1, 10);
    frmCargo* f = open();
    QCOMPARE(statusLine(inst_->prompts), QString()); // no history kept yet
    click(f, QStringLiteral("cmdEdit"));
    box(f, 22)->setText(QStringLiteral("6"));
    click(f, QStringLiteral("cmdUpdate"));
    const QString line = statusLine(inst_->prompts);
    QVERIFY2(line.startsWith(QStringLiteral("Changed by TARVEX on ") +
                             QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"))),
             qPrintable(line));
    click(f, QStringLiteral("cmdEdit"));
    gridOf(f)->setText(1, ContainerGrid::ContainerNo, QStringLiteral("MSKU1234567"));
    gridOf(f)->setText(1, ContainerGrid::Status, QStringLiteral("F"));
    click(f, QStringLiteral("cmdUpdate"));

    key(Qt::Key_H, Qt::ControlModifier);
    auto* history = f->findChild<QDialog*>(QStringLiteral("frmHistory"));
    QVERIFY(history && history->isVisible());
    const auto* table = history->findChild<QTableWidget*>(QStringLiteral("grdHistory"));
    QCOMPARE(table->rowCount(), 2);
    const auto cell = [table](int row, int column) { return table->item(row, column)->text(); };
    QCOMPARE(cell(0, 1), QStringLiteral("TARVEX"));
    QCOMPARE(cell(0, 2), QStringLiteral("changed"));
    QCOMPARE(cell(0, 3), QStringLiteral("Container added: MSKU1234567"));
    QCOMPARE(cell(1, 3), QStringLiteral("Pkgs.: 5 → 6"));
    QTest::keyClick(history->focusWidget() ? history->focusWidget() : history, Qt::Key_Escape);
    QTRY_VERIFY(!f->findChild<QDialog*>(QStringLiteral("frmHistory")));
    QVERIFY(f->isVisible());
}

QTEST_MAIN(TestCargoScreen)
#include "tst_frmcargo.moc"
