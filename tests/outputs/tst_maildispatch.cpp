// The mail dispatch against a real SMTP server: smtp_sink.py (Python,
// aiosmtpd) runs on loopback, stores what it receives and decodes it with
// Python's own MIME parser, so the test checks what a mail reader would see.

#include "MailDispatch.h"
#include "ScriptedPrompts.h"
#include "Settings.h"
#include "SmtpSink.h"
#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString sinkUser = QStringLiteral("clerk");
const QString sinkPassword = QStringLiteral("s3cret");
const QString clerkAddress = QStringLiteral("clerk@agency.example");
const QString clerkMailbox = QStringLiteral("Tarvex Clerk <clerk@agency.example>");

QStringList strings(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& v : value.toArray())
        list << v.toString();
    return list;
}

QStringList headerValues(const QJsonObject& message, const QString& name)
{
    return strings(message.value(QStringLiteral("headers")).toObject().value(name));
}

/// A loopback port that refuses connections: bound, so no other program
/// takes it meanwhile, but not listening.
class ClosedPort
{
public:
    ClosedPort()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~ClosedPort()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

/// Mail carries CRLF whatever the note had; compare with LF everywhere.
QString withLf(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

class TestMailDispatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void sendsMessage_data();
    void sendsMessage();
    void sendsCopies_data();
    void sendsCopies();
    void refusedRecipientSendsNothing_data();
    void refusedRecipientSendsNothing();
    void failsBeforeSending_data();
    void failsBeforeSending();
    void unreachableServerIsNamed();
    void authentication_data();
    void authentication();
    void encryptedConnection_data();
    void encryptedConnection();
    void settingsFromIni_data();
    void settingsFromIni();
    void mailDispatchReportsOnce_data();
    void mailDispatchReportsOnce();

private:
    MailSettings settingsFor(const SmtpSink& sink) const;
    QString attachment(const QString& name) const { return files_.filePath(name); }
    bool startTlsSinks();

    QString python_;
    QString script_;
    SmtpSink sink_;
    QTemporaryDir files_;
    QByteArray egmFile_;
    QByteArray allBytes_;
    QByteArray cargoXml_;
    QByteArray containXml_;

    QTemporaryDir certificates_;
    QString certificate_;
    QString tlsUnavailable_;
    std::unique_ptr<SmtpSink> startTlsSink_;
    std::unique_ptr<SmtpSink> sslSink_;
};

void TestMailDispatch::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    script_ = QFINDTESTDATA("smtp_sink.py");
    QVERIFY2(!script_.isEmpty(), "smtp_sink.py not found next to the test source");
    python_ = SmtpSink::findPython();
    if (python_.isEmpty())
        QSKIP("No python3 with the aiosmtpd module (Debian: python3-aiosmtpd); the mail tests "
              "need it for their SMTP server.");
    QVERIFY2(sink_.start(
                 python_, script_,
                 {QStringLiteral("--user"), sinkUser, QStringLiteral("--password"), sinkPassword}),
             "the SMTP sink did not start");

