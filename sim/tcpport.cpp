#include "sim/tcpport.h"

#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zuno::sim {

namespace {
// The client's bytes are taken at most this much at a time: what the simulator has not taken
// stays in the network, so a client writing without pause is held back by TCP instead of filling
// memory, and the event loop runs between the chunks. It is two seconds of a 19200 bit/s line,
// which a client sending a command at a time never has waiting.
constexpr qint64 kReadChunk = 4096;
// Replies the client has not taken yet are kept up to this much (a minute of a 9600 bit/s line);
// beyond, they are dropped as on a serial line whose far end does not read.
constexpr qint64 kMaxUnsentBytes = 64 * 1024;

QString peerOf(int socket)
{
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return QStringLiteral("an unknown peer");
    const QHostAddress host(reinterpret_cast<const sockaddr*>(&address));
    const quint16 port = ntohs(address.ss_family == AF_INET6
                                   ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                                   : reinterpret_cast<const sockaddr_in&>(address).sin_port);
    return QStringLiteral("%1:%2").arg(host.toString()).arg(port);
}
} // namespace

TcpPort::TcpPort(QObject* parent) : QObject(parent) {}

// The client goes before the server that made it, and tells nobody.
TcpPort::~TcpPort()
{
    if (m_client >= 0)
        ::close(m_client);
}

bool TcpPort::listen(const QHostAddress& host, quint16 port, QString* error)
{
    if (m_server.listen(host, port))
        return true;
    *error = QStringLiteral("cannot listen on %1:%2: %3")
                 .arg(host.toString())
                 .arg(port)
                 .arg(m_server.errorString());
    return false;
}

void TcpPort::close()
{
    m_server.close();
    dropClient();
}

QString TcpPort::address() const
{
    QHostAddress host = m_server.serverAddress();
    if (host == QHostAddress::Any || host == QHostAddress::AnyIPv4)
        host = QHostAddress::LocalHost;
    else if (host == QHostAddress::AnyIPv6)
        host = QHostAddress::LocalHostIPv6;
    const QString name = host.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(host.toString())
                             : host.toString();
    return QStringLiteral("tcp://%1:%2").arg(name).arg(port());
}

qsizetype TcpPort::write(const QByteArray& bytes)
{
    if (m_client < 0 || m_finishing || m_unsent.size() + bytes.size() > kMaxUnsentBytes)
        return 0;
    m_unsent += bytes;
    sendUnsent();
    return m_client >= 0 ? bytes.size() : 0;
}

void TcpPort::finishClient()
{
    m_finishing = true;
    sendUnsent();
}

void TcpPort::accept(qintptr socket)
{
    const int fd = int(socket);
    if (m_client >= 0) {
        emit clientTurnedAway(peerOf(fd));
        ::close(fd);
        return;
    }
    m_client = fd;
    m_finishing = false;
    m_unsent.clear();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_readable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_readable.get(), &QSocketNotifier::activated, this, &TcpPort::readClient);
    m_writable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    m_writable->setEnabled(false);
    connect(m_writable.get(), &QSocketNotifier::activated, this, &TcpPort::sendUnsent);
    emit clientConnected(peerOf(fd));
}

void TcpPort::readClient()
{
    QByteArray bytes(kReadChunk, Qt::Uninitialized);
    const ssize_t n = ::recv(m_client, bytes.data(), size_t(bytes.size()), 0);
    if (n > 0) {
        bytes.truncate(n);
        emit received(bytes);
    } else if (n == 0) {
        // The client's side is closed; what it is owed may still go out.
        m_readable->setEnabled(false);
        emit clientDoneSending();
    } else if (errno != EAGAIN && errno != EINTR) {
        dropClient();
    }
}

void TcpPort::sendUnsent()
{
    while (m_client >= 0 && !m_unsent.isEmpty()) {
        const ssize_t n = ::send(m_client, m_unsent.constData(), size_t(m_unsent.size()),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            break;
        if (n < 0) { // broken under the write (EPIPE, a reset)
            dropClient();
            return;
        }
        m_unsent.remove(0, n);
    }
    if (m_client < 0)
        return;
    m_writable->setEnabled(!m_unsent.isEmpty());
    if (m_finishing && m_unsent.isEmpty())
        dropClient();
}

void TcpPort::dropClient()
{
    if (m_client < 0)
        return;
    m_readable.reset();
    m_writable.reset();
    ::close(std::exchange(m_client, -1));
    m_unsent.clear();
    m_finishing = false;
    emit clientDisconnected();
}

} // namespace zuno::sim
