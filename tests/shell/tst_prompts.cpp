// The prompts as the window build shows them: owned by the active window,
// with the icon their kind calls for, one-line messages kept on one line,
// file dialogs opening in the program's folder or where the last one chose.

#include "AppPaths.h"
#include "MyFunc.h"
#include "QtPrompts.h"
#include "TestHome.h"
#include "frmMenu.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

Q_DECLARE_METATYPE(Prompts::Buttons)
Q_DECLARE_METATYPE(Prompts::Icon)

namespace {

/// Runs look on the dialog that the next prompt opens, while it is open.
void whenShown(std::function<void(QWidget*)> look)
{
    QTimer::singleShot(0, [look] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        look(dialog);
    });
}

/// The window build's prompts, installed while the object lives.
struct Installed
{
    QtPrompts dialogs;
    Prompts* previous = installPrompts(&dialogs);
    ~Installed() { installPrompts(previous); }
};

} // namespace

class tst_Prompts : public QObject
{
    Q_OBJECT

private slots:
    void iconFollowsTheKind_data()
    {
        QTest::addColumn<Prompts::Buttons>("buttons");
        QTest::addColumn<Prompts::Icon>("asked");
        QTest::addColumn<Prompts::Icon>("shown");
        QTest::newRow("a message")
            << Prompts::Buttons::Ok << Prompts::Icon::None << Prompts::Icon::Information;
        QTest::newRow("a question")
            << Prompts::Buttons::YesNo << Prompts::Icon::None << Prompts::Icon::Question;
        QTest::newRow("retry or cancel")
            << Prompts::Buttons::RetryCancel << Prompts::Icon::None << Prompts::Icon::Question;
        QTest::newRow("an error keeps its icon")
            << Prompts::Buttons::Ok << Prompts::Icon::Critical << Prompts::Icon::Critical;
        QTest::newRow("a warning keeps its icon")
            << Prompts::Buttons::YesNo << Prompts::Icon::Warning << Prompts::Icon::Warning;
    }
    void iconFollowsTheKind()
    {
        QFETCH(Prompts::Buttons, buttons);
        QFETCH(Prompts::Icon, asked);
        QFETCH(Prompts::Icon, shown);
        QCOMPARE(Prompts::iconFor(buttons, asked), shown);
    }

    void messagesBelongToTheActiveWindow_data()
    {
        QTest::addColumn<Prompts::Buttons>("buttons");
        QTest::addColumn<Prompts::Icon>("asked");
        QTest::addColumn<int>("icon");
        QTest::newRow("a message")
            << Prompts::Buttons::Ok << Prompts::Icon::None << int(QMessageBox::Information);
        QTest::newRow("a question")
            << Prompts::Buttons::YesNo << Prompts::Icon::None << int(QMessageBox::Question);
        QTest::newRow("an error") << Prompts::Buttons::Ok << Prompts::Icon::Critical
                                  << int(QMessageBox::Critical);
    }
    void messagesBelongToTheActiveWindow()
    {
        QFETCH(Prompts::Buttons, buttons);
        QFETCH(Prompts::Icon, asked);
        QFETCH(int, icon);
        TestHome home;
        Installed prompts;
        frmMenu menu;
        menu.show();
        QApplication::setActiveWindow(&menu);
        QVERIFY(QTest::qWaitForWindowActive(&menu));
        menu.openForm("frmCompany"); // the prompt belongs to the window, not the screen

        // A refused value as the user master reports it: longer than half the screen.
        const QString text = "-2147217887  '31/02/2026' is not a date: the field 'A/c Period' "
                             "takes dates (dd/mm/yyyy).";
        bool looked = false;
        whenShown([&](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            QVERIFY(box);
            QCOMPARE(box->parentWidget(), &menu);
            QCOMPARE(box->windowTitle(), QString("Tarvex"));
            QCOMPARE(int(box->icon()), icon);
            QVERIFY(!(box->windowFlags() & Qt::WindowMinimizeButtonHint));
            QVERIFY(!(box->windowFlags() & Qt::WindowMaximizeButtonHint));
            auto* label = box->findChild<QLabel*>("qt_msgbox_label");
            QCOMPARE(label->text(), text);
            QVERIFY2(label->height() < 2 * label->fontMetrics().lineSpacing(),
                     "the message is wrapped");
            looked = true;
            box->buttons().first()->click();
        });
        prompts.dialogs.message(text, buttons, asked, QString());
        QVERIFY(looked);
    }

