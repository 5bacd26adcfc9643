// The reasons a port does not open, read from the device node, its owner and group, the lock
// files that serial programs on POSIX systems leave, and the descriptors other processes hold.
// Everything here runs on the GUI thread while the "Retry Comport" message waits for it, so
// every look is bounded: no read that can block, a cap on the bytes, processes and descriptors.
#include "links/portdiagnosis.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zuno {

namespace {

constexpr int kMaxProcesses = 4096;             // processes looked at for the port's holders
constexpr int kMaxDescriptorsPerProcess = 1024; // descriptors looked at in one process
constexpr int kMaxDescriptors = 65536;          // descriptors looked at in all
constexpr std::size_t kMaxHolders = 4;          // holders named in one message
constexpr qsizetype kMaxLockBytes = 256;        // a lock file's pid and program come first

QString systemWords(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

struct DirCloser
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

enum class FileRead
{
    Read,
    Absent,
    Unreadable,
    NotRegular
};

// Reads at most `limit` bytes of a regular file without following a link or waiting on a FIFO.
FileRead readRegularFile(const QByteArray& path, qsizetype limit, QByteArray* bytes)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return FileRead::Absent;
        return errno == ELOOP ? FileRead::NotRegular : FileRead::Unreadable;
    }
    struct stat info
    {
    };
    FileRead result = FileRead::NotRegular;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        bytes->resize(limit);
        ssize_t got = -1;
        do
            got = ::read(fd, bytes->data(), std::size_t(limit));
        while (got < 0 && errno == EINTR);
        bytes->resize(got > 0 ? qsizetype(got) : 0);
        result = got >= 0 ? FileRead::Read : FileRead::Unreadable;
    }
    ::close(fd);
    return result;
}

// The name a process gives itself, or "process" when it cannot be read.
QString processName(qint64 pid)
{
    QByteArray comm;
    readRegularFile(QByteArray("/proc/") + QByteArray::number(pid) + "/comm", 64, &comm);
    const QString name = QString::fromLocal8Bit(comm).trimmed();
    return name.isEmpty() ? QStringLiteral("process") : name;
}

enum class Liveness
{
    Running,
    Ended,
    Unknown
};

Liveness liveness(qint64 pid)
{
    // Zero and negative numbers name process groups, not a process.
    if (pid <= 0 || pid > INT_MAX)
        return Liveness::Unknown;
    if (::kill(pid_t(pid), 0) == 0 || errno == EPERM)
        return Liveness::Running;
    return errno == ESRCH ? Liveness::Ended : Liveness::Unknown;
}

// Processes other than this one that have the character device `device` open, found by
// their descriptors. Only processes whose descriptors this user may look at are seen. This
// process is left out: its own ports show through the lock files the serial layer takes.
std::vector<qint64> processesHolding(dev_t device)
{
    std::vector<qint64> found;
    const Dir proc(::opendir("/proc"));
    if (!proc)
        return found;
    const qint64 self = ::getpid();
    int processes = 0;
    int descriptors = 0;
    while (const dirent* entry = ::readdir(proc.get())) {
        bool isPid = false;
        const qint64 pid = QByteArray(entry->d_name).toLongLong(&isPid);
        if (!isPid || pid <= 0 || pid == self)
            continue;
        if (++processes > kMaxProcesses || descriptors > kMaxDescriptors)
            break;
        const Dir fds(::opendir((QByteArray("/proc/") + entry->d_name + "/fd").constData()));
        if (!fds)
            continue;
        int here = 0;
        while (const dirent* fdEntry = ::readdir(fds.get())) {
            if (fdEntry->d_name[0] == '.')
                continue;
            if (++here > kMaxDescriptorsPerProcess || ++descriptors > kMaxDescriptors)
                break;
            struct stat target
            {
            };
            if (::fstatat(::dirfd(fds.get()), fdEntry->d_name, &target, 0) == 0 &&
                S_ISCHR(target.st_mode) && target.st_rdev == device) {
                found.push_back(pid);
                break;
            }
        }
        if (found.size() >= kMaxHolders)
            break;
    }
    return found;
}

// The path as the serial layer opens it: a bare name is one under /dev.
QString systemLocation(const QString& path)
{
    if (path.startsWith(u'/') || path.startsWith(QLatin1String("./")) ||
        path.startsWith(QLatin1String("../")))
        return path;
    return QStringLiteral("/dev/") + path;
}

// The serial layer names a port's lock file after the path it was given, not after the device
// behind a link: "/dev/serial/by-id/usb-x" is locked as "LCK..serial_by-id_usb-x". Programs that
// open the device itself lock it under the device's name, so both are looked for.
QStringList lockFileNames(const QString& device)
{
    QStringList names;
    const QString given = systemLocation(device);
    for (QString location : {given, QFileInfo(given).canonicalFilePath()}) {
        if (location.isEmpty())
            continue;
        if (location.startsWith(QLatin1String("/dev/")))
            location.remove(0, 5);
        const QString name = QStringLiteral("LCK..") + location.replace(u'/', u'_');
        if (!names.contains(name))
            names << name;
    }
    return names;
}

