// Generate XML File, driven by keys and clicks, on a demo installation
// holding the shipping bills of OutputsTesting.h. The container file is
// compared byte for byte with a hand-written file; both are read back with
// the reader the receiving installation uses.

#include "AdoXmlReader.h"
#include "DemoFixture.h"
#include "LogonState.h"
#include "OutputsTesting.h"
#include "ScriptedPrompts.h"
#include "Settings.h"
#include "SmtpSink.h"
#include "frmCargoRep.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <memory>

using namespace OutputsTesting;

namespace {

const QString noContainers =
    QStringLiteral("No Container information is available Continue with Cargo only");

/// The XML screen on the sample EGMs.
struct Screen : OutputScreen<frmCargoRep>
{
    Screen()
        : OutputScreen({"agent@line.example", "accounts@agency.example", "XML for the agent",
                        "Cargo and containers attached."})
    {}

    QString cargoFile() const { return demo.file("egmcargo.xml"); }
    QString containFile() const { return demo.file("egmcontain.xml"); }
    QString saved() const
    {
        return "Files " + QDir::toNativeSeparators(cargoFile()) + " AND " +
               QDir::toNativeSeparators(containFile()) + " successfully saved";
    }

    void typeRotNo(const QString& rotNo)
    {
        field(4)->clear();
        field(4)->setFocus();
        QTest::keyClicks(field(4), rotNo);
    }
    void generate(const QString& rotNo)
    {
        typeRotNo(rotNo);
        // Enter walks on; the button is pressed with the mouse.
        QTest::keyClick(field(4), Qt::Key_Return);
        QTest::mouseClick(button("cmdPreview"), Qt::LeftButton);
    }
};

RowTable readBack(const QString& path)
{
    RowTable table;
    AdoXml::Error error;
    if (!AdoXml::readFile(path, &table, &error))
        qWarning("%s (line %d)", qPrintable(error.message), error.line);
    return table;
}

/// One column of every row, as text ("-" for null).
QStringList column(const RowTable& table, const char* name)
{
    QStringList out;
    const int i = table.columnIndex(QLatin1String(name));
    if (i < 0)
        return {QStringLiteral("<no column %1>").arg(QLatin1String(name))};
    for (const RowValues& row : table.rows)
        out << (row[i].isNull()                       ? QStringLiteral("-")
                : row[i].typeId() == QMetaType::QDate ? row[i].toDate().toString(Qt::ISODate)
                : row[i].typeId() == QMetaType::QDateTime
                    ? row[i].toDateTime().date().toString(Qt::ISODate)
                    : row[i].toString());
    return out;
}

QStringList names(const RowTable& table)
{
    QStringList out;
    for (const ColumnInfo& c : table.columns)
        out << c.name;
    return out;
}

const QStringList cargoColumns = {"id",      "egmno",    "egmdt",    "sbno",        "sbdt",
                                  "sbport",  "destport", "gateport", "naturecargo", "volume",
                                  "unitvol", "pkgs",     "linecode"};
const QStringList containColumns = {"autoid", "ref", "containno", "constatus", "subrefno"};

} // namespace

class TestCargoRep : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void screenAsLoaded();
    void keys();
    void focusGoesToRotNoWhenActivated();
    void writesThePair();
    void egmWithoutShippingBills();
    void egmWithoutContainers();
    void secondExportReplacesBothFiles();
    void failedWriteKeepsTheOldPair();
    void databaseFailureIsNamed();
    void emailSendsBothFiles();

private:
    MailCases mail_;
};

void TestCargoRep::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    mail_.start(QFINDTESTDATA("smtp_sink.py"));
}

void TestCargoRep::init()
{
    mail_.clear();
}

