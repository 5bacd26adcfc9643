#include "core/terminationsignals.h"

#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace zuno {

namespace {
// A signal handler may only write to a descriptor: the event loop reads the other end.
int signalPipe[2] = {-1, -1};
QPointer<QSocketNotifier> signalNotifier;

// The write never waits: a full pipe already holds the request to end, and its only reader may
// be the very thread this handler interrupted.
void onTerminationSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    if (::write(signalPipe[1], &byte, 1) < 0) {
        // Full (the end is requested already), or nothing can be done about it here.
    }
    errno = savedErrno;
}
} // namespace

bool runOnTerminationSignals(QObject* context, std::function<void()> onSignal)
{
    if (signalPipe[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return false;
    delete signalNotifier;
    signalNotifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(signalNotifier, &QSocketNotifier::activated, context,
                     [onSignal = std::move(onSignal)] {
                         // A burst of signals asks for one end.
                         char bytes[256];
                         bool requested = false;
                         while (::read(signalPipe[0], bytes, sizeof bytes) > 0)
                             requested = true;
                         if (requested)
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
