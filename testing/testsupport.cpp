#include "testing/testsupport.h"

#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryFile>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {
QTemporaryDir& configDir()
{
    static QTemporaryDir dir;
    return dir;
}
} // namespace

void TempStore::setUpProcess()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configDir().path()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir().path());
}

QString TempStore::filePath()
{
    return QDir(configDir().path()).filePath(QStringLiteral("ZUNO.conf"));
}

void TempStore::clear()
{
    QFile file(filePath());
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.remove();
}

void TempStore::writeRaw(const QByteArray& contents)
{
    clear();
    QFile file(filePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

QByteArray TempStore::readRaw()
{
    QFile file(filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TempStore::mapPort(int port, const QString& device)
{
    setValue(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(port), device);
}

// The store as QSettings reads it, from a copy under a name of its own: QSettings keeps what it
// read of a file and reads it again only when its size or time has changed, which a rewrite
// within the same millisecond at the same size does not show.
std::optional<QVariant> TempStore::read(const QString& section, const QString& key)
{
    QTemporaryFile copy;
    if (!copy.open())
        qFatal("no temporary file for a copy of the store");
    copy.write(readRaw());
    copy.close();
    const QSettings settings(copy.fileName(), QSettings::IniFormat);
    const QVariant value = settings.value(section + u'/' + key);
    return value.isValid() ? std::optional(value) : std::nullopt;
}

QString TempStore::value(const QString& section, const QString& key, const QString& fallback)
{
    return read(section, key).value_or(fallback).toString();
}

void TempStore::setValue(const QString& section, const QString& key, const QString& text)
{
    if (!zuno::Settings(filePath()).store(section, {{key, text}}))
        qFatal("the store could not be written");
}

bool TempStore::contains(const QString& section, const QString& key)
{
    return read(section, key).has_value();
}

Pty::Pty()
{
    int slave = -1;
    char name[256] = {};
    if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0)
        qFatal("openpty failed");
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
    // Keep the slave open until the code under test has opened it, so the master
    // does not see a hang-up before anyone is listening.
    m_slaveKeep = slave;
}

Pty::~Pty()
{
    closeMaster();
}

void Pty::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        else
            // The pseudo-terminal is full: let the code under test read some.
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

QByteArray Pty::read(int timeoutMs, qsizetype minBytes)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (got.size() < minBytes && !deadline.hasExpired()) {
        // Let the code under test run (its writes are flushed from the event loop).
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd fd{m_master, POLLIN, 0};
        if (::poll(&fd, 1, 5) > 0 && (fd.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
        }
    }
    return got;
}

void Pty::closeMaster()
{
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
    m_slaveKeep = -1;
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

qint64 peakKiB(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    static const QRegularExpression peak(QStringLiteral("VmHWM:\\s*(\\d+)"));
    return file.open(QIODevice::ReadOnly)
               ? peak.match(QString::fromLatin1(file.readAll())).captured(1).toLongLong()
               : 0;
}

qint64 processCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    m_previous = qint64(limit.rlim_cur);
    limit.rlim_cur = rlim_t(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(m_previous);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}
