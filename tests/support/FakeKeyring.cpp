#include "FakeKeyring.h"

FakeKeyring::FakeKeyring(bool available) : available_(available), previous_(installKeyring(this)) {}

FakeKeyring::~FakeKeyring()
{
    installKeyring(previous_);
}

QString FakeKeyring::unavailableReason()
{
    return available_ ? QString()
                      : QStringLiteral("No keyring is available to keep the password (no "
                                       "keyring service); it has to be typed at each logon.");
}

std::optional<QString> FakeKeyring::read(const QString& key, QString* error)
{
    if (!available_) {
        if (error)
            *error = unavailableReason();
        return std::nullopt;
    }
    if (!secrets.contains(key))
        return std::nullopt;
    return secrets.value(key);
}

bool FakeKeyring::write(const QString& key, const QString& secret, QString* error)
{
    if (!available_) {
        if (error)
            *error = unavailableReason();
        return false;
    }
    secrets.insert(key, secret);
    return true;
}

bool FakeKeyring::remove(const QString& key)
{
    secrets.remove(key);
    return true;
}