    // A flat file: group separators and LF line ends, as written for Customs.
    const QByteArray gs(1, '\x1d');
    egmFile_ = QByteArrayList{"HREC", "ZZ", "INIXY1", "2024117", "01012024"}.join(gs) +
               "\n<vesinfo>\n" + QByteArrayList{"F", "INIXY1", "2024117", "MSC ANNA"}.join(gs) +
               "\n.\n<END-vesinfo>\n";
    for (int i = 0; i < 256; ++i)
        allBytes_ += char(i);
    allBytes_ += "\r\n.\r\n" + allBytes_;
    cargoXml_ = "<?xml version=\"1.0\"?>\n<egmcargo><row id=\"1\" sbno=\"4711\"/></egmcargo>\n";
    containXml_ = "<?xml version=\"1.0\"?>\n<egmcontain><row ref=\"1\" "
                  "containno=\"MSCU1234567\"/></egmcontain>\n";
    const QList<QPair<QString, QByteArray>> fixtures = {
        {QStringLiteral("2024117.egm"), egmFile_},
        {QStringLiteral("all-bytes.bin"), allBytes_},
        {QStringLiteral("egmcargo.xml"), cargoXml_},
        {QStringLiteral("egmcontain.xml"), containXml_},
    };
    for (const auto& [name, bytes] : fixtures) {
        QFile f(attachment(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    QVERIFY(QDir(files_.path()).mkdir(QStringLiteral("a-folder")));
}

void TestMailDispatch::init()
{
    sink_.clear();
}

MailSettings TestMailDispatch::settingsFor(const SmtpSink& sink) const
{
    MailSettings s;
    s.server = QStringLiteral("127.0.0.1");
    s.port = sink.port();
    s.from = clerkMailbox;
    s.timeoutSeconds = 60;
    return s;
}

void TestMailDispatch::sendsMessage_data()
{
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("recipients");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("flat file to one address")
        << "customs@port.example" << QStringList{"customs@port.example"} << "EGM 2024117"
        << "Please find the EGM file attached.\n"
        << QStringList{"2024117.egm"};
    QTest::newRow("XML pair, addresses separated by ; and ,")
        << " agent@line.example ;ops@line.example, ;"
        << QStringList{"agent@line.example", "ops@line.example"} << "XML for ROT 2024117"
        << "Cargo first,\ncontainers second." << QStringList{"egmcargo.xml", "egmcontain.xml"};
    QTest::newRow("binary file before a text file, recipient with a display name")
        << "Customs House <customs@port.example>" << QStringList{"customs@port.example"} << "Files"
        << "Two files." << QStringList{"all-bytes.bin", "2024117.egm"};
    QTest::newRow("non-ASCII subject, note with lines SMTP treats specially")
        << "customs@port.example" << QStringList{"customs@port.example"}
        << QString::fromUtf8("Sendung für das Zollamt – Ölhafen ✓ ROT 2024117, "
                             "Schiff «MSC Anna», Ladeliste geprüft")
        << QString::fromUtf8("First line\r\n.\n..two dots\rFrom the agent\n"
                             "A long line with Ümlauts that runs past seventy-six "
                             "characters, so the encoder has to break it softly. "
                             "Trailing blank \nEnd")
        << QStringList{};
    QTest::newRow("empty subject and note")
        << "customs@port.example" << QStringList{"customs@port.example"} << ""
        << "" << QStringList{"2024117.egm"};
}

void TestMailDispatch::sendsMessage()
{
    QFETCH(QString, to);
    QFETCH(QStringList, recipients);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    QFETCH(QStringList, names);

    MailMessage message{to, subject, body, {}};
    for (const QString& name : names)
        message.attachments << attachment(name);
    const MailResult result = sendMail(message, settingsFor(sink_));
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(result.error.isEmpty());

    const QList<QJsonObject> received = sink_.received();
    QCOMPARE(received.size(), 1);
    const QJsonObject& mail = received.first();
    QCOMPARE(strings(mail.value("defects")), QStringList());
    QCOMPARE(mail.value("mail_from").toString(), clerkAddress);
    QCOMPARE(strings(mail.value("rcpt_tos")), recipients);
    QCOMPARE(mail.value("authenticated").toBool(), false);

    QCOMPARE(headerValues(mail, "From"), QStringList{clerkMailbox});
    QCOMPARE(headerValues(mail, "To"), QStringList{recipients.join(", ")});
    QCOMPARE(headerValues(mail, "Subject"), QStringList{subject});
    QCOMPARE(headerValues(mail, "Date").size(), 1);
    QVERIFY(mail.value("date_valid").toBool());
    const QStringList ids = headerValues(mail, "Message-ID");
    QCOMPARE(ids.size(), 1);
    QVERIFY2(QRegularExpression("^<[^<>@\\s]+@agency\\.example>$").match(ids.first()).hasMatch(),
             qPrintable(ids.first()));
    QCOMPARE(mail.value("content_type").toString(), "multipart/mixed");

    const QJsonObject note = mail.value("body").toObject();
    QCOMPARE(note.value("content_type").toString(), "text/plain");
    QCOMPARE(note.value("charset").toString(), "utf-8");
    const QByteArray noteBytes = SmtpSink::partBytes(mail, note);
    QCOMPARE(withLf(QString::fromUtf8(noteBytes)), withLf(body));
    // Text parts break lines with CRLF, whatever the note typed.
    QVERIFY2(!QByteArray(noteBytes).replace("\r\n", "").contains('\r') &&
                 !QByteArray(noteBytes).replace("\r\n", "").contains('\n'),
             noteBytes.constData());

    const QJsonArray attachments = mail.value("attachments").toArray();
    QCOMPARE(attachments.size(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        const QJsonObject part = attachments.at(i).toObject();
        QCOMPARE(part.value("filename").toString(), names.at(i));
        QCOMPARE(part.value("content_type").toString(), "application/octet-stream");
        QCOMPARE(part.value("encoding").toString(), "base64");
        QCOMPARE(part.value("disposition").toString(), "attachment");
        QFile original(attachment(names.at(i)));
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(SmtpSink::partBytes(mail, part), original.readAll());
    }
}

void TestMailDispatch::sendsCopies_data()
{
    QTest::addColumn<QString>("cc");
    QTest::addColumn<QStringList>("copies"); ///< empty: no Cc header
    QTest::addColumn<QString>("error");      ///< "" when the message is sent

    QTest::newRow("no copy") << "" << QStringList() << "";
    QTest::newRow("blank copy field") << "  ; " << QStringList() << "";
    QTest::newRow("one copy") << "accounts@agency.example" << QStringList{"accounts@agency.example"}
                              << "";
    QTest::newRow("two copies, one with a display name")
        << "Accounts <accounts@agency.example>, ops@agency.example"
        << QStringList{"accounts@agency.example", "ops@agency.example"} << "";
    QTest::newRow("a copy that is no address")
        << "accounts@agency.example; the accounts desk" << QStringList()
        << "The copy recipient \"the accounts desk\" is not an e-mail address.";
    QTest::newRow("a refused copy sends nothing")
        << "refused@agency.example" << QStringList() << "refused@agency.example";
}

void TestMailDispatch::sendsCopies()
{
    QFETCH(QString, cc);
    QFETCH(QStringList, copies);
    QFETCH(QString, error);

    MailMessage message{"customs@port.example", "Check-list", "note", {attachment("2024117.egm")}};
    message.cc = cc;
    const MailResult result = sendMail(message, settingsFor(sink_));
    if (!error.isEmpty()) {
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(error), qPrintable(result.error));
        QCOMPARE(sink_.received().size(), 0);
        return;
    }
    QVERIFY2(result.ok, qPrintable(result.error));
    const QList<QJsonObject> received = sink_.received();
    QCOMPARE(received.size(), 1);
    const QJsonObject& mail = received.first();
    QCOMPARE(strings(mail.value("rcpt_tos")), QStringList{"customs@port.example"} + copies);
    QCOMPARE(headerValues(mail, "To"), QStringList{"customs@port.example"});
    QCOMPARE(headerValues(mail, "Cc"),
             copies.isEmpty() ? QStringList() : QStringList{copies.join(", ")});
}

void TestMailDispatch::refusedRecipientSendsNothing_data()
{
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("refused");

    QTest::newRow("the only recipient") << "refused@port.example"
                                        << "refused@port.example";
    QTest::newRow("the second of two") << "customs@port.example; refused.agent@line.example"
                                       << "refused.agent@line.example";
}

void TestMailDispatch::refusedRecipientSendsNothing()
{
    QFETCH(QString, to);
    QFETCH(QString, refused);

    const MailResult result =
        sendMail({to, "EGM", "note", {attachment("2024117.egm")}}, settingsFor(sink_));
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains("550 5.1.1 Recipient address rejected"),
             qPrintable(result.error));
    QVERIFY2(result.error.contains(refused), qPrintable(result.error));
    QCOMPARE(sink_.received().size(), 0);
}

void TestMailDispatch::failsBeforeSending_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("attachments");
    QTest::addColumn<QStringList>("expected");

    const QString to = "customs@port.example";
    const QStringList egm = {attachment("2024117.egm")};
    QTest::newRow("no server") << "" << clerkMailbox << to << egm
                               << QStringList{"not set up", "Server"};
    QTest::newRow("no sender") << "127.0.0.1"
                               << "" << to << egm << QStringList{"not set up", "From"};
    QTest::newRow("sender not an address")
        << "127.0.0.1"
        << "clerk at agency" << to << egm << QStringList{"\"clerk at agency\""};
    QTest::newRow("no recipient") << "127.0.0.1" << clerkMailbox << " ; , " << egm
                                  << QStringList{"No recipient"};
    QTest::newRow("a recipient that is no address")
        << "127.0.0.1" << clerkMailbox << "customs@port.example; Customs House" << egm
        << QStringList{"\"Customs House\""};
    const QString missing = attachment("2024118.egm");
    QTest::newRow("second attachment missing")
        << "127.0.0.1" << clerkMailbox << to << QStringList{attachment("egmcargo.xml"), missing}
        << QStringList{QDir::toNativeSeparators(missing), "does not exist"};
    QTest::newRow("attachment is a folder")
        << "127.0.0.1" << clerkMailbox << to << QStringList{attachment("a-folder")}
        << QStringList{QDir::toNativeSeparators(attachment("a-folder")), "not a file"};
}

void TestMailDispatch::failsBeforeSending()
{
    QFETCH(QString, server);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, attachments);
    QFETCH(QStringList, expected);

