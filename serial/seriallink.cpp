#include "link/mscomm.h"

#include "link/portnaming.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zuno {

namespace {
constexpr int kDeviceCheckMs = 500;

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

QString PortOpenFailure::describe(int port) const
{
    const QString com = QStringLiteral("COM%1").arg(port);
    switch (kind) {
    case Kind::None:
        return {};
    case Kind::NoPortChosen:
        return QStringLiteral(
            "No port was chosen: click a COM option or type a number from 1 to 15.");
    case Kind::Missing:
        return QStringLiteral("%1 is %2: no such device: is the adapter plugged in?")
            .arg(com, device);
    case Kind::NotPermitted:
        return QStringLiteral("%1 is %2: not permitted. %3").arg(com, device, detail);
    case Kind::InUse:
        return QStringLiteral("%1 is %2: in use by %3.").arg(com, device, detail);
    case Kind::Refused:
        return QStringLiteral("%1 is %2: refused: %3").arg(com, device, detail);
    }
    return {};
}

MSComm1::MSComm1(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("MSComm1"));
    m_watch.setInterval(kDeviceCheckMs);
    connect(&m_watch, &QTimer::timeout, this, &MSComm1::checkDevicePresent);
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        m_commEvent = kEventReceive;
        emit onComm();
    });
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (!m_port.isOpen())
            return;
        if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
            error == QSerialPort::WriteError)
            lose();
    });
}

MSComm1::~MSComm1() = default;

void MSComm1::setSettings(const QString& lineParameters)
{
    m_settings = lineParameters;
    if (m_port.isOpen())
        m_port.setBaudRate(m_settings.section(u',', 0, 0).toInt());
}

bool MSComm1::setPortOpen(bool open)
{
    if (!open) {
        m_watch.stop();
        if (m_port.isOpen())
            m_port.close();
        return true;
    }
    if (m_port.isOpen())
        return true;
    m_failure = {};
    m_device = deviceForPort(m_commPort);
    m_failure.device = m_device;
    if (m_device.isEmpty()) {
        m_failure.kind = PortOpenFailure::Kind::NoPortChosen;
        return false;
    }
    bool speedOk = false;
    const int speed = m_settings.section(u',', 0, 0).toInt(&speedOk);
    m_port.setPortName(m_device);
    m_port.setBaudRate(speedOk && speed > 0 ? speed : 19200);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        diagnoseOpenFailure();
        return false;
    }
    struct stat info
    {
    };
    m_deviceId = ::stat(QFile::encodeName(m_device).constData(), &info) == 0 ? info.st_rdev : 0;
    m_commEvent = 0;
    m_watch.start();
    return true;
}

void MSComm1::diagnoseOpenFailure()
{
    const QByteArray path = QFile::encodeName(m_device);
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0) {
        const int error = errno;
        m_failure.kind =
            error == ENOENT ? PortOpenFailure::Kind::Missing : PortOpenFailure::Kind::Refused;
        m_failure.detail = systemWords(error);
        return;
    }
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        m_failure.kind = PortOpenFailure::Kind::NotPermitted;
        const struct group* owner = ::getgrgid(info.st_gid);
        const QString group =
            owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
        m_failure.detail = QStringLiteral("The device belongs to group '%1': add your user to it "
                                          "(sudo adduser $USER %1), then log out and in again.")
                               .arg(group);
        return;
    }
    const QString holder = lockHolder(m_device);
    if (!holder.isEmpty() || m_port.error() == QSerialPort::PermissionError) {
        m_failure.kind = PortOpenFailure::Kind::InUse;
        m_failure.detail = holder.isEmpty() ? QStringLiteral("another program") : holder;
        return;
    }
    m_failure.kind = PortOpenFailure::Kind::Refused;
    m_failure.detail = m_port.errorString();
}

bool MSComm1::output(const QByteArray& bytes)
{
    if (!m_port.isOpen())
        return false;
    if (m_port.write(bytes) != bytes.size())
        return false;
    m_port.flush();
    return true;
}

QByteArray MSComm1::input()
{
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

void MSComm1::checkDevicePresent()
{
    if (!m_port.isOpen()) {
        m_watch.stop();
        return;
    }
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(m_device).constData(), &info) != 0 || info.st_rdev != m_deviceId)
        lose();
}

void MSComm1::lose()
{
    m_watch.stop();
    if (!m_port.isOpen())
        return;
    m_port.close();
    emit portLost();
}

} // namespace zuno
