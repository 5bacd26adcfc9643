#include "testing/fakesession.h"
#include "testing/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <poll.h>
#include <semaphore>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

using namespace zuno;

// The panel and the simulator's --register writing the same settings store.
class TestStoreWriters : public QObject
{
    Q_OBJECT

    // Starts the simulator registered as COM7 on a pseudo-terminal of its own.
    static void startSim(QProcess& sim)
    {
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(QStringLiteral(ZUNO_SIM_PATH),
                  {"--register", "COM7", "--config-home", QFileInfo(TempStore::filePath()).path()});
    }

    // The device the simulator prints once its line is open and registered; empty when it
    // printed none.
    static QString deviceOf(QProcess& sim)
    {
        if (!QTest::qWaitFor([&] { return sim.canReadLine(); }, 10000))
            return {};
        return QString::fromLocal8Bit(sim.readLine().trimmed());
    }

    // True once the process has a pseudo-terminal's master open (through /dev/ptmx, or in a
    // container through the link to it in /dev/pts).
    static bool hasPseudoTerminal(qint64 pid)
    {
        const auto fds = QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryInfoList(QDir::System);
        return std::any_of(fds.begin(), fds.end(), [](const QFileInfo& fd) {
            return fd.symLinkTarget() == "/dev/ptmx" || fd.symLinkTarget() == "/dev/pts/ptmx";
        });
    }

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init() { TempStore::clear(); }

    // The simulator's entry goes when it ends, by any of the signals that end it, and the store
    // is as before, byte for byte, the user's own mapping of the port included; an entry another
    // program wrote meanwhile stays.
    void registrationEndsWithTheSimulator_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<QByteArray>("before");
        const QByteArray notes = "; mine\n[Ports]\nCOM1 = /dev/ttyS9\n";
        QTest::newRow("SIGTERM") << SIGTERM << false << notes;
        QTest::newRow("SIGINT") << SIGINT << false << notes;
        QTest::newRow("SIGHUP") << SIGHUP << false << notes;
        QTest::newRow("port mapped elsewhere meanwhile") << SIGTERM << true << notes;
        QTest::newRow("the user's own mapping")
            << SIGTERM << false << notes + "  COM7 = /dev/serial/by-id/usb-x  ; adapter\n";
    }
    void registrationEndsWithTheSimulator()
    {
        QFETCH(int, signal);
        QFETCH(bool, replaced);
        QFETCH(QByteArray, before);
        TempStore::writeRaw(before);
        QProcess sim;
        startSim(sim);
        const QString device = deviceOf(sim);
        QCOMPARE(Settings().text("Ports", "COM7", "missing"), device);
        if (replaced)
            QVERIFY(Settings().store("Ports", {{"COM7", "/dev/other"}}));
        ::kill(sim.processId(), signal);
        QVERIFY(sim.waitForFinished());
        QCOMPARE(sim.exitCode(), 0);
        QCOMPARE(TempStore::readRaw(), replaced ? before + "COM7=/dev/other\n" : before);
    }

    // A panel closing and a simulator registering at the same moment: both wait while another
    // holds the store's lock, and neither loses the other's entry.
    void panelAndSimulatorWriteTogether()
    {
        const QByteArray before = "[StartUP]\nComPort=3\nADRESS=\n";
        TempStore::writeRaw(before);
        FakeSession f;
        f.session.start();
        QVERIFY(f.link.isOpen());
        f.session.chooseAddress("A002");

        // The lock is held by a thread of the test, as by another program, until the session's
        // end has begun and someone has since come to the lock; what the file holds then shows
        // whether anyone wrote past the lock, and the end cannot return before the lock is free.
        std::counting_semaphore<> closing(0);
        std::atomic<bool> locked = false, released = false;
        QByteArray whileHeld;
        std::thread holder([&] {
            QLockFile lock(TempStore::filePath() + ".lock");
            locked = lock.lock();
            closing.acquire();
            const int watch = ::inotify_init1(IN_CLOEXEC);
            pollfd attempt{watch, POLLIN, 0};
            if (::inotify_add_watch(watch, QFile::encodeName(lock.fileName()), IN_OPEN) >= 0)
                ::poll(&attempt, 1, 10000); // a waiter reads the lock's owner
            ::close(watch);
            QFile file(TempStore::filePath());
            if (file.open(QIODevice::ReadOnly))
                whileHeld = file.readAll();
            released = true;
        });
        const auto release = qScopeGuard([&] {
            closing.release();
            holder.join();
        });
        QTRY_VERIFY(locked);
        QProcess sim;
        startSim(sim);
        // Its line is open (it registers right after): the simulator is at the lock.
        QTRY_VERIFY_WITH_TIMEOUT(hasPseudoTerminal(sim.processId()), 10000);
        closing.release();
        f.session.end(); // waits for the lock
        QVERIFY(released);
        const QString device = deviceOf(sim);

        QCOMPARE(whileHeld, before);
        QCOMPARE(Settings().text("StartUP", "ADRESS", "missing"), QStringLiteral("A002"));
        QCOMPARE(Settings().text("Ports", "COM7", "missing"), device);
        sim.terminate();
        QVERIFY(sim.waitForFinished());
    }
};

QTEST_GUILESS_MAIN(TestStoreWriters)
#include "tst_storewriters.moc"
