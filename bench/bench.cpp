// The tool's speed, measured through the real panel on pseudo-terminals and real child
// processes: how soon its bytes reach the wire, how soon a reply reaches the status line, how
// evenly a held button repeats, what start-up costs against a bare Qt window, and how much CPU
// a line full of noise takes. Prints one table with the target beside each figure.
#include "bench/benchstats.h"
#include "bench/simprocess.h"
#include "bench/wirewatch.h"
#include "core/buttontable.h"
#include "session/session.h"
#include "settings/settings.h"
#include "testing/testsupport.h"
#include "ui/panelwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace zuno;
using namespace zuno::bench;

namespace {

constexpr int kRepeatMs = 100;
constexpr double kNsPerMs = 1e6;
const QByteArray kAddress = "A001";

void print(const QString& line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString firstMatch(const QString& path, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(key.toLatin1()))
            return QString::fromLatin1(line.mid(line.indexOf(':') + 1)).trimmed();
    }
    return {};
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).section(u' ', 0, 2);
}

// Runs the event loop until `done` holds or the time is up; false on time-out.
template <typename Done> bool spinUntil(Done done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

// The panel as the tool runs it: the window on its session, the session outliving the window.
struct Panel
{
    Settings settings;
    Session session{settings};
    PanelWindow window{session};

    QPushButton* button(PanelButton id) const { return window.controls().button(id); }
    Exchange& exchange() { return session.exchange(); }
};

// A panel started as the tool starts, on its own pseudo-terminal mapped to `port`.
std::unique_ptr<Panel> startPanel(int port, const QString& device, const char* baudCode)
{
    TempStore::clear();
    TempStore::mapPort(port, device);
    TempStore::setValue(QStringLiteral("StartUP"), QStringLiteral("ComPort"),
                        QString::number(port));
    TempStore::setValue(QStringLiteral("StartUP"), QStringLiteral("BaudRate"),
                        QString::fromLatin1(baudCode));
    TempStore::setValue(QStringLiteral("StartUP"), QStringLiteral("ADRESS"),
                        QString::fromLatin1(kAddress));
    auto panel = std::make_unique<Panel>();
    panel->session.start();
    if (!spinUntil([&] { return panel->session.link().isOpen(); }, 5000) ||
        !QTest::qWaitForWindowExposed(&panel->window))
        qFatal("the panel did not start on %s", qPrintable(device));
    return panel;
}

struct Row
{
    QString text;
    bool met;
    bool target = true; // false: a figure printed for information, not held against a target
};
std::vector<Row> rows;

void addRow(const QString& what, const Summary& s, const QString& unit, const QString& target,
            bool met, bool isTarget = true)
{
    const QString result = !isTarget ? QString()
                           : met     ? QStringLiteral("met")
                                     : QStringLiteral("MISSED");
    rows.push_back({tableRow(what, s, unit, target, result), met, isTarget});
    print(rows.back().text);
}

void addNote(const QString& text, bool met)
{
    rows.push_back(
        {QStringLiteral("  ") + text + (met ? QString() : QStringLiteral("  MISSED")), met});
    print(rows.back().text);
}

void addInfo(const QString& text)
{
    rows.push_back({QStringLiteral("  ") + text, true, false});
    print(rows.back().text);
}

// 1. From a click on STATUS until its first byte can be read at the far end: the descriptor
// `farEnd`, a pseudo-terminal's master side or the server side of a TCP connection.
void clickToWire(Panel& panel, int farEnd, const QString& what, int clicks)
{
    QPushButton* status = panel.button(PanelButton::Status);
    const QByteArray wire = kAddress + "CR0\r";
    WireWatch watch(farEnd);
    std::vector<double> samples;
    constexpr int kWarmUp = 20;
    for (int i = 0; i < clicks + kWarmUp; ++i) {
        const std::int64_t start = monotonicNs();
        QTest::mouseClick(status, Qt::LeftButton);
        // The panel writes inside the click handler. If the bytes can be read as soon as it
        // returns, that moment bounds the time too: it keeps the watch thread's own wake-up
        // (on a busy machine) out of the figure.
        pollfd far{farEnd, POLLIN, 0};
        const std::int64_t afterClick =
            ::poll(&far, 1, 0) > 0 && (far.revents & POLLIN) ? monotonicNs() : INT64_MAX;
        if (!spinUntil([&] { return watch.pendingBytes() >= std::size_t(wire.size()); }, 2000))
            qFatal("click %d: nothing reached the wire", i);
        const auto chunks = watch.take();
        QByteArray got;
        for (const auto& chunk : chunks)
            got += chunk.bytes;
        if (got != wire)
            qFatal("click %d: the wire carried %s", i, got.toHex(' ').constData());
        if (i >= kWarmUp)
            samples.push_back(double(std::min(chunks.front().readableNs, afterClick) - start) /
                              kNsPerMs);
        // Let the panel repaint and settle as it would between two clicks of a hand.
        QTest::qWait(3);
    }
    const Summary s = summarize(samples);
    addRow(what, s, QStringLiteral("ms"), QStringLiteral("median < 0.5, p99 < 2"),
           s.median < 0.5 && s.p99 < 2.0);
}

// 2. From the last byte of a reply written at the far end until the status line shows it.
void replyToStatusLine(Panel& panel, Pty& pty, int replies)
{
    QPushButton* status = panel.button(PanelButton::Status);
    QLabel* line = panel.window.controls().statusLine;
    const struct
    {
        QByteArray first, last;
        QString decoded;
    } kinds[] = {{"0", "0\r", QStringLiteral(" Power ON")},
                 {"8", "0\r", QStringLiteral(" Stand by")}};
    std::vector<double> samples;
    constexpr int kWarmUp = 10;
    for (int i = 0; i < replies + kWarmUp; ++i) {
        const auto& reply = kinds[i % 2];
        QTest::mouseClick(status, Qt::LeftButton);
        if (pty.read(2000, 8).size() != 8)
            qFatal("reply %d: the command did not arrive", i);
        // The reply comes in two pieces, as a UART delivers it; the second completes it.
        pty.write(reply.first);
        if (!spinUntil([&] { return panel.exchange().collected() == reply.first; }, 2000))
            qFatal("reply %d: the first piece was not taken", i);
        const std::int64_t start = monotonicNs();
        pty.write(reply.last);
        if (!spinUntil([&] { return line->text() == reply.decoded; }, 2000))
            qFatal("reply %d: the status line reads \"%s\"", i, qPrintable(line->text()));
        if (i >= kWarmUp)
            samples.push_back(double(monotonicNs() - start) / kNsPerMs);
        QTest::qWait(3);
    }
    const Summary s = summarize(samples);
    addRow(QStringLiteral("reply to status line"), s, QStringLiteral("ms"),
           QStringLiteral("median < 1"), s.median < 1.0);
}

// 3. A held ZOOM button, its sends timed at the far end.
void repeatCadence(Panel& panel, Pty& pty, int repeats)
{
    QPushButton* zoom = panel.button(PanelButton::ZoomUp);
    const QByteArray wire = kAddress + "C47\r";
    WireWatch watch(pty.masterFd());
    const int holdMs = repeats * kRepeatMs + kRepeatMs / 2;
    std::int64_t pressNs = 0;
    std::int64_t releaseStartNs = 0;
    std::int64_t releaseEndNs = 0;
    QEventLoop loop;
    QTimer::singleShot(holdMs, Qt::PreciseTimer, &loop, [&] {
        releaseStartNs = monotonicNs();
        QTest::mouseRelease(zoom, Qt::LeftButton);
        releaseEndNs = monotonicNs();
        // Watch on for a few intervals: nothing more may come.
        QTimer::singleShot(5 * kRepeatMs, &loop, &QEventLoop::quit);
    });
    // The same ticks seen on the GUI thread, right after each has sent: tells the panel's own
    // lateness apart from the far end's (or the watch thread's) wake-up.
    std::vector<std::int64_t> ticks;
    const auto tickSeen = QObject::connect(&panel.exchange().repeatTimer(), &QTimer::timeout,
                                           [&ticks] { ticks.push_back(monotonicNs()); });
    pressNs = monotonicNs();
    QTest::mousePress(zoom, Qt::LeftButton);
    loop.exec();
    QObject::disconnect(tickSeen);

    // Split the stream into commands, each timed by the chunk that carried its first byte.
    std::vector<std::int64_t> sends;
    QByteArray pending;
    for (const auto& chunk : watch.take()) {
        for (const char byte : chunk.bytes) {
            if (pending.isEmpty())
                sends.push_back(chunk.readableNs);
            pending += byte;
            if (byte == '\r') {
                if (pending != wire)
                    qFatal("the hold sent %s", pending.toHex(' ').constData());
                pending.clear();
            }
        }
    }
    std::vector<double> intervals;
    std::vector<double> deviations;
    for (std::size_t i = 1; i < sends.size(); ++i) {
        const double interval = double(sends[i] - sends[i - 1]) / kNsPerMs;
        intervals.push_back(interval);
        deviations.push_back(std::abs(interval - kRepeatMs));
    }
    const Summary interval = summarize(intervals);
    const Summary deviation = summarize(deviations);
    std::vector<double> tickDeviations;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        tickDeviations.push_back(std::abs(double(ticks[i] - ticks[i - 1]) / kNsPerMs - kRepeatMs));
    // A missed tick shows as a double interval, an extra send as a near-zero one.
    const auto missed = std::count_if(intervals.begin(), intervals.end(),
                                      [](double ms) { return ms > 1.5 * kRepeatMs; });
    const auto extra = std::count_if(intervals.begin(), intervals.end(),
                                     [](double ms) { return ms < 0.5 * kRepeatMs; });
    const int nominal = 1 + int((releaseStartNs - pressNs) / std::int64_t(kRepeatMs * kNsPerMs));
    int afterRelease = 0;
    std::int64_t lastBefore = 0;
    for (const std::int64_t at : sends) {
        if (at > releaseEndNs)
            ++afterRelease;
        else
            lastBefore = at;
    }
    const double releaseLagMs = double(releaseStartNs - lastBefore) / kNsPerMs;
    addRow(QStringLiteral("repeat interval"), interval, QStringLiteral("ms"),
           QStringLiteral("mean 100 +- 1 (mean %1)").arg(interval.mean, 0, 'f', 3),
           std::abs(interval.mean - kRepeatMs) <= 1.0);
    addRow(QStringLiteral("repeat deviation |interval-100|"), deviation, QStringLiteral("ms"),
           QStringLiteral("p99 < 5"), deviation.p99 < 5.0);
    addRow(QStringLiteral("  the same, ticks on the GUI thread"), summarize(tickDeviations),
           QStringLiteral("ms"), QStringLiteral("(where the deviation arises)"), true, false);
    addNote(QStringLiteral("held %1 ms: %2 sends; %3 intervals over 150 ms (missed), %4 "
                           "under 50 ms (extra), %5 sends after the release")
                .arg(double(releaseStartNs - pressNs) / kNsPerMs, 0, 'f', 1)
                .arg(sends.size())
                .arg(missed)
                .arg(extra)
                .arg(afterRelease),
            missed == 0 && extra == 0 && afterRelease == 0);
    addInfo(
        QStringLiteral("a drift-free 100 ms schedule makes %1 sends in that time").arg(nominal));
    addNote(QStringLiteral("last send %1 ms before the release (target: within one interval, "
                           "none after)")
                .arg(releaseLagMs, 0, 'f', 2),
            releaseLagMs >= 0 && releaseLagMs <= kRepeatMs && afterRelease == 0);
}

// For comparison: a bare QTimer of the given type, restarted in its own tick, on the same GUI
// thread with the panel idle. Deviations of its intervals from 100 ms, in ms.
std::vector<double> bareTimerDeviations(Qt::TimerType type, int repeats)
{
    QTimer timer;
    timer.setTimerType(type);
    timer.setInterval(kRepeatMs);
    std::vector<std::int64_t> ticks;
    QEventLoop loop;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ticks.push_back(monotonicNs());
        if (int(ticks.size()) > repeats)
            loop.quit();
        else
            timer.start();
    });
    ticks.push_back(monotonicNs());
    timer.start();
    loop.exec();
    std::vector<double> deviations;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        deviations.push_back(std::abs(double(ticks[i] - ticks[i - 1]) / kNsPerMs - kRepeatMs));
    return deviations;
}