void TestCargoRep::screenAsLoaded()
{
    Screen s;
    QCOMPARE(s.form->objectName(), QString("frmCargoRep"));
    QCOMPARE(s.form->windowTitle(), QString("Generate XML File"));
    QCOMPARE(s.form->findChild<QLabel*>("lblHead")->text(), QString("Generate XML File"));
    QVERIFY(!s.form->findChild<QLineEdit*>("txtFields_5"));
    const QList<QPair<int, QString>> captions = {
        {4, "ROT No."}, {0, "Email Addresses"}, {1, "CC To."}, {2, "Subject"}, {3, "Message"}};
    for (const auto& [index, caption] : captions) {
        auto* label = s.form->findChild<QLabel*>(QStringLiteral("lblFields_%1").arg(index));
        QVERIFY2(label, qPrintable(caption));
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->buddy(), s.field(index));
    }
    QCOMPARE(s.field(4)->text(), QString());
    QCOMPARE(s.field(0)->text(), QString("agent@line.example"));
    QCOMPARE(s.field(1)->text(), QString("accounts@agency.example"));
    QCOMPARE(s.field(2)->text(), QString("XML for the agent"));
    QCOMPARE(s.field(3)->text(), QString("Cargo and containers attached."));
    QCOMPARE(s.button("cmdPreview")->text(), QString("Generate XML File on Floppy"));
    QCOMPARE(s.button("cmdEmail")->text(), QString("Email File"));
    QCOMPARE(s.button("cmdExit")->text(), QString("Close"));

    QCOMPARE(QApplication::focusWidget(), s.field(4));
    const QList<QWidget*> order = {
        s.field(0),           s.field(1),         s.field(2), s.field(3), s.button("cmdPreview"),
        s.button("cmdEmail"), s.button("cmdExit")};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestCargoRep::keys()
{
    Screen s;
    QTest::keyClicks(s.field(4), "2024117");
    QTest::keyClick(s.field(4), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), s.field(0));
    // Overtype in the mail fields too.
    s.field(0)->setCursorPosition(0);
    QTest::keyClicks(s.field(0), "AG");
    QCOMPARE(s.field(0)->text(), QString("AGent@line.example"));
    // Enter on a button presses it.
    s.button("cmdPreview")->setFocus();
    QTest::keyClick(s.button("cmdPreview"), Qt::Key_Return);
    QCOMPARE(s.prompts.messages(), QStringList{s.saved()});
    QTest::keyClick(s.field(3), Qt::Key_Escape);
    QVERIFY(!s.form->isVisible());
}

void TestCargoRep::focusGoesToRotNoWhenActivated()
{
    Screen s;
    s.form.reset();
    checkFocusReturnsToRotNo<frmCargoRep>("txtFields_3");
}

void TestCargoRep::writesThePair()
{
    Screen s;
    s.generate("2024117");
    QCOMPARE(s.prompts.messages(), QStringList{s.saved()});
    QCOMPARE(s.prompts.calls.first().buttons, Prompts::Buttons::Ok);

    const QString expected = QFINDTESTDATA("expected/cargorep_egmcontain.xml");
    QVERIFY(!expected.isEmpty());
    COMPARE_BYTES(fileBytes(s.containFile()), fileBytes(expected));

    const RowTable cargo = readBack(s.cargoFile());
    QCOMPARE(names(cargo), cargoColumns);
    QCOMPARE(column(cargo, "id"), (QStringList{"1", "2", "3"}));
    QCOMPARE(column(cargo, "egmno"), (QStringList{"2024117", "2024117", "2024117"}));
    QCOMPARE(column(cargo, "egmdt"), (QStringList{"2024-03-04", "2024-03-04", "2024-03-04"}));
    QCOMPARE(column(cargo, "sbno"), (QStringList{"5001", "5002", "5003"}));
    QCOMPARE(column(cargo, "sbdt"), (QStringList{"2024-03-01", "2024-02-28", "2024-03-02"}));
    QCOMPARE(column(cargo, "destport"), (QStringList{"USNYC1", "AEJEA1", "SGSIN1"}));
    QCOMPARE(column(cargo, "naturecargo"), (QStringList{"C", "CP", "C"}));
    // Nulls stay nulls: absent from their rows, read back as null.
    QCOMPARE(column(cargo, "volume"), (QStringList{"0", "-", "12.5"}));
    QCOMPARE(column(cargo, "unitvol"), (QStringList{"MT", "-", "CBM"}));
    QCOMPARE(column(cargo, "pkgs"), (QStringList{"120", "35", "0"}));
    QCOMPARE(column(cargo, "linecode"), (QStringList{"MAEU", "-", "MAEU"}));
    const QByteArray cargoBytes = fileBytes(s.cargoFile());
    QVERIFY(cargoBytes.contains("rs:basetable='egmcargo'"));
    const QList<QByteArray> rows = cargoBytes.split('\n');
    qsizetype rowElements = 0;
    for (const QByteArray& line : rows) {
        if (!line.startsWith("\t<z:row "))
            continue;
        ++rowElements;
        if (line.contains("id='2'")) {
            QVERIFY(!line.contains("volume="));
            QVERIFY(!line.contains("unitvol="));
        }
    }
    QCOMPARE(rowElements, 3);

    const RowTable containers = readBack(s.containFile());
    QCOMPARE(names(containers), containColumns);
    QVERIFY(containers.columns[0].autoNumber);
    QCOMPARE(column(containers, "autoid"), (QStringList{"101", "102", "105", "106"}));
    QCOMPARE(column(containers, "ref"), (QStringList{"1", "1", "2", "3"}));
    QCOMPARE(column(containers, "constatus"), (QStringList{"FCL", "FCL", "LCL", "-"}));
    QCOMPARE(column(containers, "subrefno"), (QStringList{"0", "0", "-", "2"}));
}

