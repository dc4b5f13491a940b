#include "Database.h"
#include "DemoFixture.h"
#include "IgmTesting.h"
#include "ImportsTesting.h"
#include "LogonState.h"
#include "ScriptedPrompts.h"
#include "frmIgmImport.h"
#include "frmMenu.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace IgmTesting;

namespace {

const QByteArray kVessel = fields({{3, "MSC ANNA"}, {4, "V123"}}, 29);

/// The form shown on its own, with a clerk logged on and a file to import.
struct Scene
{
    DemoFixture demo;
    ScriptedPrompts prompts;
    QTemporaryDir dir;
    QString path = QDir::toNativeSeparators(dir.filePath("manifest.egm"));
    frmIgmImport form;

    Scene()
    {
        demo.addUser("clerk", "harbour", " SU", " SU");
        demo.logOnAs("clerk", "harbour");
        ImportsTesting::writeOrFail(
            path, file(kVessel, {fields({{5, "1"}}), fields({{5, "2"}})}, {fields({{5, "K"}})}));
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
    QString labelOf(const char* name)
    {
        for (QLabel* l : form.findChildren<QLabel*>())
            if (l->buddy() == box(name))
                return l->text();
        return QString();
    }
    void type(const char* name, const QString& text)
    {
        QLineEdit* e = box(name);
        QTest::mouseClick(e, Qt::LeftButton);
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    int count(const char* table) { return ImportsTesting::count(*logonState().Conn, table); }
};

} // namespace

class tst_IgmImportForm : public QObject
{
    Q_OBJECT

private slots:
    void captionsAndNames()
    {
        Scene s;
        QCOMPARE(s.form.objectName(), QString("frmIgmImport"));
        QCOMPARE(s.form.windowTitle(), QString("Import Igm File"));
        QCOMPARE(s.child<QLabel>("lblHead")->text(), QString("Import EGM File"));
        QCOMPARE(s.button("Command1")->text(), QString("Browse Cargo File"));
        QCOMPARE(s.button("cmdImport")->text(), QString("Import"));
        QCOMPARE(s.button("cmdCancel")->text(), QString("Close"));
        QCOMPARE(s.labelOf("txtFields_4"), QString("Vessel Code"));
        QCOMPARE(s.labelOf("txtFields_5"), QString("Voy No."));
        for (const char* name : {"Text1", "txtFields_4", "txtFields_5"})
            QVERIFY(s.box(name)->text().isEmpty());
    }

    void browseFillsTheBox()
    {
        Scene s;
        s.prompts.files.enqueue(s.path);
        QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
        QCOMPARE(s.box("Text1")->text(), s.path);
        QCOMPARE(s.prompts.calls.size(), 1);
        const ScriptedPrompts::Call dialog = s.prompts.calls.first();
        QCOMPARE(dialog.kind, QString("openFile"));
        QCOMPARE(dialog.text, QString("Select EGM File Name"));
        QCOMPARE(dialog.filter, QString("*.egm"));
        QCOMPARE(dialog.initial, QString("*.egm"));

        // A cancelled dialog leaves the box as it was.
        QTest::mouseClick(s.button("Command1"), Qt::LeftButton);
        QCOMPARE(s.prompts.calls.size(), 2);
        QCOMPARE(s.box("Text1")->text(), s.path);
    }

    void importShowsTheVesselLineThenTheCounts()
    {
        Scene s;
        s.type("Text1", s.path);
        s.type("txtFields_4", "MSCANNA");
        s.type("txtFields_5", "V123");
        // Enter moves on as Tab would, up to Import, then presses it.
        QTest::keyClick(s.box("txtFields_5"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), s.button("cmdImport"));
        QVERIFY(s.prompts.calls.isEmpty());
        QTest::keyClick(s.button("cmdImport"), Qt::Key_Return);
        QCOMPARE(s.prompts.messages(),
                 (QStringList{QString::fromLatin1(kVessel),
                              "Imported 1 vessel, 2 cargo lines and 1 container."}));
        for (const ScriptedPrompts::Call& c : s.prompts.calls) {
            QCOMPARE(c.buttons, Prompts::Buttons::Ok);
            QCOMPARE(c.title, QString("Tarvex"));
        }
        QCOMPARE(s.count("vesinfo"), 1);
        QCOMPARE(s.count("cargo"), 2);
        QCOMPARE(s.count("contain"), 1);
        QVERIFY(s.form.isVisible());
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void failureKeepsTheFormOpen()
    {
        Scene s;
        ImportsTesting::writeOrFail(s.path,
                                    file(kVessel, {fields({{5, "1"}}), fields({{5, "1"}})}));
        s.type("Text1", s.path);
        QTest::mouseClick(s.button("cmdImport"), Qt::LeftButton);
        QCOMPARE(s.prompts.messages().size(), 2);
        QCOMPARE(s.prompts.messages().last(),
                 QString("The IGM file \"%1\" cannot be imported.\nLine 5: field 5 (\"1\") gives "
                         "the cargo id 2, which line 4 has already; each cargo line needs a "
                         "number of its own in field 5.\nNothing was imported.")
                     .arg(s.path));
        QVERIFY(s.form.isVisible());
        QCOMPARE(s.box("Text1")->text(), s.path);
        QCOMPARE(s.count("vesinfo"), 0);
        QCOMPARE(s.count("cargo"), 0);
        QVERIFY(!QGuiApplication::overrideCursor());
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

    void windowMenuOpensTheForm()
    {
        DemoFixture demo;
        ScriptedPrompts prompts;
        logonState().MRights = ""; // the Window menu is not subject to rights
        frmMenu menu;
        menu.registerForm("frmIgmImport", [] { return new frmIgmImport; });
        menu.show();
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        menu.applyMenuRights();
        QAction* entry = menu.findChild<QAction*>("menWindow_4");
        QVERIFY(entry);
        QCOMPARE(entry->text(), QString("Import IGM File"));
        QVERIFY(entry->isVisible());
        QVERIFY(entry->isEnabled());
        entry->trigger();
        entry->trigger();
        QWidget* form = menu.openedForm("frmIgmImport");
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QString("Import Igm File"));
        QCOMPARE(menu.mdiArea()->subWindowList().size(), 1);
        QVERIFY(prompts.calls.isEmpty());
    }
};

QTEST_MAIN(tst_IgmImportForm)
#include "tst_igmimportform.moc"
