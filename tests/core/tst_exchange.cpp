#include "core/buttontable.h"
#include "core/exchange.h"
#include "testing/fakelink.h"

#include <QSignalSpy>
#include <QtTest>

using namespace zuno;

// The exchange engine on a fake link: what goes on the wire, what the three lines and the
// legends show, and what each timer does when it fires. Ticks are fired by the test, never
// waited for.
class TestExchange : public QObject
{
    Q_OBJECT
    std::unique_ptr<FakeLink> m_link;
    std::unique_ptr<Exchange> m_exchange;
    std::unique_ptr<QSignalSpy> m_legends;

    Exchange& exchange() { return *m_exchange; }
    // The legends last signalled: ACK, CR, space.
    QList<bool> legends() const
    {
        if (m_legends->isEmpty())
            return {false, false, false};
        const QList<QVariant> last = m_legends->last();
        return {last[0].toBool(), last[1].toBool(), last[2].toBool()};
    }
    int replyMs() const { return m_exchange->replyTimer().interval(); }
    int displayMs() const { return m_exchange->displayClearTimer().interval(); }

  private slots:
    void init()
    {
        m_link = std::make_unique<FakeLink>();
        m_link->open(5, 9600);
        m_exchange = std::make_unique<Exchange>(*m_link);
        m_legends = std::make_unique<QSignalSpy>(m_exchange.get(), &Exchange::legendsChanged);
    }
    void cleanup()
    {
        m_legends.reset();
        m_exchange.reset();
        m_link.reset();
    }

    // A command goes out as one write behind the address; the TxD line shows it spelled out, the
    // CR legend appears, and both closing timers run. The last command keeps no prefix.
    void transmitFramesAndEchoes()
    {
        QSignalSpy txd(&exchange(), &Exchange::txdChanged);
        exchange().setAddress("A004");
        exchange().transmit("C00");
        QCOMPARE(m_link->writes, QList<QByteArray>{"A004C00\r"});
        QCOMPARE(exchange().lastCommand(), QByteArray("C00\r"));
        QCOMPARE(exchange().txd(), QStringLiteral(" A 0 0 4 C 0 0  [CR] "));
        QCOMPARE(txd.count(), 1);
        QCOMPARE(legends(), QList<bool>({false, true, false}));
        QVERIFY(exchange().isAwaitingReply());
        QVERIFY(exchange().replyTimer().isActive() && exchange().displayClearTimer().isActive());
        QVERIFY(!exchange().repeatTimer().isActive());

        // Without an address the command goes out alone.
        exchange().setAddress({});
        exchange().transmit("CF KEYDIS RC");
        QCOMPARE(m_link->writes.last(), QByteArray("CF KEYDIS RC\r"));
    }

    // Legends come with their codes and stay across transmits until the reply window closes; a
    // reply that arrived stays on the RxD line, the collection does not.
    void legendsLastUntilTheReplyWindowCloses()
    {
        exchange().transmit("CF KEYDIS RC");
        QCOMPARE(legends(), QList<bool>({false, true, true}));
        exchange().transmit("C00");
        QCOMPARE(legends(), QList<bool>({false, true, true}));
        m_link->arrive("\x06\r");
        QCOMPARE(exchange().rxd(), QStringLiteral("  [ACK]  [CR] "));
        QCOMPARE(legends(), QList<bool>({true, true, true}));
        QVERIFY(!exchange().isAwaitingReply());

        exchange().replyTimerFired();
        QCOMPARE(legends(), QList<bool>({false, false, false}));
        QCOMPARE(exchange().rxd(), QStringLiteral("  [ACK]  [CR] "));
        QVERIFY(exchange().collected().isEmpty());
        QVERIFY(!exchange().replyTimer().isActive());
        // Characters after the window closed start a fresh collection, still decoded.
        m_link->arrive("X");
        QCOMPARE(exchange().rxd(), QStringLiteral(" X "));
    }

