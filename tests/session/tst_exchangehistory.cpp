#include "core/replycollection.h"
#include "testing/fakesession.h"
#include "testing/testsupport.h"

#include <QtTest>

using namespace zuno;

namespace {
// The lines of `text` without their times.
QStringList withoutTimes(const QString& text)
{
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.section(u'\t', 1);
    return lines;
}
} // namespace

// The session's history of exchanges on a fake link: what each exchange holds, its reply time on
// a clock the test drives, its lines in the session log's format, and the bound.
class TestExchangeHistory : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init() { TempStore::writeRaw("[StartUP]\nComPort=5\nBaudRate=96\n"); }

    // A reply in two pieces and its words; a reply after the no-reply mark; a command that meets
    // a closed port; bytes that arrive on a line opened anew, after no command.
    void recordsEachExchange()
    {
        FakeSession f;
        qint64 micros = 0;
        ExchangeHistory history(f.session.exchange(), f.link, [&micros] { return micros; });
        f.session.start();
        history.setPort(QStringLiteral("COM5 x"));
        Exchange& exchange = f.session.exchange();
        micros = 1000;
        exchange.transmit("CR0");
        micros = 9000;
        f.link.arrive("00");
        micros = 21500;
        f.link.arrive("\r");
        micros = 30000;
        exchange.transmit("C00");
        exchange.replyTimerFired();
        micros = 1230000;
        f.link.arrive("\x06");
        f.link.hangUp();
        exchange.transmit("CR3");
        f.link.open(5, 9600);
        f.link.arrive("xyz");

        QCOMPARE(history.size(), 4);
        const ExchangeRecord& status = history.at(0);
        QCOMPARE(status.sent, QByteArray("CR0\r"));
        QCOMPARE(status.received, QByteArray("00\r"));
        QCOMPARE(status.words, QStringLiteral(" Power ON"));
        QCOMPARE(status.replyMicros, 20500);
        QCOMPARE(history.at(1).replyMicros, 1200000);
        QVERIFY(history.at(1).noReplyAt != 0);
        QVERIFY(!history.at(2).written);
        QCOMPARE(history.at(3).sent, QByteArray());
        QCOMPARE(history.at(3).replyMicros, -1);
        QCOMPARE(history.at(3).number, 4);
        QCOMPARE(withoutTimes(history.logLines()),
                 (QStringList{"COM5 x\tsent\t43 52 30 0D\tC R 0  [CR]",
                              "COM5 x\treceived\t30 30 0D\t0 0  [CR]", "COM5 x\tstatus\tPower ON",
                              "COM5 x\tsent\t43 30 30 0D\tC 0 0  [CR]", "COM5 x\tno-reply",
                              "COM5 x\treceived-late\t06\t[ACK]",
                              "COM5 x\tunsent\t43 52 33 0D\tC R 3  [CR]",
                              "COM5 x\treceived\t78 79 7A\tx y z"}));
    }

    // The session's own history keeps the newest exchanges, on the port that opened, and of each
    // as many received bytes as the RxD line; a smaller bound drops the oldest with the next one.
    void keepsTheNewest()
    {
        FakeSession f;
        ExchangeHistory& history = f.session.history();
        QSignalSpy appended(&history, &ExchangeHistory::appended);
        f.session.start();
        const qsizetype total = ExchangeHistory::kCapacity + 3;
        for (qsizetype i = 0; i < total; ++i)
            f.session.exchange().transmit("CR0");
        f.link.arrive(QByteArray(kReplyCollectionLimit + 10, '0'));
        QCOMPARE(history.size(), ExchangeHistory::kCapacity);
        QCOMPARE(history.at(0).number, 4);
        QCOMPARE(history.at(history.size() - 1).number, total);
        QCOMPARE(history.at(0).port, f.session.portDescription());
        QCOMPARE(history.at(history.size() - 1).received.size(), kReplyCollectionLimit);
        qsizetype dropped = 0;
        for (const QList<QVariant>& signal : appended)
            dropped += signal.first().value<qsizetype>();
        QCOMPARE(dropped, 3);

        history.setCapacity(10);
        f.session.exchange().transmit("CR1");
        QCOMPARE(history.size(), 10);
        QCOMPARE(appended.last().first().value<qsizetype>(), ExchangeHistory::kCapacity - 9);
        QCOMPARE(history.at(9).sent, QByteArray("CR1\r"));

        // A reply read into a buffer far larger than itself: ten thousand held replies must not
        // keep ten thousand such buffers alive.
        QByteArray readBuffer;
        readBuffer.reserve(64 * 1024);
        readBuffer.append("80\r");
        f.link.arrive(readBuffer);
        QCOMPARE(history.at(9).received, readBuffer);
        QCOMPARE_LT(history.at(9).received.capacity(), 1024);
    }
};

QTEST_GUILESS_MAIN(TestExchangeHistory)
#include "tst_exchangehistory.moc"
