// Generate Flat-File, driven by keys and clicks as a clerk would, on a demo
// installation holding the shipping bills of OutputsTesting.h. Files are
// compared byte for byte with the hand-written ones in expected/.

#include "AppPaths.h"
#include "DemoFixture.h"
#include "LogonState.h"
#include "OutputsTesting.h"
#include "ScriptedPrompts.h"
#include "Settings.h"
#include "SmtpSink.h"
#include "frmVslRep.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace OutputsTesting;

namespace {

const QString noContainers =
    QStringLiteral("No Container information is available Continue with Bulk Cargo only");
const QString noCargo = QStringLiteral("No related cargo information is available ");

QString question(const QString& path)
{
    return "File " + QDir::toNativeSeparators(path) +
           " successfully is saved in Program Folder, Copy File to Floppy ? ";
}

/// The sample EGMs break the check's rules (container numbers, ports): the
/// tests of the writing itself answer the check's question Yes here, and the
/// scripted prompts see everything else.
class CheckAccepted final : public Prompts
{
public:
    explicit CheckAccepted(Prompts* inner) : inner_(inner) { previous_ = installPrompts(this); }
    ~CheckAccepted() override { installPrompts(previous_); }

    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override
    {
        if (text.startsWith(QLatin1String("ROT No. ")))
            return Yes;
        return inner_->message(text, buttons, icon, title);
    }
    std::optional<QString> input(const QString& p, const QString& t, const QString& d) override
    {
        return inner_->input(p, t, d);
    }
    QString openFile(const QString& t, const QString& f, const QString& i,
                     const QString& d) override
    {
        return inner_->openFile(t, f, i, d);
    }
    QString saveFile(const QString& t, const QString& f, const QString& i) override
    {
        return inner_->saveFile(t, f, i);
    }
    QString folder(const QString& t, const QString& d) override { return inner_->folder(t, d); }
    void beep() override { inner_->beep(); }
    void status(const QString& text) override { inner_->status(text); }

private:
    Prompts* inner_;
    Prompts* previous_;
};

/// The flat-file screen on the sample EGMs.
struct Screen : OutputScreen<frmVslRep>
{
    explicit Screen(bool acceptCheck = true)
        : OutputScreen({"customs@port.example", "accounts@agency.example", "EGM for filing",
                        "Please find the EGM file attached."})
    {
        if (acceptCheck)
            accepted = std::make_unique<CheckAccepted>(&prompts);
    }
    std::unique_ptr<CheckAccepted> accepted;

    QString egmFile(const QString& name) const { return demo.file(name); }

    /// Types ROT No., Enter, the date, as a clerk fills the screen.
    void type(const QString& rotNo, const QString& date)
    {
        field(4)->clear();
        field(5)->clear();
        field(4)->setFocus();
        QTest::keyClicks(field(4), rotNo);
        QTest::keyClick(field(4), Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), date);
    }
    void generate(const QString& rotNo, const QString& date)
    {
        type(rotNo, date);
        QTest::mouseClick(button("cmdPreview"), Qt::LeftButton);
    }
    void email(const QString& rotNo, const QString& date)
    {
        type(rotNo, date);
        QTest::mouseClick(button("cmdEmail"), Qt::LeftButton);
    }
};

QByteArray expected(const char* name)
{
    const QString path = QFINDTESTDATA(QStringLiteral("expected/") + QLatin1String(name));
    return path.isEmpty() ? QByteArray("<missing expected file>") : fileBytes(path);
}

} // namespace

class TestVslRep : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void screenAsLoaded();
    void keys();
    void focusGoesToRotNoWhenActivated();

    void writesTheFile_data();
    void writesTheFile();
    void generatingAgainReplacesTheFile();
    void stopsWithAMessage_data();
    void stopsWithAMessage();
    void rotNoThatCannotNameAFile_data();
    void rotNoThatCannotNameAFile();
    void unwritableFileIsNamedAndTheOldOneKept();
    void databaseFailureIsNamedAndTheOldFileKept();

    void copiesToRemovableMedia();
    void copyNotWanted_data();
    void copyNotWanted();
    void copyThatFailsNamesTheFolder();

    void emailWritesAndMailsTheFile();
    void nothingIsMailedWhenTheWriteStops_data();
    void nothingIsMailedWhenTheWriteStops();

    void checkComesFirst_data();
    void checkComesFirst();
    void noMailWhenTheClerkStopsAtTheCheck();