    MailSettings settings = settingsFor(sink_);
    settings.server = server;
    settings.from = from;
    const MailResult result = sendMail({to, "EGM", "note", attachments}, settings);
    QVERIFY(!result.ok);
    for (const QString& fragment : expected)
        QVERIFY2(result.error.contains(fragment), qPrintable(result.error));
    QCOMPARE(sink_.received().size(), 0);
}

void TestMailDispatch::unreachableServerIsNamed()
{
    const ClosedPort closed;
    QVERIFY(closed.port() > 0);
    MailSettings settings = settingsFor(sink_);
    settings.port = closed.port();
    const MailResult result =
        sendMail({"customs@port.example", "EGM", "note", {attachment("2024117.egm")}}, settings);
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains("Cannot connect to the mail server 127.0.0.1 on port " +
                                   QString::number(closed.port())),
             qPrintable(result.error));
}

void TestMailDispatch::authentication_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("sent");

    QTest::newRow("right password") << sinkUser << sinkPassword << true;
    QTest::newRow("wrong password") << sinkUser << "secret" << false;
    QTest::newRow("unknown user") << "nobody" << sinkPassword << false;
}

void TestMailDispatch::authentication()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, sent);

    MailSettings settings = settingsFor(sink_);
    settings.user = user;
    settings.password = password;
    const MailResult result = sendMail({"customs@port.example", "EGM", "note", {}}, settings);
    QCOMPARE(result.ok, sent);
    const QList<QJsonObject> received = sink_.received();
    QCOMPARE(received.size(), sent ? 1 : 0);
    if (sent) {
        QVERIFY(received.first().value("authenticated").toBool());
    } else {
        QVERIFY2(result.error.contains("did not accept the user name or password") &&
                     result.error.contains("535"),
                 qPrintable(result.error));
        QVERIFY2(!result.error.contains(password), "the password must not be shown");
    }
}

