#include "testing/testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <fcntl.h>
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

// A client writing "CR0\r" without pause while another reads: the simulator keeps answering
// while it drops the excess, reports the drops as counts, keeps its memory peak through a million
// dropped commands and answers a normal command once the flood stops.
void TestSimExecutable::floodKeepsMemoryAndAnswers()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    QProcess sim, lines, flood; // flood: the "CR0" lines of yes, their LF turned into CR
    static const QRegularExpression report(QStringLiteral("(\\d+) command\\(s\\) dropped"));
    qint64 dropped = 0; // as the simulator reports on stderr
    connect(&sim, &QProcess::readyReadStandardError, [&] {
        for (auto it = report.globalMatch(QString::fromLatin1(sim.readAllStandardError()));
             it.hasNext();)
            dropped += it.next().captured(1).toLongLong();
    });
    sim.setStandardOutputFile(QProcess::nullDevice()); // the log of every command admitted
    sim.start(QStringLiteral(ZUNO_SIM_PATH), {"--link", link});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 10000);
    const qint64 peakBefore = peakKiB(sim.processId());
    QVERIFY(peakBefore > 0);
    lines.setStandardOutputProcess(&flood);
    flood.setStandardOutputFile(link);
    flood.start(QStringLiteral("tr"), {"\n", "\r"});
    lines.start(QStringLiteral("yes"), {"CR0"});
    QVERIFY(flood.waitForStarted() && lines.waitForStarted());
    Client client; // after the flood's writer: a serial port object holds its device exclusively
    QVERIFY2(client.open(link), qPrintable(client.port.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(client.received.count("80\r") >= 100 && dropped >= 1000000, 60000);
    lines.kill();
    QVERIFY(flood.waitForFinished());
#ifndef __SANITIZE_ADDRESS__ // the address sanitizer keeps freed memory resident on purpose
    QCOMPARE_LT(peakKiB(sim.processId()) - peakBefore, 8192);
#endif

    // The read is dropped as well until the replies still waiting have gone out: it is sent
    // again until answered, after a CR that ends what the flood's last write may have cut short.
    QTRY_VERIFY(client.received.endsWith("11\r") || (client.port.write("\rCR4\r") && false));
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
    QVERIFY(::read(logPipe[0], firstLine, sizeof firstLine) > 0);
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
