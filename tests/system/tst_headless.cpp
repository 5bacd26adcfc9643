#include "testing/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QtTest>

#include <csignal>
#include <memory>
#include <vector>

// The headless commands as a script runs them: the real zuno program against simulator programs
// over pseudo-terminals and TCP, with no display at all (no DISPLAY, no WAYLAND_DISPLAY, a
// platform that does not exist). Every test ends with the settings file exactly as it began.
class TestHeadless : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<QProcess>> m_sims;
    QByteArray m_store; // the settings file each test starts with; null: none

    struct Result
    {
        int exitCode = -1; // -1: crashed, or did not end by itself
        QByteArray out;
        QByteArray err;
        QList<QByteArray> lines() const { return out.split('\n').mid(0, out.count('\n')); }
    };
    static QProcessEnvironment withoutDisplay()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("zuno-no-platform"));
        return environment;
    }
    static Result run(const QStringList& arguments,
                      const QProcessEnvironment& environment = withoutDisplay())
    {
        QProcess zuno;
        zuno.setProcessEnvironment(environment);
        zuno.start(QStringLiteral(ZUNO_PATH), arguments);
        const bool ended = zuno.waitForFinished(60000) && zuno.exitStatus() == QProcess::NormalExit;
        return {ended ? zuno.exitCode() : -1, zuno.readAllStandardOutput(),
                zuno.readAllStandardError()};
    }
    // Starts a simulator; its line as zuno's --port takes it (a device, or tcp://HOST:PORT).
    QString simulator(const QStringList& options)
    {
        auto sim = std::make_unique<QProcess>();
        sim->start(QStringLiteral(ZUNO_SIM_PATH), options);
        while (sim->waitForReadyRead(20000) && !sim->canReadLine()) {
        }
        const QString line = QString::fromLocal8Bit(sim->readLine()).trimmed();
        m_sims.push_back(std::move(sim));
        return line;
    }
    // A server address where nothing listens.
    static QString refusingServer()
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        return QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
    }
    static QList<QJsonObject> jsonLines(const Result& result)
    {
        QList<QJsonObject> objects;
        for (const QByteArray& line : result.lines()) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(line, &error);
            if (error.error != QJsonParseError::NoError || !document.isObject())
                qWarning() << "not a JSON object:" << line;
            objects << document.object();
        }
        return objects;
    }

    // `pattern` with each "*" standing for any text.
    static bool matches(const QString& pattern, const QString& text)
    {
        const QStringList parts = pattern.split(u'*');
        qsizetype at = 0;
        for (const QString& part : parts) {
            const qsizetype found = text.indexOf(part, at);
            if (found < 0 || (&part == &parts.first() && found != 0))
                return false;
            at = found + part.size();
        }
        return parts.last().isEmpty() || text.endsWith(parts.last());
    }

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init()
    {
        TempStore::clear();
        m_store = "; by hand\n[StartUP]\nComPort=9\nBaudRate=96\nADRESS=A004\n[Ports]\nCOM9=" +
                  simulator({"--silent"}).toLocal8Bit() + "\n";
        TempStore::writeRaw(m_store);
    }
    void cleanup()
    {
        for (const auto& sim : m_sims) {
            sim->terminate();
            sim->waitForFinished(20000);
        }
        m_sims.clear();
        // Nothing stored, ever: not even an equal value.
        QCOMPARE(TempStore::readRaw(), m_store);
        QCOMPARE(QFile::exists(TempStore::filePath()), !m_store.isNull());
    }

    // Commands and their replies, as JSON Lines and as text, over a cable and over the network.
    void sendPrintsEachReply_data()
    {
        QTest::addColumn<QStringList>("simOptions");
        QTest::newRow("pseudo-terminal") << QStringList{};
        QTest::newRow("TCP") << QStringList{"--tcp", "0"};
    }
    void sendPrintsEachReply()
    {
        QFETCH(QStringList, simOptions);
        const QString port = simulator(simOptions);
        const Result json =
            run({"--port", port, "--send", "CR0", "--reply-ms", "300", "--format", "json"});
        QCOMPARE(json.exitCode, 3);
        QVERIFY2(json.err.isEmpty(), json.err.constData());
        const QList<QJsonObject> replies = jsonLines(json);
        QCOMPARE(replies.size(), 1);
        const QJsonObject status = replies[0];
        QCOMPARE(status["port"].toString(), port);
        QCOMPARE(status["address"].toString(), "A004"); // the stored address
        QCOMPARE(status["command"].toString(), "CR0");
        QCOMPARE(status["sent"].toString(), "41 30 30 34 43 52 30 0D");
        QCOMPARE(status["reply"].toString(), ""); // projector 4 is not on this line
        QVERIFY(status["ms"].isNull() && status["status"].isNull());
        QCOMPARE(status["ok"].toBool(), false);

        // Replies end the wait at once: a long window costs nothing and spares a busy machine.
        const Result single =
            run({"--port", port, "--reply-ms", "20000", "--address", "single", "--send", "CR0",
                 "--send", "C00[CR]", "--send", "CR3", "--send", "cr0", "--format", "json"});
        QCOMPARE(single.exitCode, 0);
        const QList<QJsonObject> answered = jsonLines(single);
        QCOMPARE(answered.size(), 4);
        QCOMPARE(answered[0]["sent"].toString(), "43 52 30 0D");
        QCOMPARE(answered[0]["reply"].toString(), "38 30 0D");
        QCOMPARE(answered[0]["text"].toString(), "8 0  [CR]");
        QCOMPARE(answered[0]["status"].toString(), "Stand by");
        QVERIFY(answered[0]["ms"].isDouble() && answered[0]["ms"].toDouble() >= 0);
        QCOMPARE(answered[1]["command"].toString(), "C00");
        QCOMPARE(answered[1]["text"].toString(), "[ACK]");
        QVERIFY(answered[1]["status"].isNull());
        QVERIFY(answered[2]["status"].toString().endsWith("1 2 0 0   Hour Use"));
        // Letter case is kept: the projector does not know "cr0".
        QCOMPARE(answered[3]["sent"].toString(), "63 72 30 0D");
        QCOMPARE(answered[3]["text"].toString(), "?  [CR]");
        for (const QJsonObject& reply : answered)
            QVERIFY(reply["ok"].toBool());

        const Result text =
            run({"--port", port, "--reply-ms", "20000", "--address", "SINGLE", "--send", "CR1"});
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(text.out, QByteArray("1  [CR]\tInput 1\n"));
    }

    // The exit code says how it went; stdout holds results only, stderr the reasons. A refused
    // server's status rows are in statusSweep, usage errors (exit 2) in the command line's test.
    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");  // a part of standard error
        QTest::addColumn<bool>("noStore"); // run without a settings file: none may appear
        const QString silent = QStringLiteral("COM9");
        QTest::newRow("silent projector")
            << QStringList{"--port", silent, "--send", "CR0", "--reply-ms", "200"} << 3
            << "no reply\n"
            << "" << false;
        QTest::newRow("broadcast: silence is success")
            << QStringList{"--port", silent, "--address",  "ALL",
                           "--send", "C01",  "--reply-ms", "200"}
            << 0 << "no reply\n"
            << "" << false;
        QTest::newRow("missing device")
            << QStringList{"--port", m_dir.filePath("gone"), "--send", "CR0"} << 1 << ""
            << "no such device" << true;
        QTest::newRow("refused server")
            << QStringList{"--port", refusingServer(), "--send", "CR0"} << 1 << ""
            << "refused" << true;
    }
    void exitCodes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(bool, noStore);
        if (noStore) {
            TempStore::clear();
            m_store = QByteArray();
        }
        const Result result = run(arguments);
        QCOMPARE(result.exitCode, exitCode);
        if (!out.isEmpty())
            QCOMPARE(QString::fromLocal8Bit(result.out), out);
        QVERIFY2(result.err.contains(err.toLocal8Bit()), result.err.constData());
        QCOMPARE(result.err.isEmpty(), err.isEmpty());
    }

    // A sweep of several lines at once, the addresses on each one after the other: every
    // projector gets its row, in the order given, whether it answered or not.
    void statusSweep()
    {
        const QString cable = simulator({"--projectors", "2", "--lamp-hours", "321"});
        const QString server = simulator({"--tcp", "0"});
        const QString refused = refusingServer();
        const Result csv =
            run({"--status", "--port", cable, "--port", server, "--port", "COM9", "--port", refused,
                 "--address", "001", "--address", "002", "--reply-ms", "3000", "--format", "csv"});
        QCOMPARE(csv.exitCode, 1); // a port did not open
        QVERIFY2(csv.err.contains("zuno: " + refused.toLocal8Bit() + ": "), csv.err.constData());
        const QList<QByteArray> lines = csv.lines();
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines[0], "port,address,power,input,setting,lamp_hours,temperatures,ok,error");
        const QString expected[] = {
            cable + ",A001,Stand by,Input 1,Normally,321,*,true,",
            cable + ",A002,Stand by,Input 1,Normally,321,*,true,",
            server + ",A001,Stand by,Input 1,Normally,1200,*,true,",
            server + ",A002,,,,,,false,no reply to STATUS",
            "COM9,A001,,,,,,false,no reply to STATUS",
            "COM9,A002,,,,,,false,no reply to STATUS",
            refused + ",A001,,,,,,false,*refused*",
            refused + ",A002,,,,,,false,*refused*",
        };
        for (int i = 0; i < 8; ++i) {
            const QString line = QString::fromLocal8Bit(lines[i + 1]);
            QVERIFY2(matches(expected[i], line), qPrintable(line));
            QCOMPARE(line.count(u','), 8);
        }

        const Result single = run({"--status", "--port", server, "--address", "SINGLE",
                                   "--reply-ms", "20000", "--format", "json"});
        QCOMPARE(single.exitCode, 0);
        const QList<QJsonObject> rows = jsonLines(single);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0]["address"].toString(), "");
        QCOMPARE(rows[0]["power"].toString(), "Stand by");
        QCOMPARE(rows[0]["lamp_hours"].toInteger(), 1200);
        const QJsonArray degrees = rows[0]["temperatures"].toArray();
        QCOMPARE(degrees.size(), 3);
        QVERIFY(degrees[0].isDouble() && degrees[0].toDouble() > 0);
        QVERIFY(rows[0]["ok"].toBool() && rows[0]["error"].isNull());
    }

    // Without a display the panel says so in one line; the headless commands load no window
    // library at all.
    void noDisplay()
    {
        QProcessEnvironment environment = withoutDisplay();
        for (const QString& platform : {QString(), QStringLiteral("zuno-no-platform")}) {
            if (platform.isEmpty())
                environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
            else
                environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
            const Result panel = run({"--port", "COM9"}, environment);
            QCOMPARE(panel.exitCode, 1);
            QVERIFY2(panel.err.startsWith("zuno: ") && panel.err.count('\n') == 1 &&
                         panel.err.contains("--send, --status, --list-ports and --map work"),
                     panel.err.constData());
        }
        environment.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
        const Result headless =
            run({"--port", "COM9", "--send", "CR0", "--reply-ms", "100"}, environment);
        QCOMPARE(headless.exitCode, 3);
        QVERIFY2(headless.err.contains("libQt6SerialPort"), "the loader does not report");
        QVERIFY(!headless.err.contains("libQt6Gui") && !headless.err.contains("libQt6Widgets"));
    }

    // Ctrl+C in the middle of a long reply window: the port is closed and the log says so.
    void interruptClosesThePort()
    {
        const QString log = m_dir.filePath("session.log");
        QProcess zuno;
        zuno.setProcessEnvironment(withoutDisplay());
        zuno.start(QStringLiteral(ZUNO_PATH),
                   {"--port", "COM9", "--send", "CR0", "--reply-ms", "600000", "--log", log});
        const auto logged = [&] {
            QFile file(log);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTRY_VERIFY_WITH_TIMEOUT(logged().contains("\tsent\t"), 30000);
        ::kill(pid_t(zuno.processId()), SIGINT);
        QVERIFY(zuno.waitForFinished(30000));
        QCOMPARE(zuno.exitCode(), 130);
        QVERIFY2(logged().endsWith("\tclosed\n"), logged().constData());
        QVERIFY(zuno.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