void timerFloor(int repeats)
{
    addRow(QStringLiteral("  bare precise QTimer, same use"),
           summarize(bareTimerDeviations(Qt::PreciseTimer, repeats)), QStringLiteral("ms"),
           QStringLiteral("(the platform's floor)"), true, false);
    addRow(QStringLiteral("  bare coarse QTimer, same use"),
           summarize(bareTimerDeviations(Qt::CoarseTimer, repeats)), QStringLiteral("ms"),
           QStringLiteral("(coarse window timers)"), true, false);
}

struct StartUp
{
    double ms = 0;
    double rssKiB = 0;
    double pssKiB = 0;
};

// Starts a program that prints "shown" once its window is painted; reads its memory then.
StartUp startOnce(const QString& program)
{
    QProcess child;
    child.setProgram(program);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const std::int64_t start = monotonicNs();
    child.start();
    if (!child.waitForStarted(10000))
        qFatal("cannot start %s", qPrintable(program));
    while (!child.canReadLine()) {
        if (!child.waitForReadyRead(20000))
            qFatal("%s never showed its window", qPrintable(program));
    }
    StartUp result;
    result.ms = double(monotonicNs() - start) / kNsPerMs;
    if (child.readLine().trimmed() != "shown")
        qFatal("%s said something else", qPrintable(program));
    const QString rollup = QStringLiteral("/proc/%1/smaps_rollup").arg(child.processId());
    result.rssKiB = firstMatch(rollup, QStringLiteral("Rss:")).section(u' ', 0, 0).toDouble();
    result.pssKiB = firstMatch(rollup, QStringLiteral("Pss:")).section(u' ', 0, 0).toDouble();
    child.closeWriteChannel();
    if (!child.waitForFinished(10000))
        child.kill();
    return result;
}