private:
    void useSink();
    MailCases mail_;
};

void TestVslRep::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    mail_.start(QFINDTESTDATA("smtp_sink.py"));
}

void TestVslRep::init()
{
    mail_.clear();
}

void TestVslRep::useSink()
{
    mail_.sendFrom("Tarvex Clerk <clerk@agency.example>");
}

void TestVslRep::screenAsLoaded()
{
    Screen s;
    QCOMPARE(s.form->objectName(), QString("frmVslRep"));
    QCOMPARE(s.form->windowTitle(), QString("Generate Flat-File"));
    QCOMPARE(s.form->findChild<QLabel*>("lblHead")->text(), QString("Generate File"));
    const QList<QPair<int, QString>> captions = {{4, "ROT No."},         {5, "Date"},
                                                 {0, "Email Addresses"}, {1, "CC To."},
                                                 {2, "Subject"},         {3, "Message"}};
    for (const auto& [index, caption] : captions) {
        QVERIFY2(s.field(index), qPrintable(caption));
        auto* label = s.form->findChild<QLabel*>(QStringLiteral("lblFields_%1").arg(index));
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->buddy(), s.field(index));
        QCOMPARE(s.field(index)->maxLength(), 32767); // no length limit
        QVERIFY(s.field(index)->inputMask().isEmpty());
    }
    QCOMPARE(s.field(4)->text(), QString());
    QCOMPARE(s.field(5)->text(), QString());
    // The date box shows the form it reads, as the company master's do.
    QCOMPARE(s.field(5)->placeholderText(), QString("dd/mm/yyyy"));
    QCOMPARE(s.field(0)->text(), QString("customs@port.example"));
    QCOMPARE(s.field(1)->text(), QString("accounts@agency.example"));
    QCOMPARE(s.field(2)->text(), QString("EGM for filing"));
    QCOMPARE(s.field(3)->text(), QString("Please find the EGM file attached."));
    QCOMPARE(s.button("cmdPreview")->text(), QString("Generate on Floppy"));
    QCOMPARE(s.button("cmdEmail")->text(), QString("Email File"));
    QCOMPARE(s.button("cmdExit")->text(), QString("Close"));

    // Tab order: ROT No., Date, the four mail fields, then the buttons.
    QCOMPARE(QApplication::focusWidget(), s.field(4));
    const QList<QWidget*> order = {s.field(5),           s.field(0),         s.field(1),
                                   s.field(2),           s.field(3),         s.button("cmdPreview"),
                                   s.button("cmdEmail"), s.button("cmdExit")};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QVERIFY(s.prompts.calls.isEmpty());
}

void TestVslRep::keys()
{
    Screen s;
    // Enter moves on as Tab does and never reaches the field.
    QTest::keyClicks(s.field(4), "2024117");
    QTest::keyClick(s.field(4), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), s.field(5));
    QCOMPARE(s.field(4)->text(), QString("2024117"));
    QTest::keyClick(s.field(5), Qt::Key_Enter);
    QCOMPARE(QApplication::focusWidget(), s.field(0));

    // Overtype: a typed character replaces the one at the cursor.
    s.field(4)->setFocus();
    s.field(4)->setCursorPosition(0);
    QTest::keyClicks(s.field(4), "3");
    QCOMPARE(s.field(4)->text(), QString("3024117"));
    s.field(4)->end(false);
    QTest::keyClicks(s.field(4), "8");
    QCOMPARE(s.field(4)->text(), QString("30241178"));
    QTest::keyClick(s.field(4), Qt::Key_Backspace);
    QCOMPARE(s.field(4)->text(), QString("3024117"));

    // Esc closes the screen; nothing is written.
    QVERIFY(s.form->isVisible());
    QTest::keyClick(s.field(2), Qt::Key_Escape);
    QVERIFY(!s.form->isVisible());
    QVERIFY(QDir(s.demo.path()).entryList({"*.egm"}).isEmpty());

    // Close does the same.
    s.form->show();
    QTest::mouseClick(s.button("cmdExit"), Qt::LeftButton);
    QVERIFY(!s.form->isVisible());
    QVERIFY(s.prompts.calls.isEmpty());
}

void TestVslRep::focusGoesToRotNoWhenActivated()
{
    Screen s;
    s.form.reset();
    checkFocusReturnsToRotNo<frmVslRep>("txtFields_5");
}

