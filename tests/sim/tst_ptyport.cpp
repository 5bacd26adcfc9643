#include "sim/ptyport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using zuno::sim::PtyPort;

namespace {

// A client that opens the device as any program would, leaving its settings alone.
int openClient(const QString& path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

QByteArray readClient(int fd)
{
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, n) : QByteArray();
}

qint64 cpuMicroseconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}

} // namespace

class TestPtyPort : public QObject
{
    Q_OBJECT
  private slots:
    void rawInBothDirections();
    void clientLeavesAndReturnsWithoutSpinning();
};

void TestPtyPort::rawInBothDirections()
{
    PtyPort port;
    QString error;
    QVERIFY2(port.open(9600, &error), qPrintable(error));
    QByteArray received;
    connect(&port, &PtyPort::received, [&](const QByteArray& bytes) { received += bytes; });

    const int client = openClient(port.devicePath());
    QVERIFY(client >= 0);
    QTRY_VERIFY(port.hasClient());
    // Without raw mode the line discipline would turn LF into CR LF on the way out.
    QCOMPARE(::write(client, "a\nb\r", 4), ssize_t(4));
    QTRY_COMPARE(received, QByteArray("a\nb\r"));

    // ... CR into LF on the way in, and echo the bytes back to the writer.
    QCOMPARE(port.write("x\ry\n"), qsizetype(4));
    QByteArray atClient;
    QTRY_COMPARE(atClient += readClient(client), QByteArray("x\ry\n"));
    QCOMPARE(::write(client, "z\r", 2), ssize_t(2));
    QTRY_COMPARE(received, QByteArray("a\nb\rz\r"));
    ::close(client);
}

void TestPtyPort::clientLeavesAndReturnsWithoutSpinning()
{
    PtyPort port;
    QString error;
    QVERIFY2(port.open(19200, &error), qPrintable(error));
    QCOMPARE(port.write("lost"), qsizetype(0)); // nothing is kept for a later client
    QSignalSpy connected(&port, &PtyPort::clientConnected);
    QSignalSpy disconnected(&port, &PtyPort::clientDisconnected);
    QSignalSpy received(&port, &PtyPort::received);

    int client = openClient(port.devicePath());
    QVERIFY(connected.wait());
    ::close(client);
    QVERIFY(disconnected.wait());
    QVERIFY(!port.hasClient());

    // A quarter of a second without a client, then one comes back and writes. A port
    // that kept polling the hung-up master would burn the CPU meanwhile.
    const QString path = port.devicePath();
    QTimer::singleShot(250, [&] {
        client = openClient(path);
        QCOMPARE(::write(client, "CR0\r", 4), ssize_t(4));
    });
    QElapsedTimer wall;
    wall.start();
    const qint64 cpuBefore = cpuMicroseconds();
    QVERIFY(received.wait());
    const qint64 cpuUsed = cpuMicroseconds() - cpuBefore;
    QVERIFY2(cpuUsed < wall.nsecsElapsed() / 1000 / 4,
             qPrintable(QStringLiteral("%1 us of CPU in %2 ms").arg(cpuUsed).arg(wall.elapsed())));
    QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("CR0\r"));
    QCOMPARE(connected.size(), 2);
    QCOMPARE(disconnected.size(), 1);
    QCOMPARE(readClient(client), QByteArray()); // the earlier output was not kept
    ::close(client);
}

QTEST_GUILESS_MAIN(TestPtyPort)
#include "tst_ptyport.moc"
