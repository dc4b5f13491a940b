#pragma once

#include <QString>
#include <optional>

/// Where the program keeps the passwords it is asked to remember: the
/// desktop's keyring (the Secret Service, KWallet), never a file of its own.
/// The program installs the desktop one; tests install a double.
///
/// Every call returns within a few seconds: a keyring service that does not
/// answer counts as none.
class Keyring
{
public:
    virtual ~Keyring() = default;

    /// "" when passwords can be kept, else a sentence saying why not (for
    /// the "Save Password" box's tooltip and the logon's notices).
    virtual QString unavailableReason() = 0;
    bool available() { return unavailableReason().isEmpty(); }

    /// The secret kept under key; no value when there is none or the
    /// keyring cannot be read (*error says which).
    virtual std::optional<QString> read(const QString& key, QString* error = nullptr) = 0;
    virtual bool write(const QString& key, const QString& secret, QString* error = nullptr) = 0;
    /// Forgets key; true also when nothing was kept under it.
    virtual bool remove(const QString& key) = 0;
};

/// The installed keyring (the desktop's unless one was installed).
Keyring& keyring();
/// Installs k (not owned) and returns the one installed before; nullptr
/// puts the desktop keyring back.
Keyring* installKeyring(Keyring* k);

/// The names passwords are kept under. Each names the installation's folder,
/// so that two installations on one PC keep their own.
namespace KeyringKeys {
QString logon();                         ///< the password "Save Password" keeps
QString mail();                          ///< the mail server's (Mail/Password)
QString dataSource(const QString& name); ///< a server data source's
} // namespace KeyringKeys
