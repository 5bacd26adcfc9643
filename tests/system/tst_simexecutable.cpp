#include "testing/testsupport.h"

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

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
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

// The program on its own, without the panel (the end-to-end test drives the two together).
class TestSimExecutable : public QObject
{
    Q_OBJECT
  private slots:
    void exchangeHangupReopenAndCleanExit();
    void floodKeepsMemoryAndAnswers();
    void clientGoneWithRepliesPending();
    void halfClosedClientGetsItsReply();
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

    // A descriptor of the test's own on the device sees the hang-up whatever the client's Qt
    // version reports; the node's name may meanwhile be taken by another test's terminal.
    const int watch =
        ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(watch >= 0);
    const auto closeWatch = qScopeGuard([watch] { ::close(watch); });
    Client first;
    QVERIFY2(first.open(link), qPrintable(first.port.errorString()));
    first.port.write("CR0\rA002CR0\rC00\r");
    QTRY_COMPARE(first.received, QByteArray("80\r21\r\x06"));

    // After three commands the line goes as a pulled adapter goes: the device hangs up, the link
    // vanishes, and both come back under a new device.
    QTRY_VERIFY(log.contains("hang-up"));
    pollfd hungUp{watch, POLLIN, 0};
    QVERIFY(::poll(&hungUp, 1, 10000) == 1 && (hungUp.revents & POLLHUP));
    QVERIFY(!QFileInfo(link).isSymLink());
    // Up to Qt 6.4 the client's port reports the hang-up as a read error and the client closes
    // it; later versions take the end of file a hung-up terminal reads as nothing to read and
    // poll on, the port open and its lock file (named after the link) held. A client must close
    // the port itself then, as the panel's device watch does, or the link's next device cannot
    // be opened by the same name.
    first.port.close();
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

// A writer putting "CR0\r" on the line as fast as it takes them while a client reads: the
// simulator keeps answering while it drops the excess, reports the drops as counts, keeps its
// memory peak through a million dropped commands and answers a normal command once the flood stops.
void TestSimExecutable::floodKeepsMemoryAndAnswers()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    QProcess sim;
    static const QRegularExpression report(QStringLiteral("(\\d+) command\\(s\\) dropped"));
    qint64 dropped = 0; // as the simulator reports on stderr, a line at a time
    connect(&sim, &QProcess::readyReadStandardError, [&] {
        sim.setReadChannel(QProcess::StandardError);
        while (sim.canReadLine())
            dropped += report.match(QString::fromLatin1(sim.readLine())).captured(1).toLongLong();
    });
    sim.setStandardOutputFile(QProcess::nullDevice()); // the log of every command admitted
    sim.start(QStringLiteral(ZUNO_SIM_PATH), {"--link", link});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 10000);
    const qint64 peakBefore = peakKiB(sim.processId());
    QVERIFY(peakBefore > 0);
    // The writer opens the device before the client: a serial port object holds it exclusively.
    const int writer =
        ::open(QFile::encodeName(link).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(writer >= 0);
    Client client;
    QVERIFY2(client.open(link), qPrintable(client.port.errorString()));
    const QByteArray commands = QByteArray("CR0\r").repeated(4096);
    qsizetype offset = 0; // where the next write goes on in the endless stream of commands
    QSocketNotifier room(writer, QSocketNotifier::Write);
    connect(&room, &QSocketNotifier::activated, [&] {
        const ssize_t n = ::write(writer, commands.constData() + offset, commands.size() - offset);
        offset = (offset + std::max<ssize_t>(n, 0)) % commands.size();
    });
    QTRY_VERIFY_WITH_TIMEOUT(client.received.count("80\r") >= 100 && dropped >= 1000000, 60000);
    room.setEnabled(false);
    ::close(writer);
#ifndef __SANITIZE_ADDRESS__ // the address sanitizer keeps freed memory resident on purpose
    QCOMPARE_LT(peakKiB(sim.processId()) - peakBefore, 8192);
#endif

    // The read is dropped as well while replies still wait for the line: it goes again with every
    // reply that arrives until it is answered, after a CR that ends a command the flood cut short.
    const auto ask = [&] {
        if (!client.received.contains("11\r"))
            client.port.write("\rCR4\r");
    };
    connect(&client.port, &QSerialPort::readyRead, ask);
    ask();
    QTRY_VERIFY_WITH_TIMEOUT(client.received.contains("11\r"), 10000);
    sim.terminate();
    QVERIFY(sim.waitForFinished());
    QCOMPARE(sim.exitCode(), 0);
}

// A client that goes away while its replies are still to come, with the log's reader gone too
// (the log goes into a pipe of the test's own, closed once the line is linked): the simulator
// goes on for the next client and still ends cleanly, its link removed.
void TestSimExecutable::clientGoneWithRepliesPending()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    int logPipe[2];
    QVERIFY(::pipe2(logPipe, O_CLOEXEC) == 0);
    QProcess sim;
    sim.setChildProcessModifier([&] { ::dup2(logPipe[1], STDOUT_FILENO); });
    sim.start(QStringLiteral(ZUNO_SIM_PATH), {"--reply-delay-ms", "300", "--link", link});
    ::close(logPipe[1]);
    char firstLine[256];
    pollfd started{logPipe[0], POLLIN, 0};
    QVERIFY(::poll(&started, 1, 10000) == 1 && ::read(logPipe[0], firstLine, sizeof firstLine) > 0);
    ::close(logPipe[0]);
    {
        Client gone;
        QVERIFY(gone.open(link));
        gone.port.write("CR0\rCR6\r");
        QVERIFY(gone.port.waitForBytesWritten(5000));
    }
    Client next;
    QVERIFY(next.open(link));
    next.port.write("CR4\r");
    QTRY_VERIFY(next.received.endsWith("11\r"));
    sim.terminate();
    QVERIFY(sim.waitForFinished());
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

// A TCP client that sends a command and closes its sending side (as `printf 'CR0\r' | nc -N`)
// gets its reply, after which the simulator ends the connection.
void TestSimExecutable::halfClosedClientGetsItsReply()
{
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(ZUNO_SIM_PATH), {"--tcp", "0"});
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 10000);
    const QUrl server(QString::fromLatin1(sim.readLine().trimmed()));
    QTcpSocket client;
    QByteArray received;
    connect(&client, &QTcpSocket::readyRead, [&] { received += client.readAll(); });
    client.connectToHost(server.host(), quint16(server.port()));
    QVERIFY(client.waitForConnected(10000));
    client.write("CR0\r");
    QVERIFY(client.waitForBytesWritten(10000));
    QCOMPARE(::shutdown(int(client.socketDescriptor()), SHUT_WR), 0);
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QAbstractSocket::UnconnectedState, 10000);
    QCOMPARE(received, QByteArray("80\r"));
    sim.terminate();
    QVERIFY(sim.waitForFinished());
    QCOMPARE(sim.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestSimExecutable)
#include "tst_simexecutable.moc"
