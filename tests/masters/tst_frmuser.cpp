// The user master driven as a clerk drives it: the record buttons and keys,
// the modes, the position display, the superuser rule, the search and the
// close with a change still pending.

#include "MastersTesting.h"
#include "PasswordHash.h"
#include "frmUser.h"

#include <QCheckBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

using namespace MastersTesting;

namespace {

const QList<User> threeUsers = {
    // Stored out of order: the form lists them by uid.
    {QStringLiteral("bob"), QStringLiteral("bobpw"), QStringLiteral(" 01"), QStringLiteral(" 11")},
    {QStringLiteral("admin"), QStringLiteral("adminpw"), QStringLiteral(" SU"),
     QStringLiteral(" SU")},
    {QStringLiteral("alpha"), QStringLiteral("pw2"), QStringLiteral(" 02"), QStringLiteral(" 12")},
};

/// A user master whose writes meet a connection that is gone.
class LostConnectionUserForm : public frmUser
{
public:
    int tries = 0;

protected:
    void copyFieldsToRow() override
    {
        ++tries;
        throw DbError(DbError::ConnectionFailed, QStringLiteral("Unspecified error"));
    }
};

void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWidget* target = QApplication::focusWidget();
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key(key), mods);
}

QLineEdit* password(const QWidget* form, bool repeat = false)
{
    return control<QLineEdit>(form, repeat ? QStringLiteral("txtPassword2")
                                           : QStringLiteral("txtPassword"));
}

/// Types a new password into both boxes, as a clerk does.
void typePassword(const QWidget* form, const QString& text)
{
    for (bool repeat : {false, true}) {
        password(form, repeat)->setFocus();
        password(form, repeat)->selectAll();
        QTest::keyClicks(password(form, repeat), text);
    }
}

QCheckBox* tick(const QWidget* form, const QString& name)
{
    return control<QCheckBox>(form, name);
}

/// The pwd of each row in stored order: "#" + a password stands for its hash.
void comparePasswords(Database& db, const QStringList& expected)
{
    const QStringList stored = column(db, QStringLiteral("loguser"), QStringLiteral("pwd"));
    QCOMPARE(stored.size(), expected.size());
    for (int i = 0; i < stored.size(); ++i) {
        if (expected[i].startsWith(u'#'))
            QVERIFY2(PasswordHash::isHash(stored[i]) &&
                         PasswordHash::matches(stored[i], expected[i].mid(1)),
                     qPrintable(stored[i]));
        else
            QCOMPARE(stored[i], expected[i]);
    }
}

} // namespace

class TestUserMaster : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // what the form shows
    void superuserSeesEveryUserInUidOrder();
    void rightsStringDecidesSuperuser_data();
    void rightsStringDecidesSuperuser();
    void ordinaryUserMayChangeOnlyOwnPassword();
    void passwordShowsNothingAndBoxesTakeColumnLengths();
    void differingPasswordsAreRefusedAndKept();
    void ticksShowAndStoreTheCodes();
    void untouchedRightsKeepTheirText();
    void ownUserMasterRightsCannotBeTakenAway();

    // moving
    void endsOfSetBeepOnce_data();
    void endsOfSetBeepOnce();
    void keysMoveInBrowseMode_data();
    void keysMoveInBrowseMode();
    void keysFollowRights_data();
    void keysFollowRights();

    // adding, editing, saving, cancelling
    void addOnEmptySetThenCancelLeavesNoRow();
    void noRowToEditOrDelete_data();
    void noRowToEditOrDelete();
    void editThenCancelShowsStoredValues();
    void addThenSaveShowsNewPosition();
    void editThenCtrlSWritesRow();
    void rejectedSaveKeepsTypedValues();
    void escCancelsWhileAddingAndClosesInBrowse();
    void ctrlSInBrowseAndCtrlAWhileAddingDoNothing();
    void enterMovesToNextFieldWithoutLineBreak_data();
    void enterMovesToNextFieldWithoutLineBreak();

    // deleting, re-reading
    void deleteAnsweredNoKeepsRows();
    void deleteAnsweredYes_data();
    void deleteAnsweredYes();
    void refreshShowsRowsAddedElsewhere();

    // search
    void searchWalksThroughMatches();
    void searchForUnknownTextStaysPut();
    void searchTextWithApostrophe();
    void emptySearchChangesNothing_data();
    void emptySearchChangesNothing();

    // closing
    void closingWindowWritesPendingChange_data();
    void closingWindowWritesPendingChange();
    void closingWithLostConnectionStillCloses_data();
    void closingWithLostConnectionStillCloses();

private:
    std::unique_ptr<frmUser> openForm();
    Database& db() { return *logonState().Conn; }

    std::unique_ptr<Installed> inst_;
};

void TestUserMaster::init()
{
    inst_ = std::make_unique<Installed>();
    QVERIFY(inst_->ok);
    Installed::logOn(QStringLiteral("admin"), QStringLiteral(" SU"), QStringLiteral(" SU"));
}

void TestUserMaster::cleanup()
{
    inst_.reset();
}

std::unique_ptr<frmUser> TestUserMaster::openForm()
{
    auto form = std::make_unique<frmUser>();
    if (!showActive(form.get()))
        qWarning("the form did not become active");
    return form;
}

