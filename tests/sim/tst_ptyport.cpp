#include "sim/ptyport.h"

#include <QFile>
#include <QTest>
#include <QTimer>

#include <ctime>
#include <fcntl.h>
#include <unistd.h>

using zuno::sim::PtyPort;

// A client that opens the device as any program would, leaving its settings alone.
static int openClient(const QString& path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

class TestPtyPort : public QObject
{
    Q_OBJECT
  private slots:
    void rawLineAndReturningClient();
};

void TestPtyPort::rawLineAndReturningClient()
{
    PtyPort port;
    QString error;
    QVERIFY2(port.open(9600, &error), qPrintable(error));
    QCOMPARE(port.write("lost"), qsizetype(0)); // nothing is kept for a later client
    QByteArray received;
    connect(&port, &PtyPort::received, [&](const QByteArray& bytes) { received += bytes; });

    // Raw mode: no LF into CR LF towards the port, no CR into LF towards the client, and no echo
    // of the port's output (checked by the exact total at the end).
    int client = openClient(port.devicePath());
    QVERIFY(client >= 0);
    QTRY_VERIFY(port.hasClient());
    QCOMPARE(::write(client, "a\nb\r", 4), ssize_t(4));
    QTRY_COMPARE(received, QByteArray("a\nb\r"));
    QCOMPARE(port.write("x\ry\n"), qsizetype(4));
    QByteArray atClient;
    char buffer[16];
    QTRY_COMPARE(atClient += QByteArray(buffer, std::max<ssize_t>(0, ::read(client, buffer, 16))),
                 QByteArray("x\ry\n"));
    ::close(client);
    QTRY_VERIFY(!port.hasClient());

    // A quarter of a second without a client, then one comes back and writes. A port that kept
    // polling the hung-up master would burn that quarter second of CPU meanwhile.
    QTimer::singleShot(250, &port, [&] {
        QCOMPARE(::write(client = openClient(port.devicePath()), "CR0\r", 4), ssize_t(4));
    });
    const std::clock_t cpuBefore = std::clock();
    QTRY_COMPARE(received, QByteArray("a\nb\rCR0\r"));
    const qint64 cpuUs = qint64(std::clock() - cpuBefore) * 1000000 / CLOCKS_PER_SEC;
    QVERIFY2(cpuUs < 60000, qPrintable(QStringLiteral("%1 us of CPU in over 250 ms").arg(cpuUs)));
    ::close(client);
}

QTEST_GUILESS_MAIN(TestPtyPort)
#include "tst_ptyport.moc"
