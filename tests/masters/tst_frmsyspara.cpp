// System Parameters: what the form shows is stored when it closes, however
// it closes, and shown again the next time.

#include "ScriptedPrompts.h"
#include "Settings.h"
#include "TestHome.h"
#include "frmSyspara.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace {

struct Stored
{
    QString eformat, output, font, size;
};

Stored stored()
{
    return {ReadIni(QStringLiteral("Database"), QStringLiteral("Eformat")),
            ReadIni(QStringLiteral("Database"), QStringLiteral("Output")),
            ReadIni(QStringLiteral("Options"), QStringLiteral("Font")),
            ReadIni(QStringLiteral("Options"), QStringLiteral("FontSize"))};
}

} // namespace

class TestSystemParameters : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstUseStoresFirstEntries_data();
    void firstUseStoresFirstEntries();
    void chosenEntriesAreStoredAndShownAgain();
    void typedListTextStoresItsPosition_data();
    void typedListTextStoresItsPosition();
    void fontBoxesAreStoredAsTyped();
    void handEditedPositionShowsFirstEntry();

private:
    /// Opens the form in a child window of its own, as the main window does.
    frmSyspara* open();
    void closeBy(const QString& how);
    QComboBox* combo(const QString& name) { return form_->findChild<QComboBox*>(name); }
    QLineEdit* edit(const QString& name) { return form_->findChild<QLineEdit*>(name); }

    std::unique_ptr<TestHome> home_;
    std::unique_ptr<ScriptedPrompts> prompts_;
    std::unique_ptr<QMdiArea> mdi_;
    QPointer<QMdiSubWindow> sub_;
    QPointer<frmSyspara> form_;
};

void TestSystemParameters::init()
{
    home_ = std::make_unique<TestHome>();
    prompts_ = std::make_unique<ScriptedPrompts>();
    mdi_ = std::make_unique<QMdiArea>();
    mdi_->show();
    mdi_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(mdi_.get()));
}

void TestSystemParameters::cleanup()
{
    mdi_.reset();
    prompts_.reset();
    home_.reset();
}

frmSyspara* TestSystemParameters::open()
{
    form_ = new frmSyspara;
    sub_ = mdi_->addSubWindow(form_);
    sub_->setAttribute(Qt::WA_DeleteOnClose);
    sub_->show();
    mdi_->setActiveSubWindow(sub_);
    return form_;
}

void TestSystemParameters::closeBy(const QString& how)
{
    if (how == QLatin1String("door"))
        QTest::mouseClick(form_->findChild<QPushButton*>(QStringLiteral("cmdExit")),
                          Qt::LeftButton);
    else if (how == QLatin1String("Esc"))
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    else
        sub_->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(sub_.isNull());
    QVERIFY(form_.isNull());
}

void TestSystemParameters::firstUseStoresFirstEntries_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("door button") << "door";
    QTest::newRow("closing the window") << "window";
    QTest::newRow("Esc") << "Esc";
}