void TestUserMaster::superuserSeesEveryUserInUidOrder()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    QCOMPARE(form->windowTitle(), QStringLiteral("User Master"));
    QCOMPARE(control<QLabel>(form.get(), QStringLiteral("lblHead"))->text(),
             QStringLiteral("User Master"));
    // Opens on the last user.
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("bob"));
    QCOMPARE(status(form.get()), QStringLiteral("Record: 3"));
    QStringList seen;
    click(form.get(), QStringLiteral("cmdFirst"));
    for (int i = 0; i < 3; ++i) {
        seen << box(form.get(), 1)->text();
        click(form.get(), QStringLiteral("cmdNext"));
    }
    QCOMPARE(seen, (QStringList{"admin", "alpha", "bob"}));
    // No password is shown; the rights show as ticks.
    QCOMPARE(password(form.get())->text(), QString());
    QVERIFY(!box(form.get(), 2)->isVisible());
    QVERIFY(tick(form.get(), "chkRecord_01")->isChecked());
    QVERIFY(!tick(form.get(), "chkRecord_02")->isChecked());
    QVERIFY(tick(form.get(), "chkMenu_11")->isChecked());
    QVERIFY(!tick(form.get(), "chkMenu_SU")->isChecked());
    QVERIFY(inst_->prompts.messages().isEmpty());
}

void TestUserMaster::rightsStringDecidesSuperuser_data()
{
    QTest::addColumn<QString>("mrights");
    QTest::addColumn<bool>("superuser");

    QTest::newRow("blank S U") << " SU" << true;
    QTest::newRow("blank S U among codes") << " 08 SU 09" << true;
    QTest::newRow("SU without the blank") << "SU" << false;
    QTest::newRow("menu codes only") << " 08" << false;
    QTest::newRow("lower case") << " su" << false;
}

void TestUserMaster::rightsStringDecidesSuperuser()
{
    QFETCH(QString, mrights);
    QFETCH(bool, superuser);

    inst_->addUsers(threeUsers);
    Installed::logOn(QStringLiteral("alpha"), QStringLiteral(" SU"), mrights);
    auto form = openForm();
    if (superuser) {
        QCOMPARE(status(form.get()), QStringLiteral("Record: 3"));
        QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("bob"));
    } else {
        QCOMPARE(status(form.get()), QStringLiteral("Record: 1"));
        QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("alpha"));
        click(form.get(), QStringLiteral("cmdNext"));
        click(form.get(), QStringLiteral("cmdFirst"));
        QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("alpha"));
    }
    for (const char* name : {"cmdAdd", "cmdDelete", "cmdRefresh", "cmdSearch"})
        QCOMPARE(control(form.get(), QString::fromLatin1(name))->isEnabled(), superuser);
    QVERIFY(control(form.get(), QStringLiteral("cmdEdit"))->isEnabled());
}

void TestUserMaster::ordinaryUserMayChangeOnlyOwnPassword()
{
    inst_->addUsers(threeUsers);
    Installed::logOn(QStringLiteral("alpha"), QStringLiteral(" SU"), QStringLiteral(" 08"));
    auto form = openForm();

    // Add is locked for the keys too.
    press(Qt::Key_A, Qt::ControlModifier);
    QVERIFY(!editing(form.get()));

    press(Qt::Key_E, Qt::ControlModifier);
    QVERIFY(editing(form.get()));
    QCOMPARE(status(form.get()), QStringLiteral("Edit record"));
    box(form.get(), 1)->setFocus();
    QTest::keyClicks(box(form.get(), 1), QStringLiteral("zz"));
    for (QCheckBox* t : form->findChildren<QCheckBox*>())
        QVERIFY(!t->isEnabled());
    typePassword(form.get(), QStringLiteral("newpw"));
    click(form.get(), QStringLiteral("cmdUpdate"));

    QVERIFY(inst_->prompts.messages().isEmpty());
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("uid")),
             (QStringList{"bob", "admin", "alpha"}));
    comparePasswords(db(), {"bobpw", "adminpw", "#newpw"});
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("urights")),
             (QStringList{" 01", " SU", " 02"}));
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("mrights")),
             (QStringList{" 11", " SU", " 12"}));
    for (int i : {0, 1, 2, 3})
        QVERIFY(box(form.get(), i)->isReadOnly());
    QVERIFY(password(form.get())->isReadOnly());
}

void TestUserMaster::passwordShowsNothingAndBoxesTakeColumnLengths()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    QCOMPARE(password(form.get())->displayText(), QString());
    QVERIFY(password(form.get())->isReadOnly());
    click(form.get(), QStringLiteral("cmdEdit"));
    password(form.get())->setFocus();
    QTest::keyClicks(password(form.get()), QStringLiteral("abcde"));
    QCOMPARE(password(form.get())->displayText(), QStringLiteral("#####"));
    QCOMPARE(box(form.get(), 1)->maxLength(), 50);
    QCOMPARE(box(form.get(), 2)->maxLength(), 128);
    QCOMPARE(control<QLabel>(form.get(), QStringLiteral("lblLabels_1"))->text(),
             QStringLiteral("User Name"));
    QCOMPARE(control<QLabel>(form.get(), QStringLiteral("lblModuleRights"))->text(),
             QStringLiteral("Module Rights"));
    QCOMPARE(control<QLabel>(form.get(), QStringLiteral("lblUserRights"))->text(),
             QStringLiteral("User Rights"));
}

