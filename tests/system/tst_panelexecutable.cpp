#include "testing/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <termios.h>

// The panel program itself, ended by a termination signal as a desktop session or a service
// manager ends it: it stores the address and closes its port on the way out.
class TestPanelExecutable : public QObject
{
    Q_OBJECT

    // The serial lock file Qt keeps beside an open port's device, wherever it put it.
    static QString lockFileOf(const QString& device)
    {
        const QString name = QStringLiteral("LCK..") + device.mid(5).replace(u'/', u'_');
        for (const char* folder : {"/var/lock", "/run/lock", "/etc/locks", "/var/spool/locks",
                                   "/var/spool/uucp", "/tmp"}) {
            const QString path = QDir(QString::fromLatin1(folder)).filePath(name);
            if (QFileInfo::exists(path))
                return path;
        }
        return {};
    }
    // The line speed the panel set on its side of the pseudo-terminal.
    static speed_t speedOf(const Pty& pty)
    {
        termios settings{};
        ::tcgetattr(pty.masterFd(), &settings);
        return ::cfgetospeed(&settings);
    }

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
        QProcess panel; // killed by its destructor when the test ends early
        panel.setProcessChannelMode(QProcess::ForwardedChannels);
        panel.start(QStringLiteral(ZUNO_PANEL_PATH), {});
        // The start-up opened the port at the stored speed with the stored address.
        QTRY_VERIFY_WITH_TIMEOUT(speedOf(pty) == B9600, 10000);
        const QString lock = lockFileOf(pty.slavePath());
        QVERIFY2(!lock.isEmpty(), "no lock file beside the open port");
        // The address in the store differs from the panel's choice, which the end writes back.
        TempStore::setValue("StartUP", "ADRESS", "");

        QCOMPARE(::kill(pid_t(panel.processId()), signal), 0);
        QVERIFY(panel.waitForFinished(10000));
        QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(panel.exitCode(), 0);
        QCOMPARE(TempStore::value("StartUP", "ADRESS"), QStringLiteral("A003"));
        QVERIFY2(!QFileInfo::exists(lock), qPrintable(lock));
    }
};

QTEST_GUILESS_MAIN(TestPanelExecutable)
#include "tst_panelexecutable.moc"
