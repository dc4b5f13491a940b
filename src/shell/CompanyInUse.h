#pragma once

#include <QString>
#include <memory>

/// Who has a company database file open: every logon to a company on
/// SQLite holds a shared claim on it (a lock on a file beside it, which the
/// system lets go when the program ends, however it ends). A restore needs
/// the claim to itself.
class CompanyInUse
{
public:
    /// A shared claim on the database file; null when the file beside it
    /// cannot be made (a read-only folder: nothing can restore there
    /// either).
    static std::unique_ptr<CompanyInUse> share(const QString& databaseFile);

    ~CompanyInUse();
    CompanyInUse(const CompanyInUse&) = delete;
    CompanyInUse& operator=(const CompanyInUse&) = delete;

    /// Makes the claim this one's alone, without waiting; false (the claim
    /// stays shared) while any other logon holds one.
    bool takeAlone();
    /// Shares the claim again after takeAlone().
    void shareAgain();

    /// The file beside the database that carries the claims.
    static QString claimFile(const QString& databaseFile);

private:
    explicit CompanyInUse(int fd) : fd_(fd) {}
    int fd_ = -1;
};
