#include "link/form1.h"
#include "settings/form2.h"
#include "settings/retrycomport.h"
#include "testing/testsupport.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

using namespace zuno;

// The simulator's log lines ("12:00:00.000  RX  A002C00[CR]") and what a test takes from them: the
// command received and the time it came in.
static const QString kReceived = QStringLiteral("^\\S+  RX  (.*)$");
static const QString kReceivedAt = QStringLiteral("^(\\S+)  RX  ");

// Starts both and ends the test function at once when that failed: nothing else can run then.
// clang-format off
#define START_BOTH(...) if (startBoth(__VA_ARGS__); QTest::currentTestFailed()) return
// clang-format on

// The panel and the projector simulator program together over a real pseudo-terminal: what the
// operator clicks reaches the simulated projectors, and their answers reach the panel's lines.
class TestEndToEnd : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_sim;
    QString m_log; // all the simulator printed
    std::unique_ptr<Form1> m_form;
    QStringList m_messages;

    QString text(const QString& label) { return m_form->label(label)->text(); }
    void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, {5, 5}); }
    void click(const QString& button) { click(m_form->button(button)); }
    void choose(const QString& option) { click(m_form->findChild<QRadioButton*>(option)); }
    // Capture 1 of `pattern` in each line the simulator logged, in order.
    QStringList logged(const QString& pattern) const
    {
        QStringList result;
        QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
        for (auto it = expression.globalMatch(m_log); it.hasNext();)
            result << it.next().captured(1);
        return result;
    }

    // The simulator on a link registered as COM5, and the panel after a normal start-up on it.
    void startBoth(const QStringList& simArguments)
    {
        m_sim.start(ZUNO_SIM_PATH,
                    QStringList{"--link", m_dir.filePath("projector"), "--register", "COM5",
                                "--config-home", QFileInfo(TempStore::filePath()).path()} +
                        simArguments);
        // It prints its device path once its line is open and registered.
        QTRY_VERIFY2_WITH_TIMEOUT(m_log.startsWith("/dev/") && m_log.contains('\n'),
                                  qPrintable(m_log), 10000);
        m_form = std::make_unique<Form1>();
        m_form->load();
        m_form->show();
        QTRY_VERIFY(m_log.contains("client opened the device"));
    }

    // Clicks a read button, waits for the whole reply on the RxD line (every transmit empties it,
    // so a match is this exchange's reply) and checks the decoded status line, when given.
    void readBack(const QString& button, const QString& rxd, const QString& status = {})
    {
        click(button);
        QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), rxd, 1500);
        if (!status.isNull())
            QCOMPARE(text("Label25"), status);
    }

  private slots:
    void initTestCase()
    {
        TempStore::setUpProcess();
        m_sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        connect(&m_sim, &QProcess::readyReadStandardOutput, this,
                [this] { m_log += QString::fromLocal8Bit(m_sim.readAllStandardOutput()); });
        RetryComport::setHookForTesting([this](const QString& reason) { m_messages << reason; });
    }
    void init()
    {
        TempStore::writeRaw("[StartUP]\nComPort=5\nBaudRate=96\n");
        m_messages.clear();
        m_log.clear();
    }
    void cleanup()
    {
        m_form.reset();
        m_sim.terminate();
        m_sim.waitForFinished(3000);
    }

    // Power on from standby: STATUS reads standby, count down, then power on on the sim's clock.
    void powerOnSequenceReadsBackThroughStatus()
    {
        START_BOTH({"--warmup-ms", "1500"});
        readBack("Command44", " 8 0  [CR] ", " Stand by");
        readBack("Command17", "  [ACK] ");
        readBack("Command44", " 4 0  [CR] ", " Count down");
        QTRY_VERIFY_WITH_TIMEOUT(m_log.contains("projector 1: status 00"), 5000);
        readBack("Command44", " 0 0  [CR] ", " Power ON");
        QCOMPARE(logged(kReceived), QStringList({"CR0[CR]", "C00[CR]", "CR0[CR]", "CR0[CR]"}));
    }

    // Exchanges read back on the RxD and status lines: input 3 set, then read (the projector starts
    // on input 1); lamp time and temperatures, whole or a character at a time; and a projector
    // that stays silent, which gets the no-reply mark.
    void exchanges_data()
    {
        QTest::addColumn<QStringList>("simArguments");
        QTest::addColumn<QStringList>("buttons"); // all but the last are acknowledged
        QTest::addColumn<QString>("rxd");
        QTest::addColumn<QString>("status");
        const QString spelled = " 0 2 5 . 0 _ 0 2 5 . 5 _ 0 2 6 . 0  [CR] ";
        const QString temperatures = " 0 2 5 . 0 deg C 0 2 5 . 5 deg C 0 2 6 . 0 deg C ";
        // clang-format off
        QTest::newRow("input 3") << QStringList() << QStringList{"Command53", "Command45"} << " 3  [CR] " << " Input 3";
        QTest::newRow("lamp time") << QStringList{"--lamp-hours", "1234"} << QStringList{"Command46"} << " 0 1 2 3 4  [CR] " << "   1 2 3 4   Hour Use";
        QTest::newRow("temperatures") << QStringList() << QStringList{"Command54"} << spelled << temperatures;
        QTest::newRow("temperatures split") << QStringList{"--split", "--split-gap-ms", "30"} << QStringList{"Command54"} << spelled << temperatures;
        QTest::newRow("silent projector") << QStringList{"--silent"} << QStringList{"Command44"} << " X X X X " << "";
        // clang-format on
    }
    void exchanges()
    {
        QFETCH(QStringList, simArguments);
        QFETCH(QStringList, buttons);
        QFETCH(QString, rxd);
        QFETCH(QString, status);
        START_BOTH(simArguments);
        for (const QString& button : buttons.first(buttons.size() - 1)) {
            click(button);
            QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), QStringLiteral("  [ACK] "), 900);
        }
        QSignalSpy events(&m_form->comm(), &MSComm1::onComm);
        readBack(buttons.last(), rxd, status);
        // A split reply really came in pieces, about one a character.
        if (simArguments.contains("--split"))
            QVERIFY(events.count() >= m_form->RxBuffer.size() / 2);
    }

    void heldZoomRepeatsAboutEvery100msUntilRelease()
    {
        START_BOTH({});
        QTest::mousePress(m_form->button("Command30"), Qt::LeftButton);
        QTest::qWait(1000); // the measurement window
        QTest::mouseRelease(m_form->button("Command30"), Qt::LeftButton);
        const int releasedAt = QTime::currentTime().msecsSinceStartOfDay();
        QTest::qWait(500); // nothing may follow the release
        const QStringList at = logged(kReceivedAt);
        QVERIFY2(at.size() >= 8 && at.size() <= 12, qPrintable(at.join(u' ')));
        const int lastAt = QTime::fromString(at.last(), u"HH:mm:ss.zzz").msecsSinceStartOfDay();
        QVERIFY2(lastAt <= releasedAt + 20, qPrintable(QString::number(lastAt - releasedAt)));
    }

    // Power on under each address among four projectors; reading each one on its own shows which
    // executed. ALL reaches all four and none answers.
    void addressReachesOnlyItsProjectors_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("poweredOn");
        // clang-format off
        QTest::newRow("SINGLE") << "Option1" << "1234";
        QTest::newRow("ALL") << "Option2" << "1234";
        QTest::newRow("002") << "Option4" << "2";
        QTest::newRow("004") << "Option6" << "4";
        // clang-format on
    }
    void addressReachesOnlyItsProjectors()
    {
        QFETCH(QString, option);
        QFETCH(QString, poweredOn);
        START_BOTH({"--projectors", "4", "--warmup-ms", "600000"});
        choose(option);
        readBack("Command17", option == "Option2" ? " X X X X " : "  [ACK] ");
        for (const QChar k : QStringLiteral("1234")) {
            choose(QStringLiteral("Option%1").arg(k.digitValue() + 2));
            readBack("Command44", poweredOn.contains(k) ? " 4 0  [CR] " : " 8 0  [CR] ");
        }
    }

    // A console command goes out behind the panel's address and is acknowledged.
    void consoleCommandIsAcknowledged()
    {
        START_BOTH({"--projectors", "2"});
        choose("Option4");
        m_form->Hyouji("CF BRIGHT UP\r", Form1::kTransmit);
        QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), QStringLiteral("  [ACK] "), 900);
        QCOMPARE(text("Label25"), QString());
        QTRY_COMPARE(logged(kReceived), QStringList{"A002CF BRIGHT UP[CR]"});
    }

    // The line going away like a pulled adapter closes the port at once and costs no CPU; "COM"
    // then OK fails while the device is away and opens it once it is back.
    void hangUpClosesThePortAndComReopensIt()
    {
        START_BOTH({"--hangup-after", "1", "--reopen-after-ms", "4000"});
        readBack("Command44", " 8 0  [CR] ", " Stand by");
        QTRY_VERIFY_WITH_TIMEOUT(m_log.contains("hang-up: line closed"), 2000);
        const QDeadlineTimer window(1000);
        const qint64 cpuBefore = processCpuMs();
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->comm().portOpen(), 1000);
        QCOMPARE(text("Label12"), QStringLiteral(" PORT CLOSED "));
        QTest::qWait(int(window.remainingTime())); // the measurement window
        const qint64 cpuUsed = processCpuMs() - cpuBefore;
        QVERIFY2(cpuUsed < 250, qPrintable(QStringLiteral("%1 ms CPU in 1 s").arg(cpuUsed)));

        click("Command33");
        QPointer<Form2> dialog = m_form->portDialog();
        QVERIFY(dialog);
        click(dialog->Command1);
        QVERIFY2(m_messages.size() == 1 && m_messages.first().contains("no such device"),
                 qPrintable(m_messages.join(u'|')));
        QVERIFY(!m_form->comm().portOpen());
        QTRY_VERIFY_WITH_TIMEOUT(m_log.contains("line reopened"), 8000);
        click(dialog->Command1);
        readBack("Command44", " 8 0  [CR] ", " Stand by");
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