void TestUserMaster::differingPasswordsAreRefusedAndKept()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdEdit"));
    password(form.get())->setFocus();
    QTest::keyClicks(password(form.get()), QStringLiteral("harbour"));
    password(form.get(), true)->setFocus();
    QTest::keyClicks(password(form.get(), true), QStringLiteral("harbor"));
    click(form.get(), QStringLiteral("cmdUpdate"));
    QCOMPARE(inst_->prompts.messages(),
             QStringList{"The two passwords differ: type the new password in both boxes, the "
                         "same both times."});
    QVERIFY(editing(form.get()));
    QCOMPARE(password(form.get())->text(), QStringLiteral("harbour"));
    QCOMPARE(password(form.get(), true)->text(), QStringLiteral("harbor"));
    QCOMPARE(QApplication::focusWidget(), password(form.get(), true));
    comparePasswords(db(), {"bobpw", "adminpw", "pw2"});
    // Put right, it is saved; an empty box later keeps it.
    password(form.get(), true)->selectAll();
    QTest::keyClicks(password(form.get(), true), QStringLiteral("harbour"));
    click(form.get(), QStringLiteral("cmdUpdate"));
    QVERIFY(!editing(form.get()));
    comparePasswords(db(), {"#harbour", "adminpw", "pw2"});
    click(form.get(), QStringLiteral("cmdEdit"));
    click(form.get(), QStringLiteral("cmdUpdate"));
    comparePasswords(db(), {"#harbour", "adminpw", "pw2"});
}

void TestUserMaster::ticksShowAndStoreTheCodes()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();                                  // on bob: " 01", " 11"
    QVERIFY(!tick(form.get(), "chkRecord_02")->isEnabled()); // browsing
    click(form.get(), QStringLiteral("cmdEdit"));
    QTest::mouseClick(tick(form.get(), "chkRecord_03"), Qt::LeftButton);
    QTest::mouseClick(tick(form.get(), "chkMenu_03"), Qt::LeftButton);
    QTest::mouseClick(tick(form.get(), "chkMenu_11"), Qt::LeftButton);
    QTest::mouseClick(tick(form.get(), "chkMenu_12"), Qt::LeftButton);
    click(form.get(), QStringLiteral("cmdUpdate"));
    QVERIFY(inst_->prompts.messages().isEmpty());
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("urights")),
             (QStringList{" 01 03", " SU", " 02"}));
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("mrights")),
             (QStringList{"03 12", " SU", " 12"}));
    // Everything: " SU", the other ticks covered by it.
    click(form.get(), QStringLiteral("cmdEdit"));
    QTest::mouseClick(tick(form.get(), "chkMenu_SU"), Qt::LeftButton);
    QVERIFY(!tick(form.get(), "chkMenu_03")->isEnabled());
    click(form.get(), QStringLiteral("cmdUpdate"));
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("mrights")),
             (QStringList{" SU", " SU", " 12"}));
}

void TestUserMaster::untouchedRightsKeepTheirText()
{
    inst_->addUsers({{QStringLiteral("carl"), QStringLiteral("pw"), QStringLiteral("01 02 05"),
                      QStringLiteral("0312")}});
    auto form = openForm();
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("carl"));
    // Read as the buttons and menus read it: "01" without its blank opens nothing.
    QVERIFY(!tick(form.get(), "chkRecord_01")->isChecked());
    QVERIFY(tick(form.get(), "chkMenu_03")->isChecked());
    QVERIFY(tick(form.get(), "chkMenu_12")->isChecked());
    click(form.get(), QStringLiteral("cmdEdit"));
    // A tick set and cleared again changes nothing either.
    QTest::mouseClick(tick(form.get(), "chkMenu_07"), Qt::LeftButton);
    QTest::mouseClick(tick(form.get(), "chkMenu_07"), Qt::LeftButton);
    typePassword(form.get(), QStringLiteral("fresh"));
    click(form.get(), QStringLiteral("cmdUpdate"));
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("urights")).last(),
             QStringLiteral("01 02 05"));
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("mrights")).last(),
             QStringLiteral("0312"));
}

void TestUserMaster::ownUserMasterRightsCannotBeTakenAway()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdFirst")); // admin, the user logged on
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("admin"));
    click(form.get(), QStringLiteral("cmdEdit"));
    QVERIFY(tick(form.get(), "chkMenu_SU")->isChecked());
    QVERIFY(!tick(form.get(), "chkMenu_SU")->isEnabled());
    QVERIFY(!tick(form.get(), "chkRecord_SU")->isEnabled());
    QVERIFY(tick(form.get(), "chkMenu_SU")->toolTip().contains("User Master"));
    click(form.get(), QStringLiteral("cmdCancel"));
    // Another user's are the supervisor's to change.
    click(form.get(), QStringLiteral("cmdNext"));
    click(form.get(), QStringLiteral("cmdEdit"));
    QVERIFY(tick(form.get(), "chkMenu_SU")->isEnabled());
}