void TestVslRep::writesTheFile_data()
{
    QTest::addColumn<QString>("rotNo");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("expectedFile");
    QTest::addColumn<QStringList>("messagesBefore");

    // The stored EGM dates differ from the typed ones in every case.
    QTest::newRow("containerised, another EGM's bill in between")
        << "2024117"
        << "05/03/2024"
        << "2024117.egm"
        << "vslrep_2024117.egm" << QStringList();
    QTest::newRow("bulk cargo only: zero volume with a stored unit, zero packages")
        << "2024119"
        << "10/04/2024"
        << "2024119.egm"
        << "vslrep_2024119.egm" << QStringList{noContainers};
    QTest::newRow("ROT No. with trailing blanks") << "123  "
                                                  << "07/01/2025"
                                                  << "123.egm"
                                                  << "vslrep_123.egm" << QStringList();
    QTest::newRow("ROT No. with a leading blank and text after the number")
        << " 123 A"
        << "7/1/2025"
        << " 123 A.egm"
        << "vslrep_123.egm" << QStringList();
}

void TestVslRep::writesTheFile()
{
    QFETCH(QString, rotNo);
    QFETCH(QString, date);
    QFETCH(QString, fileName);
    QFETCH(QString, expectedFile);
    QFETCH(QStringList, messagesBefore);

    Screen s;
    s.generate(rotNo, date);
    const QString path = s.egmFile(fileName);
    COMPARE_BYTES(fileBytes(path), expected(qPrintable(expectedFile)));
    QCOMPARE(s.prompts.messages(), messagesBefore + QStringList{question(path)});
    const ScriptedPrompts::Call& ask = s.prompts.calls.last();
    QCOMPARE(ask.buttons, Prompts::Buttons::YesNo);
    QCOMPARE(ask.icon, Prompts::Icon::None);
    for (const ScriptedPrompts::Call& call : s.prompts.calls.mid(0, messagesBefore.size()))
        QCOMPARE(call.buttons, Prompts::Buttons::Ok);
    // One file, and no copy anywhere (the question was answered No).
    QCOMPARE(QDir(s.demo.path()).entryList({"*.egm"}), QStringList{fileName});
    QCOMPARE(ReadIni("Floppy", "Folder"), QString());
}

void TestVslRep::generatingAgainReplacesTheFile()
{
    Screen s;
    const QString path = s.egmFile("2024117.egm");
    QVERIFY(writeBytes(path, QByteArray(5000, 'x'))); // an old, longer file
    s.generate("2024117", "01/01/2024");
    QByteArray first = fileBytes(path);
    QVERIFY(first.startsWith("<manifest>\n"));
    QVERIFY(first.contains("\x1d"
                           "01012024\x1d"));
    s.generate("2024117", "05/03/2024");
    COMPARE_BYTES(fileBytes(path), expected("vslrep_2024117.egm"));
    QCOMPARE(s.prompts.messages(), (QStringList{question(path), question(path)}));
}

void TestVslRep::stopsWithAMessage_data()
{
    QTest::addColumn<QString>("rotNo");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty date") << "2024117"
                                << ""
                                << "Invalid EGM Date...";
    QTest::newRow("no such day") << "2024117"
                                 << "30/02/2024"
                                 << "Invalid EGM Date...";
    QTest::newRow("not a date") << "2024117"
                                << "tomorrow"
                                << "Invalid EGM Date...";
    QTest::newRow("month first") << "2024117"
                                 << "03/25/2024"
                                 << "Invalid EGM Date...";
    QTest::newRow("no shipping bill") << "2024120"
                                      << "05/03/2024" << noCargo;
    QTest::newRow("ROT No. that is no number") << "ABC"
                                               << "05/03/2024" << noCargo;
    QTest::newRow("shipping bill without a date")
        << "7001"
        << "05/03/2024"
        << "Shipping Bill No. 7001 has no Shipping Bill Date; no file was written.";
}

void TestVslRep::stopsWithAMessage()
{
    QFETCH(QString, rotNo);
    QFETCH(QString, date);
    QFETCH(QString, message);

    Screen s;
    const QString path = s.egmFile(rotNo + ".egm");
    // An old file of the same name must not pass for this EGM's file.
    QVERIFY(writeBytes(path, "an old file"));
    s.generate(rotNo, date);
    QCOMPARE(s.prompts.messages(), QStringList{message});
    QCOMPARE(s.prompts.calls.first().buttons, Prompts::Buttons::Ok);
    QVERIFY(!QFile::exists(path));
    QVERIFY(QDir(s.demo.path()).entryList({"*.egm", "*.egm.*"}).isEmpty());
    QVERIFY(s.form->isVisible());
}

