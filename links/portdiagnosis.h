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
        NotSerial,
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

// What keeps the serial layer from even trying `device`: a lock file that names a running process
// (in use, whatever that process is called: the serial layer would take a lock holding only a
// pid for one left behind), or anything but a regular file where it reads the port's lock (a
// FIFO there would stall the opening for good). Kind::None when nothing does.
PortOpenFailure lockFileObstacle(const QString& device, const QStringList& lockFolders);

// A look at a device before the serial layer opens it and sets its line: the device opened
// without becoming a controlling terminal and without waiting for a carrier, and kept open until
// the look goes, so that the line is not hung up between the look and the port's own open.
class DeviceLook
{
  public:
    explicit DeviceLook(const QString& device);
    ~DeviceLook();
    DeviceLook(const DeviceLook&) = delete;
    DeviceLook& operator=(const DeviceLook&) = delete;

    // What keeps the port from being opened: anything but a terminal device (Kind::NotSerial), or
    // another program holding the device's exclusive lock (flock), named (Kind::InUse).
    // Kind::None when nothing does, or when the device could not be opened for a look: the
    // serial layer's own open then says why.
    PortOpenFailure obstacle() const;

  private:
    QString m_device;
    int m_descriptor = -1;
    bool m_notADevice = false; // a regular file, a FIFO, a folder: not opened
};

// Takes the exclusive lock (flock) that serial programs take on a device they have open, on the
// descriptor of `port`, open on `device`; it holds as long as the port stays open, so that other
// programs are refused the device. Kind::InUse, naming the holder, when another program has the
// lock.
PortOpenFailure lockOpenDevice(const QSerialPort& port, const QString& device);

// The folders where the serial layer and other serial programs keep their lock files.
QStringList defaultLockFolders();

// What a user who may not read and write `device` can do about it: join the device's group
// where that group may read and write it; otherwise the device's owner and mode are named.
QString accessAdvice(const QString& device);

} // namespace zuno
