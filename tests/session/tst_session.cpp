#include "core/terminationsignals.h"
#include "testing/fakesession.h"
#include "testing/testsupport.h"

#include <QtTest>

#include <csignal>

using namespace zuno;

Q_DECLARE_METATYPE(zuno::StartUpChoice)

namespace {
QString stored(const char* key)
{
    return TempStore::value("StartUP", key, "missing");
}

// A file beside the settings file.
QString besideStore(const char* name)
{
    return QFileInfo(TempStore::filePath()).dir().filePath(QString::fromLatin1(name));
}

const QString kServerSpeed = QStringLiteral("speed set by the serial device server");

// The session log's events, each with its first field.
QStringList loggedEvents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList events;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts))
        events << line.section(u'\t', 2).replace(u'\t', u' ');
    return events;
}
} // namespace

// The session without a window: start-up, port change and the closing steps on a fake link
// over a real settings file in a temporary folder. Nothing here waits on the clock.
class TestSession : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { TempStore::setUpProcess(); }
    void init() { TempStore::clear(); }

    // Where the start-up's port, speed and address come from, and what it answers.
    void startUp_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<StartUpChoice>("run");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("bitsPerSecond");
        QTest::addColumn<QByteArray>("address");
        const QByteArray usual = "[StartUP]\nComPort=\" 3\"\nBaudRate=96\nADRESS=A003\n";
        QTest::newRow("first run: a port must be chosen")
            << QByteArray() << StartUpChoice{} << false << 0 << 19200 << QByteArray();
        QTest::newRow("stored port, speed and address")
            << usual << StartUpChoice{} << true << 3 << 9600 << QByteArray("A003");
        QTest::newRow("stored port refuses")
            << QByteArray("[StartUP]\nComPort=5\nBaudRate=96\nADRESS=A002\n") << StartUpChoice{}
            << false << 5 << 9600 << QByteArray("A002");
        QTest::newRow("the command line's choice")
            << usual << StartUpChoice{7, {}, 19200, QByteArray("AFFF")} << true << 7 << 19200
            << QByteArray("AFFF");
        QTest::newRow("the command line's speed alone")
            << usual << StartUpChoice{0, {}, 19200, {}} << true << 3 << 19200 << QByteArray("A003");
        // Without a port nothing stored is read; only what the command line chose carries over.
        QTest::newRow("the command line's speed, no port")
            << QByteArray("[StartUP]\nBaudRate=192\nADRESS=A002\n")
            << StartUpChoice{0, {}, 9600, QByteArray("A001")} << false << 0 << 9600
            << QByteArray("A001");
    }
    void startUp()
    {
        QFETCH(QByteArray, file);
        QFETCH(StartUpChoice, run);
        QFETCH(bool, opens);
        QFETCH(int, port);
        QFETCH(int, bitsPerSecond);
        QFETCH(QByteArray, address);
        TempStore::writeRaw(file);
        FakeSession f;
        f.link.refusals = {{5, QStringLiteral("gone")}};
        QSignalSpy started(&f.session, &Session::started);
        QSignalSpy needed(&f.session, &Session::portNeeded);
        f.session.start(run);
        QCOMPARE(started.size(), opens ? 1 : 0);
        QCOMPARE(needed.size(), opens ? 0 : 1);
        QCOMPARE(f.link.isOpen(), opens);
        QCOMPARE(f.session.portChoice(), (PortChoice{std::int16_t(port), bitsPerSecond}));
        QCOMPARE(f.session.exchange().address(), address);
        if (opens)
            QVERIFY(f.link.port == port && f.link.bitsPerSecond == bitsPerSecond);
        if (!needed.isEmpty())
            QVERIFY(!needed.first().first().toString().isEmpty());
        // The working reply window starts only with the start-up's own port.
        QCOMPARE(f.session.exchange().replyTimer().interval(),
                 opens ? Exchange::kReplyMs : Exchange::kFirstReplyMs);
        // Nothing is stored by the start-up; on closing, the address only when it was not the
        // command line's.
        const QByteArray before = TempStore::readRaw();
        QCOMPARE(before, file);
        f.session.end();
        QCOMPARE(stored("ADRESS"), run.address ? stored("ADRESS") : QString::fromLatin1(address));
        if (run.address)
            QCOMPARE(TempStore::readRaw(), before);
    }

    // A device given for one run opens as the COM number that reaches it, else one mapped to it
    // for this run; nothing is stored.
    void runDeviceOpensAsAComNumber()
    {
        TempStore::writeRaw("[Ports]\nCOM2=/dev/zuno-test-a\n");
        FakeSession f;
        f.session.start({0, QStringLiteral("/dev/zuno-test-a"), {}, {}});
        QCOMPARE(f.link.port, 2);
        FakeSession g;
        g.session.start({0, QStringLiteral("tcp://projector.example:4001"), {}, {}});
        QVERIFY(g.link.isOpen());
        QCOMPARE(g.session.naming().deviceFor(g.link.port),
                 QStringLiteral("tcp://projector.example:4001"));
        QCOMPARE(g.session.portDescription(),
                 QStringLiteral("COM%1 tcp://projector.example:4001").arg(g.link.port));
        QCOMPARE(g.session.line(),
                 QStringLiteral("COM%1 (tcp://projector.example:4001)").arg(g.link.port));
        QCOMPARE(TempStore::readRaw(), QByteArray("[Ports]\nCOM2=/dev/zuno-test-a\n"));
    }

    // A serial device server answers a moment later: the start-up waits for it, and whatever
    // ends the wait (its answer, closing, a port change) ends it once.
    void startUpWaitsForALateAnswer_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("connected") << "connected";
        QTest::newRow("refused") << "refused";
        QTest::newRow("closed while waiting") << "closed";
        QTest::newRow("COM while waiting") << "COM";
    }
    void startUpWaitsForALateAnswer()
    {
        QFETCH(QString, end);
        TempStore::writeRaw("[StartUP]\nComPort=6\n");
        FakeSession f;
        f.link.answersLater = true;
        if (end == "refused")
            f.link.refusals = {{6, QStringLiteral("refused: nothing listens on that port")}};
        QSignalSpy started(&f.session, &Session::started);
        QSignalSpy needed(&f.session, &Session::portNeeded);
        QSignalSpy opening(&f.session, &Session::openingChanged);
        f.session.start();
        QVERIFY(f.session.isOpening() && started.isEmpty() && needed.isEmpty());
        if (end == "closed")
            f.session.end();
        else if (end == "COM")
            f.session.beginPortChange();
        f.link.answerOpen(); // a given-up open has no answer left to give
        QCOMPARE(started.size(), end == "connected" ? 1 : 0);
        QCOMPARE(needed.size(), end == "refused" ? 1 : 0);
        QCOMPARE(f.link.isOpen(), end == "connected");
        QVERIFY(!f.session.isOpening());
        QCOMPARE(opening.last().first().toBool(), false);
        if (end == "refused")
            QCOMPARE(needed.first().first().toString(),
                     QStringLiteral("refused: nothing listens on that port"));
    }

    // OK opens the chosen port and stores port and speed in the file's codes; a port that does
    // not open, or no port, gives the reason and stores nothing; a store that fails after the
    // port opened says so and leaves the port open. The line is named anew only when another
    // port opens.
    void applyingAChoice()
    {
        TempStore::writeRaw("[StartUP]\nComPort=4\nBaudRate=96\n");
        FakeSession f;
        f.link.refusals = {{5, QStringLiteral("gone")}};
        QSignalSpy changed(&f.session, &Session::portChanged);
        QSignalSpy failed(&f.session, &Session::portChangeFailed);
        QSignalSpy line(&f.session, &Session::lineChanged);
        QCOMPARE(f.session.line(), QString());
        f.session.start();
        QCOMPARE(line.takeFirst().first().toString(), QStringLiteral("COM4 (/dev/ttyS3)"));
        f.session.beginPortChange();
        QVERIFY(!f.link.isOpen());
        QCOMPARE(f.session.savedPortChoice(), (PortChoice{4, 9600}));

        f.session.choosePort({0, 19200});
        f.session.applyPortChoice();
        QVERIFY(failed.last().first().toString().startsWith("No port was chosen"));
        f.session.choosePort({5, 19200});
        f.session.applyPortChoice();
        QCOMPARE(failed.last().first().toString(), QStringLiteral("gone"));
        QCOMPARE(stored("ComPort"), QStringLiteral("4"));
        QVERIFY(changed.isEmpty());

        f.session.choosePort({12, 19200});
        f.session.applyPortChoice();
        QVERIFY(changed.size() == 1 && f.link.isOpen() && f.link.port == 12);
        QCOMPARE(line.size(), 1);
        QCOMPARE(f.session.line(), QStringLiteral("COM12 (/dev/ttyUSB7)"));
        QCOMPARE(TempStore::readRaw(), QByteArray("[StartUP]\nComPort=12\nBaudRate=192\n"));

        // A folder where the file should be cannot be written, not even by the superuser.
        TempStore::clear();
        QVERIFY(QDir().mkpath(TempStore::filePath()));
        f.session.choosePort({3, 9600});
        f.session.applyPortChoice();
        QVERIFY(failed.last().first().toString().startsWith("COM3 is open, but the choice could "
                                                            "not be stored"));
        QVERIFY(f.link.isOpen() && changed.size() == 1);
        QVERIFY(QDir(TempStore::filePath()).removeRecursively());
    }

    // Cancel goes back to the port and speed in use when COM was pressed (taken afresh at every
    // press), stores nothing; without an earlier port it says so, and closes a port that a failed
    // store left open.
    void cancellingAChange()
    {
        TempStore::writeRaw("[StartUP]\nComPort=4\nBaudRate=96\n");
        FakeSession f;
        f.link.refusals = {{5, QStringLiteral("gone")}};
        QSignalSpy changed(&f.session, &Session::portChanged);
        QSignalSpy failed(&f.session, &Session::portChangeFailed);
        f.session.start();
        f.session.beginPortChange();
        f.session.choosePort({5, 19200});
        f.session.revertPortChoice();
        QVERIFY(changed.size() == 1 && f.link.isOpen());
        QVERIFY(f.link.port == 4 && f.link.bitsPerSecond == 9600);
        QCOMPARE(f.session.portChoice(), (PortChoice{4, 9600}));

        // A second COM while choosing takes the choice so far as the one to go back to.
        f.session.beginPortChange();
        f.session.choosePort({5, 19200});
        f.session.beginPortChange();
        QCOMPARE(f.session.savedPortChoice(), (PortChoice{5, 19200}));
        f.session.revertPortChoice();
        QCOMPARE(failed.last().first().toString(), QStringLiteral("gone"));
        QCOMPARE(TempStore::readRaw(), QByteArray("[StartUP]\nComPort=4\nBaudRate=96\n"));

        // The start-up's dialog has no earlier port.
        TempStore::clear();
        FakeSession first;
        QSignalSpy dropped(&first.session, &Session::portChangeDropped);
        QSignalSpy firstFailed(&first.session, &Session::portChangeFailed);
        first.session.start();
        first.session.choosePort({2, 9600});
        first.session.revertPortChoice();
        QVERIFY(firstFailed.last().first().toString().startsWith("There is no earlier port"));
        QVERIFY(dropped.isEmpty() && first.session.portChoice() == (PortChoice{0, 9600}));
        first.link.open(2, 9600); // as a failed store after OK leaves it
        first.session.revertPortChoice();
        QVERIFY(dropped.size() == 1 && !first.link.isOpen() && firstFailed.size() == 2);
    }

    // However the session ends, its closing steps run once: the address stored, the port
    // closed, nothing sent afterwards. Storing for a desktop session that may still be cancelled
    // leaves the port open.
    void closingSteps_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("end") << "end";
        QTest::newRow("the event loop ends") << "quit";
        QTest::newRow("termination signal") << "signal";
    }
    void closingSteps()
    {
        QFETCH(QString, how);
        TempStore::writeRaw("[StartUP]\nComPort=4\nADRESS=A004\n");
        FakeSession f;
        QSignalSpy ended(&f.session, &Session::ended);
        f.session.start();
        f.session.chooseAddress("A001");
        f.session.storeAddress();
        QVERIFY(stored("ADRESS") == "A001" && f.link.isOpen());
        f.session.chooseAddress("AFFF");
        if (how == "end") {
            f.session.end();
        } else if (how == "quit") {
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            QCOMPARE(QCoreApplication::exec(), 0);
        } else {
            QVERIFY(runOnTerminationSignals(&f.session, [&] { f.session.end(); }));
            ::raise(SIGTERM);
            QVERIFY(ended.wait());
        }
        QVERIFY(ended.size() == 1 && !f.link.isOpen() && f.session.hasEnded());
        QCOMPARE(stored("ADRESS"), QStringLiteral("AFFF"));
        TempStore::setValue("StartUP", "ADRESS", "changed");
        f.session.end();
        QCOMPARE(stored("ADRESS"), QStringLiteral("changed"));
        QVERIFY(!f.session.exchange().replyTimer().isActive() && ended.size() == 1);
    }

    // Sessions that never store (the headless commands), two side by side over one settings
    // object: both open their ports, and through start-up, an address and a port picked and the
    // closing steps the file stays byte for byte; a missing file stays missing.
    void neverStoringLeavesTheFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("stored choice")
            << QByteArray("# mine\n[StartUP]\nComPort=3\nBaudRate=96\nADRESS=A001\n");
    }
    void neverStoringLeavesTheFile()
    {
        QFETCH(QByteArray, file);
        if (!file.isNull())
            TempStore::writeRaw(file);
        Settings settings;
        auto* firstLink = new FakeLink;
        auto* secondLink = new FakeLink;
        Session first(settings, Session::Storing::Never, std::unique_ptr<Link>(firstLink));
        Session second(settings, Session::Storing::Never, std::unique_ptr<Link>(secondLink));
        QSignalSpy started(&first, &Session::started);
        QSignalSpy alsoStarted(&second, &Session::started);
        first.start({4, {}, 9600, QByteArray("A002")});
        second.start({6, {}, {}, {}});
        QCOMPARE(started.count() + alsoStarted.count(), 2);
        QCOMPARE(firstLink->port, 4);
        QCOMPARE(secondLink->port, 6);
        first.chooseAddress("A003");
        first.choosePort({5, 19200});
        first.applyPortChoice();
        first.end();
        second.end();
        QVERIFY(!firstLink->isOpen() && !secondLink->isOpen());
        QCOMPARE(QFile::exists(TempStore::filePath()), !file.isNull());
        QCOMPARE(TempStore::readRaw(), file);
    }

    // What the operator should know comes once through notice(): a session log that cannot be
    // written, a store too large to use (not again when the address cannot be stored in it), an
    // address that cannot be stored in a store that could be read.
    void notices()
    {
        TempStore::writeRaw("[StartUP]\nComPort=4\n;" + QByteArray(64 * 1024, 'x') + '\n');
        FakeSession f;
        QSignalSpy notices(&f.session, &Session::notice);
        f.session.startLog(TempStore::filePath() + "/no/such/folder/log");
        f.session.start();
        f.session.chooseAddress("A001");
        f.session.end();
        QCOMPARE(notices.size(), 2);
        QVERIFY(notices[0].first().toString().contains("cannot be opened"));
        QVERIFY(notices[1].first().toString().contains("larger than 64 KiB"));

        TempStore::writeRaw("[StartUP]\nComPort=4\n");
        QVERIFY(QFile::setPermissions(TempStore::filePath(), QFile::ReadOwner));
        FakeSession readOnly;
        QSignalSpy told(&readOnly.session, &Session::notice);
        readOnly.session.start();
        readOnly.session.chooseAddress("A001");
        readOnly.session.end();
        QCOMPARE(told.size(), 1);
        QCOMPARE(told[0].first().toString(),
                 "the address could not be stored: " + TempStore::filePath() + " is read-only");
    }

    // A server's port that went away is tried again on the same port and speed after pauses that
    // grow to 5 s. Nothing is sent meanwhile; the RxD line says the port is closed until it is
    // open again; the log has the first failure, a changed reason and the reopening, once each.
    void reconnectsAServersPort()
    {
        TempStore::writeRaw("[StartUP]\nComPort=6\nBaudRate=96\n[Ports]\nCOM6=tcp://h:4001\n");
        QFile::remove(besideStore("session.log"));
        FakeSession f;
        f.link.isServer = true; // a raw TCP port: the server sets the speed
        f.session.setReconnectEnabled(true);
        f.session.startLog(besideStore("session.log"));
        QSignalSpy reconnected(&f.session, &Session::reconnected);
        f.session.start();
        f.link.hangUp();
        f.link.refusals = {{6, QStringLiteral("refused")}};
        QList<int> pauses{f.session.reconnectTimer().interval()};
        for (int attempt = 1; attempt <= 6; ++attempt) {
            if (attempt == 4)
                f.link.refusals[6] = QStringLiteral("timed out");
            f.session.reconnectTimerFired();
            pauses << f.session.reconnectTimer().interval();
        }
        QCOMPARE(pauses, (QList<int>{500, 1000, 2000, 4000, 5000, 5000, 5000}));
        QVERIFY(f.session.isReconnecting() && f.session.reconnectTimer().isActive());
        f.session.exchange().displayClearTimerFired();
        QCOMPARE(f.session.exchange().rxd(), QString::fromLatin1(kPortClosedMark));

        f.link.refusals.clear();
        f.session.reconnectTimerFired();
        QVERIFY(f.link.isOpen() && reconnected.size() == 1 && !f.session.isReconnecting());
        QVERIFY(!f.session.reconnectTimer().isActive());
        QVERIFY(f.link.port == 6 && f.link.bitsPerSecond == 9600 && f.link.openCalls == 8);
        QVERIFY(f.link.writes.isEmpty());
        QCOMPARE(f.session.exchange().rxd(), QString::fromLatin1(kPortOpenMark));
        QCOMPARE(loggedEvents(besideStore("session.log")),
                 (QStringList{"opened " + kServerSpeed, "closed lost", "reopen-failed refused",
                              "reopen-failed timed out", "reopened " + kServerSpeed}));
    }

    // A serial device is tried once, then only when its path is back, a quarter second apart;
    // back but refusing (its permissions not set yet), it is tried after growing pauses.
    void reconnectsASerialDeviceOnceItsPathIsBack()
    {
        const QString device = besideStore("ttyUSB-test");
        TempStore::writeRaw("[StartUP]\nComPort=5\n[Ports]\nCOM5=" + device.toUtf8() + '\n');
        QFile(device).open(QIODevice::WriteOnly);
        FakeSession f;
        f.session.setReconnectEnabled(true);
        f.session.start();
        QVERIFY(QFile::remove(device));
        f.link.refusals = {{5, QStringLiteral("no such device")}};
        f.link.hangUp();
        for (int tick = 0; tick < 5; ++tick) {
            QCOMPARE(f.session.reconnectTimer().interval(), Session::kDeviceCheckMs);
            f.session.reconnectTimerFired();
        }
        QCOMPARE(f.link.openCalls, 2);
        QFile(device).open(QIODevice::WriteOnly);
        f.link.refusals[5] = QStringLiteral("permission denied");
        f.session.reconnectTimerFired();
        QCOMPARE(f.link.openCalls, 3);
        QCOMPARE(f.session.reconnectTimer().interval(), 1000);
        f.link.refusals.clear();
        f.session.reconnectTimerFired();
        QVERIFY(f.link.isOpen() && !f.session.isReconnecting());
    }

    // Choosing a port, closing, a new start-up or a front end that does not want it (the
    // default, as for a script) stops the retries, also an attempt under way.
    void reconnectingStops_data()
    {
        QTest::addColumn<QString>("how");
        for (const char* how : {"COM", "end", "start", "switched off", "never switched on"})
            QTest::newRow(how) << how;
    }
    void reconnectingStops()
    {
        QFETCH(QString, how);
        TempStore::writeRaw("[StartUP]\nComPort=6\n[Ports]\nCOM6=tcp://h:4001\n");
        FakeSession f;
        QSignalSpy reconnected(&f.session, &Session::reconnected);
        f.session.setReconnectEnabled(how != "never switched on");
        f.session.start();
        f.link.answersLater = true;
        f.link.hangUp();
        f.session.reconnectTimerFired();
        QCOMPARE(f.session.isOpening(), how != "never switched on");
        if (how == "COM")
            f.session.beginPortChange();
        else if (how == "end")
            f.session.end();
        else if (how == "start")
            f.session.start();
        else if (how == "switched off")
            f.session.setReconnectEnabled(false);
        f.link.answerOpen();
        const int opens = f.link.openCalls;
        f.session.reconnectTimerFired();
        QVERIFY(!f.session.isReconnecting() && !f.session.reconnectTimer().isActive());
        QVERIFY(reconnected.isEmpty() && f.link.openCalls == opens);
    }

    // What the line says about itself (a server that speaks Telnet, one that turned the
    // connection away) reaches the operator once per port chosen, also while a reconnect attempt
    // waits; not while an open the operator asked for waits, which answers with the reason.
    void lineNoticesAreToldOnce()
    {
        TempStore::writeRaw("[StartUP]\nComPort=6\n");
        FakeSession f;
        f.session.setReconnectEnabled(true);
        QSignalSpy notices(&f.session, &Session::notice);
        f.link.answersLater = true;
        f.session.start();
        emit f.link.notice(QStringLiteral("turned away"));
        f.link.answerOpen();
        emit f.link.notice(QStringLiteral("speaks Telnet"));
        emit f.link.notice(QStringLiteral("speaks Telnet"));
        f.link.hangUp();
        f.session.reconnectTimerFired();
        emit f.link.notice(QStringLiteral("turned away"));
        emit f.link.notice(QStringLiteral("turned away"));
        f.session.beginPortChange();
        f.session.applyPortChoice();
        f.link.answerOpen();
        emit f.link.notice(QStringLiteral("speaks Telnet"));
        QStringList told;
        for (const QList<QVariant>& notice : notices)
            told << notice.first().toString();
        QCOMPARE(told, (QStringList{"speaks Telnet", "turned away", "speaks Telnet"}));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
