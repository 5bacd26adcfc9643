#include "sim/devicelink.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace zuno::sim {

bool DeviceLink::pointTo(const QString& target, QString* error)
{
    const QByteArray path = QFile::encodeName(m_path);
    struct stat existing
    {
    };
    if (::lstat(path.constData(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        *error = QStringLiteral("%1 exists and is not a symbolic link").arg(m_path);
        return false;
    }
    // A new link beside the old one, renamed over it: rename() replaces atomically.
    const QByteArray temporary =
        path + ".tmp" + QByteArray::number(QCoreApplication::applicationPid());
    ::unlink(temporary.constData());
    if (::symlink(QFile::encodeName(target).constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), path.constData()) != 0) {
        *error = QStringLiteral("cannot create link %1: %2")
                     .arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        ::unlink(temporary.constData());
        return false;
    }
    m_target = target;
    return true;
}

void DeviceLink::remove()
{
    if (m_target.isEmpty())
        return;
    const QByteArray path = QFile::encodeName(m_path);
    char target[4096];
    const ssize_t length = ::readlink(path.constData(), target, sizeof target);
    if (length > 0 && QByteArray(target, length) == QFile::encodeName(m_target))
        ::unlink(path.constData());
    m_target.clear();
}

} // namespace zuno::sim
