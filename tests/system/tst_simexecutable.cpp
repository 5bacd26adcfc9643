#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

// A client on a real serial port object that gathers whatever arrives. A port that loses its
// device reports it; the client then closes it so that it does not keep polling.
struct Client
{
    QSerialPort port;
    QByteArray received;

    bool open(const QString& path)
    {
        port.setPortName(path);
        QObject::connect(&port, &QSerialPort::readyRead, [this] { received += port.readAll(); });
        QObject::connect(&port, &QSerialPort::errorOccurred,
                         [this](QSerialPort::SerialPortError e) {
                             if (e != QSerialPort::NoError && port.isOpen())
                                 port.close();
                         });
        return port.open(QIODevice::ReadWrite);
    }
};

// The program on its own, without the panel (the end-to-end test drives the two together).
class TestSimExecutable : public QObject
{
    Q_OBJECT
  private slots:
    void exchangeHangupReopenAndCleanExit();
};

void TestSimExecutable::exchangeHangupReopenAndCleanExit()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    QProcess sim; // killed by its destructor when the test ends early
    QByteArray log;
    connect(&sim, &QProcess::readyReadStandardOutput, [&] { log += sim.readAllStandardOutput(); });
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(ZUNO_SIM_PATH),
              {"--link", link, "--projectors", "2", "--fault", "2=21", "--hangup-after", "3",
               "--reopen-after-ms", "1000"});
    // The first line is the device path, printed once the line is open and linked.
    QTRY_VERIFY_WITH_TIMEOUT(log.contains('\n'), 10000);
    const QString device = QString::fromLocal8Bit(log.left(log.indexOf('\n')));
    QVERIFY2(device.startsWith(QLatin1String("/dev/")), log.constData());
    QCOMPARE(QFileInfo(link).symLinkTarget(), device);

    Client first;
    QVERIFY2(first.open(link), qPrintable(first.port.errorString()));
    first.port.write("CR0\rA002CR0\rC00\r");
    QTRY_COMPARE(first.received, QByteArray("80\r21\r\x06"));

    // After three commands the line goes as a pulled adapter goes: device node and link vanish,
    // and come back under a new device.
    QTRY_VERIFY(log.contains("hang-up"));
    QVERIFY(!QFileInfo::exists(device));
    QVERIFY(!QFileInfo(link).isSymLink());
    static const QRegularExpression reopened(QStringLiteral("line reopened: (\\S+)"));
    QRegularExpressionMatch match;
    QTRY_VERIFY_WITH_TIMEOUT((match = reopened.match(QString::fromLocal8Bit(log))).hasMatch(),
                             10000);
    QCOMPARE(QFileInfo(link).symLinkTarget(), match.captured(1));
    Client second;
    QVERIFY2(second.open(link), qPrintable(second.port.errorString()));
    second.port.write("CR4\r");
    QTRY_COMPARE(second.received, QByteArray("11\r"));

    // A terminated simulator ends cleanly and takes its link with it.
    second.port.close();
    sim.terminate();
    QVERIFY(sim.waitForFinished());
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestSimExecutable)
#include "tst_simexecutable.moc"
