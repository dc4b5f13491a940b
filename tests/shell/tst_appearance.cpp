#include "AppPaths.h"
#include "DemoFixture.h"
#include "HeadFont.h"
#include "MyFunc.h"
#include "ScriptedPrompts.h"
#include "frmColor.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
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
        QVERIFY(skins.size() >= 3);
        for (const QString& name : skins) {
            const Skin s = Skin::load(demo.file("skins/" + name));
            QVERIFY2(s.valid, qPrintable(name));
            QVERIFY(s.background != s.text);
        }
    }

    void skinFileRules()
    {
        TestHome home;
        const QString path = home.file("mine.skn");
        writeFile(path,
                  "; my colours\n[SKIN]\nname = Mine\nBACKGROUND = #102030 ; dark\ntext=#f0f0f0\n"
                  "stylesheet=mine.qss\n");
        writeFile(home.file("mine.qss"), "QPushButton { padding: 4px; }");
        const Skin s = Skin::load(path);
        QVERIFY(s.valid);
        QCOMPARE(s.name, QString("Mine"));
        QCOMPARE(s.background, QColor("#102030"));
        QCOMPARE(s.text, QColor("#f0f0f0"));
        QCOMPARE(s.button, s.background);
        QCOMPARE(s.styleSheet, QString("QPushButton { padding: 4px; }"));
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
        QCOMPARE(label->palette().color(QPalette::WindowText), s.text);
        QCOMPARE(edit->palette().color(QPalette::Text), s.text);
        QCOMPARE(button->palette().color(QPalette::ButtonText), s.text);
        QCOMPARE(button->palette().color(QPalette::Button), s.button);
        QVERIFY(!form.styleSheet().isEmpty());
        // A form without labels or buttons is fine too, and no skin keeps the platform look.
        QWidget empty;
        ApplyAppearance(&empty);
        LoadSkin("");
        QWidget plain;
        auto* plainLabel = new QLabel("x", &plain);
        const QColor before = plainLabel->palette().color(QPalette::WindowText);
        ApplyAppearance(&plain);
        QCOMPARE(plainLabel->palette().color(QPalette::WindowText), before);
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
};

QTEST_MAIN(tst_Appearance)
#include "tst_appearance.moc"
