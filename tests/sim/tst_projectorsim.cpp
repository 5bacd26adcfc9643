#include "sim/projectorsim.h"

#include <QSignalSpy>
#include <QTest>

using zuno::sim::ProjectorSim;

// Options are given as designated initializers naming what a test is about; the last member,
// faults, is always named so that GCC's missing-initializer warning stays quiet.

static const QByteArray kAck("\x06");
static constexpr qint64 kNsPerMs = 1000000;

// A simulator on a clock the test moves: line time passes only in advance(), a millisecond at a
// time, and whatever falls due in a millisecond happens in it. Nothing waits for real time.
struct ClockedSim : ProjectorSim
{
    using ProjectorSim::ProjectorSim;
    qint64 nowNs() const override { return ns; }
    void advance(qint64 ms)
    {
        while (ms-- > 0) {
            ns += kNsPerMs;
            runDue();
        }
    }
    qint64 ns = 0;
};

// Everything the simulator writes to the line, each write with the line time it was made at.
struct Line
{
    explicit Line(ClockedSim& sim)
    {
        QObject::connect(&sim, &ProjectorSim::output, [this, &sim](const QByteArray& bytes) {
            received += bytes;
            writes.append({sim.ns, bytes});
        });
    }
    QByteArray received;
    QList<QPair<qint64, QByteArray>> writes;
};

class TestProjectorSim : public QObject
{
    Q_OBJECT
  private slots:
    void replies_data();
    void replies();
    void powerCycleAndLampHours();
    void pacedInOrder();
    void silentHangupAndNoise();
    void floodDroppedAndReported();
    void stallDoesNotBurst();
};

// Two projectors, the second latched on a temperature fault; the input goes in pieces split at
// '|'. Rows with commands that must stay unanswered end with an answered one, so that a stray
// reply would come first and spoil the comparison.
void TestProjectorSim::replies_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("reads in standby")
        << QByteArray("CR0\rCR3\rCR4\rCR6\rCR7\rCR9\rCRA\r")
        << QByteArray("80\r01200\r11\r025.0 025.5 026.0\r00\r001\r80111\r");
    QTest::newRow("catalogue codes acknowledged, malformed commands the error reply")
        << QByteArray(
               "C0D\rC8A\rCF KEYDIS NONE\rCR LAMPSTS\rXYZ\rc00\rC0G\rC000\rCR0 \rCF \rCR2\rAC00\r")
        << kAck.repeated(4) + QByteArray("?\r").repeated(8);
    QTest::newRow("empty commands, AFFF and absent addresses unanswered; unknown to an address")
        << QByteArray("\rA001\rAFFFCR0\rAFFFXYZ\rA003CR0\rA000CR0\rA003XYZ\rA002XYZ\rCR0\r")
        << QByteArray("?\r80\r");
    QTest::newRow("AFFF executes unanswered")
        << QByteArray("AFFFC00\rA001CR0\r") << QByteArray("40\r");
    QTest::newRow("fault latched over power on, temperatures read hot, A001 not powered on")
        << QByteArray("A002C00\rA002CR0\rA002CR6\rA001CR0\r")
        << kAck + "28\r058.5 065.0 071.5\r80\r";
    QTest::newRow("byte by byte, address apart, CR in front of the next command")
        << QByteArray("A|0|0|1|C|R|0|\r|C|R|1|\rA001|CR0|\rC|R1\r") << QByteArray("80\r1\r80\r1\r");
}

void TestProjectorSim::replies()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    ClockedSim sim({.projectorCount = 2, .replyDelayMs = 0, .faults = {{2, "28"}}});
    Line line(sim);
    for (const QByteArray& piece : input.split('|'))
        sim.feed(piece);
    sim.advance(1000);
    QCOMPARE(line.received, expected);
}