// Where the lock files for `device` may be: each name in each folder, a folder reached twice
// (/var/lock is often a link to /run/lock) looked at once.
QStringList lockFilePaths(const QString& device, const QStringList& folders)
{
    QStringList paths;
    QStringList seen;
    const QStringList names = lockFileNames(device);
    for (const QString& folder : folders) {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (canonical.isEmpty() || seen.contains(canonical))
            continue;
        seen << canonical;
        for (const QString& name : names)
            paths << folder + u'/' + name;
    }
    return paths;
}

// Who holds the port, as far as the system tells: a process and, where one names it, its lock.
struct Holder
{
    qint64 pid = 0;
    QString lockFile;
};

void addHolder(std::vector<Holder>& holders, qint64 pid, const QString& lockFile)
{
    for (Holder& holder : holders) {
        if (pid > 0 && holder.pid == pid) {
            if (holder.lockFile.isEmpty())
                holder.lockFile = lockFile;
            return;
        }
    }
    holders.push_back({pid, lockFile});
}

QString describeHolder(const Holder& holder)
{
    if (holder.pid <= 0)
        return QStringLiteral("the program that left the lock file %1").arg(holder.lockFile);
    const QString who = QStringLiteral("%1 (PID %2").arg(processName(holder.pid)).arg(holder.pid);
    return holder.lockFile.isEmpty()
               ? who + u')'
               : QStringLiteral("%1, lock file %2)").arg(who, holder.lockFile);
}

QString notALockFile(const QString& path)
{
    return QStringLiteral("%1 is no lock file, yet keeps the port from being locked: remove it")
        .arg(path);
}

// The pid a lock file names: it comes first, as text, alone on its line (possibly padded with
// spaces); -1 when there is none.
qint64 lockPid(const QByteArray& bytes)
{
    bool isNumber = false;
    const qint64 pid = bytes.left(bytes.indexOf('\n')).trimmed().toLongLong(&isNumber);
    return isNumber ? pid : -1;
}

// The port is in use by `holders`, with whatever else was noticed on the way.
PortOpenFailure inUse(PortOpenFailure failure, const std::vector<Holder>& holders,
                      const QStringList& notes)
{
    QStringList named;
    for (const Holder& holder : holders)
        named << describeHolder(holder);
    const QString who =
        named.isEmpty() ? QStringLiteral("another program") : named.join(QLatin1String(", "));
    failure.kind = PortOpenFailure::Kind::InUse;
    failure.detail = (QStringList{who} + notes).join(QLatin1String("; "));
    return failure;
}

// Another program holds the exclusive lock (flock) of the device open on `descriptor`: named by
// the descriptors of the processes that have the device open.
PortOpenFailure lockedByAnother(int descriptor, const QString& device)
{
    PortOpenFailure failure;
    failure.device = device;
    std::vector<Holder> holders;
    struct stat info
    {
    };
    if (::fstat(descriptor, &info) == 0)
        for (const qint64 pid : processesHolding(info.st_rdev))
            holders.push_back({pid, {}});
    return inUse(failure, holders, {});
}

// True when `path` is a device node that opens and is no terminal (a serial port is one):
// /dev/null, say. Opened without becoming a controlling terminal or waiting for a carrier.
bool isNonTerminalDevice(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool terminal = ::isatty(fd);
    ::close(fd);
    return !terminal;
}

// Looks at the lock files for `device` in `folders`: a running process it names holds the port;
// a lock naming a process that has ended, or something that is no lock file, gets a note.
void readLocks(const QString& device, const QStringList& folders, std::vector<Holder>& holders,
               QStringList& notes)
{
    for (const QString& path : lockFilePaths(device, folders)) {
        QByteArray bytes;
        switch (readRegularFile(QFile::encodeName(path), kMaxLockBytes, &bytes)) {
        case FileRead::Read:
            break;
        case FileRead::Absent:
            continue;
        case FileRead::Unreadable:
            addHolder(holders, 0, path);
            continue;
        case FileRead::NotRegular:
            notes << notALockFile(path);
            continue;
        }
        const qint64 pid = lockPid(bytes);
        switch (pid >= 0 ? liveness(pid) : Liveness::Unknown) {
        case Liveness::Running:
            addHolder(holders, pid, path);
            break;
        case Liveness::Ended:
            notes << QStringLiteral("the lock file %1 names process %2, which has ended: "
                                    "remove the file")
                         .arg(path)
                         .arg(pid);
            break;
        case Liveness::Unknown:
            addHolder(holders, 0, path);
            break;
        }
    }
}

QString accessAdvice(const struct stat& info)
{
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
        const struct group* group = ::getgrgid(info.st_gid);
        const QString name =
            group ? QString::fromLocal8Bit(group->gr_name) : QString::number(info.st_gid);
        return QStringLiteral("The device belongs to group '%1': add your user to it "
                              "(sudo adduser $USER %1), then log out and in again.")
            .arg(name);
    }
    // Joining a group that may not read and write the device would not help.
    const struct passwd* owner = ::getpwuid(info.st_uid);
    const QString name =
        owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(info.st_uid);
    return QStringLiteral("The device is owned by %1, mode %2.")
        .arg(name, QString::asprintf("%04o", unsigned(info.st_mode & 07777)));
}

} // namespace

