#include "sim/ptyport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace zuno::sim {

namespace {

constexpr int kClientPollMs = 20;
// Read at most this much per wake-up, then go back to the event loop (the notifier fires again
// while more is waiting), so that a client writing without pause cannot keep the replies, the
// timers and the signals from running. It is two seconds of a 19200 bit/s line: a client
// sending a command at a time never has that much waiting.
constexpr int kReadChunk = 4096;

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

speed_t speedFor(int baud)
{
    return baud == 19200 ? B19200 : B9600;
}

// Raw mode on the slave side: the client sees exactly the bytes written here and the
// simulator exactly the bytes the client writes.
bool makeSlaveRaw(const QByteArray& path, int baud, QString* error)
{
    const int slave = ::open(path.constData(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        *error = systemError("open slave");
        return false;
    }
    termios settings{};
    bool ok = ::tcgetattr(slave, &settings) == 0;
    if (ok) {
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, speedFor(baud));
        ::cfsetospeed(&settings, speedFor(baud));
        ok = ::tcsetattr(slave, TCSANOW, &settings) == 0;
    }
    if (!ok)
        *error = systemError("set raw mode");
    // Closing our only slave descriptor leaves the master in the no-client state,
    // which is where it starts.
    ::close(slave);
    return ok;
}

} // namespace

PtyPort::PtyPort(QObject* parent) : QObject(parent)
{
    m_clientPoll.setInterval(kClientPollMs);
    connect(&m_clientPoll, &QTimer::timeout, this, &PtyPort::lookForClient);
}

PtyPort::~PtyPort()
{
    close();
}

bool PtyPort::open(int baud, QString* error)
{
    close();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    const char* name = nullptr;
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || !(name = ::ptsname(master))) {
        *error = systemError("grantpt/unlockpt");
        ::close(master);
        return false;
    }
    const QByteArray path(name);
    if (!makeSlaveRaw(path, baud, error)) {
        ::close(master);
        return false;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    m_master = master;
    m_devicePath = QString::fromLocal8Bit(path);
    m_hasClient = false;
    m_notifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    m_notifier->setEnabled(false);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyPort::readMaster);
    m_clientPoll.start();
    return true;
}

void PtyPort::close()
{
    m_clientPoll.stop();
    if (m_notifier) {
        // close() may run inside the notifier's own signal: delete it later.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    m_devicePath.clear();
    m_hasClient = false;
}

qsizetype PtyPort::write(const QByteArray& bytes)
{
    if (m_master < 0 || !m_hasClient)
        return 0;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + written, bytes.size() - written);
        if (n > 0) {
            written += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EIO || errno == EPIPE)) {
            loseClient(); // the client went away in the meantime
            break;
        } else {
            break; // EAGAIN: the client does not read and its buffer is full
        }
    }
    return written;
}

PtyPort::ReadResult PtyPort::readChunk()
{
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            emit received(QByteArray(buffer, n));
            // The receiver may have closed the port.
            return m_master < 0 ? ReadResult::Gone : ReadResult::Read;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return ReadResult::Empty;
        return ReadResult::Gone; // EIO: no slave descriptor is open any more
    }
}

void PtyPort::readMaster()
{
    if (readChunk() == ReadResult::Gone && m_master >= 0 && m_hasClient)
        loseClient();
}

void PtyPort::loseClient()
{
    m_notifier->setEnabled(false);
    m_hasClient = false;
    m_clientPoll.start();
    emit clientDisconnected();
}

void PtyPort::lookForClient()
{
    if (m_master < 0)
        return;
    pollfd probe{m_master, POLLIN, 0};
    if (::poll(&probe, 1, 0) < 0)
        return;
    if (probe.revents & POLLHUP) {
        // What a client wrote just before it closed is still read, so that it does
        // not greet the next client as stale input. With no client there is no writer:
        // the loop ends with what is in the buffer.
        if (probe.revents & POLLIN) {
            while (readChunk() == ReadResult::Read) {
            }
        }
        return;
    }
    m_clientPoll.stop();
    m_hasClient = true;
    emit clientConnected();
    if (m_master >= 0) {
        m_notifier->setEnabled(true);
        readMaster();
    }
}

} // namespace zuno::sim
