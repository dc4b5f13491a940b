// The company master on the system database's company list: the proposed
// code of a new company, Select registering a data source, a rejected
// Update, and where it parts from the user master (no position display,
// no Ctrl+E, no re-read after a delete, Update's message).

#include "MastersTesting.h"
#include "Schema.h"
#include "frmCompany.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

using namespace MastersTesting;

namespace {

void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key(key), mods);
}

} // namespace

class TestCompanyMaster : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void showsCompaniesFromFirstRow();
    void proposesCodeFromLastRow_data();
    void proposesCodeFromLastRow();
    void addThenUpdateWritesCompany();
    void selectShownOnlyWhileAddingOrEditing();
    void selectFillsDataSourceName();
    void cancelledSelectChangesNothing();
    void rejectedUpdateKeepsTypedValues();
    void refusedValueNamesTheCaption_data();
    void refusedValueNamesTheCaption();
    void statusShowsOnlyAddAndEdit();
    void ctrlEDoesNothing();
    void editThenCancelShowsStoredValues();
    void deleteAtEndShowsNewLast();
    void searchFindsCompanyByName();
    void closingWindowDropsPendingChange();

private:
    /// The company list holding these codes, in this order.
    void companies(const QList<int>& codes);
    std::unique_ptr<frmCompany> openForm();
    std::shared_ptr<Database> sys() { return DataSources::openSystem(logonState().SysPath); }

    std::unique_ptr<Installed> inst_;
};

void TestCompanyMaster::init()
{
    inst_ = std::make_unique<Installed>();
    QVERIFY(inst_->ok);
    Installed::logOn(QStringLiteral("TARVEX"), QStringLiteral(" SU"), QStringLiteral(" SU"));
}

void TestCompanyMaster::cleanup()
{
    inst_.reset();
}

void TestCompanyMaster::companies(const QList<int>& codes)
{
    auto db = sys();
    db->exec(QStringLiteral("delete from DRCOMP"));
    QList<RowValues> rows;
    for (int code : codes)
        rows << RowValues{code, QStringLiteral("Company %1").arg(code)};
    db->insertRows(QStringLiteral("DRCOMP"), {QStringLiteral("code"), QStringLiteral("name")},
                   rows);
}

std::unique_ptr<frmCompany> TestCompanyMaster::openForm()
{
    auto form = std::make_unique<frmCompany>();
    if (!showActive(form.get()))
        qWarning("the form did not become active");
    return form;
}

void TestCompanyMaster::showsCompaniesFromFirstRow()
{
    companies({1, 2});
    sys()->exec(QStringLiteral("update DRCOMP set add1 = 'Quay 4', st_date = '2026-04-01', "
                               "dirname = 'DSN=demo.mdb' where code = 1"));
    auto form = openForm();
    QCOMPARE(form->windowTitle(), QStringLiteral("Company Master"));
    QCOMPARE(control<QLabel>(form.get(), QStringLiteral("lblHead"))->text(),
             QStringLiteral("Company Master"));
    QCOMPARE(control<QAbstractButton>(form.get(), QStringLiteral("cmdUpdate"))->text(),
             QStringLiteral("&Update"));
    QCOMPARE(box(form.get(), 0)->text(), QStringLiteral("1"));
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("Company 1"));
    QCOMPARE(box(form.get(), 2)->text(), QStringLiteral("Quay 4"));
    QCOMPARE(box(form.get(), 6)->text(), QStringLiteral("01/04/2026"));
    QCOMPARE(box(form.get(), 7)->text(), QString());
    QCOMPARE(box(form.get(), 8)->text(), QStringLiteral("DSN=demo.mdb"));
    click(form.get(), QStringLiteral("cmdNext"));
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("Company 2"));
    QCOMPARE(control<QLabel>(form.get(), QStringLiteral("lblLabels_6"))->text(),
             QStringLiteral("A/c Period"));
    QVERIFY(inst_->prompts.calls.isEmpty());
}

void TestCompanyMaster::proposesCodeFromLastRow_data()
{
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QString>("proposed");

    QTest::newRow("empty list") << QList<int>{} << "1";
    QTest::newRow("codes 1, 2, 7") << QList<int>{1, 2, 7} << "8";
    // The last row in table order counts, not the highest code.
    QTest::newRow("codes 7, 2") << QList<int>{7, 2} << "3";
    // Wider than the box takes when typed: shown whole, not cut.
    QTest::newRow("code 999999") << QList<int>{999999} << "1000000";
}

