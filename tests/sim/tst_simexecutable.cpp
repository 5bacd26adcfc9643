#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The running simulator: its device path (first line) and everything it logged.
struct Simulator
{
    QProcess process;
    QByteArray log;
    QString devicePath;

    bool start(const QStringList& arguments)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { log += process.readAllStandardOutput(); });
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(ZUNO_SIM_PATH), arguments);
        if (!process.waitForStarted())
            return false;
        QDeadlineTimer deadline(10000);
        while (!log.contains('\n') && !deadline.hasExpired())
            process.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        devicePath = QString::fromLocal8Bit(log.left(log.indexOf('\n')));
        return devicePath.startsWith(QLatin1String("/dev/"));
    }

    ~Simulator()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
};

// A client on a real serial port object that gathers whatever arrives.
struct Client
{
    QSerialPort port;
    QByteArray received;

    bool open(const QString& path)
    {
        port.setPortName(path);
        port.setBaudRate(QSerialPort::Baud9600);
        QObject::connect(&port, &QSerialPort::readyRead, [this] { received += port.readAll(); });
        // A port that loses its device reports it; close it so it does not keep polling.
        QObject::connect(&port, &QSerialPort::errorOccurred,
                         [this](QSerialPort::SerialPortError e) {
                             if (e != QSerialPort::NoError && port.isOpen())
                                 port.close();
                         });
        return port.open(QIODevice::ReadWrite);
    }
};

} // namespace

class TestSimExecutable : public QObject
{
    Q_OBJECT
  private slots:
    void exchangeRegisterAndCleanExit();
    void hangupAndReopenBehindTheLink();
};

void TestSimExecutable::exchangeRegisterAndCleanExit()
{
    QTemporaryDir dir;
    const QString linkPath = dir.filePath(QStringLiteral("projector"));
    Simulator sim;
    QVERIFY(sim.start({"--link", linkPath, "--register", "COM7", "--config-home", dir.path(),
                       "--projectors", "2", "--fault", "2=21"}));
    QCOMPARE(QFileInfo(linkPath).symLinkTarget(), sim.devicePath);
    QSettings store(dir.filePath(QStringLiteral("ZUNO.conf")), QSettings::IniFormat);
    QCOMPARE(store.value(QStringLiteral("Ports/COM7")).toString(), linkPath);

    Client client;
    QVERIFY2(client.open(sim.devicePath), qPrintable(client.port.errorString()));
    client.port.write("CR0\r");
    QTRY_COMPARE(client.received, QByteArray("80\r"));
    client.received.clear();
    client.port.write("A002CR0\r");
    QTRY_COMPARE(client.received, QByteArray("21\r"));
    client.received.clear();
    client.port.write("C00\r");
    QTRY_COMPARE(client.received, QByteArray("\x06"));
    QTRY_VERIFY(sim.log.contains("RX  C00[CR]") && sim.log.contains("TX  [ACK]"));
    client.port.close();

    sim.process.terminate();
    QVERIFY(sim.process.waitForFinished());
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(!QFileInfo(linkPath).isSymLink());
}

void TestSimExecutable::hangupAndReopenBehindTheLink()
{
    QTemporaryDir dir;
    const QString linkPath = dir.filePath(QStringLiteral("projector"));
    Simulator sim;
    QVERIFY(sim.start({"--link", linkPath, "--hangup-after", "2", "--reopen-after-ms", "1000"}));

    Client first;
    QVERIFY2(first.open(linkPath), qPrintable(first.port.errorString()));
    first.port.write("CR0\r");
    QTRY_COMPARE(first.received, QByteArray("80\r"));
    first.port.write("CR1\r");
    QTRY_COMPARE(first.received, QByteArray("80\r1\r"));

    // The line goes as a pulled adapter goes: device node and link vanish.
    QTRY_VERIFY(sim.log.contains("hang-up"));
    QVERIFY(!QFileInfo::exists(sim.devicePath));
    QVERIFY(!QFileInfo(linkPath).isSymLink());

    static const QRegularExpression reopened(QStringLiteral("line reopened: (\\S+)"));
    QRegularExpressionMatch match;
    QTRY_VERIFY_WITH_TIMEOUT((match = reopened.match(QString::fromLocal8Bit(sim.log))).hasMatch(),
                             10000);
    const QString newDevice = match.captured(1);
    QCOMPARE(QFileInfo(linkPath).symLinkTarget(), newDevice);

    Client second;
    QVERIFY2(second.open(linkPath), qPrintable(second.port.errorString()));
    second.port.write("CR4\r");
    QTRY_COMPARE(second.received, QByteArray("11\r"));
}

QTEST_GUILESS_MAIN(TestSimExecutable)
#include "tst_simexecutable.moc"