    // Replies to the five read commands decode whole or a byte at a time; the length-bound ones
    // act only on the piece that completes the reply; others are only echoed. Each reply gives
    // one reading, however many pieces it comes in.
    void repliesDecodeInAnySplit_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("status");
        QTest::newRow("status") << QByteArray("CR0") << QByteArray("00\r") << " Power ON";
        QTest::newRow("input") << QByteArray("CR1") << QByteArray("5\r") << " Wireless/Viewer";
        QTest::newRow("setting") << QByteArray("CR4") << QByteArray("00\r")
                                 << " Top/Bottom , Left/Right reversal";
        QTest::newRow("lamp hours")
            << QByteArray("CR3") << QByteArray("01234\r") << "   1 2 3 4   Hour Use";
        QTest::newRow("temperatures") << QByteArray("CR6") << QByteArray("035.0 038.5 041.0\r")
                                      << " 0 3 5 . 0 deg C 0 3 8 . 5 deg C 0 4 1 . 0 deg C ";
        QTest::newRow("status 2 is echoed only") << QByteArray("CRA") << QByteArray("00\r") << "";
        QTest::newRow("acknowledged") << QByteArray("C00") << QByteArray("\x06") << "";
    }
    void repliesDecodeInAnySplit()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        QFETCH(QString, status);
        const bool lengthBound = command == "CR3" || command == "CR6";
        for (const qsizetype piece : {reply.size(), qsizetype(1)}) {
            exchange().displayClearTimerFired();
            exchange().transmit(command);
            QSignalSpy readings(&exchange(), &Exchange::replyDecoded);
            // A caller waiting for the reply learns once that it is whole, when its end arrives.
            QSignalSpy completed(&exchange(), &Exchange::replyCompleted);
            for (qsizetype at = 0; at < reply.size(); at += piece) {
                m_link->arrive(reply.mid(at, piece));
                const qsizetype upTo = std::min(at + piece, reply.size());
                QCOMPARE(exchange().collected(), reply.left(upTo));
                if (lengthBound && upTo < reply.size())
                    QCOMPARE(exchange().status(), QString());
            }
            QCOMPARE(exchange().status(), status);
            QCOMPARE(readings.count(), status.isEmpty() ? 0 : 1);
            QVERIFY(status.isEmpty() || readings.first().first() == status);
            QCOMPARE(completed.count(), 1);
            QCOMPARE(completed.first().first().toByteArray(), reply);
        }
    }

    // A reply window of its own (a slow projector); when it closes, what came in it is handed
    // over, a piece without its end included, before the collection is emptied.
    void replyWindowClosesWithWhatCame()
    {
        exchange().startUpCompleted();
        exchange().setReplyWindow(5000);
        QCOMPARE(replyMs(), 5000);
        QCOMPARE(displayMs(), 5200);
        QSignalSpy closed(&exchange(), &Exchange::replyWindowClosed);
        QSignalSpy completed(&exchange(), &Exchange::replyCompleted);
        exchange().transmit("CR0");
        m_link->arrive("00");
        exchange().replyTimerFired();
        exchange().transmit("CR0");
        exchange().replyTimerFired();
        QCOMPARE(closed.count(), 2);
        QCOMPARE(closed[0].first().toByteArray(), QByteArray("00"));
        QCOMPARE(closed[1].first().toByteArray(), QByteArray());
        QCOMPARE(completed.count(), 0);
        QCOMPARE(exchange().rxd(), QString::fromLatin1(kNoReplyMark));
    }

    // Lamp hours are appended to what the status line still shows; a console command goes out
    // as given, runs the reply window, and does not change what replies are decoded against.
    void decodingFollowsThePanelsLastCommand()
    {
        exchange().transmit("CR0");
        m_link->arrive("00\r");
        exchange().transmit("CR3");
        m_link->arrive("00012\r");
        QCOMPARE(exchange().status(), QStringLiteral(" Power ON       1 2   Hour Use"));

        exchange().transmit("CR0");
        exchange().replyTimerFired();
        exchange().sendFromConsole("CR LAMPH\r");
        QCOMPARE(m_link->writes.last(), QByteArray("CR LAMPH\r"));
        QVERIFY(exchange().replyTimer().isActive());
        QCOMPARE(exchange().lastCommand(), QByteArray("CR0\r"));
        m_link->arrive("10\r");
        QCOMPARE(exchange().status(), QStringLiteral(" Power abnormality"));
    }

    // The reply window closes with the no-reply mark when nothing came; the display clears all
    // three lines a little later. Bytes after the mark are late until the next command goes out.
    void noReplyMarkThenDisplayClear()
    {
        QSignalSpy received(&exchange(), &Exchange::received);
        exchange().transmit("CR0");
        m_link->arrive("0");
        exchange().replyTimerFired(); // something came: no mark, and what follows is not late
        m_link->arrive("0\r");
        exchange().transmit("CR0");
        exchange().replyTimerFired();
        QCOMPARE(exchange().rxd(), QString::fromLatin1(kNoReplyMark));
        QVERIFY(!exchange().txd().isEmpty());
        QVERIFY(exchange().displayClearTimer().isActive());

        m_link->arrive("00\r");
        m_link->arrive("\x06");
        QVERIFY(!exchange().status().isEmpty());
        QSignalSpy status(&exchange(), &Exchange::statusChanged);
        exchange().displayClearTimerFired();
        QVERIFY(exchange().txd().isEmpty() && exchange().rxd().isEmpty());
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.last().first().toString(), QString());
        QVERIFY(!exchange().displayClearTimer().isActive());
        exchange().transmit("CR0");
        m_link->arrive("00\r");
        QList<bool> late;
        for (const QList<QVariant>& event : received)
            late << event.at(1).toBool();
        QCOMPARE(late, QList<bool>({false, false, true, true, false}));
    }

    // Every hold button's key repeats that button's own command: at once, then at each tick,
    // until the release, with the hold's short reply window; a second press changes nothing.
    // (The other modes' intervals are proved where they begin: start-up, console, MENU "On".)
    void holdRepeatsUntilRelease_data()
    {
        QTest::addColumn<int>("repeatKey");
        QTest::addColumn<QByteArray>("command");
        for (const ButtonSpec& spec : panelButtons()) {
            if (spec.kind == ButtonKind::Hold)
                QTest::newRow(spec.objectName) << spec.repeatKey << QByteArray(spec.command);
        }
    }
    void holdRepeatsUntilRelease()
    {
        QFETCH(int, repeatKey);
        QFETCH(QByteArray, command);
        exchange().startHold(repeatKey);
        QVERIFY(exchange().isHolding() && exchange().repeatTimer().isActive());
        QVERIFY(exchange().repeatTimer().interval() == 100 && replyMs() == 150 &&
                displayMs() == 200);
        exchange().startHold(repeatKey == 1 ? 2 : 1);
        exchange().repeatTimerFired();
        exchange().setAddress("AFFF"); // the next repeat carries the new address
        exchange().repeatTimerFired();
        QCOMPARE(m_link->writes,
                 QList<QByteArray>({command + '\r', command + '\r', "AFFF" + command + '\r'}));
        QCOMPARE(exchange().lastCommand(), command + '\r');

        exchange().endHold();
        QVERIFY(!exchange().isHolding());
        QVERIFY(exchange().txd().isEmpty() && exchange().rxd().isEmpty());
        QVERIFY(!exchange().repeatTimer().isActive() && !exchange().replyTimer().isActive());
        QVERIFY(exchange().displayClearTimer().isActive());
        // A tick that was already on its way sends nothing any more.
        exchange().repeatTimerFired();
        QCOMPARE(m_link->writes.size(), 3);
    }

    // A release without a hold runs all its steps; a key no button carries starts nothing.
    void releaseWithoutHoldAndUnknownKeys()
    {
        exchange().transmit("C00");
        m_link->arrive("\x06");
        exchange().endHold();
        QVERIFY(exchange().txd().isEmpty() && exchange().rxd().isEmpty());
        QVERIFY(exchange().collected().isEmpty());
        QVERIFY(!exchange().replyTimer().isActive() && exchange().displayClearTimer().isActive());
        QVERIFY(replyMs() == 500 && displayMs() == 1000);
        for (const int key : {0, 19, -1}) {
            exchange().startHold(key);
            QVERIFY(!exchange().isHolding());
        }
        QCOMPARE(m_link->writes.size(), 1);
    }

    // With the line closed nothing goes out and the RxD line says so until the display clears; a
    // line that went away keeps the mark through clearings and the end of a hold, until it is
    // open again, which the RxD line says until the next clearing. A closing reply window does
    // not put the no-reply mark over either.
    void closedOrLostPortIsShown()
    {
        m_link->close();
        exchange().transmit("C00");
        QVERIFY(m_link->writes.isEmpty());
        QCOMPARE(exchange().txd(), QStringLiteral(" C 0 0  [CR] "));
        QCOMPARE(exchange().rxd(), QString::fromLatin1(kPortClosedMark));
        exchange().replyTimerFired();
        QCOMPARE(exchange().rxd(), QString::fromLatin1(kPortClosedMark));
        exchange().displayClearTimerFired();
        QCOMPARE(exchange().rxd(), QString());

        m_link->open(5, 9600);
        QCOMPARE(exchange().rxd(), QString()); // an open that follows no loss says nothing
        exchange().transmit("CR0");
        m_link->hangUp();
        QCOMPARE(exchange().rxd(), QString::fromLatin1(kPortClosedMark));
        exchange().replyTimerFired();
        exchange().displayClearTimerFired();
        exchange().startHold(3);
        exchange().endHold();
        exchange().displayClearTimerFired();
        QCOMPARE(exchange().txd(), QString());
        QCOMPARE(exchange().rxd(), QString::fromLatin1(kPortClosedMark));
        m_link->open(5, 9600);
        QCOMPARE(exchange().rxd(), QString::fromLatin1(kPortOpenMark));
        QVERIFY(exchange().displayClearTimer().isActive());
        exchange().displayClearTimerFired();
        QCOMPARE(exchange().rxd(), QString());
        // Back open, a command that gets no answer is marked again.
        exchange().transmit("CR0");
        exchange().replyTimerFired();
        QCOMPARE(exchange().rxd(), QString::fromLatin1(kNoReplyMark));
    }

    // A line that keeps sending fills one collection up to its bound and no further: the first
    // bytes are kept, the rest dropped.
    void noiseIsBounded()
    {
        exchange().transmit("CR0");
        m_link->arrive(QByteArray(4000, 'U'));
        m_link->arrive(QByteArray(6000, 'V'));
        QCOMPARE(exchange().collected(), QByteArray(4000, 'U') + QByteArray(96, 'V'));
        const QString shown = exchange().rxd();
        QSignalSpy rxd(&exchange(), &Exchange::rxdChanged);
        m_link->arrive("more");
        QCOMPARE(exchange().collected().size(), 4096);
        QCOMPARE(rxd.count(), 0);
        QVERIFY(shown.startsWith(" U U U") && shown.size() == 1 + 2 * 4096);
    }

    void haltStopsEveryTimer()
    {
        exchange().startHold(3);
        exchange().halt();
        QVERIFY(!exchange().repeatTimer().isActive() && !exchange().replyTimer().isActive() &&
                !exchange().displayClearTimer().isActive());
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