void TestUserMaster::endsOfSetBeepOnce_data()
{
    QTest::addColumn<bool>("withRows");
    QTest::addColumn<QString>("start");  // button pressed first
    QTest::addColumn<QString>("button"); // then this button ...
    QTest::addColumn<int>("key");        // ... or this key (0: the button)
    QTest::addColumn<QString>("uid");
    QTest::addColumn<QString>("position");
    QTest::addColumn<int>("beeps");

    QTest::newRow("next on the last row") << true << "cmdLast"
                                          << "cmdNext" << 0 << "bob"
                                          << "Record: 3" << 1;
    QTest::newRow("previous on the first row") << true << "cmdFirst"
                                               << "cmdPrevious" << 0 << "admin"
                                               << "Record: 1" << 1;
    QTest::newRow("Down on the last row") << true << "cmdLast"
                                          << "" << int(Qt::Key_Down) << "bob"
                                          << "Record: 3" << 1;
    QTest::newRow("Page Up on the first row") << true << "cmdFirst"
                                              << "" << int(Qt::Key_PageUp) << "admin"
                                              << "Record: 1" << 1;
    QTest::newRow("next on an empty set") << false << "cmdFirst"
                                          << "cmdNext" << 0 << ""
                                          << "" << 0;
    QTest::newRow("previous on an empty set") << false << "cmdLast"
                                              << "cmdPrevious" << 0 << ""
                                              << "" << 0;
}

void TestUserMaster::endsOfSetBeepOnce()
{
    QFETCH(bool, withRows);
    QFETCH(QString, start);
    QFETCH(QString, button);
    QFETCH(int, key);
    QFETCH(QString, uid);
    QFETCH(QString, position);
    QFETCH(int, beeps);

    inst_->addUsers(withRows ? threeUsers : QList<User>{});
    auto form = openForm();
    click(form.get(), start);
    inst_->prompts.clear();
    if (key)
        press(key);
    else
        click(form.get(), button);
    QCOMPARE(inst_->prompts.beeps(), beeps);
    QVERIFY(inst_->prompts.messages().isEmpty());
    QCOMPARE(box(form.get(), 1)->text(), uid);
    QCOMPARE(status(form.get()), position);
}

void TestUserMaster::keysMoveInBrowseMode_data()
{
    QTest::addColumn<int>("from"); // position before the key
    QTest::addColumn<bool>("inBox");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<QString>("uid");
    QTest::addColumn<QString>("position");

    const int none = Qt::NoModifier;
    const int ctrl = Qt::ControlModifier;
    const int shift = Qt::ShiftModifier;
    QTest::newRow("Home") << 3 << true << int(Qt::Key_Home) << none << "admin"
                          << "Record: 1";
    QTest::newRow("Home on a button") << 3 << false << int(Qt::Key_Home) << none << "admin"
                                      << "Record: 1";
    QTest::newRow("keypad Home") << 3 << true << int(Qt::Key_Home) << int(Qt::KeypadModifier)
                                 << "admin"
                                 << "Record: 1";
    QTest::newRow("End") << 1 << true << int(Qt::Key_End) << none << "bob"
                         << "Record: 3";
    QTest::newRow("Up") << 2 << true << int(Qt::Key_Up) << none << "admin"
                        << "Record: 1";
    QTest::newRow("Page Up") << 2 << false << int(Qt::Key_PageUp) << none << "admin"
                             << "Record: 1";
    QTest::newRow("Ctrl+Up") << 3 << true << int(Qt::Key_Up) << ctrl << "admin"
                             << "Record: 1";
    QTest::newRow("Ctrl+Page Up") << 3 << true << int(Qt::Key_PageUp) << ctrl << "admin"
                                  << "Record: 1";
    QTest::newRow("Down") << 2 << true << int(Qt::Key_Down) << none << "bob"
                          << "Record: 3";
    QTest::newRow("Page Down") << 1 << false << int(Qt::Key_PageDown) << none << "alpha"
                               << "Record: 2";
    QTest::newRow("Ctrl+Down") << 1 << true << int(Qt::Key_Down) << ctrl << "bob"
                               << "Record: 3";
    QTest::newRow("Ctrl+Page Down") << 1 << true << int(Qt::Key_PageDown) << ctrl << "bob"
                                    << "Record: 3";
    // Ctrl counts only alone among the shift keys.
    QTest::newRow("Shift+Up") << 3 << true << int(Qt::Key_Up) << shift << "alpha"
                              << "Record: 2";
    QTest::newRow("Ctrl+Shift+Down") << 1 << true << int(Qt::Key_Down) << (ctrl | shift) << "alpha"
                                     << "Record: 2";
    QTest::newRow("Ctrl+Shift+Up") << 3 << true << int(Qt::Key_Up) << (ctrl | shift) << "alpha"
                                   << "Record: 2";
}

void TestUserMaster::keysMoveInBrowseMode()
{
    QFETCH(int, from);
    QFETCH(bool, inBox);
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(QString, uid);
    QFETCH(QString, position);

    inst_->addUsers(threeUsers);
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdFirst"));
    for (int i = 1; i < from; ++i)
        click(form.get(), QStringLiteral("cmdNext"));
    QCOMPARE(status(form.get()), QStringLiteral("Record: %1").arg(from));
    if (inBox)
        box(form.get(), 1)->setFocus();
    else
        control(form.get(), QStringLiteral("cmdAdd"))->setFocus();
    press(key, Qt::KeyboardModifiers(mods));
    QCOMPARE(box(form.get(), 1)->text(), uid);
    QCOMPARE(status(form.get()), position);
    QCOMPARE(inst_->prompts.beeps(), 0);
}