bool TestMailDispatch::startTlsSinks()
{
    if (startTlsSink_)
        return true;
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty()) {
        tlsUnavailable_ = QStringLiteral("no openssl command to make a test certificate");
        return false;
    }
    certificate_ = certificates_.filePath(QStringLiteral("sink.pem"));
    const QString key = certificates_.filePath(QStringLiteral("sink.key"));
    if (!SmtpSink::runs(openssl,
                        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                         "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
                         "-keyout", key, "-out", certificate_})) {
        tlsUnavailable_ = QStringLiteral("openssl could not make a test certificate");
        return false;
    }
    const QStringList common = {"--cert", certificate_, "--key",      key,
                                "--user", sinkUser,     "--password", sinkPassword};
    auto startTls = std::make_unique<SmtpSink>();
    auto ssl = std::make_unique<SmtpSink>();
    if (!startTls->start(python_, script_, QStringList{"--mode", "starttls"} + common) ||
        !ssl->start(python_, script_, QStringList{"--mode", "ssl"} + common)) {
        tlsUnavailable_ = QStringLiteral("the SMTP sink could not start with TLS");
        return false;
    }
    startTlsSink_ = std::move(startTls);
    sslSink_ = std::move(ssl);
    return true;
}

void TestMailDispatch::encryptedConnection_data()
{
    QTest::addColumn<QString>("sink");
    QTest::addColumn<int>("security");
    QTest::addColumn<bool>("verifyPeer");
    QTest::addColumn<bool>("trustSinkCertificate");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("failure"); // "" when the mail is to arrive

    const int startTls = int(MailSettings::Security::StartTls);
    const int ssl = int(MailSettings::Security::SslTls);
    QTest::newRow("STARTTLS, certificate trusted through CaFile")
        << "starttls" << startTls << true << true << ""
        << "";
    QTest::newRow("STARTTLS with user and password")
        << "starttls" << startTls << true << true << sinkUser << "";
    QTest::newRow("SSL, certificate trusted through CaFile") << "ssl" << ssl << true << true << ""
                                                             << "";
    QTest::newRow("SSL, certificate check off") << "ssl" << ssl << false << false << ""
                                                << "";
    QTest::newRow("STARTTLS, untrusted certificate")
        << "starttls" << startTls << true << false << ""
        << "certificate of the mail server";
    QTest::newRow("SSL, untrusted certificate") << "ssl" << ssl << true << false << ""
                                                << "certificate of the mail server";
    QTest::newRow("STARTTLS asked of a server without it")
        << "plain" << startTls << true << true << ""
        << "STARTTLS";
}

