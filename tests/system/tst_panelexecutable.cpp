#include "testing/testsupport.h"

#include <QLockFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The panel program itself, ended by termination signals as a desktop session or a service
// manager ends it, also in bursts, with session logs that cannot be written and a serial device
// server that floods it: it stores the address and closes its port (and so its serial lock) on
// the way. The simulator under the same bursts.
class TestPanelExecutable : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // The panel holds Qt's serial lock of the port (in the first lock folder it may write): a lock
    // left by another program that was killed does not count.
    static bool locked(const Pty& pty, qint64 pid)
    {
        const QString lock = "LCK.." + pty.slavePath().mid(5).replace(u'/', u'_');
        for (const char* folder : {"/var/lock/", "/tmp/"}) {
            QFile file(QString::fromLatin1(folder) + lock);
            if (file.open(QIODevice::ReadOnly) && file.readLine().trimmed().toLongLong() == pid)
                return true;
        }
        return false;
    }

    // Starts the panel on `pty` as COM7 with the address A003; its standard error is gathered
    // into `err`.
    static void startPanel(QProcess& panel, const Pty& pty, const QStringList& arguments,
                           QByteArray& err)
    {
        TempStore::writeRaw("[StartUP]\nComPort=7\nBaudRate=96\nADRESS=A003\n");
        TempStore::mapPort(7, pty.slavePath());
        connect(&panel, &QProcess::readyReadStandardError,
                [&] { err += panel.readAllStandardError(); });
        panel.start(QStringLiteral(ZUNO_PANEL_PATH), arguments);
    }

    // The panel ran its closing steps: it ended by itself with status 0, the address it was
    // given at start stored again (the test has changed it meanwhile), the port closed.
    static void endedInOrder(QProcess& panel, const Pty& pty)
    {
        const qint64 pid = panel.processId();
        QTRY_COMPARE_WITH_TIMEOUT(panel.state(), QProcess::NotRunning, 30000);
        QVERIFY2(panel.exitStatus() == QProcess::NormalExit && panel.exitCode() == 0,
                 qPrintable(QString::number(panel.exitCode()) + panel.readAllStandardError()));
        QCOMPARE(TempStore::value("StartUP", "ADRESS"), QStringLiteral("A003"));
        QVERIFY(!locked(pty, pid));
    }

    // Sends `count` signals to pid, cycling through `kinds`, as fast as they go.
    static void burst(qint64 pid, const QList<int>& kinds, int count)
    {
        for (int i = 0; i < count && ::kill(pid_t(pid), kinds[i % kinds.size()]) == 0; ++i) {
        }
    }

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }

    // The closing steps wait for the settings file's lock, which the test holds meanwhile, while
    // the rest of a burst arrives: the signal pipe fills up, and a full pipe means "end requested"
    // (a signal handler that waited on it would wait for ever: its reader is the thread it
    // interrupted).
    void signalsEndInOrder_data()
    {
        QTest::addColumn<QList<int>>("kinds");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("simulator"); // its --register entry is removed at its end
        QTest::newRow("SIGTERM") << QList<int>{SIGTERM} << 1 << false;
        QTest::newRow("20,000 SIGTERM") << QList<int>{SIGTERM} << 20000 << false;
        QTest::newRow("3,000 mixed") << QList<int>{SIGTERM, SIGHUP, SIGINT} << 3000 << false;
        QTest::newRow("simulator, 20,000 SIGTERM") << QList<int>{SIGTERM} << 20000 << true;
    }
    void signalsEndInOrder()
    {
        QFETCH(QList<int>, kinds);
        QFETCH(int, count);
        QFETCH(bool, simulator);
        Pty pty;
        QProcess program; // killed by its destructor when the test ends early
        QByteArray err;
        if (simulator) {
            TempStore::clear();
            program.start(QStringLiteral(ZUNO_SIM_PATH), {"--register", "COM7", "--config-home",
                                                          QFileInfo(TempStore::filePath()).path()});
            QTRY_VERIFY_WITH_TIMEOUT(TempStore::contains("Ports", "COM7"), 10000);
        } else {
            startPanel(program, pty, {}, err);
            QTRY_VERIFY_WITH_TIMEOUT(locked(pty, program.processId()),
                                     10000); // the start-up opened the port
            TempStore::setValue("StartUP", "ADRESS", "");
        }
        {
            QLockFile lock(TempStore::filePath() + ".lock");
            QVERIFY(lock.lock());
            burst(program.processId(), kinds, count);
        }
        if (!simulator)
            return endedInOrder(program, pty);
        QTRY_COMPARE_WITH_TIMEOUT(program.state(), QProcess::NotRunning, 30000);
        QVERIFY(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0);
        QVERIFY(!TempStore::contains("Ports", "COM7"));
    }

    // A session log that cannot be written holds nothing up: a named pipe that nobody reads
    // (opening it would wait for a reader for ever), a pipe whose reader has gone (writing to it
    // would end the program before its closing steps). It is said once, and the panel runs on.
    void brokenLogHoldsNothingUp_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("said");
        QTest::newRow("named pipe without reader") << "fifo"
                                                   << "that no program reads";
        QTest::newRow("pipe whose reader has gone") << "/dev/stdout"
                                                    << "Broken pipe";
    }
    void brokenLogHoldsNothingUp()
    {
        QFETCH(QString, log);
        QFETCH(QString, said);
        Pty pty;
        QProcess panel;
        QByteArray err;
        if (log == "fifo") {
            log = m_dir.filePath("fifo");
            QVERIFY(::mkfifo(QFile::encodeName(log), 0600) == 0);
        }
        int logPipe[2];
        QVERIFY(::pipe2(logPipe, O_CLOEXEC) == 0);
        panel.setChildProcessModifier([&] { ::dup2(logPipe[1], STDOUT_FILENO); });
        startPanel(panel, pty, {"--log", log}, err);
        ::close(logPipe[0]);
        ::close(logPipe[1]);
        QTRY_VERIFY2_WITH_TIMEOUT(err.contains(said.toLocal8Bit()), err.constData(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(locked(pty, panel.processId()), 10000);
        TempStore::setValue("StartUP", "ADRESS", "");
        panel.terminate();
        endedInOrder(panel, pty);
        QCOMPARE(err.count("session log"), 1);
    }

    // A serial device server that floods the line, with the session log on: the panel, at low
    // priority beside busy processes so that what arrives piles up, reads in bounded pieces, each
    // log line and each log file stay within their bounds, and its memory stays flat.
    void floodingServerWithLog()
    {
        // Under the address sanitizer, which measures no memory here, a quarter of the flood still
        // makes every log line hit its bound, in a time the starved panel can manage.
#ifdef __SANITIZE_ADDRESS__
        constexpr qint64 kFloodBytes = 12 * 1024 * 1024;
#else
        constexpr qint64 kFloodBytes = 48 * 1024 * 1024;
#endif
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString log = m_dir.filePath("flood.log");
        TempStore::writeRaw("[StartUP]\nComPort=7\n");
        TempStore::mapPort(7, QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort()));
        QProcess busy[2], panel;
        for (QProcess& process : busy) {
            process.setStandardOutputFile(QProcess::nullDevice());
            process.start(QStringLiteral("yes"), {});
        }
        const auto stopBusy = qScopeGuard([&] {
            for (QProcess& process : busy) {
                process.kill();
                process.waitForFinished();
            }
        });
        panel.setChildProcessModifier([] { ::nice(19); });
        panel.start(QStringLiteral(ZUNO_PANEL_PATH), {"--log", log});
        QVERIFY(server.waitForNewConnection(30000));
        QTcpSocket* peer = server.nextPendingConnection();
        // The log's last line, read from its end.
        const auto lastLineEnds = [&](const QByteArray& end) {
            QFile file(log);
            return file.open(QIODevice::ReadOnly) && file.seek(std::max(0LL, file.size() - 64)) &&
                   file.readAll().endsWith(end);
        };
        QTRY_VERIFY_WITH_TIMEOUT(lastLineEnds("\topened\tspeed set by the serial device server\n"),
                                 30000);
        const qint64 peakBefore = peakKiB(panel.processId());
        qint64 sent = 0;
        const auto flood = [&] {
            while (sent < kFloodBytes && peer->bytesToWrite() < 1024 * 1024)
                sent += peer->write(QByteArray(64 * 1024, '\x06'));
            if (sent >= kFloodBytes)
                peer->disconnectFromHost();
        };
        connect(peer, &QTcpSocket::bytesWritten, flood);
        flood();
        // Memory is measured where it can be: the address sanitizer keeps freed memory resident.
#ifdef __SANITIZE_ADDRESS__
        constexpr qint64 kMaxGrowthKiB = std::numeric_limits<qint64>::max();
#else
        constexpr qint64 kMaxGrowthKiB = 16 * 1024;
#endif
        const auto grownKiB = [&] { return peakKiB(panel.processId()) - peakBefore; };
        QTRY_VERIFY_WITH_TIMEOUT(lastLineEnds("\tclosed\tlost\n") || grownKiB() > kMaxGrowthKiB,
                                 180000);
        QCOMPARE_LT(grownKiB(), kMaxGrowthKiB);
        // The smaller flood under the sanitizer may end before the first roll-over.
        for (const QString& path : {log, log + ".1"}) {
            if (path != log && !QFile::exists(path))
                continue;
            QFile kept(path);
            QVERIFY(kept.open(QIODevice::ReadOnly) && kept.size() <= 10 * 1024 * 1024);
            qsizetype longest = 0;
            for (const QByteArray& line : kept.readAll().split('\n'))
                longest = std::max(longest, line.size());
            QCOMPARE_LT(longest, 4096);
        }
        panel.terminate();
        QVERIFY(panel.waitForFinished(30000) && panel.exitCode() == 0);
    }
};

QTEST_GUILESS_MAIN(TestPanelExecutable)
#include "tst_panelexecutable.moc"