void TestVslRep::rotNoThatCannotNameAFile_data()
{
    QTest::addColumn<QString>("rotNo");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("up a folder") << "../2024117";
    QTest::newRow("into a folder") << "skins/2024117";
    QTest::newRow("backslash") << "2024117\\x";
}

void TestVslRep::rotNoThatCannotNameAFile()
{
    QFETCH(QString, rotNo);
    Screen s;
    s.generate(rotNo, "05/03/2024");
    QCOMPARE(s.prompts.messages().size(), 1);
    QVERIFY2(s.prompts.messages().first().contains("ROT No."),
             qPrintable(s.prompts.messages().first()));
    QVERIFY(QDir(s.demo.path()).entryList({"*.egm"}).isEmpty());
    QVERIFY(QDir(s.demo.file("skins")).entryList({"*.egm"}).isEmpty());
    QVERIFY(!QFile::exists(QFileInfo(s.demo.path()).dir().filePath("2024117.egm")));
    QCOMPARE(QApplication::focusWidget(), s.field(4));
}

void TestVslRep::unwritableFileIsNamedAndTheOldOneKept()
{
    Screen s;
    // Where the file would go stands a folder: the write cannot replace it.
    QVERIFY(QDir(s.demo.path()).mkdir("2024117.egm"));
    s.generate("2024117", "05/03/2024");
    QCOMPARE(s.prompts.messages().size(), 1);
    const ScriptedPrompts::Call& call = s.prompts.calls.first();
    QVERIFY2(call.text.contains(QDir::toNativeSeparators(s.egmFile("2024117.egm"))),
             qPrintable(call.text));
    QCOMPARE(call.icon, Prompts::Icon::Critical);
    QVERIFY(QFileInfo(s.egmFile("2024117.egm")).isDir());
    QVERIFY(s.form->isVisible());

    // The same screen writes the next file as usual.
    s.prompts.clear();
    s.generate("2024119", "10/04/2024");
    COMPARE_BYTES(fileBytes(s.egmFile("2024119.egm")), expected("vslrep_2024119.egm"));
}

void TestVslRep::databaseFailureIsNamedAndTheOldFileKept()
{
    Screen s;
    const QString path = s.egmFile("2024117.egm");
    QVERIFY(writeBytes(path, "the file written yesterday"));
    logonState().Conn->exec("alter table egmcontain rename to egmcontain_gone");
    s.generate("2024117", "05/03/2024");
    QCOMPARE(s.prompts.messages().size(), 1);
    const QString text = s.prompts.messages().first();
    QVERIFY2(text.contains("could not be read") && text.contains("egmcontain"), qPrintable(text));
    QCOMPARE(fileBytes(path), QByteArray("the file written yesterday"));
    QVERIFY(s.form->isVisible());
}

void TestVslRep::copiesToRemovableMedia()
{
    Screen s;
    QTemporaryDir stick;
    // No folder set: the clerk is asked once, and the choice is remembered.
    s.prompts.answers << Prompts::Yes;
    s.prompts.files << stick.path();
    s.generate("2024117", "05/03/2024");
    const QStringList folderCalls = [&] {
        QStringList titles;
        for (const auto& call : s.prompts.calls)
            if (call.kind == "folder")
                titles << call.text;
        return titles;
    }();
    QCOMPARE(folderCalls, QStringList{"Select Removable Media Folder"});
    COMPARE_BYTES(fileBytes(stick.filePath("2024117.egm")), expected("vslrep_2024117.egm"));
    QCOMPARE(ReadIni("Floppy", "Folder"), QDir::toNativeSeparators(stick.path()));
    QCOMPARE(s.prompts.messages(), QStringList{question(s.egmFile("2024117.egm"))});
    // The status bar says where the file went.
    QCOMPARE(s.prompts.calls.last().kind, QString("status"));
    QCOMPARE(s.prompts.calls.last().text,
             "File copied to " + QDir::toNativeSeparators(stick.filePath("2024117.egm")));

    // Next time the remembered folder is used; a file of the name is replaced.
    s.prompts.clear();
    QVERIFY(writeBytes(stick.filePath("123.egm"), QByteArray(3000, 'o')));
    s.prompts.answers << Prompts::Yes;
    s.generate("123  ", "07/01/2025");
    COMPARE_BYTES(fileBytes(stick.filePath("123.egm")), expected("vslrep_123.egm"));
    QCOMPARE(s.prompts.calls.size(), 2); // the question, the status line

    // A remembered folder that is gone (the stick mounted elsewhere): asked again.
    QTemporaryDir otherStick;
    WriteIni("Floppy", "Folder", stick.filePath("gone"));
    s.prompts.clear();
    s.prompts.answers << Prompts::Ok << Prompts::Yes; // the container message, the question
    s.prompts.files << otherStick.path();
    s.generate("2024119", "10/04/2024");
    COMPARE_BYTES(fileBytes(otherStick.filePath("2024119.egm")), expected("vslrep_2024119.egm"));
    QCOMPARE(ReadIni("Floppy", "Folder"), QDir::toNativeSeparators(otherStick.path()));
}