    void enterPressesTheDefaultButton_data()
    {
        QTest::addColumn<int>("defaultButton");
        QTest::newRow("a deletion defaults to No") << int(Prompts::No);
        QTest::newRow("a question may default to Yes") << int(Prompts::Yes);
    }
    void enterPressesTheDefaultButton()
    {
        QFETCH(int, defaultButton);
        TestHome home;
        Installed prompts;
        frmMenu menu;
        menu.show();
        QApplication::setActiveWindow(&menu);
        QVERIFY(QTest::qWaitForWindowActive(&menu));
        whenShown([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Return); });
        Prompts& asked = prompts.dialogs;
        QCOMPARE(int(asked.question("Confirm Deletion ?", Prompts::Buttons::YesNo,
                                    Prompts::Answer(defaultButton))),
                 defaultButton);
    }

    void inputBelongsToTheActiveWindow()
    {
        TestHome home;
        Installed prompts;
        frmMenu menu;
        menu.show();
        QApplication::setActiveWindow(&menu);
        QVERIFY(QTest::qWaitForWindowActive(&menu));
        whenShown([&](QWidget* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            QVERIFY(input);
            QCOMPARE(input->parentWidget(), &menu);
            QCOMPARE(input->labelText(), QString("Item Name to search ?"));
            QVERIFY(!(input->windowFlags() & Qt::WindowMaximizeButtonHint));
            input->setTextValue("Harbour");
            input->accept();
        });
        QCOMPARE(prompts.dialogs.input("Item Name to search ?", QString(), QString()),
                 std::optional<QString>("Harbour"));
    }

    void fileDialogsStartInTheProgramsFolderThenWhereTheLastOneChose()
    {
        TestHome home;
        Installed prompts;
        frmMenu menu;
        menu.show();
        QApplication::setActiveWindow(&menu);
        QVERIFY(QTest::qWaitForWindowActive(&menu));
        QTemporaryDir inbox;
        QFile pair(inbox.filePath("egmcargo.xml"));
        QVERIFY(pair.open(QIODevice::WriteOnly));
        pair.close();
        const QString other = QDir::currentPath(); // where the program was started

        const auto startsIn = [&](const QString& directory, const QString& choose) {
            QString shownDir;
            whenShown([&](QWidget* dialog) {
                auto* files = qobject_cast<QFileDialog*>(dialog);
                QVERIFY(files);
                QCOMPARE(files->parentWidget(), &menu);
                shownDir = files->directory().absolutePath();
                if (choose.isEmpty()) {
                    files->reject();
                } else {
                    files->selectFile(choose);
                    QMetaObject::invokeMethod(files, "accept");
                }
            });
            prompts.dialogs.openFile("Select", "XML Files (*.xml)", "*.xml", directory);
            return shownDir;
        };
        const QString homeDir = QDir(AppPaths::home()).absolutePath();
        QVERIFY(homeDir != QDir(other).absolutePath());
        // An import dialog: the program's folder first, never the working directory.
        QCOMPARE(startsIn(QString(), QString()), homeDir);
        QCOMPARE(startsIn(QString(), inbox.filePath("egmcargo.xml")), homeDir);
        // Then the folder the file was chosen from.
        QCOMPARE(startsIn(QString(), QString()), QDir(inbox.path()).absolutePath());
        // A dialog with a folder of its own opens there and leaves the last one alone.
        QCOMPARE(startsIn(homeDir, QString()), homeDir);
        QCOMPARE(startsIn(QString(), QString()), QDir(inbox.path()).absolutePath());
        QCOMPARE(Prompts::startFolder("/somewhere"), QString("/somewhere"));
    }

    void statusLineGoesToTheStatusBar()
    {
        TestHome home;
        Installed prompts;
        frmMenu menu;
        prompts.dialogs.status("File copied to /media/stick/1234.egm");
        QCOMPARE(menu.findChild<QLabel*>("StatusBar1_Panel1")->text(),
                 QString("File copied to /media/stick/1234.egm"));
    }
};

QTEST_MAIN(tst_Prompts)
#include "tst_prompts.moc"
