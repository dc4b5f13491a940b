#include "SmtpSink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>

bool SmtpSink::runs(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString SmtpSink::findPython()
{
    const QStringList candidates = {qEnvironmentVariable("TARVEX_PYTHON"),
                                    QStandardPaths::findExecutable(QStringLiteral("python3")),
                                    QStringLiteral("/usr/bin/python3")};
    for (const QString& candidate : candidates) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isExecutable() &&
            runs(candidate, {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")}))
            return candidate;
    }
    return QString();
}

bool SmtpSink::start(const QString& python, const QString& script, const QStringList& options)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(python, QStringList{script, QStringLiteral("--dir"), dir_.path()} + options);
    if (!process_.waitForStarted(30000))
        return false;
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(60000))
            return false;
    }
    const QList<QByteArray> words = process_.readLine().trimmed().split(' ');
    if (words.size() != 2 || words[0] != "ready")
        return false;
    port_ = words[1].toInt();
    return port_ > 0;
}

void SmtpSink::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.closeWriteChannel();
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished();
    }
}

void SmtpSink::clear()
{
    const QDir dir(dir_.path());
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QDir(dir.filePath(name)).removeRecursively();
}

QList<QJsonObject> SmtpSink::received() const
{
    QList<QPair<int, QJsonObject>> found;
    const QDir dir(dir_.path());
    static const QRegularExpression complete(QStringLiteral("^message-(\\d+)$"));
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch m = complete.match(name);
        if (!m.hasMatch())
            continue;
        QFile f(dir.filePath(name + QStringLiteral("/message.json")));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        QJsonObject message = QJsonDocument::fromJson(f.readAll()).object();
        message.insert(QStringLiteral("folder"), dir.filePath(name));
        found.append({m.captured(1).toInt(), message});
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<QJsonObject> messages;
    for (const auto& entry : found)
        messages << entry.second;
    return messages;
}

QByteArray SmtpSink::partBytes(const QJsonObject& message, const QJsonObject& part)
{
    QFile f(QDir(message.value(QStringLiteral("folder")).toString())
                .filePath(part.value(QStringLiteral("file")).toString()));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing part file>");
}