// 4. Start-up time and memory of the panel against a bare Qt Widgets window.
void startUp(const QString& panelProgram, const QString& bareProgram, int runs)
{
    // The child panel opens its port without the dialog: a pseudo-terminal mapped in the store.
    Pty pty;
    TempStore::clear();
    TempStore::mapPort(11, pty.slavePath());
    TempStore::setValue(QStringLiteral("StartUP"), QStringLiteral("ComPort"), QStringLiteral("11"));
    TempStore::setValue(QStringLiteral("StartUP"), QStringLiteral("BaudRate"),
                        QStringLiteral("96"));

    std::vector<double> panelMs, bareMs, panelRss, bareRss, panelPss, barePss;
    // One unmeasured start each fills the page cache; then the two alternate.
    startOnce(bareProgram);
    startOnce(panelProgram);
    for (int i = 0; i < runs; ++i) {
        const StartUp bare = startOnce(bareProgram);
        const StartUp panel = startOnce(panelProgram);
        bareMs.push_back(bare.ms);
        panelMs.push_back(panel.ms);
        bareRss.push_back(bare.rssKiB);
        panelRss.push_back(panel.rssKiB);
        barePss.push_back(bare.pssKiB);
        panelPss.push_back(panel.pssKiB);
    }
    const Summary bare = summarize(bareMs);
    const Summary panel = summarize(panelMs);
    addRow(QStringLiteral("start-up, bare Qt window"), bare, QStringLiteral("ms"),
           QStringLiteral("(the floor)"), true, false);
    const double timeRatio = panel.median / bare.median;
    addRow(QStringLiteral("start-up, panel"), panel, QStringLiteral("ms"),
           QStringLiteral("<= 1.3 x floor (%1 x)").arg(timeRatio, 0, 'f', 2), timeRatio <= 1.3);
    const struct
    {
        const char* name;
        const std::vector<double>& bare;
        const std::vector<double>& panel;
    } memories[] = {{"Rss", bareRss, panelRss}, {"Pss", barePss, panelPss}};
    for (const auto& m : memories) {
        const Summary b = summarize(m.bare);
        const Summary p = summarize(m.panel);
        addRow(QStringLiteral("%1, bare Qt window").arg(QLatin1String(m.name)), b,
               QStringLiteral("KiB"), QStringLiteral("(the floor)"), true, false);
        const double ratio = p.median / b.median;
        addRow(QStringLiteral("%1, panel").arg(QLatin1String(m.name)), p, QStringLiteral("KiB"),
               QStringLiteral("<= 1.2 x floor (%1 x)").arg(ratio, 0, 'f', 2), ratio <= 1.2);
    }
}