void TestSystemParameters::firstUseStoresFirstEntries()
{
    QFETCH(QString, how);
    open();
    QCOMPARE(form_->windowTitle(), QStringLiteral("System Parameters"));
    QCOMPARE(form_->findChild<QLabel*>(QStringLiteral("lblHead"))->text(),
             QStringLiteral("System Parameters"));
    QCOMPARE(combo(QStringLiteral("Combo1"))->currentText(), QStringLiteral("RTF"));
    QCOMPARE(combo(QStringLiteral("Combo2"))->currentText(), QStringLiteral("SCREEN"));
    // The design texts give way to the (empty) stored ones.
    QCOMPARE(edit(QStringLiteral("txtFont"))->text(), QString());
    QCOMPARE(edit(QStringLiteral("txtSize"))->text(), QString());
    QVERIFY(!QFile::exists(home_->file(QStringLiteral("Tarvex.ini"))));

    edit(QStringLiteral("txtFont"))->setFocus();
    closeBy(how);
    const Stored s = stored();
    QCOMPARE(s.eformat, QStringLiteral("0"));
    QCOMPARE(s.output, QStringLiteral("0"));
    QCOMPARE(s.font, QString());
    QCOMPARE(s.size, QString());
    // The empty boxes are written too, as keys with empty values.
    QFile ini(home_->file(QStringLiteral("Tarvex.ini")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QStringList keys;
    for (const QByteArray& line : ini.readAll().split('\n'))
        if (line.contains('='))
            keys << QString::fromLatin1(line.left(line.indexOf('=')).trimmed());
    for (const char* key : {"Eformat", "Output", "Font", "FontSize"})
        QVERIFY2(keys.contains(QString::fromLatin1(key), Qt::CaseInsensitive), key);
    QVERIFY(prompts_->calls.isEmpty());
}

void TestSystemParameters::chosenEntriesAreStoredAndShownAgain()
{
    open();
    // Chosen with the keyboard, the way a clerk picks from a list.
    combo(QStringLiteral("Combo1"))->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), combo(QStringLiteral("Combo2")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(combo(QStringLiteral("Combo1"))->currentText(), QStringLiteral("PDF"));
    QCOMPARE(combo(QStringLiteral("Combo2"))->currentText(), QStringLiteral("PRINTER"));
    closeBy(QStringLiteral("door"));
    QCOMPARE(stored().eformat, QStringLiteral("1"));
    QCOMPARE(stored().output, QStringLiteral("1"));

    open();
    QCOMPARE(combo(QStringLiteral("Combo1"))->currentIndex(), 1);
    QCOMPARE(combo(QStringLiteral("Combo1"))->currentText(), QStringLiteral("PDF"));
    QCOMPARE(combo(QStringLiteral("Combo2"))->currentText(), QStringLiteral("PRINTER"));
}

void TestSystemParameters::typedListTextStoresItsPosition_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("shownAgain");

    QTest::newRow("a text of its own") << "DOC"
                                       << "-1"
                                       << "";
    QTest::newRow("an entry typed") << "PDF"
                                    << "1"
                                    << "PDF";
    QTest::newRow("an entry typed in small letters") << "pdf"
                                                     << "1"
                                                     << "PDF";
    QTest::newRow("an emptied box") << ""
                                    << "-1"
                                    << "";
}

void TestSystemParameters::typedListTextStoresItsPosition()
{
    QFETCH(QString, typed);
    QFETCH(QString, position);
    QFETCH(QString, shownAgain);

    open();
    QLineEdit* line = combo(QStringLiteral("Combo1"))->lineEdit();
    line->setFocus();
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Delete);
    QTest::keyClicks(line, typed);
    closeBy(QStringLiteral("window"));
    QCOMPARE(stored().eformat, position);
    QCOMPARE(stored().output, QStringLiteral("0"));

    open();
    QCOMPARE(combo(QStringLiteral("Combo1"))->currentIndex(), shownAgain.isEmpty() ? -1 : 1);
    QCOMPARE(combo(QStringLiteral("Combo1"))->currentText(), shownAgain);
    QCOMPARE(combo(QStringLiteral("Combo1"))->count(), 2);
}

void TestSystemParameters::fontBoxesAreStoredAsTyped()
{
    open();
    QTest::keyClicks(edit(QStringLiteral("txtFont")), QStringLiteral("Arial Black"));
    QTest::keyClicks(edit(QStringLiteral("txtSize")), QStringLiteral("14x"));
    closeBy(QStringLiteral("door"));
    QCOMPARE(stored().font, QStringLiteral("Arial Black"));
    QCOMPARE(stored().size, QStringLiteral("14x"));

    open();
    QCOMPARE(edit(QStringLiteral("txtFont"))->text(), QStringLiteral("Arial Black"));
    QCOMPARE(edit(QStringLiteral("txtSize"))->text(), QStringLiteral("14x"));
}

void TestSystemParameters::handEditedPositionShowsFirstEntry()
{
    WriteIni(QStringLiteral("Database"), QStringLiteral("Eformat"), QStringLiteral("7"));
    WriteIni(QStringLiteral("Database"), QStringLiteral("Output"), QStringLiteral("-1"));
    open();
    QCOMPARE(combo(QStringLiteral("Combo1"))->currentText(), QStringLiteral("RTF"));
    QCOMPARE(combo(QStringLiteral("Combo2"))->currentIndex(), -1);
    QCOMPARE(combo(QStringLiteral("Combo2"))->currentText(), QString());
    closeBy(QStringLiteral("window"));
    QCOMPARE(stored().eformat, QStringLiteral("0"));
    QCOMPARE(stored().output, QStringLiteral("-1"));
}

QTEST_MAIN(TestSystemParameters)
#include "tst_frmsyspara.moc"
