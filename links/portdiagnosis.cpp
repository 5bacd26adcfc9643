#include "links/portdiagnosis.h"

namespace zuno {

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
                   .arg(com, device) +
               detail;
    case Kind::NotPermitted:
        return QStringLiteral("%1 is %2: not permitted. %3").arg(com, device, detail);
    case Kind::InUse:
        return QStringLiteral("%1 is %2: in use by %3.").arg(com, device, detail);
    case Kind::Refused:
        return QStringLiteral("%1 is %2: refused: %3").arg(com, device, detail);
    }
    return {};
}

PortOpenFailure diagnoseOpenFailure(const QString& device, const QSerialPort& port)
{
    return diagnoseOpenFailure(device, port.error(), port.errorString(), defaultLockFolders());
}

} // namespace zuno