void TestVslRep::copyNotWanted_data()
{
    QTest::addColumn<bool>("answerYes");
    QTest::newRow("answered No") << false;
    QTest::newRow("Yes, then the folder dialog cancelled") << true;
}

void TestVslRep::copyNotWanted()
{
    QFETCH(bool, answerYes);
    Screen s;
    if (answerYes)
        s.prompts.answers << Prompts::Yes;
    s.generate("2024117", "05/03/2024");
    QVERIFY(QFile::exists(s.egmFile("2024117.egm")));
    QCOMPARE(s.prompts.messages(), QStringList{question(s.egmFile("2024117.egm"))});
    QCOMPARE(s.prompts.calls.size(), answerYes ? 2 : 1); // the folder dialog
    QCOMPARE(ReadIni("Floppy", "Folder"), QString());
    QCOMPARE(QDir(s.demo.path()).entryList({"*.egm"}), QStringList{"2024117.egm"});
}

void TestVslRep::copyThatFailsNamesTheFolder()
{
    Screen s;
    QTemporaryDir stick;
    // A folder of the file's name on the stick: the copy cannot replace it.
    QVERIFY(QDir(stick.path()).mkdir("2024117.egm"));
    WriteIni("Floppy", "Folder", stick.path());
    s.prompts.answers << Prompts::Yes;
    s.generate("2024117", "05/03/2024");
    QCOMPARE(s.prompts.messages().size(), 2);
    const QString text = s.prompts.messages().last();
    QVERIFY2(text.contains(QDir::toNativeSeparators(stick.path())), qPrintable(text));
    QVERIFY2(text.contains("could not be copied"), qPrintable(text));
    QCOMPARE(s.prompts.calls.last().icon, Prompts::Icon::Critical);
    // The file in the program's folder is there all the same.
    COMPARE_BYTES(fileBytes(s.egmFile("2024117.egm")), expected("vslrep_2024117.egm"));
    QVERIFY(s.form->isVisible());
}

void TestVslRep::emailWritesAndMailsTheFile()
{
    if (!mail_.sink)
        QSKIP(qPrintable(mail_.missing));
    Screen s;
    useSink();
    s.field(2)->clear();
    QTest::keyClicks(s.field(2), "EGM 2024117 of MSC Anna");
    // The e-mail button before any generate: the file is written, then mailed.
    s.email("2024117", "05/03/2024");
    QCOMPARE(s.prompts.messages(), QStringList());
    COMPARE_BYTES(fileBytes(s.egmFile("2024117.egm")), expected("vslrep_2024117.egm"));

    const QList<QJsonObject> mails = mail_.sink->received();
    QCOMPARE(mails.size(), 1);
    const QJsonObject mail = mails.first();
    QCOMPARE(mail.value("rcpt_tos").toArray().size(), 1);
    QCOMPARE(mail.value("rcpt_tos").toArray().first().toString(), QString("customs@port.example"));
    const QJsonObject headers = mail.value("headers").toObject();
    QCOMPARE(headers.value("Subject").toArray().first().toString(),
             QString("EGM 2024117 of MSC Anna"));
    QVERIFY(headers.value("Cc").toArray().isEmpty()); // "CC To." is not used
    const QJsonObject body = mail.value("body").toObject();
    QCOMPARE(SmtpSink::partBytes(mail, body).trimmed(),
             QByteArray("Please find the EGM file attached."));
    const QJsonArray attachments = mail.value("attachments").toArray();
    QCOMPARE(attachments.size(), 1);
    QCOMPARE(attachments.first().toObject().value("filename").toString(), QString("2024117.egm"));
    COMPARE_BYTES(SmtpSink::partBytes(mail, attachments.first().toObject()),
                  expected("vslrep_2024117.egm"));
}