// Runs a program to its end; its wall time in ms, from the start to the end of its process.
double wallTime(const QString& program, const QStringList& arguments, int exitCode)
{
    QProcess child;
    child.setStandardOutputFile(QProcess::nullDevice());
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const std::int64_t start = monotonicNs();
    child.start(program, arguments);
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != exitCode)
        qFatal("%s %s did not end with %d", qPrintable(program), qPrintable(arguments.join(u' ')),
               exitCode);
    return double(monotonicNs() - start) / kNsPerMs;
}

// 6. A one-shot `zuno --send CR0` against a minimal Qt Core + Qt Serial Port program that makes
// the same exchange, side by side against one simulator, alternating.
void oneShot(const QString& zuno, const QString& minimal, const QString& simulator, int runs)
{
    QTemporaryDir dir;
    SimProcess sim(simulator, dir.filePath(QStringLiteral("line")),
                   dir.filePath(QStringLiteral("line.log")), {});
    if (!sim.waitUntilReady())
        qFatal("the simulator did not start");
    const QString device = sim.linkPath();
    const QStringList send{QStringLiteral("--port"), device, QStringLiteral("--send"),
                           QStringLiteral("CR0")};
    // One unmeasured run each fills the page cache.
    wallTime(minimal, {device}, 0);
    wallTime(zuno, send, 0);
    std::vector<double> minimalMs, zunoMs, ratios;
    for (int i = 0; i < runs; ++i) {
        minimalMs.push_back(wallTime(minimal, {device}, 0));
        zunoMs.push_back(wallTime(zuno, send, 0));
        ratios.push_back(zunoMs.back() / minimalMs.back());
    }
    addRow(QStringLiteral("one-shot, minimal Qt program"), summarize(minimalMs),
           QStringLiteral("ms"), QStringLiteral("(the floor)"), true, false);
    const Summary ratio = summarize(ratios);
    addRow(QStringLiteral("one-shot, zuno --send CR0"), summarize(zunoMs), QStringLiteral("ms"),
           QStringLiteral("<= 1.3 x floor (%1 x)").arg(ratio.median, 0, 'f', 2),
           ratio.median <= 1.3);
    addRow(QStringLiteral("  the ratio of each pair"), ratio, QStringLiteral("x"), QString(), true,
           false);
    sim.stop();
}

