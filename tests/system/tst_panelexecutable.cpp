#include "testing/testsupport.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

// The panel program itself, ended by a termination signal as a desktop session or a service
// manager ends it: it stores the address and closes its port (and so its serial lock) on the way.
class TestPanelExecutable : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void signalStoresTheAddressAndClosesThePort_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void signalStoresTheAddressAndClosesThePort()
    {
        QFETCH(int, signal);
        Pty pty;
        TempStore::writeRaw("[StartUP]\nComPort=7\nBaudRate=96\nADRESS=A003\n");
        TempStore::mapPort(7, pty.slavePath());
        // Qt's serial lock beside the open port, in the first lock folder it may write.
        const QString lock = "LCK.." + pty.slavePath().mid(5).replace(u'/', u'_');
        const auto locked = [&] {
            return QFile::exists("/var/lock/" + lock) || QFile::exists("/tmp/" + lock);
        };
        QProcess panel; // killed by its destructor when the test ends early
        panel.setProcessChannelMode(QProcess::ForwardedChannels);
        panel.start(QStringLiteral(ZUNO_PANEL_PATH), {});
        QTRY_VERIFY_WITH_TIMEOUT(locked(), 10000); // the start-up opened the port
        // The store now differs from the panel's address, which its end writes back.
        TempStore::setValue("StartUP", "ADRESS", "");
        QCOMPARE(::kill(pid_t(panel.processId()), signal), 0);
        QVERIFY(panel.waitForFinished(10000));
        QVERIFY(panel.exitStatus() == QProcess::NormalExit && panel.exitCode() == 0);
        QCOMPARE(TempStore::value("StartUP", "ADRESS"), QStringLiteral("A003"));
        QVERIFY(!locked());
    }
};

QTEST_GUILESS_MAIN(TestPanelExecutable)
#include "tst_panelexecutable.moc"