void TestVslRep::nothingIsMailedWhenTheWriteStops_data()
{
    QTest::addColumn<QString>("rotNo");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("message");
    QTest::newRow("invalid date") << "2024117"
                                  << "32/01/2024"
                                  << "Invalid EGM Date...";
    QTest::newRow("no shipping bill") << "55"
                                      << "05/03/2024" << noCargo;
}

void TestVslRep::nothingIsMailedWhenTheWriteStops()
{
    QFETCH(QString, rotNo);
    QFETCH(QString, date);
    QFETCH(QString, message);
    if (!mail_.sink)
        QSKIP(qPrintable(mail_.missing));
    Screen s;
    useSink();
    s.email(rotNo, date);
    QCOMPARE(s.prompts.messages(), QStringList{message});
    QVERIFY(mail_.sink->received().isEmpty());
    QVERIFY(QDir(s.demo.path()).entryList({"*.egm"}).isEmpty());
}

void TestVslRep::checkComesFirst_data()
{
    QTest::addColumn<QString>("rotNo");
    QTest::addColumn<QList<Prompts::Answer>>("answers");
    QTest::addColumn<QString>("checkMessage");
    QTest::addColumn<int>("checkButtons");
    QTest::addColumn<bool>("written");

    QTest::newRow("clean: no word of the check")
        << "9300" << QList<Prompts::Answer>{} << "" << 0 << true;
    QTest::newRow("warnings are listed and the file is written")
        << "9100" << QList<Prompts::Answer>{}
        << "ROT No. 9100: 0 errors, 1 warning.\n\nwarning  SB 5001  SB No. 5001 is also entered "
           "under ROT No. 2024117"
        << int(Prompts::Buttons::Ok) << true;
    const QString error =
        "ROT No. 9200: 1 error, 0 warnings.\n\nerror  SB 92001  container CSQU3054384  check "
        "digit should be 3\n\nWrite the file anyway?";
    QTest::newRow("errors: not answered, no file")
        << "9200" << QList<Prompts::Answer>{} << error << int(Prompts::Buttons::YesNo) << false;
    QTest::newRow("errors: written anyway") << "9200" << QList<Prompts::Answer>{Prompts::Yes}
                                            << error << int(Prompts::Buttons::YesNo) << true;
}

void TestVslRep::checkComesFirst()
{
    QFETCH(QString, rotNo);
    QFETCH(QList<Prompts::Answer>, answers);
    QFETCH(QString, checkMessage);
    QFETCH(int, checkButtons);
    QFETCH(bool, written);

    Screen s(false);
    insertCheckedEgms(*logonState().Conn);
    for (Prompts::Answer a : answers)
        s.prompts.answers.enqueue(a);
    s.generate(rotNo, "05/03/2024");
    const QString path = s.egmFile(rotNo + ".egm");
    QCOMPARE(QFile::exists(path), written);
    QStringList expectedMessages;
    if (!checkMessage.isEmpty())
        expectedMessages << checkMessage;
    if (written)
        expectedMessages << question(path);
    QCOMPARE(s.prompts.messages(), expectedMessages);
    if (!checkMessage.isEmpty())
        QCOMPARE(int(s.prompts.calls.first().buttons), checkButtons);
}

void TestVslRep::noMailWhenTheClerkStopsAtTheCheck()
{
    if (!mail_.sink)
        QSKIP(qPrintable(mail_.missing));
    useSink();
    Screen s(false);
    insertCheckedEgms(*logonState().Conn);
    s.email("9200", "05/03/2024");
    QCOMPARE(s.prompts.messages().size(), 1);
    QVERIFY(s.prompts.messages().first().endsWith("Write the file anyway?"));
    QVERIFY(!QFile::exists(s.egmFile("9200.egm")));
    QVERIFY(mail_.sink->received().isEmpty());
}

QTEST_MAIN(TestVslRep)
#include "tst_vslrep.moc"
