#include "sim/projectorsim.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using zuno::sim::ProjectorSim;
using zuno::sim::SimOptions;

namespace {

const QByteArray kAck("\x06");

// Quick projectors: no reply delay, the faster line speed, short power transitions.
SimOptions quickOptions()
{
    SimOptions options;
    options.replyDelayMs = 0;
    options.baud = 19200;
    options.warmupMs = 80;
    options.cooldownMs = 80;
    return options;
}

// Collects everything the simulator writes to the line.
struct Line
{
    explicit Line(ProjectorSim& sim)
    {
        QObject::connect(&sim, &ProjectorSim::output, [this](const QByteArray& bytes) {
            received += bytes;
            writes.append({clock.nsecsElapsed(), bytes});
        });
        clock.start();
    }
    QByteArray received;
    QList<QPair<qint64, QByteArray>> writes;
    QElapsedTimer clock;
};

} // namespace

class TestProjectorSim : public QObject
{
    Q_OBJECT
  private slots:
    void replies_data();
    void replies();
    void powerCycle();
    void lampCountsOnlyWhileOn();
    void commandsInAnyChunks_data();
    void commandsInAnyChunks();
    void pacedInOrder_data();
    void pacedInOrder();
    void silentStillExecutes();
    void hangupAfterAnsweredCommands();
    void noiseAroundReplies();
};

void TestProjectorSim::replies_data()
{
    QTest::addColumn<int>("projectors");
    QTest::addColumn<QByteArray>("faultOfProjector2");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");

    // Rows whose input has commands that must stay unanswered end with one that is
    // answered: a stray reply would come first and spoil the comparison.
    QTest::newRow("read replies in standby")
        << 1 << QByteArray() << QByteArray("CR0\rCR3\rCR4\rCR6\rCR7\rCR9\rCRA\r")
        << QByteArray("80\r01200\r11\r025.0 025.5 026.0\r00\r001\r80111\r");
    QTest::newRow("input set then read")
        << 1 << QByteArray() << QByteArray("CR1\rC07\rCR1\r") << "1\r" + kAck + "3\r";
    QTest::newRow("catalogue codes acknowledged")
        << 1 << QByteArray() << QByteArray("C0D\rC8A\rC1C\rCF KEYDIS NONE\rCR LAMPSTS\r")
        << kAck.repeated(5);
    QTest::newRow("malformed commands get the error reply")
        << 1 << QByteArray() << QByteArray("XYZ\rc00\rC0G\rC000\rCR0 \rCF \rCR2\rAC00\r")
        << QByteArray("?\r").repeated(8);
    QTest::newRow("empty commands unanswered")
        << 1 << QByteArray() << QByteArray("\rA001\rCR0\r") << QByteArray("80\r");
    QTest::newRow("own address answered by its projector")
        << 2 << QByteArray("21") << QByteArray("A002CR0\rA001CR0\r") << QByteArray("21\r80\r");
    QTest::newRow("unprefixed answered by projector 1")
        << 2 << QByteArray("21") << QByteArray("CR0\r") << QByteArray("80\r");
    QTest::newRow("unprefixed executed by all")
        << 2 << QByteArray() << QByteArray("C08\rA002CR1\r") << kAck + "4\r";
    QTest::newRow("AFFF executed by all, answered by none")
        << 2 << QByteArray() << QByteArray("AFFFC07\rAFFFCR0\rAFFFXYZ\rA001CR1\rA002CR1\r")
        << QByteArray("3\r3\r");
    QTest::newRow("addressed command executed by its projector only")
        << 2 << QByteArray() << QByteArray("A002C06\rA001CR1\rA002CR1\r") << kAck + "1\r2\r";
    QTest::newRow("address without projector unanswered")
        << 2 << QByteArray() << QByteArray("A003CR0\rA000CR0\rA003XYZ\rCR0\r")
        << QByteArray("80\r");
    QTest::newRow("unknown command to an address")
        << 2 << QByteArray() << QByteArray("A002XYZ\r") << QByteArray("?\r");
    QTest::newRow("fault latched over power on")
        << 2 << QByteArray("81") << QByteArray("A002C00\rA002CR0\r") << kAck + "81\r";
    QTest::newRow("temperature fault reads hot")
        << 2 << QByteArray("28") << QByteArray("A002CR6\r") << QByteArray("058.5 065.0 071.5\r");
}