void TestCompanyMaster::proposesCodeFromLastRow()
{
    QFETCH(QList<int>, codes);
    QFETCH(QString, proposed);

    companies(codes);
    auto form = openForm();
    if (!codes.isEmpty())
        click(form.get(), QStringLiteral("cmdFirst"));
    press(Qt::Key_A, Qt::ControlModifier);
    QVERIFY(editing(form.get()));
    QCOMPARE(status(form.get()), QStringLiteral("Add record"));
    QCOMPARE(box(form.get(), 0)->text(), proposed);
    QCOMPARE(box(form.get(), 1)->text(), QString());
    QCOMPARE(QApplication::focusWidget(), box(form.get(), 1));
    QVERIFY(inst_->prompts.calls.isEmpty());
}

void TestCompanyMaster::addThenUpdateWritesCompany()
{
    companies({1});
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdAdd"));
    // Typed as a clerk types, Enter after each box.
    for (const char* text :
         {"Sea Lines", "Dock Road", "", "Kochi", "0484 222", "1/4/26", "31/03/2027"}) {
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(text));
        press(Qt::Key_Return);
    }
    QCOMPARE(QApplication::focusWidget(), box(form.get(), 8));
    QTest::keyClicks(box(form.get(), 8), QStringLiteral("DSN=sea.mdb"));
    press(Qt::Key_S, Qt::ControlModifier);

    QVERIFY(inst_->prompts.messages().isEmpty());
    QVERIFY(!editing(form.get()));
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("Sea Lines"));
    // The date as stored, written in full.
    QCOMPARE(box(form.get(), 6)->text(), QStringLiteral("01/04/2026"));
    const RowTable t = sys()->select(
        QStringLiteral("select code, name, add1, add2, add3, telephone, st_date, ed_date, dirname "
                       "from DRCOMP where code = 2"));
    QCOMPARE(t.rows.size(), 1);
    const RowValues& r = t.rows[0];
    QCOMPARE(r[1].toString(), QStringLiteral("Sea Lines"));
    QCOMPARE(r[2].toString(), QStringLiteral("Dock Road"));
    QVERIFY(r[3].isNull());
    QCOMPARE(r[4].toString(), QStringLiteral("Kochi"));
    QCOMPARE(r[5].toString(), QStringLiteral("0484 222"));
    QCOMPARE(r[6].toDate(), QDate(2026, 4, 1));
    QCOMPARE(r[7].toDate(), QDate(2027, 3, 31));
    QCOMPARE(r[8].toString(), QStringLiteral("DSN=sea.mdb"));
}

void TestCompanyMaster::selectShownOnlyWhileAddingOrEditing()
{
    companies({1});
    auto form = openForm();
    QWidget* select = control(form.get(), QStringLiteral("Create"));
    QCOMPARE(control<QAbstractButton>(form.get(), QStringLiteral("Create"))->text(),
             QStringLiteral("Select"));
    QVERIFY(!select->isVisible());
    click(form.get(), QStringLiteral("cmdAdd"));
    QVERIFY(select->isVisible());
    click(form.get(), QStringLiteral("cmdCancel"));
    QVERIFY(!select->isVisible());
    click(form.get(), QStringLiteral("cmdEdit"));
    QVERIFY(select->isVisible());
    click(form.get(), QStringLiteral("cmdUpdate"));
    QVERIFY(!select->isVisible());
    QVERIFY(inst_->prompts.calls.isEmpty());
}

void TestCompanyMaster::selectFillsDataSourceName()
{
    companies({1});
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdEdit"));
    const QString file = inst_->home.file(QStringLiteral("data.mdb"));
    Database::create(file);
    inst_->prompts.files.enqueue(file);
    click(form.get(), QStringLiteral("Create"));

    const QList<ScriptedPrompts::Call>& calls = inst_->prompts.calls;
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].kind, QStringLiteral("openFile"));
    QCOMPARE(calls[0].text, QStringLiteral("Select Data File Name"));
    QCOMPARE(calls[0].initial, QStringLiteral("*.mdb"));
    QCOMPARE(calls[1].text, QStringLiteral("DSN Created Successfully"));
    QCOMPARE(box(form.get(), 8)->text(), QStringLiteral("DSN=data.mdb"));
    QVERIFY(editing(form.get()));
    // The row keeps it only when updated.
    QVERIFY(sys()->scalar(QStringLiteral("select dirname from DRCOMP")).isNull());
    click(form.get(), QStringLiteral("cmdUpdate"));
    QCOMPARE(sys()->scalar(QStringLiteral("select dirname from DRCOMP")).toString(),
             QStringLiteral("DSN=data.mdb"));
    // The new data source opens the chosen database.
    QVERIFY(DataSources::openConnection(QStringLiteral("DSN=data.mdb")));
}

