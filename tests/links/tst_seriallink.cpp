#include "links/portdiagnosis.h"
#include "links/portnaming.h"
#include "links/seriallink.h"
#include "settings/settings.h"
#include "testing/testsupport.h"

#include <QSignalSpy>
#include <QtTest>

#include <sys/stat.h>

using namespace zuno;

// COM numbers named as the settings file stands now.
PortNaming& naming()
{
    static zuno::Settings settings;
    static PortNaming names(settings);
    settings.reload();
    return names;
}

namespace {
// Opens the link and returns its answer, which must be exactly one and come before open()
// returns: empty for opened(), the reason for openFailed().
QString openAnswer(SerialLink& link, int port, int bitsPerSecond = 9600)
{
    QSignalSpy opened(&link, &Link::opened);
    QSignalSpy failed(&link, &Link::openFailed);
    link.open(port, bitsPerSecond);
    if (opened.count() + failed.count() != 1)
        return QStringLiteral("%1 answers").arg(opened.count() + failed.count());
    return failed.isEmpty() ? QString() : failed.first().first().toString();
}
} // namespace

// The serial link on real pseudo-terminals, mapped to COM numbers through the settings store.
class TestSerialLink : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init() { TempStore::clear(); }

    void portNaming_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("mapped");
        QTest::addColumn<QString>("device");
        QTest::newRow("COM4 last serial") << 4 << QString() << "/dev/ttyS3";
        QTest::newRow("COM5 first USB") << 5 << QString() << "/dev/ttyUSB0";
        QTest::newRow("COM15 last USB") << 15 << QString() << "/dev/ttyUSB10";
        QTest::newRow("mapped by-id") << 5 << "/dev/serial/by-id/usb-adapter-if00-port0"
                                      << "/dev/serial/by-id/usb-adapter-if00-port0";
        QTest::newRow("port 0 names nothing") << 0 << QString() << QString();
        QTest::newRow("port 16 names nothing") << 16 << "/dev/ttyUSB99" << QString();
    }
    void portNaming()
    {
        QFETCH(int, port);
        QFETCH(QString, mapped);
        QFETCH(QString, device);
        if (!mapped.isEmpty())
            TempStore::mapPort(port, mapped);
        QCOMPARE(naming().deviceFor(port), device);
        // The section is read, never written.
        QCOMPARE(TempStore::contains("Ports", QStringLiteral("COM%1").arg(port)),
                 !mapped.isEmpty());
    }

    // A serial device server is named by host and port; anything else in a tcp:// entry is
    // refused rather than guessed at.
    void tcpAddresses()
    {
        const auto address = [](const char* device) {
            const auto server = tcpAddressOf(QString::fromLatin1(device));
            return server ? QStringLiteral("%1 %2").arg(server->host).arg(server->port)
                          : QStringLiteral("none");
        };
        QCOMPARE(address("tcp://10.0.0.7:4001"), QStringLiteral("10.0.0.7 4001"));
        QCOMPARE(address("tcp://server.example:23"), QStringLiteral("server.example 23"));
        QCOMPARE(address("tcp://[::1]:65535"), QStringLiteral("::1 65535"));
        for (const char* bad : {"tcp://host", "tcp://host:0", "tcp://host:65536", "tcp://:4001",
                                "tcp://user@host:4001", "tcp://host:4001/x", "/dev/ttyUSB0"})
            QCOMPARE(address(bad), QStringLiteral("none"));
    }

    void writesAndReceivesWholeStrings()
    {
        Pty pty;
        TempStore::mapPort(7, pty.slavePath());
        SerialLink link(naming());
        QCOMPARE(openAnswer(link, 7, 19200), QString());
        QVERIFY(link.isOpen());
        QCOMPARE(link.lineSpeed(), 19200);
        QVERIFY(link.write("A001CR0\r"));
        QCOMPARE(pty.read(2000, 8), QByteArray("A001CR0\r"));

        QByteArray received;
        connect(&link, &Link::received, this, [&](const QByteArray& bytes) { received += bytes; });
        const QByteArray reply("035.0 038.5 041.0\r\x06", 19);
        pty.write(reply);
        QTRY_COMPARE(received, reply);
        link.close();
        QVERIFY(!link.isOpen() && !link.write("C00\r"));
    }

    void openFailuresSayWhy()
    {
        // COM3 maps a by-id style link, which the serial layer locks under the link's name.
        Pty pty;
        QTemporaryDir byId;
        const QString link = byId.filePath(QStringLiteral("usb-adapter-if00-port0"));
        QVERIFY(QFile::link(pty.slavePath(), link));
        TempStore::mapPort(3, link);
        SerialLink first(naming());
        QCOMPARE(openAnswer(first, 3), QString());

        // A second link on the same device: in use, and by whom.
        SerialLink second(naming());
        const QString inUse = openAnswer(second, 3);
        QVERIFY2(
            inUse.startsWith(QStringLiteral("COM3 is %1: in use by ").arg(link)) &&
                inUse.contains(
                    QStringLiteral(" (PID %1, lock file ").arg(QCoreApplication::applicationPid())),
            qPrintable(inUse));

        TempStore::mapPort(9, "/dev/zuno-test-no-such-adapter");
        SerialLink missing(naming());
        QVERIFY(openAnswer(missing, 9).contains("no such device: is the adapter plugged in?"));

        SerialLink none(naming());
        QVERIFY(openAnswer(none, 0).startsWith("No port was chosen"));

        // A device that is no terminal (which every program has open) and a regular file are no
        // serial ports, and nobody is named as holding them.
        QTemporaryFile notADevice;
        QVERIFY(notADevice.open());
        for (const QString& path : {QStringLiteral("/dev/null"), notADevice.fileName()}) {
            TempStore::mapPort(10, path);
            SerialLink refused(naming());
            QCOMPARE(openAnswer(refused, 10),
                     QStringLiteral("COM10 is %1: not a serial port (not a terminal device).")
                         .arg(path));
        }

        // Once the first link lets go, the port opens normally.
        first.close();
        QCOMPARE(openAnswer(second, 3), QString());
    }

    // A device another program holds with an exclusive flock, as serial terminals do, is refused
    // and its holder named; while the link has the port open it holds the same lock, so that
    // other programs are refused in turn.
    void exclusiveLockOfTheDevice()
    {
        Pty pty;
        TempStore::mapPort(8, pty.slavePath());
        QProcess holder;
        holder.start(
            QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("exec 3<\"$0\" && flock -x 3 && echo locked && exec sleep 1000"),
             pty.slavePath()});
        QVERIFY(holder.waitForReadyRead(30000));
        SerialLink link(naming());
        // Named once the shell has become the program that holds the lock.
        QTRY_COMPARE(openAnswer(link, 8), QStringLiteral("COM8 is %1: in use by sleep (PID %2).")
                                              .arg(pty.slavePath())
                                              .arg(holder.processId()));
        holder.kill();
        QVERIFY(holder.waitForFinished());

        QCOMPARE(openAnswer(link, 8), QString());
        const auto lockElsewhere = [&] {
            return QProcess::execute(
                QStringLiteral("flock"),
                {QStringLiteral("-n"), pty.slavePath(), QStringLiteral("true")});
        };
        QVERIFY(lockElsewhere() != 0);
        link.close();
        QCOMPARE(lockElsewhere(), 0);
    }

    // A lock file as other serial programs write it, holding only the pid of a process that
    // runs: the port is in use by that process, whatever it is called, and its lock stays.
    void liveLockOfAnotherProgram()
    {
        const QString folder = defaultLockFolders().first();
        if (!QFileInfo(folder).isWritable())
            QSKIP("the first lock folder may not be written here");
        Pty pty;
        QProcess other;
        other.start(QStringLiteral("sleep"), {QStringLiteral("1000")});
        QVERIFY(other.waitForStarted());
        const QString lock =
            folder + QStringLiteral("/LCK..") + pty.slavePath().mid(5).replace('/', '_');
        const QByteArray contents = QByteArray::number(other.processId()).rightJustified(10) + '\n';
        QFile file(lock);
        const auto cleanUp = qScopeGuard([&] {
            QFile::remove(lock);
            other.kill();
            other.waitForFinished();
        });
        QVERIFY(file.open(QIODevice::NewOnly) && file.write(contents) == contents.size());
        file.close();
        TempStore::mapPort(8, pty.slavePath());
        SerialLink link(naming());
        QCOMPARE(openAnswer(link, 8), QStringLiteral("COM8 is %1: in use by sleep (PID %2, lock "
                                                     "file %3).")
                                          .arg(pty.slavePath())
                                          .arg(other.processId())
                                          .arg(lock));
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == contents);
    }

    // Something other than a lock file where the serial layer reads the port's lock (here a
    // FIFO, which anyone may leave in a shared lock folder) fails the open instead of stalling
    // it; the test proves that by finishing.
    void fifoForALockFileDoesNotStall()
    {
        // The serial layer takes the first lock folder it may write, /var/lock where it may.
        const QString folder = defaultLockFolders().first();
        if (!QFileInfo(folder).isWritable())
            QSKIP("the first lock folder may not be written here");
        Pty pty;
        QTemporaryDir byId;
        const QString link = byId.filePath(QStringLiteral("adapter"));
        QVERIFY(QFile::link(pty.slavePath(), link));
        const QString fifo = folder + QStringLiteral("/LCK..") + QString(link).replace('/', '_');
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0666), 0);
        TempStore::mapPort(4, link);
        SerialLink link4(naming());
        const QString answer = openAnswer(link4, 4);
        QFile::remove(fifo);
        QCOMPARE(answer, QStringLiteral("COM4 is %1: refused: %2 is no lock file, yet keeps the "
                                        "port from being locked: remove it")
                             .arg(link, fifo));
        QCOMPARE(openAnswer(link4, 4), QString());
    }

    void vanishedDeviceClosesThePortOnce_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("other side hangs up") << false;
        QTest::newRow("mapped link removed") << true;
    }
    void vanishedDeviceClosesThePortOnce()
    {
        QFETCH(bool, throughLink);
        auto pty = std::make_unique<Pty>();
        QTemporaryDir dir;
        const QString name = dir.filePath("projector");
        QVERIFY(QFile::link(pty->slavePath(), name));
        TempStore::mapPort(5, throughLink ? name : pty->slavePath());
        SerialLink link(naming());
        QCOMPARE(openAnswer(link, 5), QString());
        QSignalSpy lost(&link, &Link::lost);
        // The port is closed by the time lost() is heard: a closed port polls nothing.
        bool openAtLoss = true;
        connect(&link, &Link::lost, this, [&] { openAtLoss = link.isOpen(); });

        if (throughLink)
            QVERIFY(QFile::remove(name));
        else
            pty.reset();
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 10000);
        QVERIFY(!openAtLoss && !link.isOpen());

        // The device comes back under the mapped name and opens again; the loss stays one.
        Pty again;
        QFile::remove(name);
        QVERIFY(QFile::link(again.slavePath(), name));
        TempStore::mapPort(5, name);
        QCOMPARE(openAnswer(link, 5), QString());
        QVERIFY(link.write("CR0\r"));
        QCOMPARE(again.read(2000, 4), QByteArray("CR0\r"));
        // Closing is no loss.
        link.close();
        QCOMPARE(lost.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
