#include "link/mscomm.h"
#include "link/portnaming.h"
#include "testing/testsupport.h"

#include <QSignalSpy>
#include <QtTest>

using zuno::MSComm1;
using zuno::PortOpenFailure;

class TestMSComm : public QObject
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
        QTest::newRow("COM1 default serial") << 1 << QString() << "/dev/ttyS0";
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
        QCOMPARE(zuno::deviceForPort(port), device);
        // The tool reads the section and never writes it.
        QCOMPARE(TempStore::contains("Ports", QStringLiteral("COM%1").arg(port)),
                 !mapped.isEmpty());
    }

    void writesAndReceivesWholeStrings()
    {
        Pty pty;
        TempStore::mapPort(7, pty.slavePath());
        MSComm1 comm;
        comm.setSettings("9600,N,8,1");
        comm.setCommPort(7);
        QVERIFY(comm.setPortOpen(true));
        QVERIFY(comm.portOpen());
        QCOMPARE(comm.devicePath(), pty.slavePath());

        QVERIFY(comm.output(QByteArray("A001CR0\r")));
        QCOMPARE(pty.read(2000, 8), QByteArray("A001CR0\r"));

        QSignalSpy events(&comm, &MSComm1::onComm);
        pty.write(QByteArray("00\r\x06", 4));
        QVERIFY(events.wait(2000));
        QCOMPARE(comm.commEvent(), MSComm1::kEventReceive);
        QByteArray got = comm.input();
        QTRY_VERIFY_WITH_TIMEOUT((got += comm.input()).size() == 4, 2000);
        QCOMPARE(got, QByteArray("00\r\x06", 4));
        QCOMPARE(comm.input(), QByteArray());

        QVERIFY(comm.setPortOpen(false));
        QVERIFY(!comm.portOpen());
        QVERIFY(!comm.output("C00\r"));
        QVERIFY(comm.setPortOpen(false)); // closing a closed port is not an error
    }

    void openFailuresSayWhy()
    {
        Pty pty;
        TempStore::mapPort(3, pty.slavePath());
        MSComm1 first;
        first.setCommPort(3);
        QVERIFY(first.setPortOpen(true));

        MSComm1 second;
        second.setCommPort(3);
        QVERIFY(!second.setPortOpen(true));
        QVERIFY(!second.portOpen());
        QCOMPARE(second.lastOpenFailure().kind, PortOpenFailure::Kind::InUse);
        QVERIFY2(second.lastOpenFailure().describe(3).contains("in use"),
                 qPrintable(second.lastOpenFailure().describe(3)));
        QVERIFY(second.lastOpenFailure().describe(3).contains(pty.slavePath()));

        TempStore::mapPort(9, "/dev/zuno-test-no-such-adapter");
        MSComm1 missing;
        missing.setCommPort(9);
        QVERIFY(!missing.setPortOpen(true));
        QCOMPARE(missing.lastOpenFailure().kind, PortOpenFailure::Kind::Missing);
        QVERIFY(missing.lastOpenFailure().describe(9).contains("is the adapter plugged in?"));

        MSComm1 none;
        none.setCommPort(0);
        QVERIFY(!none.setPortOpen(true));
        QCOMPARE(none.lastOpenFailure().kind, PortOpenFailure::Kind::NoPortChosen);

        // A regular file is no serial device: refused with the system's words.
        QTemporaryFile notADevice;
        QVERIFY(notADevice.open());
        TempStore::mapPort(10, notADevice.fileName());
        MSComm1 refused;
        refused.setCommPort(10);
        QVERIFY(!refused.setPortOpen(true));
        QVERIFY(refused.lastOpenFailure().kind == PortOpenFailure::Kind::Refused);
        QVERIFY(!refused.lastOpenFailure().detail.isEmpty());

        // Once the first control lets go, the port opens normally.
        first.setPortOpen(false);
        QVERIFY(second.setPortOpen(true));
    }

    void vanishedDeviceClosesWithoutSpinning_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("other side hangs up") << false;
        QTest::newRow("mapped link removed") << true;
    }
    void vanishedDeviceClosesWithoutSpinning()
    {
        QFETCH(bool, throughLink);
        auto pty = std::make_unique<Pty>();
        QTemporaryDir dir;
        const QString link = dir.filePath("projector");
        QVERIFY(QFile::link(pty->slavePath(), link));
        TempStore::mapPort(5, throughLink ? link : pty->slavePath());

        MSComm1 comm;
        comm.setCommPort(5);
        QVERIFY(comm.setPortOpen(true));
        QSignalSpy lost(&comm, &MSComm1::portLost);

        const qint64 cpuBefore = processCpuMs();
        QElapsedTimer clock;
        clock.start();
        if (throughLink)
            QVERIFY(QFile::remove(link));
        else
            pty.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!comm.portOpen(), 1500);
        QVERIFY2(clock.elapsed() < 1200, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(lost.count(), 1);
        QVERIFY(!comm.output("C00\r"));

        // Nothing keeps polling afterwards: over half a second the process stays nearly idle.
        QTest::qWait(500);
        QCOMPARE(lost.count(), 1);
        const qint64 cpuUsed = processCpuMs() - cpuBefore;
        QVERIFY2(cpuUsed < 400, qPrintable(QStringLiteral("%1 ms CPU").arg(cpuUsed)));

        // A device that is back opens again normally.
        Pty again;
        TempStore::mapPort(5, again.slavePath());
        QVERIFY(comm.setPortOpen(true));
        QVERIFY(comm.output("CR0\r"));
        QCOMPARE(again.read(2000, 4), QByteArray("CR0\r"));
    }
};

QTEST_GUILESS_MAIN(TestMSComm)
#include "tst_mscomm.moc"