// 7. zuno --status over 1 and 16 serial device servers (simulators over TCP): the lines are
// swept side by side, so 16 should take about as long as the slowest one.
void sweep(const QString& zuno, const QString& simulator, int runs)
{
    constexpr int kServers = 16;
    std::vector<std::unique_ptr<QProcess>> servers;
    QStringList ports;
    for (int i = 0; i < kServers; ++i) {
        auto server = std::make_unique<QProcess>();
        server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server->start(simulator, {QStringLiteral("--tcp"), QStringLiteral("0")});
        while (!server->canReadLine()) {
            if (!server->waitForReadyRead(20000))
                qFatal("a simulator did not start");
        }
        ports << QString::fromLatin1(server->readLine().trimmed());
        servers.push_back(std::move(server));
    }
    const auto status = [&](int count) {
        QStringList arguments{QStringLiteral("--status"), QStringLiteral("--address"),
                              QStringLiteral("SINGLE")};
        for (int i = 0; i < count; ++i)
            arguments << QStringLiteral("--port") << ports[i];
        return wallTime(zuno, arguments, 0);
    };
    status(1);
    status(kServers);
    std::vector<double> one, all;
    for (int i = 0; i < runs; ++i) {
        one.push_back(status(1));
        all.push_back(status(kServers));
    }
    const Summary single = summarize(one);
    const Summary sixteen = summarize(all);
    addRow(QStringLiteral("--status, 1 server over TCP"), single, QStringLiteral("ms"),
           QStringLiteral("(one line)"), true, false);
    const double ratio = sixteen.median / single.median;
    addRow(QStringLiteral("--status, 16 servers over TCP"), sixteen, QStringLiteral("ms"),
           QStringLiteral("<= 2 x one line (%1 x)").arg(ratio, 0, 'f', 2), ratio <= 2.0);
    for (const auto& server : servers) {
        server->terminate();
        server->waitForFinished(10000);
    }
}