// Power on counts down for exactly the warm-up, a second power on changes nothing, power on is
// refused while cooling, power off in the count down cools at once; lamp hours count while on
// only, up to five digits.
void TestProjectorSim::powerCycleAndLampHours()
{
    ClockedSim sim({.warmupMs = 300, .cooldownMs = 300, .lampHourMs = 5, .faults = {}});
    Line line(sim);
    const auto exchange = [&](const QByteArray& input) {
        line.received.clear();
        sim.feed(input);
        sim.advance(100);
        return line.received;
    };
    QCOMPARE(exchange("C00\rCR0\rC00\r"), kAck + "40\r" + kAck);
    sim.advance(199);
    QCOMPARE(sim.status(1), QByteArray("40"));
    sim.advance(1);
    QCOMPARE(sim.status(1), QByteArray("00"));
    sim.advance(50);
    QCOMPARE(sim.lampHours(1), 1210);
    QCOMPARE(exchange("C01\rC00\rCR0\r"), kAck + kAck + "20\r");
    sim.advance(200);
    QCOMPARE(sim.status(1), QByteArray("80"));
    QCOMPARE(sim.lampHours(1), 1210); // 300 ms of cooling would have added 60 hours
    QCOMPARE(exchange("C00\rC01\rCR0\r"), kAck + kAck + "20\r");

    ClockedSim worn({.warmupMs = 0, .lampHoursStart = 99990, .lampHourMs = 5, .faults = {}});
    Line wornLine(worn);
    worn.feed("C00\r");
    worn.advance(100);
    QCOMPARE(worn.lampHours(1), 99999);
    worn.feed("CR3\r");
    worn.advance(100);
    QCOMPARE(wornLine.received, kAck + "99999\r");
}

// In whole writes or one write per character, the k-th byte goes out in the millisecond in which
// the reply delay and k character times (split: one character time and k - 1 gaps) are over.
void TestProjectorSim::pacedInOrder()
{
    for (const bool split : {false, true}) {
        ClockedSim sim(
            {.replyDelayMs = 30, .baud = 9600, .split = split, .splitGapMs = 4, .faults = {}});
        Line line(sim);
        sim.feed("CR6\rCR0\rC0D\r");
        sim.advance(300);
        QCOMPARE(line.received, "025.0 025.5 026.0\r80\r" + kAck);
        const qint64 characterNs = ProjectorSim::characterNs(9600);
        qsizetype count = 0;
        for (const auto& [at, bytes] : line.writes) {
            QVERIFY(!split || bytes.size() == 1);
            for (qsizetype i = 0; i < bytes.size(); ++i) {
                const qint64 due =
                    30 * kNsPerMs + characterNs + count++ * (split ? 4 * kNsPerMs : characterNs);
                QVERIFY2(at >= due && at < due + kNsPerMs,
                         qPrintable(QStringLiteral("split %1: byte %2 at %3 ns, due at %4 ns")
                                        .arg(split)
                                        .arg(count)
                                        .arg(at)
                                        .arg(due)));
            }
        }
    }
}

// A silent projector still executes; the line hangs up once the set number of commands is
// answered (the rest ignored) and counts anew after a reset; noise never lands inside a reply.
void TestProjectorSim::silentHangupAndNoise()
{
    ClockedSim silent({.warmupMs = 200, .silent = true, .faults = {}});
    Line silentLine(silent);
    silent.feed("C00\rCR0\r");
    silent.advance(300);
    QCOMPARE(silent.status(1), QByteArray("00"));
    QCOMPARE(silentLine.received, QByteArray());

    ClockedSim sim({.replyDelayMs = 0, .hangupAfterCommands = 2, .faults = {}});
    Line line(sim);
    QByteArrayList atHangup;
    QObject::connect(&sim, &ProjectorSim::hangupDue, [&] { atHangup << line.received; });
    sim.feed("CR0\rCR1\rCR4\r");
    sim.advance(100);
    QCOMPARE(atHangup, QByteArrayList{"80\r1\r"});
    sim.resetLine();
    line.received.clear();
    sim.feed("CR4\rCR0\r");
    sim.advance(100);
    QCOMPARE(atHangup, QByteArrayList({"80\r1\r", "11\r80\r"}));

    ClockedSim noisy({.replyDelayMs = 0, .noiseBytesPerSecond = 1000, .faults = {}});
    Line noisyLine(noisy);
    noisy.advance(150);
    noisy.feed("CR6\r");
    noisy.advance(300);
    QVERIFY(noisyLine.received.size() > 250);
    QVERIFY(noisyLine.received.contains("025.0 025.5 026.0\r"));
}