void TestUserMaster::keysFollowRights_data()
{
    QTest::addColumn<QString>("urights");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("expectedStatus");

    QTest::newRow("Ctrl+A with every right") << " SU" << int(Qt::Key_A) << "Add record";
    QTest::newRow("Ctrl+E with every right") << " SU" << int(Qt::Key_E) << "Edit record";
    QTest::newRow("Ctrl+A with add") << " 01" << int(Qt::Key_A) << "Add record";
    QTest::newRow("Ctrl+E with edit") << " 03 02" << int(Qt::Key_E) << "Edit record";
    QTest::newRow("Ctrl+A without add") << " 02 03" << int(Qt::Key_A) << "Record: 3";
    QTest::newRow("Ctrl+E with add and delete only") << " 01 03" << int(Qt::Key_E) << "Record: 3";
    QTest::newRow("Ctrl+A with 01 but no blank") << "01" << int(Qt::Key_A) << "Record: 3";
}

void TestUserMaster::keysFollowRights()
{
    QFETCH(QString, urights);
    QFETCH(int, key);
    QFETCH(QString, expectedStatus);

    inst_->addUsers(threeUsers);
    Installed::logOn(QStringLiteral("admin"), urights, QStringLiteral(" SU"));
    auto form = openForm();
    const bool acts = !expectedStatus.startsWith(QLatin1String("Record"));
    const QString button = key == Qt::Key_A ? QStringLiteral("cmdAdd") : QStringLiteral("cmdEdit");
    QCOMPARE(control(form.get(), button)->isEnabled(), acts);
    press(key, Qt::ControlModifier);
    QCOMPARE(status(form.get()), expectedStatus);
    QCOMPARE(editing(form.get()), acts);
    if (acts)
        QCOMPARE(QApplication::focusWidget(), box(form.get(), 1));
}

void TestUserMaster::addOnEmptySetThenCancelLeavesNoRow()
{
    inst_->addUsers({});
    auto form = openForm();
    QCOMPARE(status(form.get()), QString());
    QCOMPARE(QApplication::focusWidget(), control(form.get(), QStringLiteral("cmdAdd")));

    click(form.get(), QStringLiteral("cmdAdd"));
    QVERIFY(editing(form.get()));
    QCOMPARE(status(form.get()), QStringLiteral("Add record"));
    QCOMPARE(QApplication::focusWidget(), box(form.get(), 1));
    for (const char* name : {"cmdEdit", "cmdDelete", "cmdClose", "cmdRefresh", "cmdSearch"})
        QVERIFY2(control(form.get(), QString::fromLatin1(name))->isHidden(), name);
    for (const char* name : {"cmdExit", "cmdFirst", "cmdPrevious", "cmdNext", "cmdLast"})
        QVERIFY2(!control(form.get(), QString::fromLatin1(name))->isEnabled(), name);
    for (int i : {0, 1, 2, 3})
        QVERIFY(!box(form.get(), i)->isReadOnly());
    QTest::keyClicks(box(form.get(), 1), QStringLiteral("ghost"));

    click(form.get(), QStringLiteral("cmdCancel"));
    QVERIFY(!editing(form.get()));
    QCOMPARE(box(form.get(), 1)->text(), QString());
    QCOMPARE(status(form.get()), QString());
    QVERIFY(box(form.get(), 1)->isReadOnly());
    QCOMPARE(QApplication::focusWidget(), control(form.get(), QStringLiteral("cmdAdd")));
    QCOMPARE(db().scalar(QStringLiteral("select count(*) from loguser")).toInt(), 0);
    QVERIFY(inst_->prompts.calls.isEmpty());
}

void TestUserMaster::noRowToEditOrDelete_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("shown");

    const QString noRow = QStringLiteral(
        "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
        "requires a current record.");
    QTest::newRow("Edit") << "cmdEdit" << QStringList{noRow};
    QTest::newRow("Delete") << "cmdDelete" << QStringList{"Confirm Deletion ?", noRow};
}

void TestUserMaster::noRowToEditOrDelete()
{
    QFETCH(QString, button);
    QFETCH(QStringList, shown);

    inst_->addUsers({});
    auto form = openForm();
    inst_->prompts.answers.enqueue(Prompts::Yes);
    click(form.get(), button);
    QCOMPARE(inst_->prompts.messages(), shown);
    QVERIFY(!editing(form.get()));
    QCOMPARE(status(form.get()), QString());
    QVERIFY(box(form.get(), 1)->isReadOnly());
}

void TestUserMaster::editThenCancelShowsStoredValues()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdFirst"));
    click(form.get(), QStringLiteral("cmdNext"));
    click(form.get(), QStringLiteral("cmdEdit"));
    QCOMPARE(status(form.get()), QStringLiteral("Edit record"));
    QCOMPARE(QApplication::focusWidget(), box(form.get(), 1));
    box(form.get(), 1)->selectAll();
    QTest::keyClicks(box(form.get(), 1), QStringLiteral("zed"));
    typePassword(form.get(), QStringLiteral("more"));

    click(form.get(), QStringLiteral("cmdCancel"));
    QVERIFY(!editing(form.get()));
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("alpha"));
    QCOMPARE(password(form.get())->text(), QString());
    QCOMPARE(status(form.get()), QStringLiteral("Record: 2"));
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("uid")),
             (QStringList{"bob", "admin", "alpha"}));
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("pwd")),
             (QStringList{"bobpw", "adminpw", "pw2"}));
}

