#include "links/portinventory.h"
#include "links/portnaming.h"
#include "links/seriallink.h"
#include "settings/settings.h"
#include "testing/testsupport.h"

#include <QtTest>

using namespace zuno;

// COM numbers named as the settings file stands now.
PortNaming& naming()
{
    static zuno::Settings settings;
    static PortNaming names(settings);
    settings.reload();
    return names;
}

// Finding an adapter: which COM number reaches which device present, through links in a
// stand-in by-id folder, and the [Ports] line offered for a device no COM number reaches.
class TestPortInventory : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString absent(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QString link(const QString& name, const QString& target) const
    {
        const QString path = m_dir.filePath(QStringLiteral("by-id/") + name);
        QFile::link(target, path);
        return path;
    }

  private slots:
    void initTestCase()
    {
        TempStore::setUpProcess();
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("by-id")));
    }
    void init()
    {
        TempStore::clear();
        // Every COM number named, so that no real device of this machine takes part.
        for (int port = 1; port <= 15; ++port)
            TempStore::mapPort(port, absent("none"));
    }

    void devicesWithTheComNumbersThatReachThem()
    {
        Pty a, b;
        const QString byIdFolder = m_dir.filePath(QStringLiteral("by-id"));
        link(QStringLiteral("dangling"), absent("gone"));
        const QString linkA = link(QStringLiteral("usb-A-if00"), a.slavePath());
        const QString linkB = link(QStringLiteral("usb-B-if00"), b.slavePath());
        TempStore::mapPort(1, a.slavePath());
        TempStore::mapPort(2, QStringLiteral("tcp://projector.example:4001"));
        TempStore::mapPort(4, linkA); // the same device through its link
        const QList<SerialDevice> devices{{a.slavePath(), {}, {}, {}},
                                          {b.slavePath(), "Test UART", "Maker", "S1"}};

        PortInventory inventory = takeInventory(naming(), devices, byIdFolder);
        QCOMPARE(inventory.coms.size(), 15);
        QVERIFY(inventory.coms[0].present && inventory.coms[0].mapped);
        QVERIFY(!inventory.coms[1].present && !inventory.coms[2].present);
        QCOMPARE(inventory.devices[0].reachedBy, (QList<int>{1, 4}));
        QCOMPARE(inventory.devices[0].byIdLink, linkA);
        // B is reached by none: the first COM number with an absent device, not the server's.
        QCOMPARE(inventory.devices[1].reachedBy, QList<int>());
        QCOMPARE(inventory.devices[1].suggestedPort, 3);
        const QString text = inventoryText(inventory);
        QVERIFY2(text.contains("reached by COM1, COM4") && text.contains("COM3=" + linkB) &&
                     text.contains("Test UART, Maker, serial number S1"),
                 qPrintable(text));
        const QString note = unreachedDevicesNote(inventory);
        QVERIFY2(note.contains("COM3=" + linkB + " (Test UART, Maker)") &&
                     !note.contains(a.slavePath()) && !note.contains(linkA),
                 qPrintable(note));
        QCOMPARE(describedDevice(linkB, devices), QStringLiteral("Test UART, Maker"));
        QCOMPARE(describedDevice(linkA, devices), QString());

        // Mapped by its link, B is reached and nothing is left to list. A device given for one
        // run opens as the COM number that reaches it, through its link too, else the first one
        // whose device is absent (mapping it for the run is the session's, tested there).
        TempStore::mapPort(3, linkB);
        inventory = takeInventory(naming(), devices, byIdFolder);
        QCOMPARE(inventory.devices[1].reachedBy, QList<int>{3});
        QCOMPARE(unreachedDevicesNote(inventory), QString());
        QCOMPARE(portForRunDevice(naming(), b.slavePath()), 3);
        Pty c;
        QCOMPARE(portForRunDevice(naming(), c.slavePath()), 5);
    }

    // The message for a missing device lists what the system reports, since no COM number here
    // reaches any of it.
    void missingDeviceMessageListsUnreachedDevices()
    {
        const QList<SerialDevice> devices = systemSerialDevices();
        if (devices.isEmpty())
            QSKIP("the system reports no serial device");
        const QString byId = byIdLinkFor(devices[0].path, serialByIdFolder());
        TempStore::mapPort(6, absent("none"));
        SerialLink link(naming());
        QSignalSpy failed(&link, &Link::openFailed);
        link.open(6, 9600);
        const QString message = failed.value(0).value(0).toString();
        QVERIFY2(message.startsWith("COM6 is " + absent("none") + ": no such device") &&
                     message.contains("COM1=" + (byId.isEmpty() ? devices[0].path : byId)),
                 qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestPortInventory)
#include "tst_portinventory.moc"
