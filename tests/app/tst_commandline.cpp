#include "testing/testsupport.h"

#include <QtTest>

#include <sys/stat.h>
#include <termios.h>

// The zuno program with options: what it prints and how it ends, the port it opens for a run,
// and the mapping it writes. Runs without a window get a platform that does not exist: an
// application object would abort on it, so a clean exit shows that no window could open.
class TestCommandLine : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    struct Result
    {
        int exitCode = -1; // -1: crashed, or did not end by itself
        QByteArray out;
        QByteArray err;
    };
    static Result run(const QStringList& arguments, const char* platform = "zuno-no-platform")
    {
        QProcess zuno;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(platform));
        zuno.setProcessEnvironment(environment);
        zuno.start(QStringLiteral(ZUNO_PATH), arguments);
        const bool ended = zuno.waitForFinished(60000) && zuno.exitStatus() == QProcess::NormalExit;
        return {ended ? zuno.exitCode() : -1, zuno.readAllStandardOutput(),
                zuno.readAllStandardError()};
    }
    static speed_t lineSpeed(const Pty& pty)
    {
        termios settings{};
        tcgetattr(pty.masterFd(), &settings);
        return cfgetospeed(&settings);
    }

  private slots:
    void initTestCase()
    {
        TempStore::setUpProcess();
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("by-id")));
        qputenv("ZUNO_SERIAL_BY_ID", QFile::encodeName(m_dir.filePath(QStringLiteral("by-id"))));
    }
    void init() { TempStore::clear(); }

    void answersWithoutAWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("named"); // on stdout for exit 0, on stderr otherwise
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--list-ports";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "ZUNO " ZUNO_VERSION "\n";
        QTest::newRow("port 0") << QStringList{"--port", "0"} << 2 << "--port 0";
        QTest::newRow("port 16") << QStringList{"--port", "COM16"} << 2 << "--port COM16";
        QTest::newRow("empty device") << QStringList{"--port="} << 2 << "--port ''";
        QTest::newRow("server without port") << QStringList{"--port", "tcp://h"} << 2 << "tcp://h";
        QTest::newRow("unknown scheme")
            << QStringList{"--port", "http://x:80"} << 2 << "unknown scheme 'http'";
        QTest::newRow("COM name mistyped") << QStringList{"--port", "COM5:"} << 2 << "'COM5:'";
        QTest::newRow("RFC 2217 server without port")
            << QStringList{"--port", "rfc2217://h"} << 2 << "rfc2217://h";
        QTest::newRow("baud 4800") << QStringList{"--baud", "4800"} << 2 << "4800";
        QTest::newRow("unknown address") << QStringList{"--address", "005"} << 2 << "005";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "bogus";
        QTest::newRow("missing value") << QStringList{"--baud"} << 2 << "--baud";
        QTest::newRow("stray argument") << QStringList{"COM5"} << 2 << "COM5";
        QTest::newRow("map COM16") << QStringList{"--map", "COM16=/dev/x"} << 2 << "COM16=/dev/x";
        QTest::newRow("map no device") << QStringList{"--map", "COM3="} << 2 << "COM3=";
        QTest::newRow("map no COM") << QStringList{"--map", "/dev/x"} << 2 << "/dev/x";
        QTest::newRow("map a COM name") << QStringList{"--map", "COM6=COM5:"} << 2 << "COM6=COM5:";
        QTest::newRow("unmap COM0") << QStringList{"--unmap", "COM0"} << 2 << "--unmap 'COM0'";
        QTest::newRow("one port twice")
            << QStringList{"--map", "COM6=/dev/a", "--unmap", "com6"} << 2 << "COM6";
        QTest::newRow("send and status")
            << QStringList{"--send", "CR0", "--status"} << 2 << "--send and --status";
        QTest::newRow("CSV for --send")
            << QStringList{"--send", "CR0", "--format", "csv"} << 2 << "--format";
        QTest::newRow("empty command") << QStringList{"--send", "[CR]"} << 2 << "'[CR]'";
        QTest::newRow("reply time for the panel")
            << QStringList{"--reply-ms", "500"} << 2 << "--reply-ms";
        QTest::newRow("reply time 0")
            << QStringList{"--send", "C00", "--reply-ms", "0"} << 2 << "'0'";
        QTest::newRow("two ports to send to")
            << QStringList{"--send", "C00", "--port", "1", "--port", "2"} << 2 << "2 times";
        QTest::newRow("status of ALL")
            << QStringList{"--status", "--address", "001", "--address", "all"} << 2 << "ALL";
        // Qt's own options are no error of ours; the bad value after them still is.
        QTest::newRow("Qt option first")
            << QStringList{"-platform", "offscreen", "--baud", "96"} << 2 << "'96'";
    }
    void answersWithoutAWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, named);
        const Result result = run(arguments);
        QCOMPARE(result.exitCode, exitCode);
        if (exitCode == 0) {
            QVERIFY2(result.out.contains(named.toLocal8Bit()), result.out.constData());
            QVERIFY(result.err.isEmpty());
        } else {
            QVERIFY(result.out.isEmpty());
            QVERIFY2(result.err.startsWith("zuno: ") && result.err.contains(named.toLocal8Bit()) &&
                         result.err.count('\n') == 1 && result.err.endsWith('\n'),
                     result.err.constData());
        }
        QCOMPARE(TempStore::readRaw(), QByteArray()); // nothing was stored
    }

    // The panel opens the port and speed given for the run; the store stays as it was.
    void runOpensTheGivenPort_data()
    {
        QTest::addColumn<bool>("byDevice");
        QTest::addColumn<QStringList>("more");
        QTest::addColumn<int>("speed");
        QTest::newRow("COM number") << false << QStringList{"--baud", "9600"} << int(B9600);
        QTest::newRow("device path, ALL")
            << true << QStringList{"--baud", "19200", "--address", "ALL"} << int(B19200);
        QTest::newRow("device path, stored speed") << true << QStringList{} << int(B9600);
    }
    void runOpensTheGivenPort()
    {
        QFETCH(bool, byDevice);
        QFETCH(QStringList, more);
        QFETCH(int, speed);
        Pty pty;
        const QByteArray stored =
            "[Ports]\nCOM7=" +
            (byDevice ? QByteArray("/dev/zuno-none") : pty.slavePath().toLocal8Bit()) +
            "\n\n[StartUP]\nADRESS=A002\nBaudRate=96\nComPort=3\n";
        TempStore::writeRaw(stored);
        QVERIFY(lineSpeed(pty) != speed_t(speed));

        QProcess zuno;
        zuno.setProcessChannelMode(QProcess::ForwardedChannels);
        zuno.start(QStringLiteral(ZUNO_PATH),
                   QStringList{"-platform", "offscreen", "--port",
                               byDevice ? pty.slavePath() : QStringLiteral("7")} +
                       more);
        QTRY_COMPARE_WITH_TIMEOUT(lineSpeed(pty), speed_t(speed), 30000);
        zuno.terminate();
        QVERIFY(zuno.waitForFinished(30000));
        QCOMPARE(TempStore::readRaw(), stored);
    }

    // A named pipe where the store or its lock should be holds nothing up (opening it would wait
    // for a writer for ever): the commands answer, the panel comes up on its defaults, the
    // simulator does not register; each says so once, and the pipe stays.
    void namedPipeHoldsNothingUp_data()
    {
        QTest::addColumn<QString>("pipe");          // the store, or its lock
        QTest::addColumn<QStringList>("arguments"); // "sim" first: the simulator's
        QTest::addColumn<int>("exitCode");          // -1: runs until SIGTERM ends it (with 0)
        const QStringList map{"--map", "COM3=/dev/ttyS0"};
        QTest::newRow("store, --list-ports") << "ZUNO.conf" << QStringList{"--list-ports"} << 0;
        QTest::newRow("store, --map") << "ZUNO.conf" << map << 1;
        QTest::newRow("store, panel") << "ZUNO.conf" << QStringList{"-platform", "offscreen"} << -1;
        QTest::newRow("store, simulator's --register")
            << "ZUNO.conf"
            << QStringList{"sim", "--register", "COM7", "--config-home",
                           QFileInfo(TempStore::filePath()).path()}
            << 1;
        QTest::newRow("lock, --map") << "ZUNO.conf.lock" << map << 1;
    }
    void namedPipeHoldsNothingUp()
    {
        QFETCH(QString, pipe);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const QString path = QFileInfo(TempStore::filePath()).path() + '/' + pipe;
        QFile::remove(path);
        QVERIFY(::mkfifo(QFile::encodeName(path), 0600) == 0);
        const auto removePipe = qScopeGuard([&] { QFile::remove(path); });
        QProcess program;
        QByteArray err;
        connect(&program, &QProcess::readyReadStandardError,
                [&] { err += program.readAllStandardError(); });
        const bool sim = arguments.first() == "sim";
        program.start(sim ? ZUNO_SIM_PATH : ZUNO_PATH, sim ? arguments.mid(1) : arguments);
        QTRY_VERIFY2_WITH_TIMEOUT(
            err.contains(path.toLocal8Bit() + " is not a regular file but a named pipe"),
            err.constData(), 20000);
        if (exitCode < 0)
            program.terminate();
        QTRY_COMPARE_WITH_TIMEOUT(program.state(), QProcess::NotRunning, 20000);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), std::max(exitCode, 0));
        QCOMPARE(err.count("named pipe"), 1);
        struct stat info = {};
        QVERIFY(::stat(QFile::encodeName(path), &info) == 0 && S_ISFIFO(info.st_mode));
    }

    // --map writes the device's by-id link, or a server's address as given, in the store where
    // the panel reads it; --list-ports then shows the COM number on that link, present.
    void mapThenList()
    {
        QCOMPARE(run({"--map", "COM7=rfc2217://10.0.4.21:4001"}).exitCode, 0);
        Pty adapter;
        const QString link = m_dir.filePath(QStringLiteral("by-id/usb-Test_Adapter-if00-port0"));
        QVERIFY(QFile::link(adapter.slavePath(), link));
        const Result mapped = run({"--map", "com6=" + adapter.slavePath()});
        QCOMPARE(mapped.exitCode, 0);
        QVERIFY2(mapped.out.startsWith(("COM6=" + link).toLocal8Bit()), mapped.out.constData());
        QVERIFY2(TempStore::readRaw().contains(("\nCOM6=" + link + '\n').toLocal8Bit()),
                 TempStore::readRaw().constData());

        // A path that is no text in the system's encoding cannot be stored as it is.
        QProcess shell;
        shell.start(QStringLiteral("sh"),
                    {"-c", "exec \"$0\" --map \"$(printf 'COM6=/dev/x\\377')\"",
                     QStringLiteral(ZUNO_PATH)});
        QVERIFY(shell.waitForFinished(60000));
        QCOMPARE(shell.exitCode(), 2);
        QVERIFY(shell.readAllStandardError().contains("not valid text in the system's encoding"));

        const Result listed = run({"--list-ports"});
        QCOMPARE(listed.exitCode, 0);
        const QRegularExpression comLine(
            QStringLiteral("\\n  COM6 +%1 +present \\(from \\[Ports\\]\\)\\n")
                .arg(QRegularExpression::escape(link)));
        QVERIFY2(QString::fromLocal8Bit(listed.out).contains(comLine), listed.out.constData());
        QVERIFY(listed.out.contains("\n  COM15 "));
        QVERIFY(
            QString::fromLocal8Bit(listed.out)
                .contains(QRegularExpression("\\n  COM7 +rfc2217://10.0.4.21:4001 +serial device "
                                             "server \\(from \\[Ports\\]\\)\\n")));
    }

    // --map takes a bare name as a device in /dev and a scheme in any case, names what it
    // replaced or says that nothing changed, and maps several ports at once; --unmap removes.
    void mappingsSayWhatTheyChanged()
    {
        const auto answer = [](const QStringList& arguments) {
            const Result result = run(arguments);
            return QString::number(result.exitCode) + u' ' + QString::fromLocal8Bit(result.out);
        };
        const QString in = " [Ports] in " + TempStore::filePath();
        const QString absent = " (the device is not present now)\n";
        QCOMPARE(answer({"--map", "COM6=zuno-none0", "--map", "com7=TCP://h:1"}),
                 "0 COM6=/dev/zuno-none0 written to" + in + absent + "COM7=tcp://h:1 written to" +
                     in + '\n');
        QCOMPARE(answer({"--map", "COM6=zuno-none0"}),
                 "0 COM6=/dev/zuno-none0 unchanged in" + in + absent);
        QCOMPARE(answer({"--map", "COM6=zuno-none1"}),
                 "0 COM6=/dev/zuno-none1 written to" + in +
                     " (it was /dev/zuno-none0; the device is not present now)\n");
        QCOMPARE(answer({"--unmap", "COM6", "--unmap", "COM9"}),
                 "0 COM6=/dev/zuno-none1 removed from" + in + "\nCOM9 is not mapped in" + in +
                     ": unchanged\n");
        QCOMPARE(TempStore::readRaw(), "[Ports]\nCOM7=tcp://h:1\n");
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
