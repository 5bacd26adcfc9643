#pragma once

#include <QString>

class QSerialPort;

namespace zuno {

// Why a port did not open, in words a technician can act on.
struct PortOpenFailure
{
    enum class Kind
    {
        None,
        NoPortChosen,
        Missing,
        NotPermitted,
        InUse,
        Refused
    };
    Kind kind = Kind::None;
    QString device; // the device path tried
    QString detail; // the system's words, the device's group, or who holds the port

    // The reason as the "Retry Comport" message gives it for COM `port`.
    QString describe(int port) const;
};

// Finds out why `port` could not open `device`: missing, not permitted (and which group may),
// in use (and by whom), or the system's own words. The checks are the platform's own.
PortOpenFailure diagnoseOpenFailure(const QString& device, const QSerialPort& port);

} // namespace zuno