// A client writing without reading: commands beyond the pending replies' limit are dropped and
// counted, a chunk's drops in one report and later ones together after the report interval;
// once the line has caught up, commands are answered again. Input without CR is thrown away and
// reported in the same rhythm.
void TestProjectorSim::floodDroppedAndReported()
{
    ClockedSim sim({.replyDelayMs = 0, .faults = {}});
    Line line(sim);
    QList<qint64> reports;
    connect(&sim, &ProjectorSim::commandsDropped, [&](qint64 count) { reports << count; });
    const int limit = ProjectorSim::kMaxPendingReplies;
    sim.feed(QByteArray("CR0\r").repeated(limit + 1000));
    QCOMPARE(reports, QList<qint64>{1000});
    sim.feed("CR0\rCR0\r");
    sim.advance(300);
    QCOMPARE(line.received, QByteArray("80\r").repeated(limit));
    sim.feed("CR4\r");
    sim.advance(699);
    QCOMPARE(line.received, QByteArray("80\r").repeated(limit) + "11\r");
    QCOMPARE(reports, QList<qint64>{1000});
    sim.advance(1);
    QCOMPARE(reports, QList<qint64>({1000, 2}));

    ClockedSim flooded({.faults = {}});
    QStringList notes;
    connect(&flooded, &ProjectorSim::note, [&](const QString& text) { notes << text; });
    for (int i = 0; i < 100; ++i)
        flooded.feed(QByteArray(4096, 'x'));
    QCOMPARE(notes, QStringList{"4096 bytes without CR thrown away"});
    flooded.advance(1000);
    QCOMPARE(notes, QStringList({"4096 bytes without CR thrown away",
                                 "405504 bytes without CR thrown away"}));
}

// Ten minutes of stall after the first write (the clock jumps while nothing runs): the replies
// under way go on at line speed instead of all at once, and noise makes up for no more than its
// catch-up time.
void TestProjectorSim::stallDoesNotBurst()
{
    constexpr qint64 kTenMinutesNs = 600LL * 1000000000;
    ClockedSim sim({.replyDelayMs = 0, .baud = 9600, .faults = {}});
    Line line(sim);
    const QByteArray replies = QByteArray("025.0 025.5 026.0\r").repeated(3);
    sim.feed("CR6\rCR6\rCR6\r");
    sim.advance(2);
    QCOMPARE(line.writes.size(), 1);
    sim.ns += kTenMinutesNs;
    const qint64 resumedNs = sim.ns;
    sim.advance(200);
    QCOMPARE(line.received, replies);
    QCOMPARE_GE(line.writes.last().first - resumedNs,
                (replies.size() - line.writes.first().second.size() - 1) *
                    ProjectorSim::characterNs(9600));

    ClockedSim noisy({.noiseBytesPerSecond = 1000, .faults = {}});
    QSignalSpy noise(&noisy, &ProjectorSim::noiseQueued);
    noisy.advance(100);
    QCOMPARE(noise.size(), 1);
    noisy.ns += kTenMinutesNs;
    noisy.advance(1);
    QCOMPARE(noise.size(), 2);
    QCOMPARE_LE(noise.last().first().toByteArray().size(),
                1000 * ProjectorSim::kNoiseCatchUpMs / 1000 + 1);
}

QTEST_GUILESS_MAIN(TestProjectorSim)
#include "tst_projectorsim.moc"
