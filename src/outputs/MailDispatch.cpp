#include "MailDispatch.h"

#include "AppPaths.h"
#include "Prompts.h"
#include "Secrets.h"
#include "Settings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QUuid>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <curl/curl.h>
#include <optional>

namespace {

bool curlReady()
{
    // curl_global_init is not thread-safe on every platform; a function-local
    // static runs it exactly once, on the first send.
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

struct Mailbox
{
    QString name; ///< display name, may be empty
    QString address;
};

bool looksLikeAddress(const QString& address)
{
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    if (at <= 0 || at == address.size() - 1)
        return false;
    for (const QChar c : address) {
        if (c.isSpace() || c.unicode() < 0x20 || QStringLiteral("<>,;\"").contains(c))
            return false;
    }
    return true;
}

/// "name@host" or "Display Name <name@host>".
std::optional<Mailbox> parseMailbox(const QString& text)
{
    const QString t = text.trimmed();
    Mailbox box;
    const qsizetype open = t.lastIndexOf(QLatin1Char('<'));
    if (open >= 0) {
        const qsizetype close = t.indexOf(QLatin1Char('>'), open);
        if (close < 0 || !t.mid(close + 1).trimmed().isEmpty())
            return std::nullopt;
        box.address = t.mid(open + 1, close - open - 1).trimmed();
        box.name = t.left(open).trimmed();
        if (box.name.size() >= 2 && box.name.startsWith(QLatin1Char('"')) &&
            box.name.endsWith(QLatin1Char('"')))
            box.name = box.name.mid(1, box.name.size() - 2);
    } else {
        box.address = t;
    }
    if (!looksLikeAddress(box.address))
        return std::nullopt;
    return box;
}

/// Printable ASCII that no reader could take for an encoded word.
bool isPlainHeaderText(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    }
    return !text.contains(QLatin1String("=?"));
}

/// RFC 2047 UTF-8 base64 words, folded onto continuation lines. A word may be
/// at most 75 characters, which leaves room for 45 bytes of UTF-8; a
/// character is never split between two words.
QByteArray encodedWords(const QString& text)
{
    QByteArray out;
    QByteArray chunk;
    const auto flush = [&] {
        if (chunk.isEmpty())
            return;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    for (const char32_t cp : text.toUcs4()) {
        const QByteArray bytes = QString::fromUcs4(&cp, 1).toUtf8();
        if (chunk.size() + bytes.size() > 45)
            flush();
        chunk += bytes;
    }
    flush();
    return out;
}

QByteArray headerText(QString text)
{
    // A line break typed into a field must not start a header of its own.
    for (QChar& c : text) {
        if (c.unicode() < 0x20)
            c = QLatin1Char(' ');
    }
    // 998 is the hard limit of a header line; encoded words fold.
    if (isPlainHeaderText(text) && text.size() < 900)
        return text.toLatin1();
    return encodedWords(text);
}

QByteArray mailboxHeader(const Mailbox& box)
{
    if (box.name.isEmpty())
        return box.address.toUtf8();
    QByteArray name;
    if (isPlainHeaderText(box.name)) {
        QString quoted = box.name;
        quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
        quoted.replace(QLatin1String("\""), QLatin1String("\\\""));
        name = '"' + quoted.toLatin1() + '"';
    } else {
        name = headerText(box.name);
    }
    return name + " <" + box.address.toUtf8() + '>';
}

QByteArray rfc5322Date(const QDateTime& when)
{
    const int offset = when.offsetFromUtc() / 60;
    const int minutes = std::abs(offset);
    // QLocale::c() for the English day and month names whatever the user's locale.
    return QLocale::c().toString(when, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss")).toLatin1() +
           QByteArray(offset < 0 ? " -" : " +") +
           QByteArray::number(minutes / 60).rightJustified(2, '0') +
           QByteArray::number(minutes % 60).rightJustified(2, '0');
}

/// The note text with CRLF line ends, as mail requires; the quoted-printable
/// encoder would otherwise turn a bare LF into "=0A".
QByteArray bodyText(const QString& body)
{
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return text.toUtf8();
}

/// What the server said, kept from libcurl's protocol trace: libcurl reports
/// a refused recipient only as an error code, and the user needs the
/// server's own words ("550 5.1.1 ... Recipient address rejected").
struct Transcript
{
    QByteArray lastCommand;  ///< the last command sent, credentials left out
    QByteArray errorReply;   ///< the last 4xx/5xx reply, continuation lines joined
    QByteArray errorCommand; ///< the command that reply answered
    bool continuing = false;

    void sent(const QByteArray& line)
    {
        const qsizetype blank = line.indexOf(' ');
        const QByteArray verb = (blank < 0 ? line : line.left(blank)).toUpper();
        // Lines not starting with a command are SASL exchanges: never keep those.
        static const QList<QByteArray> commands = {"EHLO", "HELO", "STARTTLS", "MAIL",
                                                   "RCPT", "DATA", "RSET",     "QUIT"};
        if (verb == "AUTH")
            lastCommand = "AUTH";
        else if (commands.contains(verb))
            lastCommand = line;
    }

    void received(const QByteArray& line)
    {
        if (line.size() < 3 || !std::isdigit(uchar(line[0])) || !std::isdigit(uchar(line[1])) ||
            !std::isdigit(uchar(line[2])))
            return;
        const bool more = line.size() > 3 && line[3] == '-';
        const bool isError = line[0] == '4' || line[0] == '5';
        if (isError) {
            if (continuing && errorReply.startsWith(line.left(3)))
                errorReply += ' ' + line.mid(4).trimmed();
            else
                errorReply = line;
            errorCommand = lastCommand;
        } else if (!lastCommand.startsWith("QUIT")) {
            // An earlier refusal that the conversation got past is no cause.
            errorReply.clear();
            errorCommand.clear();
        }
        continuing = isError && more;
    }
};

int onTrace(CURL*, curl_infotype type, char* data, size_t size, void* user)
{
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return 0;
    auto* transcript = static_cast<Transcript*>(user);
    const QList<QByteArray> lines = QByteArray(data, qsizetype(size)).split('\n');
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (type == CURLINFO_HEADER_OUT)
            transcript->sent(line);
        else
            transcript->received(line);
    }
    return 0;
}

/// The libcurl objects of one send. The easy handle goes first: it still
/// refers to the mime tree and the lists until it is cleaned up.
struct CurlSend
{
    CURL* easy = curl_easy_init();
    curl_mime* mime = nullptr;
    curl_slist* recipients = nullptr;
    curl_slist* headers = nullptr;

    CurlSend() = default;
    CurlSend(const CurlSend&) = delete;
    CurlSend& operator=(const CurlSend&) = delete;
    ~CurlSend()
    {
        curl_easy_cleanup(easy);
        curl_mime_free(mime);
        curl_slist_free_all(recipients);
        curl_slist_free_all(headers);
    }
};

QString betweenAngles(const QByteArray& command)
{
    const qsizetype open = command.indexOf('<');
    const qsizetype close = command.indexOf('>', open);
    if (open < 0 || close < 0)
        return QString::fromUtf8(command);
    return QString::fromUtf8(command.mid(open + 1, close - open - 1));
}

QString failureText(CURLcode code, const QString& curlMessage, const Transcript& transcript,
                    const MailSettings& settings, int timeoutSeconds)
{
    const QString server = settings.server.trimmed();
    const QString port = QString::number(settings.port);
    const QString reply = QString::fromUtf8(transcript.errorReply);
    const QByteArray& command = transcript.errorCommand;

    if (!reply.isEmpty()) {
        if (command.startsWith("RCPT"))
            return QStringLiteral("The mail server %1 refused the recipient %2: %3 (%4).")
                .arg(server, betweenAngles(command), reply, curlMessage);
        if (command.startsWith("MAIL"))
            return QStringLiteral("The mail server %1 refused the sender address %2: %3 (%4).")
                .arg(server, betweenAngles(command), reply, curlMessage);
        if (command.startsWith("AUTH") || code == CURLE_LOGIN_DENIED)
            return QStringLiteral(
                       "The mail server %1 did not accept the user name or password: %2 (%3).")
                .arg(server, reply, curlMessage);
        if (command.startsWith("STARTTLS") || code == CURLE_USE_SSL_FAILED)
            return QStringLiteral("The mail server %1 does not offer an encrypted connection "
                                  "(STARTTLS): %2 (%3).")
                .arg(server, reply, curlMessage);
    }

    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("The mail server %1 cannot be found (%2).").arg(server, curlMessage);
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("Cannot connect to the mail server %1 on port %2 (%3).")
            .arg(server, port, curlMessage);
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral(
                   "The mail server %1 on port %2 did not answer within %3 seconds (%4).")
            .arg(server, port, QString::number(timeoutSeconds), curlMessage);
    case CURLE_LOGIN_DENIED:
        return QStringLiteral("The mail server %1 did not accept the user name or password (%2).")
            .arg(server, curlMessage);
    case CURLE_USE_SSL_FAILED:
        return QStringLiteral(
                   "The mail server %1 does not offer an encrypted connection (STARTTLS) (%2).")
            .arg(server, curlMessage);
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        return QStringLiteral("The certificate of the mail server %1 cannot be trusted (%2). "
                              "Tarvex.ini, section [Mail]: CaFile names a certificate to "
                              "trust, VerifyPeer=0 turns the check off.")
            .arg(server, curlMessage);
    case CURLE_SSL_CONNECT_ERROR:
        return QStringLiteral("The encrypted connection to the mail server %1 on port %2 "
                              "failed (%3).")
            .arg(server, port, curlMessage);
    default:
        break;
    }
    QString text = QStringLiteral("The mail could not be sent through %1 on port %2 (%3)")
                       .arg(server, port, curlMessage);
    if (!reply.isEmpty())
        text += QStringLiteral("; the server replied: %1").arg(reply);
    return text + QLatin1Char('.');
}

MailResult failure(const QString& why)
{
    return MailResult{false, why};
}

} // namespace

