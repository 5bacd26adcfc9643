// Where no device node can be looked at, the serial layer's own error tells why.
#include "links/portdiagnosis.h"

namespace zuno {

PortOpenFailure diagnoseOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                                    const QString& errorString, const QStringList&)
{
    PortOpenFailure failure;
    failure.device = device;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        failure.kind = PortOpenFailure::Kind::Missing;
        break;
    case QSerialPort::PermissionError:
        failure.kind = PortOpenFailure::Kind::InUse;
        failure.detail = QStringLiteral("another program");
        break;
    default:
        failure.kind = PortOpenFailure::Kind::Refused;
        failure.detail = errorString;
        break;
    }
    return failure;
}

PortOpenFailure lockFileObstacle(const QString&, const QStringList&)
{
    return {};
}

DeviceLook::DeviceLook(const QString& device) : m_device(device) {}

DeviceLook::~DeviceLook() = default;

PortOpenFailure DeviceLook::obstacle() const
{
    return {};
}

PortOpenFailure lockOpenDevice(const QSerialPort&, const QString&)
{
    return {};
}

QStringList defaultLockFolders()
{
    return {};
}

QString accessAdvice(const QString&)
{
    return {};
}

} // namespace zuno