void TestProjectorSim::replies()
{
    QFETCH(int, projectors);
    QFETCH(QByteArray, faultOfProjector2);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);

    SimOptions options = quickOptions();
    options.projectorCount = projectors;
    if (!faultOfProjector2.isEmpty())
        options.faults.insert(2, faultOfProjector2);
    ProjectorSim sim(options);
    Line line(sim);
    sim.feed(input);
    QTRY_COMPARE(line.received, expected);
}

void TestProjectorSim::powerCycle()
{
    SimOptions options = quickOptions();
    options.warmupMs = 300;
    options.cooldownMs = 300;
    ProjectorSim sim(options);
    Line line(sim);
    const auto exchange = [&](const QByteArray& input, const QByteArray& reply) {
        line.received.clear();
        sim.feed(input);
        QTRY_COMPARE(line.received, reply);
    };

    QElapsedTimer transition;
    transition.start();
    exchange("C00\rCR0\r", kAck + "40\r");
    exchange("C00\r", kAck); // a second power on changes nothing
    QCOMPARE(sim.status(1), QByteArray("40"));
    QTRY_COMPARE(sim.status(1), QByteArray("00"));
    QVERIFY(transition.elapsed() >= 300);
    exchange("CR0\r", "00\r");

    transition.restart();
    exchange("C01\rC00\rCR0\r", kAck + kAck + "20\r"); // power on is refused while cooling
    QTRY_COMPARE(sim.status(1), QByteArray("80"));
    QVERIFY(transition.elapsed() >= 300);

    // Power off during the count down cools down at once.
    exchange("C00\rC01\rCR0\r", kAck + kAck + "20\r");
    QTRY_COMPARE(sim.status(1), QByteArray("80"));
    exchange("CR0\r", "80\r");
}

void TestProjectorSim::lampCountsOnlyWhileOn()
{
    SimOptions options = quickOptions();
    options.lampHourMs = 5;
    options.warmupMs = 0;
    options.cooldownMs = 100;
    options.lampHoursStart = 99990;
    ProjectorSim sim(options);
    Line line(sim);

    sim.feed("C00\r");
    QTRY_COMPARE(sim.status(1), QByteArray("00"));
    QTRY_COMPARE(sim.lampHours(1), 99999); // counts, and stops at five digits
    line.received.clear();
    sim.feed("CR3\r");
    QTRY_COMPARE(line.received, QByteArray("99999\r"));

    options.lampHoursStart = 10;
    ProjectorSim counting(options);
    counting.feed("C00\r");
    QTRY_VERIFY(counting.lampHours(1) > 12);
    counting.feed("C01\r");
    const int atPowerOff = counting.lampHours(1);
    QTRY_COMPARE(counting.status(1), QByteArray("80"));
    // 100 ms of cooling down would have added 20 hours.
    QCOMPARE(counting.lampHours(1), atPowerOff);
}

void TestProjectorSim::commandsInAnyChunks_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QByteArrayList single;
    for (const char c : QByteArray("A001CR0\rCR1\r"))
        single.append(QByteArray(1, c));
    QTest::newRow("one byte at a time") << single;
    QTest::newRow("address apart from command") << QByteArrayList{"A001", "CR0\rCR1\r"};
    QTest::newRow("CR on its own") << QByteArrayList{"A001CR0", "\r", "CR1", "\r"};
    QTest::newRow("second command begun in first chunk") << QByteArrayList{"A001CR0\rC", "R1\r"};
}