MailSettings MailSettings::fromIni()
{
    const auto value = [](const char* key) {
        return ReadIni(QStringLiteral("Mail"), QLatin1String(key));
    };
    MailSettings s;
    QStringList problems;

    s.server = value("Server");
    const QString security = value("Security");
    const QString securityKey = security.toLower();
    if (securityKey.isEmpty() || securityKey == QLatin1String("none"))
        s.security = Security::None;
    else if (securityKey == QLatin1String("starttls"))
        s.security = Security::StartTls;
    else if (securityKey == QLatin1String("ssl") || securityKey == QLatin1String("ssl/tls") ||
             securityKey == QLatin1String("smtps"))
        s.security = Security::SslTls;
    else
        problems
            << QStringLiteral("Security \"%1\" is not one of None, StartTLS or SSL").arg(security);

    const QString port = value("Port");
    if (port.isEmpty()) {
        s.port = s.security == Security::SslTls ? 465 : s.security == Security::StartTls ? 587 : 25;
    } else {
        bool ok = false;
        const int number = port.toInt(&ok);
        if (ok && number >= 1 && number <= 65535)
            s.port = number;
        else
            problems << QStringLiteral("Port \"%1\" is not a port number").arg(port);
    }

    s.user = value("User");
    s.password = Secrets::mailPassword(); // the keyring's, once the logon moved it there
    s.from = value("From");

    const QString verify = value("VerifyPeer");
    const QString verifyKey = verify.toLower();
    static const QStringList yes = {QStringLiteral("1"), QStringLiteral("yes"),
                                    QStringLiteral("true"), QStringLiteral("on")};
    static const QStringList no = {QStringLiteral("0"), QStringLiteral("no"),
                                   QStringLiteral("false"), QStringLiteral("off")};
    if (verifyKey.isEmpty() || yes.contains(verifyKey))
        s.verifyPeer = true;
    else if (no.contains(verifyKey))
        s.verifyPeer = false;
    else
        problems << QStringLiteral("VerifyPeer \"%1\" is neither 0 nor 1").arg(verify);

    const QString caFile = value("CaFile");
    if (!caFile.isEmpty())
        s.caFile = QDir(AppPaths::home()).absoluteFilePath(QDir::fromNativeSeparators(caFile));

    const QString timeout = value("Timeout");
    if (!timeout.isEmpty()) {
        bool ok = false;
        const int seconds = timeout.toInt(&ok);
        if (ok && seconds > 0)
            s.timeoutSeconds = seconds;
        else
            problems << QStringLiteral("Timeout \"%1\" is not a number of seconds").arg(timeout);
    }

    if (!problems.isEmpty())
        s.invalid = QStringLiteral("The mail settings cannot be used (Tarvex.ini, section "
                                   "[Mail]): %1.")
                        .arg(problems.join(QLatin1String("; ")));
    return s;
}

