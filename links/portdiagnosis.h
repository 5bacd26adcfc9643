#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>

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
    // The system's words, the device's group, or who holds the port; for a missing device, the
    // serial devices present that no COM number reaches (see unreachedDevicesNote()).
    QString detail;

    // The reason as the "Retry Comport" message gives it for COM `port`.
    QString describe(int port) const;
};

// Finds out why `port` could not open `device`: missing, not permitted (and what would help),
// in use (and by whom), or the system's own words. The checks are the platform's own.
PortOpenFailure diagnoseOpenFailure(const QString& device, const QSerialPort& port);

// The same from the serial layer's error and words, looking for lock files in `lockFolders`
// (a test gives a folder of its own).
PortOpenFailure diagnoseOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                                    const QString& errorString, const QStringList& lockFolders);

// What keeps the serial layer from even trying `device`: anything but a regular file where it
// reads the port's lock (a FIFO there would stall the opening for good). Kind::None when
// nothing does.
PortOpenFailure lockFileObstacle(const QString& device, const QStringList& lockFolders);

// The folders where the serial layer and other serial programs keep their lock files.
QStringList defaultLockFolders();

// What a user who may not read and write `device` can do about it: join the device's group
// where that group may read and write it; otherwise the device's owner and mode are named.
QString accessAdvice(const QString& device);

} // namespace zuno
