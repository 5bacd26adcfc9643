#include "bench/benchstats.h"
#include "bench/simlog.h"

#include <QtTest>

using namespace zuno::bench;

using Counts = std::vector<int>;
using Commands = std::vector<QByteArray>;
Q_DECLARE_METATYPE(Counts)
Q_DECLARE_METATYPE(Commands)

// The arithmetic behind the printed figures and the soak's repeat check: a wrong rank or a
// misattributed send would report a fault that is not there, or hide one that is.
class TestBenchLogic : public QObject
{
    Q_OBJECT
  private slots:
    void summaries_data()
    {
        QTest::addColumn<std::vector<double>>("samples");
        QTest::addColumn<double>("median");
        QTest::addColumn<double>("p99");
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("mean");
        QTest::newRow("empty") << std::vector<double>{} << 0.0 << 0.0 << 0.0 << 0.0;
        QTest::newRow("one") << std::vector<double>{7} << 7.0 << 7.0 << 7.0 << 7.0;
        QTest::newRow("odd count, unsorted")
            << std::vector<double>{5, 1, 3} << 3.0 << 5.0 << 5.0 << 3.0;
        QTest::newRow("even count takes the middle pair")
            << std::vector<double>{4, 1, 3, 2} << 2.5 << 4.0 << 4.0 << 2.5;

        // 1..100: the 99th percentile is the 99th sample, not the largest.
        std::vector<double> hundred;
        for (int i = 100; i >= 1; --i)
            hundred.push_back(i);
        QTest::newRow("1 to 100") << hundred << 50.5 << 99.0 << 100.0 << 50.5;

        // 1000 samples, ten of them outliers: the 99th percentile is the last ordinary one.
        std::vector<double> spikes(990, 1.0);
        spikes.insert(spikes.end(), 10, 50.0);
        QTest::newRow("1 % outliers stay above p99")
            << spikes << 1.0 << 1.0 << 50.0 << (990.0 + 500.0) / 1000.0;
        spikes.push_back(50.0);
        QTest::newRow("just over 1 % reach p99")
            << spikes << 1.0 << 50.0 << 50.0 << (990.0 + 550.0) / 1001.0;
    }
    void summaries()
    {
        QFETCH(std::vector<double>, samples);
        QFETCH(double, median);
        QFETCH(double, p99);
        QFETCH(double, max);
        QFETCH(double, mean);
        const Summary s = summarize(samples);
        QCOMPARE(s.count, samples.size());
        QCOMPARE(s.median, median);
        QCOMPARE(s.p99, p99);
        QCOMPARE(s.max, max);
        QVERIFY(qAbs(s.mean - mean) < 1e-9);
    }

    void simulatorLog()
    {
        const QByteArray log = "/dev/pts/7\n"
                               "20:58:35.228  1 projector(s), 19200 bit/s, reply delay 20 ms\n"
                               "20:58:35.327  NOISE  RX  C47[CR]\n"
                               "20:58:37.168  client opened the device\n"
                               "20:58:37.168  RX  A001CR0[CR]\n"
                               "20:58:37.193  TX  80[CR]    (projector 1)\n"
                               "20:58:37.275  RX  C47[CR]\n"
                               "20:58:37.276  RX  AFFFC3C[CR]\n"
                               "20:58:37.277  RX  A009C3C[CR]\n"
                               "20:58:37.278  RX  CF KEYDIS[0x09]RC[CR]\n"
                               "20:58:37.297  TX  [ACK]    (projector 1)\n"
                               "20:58:37.407  hang-up: line closed\n"
                               "20:58:37.723  line reopened: /dev/pts/3\n"
                               "20:58:37.800  RX  A001[CR]\n"
                               "20:58:37.801  RX  C4";
        const SimLog parsed = parseSimLog(log);
        // Addresses of real projectors and of all come off; an unknown one stays, as it was
        // sent; noise that happens to spell a command is not a command, nor is a line cut off.
        const Commands expected{"CR0", "C47", "C3C", "A009C3C", "CF KEYDIS[0x09]RC", ""};
        QCOMPARE(parsed.commands, expected);
        QCOMPARE(parsed.replies, 2);
        QCOMPARE(parsed.hangups, 1);
        QCOMPARE(parsed.reopens, 1);
    }

    void holdSends_data()
    {
        QTest::addColumn<Commands>("received");
        QTest::addColumn<Commands>("holds");
        QTest::addColumn<Counts>("sends");
        QTest::newRow("holds separated by reads")
            << Commands{"C47", "C47", "C47", "CR0", "CR1", "C3C", "C3C", "CR4"}
            << Commands{"C47", "C3C"} << Counts{3, 2};
        QTest::newRow("holds back to back") << Commands{"C47", "C47", "C3C", "C3C", "C3C"}
                                            << Commands{"C47", "C3C"} << Counts{2, 3};
        QTest::newRow("a read inside a hold does not split it")
            << Commands{"C47", "CR0", "C47"} << Commands{"C47"} << Counts{2};
        QTest::newRow("a hold that reached nothing counts zero")
            << Commands{"C47", "C47", "C5D"} << Commands{"C47", "C30", "C5D"} << Counts{2, 0, 1};
        QTest::newRow("sends nobody held are not given to a later hold")
            << Commands{"C8E", "C8E", "C47"} << Commands{"C47"} << Counts{0};
        QTest::newRow("holds with no sends at all")
            << Commands{"CR0", "CR1"} << Commands{"C47", "C3C"} << Counts{0, 0};
        QTest::newRow("the same command held again after a different one")
            << Commands{"C47", "C3C", "C47", "C47"} << Commands{"C47", "C3C", "C47"}
            << Counts{1, 1, 2};
    }
    void holdSends()
    {
        QFETCH(Commands, received);
        QFETCH(Commands, holds);
        QFETCH(Counts, sends);
        const QSet<QByteArray> repeat{"C47", "C46", "C3C", "C30", "C5D", "C8E"};
        QCOMPARE(sendsPerHold(received, holds, repeat), sends);
    }

    void expectedSends_data()
    {
        QTest::addColumn<qint64>("heldNs");
        QTest::addColumn<int>("sends");
        QTest::newRow("a tap sends once") << qint64(0) << 1;
        QTest::newRow("just short of one interval") << qint64(99999999) << 1;
        QTest::newRow("exactly one interval") << qint64(100000000) << 2;
        QTest::newRow("2050 ms") << qint64(2050000000) << 21;
        QTest::newRow("30.05 s") << qint64(30050000000) << 301;
        QTest::newRow("released before pressed") << qint64(-1) << 0;
    }
    void expectedSends()
    {
        QFETCH(qint64, heldNs);
        QFETCH(int, sends);
        QCOMPARE(expectedHoldSends(heldNs, 100), sends);
    }
};

QTEST_GUILESS_MAIN(TestBenchLogic)
#include "tst_benchlogic.moc"
