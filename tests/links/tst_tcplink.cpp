#include "links/portnaming.h"
#include "links/tcplink.h"
#include "settings/settings.h"
#include "testing/testsupport.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace zuno;

// The TCP link against servers on this machine that behave as serial device servers do when
// they are not what the entry says: one that serves another client and turns the connection
// away at once, one whose port speaks Telnet where raw TCP was expected, and the reverse.
class TestTcpLink : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }

    void explainsTheServer_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QByteArray>("greeting"); // what the server sends on accepting
        QTest::addColumn<bool>("closesAtOnce");
        QTest::addColumn<QByteArray>("received"); // what reaches the exchange, once open
        QTest::addColumn<QString>("told");        // the failure's or the notice's words
        const QByteArray telnet("\xff\xfd\x2c\xff\xfb\x01");
        const QString away = "the server closed the connection at once: it may be serving "
                             "another client";
        // clang-format off
        QTest::newRow("turned away") << "tcp" << QByteArray() << true << QByteArray() << away;
        QTest::newRow("turned away with words") << "tcp" << QByteArray("busy\r\n") << true << QByteArray() << away;
        QTest::newRow("raw reply") << "tcp" << QByteArray("\x06") << false << QByteArray("\x06") << "";
        QTest::newRow("Telnet on a raw entry") << "tcp" << telnet << false << telnet
            << "the server's port speaks Telnet/RFC 2217, not raw TCP: map it as rfc2217://127.0.0.1:%1, or set the server's port to raw TCP";
        QTest::newRow("COM-port option refused") << "rfc2217" << QByteArray("\xff\xfe\x2c" "80\r") << false << QByteArray("80\r")
            << "the server refused RFC 2217's COM-port option: the line runs at the speed set on the server";
        QTest::newRow("no Telnet on an RFC 2217 entry") << "rfc2217" << QByteArray("\x06") << false << QByteArray("\x06")
            << "the server did not answer in Telnet: its port may be raw TCP; map it as tcp://127.0.0.1:%1";
        // clang-format on
    }
    void explainsTheServer()
    {
        QFETCH(QString, scheme);
        QFETCH(QByteArray, greeting);
        QFETCH(bool, closesAtOnce);
        QFETCH(QByteArray, received);
        QFETCH(QString, told);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* client = server.nextPendingConnection();
            client->write(greeting);
            client->flush();
            if (closesAtOnce)
                client->disconnectFromHost();
        });
        const QString entry =
            QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(server.serverPort());
        if (told.contains(u'%'))
            told = told.arg(server.serverPort());
        TempStore::writeRaw("[Ports]\nCOM6=" + entry.toUtf8() + '\n');
        Settings settings;
        PortNaming naming(settings);
        TcpLink link(naming);
        QSignalSpy opened(&link, &Link::opened);
        QSignalSpy failed(&link, &Link::openFailed);
        QSignalSpy notices(&link, &Link::notice);
        QByteArray arrived;
        connect(&link, &Link::received, this, [&](const QByteArray& bytes) { arrived += bytes; });
        link.open(6, 9600);
        QTRY_VERIFY_WITH_TIMEOUT(opened.size() + failed.size() == 1, 10000);
        QCOMPARE(opened.size(), closesAtOnce ? 0 : 1);
        QCOMPARE(link.isOpen(), !closesAtOnce);
        const QString words = QStringLiteral("COM6 is %1: %2").arg(entry, told);
        if (closesAtOnce)
            QCOMPARE(failed.first().first().toString(), words);
        // Once open, what came first follows the answer, and what is to be said follows that.
        QTRY_COMPARE(arrived, received);
        QCOMPARE(notices.size(), told.isEmpty() ? 0 : 1);
        if (!told.isEmpty())
            QCOMPARE(notices.first().first().toString(), words);
    }
};

QTEST_GUILESS_MAIN(TestTcpLink)
#include "tst_tcplink.moc"
