#include "bench/simprocess.h"
#include "bench/wirewatch.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/syscall.h>
#include <unistd.h>

using namespace zuno::bench;

// The parts the benchmark and the soak stand on: a far-end watch whose times must bound the
// arrival of each write, simulators that must come up, go down and report a bad end, and the
// first-paint report that the start-up figures are timed by.
class TestBenchSupport : public QObject
{
    Q_OBJECT
  private slots:
    void wireWatchTimesEachWrite()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        {
            WireWatch watch(fds[0]);
            QCOMPARE(watch.pendingBytes(), std::size_t(0));

            const std::int64_t first = monotonicNs();
            QCOMPARE(::write(fds[1], "A001", 4), 4);
            QTRY_COMPARE(watch.pendingBytes(), std::size_t(4));
            const std::int64_t second = monotonicNs();
            QCOMPARE(::write(fds[1], "C47\r", 4), 4);
            QTRY_COMPARE(watch.pendingBytes(), std::size_t(8));
            const std::int64_t after = monotonicNs();

            const auto chunks = watch.take();
            QCOMPARE(chunks.size(), std::size_t(2));
            QCOMPARE(chunks[0].bytes, QByteArray("A001"));
            QCOMPARE(chunks[1].bytes, QByteArray("C47\r"));
            // Each time lies between its write and the moment the test saw it.
            QVERIFY(chunks[0].readableNs >= first && chunks[0].readableNs <= second);
            QVERIFY(chunks[1].readableNs >= second && chunks[1].readableNs <= after);
            QCOMPARE(watch.pendingBytes(), std::size_t(0));
            QVERIFY(watch.take().empty());
        }
        // The watch's thread has ended: the pipe can go.
        ::close(fds[0]);
        ::close(fds[1]);
    }

    void simulatorComesUpAndGoes_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("ready");
        QTest::newRow("answering") << QStringList{} << true;
        QTest::newRow("noise at 19200")
            << QStringList{"--noise", "1920", "--baud", "19200"} << true;
        QTest::newRow("refused option") << QStringList{"--baud", "1234"} << false;
    }
    void simulatorComesUpAndGoes()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, ready);
        QTemporaryDir dir;
        SimProcess sim(QStringLiteral(ZUNO_SIMULATOR), dir.filePath("line"), dir.filePath("log"),
                       options);
        QCOMPARE(sim.waitUntilReady(), ready);
        QCOMPARE(QFileInfo::exists(sim.linkPath()), ready);
        // A clean end when it ran; a refused start is no clean end.
        QCOMPARE(sim.stop(), ready);
        QVERIFY(!QFileInfo::exists(sim.linkPath()));
        if (ready) {
            QFile log(sim.logPath());
            QVERIFY(log.open(QIODevice::ReadOnly));
            QVERIFY(log.readAll().contains("ended"));
        }
    }

    void simulatorThatDiesIsNoCleanEnd()
    {
        QTemporaryDir dir;
        SimProcess sim(QStringLiteral(ZUNO_SIMULATOR), dir.filePath("line"), dir.filePath("log"),
                       {});
        QVERIFY(sim.waitUntilReady());
        QVERIFY(sim.running());
        ::kill(pid_t(sim.pid()), SIGKILL);
        QTRY_VERIFY(!sim.running());
        QVERIFY(!sim.stop());
    }

    void windowReportsItsFirstPaintAndWaits()
    {
        QProcess child;
        child.start(QStringLiteral(ZUNO_BARE_WINDOW), {});
        QVERIFY(child.waitForStarted());
        while (!child.canReadLine() && child.waitForReadyRead(10000)) {
        }
        QCOMPARE(child.readLine(), QByteArray("shown\n"));
        // It stays, so that its memory can be read, waiting to read its input until that closes.
        const auto readingInput = [pid = child.processId()] {
            QFile call(QStringLiteral("/proc/%1/syscall").arg(pid));
            return call.open(QIODevice::ReadOnly) &&
                   call.readAll().startsWith(QByteArray::number(SYS_read) + " 0x0 ");
        };
        QTRY_VERIFY(readingInput());
        child.closeWriteChannel();
        QVERIFY(child.waitForFinished(5000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestBenchSupport)
#include "tst_benchsupport.moc"
