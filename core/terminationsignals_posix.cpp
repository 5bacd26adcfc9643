#include "core/terminationsignals.h"

#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace zuno {

namespace {
// A signal handler may only write to a descriptor: the event loop reads the other end.
int signalPipe[2] = {-1, -1};
QPointer<QSocketNotifier> signalNotifier;

void onTerminationSignal(int)
{
    const char byte = 1;
    if (::write(signalPipe[1], &byte, 1) < 0) {
        // Nothing can be done about it inside a signal handler.
    }
}
} // namespace

bool runOnTerminationSignals(QObject* context, std::function<void()> onSignal)
{
    if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    delete signalNotifier;
    signalNotifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(signalNotifier, &QSocketNotifier::activated, context,
                     [onSignal = std::move(onSignal)] {
                         char byte;
                         if (::read(signalPipe[0], &byte, 1) >= 0)
                             onSignal();
                     });
    struct sigaction action
    {
    };
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    return true;
}

void ignoreBrokenPipes()
{
    ::signal(SIGPIPE, SIG_IGN);
}

} // namespace zuno