void TestCargoRep::egmWithoutShippingBills()
{
    Screen s;
    s.generate("4711");
    QCOMPARE(s.prompts.messages(), (QStringList{noContainers, s.saved()}));
    QCOMPARE(s.prompts.calls.first().buttons, Prompts::Buttons::Ok);
    const RowTable cargo = readBack(s.cargoFile());
    QCOMPARE(names(cargo), cargoColumns);
    QCOMPARE(cargo.rows.size(), 0);
    const RowTable containers = readBack(s.containFile());
    QCOMPARE(names(containers), containColumns);
    QCOMPARE(containers.rows.size(), 0);
    QVERIFY(fileBytes(s.containFile()).endsWith("<rs:data>\r\n</rs:data>\r\n</xml>"));
}

void TestCargoRep::egmWithoutContainers()
{
    Screen s;
    s.generate("2024119  ");
    QCOMPARE(s.prompts.messages(), (QStringList{noContainers, s.saved()}));
    QCOMPARE(column(readBack(s.cargoFile()), "sbno"), (QStringList{"6001", "6002"}));
    QCOMPARE(readBack(s.containFile()).rows.size(), 0);
}

void TestCargoRep::secondExportReplacesBothFiles()
{
    Screen s;
    s.generate("2024117");
    s.generate("123");
    QCOMPARE(s.prompts.messages(), (QStringList{s.saved(), s.saved()}));
    QCOMPARE(column(readBack(s.cargoFile()), "id"), QStringList{"7"});
    QCOMPARE(column(readBack(s.containFile()), "containno"), QStringList{"HLXU3141592"});
    QCOMPARE(QDir(s.demo.path()).entryList({"*.xml*"}),
             (QStringList{"egmcargo.xml", "egmcontain.xml"}));
}

void TestCargoRep::failedWriteKeepsTheOldPair()
{
    Screen s;
    // The cargo file could be written, the container file cannot: a folder
    // stands in its place. The old cargo file must not be paired anew.
    QVERIFY(writeBytes(s.cargoFile(), "old cargo file"));
    QVERIFY(QDir(s.demo.path()).mkdir("egmcontain.xml"));
    s.generate("2024117");
    QCOMPARE(s.prompts.messages().size(), 1);
    const QString text = s.prompts.messages().first();
    QVERIFY2(text.contains(QDir::toNativeSeparators(s.containFile())), qPrintable(text));
    QCOMPARE(s.prompts.calls.first().icon, Prompts::Icon::Critical);
    QCOMPARE(fileBytes(s.cargoFile()), QByteArray("old cargo file"));
    QCOMPARE(QDir(s.demo.path()).entryList({"egmcargo.xml*"}), QStringList{"egmcargo.xml"});
    QVERIFY(s.form->isVisible());
}

void TestCargoRep::databaseFailureIsNamed()
{
    Screen s;
    logonState().Conn->exec("alter table egmcargo rename to egmcargo_gone");
    s.generate("2024117");
    QCOMPARE(s.prompts.messages().size(), 1);
    QVERIFY2(s.prompts.messages().first().contains("egmcargo"),
             qPrintable(s.prompts.messages().first()));
    QVERIFY(!QFile::exists(s.cargoFile()));
    QVERIFY(!QFile::exists(s.containFile()));
    QVERIFY(s.form->isVisible());
}

void TestCargoRep::emailSendsBothFiles()
{
    if (!mail_.sink)
        QSKIP(qPrintable(mail_.missing));
    Screen s;
    mail_.sendFrom("clerk@agency.example");
    s.typeRotNo("2024117");
    QTest::mouseClick(s.button("cmdEmail"), Qt::LeftButton);
    QCOMPARE(s.prompts.messages(), QStringList());

    const QList<QJsonObject> mails = mail_.sink->received();
    QCOMPARE(mails.size(), 1);
    const QJsonObject mail = mails.first();
    QCOMPARE(mail.value("rcpt_tos").toArray().first().toString(), QString("agent@line.example"));
    QCOMPARE(mail.value("headers").toObject().value("Subject").toArray().first().toString(),
             QString("XML for the agent"));
    QVERIFY(mail.value("headers").toObject().value("Cc").toArray().isEmpty());
    const QJsonArray attachments = mail.value("attachments").toArray();
    QCOMPARE(attachments.size(), 2);
    QCOMPARE(attachments[0].toObject().value("filename").toString(), QString("egmcargo.xml"));
    QCOMPARE(attachments[1].toObject().value("filename").toString(), QString("egmcontain.xml"));
    COMPARE_BYTES(SmtpSink::partBytes(mail, attachments[0].toObject()), fileBytes(s.cargoFile()));
    COMPARE_BYTES(SmtpSink::partBytes(mail, attachments[1].toObject()),
                  fileBytes(QFINDTESTDATA("expected/cargorep_egmcontain.xml")));
}

QTEST_MAIN(TestCargoRep)
#include "tst_cargorep.moc"
