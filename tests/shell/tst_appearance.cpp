#include "AppPaths.h"
#include "DemoFixture.h"
#include "HeadFont.h"
#include "MyFunc.h"
#include "Resources.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"
#include "frmColor.h"
#include "frmMenu.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QVERIFY(writeBytes(path, bytes));
}

} // namespace

class tst_Appearance : public QObject
{
    Q_OBJECT

private slots:
    void shippedSkinsLoad()
    {
        DemoFixture demo;
        const QStringList skins = QDir(demo.file("skins")).entryList({"*.skn"});
        QCOMPARE(skins, QStringList({"classic.skn", "harbour.skn", "night.skn", "sand.skn"}));
        for (const QString& name : skins) {
            const Skin s = Skin::load(demo.file("skins/" + name));
            QVERIFY2(s.valid, qPrintable(name));
            // Every colour of the style sheet came from the skin.
            QVERIFY2(!s.styleSheet.contains(QRegularExpression("@[A-Za-z]")), qPrintable(name));
            for (const char* part : {"QMenuBar", "QMenu", "QToolBar", "QStatusBar", "QLineEdit",
                                     "QPushButton", "QAbstractItemView"})
                QVERIFY2(s.styleSheet.contains(part), part);
        }
    }

    void contrastRatio_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<double>("ratio");
        // Figures of the WCAG 2 definition.
        QTest::newRow("black on white") << "#000000"
                                        << "#ffffff" << 21.0;
        QTest::newRow("the same grey") << "#808080"
                                       << "#808080" << 1.0;
        QTest::newRow("the lightest grey that passes") << "#767676"
                                                       << "#ffffff" << 4.54;
        QTest::newRow("one step lighter fails") << "#777777"
                                                << "#ffffff" << 4.48;
        QTest::newRow("either way round") << "#ffffff"
                                          << "#0a246a" << 14.25;
    }
    void contrastRatio()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(double, ratio);
        QCOMPARE(std::round(Skin::contrast(QColor(a), QColor(b)) * 100) / 100, ratio);
    }

    void everyTextReadsOnItsBackground_data()
    {
        QTest::addColumn<QString>("skin");
        QTest::addColumn<int>("pair");
        for (const char* skin : {"classic", "harbour", "night", "sand"})
            for (int i = 0; i < Skin::textPairs().size(); ++i)
                QTest::addRow("%s: %s", skin, Skin::textPairs()[i].where) << skin << i;
    }
    void everyTextReadsOnItsBackground()
    {
        QFETCH(QString, skin);
        QFETCH(int, pair);
        const Skin s = Skin::load(QString(TARVEX_SOURCE_DIR "/resources/skins/%1.skn").arg(skin));
        QVERIFY(s.valid);
        const Skin::TextPair& p = Skin::textPairs()[pair];
        const double ratio = Skin::contrast(s.colour(p.text), s.colour(p.background));
        qInfo("%s %s on %s (%s on %s): %.2f", qPrintable(skin), qPrintable(Skin::roleName(p.text)),
              qPrintable(Skin::roleName(p.background)), qPrintable(s.colour(p.text).name()),
              qPrintable(s.colour(p.background).name()), ratio);
        QVERIFY2(ratio >= 4.5, qPrintable(QString::number(ratio)));
    }

    void editableBoxesStandApart_data()
    {
        QTest::addColumn<QString>("skin");
        for (const char* skin : {"classic", "harbour", "night", "sand"})
            QTest::newRow(skin) << skin;
    }
    void editableBoxesStandApart()
    {
        QFETCH(QString, skin);
        const Skin s = Skin::load(QString(TARVEX_SOURCE_DIR "/resources/skins/%1.skn").arg(skin));
        const QColor edit = s.colour(Skin::Edit);
        // A box to type into looks neither like the form, nor like a locked
        // or a disabled box.
        QVERIFY(Skin::contrast(edit, s.colour(Skin::Background)) >= 1.05);
        QVERIFY(Skin::contrast(edit, s.colour(Skin::ReadOnly)) >= 1.05);
        QVERIFY(Skin::contrast(edit, s.colour(Skin::Disabled)) >= 1.2);
        QVERIFY(Skin::contrast(s.colour(Skin::EditText), s.colour(Skin::DisabledText)) >= 1.5);
    }

    void skinSheetsNameNoColourValues()
    {
        // A colour written by value would escape the contrast check above.
        InitResources();
        QFile f(":/styles/window.qss");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString sheet = QString::fromUtf8(f.readAll());
        QVERIFY(!sheet.contains(QRegularExpression("#[0-9A-Fa-f]{3,8}\\b|\\b(rgba?|hsla?)\\(")));
        QVERIFY(!sheet.contains(
            QRegularExpression("\\b(white|black|red|green|blue|gray|grey|yellow)\\b",
                               QRegularExpression::CaseInsensitiveOption)));
    }

    void skinFileRules()
    {
        TestHome home;
        const QString path = home.file("mine.skn");
        writeFile(path,
                  "; my colours\n[SKIN]\nname = Mine\nBACKGROUND = #102030 ; dark\ntext=#f0f0f0\n"
                  "stylesheet=mine.qss\nRadius=5\n");
        writeFile(home.file("mine.qss"), "QPushButton { padding: 4px; color: @Heading; }");
        const Skin s = Skin::load(path);
        QVERIFY(s.valid);
        QCOMPARE(s.name, QString("Mine"));
        QCOMPARE(s.colour(Skin::Background), QColor("#102030"));
        QCOMPARE(s.colour(Skin::Text), QColor("#f0f0f0"));
        QCOMPARE(s.colour(Skin::Button), s.colour(Skin::Background));
        QCOMPARE(s.radius, 5);
        // The skin's own rules come after the program's, their colours filled in.
        QVERIFY(s.styleSheet.endsWith("QPushButton { padding: 4px; color: #f0f0f0; }"));
        QVERIFY(s.styleSheet.contains("border-radius: 5px;"));
        // What a two-colour skin leaves out is worked out readable.
        for (const Skin::TextPair& p : Skin::textPairs())
            QVERIFY2(Skin::contrast(s.colour(p.text), s.colour(p.background)) >= 4.5, p.where);
        QVERIFY(Skin::contrast(s.colour(Skin::Edit), s.colour(Skin::Background)) > 1.05);

        QVERIFY(!Skin::load("").valid);
        QVERIFY(!Skin::load(home.file("none.skn")).valid);
        writeFile(home.file("bad.skn"), "[Skin]\nBackground=not a colour\nText=#000\n");
        QVERIFY(!Skin::load(home.file("bad.skn")).valid);
    }

    void appearanceColoursTheControls()
    {
        DemoFixture demo;
        LoadSkin(demo.file("skins/night.skn"));
        QWidget form;
        auto* label = new QLabel("ROT No.", &form);
        auto* edit = new QLineEdit(&form);
        auto* button = new QPushButton("Close", &form);
        ApplyAppearance(&form);
        const Skin& s = CurrentSkin();
        QCOMPARE(label->palette().color(QPalette::WindowText), s.colour(Skin::Text));
        QCOMPARE(edit->palette().color(QPalette::Text), s.colour(Skin::EditText));
        QCOMPARE(edit->palette().color(QPalette::Base), s.colour(Skin::Edit));
        QCOMPARE(button->palette().color(QPalette::ButtonText), s.colour(Skin::ButtonText));
        QCOMPARE(button->palette().color(QPalette::Button), s.colour(Skin::Button));
        QVERIFY(!form.styleSheet().isEmpty());
        // A form without labels or buttons is fine too, and no skin gives the
        // platform look back.
        QWidget empty;
        ApplyAppearance(&empty);
        LoadSkin("");
        ApplyAppearance(&form);
        QCOMPARE(label->palette().color(QPalette::WindowText),
                 QApplication::palette().color(QPalette::WindowText));
        QVERIFY(form.styleSheet().isEmpty());
    }

    void skinColoursTheWholeWindow_data()
    {
        QTest::addColumn<QString>("skin");
        for (const char* skin : {"classic", "harbour", "night", "sand"})
            QTest::newRow(skin) << skin;
    }
    void skinColoursTheWholeWindow()
    {
        QFETCH(QString, skin);
        DemoFixture demo;
        WriteIni("Skin", "Skin", demo.file("skins/" + skin + ".skn"));
        frmMenu menu;
        menu.registerForm("frmVslRep", [] {
            auto* form = new QWidget;
            auto* typed = new QLineEdit(form);
            typed->setObjectName("typed");
            auto* locked = new QLineEdit(form);
            locked->setObjectName("locked");
            locked->setReadOnly(true);
            auto* layout = new QVBoxLayout(form);
            layout->addWidget(typed);
            layout->addWidget(locked);
            ApplyAppearance(form);
            return form;
        });
        menu.resize(900, 600);
        menu.show();
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QWidget* form = menu.openForm("frmVslRep");
        const Skin& s = CurrentSkin();
        QCOMPARE(s.name, Skin::load(demo.file("skins/" + skin + ".skn")).name);

        // What is painted, a few pixels in from a corner, past frames and borders.
        const auto painted = [](QWidget* w) {
            const QImage image = w->grab().toImage();
            return QColor(image.pixel(image.width() - 6, image.height() / 2));
        };
        QCOMPARE(painted(menu.menuBar()), s.colour(Skin::Bar));
        QCOMPARE(painted(menu.findChild<QToolBar*>("Toolbar1")), s.colour(Skin::Bar));
        QCOMPARE(painted(menu.statusBar()), s.colour(Skin::Bar));
        QCOMPARE(
            menu.findChild<QLabel*>("StatusBar1_Panel6")->palette().color(QPalette::WindowText),
            s.colour(Skin::BarText));
        QCOMPARE(menu.mdiArea()->background().color(), s.colour(Skin::Workspace));
        auto* typed = form->findChild<QLineEdit*>("typed");
        auto* locked = form->findChild<QLineEdit*>("locked");
        QCOMPARE(painted(typed), s.colour(Skin::Edit));
        QCOMPARE(painted(locked), s.colour(Skin::ReadOnly));
        // A record screen unlocks its boxes for an edit: they look editable then.
        locked->setReadOnly(false);
        QCOMPARE(painted(locked), s.colour(Skin::Edit));
        typed->setEnabled(false);
        QCOMPARE(painted(typed), s.colour(Skin::Disabled));
        LoadSkin("");
    }

    void headingFont_data()
    {
        QTest::addColumn<QString>("font");
        QTest::addColumn<QString>("size");
        QTest::addColumn<bool>("changes");
        QTest::newRow("none") << ""
                              << "" << false;
        QTest::newRow("size zero") << "Arial"
                                   << "0" << false;
        QTest::newRow("size empty") << "Arial"
                                    << "" << false;
        QTest::newRow("size text") << "Arial"
                                   << "big" << false;
        QTest::newRow("no name") << ""
                                 << "14" << false;
        QTest::newRow("both") << "Arial"
                              << "14" << true;
    }
    void headingFont()
    {
        QFETCH(QString, font);
        QFETCH(QString, size);
        QFETCH(bool, changes);
        TestHome home;
        WriteIni("Options", "Font", font);
        WriteIni("Options", "FontSize", size);
        const HeadFont h = ApplyHeadFont("Demo Shipping Agency Pvt Ltd");
        QCOMPARE(h.changeFont, changes);
        QCOMPARE(h.text, QString("Demo Shipping Agency Pvt Ltd"));
        if (changes) {
            QCOMPARE(h.family, font);
            QCOMPARE(h.size, size.toDouble());
        }
    }

    void colourOptionsSaveAndCancel()
    {
        DemoFixture demo;
        ScriptedPrompts prompts;
        const QString stored = ReadIni("Skin", "Skin");
        {
            frmColor form;
            auto* text = form.findChild<QLineEdit*>("Text1");
            QCOMPARE(text->text(), stored);
            prompts.files << demo.file("skins/sand.skn");
            QTest::mouseClick(form.findChild<QPushButton*>("Command1"), Qt::LeftButton);
            QCOMPARE(prompts.calls.last().text, QString("Select Skin File Name"));
            QCOMPARE(prompts.calls.last().initial, QString("*.skn"));
            QCOMPARE(text->text(), demo.file("skins/sand.skn"));
            QTest::mouseClick(form.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
        }
        QCOMPARE(ReadIni("Skin", "Skin"), stored);
        {
            frmColor form;
            auto* text = form.findChild<QLineEdit*>("Text1");
            // A cancelled dialog changes nothing.
            QTest::mouseClick(form.findChild<QPushButton*>("Command1"), Qt::LeftButton);
            QCOMPARE(text->text(), stored);
            text->setText(demo.file("skins/sand.skn"));
            QTest::mouseClick(form.findChild<QPushButton*>("cmdSave"), Qt::LeftButton);
        }
        QCOMPARE(ReadIni("Skin", "Skin"), demo.file("skins/sand.skn"));
        QCOMPARE(CurrentSkin().name, Skin::load(demo.file("skins/sand.skn")).name);
        {
            frmColor form;
            form.findChild<QLineEdit*>("Text1")->clear();
            QTest::mouseClick(form.findChild<QPushButton*>("cmdSave"), Qt::LeftButton);
        }
        QCOMPARE(ReadIni("Skin", "Skin"), QString(""));
        QVERIFY(!CurrentSkin().valid);
    }

    void savingASkinReskinsTheOpenScreens()
    {
        DemoFixture demo;
        ScriptedPrompts prompts;
        WriteIni("Skin", "Skin", demo.file("skins/night.skn"));
        frmMenu menu;
        menu.registerForm("frmColor", [] { return new frmColor; });
        menu.registerForm("frmUser", [] {
            auto* form = new QWidget;
            new QLineEdit(form);
            ApplyAppearance(form);
            return form;
        });
        menu.resize(900, 600);
        menu.show();
        QWidget* screen = menu.openForm("frmUser");
        auto* colour = qobject_cast<frmColor*>(menu.openForm("frmColor"));
        QVERIFY(colour);
        const Skin night = CurrentSkin();
        QCOMPARE(screen->palette().color(QPalette::Window), night.colour(Skin::Background));

        colour->findChild<QLineEdit*>("Text1")->setText(demo.file("skins/sand.skn"));
        QTest::mouseClick(colour->findChild<QPushButton*>("cmdSave"), Qt::LeftButton);
        const Skin sand = Skin::load(demo.file("skins/sand.skn"));
        QCOMPARE(CurrentSkin().name, sand.name);
        QCOMPARE(screen->palette().color(QPalette::Window), sand.colour(Skin::Background));
        QCOMPARE(screen->findChild<QLineEdit*>()->palette().color(QPalette::Base),
                 sand.colour(Skin::Edit));
        QCOMPARE(screen->styleSheet(), sand.styleSheet);
        QCOMPARE(menu.palette().color(QPalette::Window), sand.colour(Skin::Background));
        QCOMPARE(menu.styleSheet(), sand.styleSheet);
        QCOMPARE(menu.mdiArea()->background().color(), sand.colour(Skin::Workspace));
        LoadSkin("");
    }
};

QTEST_MAIN(tst_Appearance)
#include "tst_appearance.moc"