void TestMailDispatch::encryptedConnection()
{
    QFETCH(QString, sink);
    QFETCH(int, security);
    QFETCH(bool, verifyPeer);
    QFETCH(bool, trustSinkCertificate);
    QFETCH(QString, user);
    QFETCH(QString, failure);

    if (!startTlsSinks())
        QSKIP(qPrintable(tlsUnavailable_));
    SmtpSink& server = sink == "plain" ? sink_ : sink == "ssl" ? *sslSink_ : *startTlsSink_;
    MailSettings settings = settingsFor(server);
    settings.security = MailSettings::Security(security);
    settings.verifyPeer = verifyPeer;
    if (trustSinkCertificate)
        settings.caFile = certificate_;
    settings.user = user;
    settings.password = user.isEmpty() ? QString() : sinkPassword;
    server.clear();

    const MailResult result =
        sendMail({"customs@port.example", "EGM", "note", {attachment("2024117.egm")}}, settings);
    const QList<QJsonObject> received = server.received();
    if (failure.isEmpty()) {
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(received.size(), 1);
        QVERIFY(received.first().value("tls").toBool());
        QCOMPARE(received.first().value("authenticated").toBool(), !user.isEmpty());
        const QJsonObject part = received.first().value("attachments").toArray().at(0).toObject();
        QCOMPARE(SmtpSink::partBytes(received.first(), part), egmFile_);
    } else {
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(failure), qPrintable(result.error));
        QCOMPARE(received.size(), 0);
    }
}

void TestMailDispatch::settingsFromIni_data()
{
    QTest::addColumn<QStringList>("ini"); // key=value lines of [Mail]
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("security");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("verifyPeer");
    QTest::addColumn<QString>("caFile"); // relative to the program's folder
    QTest::addColumn<int>("timeout");
    QTest::addColumn<QString>("invalid"); // a fragment of the complaint, "" when usable

    const int none = int(MailSettings::Security::None);
    const int startTls = int(MailSettings::Security::StartTls);
    const int ssl = int(MailSettings::Security::SslTls);
    QTest::newRow("nothing set") << QStringList{} << "" << 25 << none << ""
                                 << ""
                                 << "" << true << "" << 60 << "";
    QTest::newRow("everything set")
        << QStringList{"Server=mail.agency.example",
                       "Port=2525",
                       "Security=StartTLS",
                       "User=clerk",
                       "Password=s3cret",
                       "From=Clerk <clerk@agency.example>",
                       "VerifyPeer=0",
                       "CaFile=certs/agency.pem",
                       "Timeout=15"}
        << "mail.agency.example" << 2525 << startTls << "clerk"
        << "s3cret"
        << "Clerk <clerk@agency.example>" << false << "certs/agency.pem" << 15 << "";
    QTest::newRow("STARTTLS without a port means 587")
        << QStringList{"Server=m", "Security=starttls"} << "m" << 587 << startTls << ""
        << ""
        << "" << true << "" << 60 << "";
    QTest::newRow("SSL without a port means 465")
        << QStringList{"Server=m", "Security=Ssl"} << "m" << 465 << ssl << ""
        << ""
        << "" << true << "" << 60 << "";
    QTest::newRow("None with a port")
        << QStringList{"Security=NONE", "Port=26", "VerifyPeer=1"} << "" << 26 << none << ""
        << ""
        << "" << true << "" << 60 << "";
    QTest::newRow("unknown security") << QStringList{"Security=TLS1.3"} << "" << 25 << none << ""
                                      << ""
                                      << "" << true << "" << 60 << "\"TLS1.3\"";
    QTest::newRow("port not a number") << QStringList{"Port=smtp"} << "" << 25 << none << ""
                                       << ""
                                       << "" << true << "" << 60 << "Port \"smtp\"";
    QTest::newRow("port out of range") << QStringList{"Port=70000"} << "" << 25 << none << ""
                                       << ""
                                       << "" << true << "" << 60 << "Port \"70000\"";
    QTest::newRow("VerifyPeer neither 0 nor 1")
        << QStringList{"VerifyPeer=maybe"} << "" << 25 << none << ""
        << ""
        << "" << true << "" << 60 << "VerifyPeer \"maybe\"";
    QTest::newRow("timeout zero") << QStringList{"Timeout=0"} << "" << 25 << none << ""
                                  << ""
                                  << "" << true << "" << 60 << "Timeout \"0\"";
}