void TestUserMaster::addThenSaveShowsNewPosition()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdFirst"));
    click(form.get(), QStringLiteral("cmdAdd"));
    QCOMPARE(box(form.get(), 1)->text(), QString());
    QCOMPARE(password(form.get())->text(), QString());
    // Typed the way a clerk types: Enter takes the cursor to the next box,
    // Space ticks a right.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("carol"));
    press(Qt::Key_Return);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("secret"));
    press(Qt::Key_Return);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("secret"));
    press(Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), tick(form.get(), "chkRecord_SU"));
    press(Qt::Key_Return);
    press(Qt::Key_Space); // Add
    press(Qt::Key_Return);
    press(Qt::Key_Space); // Edit
    tick(form.get(), "chkMenu_08")->setFocus();
    press(Qt::Key_Space);
    click(form.get(), QStringLiteral("cmdUpdate"));

    QVERIFY(inst_->prompts.messages().isEmpty());
    QVERIFY(!editing(form.get()));
    QCOMPARE(status(form.get()), QStringLiteral("Record: 4"));
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("carol"));
    QCOMPARE(QApplication::focusWidget(), control(form.get(), QStringLiteral("cmdAdd")));
    const RowTable t = db().select(
        QStringLiteral("select uid, urights, mrights, pwd from loguser where uid = 'carol'"));
    QCOMPARE(t.rows.size(), 1);
    QCOMPARE(t.rows[0].mid(0, 3), (RowValues{"carol", " 01 02", "08"}));
    QVERIFY(PasswordHash::matches(t.rows[0][3].toString(), QStringLiteral("secret")));
    // The new row stands last: Previous goes to the row before it.
    click(form.get(), QStringLiteral("cmdPrevious"));
    QCOMPARE(status(form.get()), QStringLiteral("Record: 3"));
}

void TestUserMaster::editThenCtrlSWritesRow()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    press(Qt::Key_E, Qt::ControlModifier);
    typePassword(form.get(), QStringLiteral("changed"));
    press(Qt::Key_S, Qt::ControlModifier);

    QVERIFY(!editing(form.get()));
    QCOMPARE(status(form.get()), QStringLiteral("Record: 3"));
    comparePasswords(db(), {"#changed", "adminpw", "pw2"});
    QCOMPARE(db().scalar(QStringLiteral("select count(*) from loguser")).toInt(), 3);
}

void TestUserMaster::rejectedSaveKeepsTypedValues()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdEdit"));
    typePassword(form.get(), QStringLiteral("typed"));
    // Another clerk removes the row meanwhile.
    db().exec(QStringLiteral("delete from loguser where uid = 'bob'"));
    click(form.get(), QStringLiteral("cmdUpdate"));

    const QStringList shown = inst_->prompts.messages();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(
        shown[0].startsWith(QString::number(DbError::RowNotFound) + QStringLiteral("  ")) &&
            !shown[0].startsWith(QString::number(DbError::RowNotFound) + QStringLiteral("   ")),
        qPrintable(shown[0]));
    QVERIFY(editing(form.get()));
    QCOMPARE(status(form.get()), QStringLiteral("Edit record"));
    QCOMPARE(password(form.get())->text(), QStringLiteral("typed"));
    QCOMPARE(password(form.get(), true)->text(), QStringLiteral("typed"));

    click(form.get(), QStringLiteral("cmdCancel"));
    QVERIFY(!editing(form.get()));
}

void TestUserMaster::escCancelsWhileAddingAndClosesInBrowse()
{
    inst_->addUsers(threeUsers);
    QMdiArea mdi;
    auto* form = new frmUser;
    QPointer<QMdiSubWindow> sub = mdi.addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    QVERIFY(showActive(&mdi));
    sub->show();
    mdi.setActiveSubWindow(sub);

    press(Qt::Key_A, Qt::ControlModifier);
    QVERIFY(editing(form));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("dave"));
    press(Qt::Key_Escape);
    QVERIFY(!sub.isNull() && sub->isVisible());
    QVERIFY(!editing(form));
    QCOMPARE(box(form, 1)->text(), QStringLiteral("bob"));
    QCOMPARE(status(form), QStringLiteral("Record: 3"));
    QCOMPARE(db().scalar(QStringLiteral("select count(*) from loguser")).toInt(), 3);

    press(Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(sub.isNull());
    QVERIFY(mdi.subWindowList().isEmpty());
    QCOMPARE(db().scalar(QStringLiteral("select count(*) from loguser")).toInt(), 3);
}

void TestUserMaster::ctrlSInBrowseAndCtrlAWhileAddingDoNothing()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    press(Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!editing(form.get()));
    QCOMPARE(status(form.get()), QStringLiteral("Record: 3"));
    QVERIFY(inst_->prompts.calls.isEmpty());

    click(form.get(), QStringLiteral("cmdAdd"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("dave"));
    press(Qt::Key_A, Qt::ControlModifier);
    QVERIFY(editing(form.get()));
    QCOMPARE(status(form.get()), QStringLiteral("Add record"));
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("dave"));
    click(form.get(), QStringLiteral("cmdUpdate"));
    // One new row, not two.
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("uid")),
             (QStringList{"bob", "admin", "alpha", "dave"}));
}

void TestUserMaster::enterMovesToNextFieldWithoutLineBreak_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("adding");

    QTest::newRow("Enter while adding") << int(Qt::Key_Return) << true;
    QTest::newRow("keypad Enter while adding") << int(Qt::Key_Enter) << true;
    QTest::newRow("Enter in browse mode") << int(Qt::Key_Return) << false;
}

