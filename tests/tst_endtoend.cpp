#include "link/form1.h"
#include "settings/form2.h"
#include "settings/portsettings.h"
#include "settings/retrycomport.h"
#include "support/testsupport.h"

#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace zuno;

namespace {

// The panel finds the simulator under this COM number, through the store's "Ports" section.
constexpr int kSimPort = 5;

// One line of the simulator's log: when it was written (milliseconds since midnight) and what
// follows the timestamp.
struct LogLine
{
    int atMs;
    QString text;
};

// The real simulator program, running beside the test on a pseudo-terminal that is reachable
// through a symbolic link and registered in the test's settings store.
class Simulator
{
  public:
    explicit Simulator(const QString& linkPath) : m_linkPath(linkPath)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput,
                         [this] { m_log += m_process.readAllStandardOutput(); });
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~Simulator()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Starts the simulator and waits until its line is open and registered: it prints the
    // device path only after both.
    bool start(const QStringList& extraArguments)
    {
        const QString configHome = QFileInfo(TempStore::filePath()).absolutePath();
        m_process.start(QStringLiteral(ZUNO_SIM_PATH),
                        QStringList{"--link", m_linkPath, "--register",
                                    QStringLiteral("COM%1").arg(kSimPort), "--config-home",
                                    configHome} +
                            extraArguments);
        if (!m_process.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(10000);
        while (!m_log.contains('\n') && !deadline.hasExpired() &&
               m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(int(deadline.remainingTime()));
        return m_log.startsWith("/dev/") && m_log.contains('\n');
    }

    QString linkPath() const { return m_linkPath; }
    QString log() const { return QString::fromLocal8Bit(m_log); }

    // The log lines after the device path, with their timestamps.
    QList<LogLine> lines() const
    {
        static const QRegularExpression pattern(
            QStringLiteral("^(\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d)  (.*)$"));
        QList<LogLine> result;
        for (const QString& line : log().split(u'\n')) {
            const QRegularExpressionMatch match = pattern.match(line);
            if (match.hasMatch())
                result.append({QTime::fromString(match.captured(1), QStringLiteral("HH:mm:ss.zzz"))
                                   .msecsSinceStartOfDay(),
                               match.captured(2)});
        }
        return result;
    }

    // The commands the projectors received, as the log spells them ("A002C00[CR]").
    QList<LogLine> received() const
    {
        QList<LogLine> result;
        for (const LogLine& line : lines())
            if (line.text.startsWith(QLatin1String("RX  ")))
                result.append({line.atMs, line.text.mid(4)});
        return result;
    }

    // The projectors that answered, in order.
    QList<int> answeredBy() const
    {
        static const QRegularExpression pattern(QStringLiteral("^TX  .*\\(projector (\\d)\\)$"));
        QList<int> result;
        for (const LogLine& line : lines()) {
            const QRegularExpressionMatch match = pattern.match(line.text);
            if (match.hasMatch())
                result.append(match.captured(1).toInt());
        }
        return result;
    }

  private:
    QProcess m_process;
    QByteArray m_log;
    QString m_linkPath;
};

} // namespace

// Starts both and ends the test function at once when that failed: nothing else can run then.
#define START_BOTH(...)                                                                            \
    do {                                                                                           \
        startBoth(__VA_ARGS__);                                                                    \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)

// The panel and the projector simulator together, over a real pseudo-terminal: what the
// operator clicks reaches the simulated projectors, and what they answer reaches the panel's
// echo and status lines.
class TestEndToEnd : public QObject
{
    Q_OBJECT
  private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Simulator> m_sim;
    std::unique_ptr<Form1> m_form;
    QStringList m_messages;

    Form1& form() { return *m_form; }
    Simulator& sim() { return *m_sim; }
    QString text(const char* label) { return m_form->label(QString::fromLatin1(label))->text(); }
    void click(const char* button)
    {
        QTest::mouseClick(m_form->button(QString::fromLatin1(button)), Qt::LeftButton);
    }
    void chooseAddress(const QString& option)
    {
        auto* radio = m_form->findChild<QRadioButton*>(option);
        QVERIFY(radio);
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(5, radio->height() / 2));
        QVERIFY(radio->isChecked());
    }

