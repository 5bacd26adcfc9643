#include "sim/ptyport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using zuno::sim::PtyPort;

// A client that opens the device as any program would, leaving its settings alone.
static int openClient(const QString& path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

// Counts the socket notifications the event loop delivers while it exists.
struct SocketWakeUps : QObject
{
    SocketWakeUps() { QCoreApplication::instance()->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::SockAct;
        return false;
    }
    int count = 0;
};

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

    // Without a client the master reports a hang-up on every poll: a port still listening to it
    // would be woken on every pass of the event loop. A hundred passes must wake it not once.
    SocketWakeUps wakeUps;
    for (int pass = 0; pass < 100; ++pass)
        QCoreApplication::processEvents();
    QCOMPARE(wakeUps.count, 0);
    // A client coming back is found, and what it writes arrives.
    client = openClient(port.devicePath());
    QCOMPARE(::write(client, "CR0\r", 4), ssize_t(4));
    QTRY_COMPARE(received, QByteArray("a\nb\rCR0\r"));
    ::close(client);
}

QTEST_GUILESS_MAIN(TestPtyPort)
#include "tst_ptyport.moc"