void TestProjectorSim::commandsInAnyChunks()
{
    QFETCH(QByteArrayList, chunks);
    ProjectorSim sim(quickOptions());
    Line line(sim);
    QSignalSpy commands(&sim, &ProjectorSim::commandReceived);
    for (const QByteArray& chunk : chunks)
        sim.feed(chunk);
    QTRY_COMPARE(line.received, QByteArray("80\r1\r"));
    QCOMPARE(commands.size(), 2);
    QCOMPARE(commands.at(0).at(0).toByteArray(), QByteArray("A001CR0"));
}

void TestProjectorSim::pacedInOrder_data()
{
    QTest::addColumn<bool>("split");
    QTest::newRow("whole writes") << false;
    QTest::newRow("one write per character") << true;
}

void TestProjectorSim::pacedInOrder()
{
    QFETCH(bool, split);
    SimOptions options;
    options.replyDelayMs = 30;
    options.baud = 9600;
    options.split = split;
    options.splitGapMs = 4;
    ProjectorSim sim(options);
    Line line(sim);
    QSignalSpy replies(&sim, &ProjectorSim::replySent);

    const qint64 fedAt = line.clock.nsecsElapsed();
    sim.feed("CR6\rCR0\rC0D\r");
    const QByteArray expected = "025.0 025.5 026.0\r80\r\x06";
    QTRY_COMPARE(line.received, expected);
    QCOMPARE(replies.size(), 3);
    QCOMPARE(replies.at(2).at(0).toByteArray(), kAck);

    // The k-th byte cannot be there before the delay and k character times (or, split,
    // one character time and k - 1 gaps) have passed.
    const qint64 characterNs = ProjectorSim::characterNs(9600);
    const qint64 spacingNs = split ? 4000000 : characterNs;
    qsizetype count = 0;
    for (const auto& [at, bytes] : line.writes) {
        if (split)
            QCOMPARE(bytes.size(), 1);
        count += bytes.size();
        const qint64 earliest = 30000000 + characterNs + (count - 1) * spacingNs;
        QVERIFY2(at - fedAt >= earliest, qPrintable(QStringLiteral("byte %1 early").arg(count)));
    }
}

void TestProjectorSim::silentStillExecutes()
{
    SimOptions options = quickOptions();
    options.silent = true;
    ProjectorSim sim(options);
    Line line(sim);
    sim.feed("C00\rCR0\r");
    // By the end of the warm-up any reply would long have been written.
    QTRY_COMPARE(sim.status(1), QByteArray("00"));
    QCOMPARE(line.received, QByteArray());
}

void TestProjectorSim::hangupAfterAnsweredCommands()
{
    SimOptions options = quickOptions();
    options.hangupAfterCommands = 2;
    ProjectorSim sim(options);
    Line line(sim);
    QByteArray atHangup;
    QObject::connect(&sim, &ProjectorSim::hangupDue, [&] { atHangup = line.received; });
    QSignalSpy hangups(&sim, &ProjectorSim::hangupDue);

    sim.feed("CR0\rCR1\rCR4\r");
    QVERIFY(hangups.wait());
    QCOMPARE(atHangup, QByteArray("80\r1\r")); // both answered, the third ignored

    sim.resetLine();
    line.received.clear();
    sim.feed("CR4\rCR0\r");
    QTRY_COMPARE(hangups.size(), 2);
    QCOMPARE(line.received, QByteArray("11\r80\r"));
}

void TestProjectorSim::noiseAroundReplies()
{
    SimOptions options = quickOptions();
    options.noiseBytesPerSecond = 1000;
    ProjectorSim sim(options);
    Line line(sim);
    QSignalSpy replies(&sim, &ProjectorSim::replySent);
    sim.feed("CR6\r");
    QVERIFY(replies.wait());
    QTRY_VERIFY(line.received.size() > 150);
    // Noise goes between replies, never into one.
    QVERIFY(line.received.contains("025.0 025.5 026.0\r"));
}

QTEST_GUILESS_MAIN(TestProjectorSim)
#include "tst_projectorsim.moc"
