#include "CompanyInUse.h"

#include <QFile>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

std::unique_ptr<CompanyInUse> CompanyInUse::share(const QString& databaseFile)
{
    const int fd = ::open(QFile::encodeName(claimFile(databaseFile)).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC, 0600);
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
    return ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

void CompanyInUse::shareAgain()
{
    ::flock(fd_, LOCK_SH);
}

QString CompanyInUse::claimFile(const QString& databaseFile)
{
    return databaseFile + QStringLiteral("-inuse");
}
