#include "links/portinventory.h"

#include "core/storednumber.h"
#include "links/portnaming.h"
#include "settings/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace zuno {

namespace {
constexpr int kLastPort = 15;

// True when the two names open the same thing: the same file after links are followed, or the
// same text (a server address, or two absent paths).
bool sameDevice(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

QString joinedNonEmpty(const QStringList& parts)
{
    QStringList kept;
    for (const QString& part : parts) {
        if (!part.trimmed().isEmpty())
            kept << part.trimmed();
    }
    return kept.join(QStringLiteral(", "));
}

QString comName(int port)
{
    return port != 0 ? QStringLiteral("COM%1").arg(port) : QStringLiteral("COMn");
}
} // namespace

QList<SerialDevice> systemSerialDevices()
{
    QList<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        devices.append(
            {info.systemLocation(), info.description(), info.manufacturer(), info.serialNumber()});
    }
    return devices;
}

QString serialByIdFolder()
{
    const QString fromEnvironment = qEnvironmentVariable("ZUNO_SERIAL_BY_ID");
    return fromEnvironment.isEmpty() ? QStringLiteral("/dev/serial/by-id") : fromEnvironment;
}

QString byIdLinkFor(const QString& device, const QString& byIdFolder)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty())
        return {};
    const QFileInfoList links =
        QDir(byIdFolder)
            .entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        if (link.isSymLink() && link.canonicalFilePath() == target)
            return link.absoluteFilePath();
    }
    return {};
}

int portReaching(const PortNaming& naming, const QString& device)
{
    for (int port = 1; port <= kLastPort; ++port) {
        if (sameDevice(naming.deviceFor(port), device))
            return port;
    }
    return 0;
}

int portForRunDevice(const PortNaming& naming, const QString& device)
{
    if (const int reaching = portReaching(naming, device))
        return reaching;
    for (int port = 1; port <= kLastPort; ++port) {
        const QString own = naming.deviceFor(port);
        if (!isTcpDevice(own) && !QFileInfo::exists(own))
            return port;
    }
    return kLastPort;
}

PortInventory takeInventory(const PortNaming& naming, const QList<SerialDevice>& devices,
                            const QString& byIdFolder)
{
    PortInventory inventory;
    inventory.settingsFile = naming.settings().location();
    for (int port = 1; port <= kLastPort; ++port) {
        const QString device = naming.deviceFor(port);
        inventory.coms.append({port, device, naming.isMapped(port),
                               !isTcpDevice(device) && QFileInfo::exists(device)});
    }
    QList<int> taken; // COM numbers already offered to a device
    for (const SerialDevice& device : devices) {
        PortInventory::Device entry{device, byIdLinkFor(device.path, byIdFolder), {}, 0};
        for (const PortInventory::Com& com : inventory.coms) {
            if (com.present && sameDevice(com.device, device.path))
                entry.reachedBy.append(com.port);
        }
        if (entry.reachedBy.isEmpty()) {
            for (const PortInventory::Com& com : inventory.coms) {
                if (!com.present && !isTcpDevice(com.device) && !taken.contains(com.port)) {
                    entry.suggestedPort = com.port;
                    taken.append(com.port);
                    break;
                }
            }
        }
        inventory.devices.append(entry);
    }
    return inventory;
}

QString mappingLine(int port, const QString& target)
{
    return comName(port) + u'=' + target;
}

namespace {
QString mappingOf(const PortInventory::Device& entry)
{
    return mappingLine(entry.suggestedPort,
                       entry.byIdLink.isEmpty() ? entry.device.path : entry.byIdLink);
}
} // namespace

QString inventoryText(const PortInventory& inventory)
{
    qsizetype width = 0;
    for (const PortInventory::Com& com : inventory.coms)
        width = std::max(width, com.device.size());
    QString text = QStringLiteral("COM numbers (settings file %1):\n").arg(inventory.settingsFile);
    for (const PortInventory::Com& com : inventory.coms) {
        const QString state = isTcpDevice(com.device) ? QStringLiteral("serial device server")
                              : com.present           ? QStringLiteral("present")
                                                      : QStringLiteral("not present");
        text += QStringLiteral("  %1  %2  %3%4\n")
                    .arg(comName(com.port), -5)
                    .arg(com.device, -int(width))
                    .arg(state, com.mapped ? QStringLiteral(" (from [Ports])") : QString());
    }
    text += QStringLiteral("Serial devices the system reports:\n");
    if (inventory.devices.isEmpty())
        text += QStringLiteral("  none\n");
    for (const PortInventory::Device& entry : inventory.devices) {
        const SerialDevice& device = entry.device;
        const QString about =
            joinedNonEmpty({device.description, device.manufacturer,
                            device.serialNumber.isEmpty()
                                ? QString()
                                : QStringLiteral("serial number ") + device.serialNumber});
        text += QStringLiteral("  %1  %2\n")
                    .arg(device.path, about.isEmpty() ? QStringLiteral("(no description)") : about);
        if (!entry.byIdLink.isEmpty())
            text += QStringLiteral("    link %1\n").arg(entry.byIdLink);
        if (!entry.reachedBy.isEmpty()) {
            QStringList names;
            for (int port : entry.reachedBy)
                names << comName(port);
            text += QStringLiteral("    reached by %1\n").arg(names.join(QStringLiteral(", ")));
        } else {
            text += QStringLiteral("    reached by no COM number; this [Ports] line maps it: %1\n")
                        .arg(mappingOf(entry));
        }
    }
    return text;
}

QString unreachedDevicesNote(const PortInventory& inventory)
{
    QStringList lines;
    for (const PortInventory::Device& entry : inventory.devices) {
        if (!entry.reachedBy.isEmpty())
            continue;
        const QString about = joinedNonEmpty({entry.device.description, entry.device.manufacturer});
        lines << (about.isEmpty() ? mappingOf(entry)
                                  : QStringLiteral("%1 (%2)").arg(mappingOf(entry), about));
    }
    if (lines.isEmpty())
        return {};
    return QStringLiteral("\nSerial devices present that no COM number reaches; the [Ports] "
                          "section of %1 maps each with the line given (zuno --map does it):\n%2")
        .arg(inventory.settingsFile, lines.join(u'\n'));
}

QString describedDevice(const QString& device, const QList<SerialDevice>& devices)
{
    for (const SerialDevice& candidate : devices) {
        if (sameDevice(candidate.path, device))
            return joinedNonEmpty({candidate.description, candidate.manufacturer});
    }
    return {};
}

QString descriptionNote(const QString& device, const QList<SerialDevice>& devices)
{
    const QString described = describedDevice(device, devices);
    return described.isEmpty() ? QString() : QStringLiteral(": ") + described;
}

} // namespace zuno
