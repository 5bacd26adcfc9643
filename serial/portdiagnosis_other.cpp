// Where no device node can be looked at, the serial layer's own error tells why.
#include "serial/portdiagnosis.h"

#include <QSerialPort>

namespace zuno {

PortOpenFailure diagnoseOpenFailure(const QString& device, const QSerialPort& port)
{
    PortOpenFailure failure;
    failure.device = device;
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        failure.kind = PortOpenFailure::Kind::Missing;
        break;
    case QSerialPort::PermissionError:
        failure.kind = PortOpenFailure::Kind::InUse;
        failure.detail = QStringLiteral("another program");
        break;
    default:
        failure.kind = PortOpenFailure::Kind::Refused;
        failure.detail = port.errorString();
        break;
    }
    return failure;
}

} // namespace zuno
