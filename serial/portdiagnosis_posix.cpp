// The reasons a port does not open, read from the device node, its group and the lock files
// that serial programs on POSIX systems leave.
#include "serial/portdiagnosis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSerialPort>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zuno {

namespace {

QString systemWords(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Who holds the lock file that the serial layer keeps for a device, if anyone.
QString lockHolder(const QString& device)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    QString name = (canonical.isEmpty() ? device : canonical);
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(u'/', u'_');
    const QString lockName = QStringLiteral("LCK..") + name;
    for (const char* dir : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                            "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"}) {
        const QString path = QDir(QString::fromLatin1(dir)).filePath(lockName);
        if (!QFileInfo::exists(path))
            continue;
        QLockFile lock(path);
        qint64 pid = 0;
        QString host;
        QString app;
        if (lock.getLockInfo(&pid, &host, &app))
            return QStringLiteral("process %1 (%2), lock file %3")
                .arg(pid)
                .arg(app.isEmpty() ? QStringLiteral("unknown") : app, path);
        return QStringLiteral("lock file %1").arg(path);
    }
    return {};
}

} // namespace

PortOpenFailure diagnoseOpenFailure(const QString& device, const QSerialPort& port)
{
    PortOpenFailure failure;
    failure.device = device;
    const QByteArray path = QFile::encodeName(device);
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0) {
        const int error = errno;
        failure.kind =
            error == ENOENT ? PortOpenFailure::Kind::Missing : PortOpenFailure::Kind::Refused;
        failure.detail = systemWords(error);
        return failure;
    }
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        failure.kind = PortOpenFailure::Kind::NotPermitted;
        const struct group* owner = ::getgrgid(info.st_gid);
        const QString group =
            owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
        failure.detail = QStringLiteral("The device belongs to group '%1': add your user to it "
                                        "(sudo adduser $USER %1), then log out and in again.")
                             .arg(group);
        return failure;
    }
    const QString holder = lockHolder(device);
    if (!holder.isEmpty() || port.error() == QSerialPort::PermissionError) {
        failure.kind = PortOpenFailure::Kind::InUse;
        failure.detail = holder.isEmpty() ? QStringLiteral("another program") : holder;
        return failure;
    }
    failure.kind = PortOpenFailure::Kind::Refused;
    failure.detail = port.errorString();
    return failure;
}

} // namespace zuno
