#include "TestDisk.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace {

constexpr char kFolderVariable[] = "TARVEX_TEST_DISK";

} // namespace

namespace TestDisk {

QString folder()
{
    return qEnvironmentVariable(kFolderVariable);
}

void fill(qint64 freeBytes)
{
    const QString path = folder() + QStringLiteral("/.filler");
    QFile filler(path);
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        qFatal("cannot fill %s", qPrintable(path));
    const QByteArray block(4096, '\0');
    while (filler.write(block) == block.size()) {
    }
    // Whatever still fits, down to the last byte.
    while (filler.write(block.constData(), 1) == 1) {
    }
    if (freeBytes > 0 && !filler.resize(std::max<qint64>(0, filler.size() - freeBytes)))
        qFatal("cannot make room in %s", qPrintable(path));
}

bool makeReadOnly(const QString& path)
{
    // A bind mount of its own, remounted read-only: only path is affected.
    const auto mount = [](const QStringList& args) {
        return QProcess::execute(QStringLiteral("mount"), args) == 0;
    };
    return mount({QStringLiteral("--bind"), path, path}) &&
           mount({QStringLiteral("-o"), QStringLiteral("remount,bind,ro"), path});
}

bool runInChild(int sizeKiB, QString* output)
{
    QTemporaryDir mountPoint;
    QString test = QString::fromLatin1(QTest::currentTestFunction());
    if (QTest::currentDataTag())
        test += u':' + QString::fromLatin1(QTest::currentDataTag());
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kFolderVariable), mountPoint.path());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setProgram(QStringLiteral("unshare"));
    child.setArguments({::getuid() == 0 ? QStringLiteral("-m") : QStringLiteral("-rm"),
                        QStringLiteral("sh"), QStringLiteral("-c"),
                        QStringLiteral("mount -t tmpfs -o size=%1k tmpfs \"$1\" && shift && "
                                       "exec \"$@\"")
                            .arg(sizeKiB),
                        QStringLiteral("sh"), mountPoint.path(),
                        QCoreApplication::applicationFilePath(), test});
    child.start();
    const bool finished = child.waitForFinished(120000);
    if (!finished)
        child.kill();
    const QString out = QString::fromLocal8Bit(child.readAll());
    *output = QStringLiteral("the test on its own disk did not pass (%1):\n%2")
                  .arg(finished ? QStringLiteral("exit %1").arg(child.exitCode())
                                : QStringLiteral("no end in 120 s"),
                       out);
    // Nothing skipped, nothing failed, and the test itself ran.
    return finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
           out.contains(QStringLiteral("PASS   : ")) &&
           !out.contains(QStringLiteral("SKIP   : ")) &&
           out.contains(
               QStringLiteral("::%1").arg(QString::fromLatin1(QTest::currentTestFunction())));
}

} // namespace TestDisk
