// A long run of the panel against three simulators, as a technician's day would go: holds
// repeating, reads answered and unanswered, a line full of noise, hang-ups and reopening; then
// the port lost and reopened a hundred times on a fourth. It prints what was sent and decoded,
// memory, open descriptors, timers, CPU and the longest stall of the event loop, and exits
// non-zero when a limit is broken.
#include "bench/simlog.h"
#include "bench/simprocess.h"
#include "bench/wirewatch.h"
#include "core/buttontable.h"
#include "session/session.h"
#include "settings/settings.h"
#include "testing/testsupport.h"
#include "ui/panelwindow.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace zuno;
using namespace zuno::bench;

namespace {

constexpr int kRepeatMs = 100;
constexpr int kBitsPerSecond = 19200; // every simulator's line speed
constexpr qint64 kNsPerMs = 1000000;

// One visit to a simulator, in ms from its start: open, hold, two reads, close.
constexpr int kPressAt = 100;
constexpr int kHoldMs = 2050; // half an interval away from a send, so the count is exact
constexpr int kLossGraceMs = 90;
constexpr int kReadsAt[] = {2250, 2850};
constexpr int kReadCheckAfterMs = 590; // past the 500 ms reply window, before the next read
constexpr int kCloseAt = 3650;
constexpr int kVisitMs = 3700;
constexpr int kReopenPollMs = 50;
constexpr int kHeartbeatMs = 10;

// The lose/reopen cycles after the visits: the first ones warm up, the next ones are measured.
constexpr int kWarmUpCycles = 10;
constexpr int kMeasuredCycles = 100;
constexpr int kCyclePollMs = 5;

// Limits.
constexpr double kMaxEventLoopGapMs = 50;
constexpr qint64 kMemoryAllowanceKiB = 2048;
// The session's history of exchanges grows until it holds its bound; a bound that the first
// minute reaches leaves the memory flat after it, so that the allowance still catches a leak.
constexpr qsizetype kHistoryCapacity = 200;

const QLatin1String kNoReply(kNoReplyMark); // what the RxD line shows for a missing reply

void print(const QString& line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(u' ', 0, 2)
                                          : QString();
}

qint64 residentKiB()
{
    QFile file(QStringLiteral("/proc/self/smaps_rollup"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("Rss:"))
            return line.mid(4).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
                   .size());
}

// Timers registered for the panel's objects: the application's windows and everything in them,
// the link and the exchange with what they own, and the exchange's own timers (members, not
// children).
int activeTimers(Link& link, Exchange& exchange)
{
    QSet<QObject*> objects;
    const auto addTree = [&objects](QObject* root) {
        objects.insert(root);
        for (QObject* child : root->findChildren<QObject*>())
            objects.insert(child);
    };
    for (QWidget* widget : QApplication::topLevelWidgets())
        addTree(widget);
    addTree(&link);
    addTree(&exchange);
    for (const QTimer* timer :
         {&exchange.repeatTimer(), &exchange.replyTimer(), &exchange.displayClearTimer()})
        objects.insert(const_cast<QTimer*>(timer));
    int count = 0;
    for (QObject* object : std::as_const(objects))
        count += int(QAbstractEventDispatcher::instance()->registeredTimers(object).size());
    return count;
}

// The reads clicked in turn, with what the answering simulator's reply decodes to.
struct Read
{
    PanelButton button;
    const char* decoded;
};
constexpr Read kReads[] = {
    {PanelButton::Status, " Stand by"},   // "80"
    {PanelButton::InputMode, " Input 1"}, // "1"
    {PanelButton::Setting, " Normally"},  // "11"
};

enum class Role
{
    Answering,
    Silent,
    Noise
};

struct Simulator
{
    Role role;
    const char* name;
    int port;
    QStringList options;
    std::unique_ptr<SimProcess> process;
    std::vector<QByteArray> holdCommands; // of the holds made here, in order
};

struct Hold
{
    int simulator;
    QByteArray command;
    qint64 pressNs = 0;
    qint64 releaseNs = 0;
    bool interrupted = false; // the port was closed or lost at some point of the hold
};

struct Figures
{
    int visits = 0;
    int answeredReads = 0;
    int decoded = 0;
    int readsLostToHangup = 0;
    QStringList wrongDecodes;
    int silentReads = 0;
    int marked = 0;
    QStringList unmarked;
    int noiseReads = 0;
    int noiseShown = 0;
    int portsLost = 0;
    int reopened = 0;
    double longestGapMs = 0;
    QString longestGapWhen;
    qint64 rssStart = 0;
    qint64 rssBaseline = -1;
    qint64 rssEnd = 0;
    qint64 rssMax = 0;
    int cycles = 0;
    int descriptorsBaseline = -1;
    int descriptorsEnd = -1;
    int timersBaseline = -1;
    int timersEnd = -1;
};

class Soak : public QObject
{
  public:
    Soak(Session& session, PanelWindow& window, std::vector<Simulator>& simulators,
         qint64 durationMs)
        : m_link(session.link()), m_exchange(session.exchange()), m_window(window),
          m_simulators(simulators), m_durationMs(durationMs)
    {
        for (const ButtonSpec& button : panelButtons()) {
            if (button.kind == ButtonKind::Hold)
                m_holdButtons.push_back(&button);
        }
        connect(&m_link, &Link::lost, this, [this] { ++m_figures.portsLost; });

        m_heartbeat.setTimerType(Qt::PreciseTimer);
        m_heartbeat.setInterval(kHeartbeatMs);
        connect(&m_heartbeat, &QTimer::timeout, this, [this] {
            const qint64 now = monotonicNs();
            const double gap = double(now - m_lastBeatNs) / double(kNsPerMs);
            if (gap > m_figures.longestGapMs) {
                m_figures.longestGapMs = gap;
                const QString where =
                    m_cycling ? QStringLiteral("lose/reopen cycle %1").arg(m_figures.cycles + 1)
                              : QStringLiteral("visit %1 (%2)")
                                    .arg(m_figures.visits)
                                    .arg(QLatin1String(current().name));
                m_figures.longestGapWhen = QStringLiteral("%1 s in, %2")
                                               .arg(double(now - m_startNs) / 1e9, 0, 'f', 1)
                                               .arg(where);
            }
            m_lastBeatNs = now;
        });

        m_reopen.setInterval(kReopenPollMs);
        connect(&m_reopen, &QTimer::timeout, this, [this] {
            // A hung-up line comes back under the same name: open it again, as "COM" would.
            if (!m_visiting || m_link.isOpen())
                return;
            if (!QFileInfo::exists(current().process->linkPath()))
                return;
            m_link.open(current().port, kBitsPerSecond);
            if (m_link.isOpen())
                ++m_figures.reopened;
        });

        m_memory.setInterval(1000);
        connect(&m_memory, &QTimer::timeout, this, [this] {
            const qint64 rss = residentKiB();
            if (m_figures.rssBaseline >= 0)
                m_figures.rssMax = std::max(m_figures.rssMax, rss);
            const qint64 elapsedS = (monotonicNs() - m_startNs) / (1000 * kNsPerMs);
            if (elapsedS > 0 && elapsedS % 60 == 0 && elapsedS != m_lastReportS) {
                m_lastReportS = elapsedS;
                print(QStringLiteral("  %1 s: %2 visits, %3 reads decoded, %4 marked, %5 "
                                     "hang-ups, resident %6 KiB, longest gap %7 ms")
                          .arg(elapsedS)
                          .arg(m_figures.visits)
                          .arg(m_figures.decoded)
                          .arg(m_figures.marked)
                          .arg(m_figures.portsLost)
                          .arg(rss)
                          .arg(m_figures.longestGapMs, 0, 'f', 1));
            }
        });
    }