// 5. The panel's CPU share while a simulator streams noise at the full 19200 bit/s.
void flood(const QString& simulator, int seconds)
{
    QTemporaryDir dir;
    SimProcess sim(simulator, dir.filePath(QStringLiteral("noise")),
                   dir.filePath(QStringLiteral("noise.log")),
                   {QStringLiteral("--noise"), QStringLiteral("1920"), QStringLiteral("--baud"),
                    QStringLiteral("19200")});
    if (!sim.waitUntilReady())
        qFatal("the simulator did not start");
    std::unique_ptr<Panel> started = startPanel(9, sim.linkPath(), "192");
    Panel& panel = *started;
    QTest::qWait(2000);

    // Per-second shares of one core, once with the panel left alone (its collection fills up
    // to the cap and stops), once with STATUS clicked every second, which starts a new
    // collection each time, so the RxD line is rebuilt from every byte that arrives.
    const auto measure = [&](bool clicking, std::vector<double>& bytesPerClick) {
        std::vector<double> shares;
        QTimer clicker;
        clicker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            bytesPerClick.push_back(double(panel.exchange().collected().size()));
            QTest::mouseClick(panel.button(PanelButton::Status), Qt::LeftButton);
        });
        if (clicking) {
            QTest::mouseClick(panel.button(PanelButton::Status), Qt::LeftButton);
            clicker.start(1000);
            QTest::qWait(1000);
        }
        for (int i = 0; i < seconds; ++i) {
            const qint64 cpu = processCpuMs();
            QElapsedTimer wall;
            wall.start();
            QTest::qWait(1000);
            shares.push_back(100.0 * double(processCpuMs() - cpu) / double(wall.elapsed()));
        }
        return shares;
    };
    std::vector<double> ignored;
    const Summary idle = summarize(measure(false, ignored));
    addRow(QStringLiteral("flood CPU, panel idle"), idle, QStringLiteral("% core"),
           QStringLiteral("mean < 5 (mean %1)").arg(idle.mean, 0, 'f', 2), idle.mean < 5.0);
    std::vector<double> collected;
    const Summary busy = summarize(measure(true, collected));
    addRow(QStringLiteral("flood CPU, STATUS every 1 s"), busy, QStringLiteral("% core"),
           QStringLiteral("mean < 5 (mean %1)").arg(busy.mean, 0, 'f', 2), busy.mean < 5.0);
    addInfo(QStringLiteral("noise taken into the RxD collection per second: median %1 bytes "
                           "(the line carries 1920 a second)")
                .arg(summarize(collected).median, 0, 'f', 0));
    started.reset();
    sim.stop();
}

} // namespace

