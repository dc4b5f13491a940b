#include "Database.h"
#include "DemoFixture.h"
#include "ImportsTesting.h"
#include "LogonState.h"
#include "ScriptedPrompts.h"
#include "frmXmlImport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace ImportsTesting;

namespace {

/// The form shown on its own, with a clerk logged on and a pair to import.
struct Scene
{
    DemoFixture demo;
    ScriptedPrompts prompts;
    QTemporaryDir dir;
    QString cargo;
    QString containers;
    frmXmlImport form;

    Scene()
    {
        demo.addUser("clerk", "harbour", " SU", " SU");
        demo.logOnAs("clerk", "harbour");
        const Pair pair = writePair(
            dir.path(), cargoFile({bill(7, 5001), bill(9, 5002)}),
            containerFile({container(1, 7, "MSCU0000001"), container(2, 9, "MSCU0000002", "E")}));
        cargo = QDir::toNativeSeparators(pair.cargo);
        containers = QDir::toNativeSeparators(pair.containers);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QApplication::setActiveWindow(&form);
    }
    template <typename T> T* child(const char* name)
    {
        T* w = form.findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QLineEdit* box(const char* name) { return child<QLineEdit>(name); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }

    /// Types into a box as the clerk does: click, select what is there, type.
    void type(const char* name, const QString& text)
    {
        QLineEdit* e = box(name);
        QTest::mouseClick(e, Qt::LeftButton);
        e->selectAll();
        QTest::keyClicks(e, text);
    }
};

} // namespace

class tst_XmlImportForm : public QObject
{
    Q_OBJECT

private slots:
    void captionsAndNames()
    {
        Scene s;
        QCOMPARE(s.form.objectName(), QString("frmXmlImport"));
        QCOMPARE(s.form.windowTitle(), QString("Import Cargo / Container"));
        QCOMPARE(s.child<QLabel>("lblHead")->text(), QString("Import XML File"));
        QCOMPARE(s.button("Command1")->text(), QString("Browse Cargo File"));
        QCOMPARE(s.button("Command2")->text(), QString("Browse Container File"));
        QCOMPARE(s.button("cmdImport")->text(), QString("Import"));
        QCOMPARE(s.button("cmdCancel")->text(), QString("Close"));
        QLabel* rot = nullptr;
        for (QLabel* l : s.form.findChildren<QLabel*>())
            if (l->buddy() == s.box("txtFields_4"))
                rot = l;
        QVERIFY(rot);
        QCOMPARE(rot->text(), QString("ROT No."));
        for (const char* name : {"Text1", "Text2", "txtFields_4"})
            QVERIFY(s.box(name)->text().isEmpty());
    }

    void browseFillsTheBoxes_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("box");
        QTest::newRow("cargo file") << "Command1"
                                    << "Text1";
        QTest::newRow("container file") << "Command2"
                                        << "Text2";
    }

    void browseFillsTheBoxes()
    {
        QFETCH(QString, button);
        QFETCH(QString, box);
        Scene s;
        s.prompts.files.enqueue(s.cargo);
        QTest::mouseClick(s.button(qPrintable(button)), Qt::LeftButton);
        QCOMPARE(s.box(qPrintable(box))->text(), s.cargo);
        QCOMPARE(s.prompts.calls.size(), 1);
        const ScriptedPrompts::Call dialog = s.prompts.calls.first();
        QCOMPARE(dialog.kind, QString("openFile"));
        QCOMPARE(dialog.text, QString()); // no title of its own
        QVERIFY2(dialog.filter.contains("*.xml"), qPrintable(dialog.filter));
        QCOMPARE(dialog.initial, QString("*.xml"));

        // A cancelled dialog leaves the box as it was.
        QTest::mouseClick(s.button(qPrintable(button)), Qt::LeftButton);
        QCOMPARE(s.prompts.calls.size(), 2);
        QCOMPARE(s.box(qPrintable(box))->text(), s.cargo);
    }

    void importByKeysAndClicks()
    {
        Scene s;
        s.prompts.files.enqueue(s.cargo);
        s.prompts.files.enqueue(s.containers);
        QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
        QTest::mouseClick(s.button("Command2"), Qt::LeftButton);
        s.type("txtFields_4", "700001");
        // Enter moves on to Import as Tab would, then presses it.
        QTest::keyClick(s.box("txtFields_4"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), s.button("cmdImport"));
        QVERIFY(s.prompts.messages().isEmpty());
        QTest::keyClick(s.button("cmdImport"), Qt::Key_Return);
        QCOMPARE(s.prompts.messages(), QStringList{"Data Imported Sucessfully\nImported 2 shipping "
                                                   "bills (ids 1 to 2) and 2 containers."});
        QCOMPARE(s.prompts.calls.last().title, QString("Tarvex"));
        QCOMPARE(count(*logonState().Conn, "egmcargo"), 2);
        QCOMPARE(logonState().Conn->select("select ref from egmcontain order by containno").rows,
                 (QList<RowValues>{{1}, {2}}));
        // The form stays, with what was typed.
        QVERIFY(s.form.isVisible());
        QCOMPARE(s.box("txtFields_4")->text(), QString("700001"));
    }