    // Runs the visits until the time is up, then the lose/reopen cycles on the port of a
    // simulator that hangs up after every command; returns when the last cycle has ended.
    void run(int cyclePort, const QString& cycleLink)
    {
        m_link.close();
        m_figures.rssStart = residentKiB();
        m_startNs = monotonicNs();
        m_lastBeatNs = m_startNs;
        m_heartbeat.start();
        m_reopen.start();
        m_memory.start();
        visit();
        m_loop.exec();
        loseAndReopen(cyclePort, cycleLink);
        m_heartbeat.stop();
        m_reopen.stop();
        m_memory.stop();
        m_figures.rssEnd = residentKiB();
        m_figures.rssMax = std::max(m_figures.rssMax, m_figures.rssEnd);
    }

    const Figures& figures() const { return m_figures; }
    const std::vector<Hold>& holds() const { return m_holds; }

  private:
    Simulator& current() { return m_simulators[std::size_t(m_simulator)]; }

    // Opens the port whenever the simulator's link is there and clicks a read, which the
    // simulator answers and hangs up after. Descriptors and timers are counted at a loss after
    // the warm-up cycles and at the last: the same point of a cycle, so they compare.
    void loseAndReopen(int port, const QString& linkPath)
    {
        QEventLoop loop;
        QTimer poll;
        poll.setInterval(kCyclePollMs);
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (m_link.isOpen() || !QFileInfo::exists(linkPath))
                return;
            m_link.open(port, kBitsPerSecond);
            if (m_link.isOpen())
                QTest::mouseClick(m_window.controls().button(PanelButton::Status), Qt::LeftButton);
        });
        connect(&m_link, &Link::lost, &loop, [&] {
            ++m_figures.cycles;
            if (m_figures.cycles == kWarmUpCycles) {
                m_figures.descriptorsBaseline = openDescriptors();
                m_figures.timersBaseline = activeTimers(m_link, m_exchange);
            } else if (m_figures.cycles == kWarmUpCycles + kMeasuredCycles) {
                m_figures.descriptorsEnd = openDescriptors();
                m_figures.timersEnd = activeTimers(m_link, m_exchange);
                loop.quit();
            }
        });
        m_cycling = true;
        poll.start();
        loop.exec();
        m_cycling = false;
    }

    void at(int ms, std::function<void()> step)
    {
        QTimer::singleShot(ms, Qt::PreciseTimer, this, std::move(step));
    }

    void visit()
    {
        m_simulator = m_figures.visits % int(m_simulators.size());
        const int visitNumber = m_figures.visits++;
        m_visiting = true;
        m_link.open(current().port, kBitsPerSecond);

        const ButtonSpec& held = *m_holdButtons[std::size_t(visitNumber) % m_holdButtons.size()];
        QPushButton* holdButton = m_window.controls().button(held.id);
        at(kPressAt, [this, holdButton, &held] {
            Hold hold{m_simulator, QByteArray(held.command)};
            hold.interrupted = !m_link.isOpen();
            m_lostAtPress = m_figures.portsLost;
            hold.pressNs = monotonicNs();
            QTest::mousePress(holdButton, Qt::LeftButton);
            m_holds.push_back(hold);
            current().holdCommands.push_back(hold.command);
        });
        at(kPressAt + kHoldMs, [this, holdButton] {
            Hold& hold = m_holds.back();
            hold.releaseNs = monotonicNs();
            QTest::mouseRelease(holdButton, Qt::LeftButton);
            hold.interrupted = hold.interrupted || !m_link.isOpen();
        });
        // A hang-up noticed a little after the release may still have swallowed a late send.
        at(kPressAt + kHoldMs + kLossGraceMs,
           [this] { m_holds.back().interrupted |= m_figures.portsLost != m_lostAtPress; });
        for (std::size_t i = 0; i < std::size(kReadsAt); ++i) {
            const Read& read = kReads[(std::size_t(visitNumber) * 2 + i) % std::size(kReads)];
            at(kReadsAt[i], [this, read] { clickRead(read); });
        }
        at(kCloseAt, [this] {
            m_visiting = false;
            m_link.close();
        });
        at(kVisitMs, [this] {
            if (m_figures.visits == int(m_simulators.size()))
                m_figures.rssBaseline = residentKiB();
            if ((monotonicNs() - m_startNs) / kNsPerMs + kVisitMs > m_durationMs &&
                m_figures.visits >= int(m_simulators.size()))
                m_loop.quit();
            else
                visit();
        });
    }

    void clickRead(const Read& read)
    {
        const bool openAtClick = m_link.isOpen();
        const int lostBefore = m_figures.portsLost;
        QTest::mouseClick(m_window.controls().button(read.button), Qt::LeftButton);
        const Role role = current().role;
        at(kReadCheckAfterMs, [this, read, openAtClick, lostBefore, role] {
            const bool lost = !openAtClick || m_figures.portsLost != lostBefore || !m_link.isOpen();
            const QString status = m_window.controls().statusLine->text();
            const QString rxd = m_window.controls().rxdLine->text();
            const QLatin1String caption(buttonSpec(read.button).caption);
            switch (role) {
            case Role::Answering:
                ++m_figures.answeredReads;
                if (lost)
                    ++m_figures.readsLostToHangup;
                else if (status == QLatin1String(read.decoded))
                    ++m_figures.decoded;
                else
                    m_figures.wrongDecodes
                        << QStringLiteral("%1 gave \"%2\" (RxD \"%3\")").arg(caption, status, rxd);
                break;
            case Role::Silent:
                ++m_figures.silentReads;
                if (rxd == kNoReply)
                    ++m_figures.marked;
                else
                    m_figures.unmarked << QStringLiteral("%1: RxD \"%2\"").arg(caption, rxd);
                break;
            case Role::Noise:
                ++m_figures.noiseReads;
                if (!rxd.isEmpty() && rxd != kNoReply)
                    ++m_figures.noiseShown;
                break;
            }
        });
    }

    Link& m_link;
    Exchange& m_exchange;
    PanelWindow& m_window;
    std::vector<Simulator>& m_simulators;
    qint64 m_durationMs;
    std::vector<const ButtonSpec*> m_holdButtons;
    std::vector<Hold> m_holds;
    Figures m_figures;
    int m_simulator = 0;
    bool m_visiting = false;
    bool m_cycling = false;
    int m_lostAtPress = 0;
    qint64 m_startNs = 0;
    qint64 m_lastBeatNs = 0;
    qint64 m_lastReportS = 0;
    QTimer m_heartbeat;
    QTimer m_reopen;
    QTimer m_memory;
    QEventLoop m_loop;
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TempStore::setUpProcess();
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Runs the panel against simulators for a "
                                                    "long time and checks that it holds up."));
    parser.addHelpOption();
    const QCommandLineOption duration(QStringLiteral("duration-s"),
                                      QStringLiteral("How long to run (default 600)."),
                                      QStringLiteral("S"), QStringLiteral("600"));
    const QCommandLineOption simulatorOption(
        QStringLiteral("simulator"), QStringLiteral("The simulator program."),
        QStringLiteral("PATH"),
        QDir(QCoreApplication::applicationDirPath())
            .filePath(QStringLiteral("../sim/zuno-projector-sim")));
    parser.addOption(duration);
    parser.addOption(simulatorOption);
    parser.process(app);
    const qint64 durationS = parser.value(duration).toLongLong();
    if (durationS < 1) {
        std::fputs("zuno_soak: --duration-s takes a number of seconds\n", stderr);
        return 2;
    }

    // Three lines, all at 19200 bit/s: one answers (and hangs up every 30 commands, coming back
    // 300 ms later), one never answers, one streams noise at the full line rate.
    QTemporaryDir dir;
    std::vector<Simulator> simulators;
    simulators.push_back({Role::Answering,
                          "answering",
                          5,
                          {QStringLiteral("--hangup-after"), QStringLiteral("30"),
                           QStringLiteral("--reopen-after-ms"), QStringLiteral("300")},
                          {},
                          {}});
    simulators.push_back({Role::Silent, "silent", 6, {QStringLiteral("--silent")}, {}, {}});
    simulators.push_back(
        {Role::Noise, "noise", 7, {QStringLiteral("--noise"), QStringLiteral("1920")}, {}, {}});
    TempStore::clear();
    for (Simulator& sim : simulators) {
        const QString name = QString::fromLatin1(sim.name);
        sim.process = std::make_unique<SimProcess>(
            parser.value(simulatorOption), dir.filePath(name), dir.filePath(name + ".log"),
            sim.options + QStringList{QStringLiteral("--baud"), QStringLiteral("19200")});
        if (!sim.process->waitUntilReady()) {
            std::fprintf(stderr, "zuno_soak: the %s simulator did not start\n", sim.name);
            return 1;
        }
        TempStore::mapPort(sim.port, sim.process->linkPath());
    }
    // A fourth line for the lose/reopen cycles: it hangs up after every command and is back at
    // once. It is not visited.
    const QString cycleLink = dir.filePath(QStringLiteral("cycling"));
    const int cyclePort = 8;
    SimProcess cycling(parser.value(simulatorOption), cycleLink, cycleLink + QStringLiteral(".log"),
                       {QStringLiteral("--hangup-after"), QStringLiteral("1"),
                        QStringLiteral("--reopen-after-ms"), QStringLiteral("0"),
                        QStringLiteral("--reply-delay-ms"), QStringLiteral("0"),
                        QStringLiteral("--baud"), QStringLiteral("19200")});
    if (!cycling.waitUntilReady()) {
        std::fputs("zuno_soak: the cycling simulator did not start\n", stderr);
        return 1;
    }
    TempStore::mapPort(cyclePort, cycleLink);
    TempStore::setValue(QStringLiteral("StartUP"), QStringLiteral("ComPort"), QStringLiteral("5"));
    TempStore::setValue(QStringLiteral("StartUP"), QStringLiteral("BaudRate"),
                        QStringLiteral("192"));
    TempStore::setValue(QStringLiteral("StartUP"), QStringLiteral("ADRESS"),
                        QStringLiteral("A001"));

    print(QStringLiteral("soak: %1 s; the panel against three simulators at 19200 bit/s "
                         "(answering with a hang-up every 30 commands, silent, noise at 1920 "
                         "bytes/s); each visit of %2 ms: a %3 ms hold, two reads; then the port "
                         "lost and reopened %4 + %5 times on a fourth")
              .arg(durationS)
              .arg(kVisitMs)
              .arg(kHoldMs)
              .arg(kWarmUpCycles)
              .arg(kMeasuredCycles));

    print(QStringLiteral("load average at start: %1").arg(loadAverage()));

    // The session outlives the window that shows it.
    Settings settings;
    Session session(settings);
    session.history().setCapacity(kHistoryCapacity);
    auto window = std::make_unique<PanelWindow>(session);
    // The soak moves the link between the simulators' ports and reopens it itself; the panel's
    // own reconnecting would reopen the start-up's port instead.
    session.setReconnectEnabled(false);
    session.start();
    if (!QTest::qWaitForWindowExposed(window.get()) || !session.link().isOpen()) {
        std::fputs("zuno_soak: the panel did not start\n", stderr);
        return 1;
    }
    const qint64 cpuStart = processCpuMs();
    const qint64 wallStart = monotonicNs();
    Soak soak(session, *window, simulators, durationS * 1000);
    soak.run(cyclePort, cycleLink);
    const qint64 cpuMs = processCpuMs() - cpuStart;
    const double wallS = double(monotonicNs() - wallStart) / 1e9;
    window.reset();

    QStringList broken;
    const Figures& f = soak.figures();
    int totalCommands = 0;
    int simulatorHangups = 0;
    int simulatorReplies = 0;
    QStringList perSimulator;
    int cleanHolds = 0, interruptedHolds = 0, missed = 0, extra = 0, sends = 0;
    QStringList holdFaults;
    QSet<QByteArray> repeatCommands;
    for (int key = 1; key <= 18; ++key)
        repeatCommands.insert(repeatCommand(key));
    std::vector<std::size_t> nextHold(simulators.size(), 0);
    std::vector<std::vector<int>> counted(simulators.size());
    for (std::size_t i = 0; i < simulators.size(); ++i) {
        Simulator& sim = simulators[i];
        const bool wasRunning = sim.process->running();
        const bool clean = sim.process->stop();
        if (!wasRunning || !clean)
            broken << QStringLiteral("the %1 simulator ended early or badly").arg(sim.name);
        QFile logFile(sim.process->logPath());
        const SimLog log =
            parseSimLog(logFile.open(QIODevice::ReadOnly) ? logFile.readAll() : QByteArray());
        totalCommands += int(log.commands.size());
        simulatorHangups += log.hangups;
        simulatorReplies += log.replies;
        perSimulator
            << QStringLiteral("%1 %2").arg(QLatin1String(sim.name)).arg(log.commands.size());
        counted[i] = sendsPerHold(log.commands, sim.holdCommands, repeatCommands);
    }
    {
        const bool wasRunning = cycling.running();
        if (!cycling.stop() || !wasRunning)
            broken << QStringLiteral("the cycling simulator ended early or badly");
        QFile logFile(cycling.logPath());
        const SimLog log =
            parseSimLog(logFile.open(QIODevice::ReadOnly) ? logFile.readAll() : QByteArray());
        totalCommands += int(log.commands.size());
        simulatorHangups += log.hangups;
        perSimulator << QStringLiteral("cycling %1").arg(log.commands.size());
    }
    for (const Hold& hold : soak.holds()) {
        const auto s = std::size_t(hold.simulator);
        const int got = counted[s][nextHold[s]++];
        const int expected = expectedHoldSends(hold.releaseNs - hold.pressNs, kRepeatMs);
        sends += got;
        const QString which = QStringLiteral("%1 on %2 at %3 s")
                                  .arg(QString::fromLatin1(hold.command))
                                  .arg(QLatin1String(simulators[s].name))
                                  .arg(double(hold.pressNs - wallStart) / 1e9, 0, 'f', 1);
        if (hold.interrupted) {
            ++interruptedHolds;
            if (got > expected) {
                extra += got - expected;
                holdFaults
                    << QStringLiteral("%1: %2 sends, at most %3").arg(which).arg(got).arg(expected);
            }
            continue;
        }
        ++cleanHolds;
        if (got != expected) {
            (got < expected ? missed : extra) += std::abs(got - expected);
            holdFaults
                << QStringLiteral("%1: %2 sends, %3 expected").arg(which).arg(got).arg(expected);
        }
    }

    const qint64 growth = f.rssEnd - f.rssBaseline;
    print(QStringLiteral("ran %1 s: %2 visits; load average at the end: %3")
              .arg(wallS, 0, 'f', 1)
              .arg(f.visits)
              .arg(loadAverage()));
    print(QStringLiteral("commands sent (received by the simulators): %1 (%2); replies sent "
                         "by the simulators: %3")
              .arg(totalCommands)
              .arg(perSimulator.join(QStringLiteral(", ")))
              .arg(simulatorReplies));
    print(QStringLiteral("holds: %1 with %2 sends; %3 kept their port throughout: %4 missed, "
                         "%5 extra; %6 met a hang-up")
              .arg(soak.holds().size())
              .arg(sends)
              .arg(cleanHolds)
              .arg(missed)
              .arg(extra)
              .arg(interruptedHolds));
    for (const QString& fault : std::as_const(holdFaults))
        print(QStringLiteral("  ") + fault);
    print(QStringLiteral("replies decoded on the status line: %1 of %2 answered reads (%3 lost "
                         "to a hang-up, %4 wrong)")
              .arg(f.decoded)
              .arg(f.answeredReads)
              .arg(f.readsLostToHangup)
              .arg(f.wrongDecodes.size()));
    for (const QString& wrong : f.wrongDecodes)
        print(QStringLiteral("  ") + wrong);
    print(QStringLiteral("unanswered reads marked \"%1\": %2 of %3")
              .arg(kNoReply)
              .arg(f.marked)
              .arg(f.silentReads));
    for (const QString& unmarked : f.unmarked)
        print(QStringLiteral("  ") + unmarked);
    print(QStringLiteral("reads on the noise line: %1, noise on the RxD line at %2 of them")
              .arg(f.noiseReads)
              .arg(f.noiseShown));
    print(QStringLiteral("hang-ups: %1 by the simulator, %2 noticed by the panel, %3 reopened")
              .arg(simulatorHangups)
              .arg(f.portsLost)
              .arg(f.reopened));
    print(QStringLiteral("resident memory: %1 KiB at start, %2 KiB after the first round, %3 KiB "
                         "at the end (highest %4 KiB): %5%6 KiB (limit +%7 KiB)")
              .arg(f.rssStart)
              .arg(f.rssBaseline)
              .arg(f.rssEnd)
              .arg(f.rssMax)
              .arg(growth >= 0 ? QStringLiteral("+") : QString())
              .arg(growth)
              .arg(kMemoryAllowanceKiB));
    print(QStringLiteral("lose/reopen cycles: %1; open descriptors %2 after the first %3, %4 after "
                         "%5 more; timers of the panel, its link and exchange %6 and %7")
              .arg(f.cycles)
              .arg(f.descriptorsBaseline)
              .arg(kWarmUpCycles)
              .arg(f.descriptorsEnd)
              .arg(kMeasuredCycles)
              .arg(f.timersBaseline)
              .arg(f.timersEnd));
    print(QStringLiteral("CPU used by the panel process: %1 ms, %2 % of one core")
              .arg(cpuMs)
              .arg(100.0 * double(cpuMs) / (wallS * 1000.0), 0, 'f', 2));
    print(QStringLiteral("longest gap in the event loop: %1 ms, %2 (limit %3 ms, heartbeat "
                         "every %4 ms)")
              .arg(f.longestGapMs, 0, 'f', 1)
              .arg(f.longestGapWhen)
              .arg(kMaxEventLoopGapMs)
              .arg(kHeartbeatMs));

    if (f.longestGapMs > kMaxEventLoopGapMs)
        broken << QStringLiteral("event loop gap above %1 ms").arg(kMaxEventLoopGapMs);
    if (f.rssBaseline < 0 || growth > kMemoryAllowanceKiB)
        broken << QStringLiteral("resident memory grew");
    if (f.descriptorsEnd < 0 || f.descriptorsEnd > f.descriptorsBaseline)
        broken << QStringLiteral("open descriptors grew over the lose/reopen cycles");
    if (f.timersEnd < 0 || f.timersEnd > f.timersBaseline)
        broken << QStringLiteral("timers grew over the lose/reopen cycles");
    if (missed > 0 || extra > 0)
        broken << QStringLiteral("repeats missed or extra");
    if (!f.wrongDecodes.isEmpty())
        broken << QStringLiteral("replies not decoded");
    if (!f.unmarked.isEmpty())
        broken << QStringLiteral("missing replies not marked");
    if (f.noiseReads > 0 && f.noiseShown == 0)
        broken << QStringLiteral("no noise reached the panel");
    if (f.portsLost != simulatorHangups)
        broken << QStringLiteral("a hang-up went unnoticed");
    if (cleanHolds == 0 || f.decoded == 0 || f.marked == 0)
        broken << QStringLiteral("the run was too short to check anything");
    if (broken.isEmpty()) {
        print(QStringLiteral("result: every limit kept"));
        return 0;
    }
    print(QStringLiteral("result: LIMITS BROKEN: ") + broken.join(QStringLiteral("; ")));
    return 1;
}
