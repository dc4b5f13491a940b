#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/// tests/outputs/smtp_sink.py in a process of its own: a real SMTP server on
/// loopback that stores every message it accepts, decoded by Python's own
/// MIME parser, so a test checks what a mail reader would see.
class SmtpSink
{
public:
    ~SmtpSink() { stop(); }

    /// The first python3 that has aiosmtpd ("" when none has): TARVEX_PYTHON,
    /// the python3 on PATH, /usr/bin/python3 (the one on PATH may be a
    /// private interpreter without the system's packages).
    static QString findPython();
    /// Runs a helper program (python3, openssl) to its end: true when it
    /// exits normally with 0 within a minute.
    static bool runs(const QString& program, const QStringList& arguments);

    /// Starts the script and waits for its "ready <port>" line.
    bool start(const QString& python, const QString& script, const QStringList& options = {});
    /// The sink stops when its input closes.
    void stop();
    int port() const { return port_; }
    /// Forgets the messages received so far.
    void clear();

    /// message.json of each received message, in order, with "folder" added.
    QList<QJsonObject> received() const;
    /// The decoded bytes of a part ("file" of the body or an attachment).
    static QByteArray partBytes(const QJsonObject& message, const QJsonObject& part);

private:
    QProcess process_;
    QTemporaryDir dir_;
    int port_ = 0;
};