MailResult sendMail(const MailMessage& message, const MailSettings& settings)
{
    // Sign on: the session needs a server and a sender.
    if (!settings.invalid.isEmpty())
        return failure(settings.invalid);
    const QString server = settings.server.trimmed();
    if (server.isEmpty())
        return failure(QStringLiteral("Mail is not set up: Tarvex.ini names no mail server "
                                      "(section [Mail], key Server)."));
    if (settings.port < 1 || settings.port > 65535)
        return failure(
            QStringLiteral("The mail server port %1 is not a port number.").arg(settings.port));
    if (settings.from.trimmed().isEmpty())
        return failure(QStringLiteral("Mail is not set up: Tarvex.ini names no sender address "
                                      "(section [Mail], key From)."));
    const std::optional<Mailbox> sender = parseMailbox(settings.from);
    if (!sender)
        return failure(QStringLiteral("The sender address \"%1\" is not an e-mail address "
                                      "(Tarvex.ini, section [Mail], key From).")
                           .arg(settings.from.trimmed()));
    if (!settings.caFile.isEmpty() && !QFileInfo(settings.caFile).isFile())
        return failure(QStringLiteral("The certificate file %1 does not exist (Tarvex.ini, "
                                      "section [Mail], key CaFile).")
                           .arg(QDir::toNativeSeparators(settings.caFile)));

    // Resolve the recipients.
    static const QRegularExpression separators(QStringLiteral("[;,]"));
    QString badAddress;
    const auto addresses = [&badAddress](const QString& text) {
        QStringList list;
        for (const QString& part : text.split(separators)) {
            if (part.trimmed().isEmpty())
                continue;
            const std::optional<Mailbox> box = parseMailbox(part);
            if (!box) {
                badAddress = part.trimmed();
                return QStringList();
            }
            list << box->address;
        }
        return list;
    };
    const QStringList recipients = addresses(message.to);
    if (!badAddress.isEmpty())
        return failure(
            QStringLiteral("The recipient \"%1\" is not an e-mail address.").arg(badAddress));
    if (recipients.isEmpty())
        return failure(QStringLiteral("No recipient: the e-mail address field is empty."));
    const QStringList copies = addresses(message.cc);
    if (!badAddress.isEmpty())
        return failure(
            QStringLiteral("The copy recipient \"%1\" is not an e-mail address.").arg(badAddress));

    // Attachments: every one must be there before anything leaves.
    for (const QString& path : message.attachments) {
        const QString shown = QDir::toNativeSeparators(path);
        const QFileInfo info(path);
        if (path.isEmpty() || !info.exists())
            return failure(QStringLiteral("The attachment %1 does not exist.").arg(shown));
        if (!info.isFile())
            return failure(QStringLiteral("The attachment %1 is not a file.").arg(shown));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return failure(QStringLiteral("The attachment %1 cannot be read (%2).")
                               .arg(shown, file.errorString()));
    }

    if (!curlReady())
        return failure(QStringLiteral("The mail library could not be started."));
    CurlSend send;
    if (!send.easy)
        return failure(QStringLiteral("The mail library could not be started."));
    CURL* curl = send.easy;

    QByteArray host = server.toUtf8();
    if (host.contains(':') && !host.startsWith('['))
        host = '[' + host + ']'; // an IPv6 address
    const QByteArray url =
        QByteArray(settings.security == MailSettings::Security::SslTls ? "smtps://" : "smtp://") +
        host + ':' + QByteArray::number(settings.port);
    const long timeout = std::max(1, settings.timeoutSeconds);

    char errorBuffer[CURL_ERROR_SIZE] = {};
    Transcript transcript;
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // The trace callback is only called in verbose mode; it also keeps the
    // trace off standard error.
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, onTrace);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &transcript);
    // No limit on the whole send, which may carry large files over a slow
    // line; instead a limit on connecting, on each reply and on a stall.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, timeout);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, timeout);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, timeout);
    if (settings.security == MailSettings::Security::StartTls)
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    if (!settings.verifyPeer) {
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    const QByteArray caFile = QFile::encodeName(settings.caFile);
    if (!caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    if (!user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }

    const QByteArray mailFrom = '<' + sender->address.toUtf8() + '>';
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, mailFrom.constData());
    for (const QString& address : recipients + copies)
        send.recipients =
            curl_slist_append(send.recipients, ('<' + address.toUtf8() + '>').constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, send.recipients);

    // libcurl writes only the MIME headers; the message headers are ours.
    const QByteArray senderDomain = sender->address.section(QLatin1Char('@'), -1).toUtf8();
    const QByteArray messageId = '<' +
                                 QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() +
                                 '@' + senderDomain + '>';
    QList<QByteArray> headers = {
        "Date: " + rfc5322Date(QDateTime::currentDateTime()),
        "From: " + mailboxHeader(*sender),
        "To: " + recipients.join(QLatin1String(", ")).toUtf8(),
    };
    if (!copies.isEmpty())
        headers << "Cc: " + copies.join(QLatin1String(", ")).toUtf8();
    headers << "Subject: " + headerText(message.subject) << "Message-ID: " + messageId;
    for (const QByteArray& header : headers)
        send.headers = curl_slist_append(send.headers, header.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, send.headers);

    send.mime = curl_mime_init(curl);
    curl_mimepart* note = curl_mime_addpart(send.mime);
    const QByteArray text = bodyText(message.body);
    curl_mime_data(note, text.constData(), size_t(text.size()));
    curl_mime_type(note, "text/plain; charset=UTF-8");
    curl_mime_encoder(note, "quoted-printable");
    for (const QString& path : message.attachments) {
        curl_mimepart* part = curl_mime_addpart(send.mime);
        curl_mime_filedata(part, QFile::encodeName(path).constData());
        curl_mime_filename(part, QFileInfo(path).fileName().toUtf8().constData());
        curl_mime_type(part, "application/octet-stream");
        curl_mime_encoder(part, "base64");
    }
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, send.mime);

    const CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_OK)
        return MailResult{true, QString()};
    const QString curlMessage = errorBuffer[0] ? QString::fromLocal8Bit(errorBuffer).trimmed()
                                               : QString::fromUtf8(curl_easy_strerror(code));
    return failure(failureText(code, curlMessage, transcript, settings, int(timeout)));
}

bool MailDispatch(const MailMessage& message)
{
    const MailResult result = sendMail(message, MailSettings::fromIni());
    if (!result.ok)
        prompts().fail(QStringLiteral("The e-mail was not sent.\n") + result.error);
    return result.ok;
}