void TestMailDispatch::settingsFromIni()
{
    QFETCH(QStringList, ini);
    QFETCH(QString, server);
    QFETCH(int, port);
    QFETCH(int, security);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, from);
    QFETCH(bool, verifyPeer);
    QFETCH(QString, caFile);
    QFETCH(int, timeout);
    QFETCH(QString, invalid);

    const TestHome home;
    for (const QString& line : ini)
        QVERIFY(WriteIni("Mail", line.section('=', 0, 0), line.section('=', 1)));
    const MailSettings s = MailSettings::fromIni();
    QCOMPARE(s.server, server);
    QCOMPARE(s.port, port);
    QCOMPARE(int(s.security), security);
    QCOMPARE(s.user, user);
    QCOMPARE(s.password, password);
    QCOMPARE(s.from, from);
    QCOMPARE(s.verifyPeer, verifyPeer);
    QCOMPARE(s.caFile, caFile.isEmpty() ? QString() : home.file(caFile));
    QCOMPARE(s.timeoutSeconds, timeout);
    if (invalid.isEmpty()) {
        QCOMPARE(s.invalid, QString());
    } else {
        QVERIFY2(s.invalid.contains(invalid), qPrintable(s.invalid));
        // Unusable settings never reach the server.
        const MailResult result = sendMail({"customs@port.example", "EGM", "", {}}, s);
        QVERIFY(!result.ok);
        QCOMPARE(result.error, s.invalid);
    }
}

void TestMailDispatch::mailDispatchReportsOnce_data()
{
    QTest::addColumn<QStringList>("ini"); // key=value lines of [Mail]; SINK = the sink's port
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("failure"); // "" when the mail is to be sent

    const QStringList working = {"Server=127.0.0.1", "Port=SINK", "From=" + clerkMailbox};
    QTest::newRow("sent") << working << "customs@port.example"
                          << "";
    QTest::newRow("mail not set up") << QStringList{} << "customs@port.example"
                                     << "not set up";
    QTest::newRow("refused recipient") << working << "refused@port.example"
                                       << "550 5.1.1 Recipient address rejected";
    QTest::newRow("unusable setting")
        << working + QStringList{"Security=TLS1.3"} << "customs@port.example"
        << "Security";
}

void TestMailDispatch::mailDispatchReportsOnce()
{
    QFETCH(QStringList, ini);
    QFETCH(QString, to);
    QFETCH(QString, failure);

    const TestHome home;
    ScriptedPrompts scripted;
    for (QString line : ini) {
        line.replace("SINK", QString::number(sink_.port()));
        QVERIFY(WriteIni("Mail", line.section('=', 0, 0), line.section('=', 1)));
    }
    const bool sent = MailDispatch({to, "EGM 2024117", "note", {attachment("2024117.egm")}});
    QCOMPARE(sent, failure.isEmpty());
    QCOMPARE(sink_.received().size(), sent ? 1 : 0);
    if (sent) {
        QCOMPARE(scripted.calls.size(), 0);
    } else {
        QCOMPARE(scripted.calls.size(), 1);
        const ScriptedPrompts::Call& call = scripted.calls.first();
        QCOMPARE(call.kind, "message");
        QCOMPARE(call.buttons, Prompts::Buttons::Ok);
        QVERIFY2(call.text.contains(failure), qPrintable(call.text));
    }
}

QTEST_GUILESS_MAIN(TestMailDispatch)
#include "tst_maildispatch.moc"
