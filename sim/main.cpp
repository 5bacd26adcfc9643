#include "core/terminationsignals.h"
#include "sim/commandline.h"
#include "sim/devicelink.h"
#include "sim/portregistration.h"
#include "sim/projectorsim.h"
#include "sim/ptyport.h"
#include "sim/tcpport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

using namespace zuno::sim;

namespace {

constexpr int kHangupGraceMs = 100;

void printLine(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void log(const QString& text)
{
    printLine(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral("  ") +
              text);
}

void printError(const QString& text)
{
    std::fprintf(stderr, "zuno-projector-sim: %s\n", text.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zuno-projector-sim"));

    CommandLine options;
    const QString error = parseCommandLine(QCoreApplication::arguments(), options);
    if (options.helpRequested) {
        printLine(options.helpText);
        return 0;
    }
    if (!error.isEmpty()) {
        printError(error + QStringLiteral(" (--help explains the options)"));
        return 2;
    }
    // SIGINT, SIGTERM and SIGHUP end the event loop, so the device link and a --register entry
    // are removed on the way out; a client or log reader gone makes a write fail, not the process.
    if (!zuno::runOnTerminationSignals(&app, [&app] { app.quit(); })) {
        printError(QStringLiteral("cannot watch for signals"));
        return 1;
    }
    zuno::ignoreBrokenPipes();

    PtyPort port;
    TcpPort server;
    ProjectorSim sim(options.sim);
    std::unique_ptr<DeviceLink> link;
    if (!options.linkPath.isEmpty())
        link = std::make_unique<DeviceLink>(options.linkPath);
    const bool serving = options.tcpPort >= 0;

    QString registeredName;                 // what the store's entry names, once it is written
    std::optional<QByteArray> previousLine; // the port's line before the first registration
    // Opens the line and makes it findable: the link and the settings store entry name it.
    // A server chosen at random listens on the same port again when it comes back.
    const auto openLine = [&](QString* failure) {
        if (options.usePty && !port.open(options.sim.baud, failure))
            return false;
        if (serving &&
            !server.listen(QHostAddress(options.tcpHost),
                           server.port() ? server.port() : quint16(options.tcpPort), failure))
            return false;
        if (link && !link->pointTo(port.devicePath(), failure))
            return false;
        const QString name = serving ? server.address() : (link ? link->path() : port.devicePath());
        if (!options.portName.isEmpty()) {
            // A reopened line registers again; what stood there first is what comes back.
            if (!registerPort(options.configHome, options.portName, name, failure,
                              registeredName.isEmpty() ? &previousLine : nullptr))
                return false;
            registeredName = name;
        }
        return true;
    };

    QString failure;
    if (!openLine(&failure)) {
        printError(failure);
        return 1;
    }
    printLine(options.usePty ? port.devicePath() : server.address());
    log(QStringLiteral("%1 projector(s), %2 bit/s, reply delay %3 ms%4%5%6%7")
            .arg(options.sim.projectorCount)
            .arg(options.sim.baud)
            .arg(options.sim.replyDelayMs)
            .arg(link ? QStringLiteral(", link ") + link->path() : QString())
            .arg(serving ? QStringLiteral(", serving ") + server.address() : QString())
            .arg(options.portName.isEmpty() ? QString()
                                            : QStringLiteral(", registered as ") + options.portName)
            .arg(options.sim.silent ? QStringLiteral(", silent") : QString()));

    bool dropReported = false;
    // A TCP client that has sent its last command gets its replies; then the connection ends.
    bool finishing = false;
    const auto finishWhenQuiet = [&] {
        if (finishing && sim.isLineQuiet()) {
            finishing = false;
            server.finishClient();
        }
    };
    QObject::connect(&server, &TcpPort::clientDoneSending, [&] {
        finishing = true;
        finishWhenQuiet();
    });
    QObject::connect(&port, &PtyPort::received, &sim, &ProjectorSim::feed);
    QObject::connect(&server, &TcpPort::received, &sim, &ProjectorSim::feed);
    // What the projectors send goes on every line the simulator serves.
    QObject::connect(&sim, &ProjectorSim::output, &sim, [&](const QByteArray& bytes) {
        const bool client = port.hasClient() || server.hasClient();
        const qsizetype written =
            std::max(options.usePty ? port.write(bytes) : 0, serving ? server.write(bytes) : 0);
        if (written < bytes.size() && !dropReported) {
            log(QStringLiteral("output dropped: %1")
                    .arg(client ? QStringLiteral("the client does not read")
                                : QStringLiteral("no client has the device open")));
            dropReported = true;
        }
        finishWhenQuiet();
    });
    QObject::connect(&server, &TcpPort::clientConnected, [&](const QString& peer) {
        dropReported = false;
        finishing = false;
        log(QStringLiteral("client connected from ") + peer);
    });
    QObject::connect(&server, &TcpPort::clientDisconnected,
                     [] { log(QStringLiteral("client disconnected")); });
    QObject::connect(&server, &TcpPort::clientTurnedAway, [](const QString& peer) {
        log(QStringLiteral("client from %1 turned away: one at a time").arg(peer));
    });
    QObject::connect(&port, &PtyPort::clientConnected, [&] {
        dropReported = false;
        log(QStringLiteral("client opened the device"));
    });
    QObject::connect(&port, &PtyPort::clientDisconnected,
                     [] { log(QStringLiteral("client closed the device")); });
    QObject::connect(&sim, &ProjectorSim::commandReceived, [](const QByteArray& line) {
        log(QStringLiteral("RX  ") + ProjectorSim::spell(line + '\r'));
    });
    QObject::connect(&sim, &ProjectorSim::replySent, [](const QByteArray& reply, int projector) {
        log(QStringLiteral("TX  %1    (projector %2)")
                .arg(ProjectorSim::spell(reply))
                .arg(projector));
    });
    QObject::connect(&sim, &ProjectorSim::noiseQueued, [](const QByteArray& bytes) {
        log(QStringLiteral("NOISE  ") + ProjectorSim::spell(bytes));
    });
    QObject::connect(&sim, &ProjectorSim::note,
                     [](const QString& text) { log(QStringLiteral("--  ") + text); });
    QObject::connect(&sim, &ProjectorSim::commandsDropped, [](qint64 count) {
        printError(QStringLiteral("%1 command(s) dropped: %2 replies were waiting for the line")
                       .arg(count)
                       .arg(ProjectorSim::kMaxPendingReplies));
    });

    // Closing the master side flushes what the client has not read yet, so the line
    // stays up a moment after the last reply for the client to take it.
    QTimer hangupTimer;
    hangupTimer.setSingleShot(true);
    hangupTimer.setInterval(kHangupGraceMs);
    QObject::connect(&sim, &ProjectorSim::hangupDue, &hangupTimer, qOverload<>(&QTimer::start));
    QTimer reopenTimer;
    reopenTimer.setSingleShot(true);
    bool hungUp = false;
    QObject::connect(&hangupTimer, &QTimer::timeout, [&] {
        port.close();
        server.close();
        // The device of a pulled adapter goes, and so does its name.
        if (link)
            link->remove();
        hungUp = true;
        log(QStringLiteral("hang-up: line closed"));
        if (options.reopenAfterMs >= 0)
            reopenTimer.start(options.reopenAfterMs);
    });
    const auto reopen = [&] {
        reopenTimer.stop();
        hungUp = false;
        QString reason;
        if (!openLine(&reason)) {
            log(QStringLiteral("reopen failed: ") + reason);
            app.exit(1);
            return;
        }
        sim.resetLine();
        log(QStringLiteral("line reopened: ") +
            (options.usePty ? port.devicePath() : server.address()));
    };
    QObject::connect(&reopenTimer, &QTimer::timeout, reopen);
    // With --reopen-on-input the adapter comes back when whoever drives the simulator says so.
    std::unique_ptr<QSocketNotifier> input;
    if (options.reopenOnInput) {
        input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(input.get(), &QSocketNotifier::activated, [&] {
            char buffer[256];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0)
                input->setEnabled(false); // the input has ended: nothing more will come
            else if (hungUp && std::memchr(buffer, '\n', size_t(n)))
                reopen();
        });
    }

    const int result = app.exec();
    // The entry goes with the simulator, and the line that was there before stands again, unless
    // the port has been mapped elsewhere meanwhile.
    if (!registeredName.isEmpty() &&
        !unregisterPort(options.configHome, options.portName, registeredName, previousLine))
        printError(QStringLiteral("cannot remove %1 from %2/ZUNO.conf")
                       .arg(options.portName, options.configHome));
    log(QStringLiteral("ended"));
    return result;
}
