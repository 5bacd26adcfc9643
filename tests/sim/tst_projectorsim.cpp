#include "sim/projectorsim.h"

#include <QSignalSpy>
#include <QTest>

using zuno::sim::ProjectorSim;

// Options are given as designated initializers naming what a test is about; the last member,
// faults, is always named so that GCC's missing-initializer warning stays quiet.

static const QByteArray kAck("\x06");

// Everything the simulator writes to the line, each write with the time it was made.
struct Line
{
    explicit Line(ProjectorSim& sim)
    {
        clock.start();
        QObject::connect(&sim, &ProjectorSim::output, [this](const QByteArray& bytes) {
            received += bytes;
            writes.append({clock.nsecsElapsed(), bytes});
        });
    }
    QByteArray received;
    QList<QPair<qint64, QByteArray>> writes;
    QElapsedTimer clock;
};

// A simulator whose line clock can jump ahead, as it does for a process stopped and continued.
struct StalledSim : ProjectorSim
{
    using ProjectorSim::ProjectorSim;
    qint64 nowNs() const override { return ProjectorSim::nowNs() + stallNs; }
    qint64 stallNs = 0;
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
    QTest::newRow("fault latched over power on, temperatures read hot")
        << QByteArray("A002C00\rA002CR0\rA002CR6\r") << kAck + "28\r058.5 065.0 071.5\r";
    QTest::newRow("byte by byte, address apart, CR in front of the next command")
        << QByteArray("A|0|0|1|C|R|0|\r|C|R|1|\rA001|CR0|\rC|R1\r") << QByteArray("80\r1\r80\r1\r");
}

void TestProjectorSim::replies()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    ProjectorSim sim({.projectorCount = 2, .replyDelayMs = 0, .faults = {{2, "28"}}});
    Line line(sim);
    for (const QByteArray& piece : input.split('|'))
        sim.feed(piece);
    QTRY_COMPARE(line.received, expected);
}

// A second power on changes nothing, power on is refused while cooling, power off in the count
// down cools at once; lamp hours count while on only, up to five digits.
void TestProjectorSim::powerCycleAndLampHours()
{
    ProjectorSim sim({.warmupMs = 300, .cooldownMs = 300, .lampHourMs = 5, .faults = {}});
    Line line(sim);
    QElapsedTimer transition;
    const auto exchange = [&](const QByteArray& input, const QByteArray& reply) {
        line.received.clear();
        transition.start();
        sim.feed(input);
        QTRY_COMPARE(line.received, reply);
    };
    exchange("C00\rCR0\rC00\r", kAck + "40\r" + kAck);
    QTRY_COMPARE(sim.status(1), QByteArray("00"));
    QVERIFY(transition.elapsed() >= 300);
    QTRY_VERIFY(sim.lampHours(1) > 1210);
    exchange("C01\rC00\rCR0\r", kAck + kAck + "20\r");
    const int atPowerOff = sim.lampHours(1);
    QTRY_COMPARE(sim.status(1), QByteArray("80"));
    QVERIFY(transition.elapsed() >= 300);
    QCOMPARE(sim.lampHours(1), atPowerOff); // 300 ms of cooling would have added 60 hours
    exchange("C00\rC01\rCR0\r", kAck + kAck + "20\r");

    ProjectorSim worn({.warmupMs = 0, .lampHoursStart = 99990, .lampHourMs = 5, .faults = {}});
    Line wornLine(worn);
    worn.feed("C00\r");
    QTRY_COMPARE(worn.lampHours(1), 99999);
    worn.feed("CR3\r");
    QTRY_COMPARE(wornLine.received, kAck + "99999\r");
}

// In whole writes or one write per character, the k-th byte is not written before the reply
// delay and k character times (split: one character time and k - 1 gaps) have passed.
void TestProjectorSim::pacedInOrder()
{
    for (const bool split : {false, true}) {
        ProjectorSim sim(
            {.replyDelayMs = 30, .baud = 9600, .split = split, .splitGapMs = 4, .faults = {}});
        Line line(sim);
        const qint64 fedAt = line.clock.nsecsElapsed();
        sim.feed("CR6\rCR0\rC0D\r");
        QTRY_COMPARE(line.received, "025.0 025.5 026.0\r80\r" + kAck);
        const qint64 characterNs = ProjectorSim::characterNs(9600);
        qsizetype count = 0;
        for (const auto& [at, bytes] : line.writes) {
            QVERIFY(!split || bytes.size() == 1);
            count += bytes.size();
            QVERIFY2(at - fedAt >=
                         30000000 + characterNs + (count - 1) * (split ? 4000000 : characterNs),
                     qPrintable(QStringLiteral("split %1: byte %2 early").arg(split).arg(count)));
        }
    }
}