void TestCompanyMaster::cancelledSelectChangesNothing()
{
    companies({1});
    sys()->exec(QStringLiteral("update DRCOMP set dirname = 'DSN=old.mdb'"));
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdEdit"));
    click(form.get(), QStringLiteral("Create"));
    QCOMPARE(inst_->prompts.calls.size(), 1);
    QCOMPARE(inst_->prompts.calls[0].kind, QStringLiteral("openFile"));
    QCOMPARE(box(form.get(), 8)->text(), QStringLiteral("DSN=old.mdb"));
}

void TestCompanyMaster::rejectedUpdateKeepsTypedValues()
{
    companies({1});
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdAdd"));
    QTest::keyClicks(box(form.get(), 1), QStringLiteral("Harbour Co"));
    box(form.get(), 6)->setFocus();
    QTest::keyClicks(box(form.get(), 6), QStringLiteral("31/02/2026"));
    click(form.get(), QStringLiteral("cmdUpdate"));

    // The field named as the screen captions it, without a number.
    QCOMPARE(inst_->prompts.messages(),
             QStringList{"'31/02/2026' is not a date: the field 'A/c Period' takes dates "
                         "(dd/mm/yyyy)."});
    QVERIFY(editing(form.get()));
    QCOMPARE(status(form.get()), QStringLiteral("Add record"));
    QCOMPARE(box(form.get(), 0)->text(), QStringLiteral("2"));
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("Harbour Co"));
    QCOMPARE(box(form.get(), 6)->text(), QStringLiteral("31/02/2026"));
    QCOMPARE(sys()->scalar(QStringLiteral("select count(*) from DRCOMP")).toInt(), 1);

    // Put right, the same row goes in.
    box(form.get(), 6)->selectAll();
    QTest::keyClicks(box(form.get(), 6), QStringLiteral("28/02/2026"));
    click(form.get(), QStringLiteral("cmdUpdate"));
    QCOMPARE(inst_->prompts.messages().size(), 1);
    QVERIFY(!editing(form.get()));
    QCOMPARE(column(*sys(), QStringLiteral("DRCOMP"), QStringLiteral("name")),
             (QStringList{"Company 1", "Harbour Co"}));
    QCOMPARE(sys()
                 ->select(QStringLiteral("select st_date from DRCOMP where code = 2"))
                 .rows.value(0)
                 .value(0)
                 .toDate(),
             QDate(2026, 2, 28));
}

void TestCompanyMaster::refusedValueNamesTheCaption_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("the period's end")
        << 7 << "soon"
        << "'soon' is not a date: the field 'A/c Period' takes dates (dd/mm/yyyy).";
    QTest::newRow("a number") << 0 << "12a"
                              << "'12a' is not a number: the field 'Company Code' takes numbers.";
    QTest::newRow("an address line under the caption's line")
        << 4 << QString(51, u'x')
        << "The value for the field 'Address' is too long: it takes at most 50 characters.";
}

void TestCompanyMaster::refusedValueNamesTheCaption()
{
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    companies({1});
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdEdit"));
    box(form.get(), field)->setFocus();
    box(form.get(), field)->selectAll();
    QTest::keyClicks(box(form.get(), field), typed);
    click(form.get(), QStringLiteral("cmdUpdate"));
    QCOMPARE(inst_->prompts.messages(), QStringList{message});
    QVERIFY(editing(form.get()));
    QCOMPARE(box(form.get(), field)->text(), typed);
}

