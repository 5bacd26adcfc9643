#include "sim/terminationsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace zuno::sim {

namespace {
// A signal handler may only write to a descriptor: the event loop reads the other end.
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    if (::write(signalPipe[1], &byte, 1) < 0) {
        // Nothing can be done about it inside a signal handler.
    }
}
} // namespace

bool quitOnTerminationSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte;
        if (::read(signalPipe[0], &byte, 1) >= 0)
            app.quit();
    });
    struct sigaction action
    {
    };
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    // A reader gone from a pipe or socket (the log's reader, a client) makes that write fail
    // with EPIPE, which the writer handles, instead of ending the process.
    ::signal(SIGPIPE, SIG_IGN);
    return true;
}

} // namespace zuno::sim
