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
    // port opened says so and leaves the port open.
    void applyingAChoice()
    {
        TempStore::writeRaw("[StartUP]\nComPort=4\nBaudRate=96\n");
        FakeSession f;
        f.link.refusals = {{5, QStringLiteral("gone")}};
        QSignalSpy changed(&f.session, &Session::portChanged);
        QSignalSpy failed(&f.session, &Session::portChangeFailed);
        f.session.start();
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

    // What the operator should know comes once through notice(): a store too large to read, a
    // session log that cannot be written, an address that cannot be stored.
    void notices()
    {
        TempStore::writeRaw("[StartUP]\nComPort=4\n;" + QByteArray(64 * 1024, 'x') + '\n');
        FakeSession f;
        QSignalSpy notices(&f.session, &Session::notice);
        f.session.startLog(TempStore::filePath() + "/no/such/folder/log");
        f.session.start();
        f.session.end();
        QCOMPARE(notices.size(), 3);
        QVERIFY(notices[0].first().toString().contains("cannot be opened"));
        QVERIFY(notices[1].first().toString().contains("larger than 64 KiB"));
        QVERIFY(notices[2].first().toString().startsWith("the address could not be stored"));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
