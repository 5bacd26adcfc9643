#include "core/fileaccess.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zuno {

namespace {
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("no regular file");
}
} // namespace

PathFacts factsAbout(const QString& path)
{
    PathFacts facts;
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0)
        return facts;
    facts.exists = true;
    facts.regular = S_ISREG(info.st_mode);
    if (!facts.regular)
        facts.kind = kindOf(info.st_mode);
    facts.size = info.st_size;
    facts.ownerId = info.st_uid;
    facts.groupId = info.st_gid;
    facts.mode = info.st_mode & 07777;
    const bool superuser = ::geteuid() == 0;
    facts.mayWrite = superuser ? (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0
                               : ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) == 0;
    facts.ofAnotherUser = !superuser && info.st_uid != ::geteuid();
    return facts;
}

bool isPlainFile(const QString& path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool openWithoutWaiting(QFile& file, QIODevice::OpenMode mode, bool regularOnly, QString* problem)
{
    int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (mode & QIODevice::WriteOnly)
        flags |= ((mode & QIODevice::ReadOnly) ? O_RDWR : O_WRONLY) | O_CREAT |
                 ((mode & QIODevice::Append) ? O_APPEND : 0);
    else
        flags |= O_RDONLY;
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), flags, 0666);
    if (fd < 0) {
        *problem = errno == ENXIO ? QStringLiteral("is a named pipe that no program reads")
                                  : QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || (regularOnly && !S_ISREG(info.st_mode))) {
        *problem = QStringLiteral("is not a regular file (%1)").arg(kindOf(info.st_mode));
        ::close(fd);
        return false;
    }
    // A regular file takes its writes at once anyway; a pipe, terminal or device stays
    // without waiting, so that a reader who does not read cannot hold up the writer.
    // O_APPEND does the appending: Qt's own seek to the end would fail on a pipe.
    if (!file.open(fd, mode & ~QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        *problem = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
}

bool takeOwnerAndMode(QFile& copy, const PathFacts& original)
{
    if (!original.exists)
        return true;
    const int fd = copy.handle();
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || ::fchmod(fd, original.mode) != 0)
        return false;
    if (info.st_uid == original.ownerId && info.st_gid == original.groupId)
        return true;
    // Another group is kept where this user belongs to it; another owner only by the superuser.
    if (::fchown(fd, original.ownerId, original.groupId) == 0)
        return ::fchmod(fd, original.mode) == 0; // a change of owner clears set-ID bits
    return info.st_uid == original.ownerId;
}

} // namespace zuno