    // Starts the simulator with the given options and the panel on it, as the operator would
    // find it after a normal start-up on COM5 at 9600 bit/s, at full height.
    void startBoth(const QStringList& simArguments)
    {
        m_sim = std::make_unique<Simulator>(m_dir->filePath(QStringLiteral("projector")));
        QVERIFY2(m_sim->start(simArguments), qPrintable(m_sim->log()));
        m_form = std::make_unique<Form1>();
        m_form->load();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QVERIFY2(m_form->comm().portOpen(), qPrintable(m_form->comm().devicePath()));
        QCOMPARE(m_form->comm().devicePath(), m_sim->linkPath());
        QTest::keyClick(m_form.get(), Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(m_form->height(), Form1::fullClientHeight());
        QTRY_VERIFY(m_sim->log().contains(QLatin1String("client opened the device")));
    }

    // Clicks a read button and waits for the reply to be complete on the RxD line; the RxD
    // line is emptied by every transmit, so a match is this exchange's reply.
    void readBack(const char* button, const QString& rxd)
    {
        click(button);
        QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), rxd, 900);
    }

  private slots:
    void initTestCase()
    {
        TempStore::setUpProcess();
        RetryComport::setHookForTesting([this](const QString& reason) { m_messages << reason; });
    }
    void init()
    {
        TempStore::clear();
        TempStore::setValue("StartUP", "ComPort", QString::number(kSimPort));
        TempStore::setValue("StartUP", "BaudRate", "96");
        SendText.clear();
        m_messages.clear();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup()
    {
        m_form.reset();
        m_sim.reset();
        m_dir.reset();
    }

    void powerOnSequenceReadsBackThroughStatus()
    {
        START_BOTH({"--warmup-ms", "1500"});
        readBack("Command44", " 8 0  [CR] ");
        QCOMPARE(text("Label25"), QStringLiteral(" Stand by"));

        click("Command17");
        QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), QStringLiteral("  [ACK] "), 900);
        readBack("Command44", " 4 0  [CR] ");
        QCOMPARE(text("Label25"), QStringLiteral(" Count down"));

        // The count down ends on the simulator's clock; the next read shows the power on.
        QTRY_VERIFY_WITH_TIMEOUT(sim().log().contains("projector 1: status 00"), 5000);
        readBack("Command44", " 0 0  [CR] ");
        QCOMPARE(text("Label25"), QStringLiteral(" Power ON"));

        QStringList commands;
        for (const LogLine& line : sim().received())
            commands << line.text;
        QCOMPARE(commands, QStringList({"CR0[CR]", "C00[CR]", "CR0[CR]", "CR0[CR]"}));
    }

    void inputSelectionReadsBack()
    {
        START_BOTH({});
        // Each step changes the input, so every read shows a fresh answer.
        const struct
        {
            const char* button;
            const char* rxd;
            const char* status;
        } steps[] = {
            {"Command53", " 3  [CR] ", " Input 3"},
            {"Command27", " 1  [CR] ", " Input 1"},
            {"Command41", " 4  [CR] ", " Wired"},
            {"Command28", " 2  [CR] ", " Input 2"},
        };
        for (const auto& step : steps) {
            click(step.button);
            QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), QStringLiteral("  [ACK] "), 900);
            readBack("Command45", QString::fromLatin1(step.rxd));
            QCOMPARE(text("Label25"), QString::fromLatin1(step.status));
        }
    }

    void readRepliesDecode_data()
    {
        QTest::addColumn<QStringList>("simArguments");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("status");

        const QString standbyTemperatures =
            QStringLiteral(" 0 2 5 . 0 deg C 0 2 5 . 5 deg C 0 2 6 . 0 deg C ");
        QTest::newRow("lamp time")
            << QStringList{"--lamp-hours", "1234"} << "Option1"
            << "Command46" << QByteArray("01234\r") << "   1 2 3 4   Hour Use";
        QTest::newRow("lamp time split")
            << QStringList{"--lamp-hours", "1234", "--split", "--split-gap-ms", "30"} << "Option1"
            << "Command46" << QByteArray("01234\r") << "   1 2 3 4   Hour Use";
        QTest::newRow("lamp time zero split")
            << QStringList{"--lamp-hours", "0", "--split", "--split-gap-ms", "30"} << "Option1"
            << "Command46" << QByteArray("00000\r") << QString(12, u' ') + " Hour Use";
        QTest::newRow("temperatures")
            << QStringList{} << "Option1"
            << "Command54" << QByteArray("025.0 025.5 026.0\r") << standbyTemperatures;
        QTest::newRow("temperatures split")
            << QStringList{"--split", "--split-gap-ms", "30"} << "Option1"
            << "Command54" << QByteArray("025.0 025.5 026.0\r") << standbyTemperatures;
        QTest::newRow("temperatures of projector 3")
            << QStringList{"--projectors", "3"} << "Option5"
            << "Command54" << QByteArray("026.0 026.5 027.0\r")
            << " 0 2 6 . 0 deg C 0 2 6 . 5 deg C 0 2 7 . 0 deg C ";
        QTest::newRow("status temperature fault")
            << QStringList{"--fault", "88"} << "Option1"
            << "Command44" << QByteArray("88\r") << " Temperature abnormality";
        QTest::newRow("status lamp failure split")
            << QStringList{"--fault", "81", "--split", "--split-gap-ms", "30"} << "Option1"
            << "Command44" << QByteArray("81\r") << " Lamp Failure";
        QTest::newRow("setting split")
            << QStringList{"--reversal", "10", "--split", "--split-gap-ms", "30"} << "Option1"
            << "Command47" << QByteArray("10\r") << " Top/Bottom reversal";
        QTest::newRow("status 2 is not decoded") << QStringList{} << "Option1"
                                                 << "Command55" << QByteArray("80111\r") << "";
    }
    void readRepliesDecode()
    {
        QFETCH(QStringList, simArguments);
        QFETCH(QString, option);
        QFETCH(QString, button);
        QFETCH(QByteArray, reply);
        QFETCH(QString, status);
        START_BOTH(simArguments);
        chooseAddress(option);
        QSignalSpy events(&form().comm(), &MSComm1::onComm);
        QTest::mouseClick(form().button(button), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(form().RxBuffer, reply, 900);
        QVERIFY(text("Label12").endsWith(QLatin1String(" [CR] ")));
        QCOMPARE(text("Label25"), status);
        // A split reply really came in pieces, about one a character; the decoding above is the
        // same as for a whole one.
        if (simArguments.contains("--split"))
            QVERIFY2(events.count() >= reply.size() / 2,
                     qPrintable(QString::number(events.count())));
    }

    void heldZoomRepeatsAboutEvery100msUntilRelease()
    {
        START_BOTH({});
        QPushButton* zoom = form().button("Command30");
        QTest::mousePress(zoom, Qt::LeftButton);
        QTest::qWait(1000); // the measurement window
        QTest::mouseRelease(zoom, Qt::LeftButton);
        const int releasedAt = QTime::currentTime().msecsSinceStartOfDay();
        QCOMPARE(text("Label11"), QString());
        QTest::qWait(500); // nothing may follow the release

        const QList<LogLine> commands = sim().received();
        QVERIFY(!commands.isEmpty());
        for (const LogLine& line : commands)
            QCOMPARE(line.text, QStringLiteral("C47[CR]"));
        const int count = int(commands.size());
        QVERIFY2(count >= 8 && count <= 12, qPrintable(QString::number(count)));
        const double meanGap = double(commands.last().atMs - commands.first().atMs) / (count - 1);
        QVERIFY2(meanGap >= 90 && meanGap <= 130, qPrintable(QString::number(meanGap)));
        for (qsizetype i = 1; i < commands.size(); ++i)
            QVERIFY2(commands[i].atMs - commands[i - 1].atMs < 250,
                     qPrintable(QString::number(commands[i].atMs - commands[i - 1].atMs)));
        QVERIFY2(commands.last().atMs <= releasedAt + 20,
                 qPrintable(QStringLiteral("last at %1, released at %2")
                                .arg(commands.last().atMs)
                                .arg(releasedAt)));
        // Every repetition was answered, and the release left no no-reply mark behind: the
        // line is empty, or shows the last answer when it came in after the release.
        QCOMPARE(sim().answeredBy().size(), count);
        QVERIFY2(text("Label12").isEmpty() || text("Label12") == QLatin1String("  [ACK] "),
                 qPrintable(text("Label12")));
    }

    void addressReachesOnlyItsProjectors_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("wire");
        QTest::addColumn<int>("answeredBy");
        QTest::addColumn<QList<int>>("poweredOn");
        QTest::newRow("SINGLE: all execute, projector 1 answers")
            << "Option1"
            << "C00[CR]" << 1 << QList<int>{1, 2, 3, 4};
        QTest::newRow("ALL: all execute, none answers")
            << "Option2"
            << "AFFFC00[CR]" << 0 << QList<int>{1, 2, 3, 4};
        QTest::newRow("001") << "Option3"
                             << "A001C00[CR]" << 1 << QList<int>{1};
        QTest::newRow("002") << "Option4"
                             << "A002C00[CR]" << 2 << QList<int>{2};
        QTest::newRow("004") << "Option6"
                             << "A004C00[CR]" << 4 << QList<int>{4};
    }
    void addressReachesOnlyItsProjectors()
    {
        QFETCH(QString, option);
        QFETCH(QString, wire);
        QFETCH(int, answeredBy);
        QFETCH(QList<int>, poweredOn);
        START_BOTH({"--projectors", "4", "--warmup-ms", "600000"});
        chooseAddress(option);
        QCOMPARE(sim().received().size(), 0); // choosing sends nothing

        click("Command17");
        QCOMPARE(SendText, QByteArray("C00\r"));
        QTRY_COMPARE(sim().received().size(), 1);
        QCOMPARE(sim().received().first().text, wire);
        if (answeredBy > 0) {
            QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), QStringLiteral("  [ACK] "), 900);
            QCOMPARE(sim().answeredBy(), QList<int>{answeredBy});
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), QStringLiteral(" X X X X "), 1500);
            QVERIFY(sim().answeredBy().isEmpty());
        }

        // Each projector in turn, addressed on its own, tells whether the command reached it.
        const char* const options[] = {"Option3", "Option4", "Option5", "Option6"};
        for (int k = 1; k <= 4; ++k) {
            chooseAddress(QString::fromLatin1(options[k - 1]));
            const bool on = poweredOn.contains(k);
            readBack("Command44", on ? " 4 0  [CR] " : " 8 0  [CR] ");
            QCOMPARE(text("Label25"),
                     on ? QStringLiteral(" Count down") : QStringLiteral(" Stand by"));
            QCOMPARE(sim().answeredBy().last(), k);
        }
    }

    void consoleCommandsAreAnswered_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QString>("rxd");
        QTest::newRow("read command") << QByteArray("CR LAMPH\r") << "  [ACK] ";
        QTest::newRow("set command") << QByteArray("CF BRIGHT UP\r") << "  [ACK] ";
        QTest::newRow("not a command") << QByteArray("HELLO\r") << " ?  [CR] ";
    }
    void consoleCommandsAreAnswered()
    {
        QFETCH(QByteArray, command);
        QFETCH(QString, rxd);
        START_BOTH({"--projectors", "2"});
        chooseAddress("Option4");
        form().Hyouji(command, Form1::kTransmit);
        QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), rxd, 900);
        QCOMPARE(sim().received().size(), 1);
        QCOMPARE(sim().received().first().text,
                 "A002" + QString::fromLatin1(command.chopped(1)) + "[CR]");
        QCOMPARE(sim().answeredBy(), QList<int>{2});
        QCOMPARE(text("Label25"), QString());
        // The answer stays on the line when the reply window closes: no no-reply mark over it.
        QTest::qWait(1050);
        QCOMPARE(text("Label12"), rxd);
    }

    void silentProjectorGivesNoReplyMark()
    {
        START_BOTH({"--silent"});
        QElapsedTimer clock;
        clock.start();
        click("Command44");
        QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), QStringLiteral(" X X X X "), 1500);
        QVERIFY2(clock.elapsed() >= 950, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(text("Label11"), QStringLiteral(" C R 0  [CR] "));
        QCOMPARE(text("Label25"), QString());
        // The command did arrive; only its answer was held back.
        QVERIFY(sim().log().contains("RX  CR0[CR]"));
        QVERIFY(sim().log().contains("suppressed (silent)"));
        QTRY_COMPARE_WITH_TIMEOUT(text("Label12"), QString(), 1000);
        QCOMPARE(text("Label11"), QString());
    }

    void hangUpClosesThePortAndComReopensIt()
    {
        START_BOTH({"--hangup-after", "2", "--reopen-after-ms", "4000"});
        readBack("Command44", " 8 0  [CR] ");
        readBack("Command45", " 1  [CR] ");

        // The line goes away like a pulled adapter: the panel closes its port by itself, and
        // neither the hang-up nor the closed port costs it any noticeable CPU time.
        QTRY_VERIFY_WITH_TIMEOUT(sim().log().contains("hang-up: line closed"), 2000);
        QElapsedTimer window;
        window.start();
        const qint64 cpuBefore = processCpuMs();
        QTRY_VERIFY_WITH_TIMEOUT(!form().comm().portOpen(), 1000);
        QCOMPARE(text("Label12"), QStringLiteral(" PORT CLOSED "));
        QTest::qWait(int(std::max<qint64>(0, 1000 - window.elapsed()))); // the measurement window
        const qint64 cpuUsed = processCpuMs() - cpuBefore;
        QVERIFY2(cpuUsed < 250, qPrintable(QStringLiteral("%1 ms CPU in 1 s").arg(cpuUsed)));
        QVERIFY(!form().comm().portOpen());
        click("Command17");
        QCOMPARE(text("Label11"), QStringLiteral(" C 0 0  [CR] "));
        QCOMPARE(text("Label12"), QStringLiteral(" PORT CLOSED "));

        // "COM", then OK: while the simulator is still away, the port does not open.
        click("Command33");
        QPointer<Form2> dialog = form().portDialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!QFileInfo::exists(sim().linkPath()));
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().contains("no such device"), qPrintable(m_messages.first()));
        QVERIFY(!form().comm().portOpen());

        // Once it is back, the same OK opens it and the projector answers again.
        QTRY_VERIFY_WITH_TIMEOUT(sim().log().contains("line reopened"), 8000);
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(form().comm().portOpen());
        QTRY_VERIFY(dialog.isNull() || !dialog->isVisible());
        readBack("Command44", " 8 0  [CR] ");
        QCOMPARE(text("Label25"), QStringLiteral(" Stand by"));
        QCOMPARE(sim().log().count("client opened the device"), 2);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