// A silent projector still executes; the line hangs up once the set number of commands is
// answered (the rest ignored) and counts anew after a reset; noise never lands inside a reply.
void TestProjectorSim::silentHangupAndNoise()
{
    ProjectorSim silent({.warmupMs = 200, .silent = true, .faults = {}});
    Line silentLine(silent);
    silent.feed("C00\rCR0\r");
    QTRY_COMPARE(silent.status(1), QByteArray("00")); // any reply would long have been written
    QCOMPARE(silentLine.received, QByteArray());

    ProjectorSim sim({.replyDelayMs = 0, .hangupAfterCommands = 2, .faults = {}});
    Line line(sim);
    QByteArrayList atHangup;
    QObject::connect(&sim, &ProjectorSim::hangupDue, [&] { atHangup << line.received; });
    sim.feed("CR0\rCR1\rCR4\r");
    QTRY_COMPARE(atHangup, QByteArrayList{"80\r1\r"});
    sim.resetLine();
    line.received.clear();
    sim.feed("CR4\rCR0\r");
    QTRY_COMPARE(atHangup, QByteArrayList({"80\r1\r", "11\r80\r"}));

    ProjectorSim noisy({.replyDelayMs = 0, .noiseBytesPerSecond = 1000, .faults = {}});
    Line noisyLine(noisy);
    noisy.feed("CR6\r");
    QTRY_VERIFY(noisyLine.received.size() > 150 &&
                noisyLine.received.contains("025.0 025.5 026.0\r"));
}

// A client writing without reading: commands beyond the pending replies' limit are dropped and
// counted, a chunk's drops in one report and later ones together after the report interval;
// once the line has caught up, commands are answered again. Input without CR is thrown away and
// reported in the same rhythm.
void TestProjectorSim::floodDroppedAndReported()
{
    ProjectorSim sim({.replyDelayMs = 0, .faults = {}});
    Line line(sim);
    QList<qint64> reports;
    connect(&sim, &ProjectorSim::commandsDropped, [&](qint64 count) { reports << count; });
    const int limit = ProjectorSim::kMaxPendingReplies;
    sim.feed(QByteArray("CR0\r").repeated(limit + 1000));
    QCOMPARE(reports, QList<qint64>{1000});
    sim.feed("CR0\rCR0\r");
    QTRY_COMPARE(line.received, QByteArray("80\r").repeated(limit));
    sim.feed("CR4\r");
    QTRY_COMPARE(line.received, QByteArray("80\r").repeated(limit) + "11\r");
    QTRY_COMPARE(reports, QList<qint64>({1000, 2}));

    ProjectorSim flooded({.faults = {}});
    QStringList notes;
    connect(&flooded, &ProjectorSim::note, [&](const QString& text) { notes << text; });
    for (int i = 0; i < 100; ++i)
        flooded.feed(QByteArray(4096, 'x'));
    QCOMPARE(notes, QStringList{"4096 bytes without CR thrown away"});
    QTRY_COMPARE(notes, QStringList({"4096 bytes without CR thrown away",
                                     "405504 bytes without CR thrown away"}));
}

// Ten minutes of stall at the first write (the clock jumps while nothing runs): the replies under
// way go on at line speed instead of all at once, and noise makes up for no more than its
// catch-up time.
void TestProjectorSim::stallDoesNotBurst()
{
    constexpr qint64 kTenMinutesNs = 600LL * 1000000000;
    StalledSim sim({.replyDelayMs = 0, .baud = 9600, .faults = {}});
    Line line(sim);
    connect(&sim, &ProjectorSim::output, [&] { sim.stallNs = kTenMinutesNs; });
    const QByteArray replies = QByteArray("025.0 025.5 026.0\r").repeated(3);
    sim.feed("CR6\rCR6\rCR6\r");
    QTRY_COMPARE(line.received, replies);
    const auto& [stalledAt, firstWrite] = line.writes.first();
    QCOMPARE_GE(line.writes.last().first - stalledAt,
                (replies.size() - firstWrite.size() - 1) * ProjectorSim::characterNs(9600));

    StalledSim noisy({.noiseBytesPerSecond = 1000, .faults = {}});
    QSignalSpy noise(&noisy, &ProjectorSim::noiseQueued);
    QVERIFY(noise.wait());
    noisy.stallNs = kTenMinutesNs;
    QVERIFY(noise.wait());
    QCOMPARE_LE(noise.last().first().toByteArray().size(),
                1000 * ProjectorSim::kNoiseCatchUpMs / 1000 + 1);
}

QTEST_GUILESS_MAIN(TestProjectorSim)
#include "tst_projectorsim.moc"