    void typedPathsWithTrailingBlanks()
    {
        Scene s;
        s.type("Text1", s.cargo + "  ");
        s.type("Text2", s.containers);
        s.type("txtFields_4", "700001");
        QTest::mouseClick(s.button("cmdImport"), Qt::LeftButton);
        QCOMPARE(s.prompts.messages(), QStringList{"Data Imported Sucessfully\nImported 2 shipping "
                                                   "bills (ids 1 to 2) and 2 containers."});
    }

    void importingAnEgmAgainAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("bills");
        QTest::addColumn<QStringList>("after"); // the messages after the question
        QTest::newRow("No imports nothing") << int(Prompts::No) << 2 << QStringList();
        QTest::newRow("Yes adds them")
            << int(Prompts::Yes) << 4
            << QStringList{"Data Imported Sucessfully\nImported 2 shipping bills (ids 3 to 4) and "
                           "2 containers."};
    }
    void importingAnEgmAgainAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(int, bills);
        QFETCH(QStringList, after);
        Scene s;
        s.type("Text1", s.cargo);
        s.type("Text2", s.containers);
        s.type("txtFields_4", "700001");
        QTest::mouseClick(s.button("cmdImport"), Qt::LeftButton);
        s.prompts.clear();
        s.prompts.answers << Prompts::Answer(answer);
        QTest::mouseClick(s.button("cmdImport"), Qt::LeftButton);
        QCOMPARE(s.prompts.messages(),
                 QStringList{"ROT No. 700001 already holds 2 shipping bills. Import 2 more?"} +
                     after);
        QCOMPARE(s.prompts.calls.first().defaultButton, Prompts::No);
        QCOMPARE(count(*logonState().Conn, "egmcargo"), bills);
    }

    void failureKeepsTheFormOpen_data()
    {
        QTest::addColumn<QString>("rotNo");
        QTest::addColumn<bool>("breakContainers");
        QTest::addColumn<QString>("message"); // the start of it
        QTest::newRow("other ROT No.") << "700002" << false << "Cargo file contain Data of 700001";
        QTest::newRow("ROT No. empty") << "" << false << "Cargo file contain Data of 700001";
        QTest::newRow("container file broken") << "700001" << true << "The container file \"";
    }

    void failureKeepsTheFormOpen()
    {
        QFETCH(QString, rotNo);
        QFETCH(bool, breakContainers);
        QFETCH(QString, message);
        Scene s;
        if (breakContainers)
            writeOrFail(s.containers, "<xml>");
        s.type("Text1", s.cargo);
        s.type("Text2", s.containers);
        s.type("txtFields_4", rotNo);
        QTest::mouseClick(s.button("cmdImport"), Qt::LeftButton);
        QCOMPARE(s.prompts.messages().size(), 1);
        QVERIFY2(s.prompts.messages().first().startsWith(message),
                 qPrintable(s.prompts.messages().first()));
        QVERIFY(s.form.isVisible());
        QCOMPARE(s.box("Text1")->text(), s.cargo);
        QCOMPARE(s.box("txtFields_4")->text(), rotNo);
        QCOMPARE(count(*logonState().Conn, "egmcargo"), 0);
        QCOMPARE(count(*logonState().Conn, "egmcontain"), 0);
    }

    void enterMovesOnWithoutPressingBrowse()
    {
        Scene s;
        s.type("Text1", s.cargo);
        QTest::keyClick(s.box("Text1"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), s.button("Command1"));
        QTest::keyClick(s.button("Command1"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), s.box("Text2"));
        QVERIFY(s.prompts.calls.isEmpty());
        QCOMPARE(s.box("Text1")->text(), s.cargo); // Enter never reached the box
    }

    void escAndCloseClose_data()
    {
        QTest::addColumn<bool>("byEsc");
        QTest::newRow("Esc") << true;
        QTest::newRow("Close") << false;
    }

    void escAndCloseClose()
    {
        QFETCH(bool, byEsc);
        Scene s;
        s.type("txtFields_4", "7");
        if (byEsc)
            QTest::keyClick(s.box("txtFields_4"), Qt::Key_Escape);
        else
            QTest::mouseClick(s.button("cmdCancel"), Qt::LeftButton);
        QVERIFY(!s.form.isVisible());
        QVERIFY(s.prompts.calls.isEmpty());
    }
};

QTEST_MAIN(tst_XmlImportForm)
#include "tst_xmlimportform.moc"