void TestUserMaster::enterMovesToNextFieldWithoutLineBreak()
{
    QFETCH(int, key);
    QFETCH(bool, adding);

    inst_->addUsers(threeUsers);
    auto form = openForm();
    if (adding)
        click(form.get(), QStringLiteral("cmdAdd"));
    box(form.get(), 1)->setFocus();
    const QString before = box(form.get(), 1)->text();
    if (adding)
        QTest::keyClicks(box(form.get(), 1), QStringLiteral("x"));
    // The boxes in the order they stand on the screen, then (while they can
    // be ticked) the rights.
    QList<QWidget*> order{password(form.get()), password(form.get(), true)};
    if (adding)
        for (const char* code :
             {"chkRecord_SU", "chkRecord_01", "chkRecord_02", "chkRecord_03", "chkRecord_04",
              "chkRecord_05", "chkMenu_SU",   "chkMenu_00",   "chkMenu_03",   "chkMenu_07",
              "chkMenu_08",   "chkMenu_09",   "chkMenu_10",   "chkMenu_15",   "chkMenu_16",
              "chkMenu_17",   "chkMenu_11",   "chkMenu_12",   "chkMenu_13",   "chkMenu_14"})
            order << tick(form.get(), QString::fromLatin1(code));
    for (QWidget* next : order) {
        press(key);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QCOMPARE(box(form.get(), 1)->text(), adding ? QStringLiteral("x") : before);
    press(key);
    // From the last box on to the first button that can be pressed.
    QCOMPARE(QApplication::focusWidget(), control(form.get(), adding ? QStringLiteral("cmdUpdate")
                                                                     : QStringLiteral("cmdFirst")));
    QCOMPARE(inst_->prompts.beeps(), 0);
    QCOMPARE(editing(form.get()), adding);
}

void TestUserMaster::deleteAnsweredNoKeepsRows()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdFirst"));
    click(form.get(), QStringLiteral("cmdNext"));
    click(form.get(), QStringLiteral("cmdDelete"));

    QCOMPARE(inst_->prompts.calls.size(), 1);
    const ScriptedPrompts::Call& asked = inst_->prompts.calls[0];
    QCOMPARE(asked.text, QStringLiteral("Confirm Deletion ?"));
    QCOMPARE(asked.title, QStringLiteral("Delete"));
    QCOMPARE(asked.buttons, Prompts::Buttons::YesNo);
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("alpha"));
    QCOMPARE(status(form.get()), QStringLiteral("Record: 2"));
    QCOMPARE(db().scalar(QStringLiteral("select count(*) from loguser")).toInt(), 3);
}

void TestUserMaster::deleteAnsweredYes_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("uid");
    QTest::addColumn<QString>("position");
    QTest::addColumn<QStringList>("left");

    QTest::newRow("a middle row shows the next") << 2 << "bob"
                                                 << "Record: 2" << QStringList{"bob", "admin"};
    QTest::newRow("the last row shows the new last")
        << 3 << "alpha"
        << "Record: 2" << QStringList{"admin", "alpha"};
}

void TestUserMaster::deleteAnsweredYes()
{
    QFETCH(int, from);
    QFETCH(QString, uid);
    QFETCH(QString, position);
    QFETCH(QStringList, left);

    inst_->addUsers(threeUsers);
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdFirst"));
    for (int i = 1; i < from; ++i)
        click(form.get(), QStringLiteral("cmdNext"));
    inst_->prompts.answers.enqueue(Prompts::Yes);
    click(form.get(), QStringLiteral("cmdDelete"));
    QCOMPARE(inst_->prompts.messages(), QStringList{QStringLiteral("Confirm Deletion ?")});
    QCOMPARE(box(form.get(), 1)->text(), uid);
    QCOMPARE(status(form.get()), position);
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("uid")), left);
}

void TestUserMaster::refreshShowsRowsAddedElsewhere()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    inst_->addUsers({{QStringLiteral("zoe"), QStringLiteral("z"), QString(), QString()}});
    click(form.get(), QStringLiteral("cmdLast"));
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("bob"));
    click(form.get(), QStringLiteral("cmdRefresh"));
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("admin"));
    QCOMPARE(status(form.get()), QStringLiteral("Record: 1"));
    press(Qt::Key_End);
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("zoe"));
    QCOMPARE(status(form.get()), QStringLiteral("Record: 4"));
}

void TestUserMaster::searchWalksThroughMatches()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    inst_->prompts.inputs.enqueue(QStringLiteral("a"));
    inst_->prompts.answers << Prompts::Yes << Prompts::Yes;
    click(form.get(), QStringLiteral("cmdSearch"));

    const QList<ScriptedPrompts::Call>& calls = inst_->prompts.calls;
    QCOMPARE(calls.size(), 4);
    QCOMPARE(calls[0].kind, QStringLiteral("input"));
    QCOMPARE(calls[0].text, QStringLiteral("Item Name to search ?"));
    QCOMPARE(calls[0].filter, QString()); // no default text
    QCOMPARE(calls[1].text, QStringLiteral("Search Next ?"));
    QCOMPARE(calls[1].buttons, Prompts::Buttons::YesNo);
    QCOMPARE(calls[2].text, QStringLiteral("Search Next ?"));
    QCOMPARE(calls[3].text, QStringLiteral("Could not find Item"));
    QCOMPARE(calls[3].buttons, Prompts::Buttons::Ok);
    // Back on the last match.
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("alpha"));
    QCOMPARE(status(form.get()), QStringLiteral("Record: 2"));

    // No after the first match stays on it.
    inst_->prompts.clear();
    inst_->prompts.inputs.enqueue(QStringLiteral("A"));
    click(form.get(), QStringLiteral("cmdSearch"));
    QCOMPARE(inst_->prompts.messages(), QStringList{QStringLiteral("Search Next ?")});
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("admin"));
    QCOMPARE(status(form.get()), QStringLiteral("Record: 1"));
}

