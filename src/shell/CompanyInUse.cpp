#include "CompanyInUse.h"

#include <QFile>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

std::unique_ptr<CompanyInUse> CompanyInUse::share(const QString& databaseFile)
{
    // A claim needs the file open, not written: read-only when another
    // user made it.
    const QByteArray name = QFile::encodeName(claimFile(databaseFile));
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // A restore under way holds it alone for a moment: wait for it.
    if (::flock(fd, LOCK_SH) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<CompanyInUse>(new CompanyInUse(fd));
}

CompanyInUse::~CompanyInUse()
{
    ::close(fd_);
}

bool CompanyInUse::takeAlone()
{
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
        return true;
    // The system lets go of the shared claim before it tries for the whole
    // one, and does not give it back when that fails.
    ::flock(fd_, LOCK_SH);
    return false;
}

void CompanyInUse::shareAgain()
{
    ::flock(fd_, LOCK_SH);
}

QString CompanyInUse::claimFile(const QString& databaseFile)
{
    return databaseFile + QStringLiteral("-inuse");
}