// 6. A device that goes and comes back at the same path, as a re-plugged adapter's by-id link
// does: from the moment its path is back to the panel's line open again, without a click. The
// simulator hangs up after each answered STATUS and is back 1.5 s later, well after the panel
// has noticed the loss, so the return is seen as it happens.
void deviceReturn(const QString& simulator, int cycles)
{
    QTemporaryDir dir;
    SimProcess sim(simulator, dir.filePath(QStringLiteral("back")),
                   dir.filePath(QStringLiteral("back.log")),
                   {QStringLiteral("--hangup-after"), QStringLiteral("1"),
                    QStringLiteral("--reopen-after-ms"), QStringLiteral("1500")});
    if (!sim.waitUntilReady())
        qFatal("the simulator did not start");
    std::unique_ptr<Panel> started = startPanel(10, sim.linkPath(), "96");
    Panel& panel = *started;
    Link& link = panel.session.link();
    std::vector<double> samples;
    for (int i = 0; i < cycles; ++i) {
        QTest::mouseClick(panel.button(PanelButton::Status), Qt::LeftButton);
        if (!spinUntil([&] { return !link.isOpen(); }, 5000) ||
            !spinUntil([&] { return QFileInfo::exists(sim.linkPath()); }, 5000))
            qFatal("the simulator's line did not go and come back");
        QElapsedTimer back;
        back.start();
        if (!spinUntil([&] { return link.isOpen(); }, 5000))
            qFatal("the panel did not reopen its line");
        samples.push_back(double(back.nsecsElapsed()) / 1e6);
    }
    const Summary s = summarize(samples);
    addRow(QStringLiteral("device back to line open"), s, QStringLiteral("ms"),
           QStringLiteral("max < 1000"), s.max < 1000.0);
}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TempStore::setUpProcess();
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures the panel's speed and prints the figures beside their targets."));
    parser.addHelpOption();
    const QString here = QCoreApplication::applicationDirPath();
    const auto number = [&](const char* name, const char* text, int value) {
        QCommandLineOption option(QString::fromLatin1(name), QString::fromLatin1(text),
                                  QStringLiteral("N"), QString::number(value));
        parser.addOption(option);
        return option;
    };
    const auto clicks = number("clicks", "Clicks timed to the wire.", 2000);
    const auto replies = number("replies", "Replies timed to the status line.", 500);
    const auto repeats = number("repeats", "Repeats of the held button.", 300);
    const auto starts = number("starts", "Start-ups of each program.", 10);
    const auto oneShots = number("one-shots", "Runs of each one-shot program.", 20);
    const auto sweeps = number("sweeps", "Runs of each --status sweep.", 5);
    const auto floodSeconds = number("flood-s", "Seconds of each flood measurement.", 15);
    const auto returns = number("returns", "Returns of a device that went away.", 10);
    QCommandLineOption only(QStringLiteral("only"),
                            QStringLiteral("Measure only these parts, separated by commas: "
                                           "panel, tcp, start-up, one-shot, sweep, flood, return."),
                            QStringLiteral("PARTS"));
    parser.addOption(only);
    QCommandLineOption simulator(QStringLiteral("simulator"), QStringLiteral("The simulator."),
                                 QStringLiteral("PATH"),
                                 QDir(here).filePath(QStringLiteral("../sim/zuno-projector-sim")));
    parser.addOption(simulator);
    parser.process(app);
    const auto value = [&](const QCommandLineOption& o) { return parser.value(o).toInt(); };

    const QString cpu = firstMatch(QStringLiteral("/proc/cpuinfo"), QStringLiteral("model name"));
    print(QStringLiteral("machine: %1, %2 cores; load average at start %3")
              .arg(cpu)
              .arg(QThread::idealThreadCount())
              .arg(loadAverage()));
    print(QStringLiteral("build: %1, Qt %2, platform %3")
              .arg(QStringLiteral(ZUNO_BUILD_TYPE), QString::fromLatin1(qVersion()),
                   QGuiApplication::platformName()));
    print(QString());
    print(tableHeader());
    const QStringList parts = parser.value(only).split(u',', Qt::SkipEmptyParts);
    const auto wanted = [&](const char* part) {
        return parts.isEmpty() || parts.contains(QLatin1String(part));
    };

    if (wanted("panel")) {
        Pty pty;
        std::unique_ptr<Panel> panel = startPanel(8, pty.slavePath(), "96");
        panel->exchange().setAddress(kAddress);
        clickToWire(*panel, pty.masterFd(), QStringLiteral("click to wire"), value(clicks));
        replyToStatusLine(*panel, pty, value(replies));
        repeatCadence(*panel, pty, value(repeats));
        timerFloor(value(repeats));
    }
    if (wanted("tcp")) {
        // The same panel reaching its projector through a serial device server on this machine:
        // the benchmark is the server.
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(server, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(server, 1) != 0 ||
            ::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            qFatal("cannot listen on the loopback interface");
        std::unique_ptr<Panel> panel =
            startPanel(12, QStringLiteral("tcp://127.0.0.1:%1").arg(ntohs(address.sin_port)), "96");
        int connection = -1;
        if (!spinUntil([&] { return (connection = ::accept(server, nullptr, nullptr)) >= 0; },
                       5000))
            qFatal("the panel did not connect");
        panel->exchange().setAddress(kAddress);
        clickToWire(*panel, connection, QStringLiteral("click to wire, TCP"), value(clicks));
        panel.reset();
        ::close(connection);
        ::close(server);
    }
    if (wanted("start-up"))
        startUp(QDir(here).filePath(QStringLiteral("zuno_bench_panel")),
                QDir(here).filePath(QStringLiteral("zuno_bench_bare")), value(starts));
    const QString zuno = QDir(here).filePath(QStringLiteral("../app/zuno"));
    if (wanted("one-shot"))
        oneShot(zuno, QDir(here).filePath(QStringLiteral("zuno_bench_oneshot")),
                parser.value(simulator), value(oneShots));
    if (wanted("sweep"))
        sweep(zuno, parser.value(simulator), value(sweeps));
    if (wanted("flood"))
        flood(parser.value(simulator), value(floodSeconds));
    if (wanted("return"))
        deviceReturn(parser.value(simulator), value(returns));

    int met = 0;
    int targets = 0;
    for (const Row& row : rows) {
        targets += row.target ? 1 : 0;
        met += row.target && row.met ? 1 : 0;
    }
    print(QString());
    print(QStringLiteral("%1 of %2 targets met; load average at the end %3")
              .arg(met)
              .arg(targets)
              .arg(loadAverage()));
    return 0;
}
