#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

#include <fcntl.h>
#include <unistd.h>

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

// A client on the bare device, as a program that neither locks nor sets up the port: it keeps
// what arrives and can write.
struct RawClient
{
    int fd = -1;
    QByteArray received;
    std::unique_ptr<QSocketNotifier> notifier;

    explicit RawClient(const QString& path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        if (fd < 0)
            return;
        notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
            char buffer[4096];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                received.append(buffer, n);
        });
    }
    ~RawClient() { close(); }
    void close()
    {
        notifier.reset();
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    bool write(const QByteArray& bytes)
    {
        return ::write(fd, bytes.data(), bytes.size()) == bytes.size();
    }
};

// A figure in kB from /proc/PID/status, e.g. "VmHWM"; -1 when it cannot be read.
static qint64 statusKiB(qint64 pid, const QByteArray& key)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// The program on its own, without the panel (the end-to-end test drives the two together).
class TestSimExecutable : public QObject
{
    Q_OBJECT
  private slots:
    void exchangeHangupReopenAndCleanExit();
    void floodKeepsMemoryAndAnswers();
    void clientGoneWithRepliesPending_data();
    void clientGoneWithRepliesPending();
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

// A client writing "CR0\r" without pause and reading what comes: the simulator keeps answering
// while it drops the excess, reports the drops as counts, keeps its memory through a million
// dropped commands and answers a normal command once the flood stops.
void TestSimExecutable::floodKeepsMemoryAndAnswers()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    QProcess sim;
    QByteArray errors;
    connect(&sim, &QProcess::readyReadStandardError, [&] { errors += sim.readAllStandardError(); });
    sim.setStandardOutputFile(QProcess::nullDevice()); // the log of every command admitted
    sim.start(QStringLiteral(ZUNO_SIM_PATH), {"--link", link});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 10000);
    RawClient client(link);
    QVERIFY(client.fd >= 0);
    const qint64 peakBefore = statusKiB(sim.processId(), "VmHWM");
    QVERIFY(peakBefore > 0);

    QProcess lines, flood; // "CR0" lines, their LF turned into CR
    lines.setStandardOutputProcess(&flood);
    flood.setStandardOutputFile(link);
    flood.start(QStringLiteral("tr"), {"\n", "\r"});
    lines.start(QStringLiteral("yes"), {"CR0"});
    static const QRegularExpression report(QStringLiteral("(\\d+) command\\(s\\) dropped"));
    const auto dropped = [&] {
        qint64 total = 0;
        for (auto it = report.globalMatch(QString::fromLatin1(errors)); it.hasNext();)
            total += it.next().captured(1).toLongLong();
        return total;
    };
    QTRY_VERIFY_WITH_TIMEOUT(dropped() >= 1000000 && client.received.count("80\r") >= 100, 60000);
    lines.kill();
    QVERIFY(lines.waitForFinished());
    QVERIFY(flood.waitForFinished());
    const qint64 peakAfter = statusKiB(sim.processId(), "VmHWM");
    QVERIFY2(peakAfter - peakBefore < 8192,
             qPrintable(QStringLiteral("peak %1 kB before, %2 kB after %3 commands dropped")
                            .arg(peakBefore)
                            .arg(peakAfter)
                            .arg(dropped())));

    // Until the replies still waiting have gone out the read is dropped too: it is sent again
    // until answered, after a CR that ends what the flood's last write may have cut short.
    QTRY_VERIFY(client.received.endsWith("11\r") || (client.write("\rCR4\r") && false));
    sim.terminate();
    QVERIFY(sim.waitForFinished());
    QCOMPARE(sim.exitCode(), 0);
}

void TestSimExecutable::clientGoneWithRepliesPending_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("pseudo-terminal") << false;
    QTest::newRow("tcp") << true;
}

// A client that goes away while its replies are still to come, with nobody reading the log any
// more either: the simulator goes on for the next client and still ends cleanly, link removed.
void TestSimExecutable::clientGoneWithRepliesPending()
{
    QFETCH(bool, tcp);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    // The log goes into a pipe of the test's own, which it closes after the first line.
    int logPipe[2];
    QVERIFY(::pipe2(logPipe, O_CLOEXEC) == 0);
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.setChildProcessModifier([&] { ::dup2(logPipe[1], STDOUT_FILENO); });
    sim.start(QStringLiteral(ZUNO_SIM_PATH),
              QStringList{"--reply-delay-ms", "300"} +
                  (tcp ? QStringList{"--tcp", "0"} : QStringList{"--link", link}));
    ::close(logPipe[1]);
    QByteArray firstLine;
    char c;
    while (::read(logPipe[0], &c, 1) == 1 && c != '\n')
        firstLine += c;
    ::close(logPipe[0]); // every log line now meets a broken pipe
    const QUrl address(QString::fromLocal8Bit(firstLine));

    // The first client sends two reads and goes at once; the second stays for its answer. A TCP
    // client that comes before the simulator has seen the first one go is turned away, and tries
    // again.
    for (const bool stays : {false, true}) {
        const QByteArray commands = stays ? "CR4\r" : "CR0\rCR6\r";
        QTcpSocket socket;
        QByteArray fromSocket;
        connect(&socket, &QTcpSocket::readyRead, [&] { fromSocket += socket.readAll(); });
        RawClient device(tcp ? QString() : link);
        const auto send = [&] {
            if (!tcp)
                return device.write(commands);
            socket.connectToHost(address.host(), quint16(address.port()));
            return socket.write(commands) == commands.size() && socket.waitForBytesWritten(5000);
        };
        QVERIFY(send());
        if (!stays) {
            socket.abort();
            continue;
        }
        QTRY_VERIFY(
            (tcp ? fromSocket : device.received).endsWith("11\r") ||
            (socket.state() == QAbstractSocket::UnconnectedState && tcp && send() && false));
    }
    QCOMPARE(sim.state(), QProcess::Running);
    sim.terminate();
    QVERIFY(sim.waitForFinished());
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestSimExecutable)
#include "tst_simexecutable.moc"