void TestCompanyMaster::statusShowsOnlyAddAndEdit()
{
    companies({1, 2, 3});
    auto form = openForm();
    QCOMPARE(status(form.get()), QString());
    click(form.get(), QStringLiteral("cmdNext"));
    press(Qt::Key_End);
    QCOMPARE(box(form.get(), 0)->text(), QStringLiteral("3"));
    QCOMPARE(status(form.get()), QString());
    click(form.get(), QStringLiteral("cmdAdd"));
    QCOMPARE(status(form.get()), QStringLiteral("Add record"));
    press(Qt::Key_Escape);
    QVERIFY(!editing(form.get()));
    // Stays until the next Add or Edit.
    QCOMPARE(status(form.get()), QStringLiteral("Add record"));
    click(form.get(), QStringLiteral("cmdPrevious"));
    QCOMPARE(status(form.get()), QStringLiteral("Add record"));
    click(form.get(), QStringLiteral("cmdEdit"));
    QCOMPARE(status(form.get()), QStringLiteral("Edit record"));
}

void TestCompanyMaster::ctrlEDoesNothing()
{
    companies({1});
    auto form = openForm();
    press(Qt::Key_E, Qt::ControlModifier);
    QVERIFY(!editing(form.get()));
    QCOMPARE(status(form.get()), QString());
    QVERIFY(inst_->prompts.calls.isEmpty());
}

void TestCompanyMaster::editThenCancelShowsStoredValues()
{
    companies({1, 2});
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdNext"));
    click(form.get(), QStringLiteral("cmdEdit"));
    QCOMPARE(QApplication::focusWidget(), box(form.get(), 1));
    box(form.get(), 1)->selectAll();
    QTest::keyClicks(box(form.get(), 1), QStringLiteral("Renamed"));
    click(form.get(), QStringLiteral("cmdCancel"));
    QVERIFY(!editing(form.get()));
    QCOMPARE(box(form.get(), 0)->text(), QStringLiteral("2"));
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("Company 2"));
    QCOMPARE(column(*sys(), QStringLiteral("DRCOMP"), QStringLiteral("name")),
             (QStringList{"Company 1", "Company 2"}));
}

void TestCompanyMaster::deleteAtEndShowsNewLast()
{
    companies({1, 2, 3});
    auto form = openForm();
    // Another office adds a company meanwhile: without a re-read it stays unseen.
    sys()->insertRows(QStringLiteral("DRCOMP"), {QStringLiteral("code"), QStringLiteral("name")},
                      {{9, QStringLiteral("Company 9")}});
    press(Qt::Key_End);
    inst_->prompts.answers.enqueue(Prompts::Yes);
    click(form.get(), QStringLiteral("cmdDelete"));
    QCOMPARE(inst_->prompts.messages(), QStringList{QStringLiteral("Confirm Deletion ?")});
    QCOMPARE(box(form.get(), 0)->text(), QStringLiteral("2"));
    click(form.get(), QStringLiteral("cmdNext"));
    QCOMPARE(box(form.get(), 0)->text(), QStringLiteral("2"));
    QCOMPARE(inst_->prompts.beeps(), 1);
    QCOMPARE(column(*sys(), QStringLiteral("DRCOMP"), QStringLiteral("code")),
             (QStringList{"1", "2", "9"}));
}

void TestCompanyMaster::searchFindsCompanyByName()
{
    companies({1, 2});
    sys()->exec(QStringLiteral("update DRCOMP set name = 'Bay Agents' where code = 2"));
    auto form = openForm();
    inst_->prompts.inputs.enqueue(QStringLiteral("bay"));
    click(form.get(), QStringLiteral("cmdSearch"));
    QCOMPARE(inst_->prompts.messages(), QStringList{QStringLiteral("Search Next ?")});
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("Bay Agents"));
}

void TestCompanyMaster::closingWindowDropsPendingChange()
{
    companies({1});
    QMdiArea mdi;
    auto* form = new frmCompany;
    QPointer<QMdiSubWindow> sub = mdi.addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    QVERIFY(showActive(&mdi));
    sub->show();
    click(form, QStringLiteral("cmdEdit"));
    QTest::keyClicks(box(form, 1), QStringLiteral(" Ltd"));
    sub->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(sub.isNull());
    QCOMPARE(column(*sys(), QStringLiteral("DRCOMP"), QStringLiteral("name")),
             QStringList{QStringLiteral("Company 1")});
    QVERIFY(inst_->prompts.calls.isEmpty());
}

QTEST_MAIN(TestCompanyMaster)
#include "tst_frmcompany.moc"
