#include "testing/testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
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
    void clientGoneWithRepliesPending();
    void halfClosedClientGetsItsReply();
};

// A client that goes away while its replies are still to come, with the log's reader gone too
// (the log goes into a pipe of the test's own, closed once the line is linked): the simulator
// goes on for the next client (its second projector latched on a lamp failure) and still ends
// cleanly, its link removed. Hang-up and reopening are proved with the panel end to end.
void TestSimExecutable::clientGoneWithRepliesPending()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("projector"));
    int logPipe[2];
    QVERIFY(::pipe2(logPipe, O_CLOEXEC) == 0);
    QProcess sim;
    sim.setChildProcessModifier([&] { ::dup2(logPipe[1], STDOUT_FILENO); });
    sim.start(QStringLiteral(ZUNO_SIM_PATH),
              {"--reply-delay-ms", "300", "--link", link, "--projectors", "2", "--fault", "2=21"});
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
    next.port.write("CR4\rA002CR0\r");
    QTRY_VERIFY(next.received.endsWith("11\r21\r"));
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
