#pragma once

#include <QList>
#include <QString>

namespace zuno {

class PortNaming;

// A serial device as the system reports it.
struct SerialDevice
{
    QString path; // the device node, such as /dev/ttyUSB0
    QString description;
    QString manufacturer;
    QString serialNumber;
};

// The COM numbers with the devices they name, and the serial devices present with the COM
// numbers that reach them: what a technician needs to find an adapter.
struct PortInventory
{
    struct Com
    {
        int port = 0;
        QString device;       // what the COM number opens
        bool mapped = false;  // named by a "Ports" entry (or for this run) rather than by default
        bool present = false; // the device exists; a serial device server is not checked
    };
    struct Device
    {
        SerialDevice device;
        QString byIdLink;      // the stable link that points at the device; empty when none does
        QList<int> reachedBy;  // the COM numbers that open it
        int suggestedPort = 0; // when none does: a COM number free to map to it (0: none free)
    };
    QList<Com> coms; // COM1 to COM15
    QList<Device> devices;
    QString settingsFile; // where the "Ports" section is, for the messages
};

// The serial devices the system reports.
QList<SerialDevice> systemSerialDevices();

// The folder of stable links to serial devices, /dev/serial/by-id; the environment variable
// ZUNO_SERIAL_BY_ID names another one (for tests).
QString serialByIdFolder();

// The link in `byIdFolder` that points at `device` (after links are followed), the first by
// name; empty when none does.
QString byIdLinkFor(const QString& device, const QString& byIdFolder);

// The COM number whose device is `device` (the same file after links are followed, or the
// same server address); 0 when none is.
int portReaching(const PortNaming& naming, const QString& device);

// The COM number a device given for one run is opened as: the one that reaches it already,
// otherwise the first whose own device is absent, otherwise COM15.
int portForRunDevice(const PortNaming& naming, const QString& device);

// COM1 to COM15 as they are named now, and `devices` with the links in `byIdFolder`.
PortInventory takeInventory(const PortNaming& naming, const QList<SerialDevice>& devices,
                            const QString& byIdFolder);

// The line of the "Ports" section that makes COM `port` open `target`.
QString mappingLine(int port, const QString& target);

// The inventory as `zuno --list-ports` prints it.
QString inventoryText(const PortInventory& inventory);

// The devices present that no COM number reaches, each with the line that would map it; empty
// when there are none. For the message on a missing device.
QString unreachedDevicesNote(const PortInventory& inventory);

// The description the system gives `device` (the same file after links are followed), with
// its manufacturer; empty when it gives none.
QString describedDevice(const QString& device, const QList<SerialDevice>& devices);

// ": " and the description of `device` among `devices` (the system's serial devices), for a
// tooltip; empty when the system gives none.
QString descriptionNote(const QString& device, const QList<SerialDevice>& devices);

} // namespace zuno
