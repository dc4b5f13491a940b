#include "Keyring.h"

#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <qt6keychain/keychain.h>

namespace {

const QString service = QStringLiteral("Tarvex");
/// A keyring that has not answered by then is taken for none.
constexpr int answerMs = 5000;

struct Answer
{
    bool finished = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QString secret;
};

/// Runs a job of QtKeychain, which answers through the event loop, to its
/// end or to the timeout. Input events wait meanwhile: no second click on OK
/// can start a second logon inside the first.
Answer run(QKeychain::Job* job)
{
    auto answer = std::make_shared<Answer>();
    if (!QCoreApplication::instance()) {
        delete job;
        answer->error = QKeychain::NoBackendAvailable;
        answer->errorText = QStringLiteral("no application is running");
        return *answer;
    }
    job->setInsecureFallback(false); // never a file of plain passwords
    job->setAutoDelete(true);
    QEventLoop loop;
    QPointer<QEventLoop> waiting(&loop);
    QObject::connect(job, &QKeychain::Job::finished, job, [answer, waiting](QKeychain::Job* j) {
        answer->finished = true;
        answer->error = j->error();
        answer->errorText = j->errorString();
        if (auto* r = qobject_cast<QKeychain::ReadPasswordJob*>(j))
            answer->secret = r->textData();
        if (waiting)
            waiting->quit();
    });
    QTimer::singleShot(answerMs, &loop, &QEventLoop::quit);
    job->start();
    if (!answer->finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!answer->finished) {
        answer->error = QKeychain::NoBackendAvailable;
        answer->errorText = QStringLiteral("the keyring service did not answer within %1 seconds")
                                .arg(answerMs / 1000);
    }
    return *answer;
}

class DesktopKeyring final : public Keyring
{
public:
    QString unavailableReason() override
    {
        if (!probed_) {
            probed_ = true;
            auto* job = new QKeychain::ReadPasswordJob(service);
            job->setKey(QStringLiteral("probe"));
            const Answer a = run(job);
            if (a.error != QKeychain::NoError && a.error != QKeychain::EntryNotFound)
                reason_ = QStringLiteral("No keyring is available to keep the password (%1); "
                                         "it has to be typed at each logon.")
                              .arg(a.errorText.isEmpty() ? QStringLiteral("no keyring service")
                                                         : a.errorText);
        }
        return reason_;
    }

    std::optional<QString> read(const QString& key, QString* error) override
    {
        if (!available())
            return fail(error, reason_);
        auto* job = new QKeychain::ReadPasswordJob(service);
        job->setKey(key);
        const Answer a = run(job);
        if (a.error == QKeychain::EntryNotFound)
            return std::nullopt;
        if (a.error != QKeychain::NoError)
            return fail(error, a.errorText);
        return a.secret;
    }

    bool write(const QString& key, const QString& secret, QString* error) override
    {
        if (!available()) {
            fail(error, reason_);
            return false;
        }
        auto* job = new QKeychain::WritePasswordJob(service);
        job->setKey(key);
        job->setTextData(secret);
        const Answer a = run(job);
        if (a.error != QKeychain::NoError) {
            fail(error, a.errorText);
            return false;
        }
        return true;
    }

    bool remove(const QString& key) override
    {
        if (!available())
            return true; // nothing can be kept there
        auto* job = new QKeychain::DeletePasswordJob(service);
        job->setKey(key);
        const Answer a = run(job);
        return a.error == QKeychain::NoError || a.error == QKeychain::EntryNotFound;
    }

private:
    static std::nullopt_t fail(QString* error, const QString& why)
    {
        if (error)
            *error = why;
        return std::nullopt;
    }

    bool probed_ = false;
    QString reason_;
};

Keyring* installed = nullptr;

QString inInstallation(const QString& what)
{
    return QDir::cleanPath(AppPaths::home()) + QStringLiteral(": ") + what;
}

} // namespace

Keyring& keyring()
{
    static DesktopKeyring desktop;
    return installed ? *installed : desktop;
}

Keyring* installKeyring(Keyring* k)
{
    Keyring* previous = installed;
    installed = k;
    return previous;
}

namespace KeyringKeys {

QString logon()
{
    return inInstallation(QStringLiteral("logon"));
}

QString mail()
{
    return inInstallation(QStringLiteral("mail"));
}

QString dataSource(const QString& name)
{
    return inInstallation(QStringLiteral("data source ") + name.trimmed().toLower());
}

} // namespace KeyringKeys
