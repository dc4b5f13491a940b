#pragma once

#include "Keyring.h"

#include <QByteArray>
#include <QMap>
#include <QString>

/// A keyring for tests: the secrets in memory, or (unavailable) none at all,
/// as on a PC without a keyring service. Installs itself on construction and
/// puts back the one before when destroyed.
class FakeKeyring final : public Keyring
{
public:
    explicit FakeKeyring(bool available = true);
    ~FakeKeyring() override;
    FakeKeyring(const FakeKeyring&) = delete;
    FakeKeyring& operator=(const FakeKeyring&) = delete;

    QString unavailableReason() override;
    std::optional<QString> read(const QString& key, QString* error = nullptr) override;
    bool write(const QString& key, const QString& secret, QString* error = nullptr) override;
    bool remove(const QString& key) override;

    QMap<QString, QString> secrets;

private:
    bool available_;
    Keyring* previous_;
};

/// libpq's password file named by PGPASSFILE while the object lives.
struct PasswordFile
{
    explicit PasswordFile(const QByteArray& file) : previous(qgetenv("PGPASSFILE"))
    {
        qputenv("PGPASSFILE", file);
    }
    ~PasswordFile() { qputenv("PGPASSFILE", previous); }
    QByteArray previous;
};