void TestUserMaster::searchForUnknownTextStaysPut()
{
    inst_->addUsers(threeUsers);
    auto form = openForm();
    click(form.get(), QStringLiteral("cmdFirst"));
    click(form.get(), QStringLiteral("cmdNext"));
    inst_->prompts.inputs.enqueue(QStringLiteral("zz"));
    click(form.get(), QStringLiteral("cmdSearch"));
    QCOMPARE(inst_->prompts.messages(), QStringList{QStringLiteral("Could not find Item")});
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("alpha"));
    QCOMPARE(status(form.get()), QStringLiteral("Record: 2"));
}

void TestUserMaster::searchTextWithApostrophe()
{
    inst_->addUsers({{QStringLiteral("oscar"), {}, {}, {}},
                     {QStringLiteral("o'neil"), {}, {}, {}},
                     {QStringLiteral("admin"), {}, {}, {}},
                     {QStringLiteral("o'brien"), {}, {}, {}}});
    auto form = openForm();
    inst_->prompts.inputs.enqueue(QStringLiteral("o'"));
    inst_->prompts.answers << Prompts::Yes << Prompts::Yes;
    click(form.get(), QStringLiteral("cmdSearch"));
    QCOMPARE(inst_->prompts.messages(),
             (QStringList{"Search Next ?", "Search Next ?", "Could not find Item"}));
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("o'neil"));
}

void TestUserMaster::emptySearchChangesNothing_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("empty answer") << false;
    QTest::newRow("cancelled prompt") << true;
}

void TestUserMaster::emptySearchChangesNothing()
{
    QFETCH(bool, cancelled);
    inst_->addUsers(threeUsers);
    auto form = openForm();
    inst_->prompts.inputs.enqueue(cancelled ? std::nullopt : std::optional<QString>(QString()));
    click(form.get(), QStringLiteral("cmdSearch"));
    QCOMPARE(inst_->prompts.calls.size(), 1);
    QCOMPARE(box(form.get(), 1)->text(), QStringLiteral("bob"));
    QCOMPARE(status(form.get()), QStringLiteral("Record: 3"));
}

void TestUserMaster::closingWindowWritesPendingChange_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("uids");
    QTest::addColumn<QStringList>("pwds");

    QTest::newRow("edited password") << false << "fresh" << QStringList{"bob", "admin", "alpha"}
                                     << QStringList{"#fresh", "adminpw", "pw2"};
    QTest::newRow("typed new user") << true << "fresh" << QStringList{"bob", "admin", "alpha", ""}
                                    << QStringList{"bobpw", "adminpw", "pw2", "#fresh"};
    QTest::newRow("new user with nothing typed")
        << true << "" << QStringList{"bob", "admin", "alpha"}
        << QStringList{"bobpw", "adminpw", "pw2"};
}

void TestUserMaster::closingWindowWritesPendingChange()
{
    QFETCH(bool, adding);
    QFETCH(QString, typed);
    QFETCH(QStringList, uids);
    QFETCH(QStringList, pwds);

    inst_->addUsers(threeUsers);
    QMdiArea mdi;
    auto* form = new frmUser;
    QPointer<QMdiSubWindow> sub = mdi.addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    QVERIFY(showActive(&mdi));
    sub->show();
    click(form, adding ? QStringLiteral("cmdAdd") : QStringLiteral("cmdEdit"));
    typePassword(form, typed);
    sub->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(sub.isNull());
    QCOMPARE(column(db(), QStringLiteral("loguser"), QStringLiteral("uid")), uids);
    comparePasswords(db(), pwds);
    QVERIFY(inst_->prompts.messages().isEmpty());
}

void TestUserMaster::closingWithLostConnectionStillCloses_data()
{
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("tries");
    QTest::addColumn<int>("questions");

    QTest::newRow("No at the first question") << QList<int>{} << 22 << 1;
    QTest::newRow("Yes, then No") << QList<int>{Prompts::Yes, Prompts::No} << 23 << 2;
}

void TestUserMaster::closingWithLostConnectionStillCloses()
{
    QFETCH(QList<int>, answers);
    QFETCH(int, tries);
    QFETCH(int, questions);

    inst_->addUsers(threeUsers);
    QMdiArea mdi;
    auto* form = new LostConnectionUserForm;
    QPointer<QMdiSubWindow> sub = mdi.addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    QVERIFY(showActive(&mdi));
    sub->show();
    click(form, QStringLiteral("cmdEdit"));
    typePassword(form, QStringLiteral("x"));
    for (int a : answers)
        inst_->prompts.answers.enqueue(Prompts::Answer(a));
    sub->close();
    // The form goes once the event loop gets to it; until then it tells how often it tried.
    QVERIFY(!sub.isNull());
    QCOMPARE(form->tries, tries);
    QCOMPARE(inst_->prompts.messages().size(), questions);
    for (const QString& text : inst_->prompts.messages())
        QCOMPARE(text, QStringLiteral("Could not open connection to database Retry ?"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(sub.isNull());
    QCOMPARE(db().scalar(QStringLiteral("select pwd from loguser where uid = 'bob'")).toString(),
             QStringLiteral("bobpw"));
}

QTEST_MAIN(TestUserMaster)
#include "tst_frmuser.moc"
