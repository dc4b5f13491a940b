#pragma once

#include <QString>
#include <QStringList>

/// How mail leaves the program: an SMTP server named in Tarvex.ini.
struct MailSettings
{
    QString server; ///< host name or address; "" means mail is not set up
    int port = 25;
    enum class Security
    {
        None,
        StartTls,
        SslTls
    } security = Security::None;
    QString user, password; ///< AUTH only when user is not empty
    QString from;           ///< sender: "name@host" or "Display Name <name@host>"
    bool verifyPeer = true; ///< TLS certificate and host name checks
    QString caFile;         ///< certificates to trust instead of the system's; "" = system's
    int timeoutSeconds = 60;
    /// A sentence naming a [Mail] value that could not be understood; sendMail
    /// refuses to send while it is set rather than guess (a mistyped Security
    /// must not fall back to sending the password in clear).
    QString invalid;

    /// Section "Mail" of Tarvex.ini: Server, Port, Security (None, StartTLS or
    /// SSL, any case), User, Password, From, VerifyPeer (0/1), CaFile (relative
    /// to the program's folder), Timeout (seconds). An empty Port means 25,
    /// 587 or 465 by Security.
    static MailSettings fromIni();
};

struct MailMessage
{
    QString to; ///< the "Email Addresses" text: addresses separated by ";" or ","
    QString subject;
    QString body;            ///< the note text
    QStringList attachments; ///< full paths, attached in this order under their file names
    QString cc = QString();  ///< the "CC To." text, separated the same way; "" for none
};

struct MailResult
{
    bool ok = false;
    QString error; ///< a sentence naming the cause; "" when sent
};

/// Sends one message and returns when the server has accepted it. Nothing is
/// sent unless every attachment can be read and at least one "To" recipient
/// is given; every recipient, the copies included, must be accepted or the
/// message is not sent at all.
/// Blocks for up to settings.timeoutSeconds per step.
MailResult sendMail(const MailMessage& message, const MailSettings& settings);

/// Sends with the settings of Tarvex.ini; on failure shows one message (OK
/// button) naming the cause through prompts() and returns false.
bool MailDispatch(const MailMessage& message);