QStringList defaultLockFolders()
{
    // The serial layer's own list, in its order.
    return {QStringLiteral("/var/lock"),
            QStringLiteral("/etc/locks"),
            QStringLiteral("/var/spool/locks"),
            QStringLiteral("/var/spool/uucp"),
            QStringLiteral("/tmp"),
            QStringLiteral("/var/tmp"),
            QStringLiteral("/var/lock/lockdev"),
            QStringLiteral("/run/lock")};
}

QString accessAdvice(const QString& device)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(device).constData(), &info) != 0)
        return {};
    return accessAdvice(info);
}

PortOpenFailure lockFileObstacle(const QString& device, const QStringList& lockFolders)
{
    PortOpenFailure failure;
    failure.device = device;
    std::vector<Holder> holders;
    QStringList notes;
    for (const QString& path : lockFilePaths(device, lockFolders)) {
        QByteArray bytes;
        switch (readRegularFile(QFile::encodeName(path), kMaxLockBytes, &bytes)) {
        case FileRead::NotRegular:
            notes << notALockFile(path);
            break;
        case FileRead::Read:
            // A lock naming a process that has ended, or none, is left to the serial layer.
            if (const qint64 pid = lockPid(bytes); liveness(pid) == Liveness::Running)
                addHolder(holders, pid, path);
            break;
        case FileRead::Absent:
        case FileRead::Unreadable:
            break;
        }
    }
    if (!holders.empty())
        return inUse(failure, holders, notes);
    if (!notes.isEmpty()) {
        failure.kind = PortOpenFailure::Kind::Refused;
        failure.detail = notes.join(QLatin1String("; "));
    }
    return failure;
}

DeviceLook::DeviceLook(const QString& device) : m_device(device)
{
    const QByteArray path = QFile::encodeName(device);
    struct stat info
    {
    };
    // Only a device node is opened: a regular file or a FIFO is no serial port.
    if (::stat(path.constData(), &info) == 0 && !S_ISCHR(info.st_mode)) {
        m_notADevice = true;
        return;
    }
    m_descriptor = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

DeviceLook::~DeviceLook()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

PortOpenFailure DeviceLook::obstacle() const
{
    PortOpenFailure failure;
    failure.device = m_device;
    if (m_notADevice || (m_descriptor >= 0 && !::isatty(m_descriptor))) {
        failure.kind = PortOpenFailure::Kind::NotSerial;
        return failure;
    }
    if (m_descriptor < 0)
        return failure;
    if (::flock(m_descriptor, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? lockedByAnother(m_descriptor, m_device) : failure;
    // Free now; the port takes the lock on its own descriptor once it is open.
    ::flock(m_descriptor, LOCK_UN);
    return failure;
}

PortOpenFailure lockOpenDevice(const QSerialPort& port, const QString& device)
{
    const int descriptor = port.handle();
    // A file system without flock does not refuse the port: nothing could hold the lock there.
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return lockedByAnother(descriptor, device);
    PortOpenFailure none;
    none.device = device;
    return none;
}

PortOpenFailure diagnoseOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                                    const QString& errorString, const QStringList& lockFolders)
{
    PortOpenFailure failure;
    failure.device = device;
    const QByteArray path = QFile::encodeName(device);
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0) {
        const int statError = errno;
        failure.kind =
            statError == ENOENT ? PortOpenFailure::Kind::Missing : PortOpenFailure::Kind::Refused;
        failure.detail = systemWords(statError);
        return failure;
    }
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        failure.kind = PortOpenFailure::Kind::NotPermitted;
        failure.detail = accessAdvice(info);
        return failure;
    }
    // Holders are named only for a serial port: everyone has /dev/null open.
    if (!S_ISCHR(info.st_mode) || isNonTerminalDevice(path)) {
        failure.kind = PortOpenFailure::Kind::NotSerial;
        return failure;
    }
    std::vector<Holder> holders;
    for (const qint64 pid : processesHolding(info.st_rdev))
        holders.push_back({pid, {}});
    QStringList notes;
    readLocks(device, lockFolders, holders, notes);
    if (!holders.empty())
        return inUse(failure, holders, notes);
    if (!notes.isEmpty()) {
        // A lock left behind by a program that has ended holds no process, only the port.
        failure.kind = PortOpenFailure::Kind::Refused;
        failure.detail = notes.join(QLatin1String("; "));
    } else if (error == QSerialPort::PermissionError) {
        failure.kind = PortOpenFailure::Kind::InUse;
        failure.detail = QStringLiteral("another program");
    } else {
        failure.kind = PortOpenFailure::Kind::Refused;
        failure.detail = errorString;
    }
    return failure;
}

} // namespace zuno
