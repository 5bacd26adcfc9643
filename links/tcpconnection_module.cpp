// The network module: a TCP connection on Qt's network library, loaded by the TCP link.
#include "links/tcpconnection.h"

#include <QTcpSocket>

namespace zuno {

namespace {

// The server's bytes are taken at most this much at a time: the socket stops reading from the
// network while its buffer is full, so a server that floods the line is held back by TCP instead
// of filling memory, and the event loop runs between the pieces. A reply is a few bytes.
constexpr qint64 kReadPiece = 4096;

class QtTcpConnection : public TcpConnection
{
  public:
    explicit QtTcpConnection(Events events) : m_events(std::move(events))
    {
        QObject::connect(&m_socket, &QTcpSocket::connected, &m_socket, [this] {
            m_connected = true;
            // A command goes out at once, not held back to be joined with the next.
            m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
            m_events.connected();
        });
        m_socket.setReadBufferSize(kReadPiece);
        QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_socket, [this] {
            const QByteArray bytes = m_socket.read(kReadPiece);
            if (!bytes.isEmpty())
                m_events.received(bytes);
        });
        QObject::connect(&m_socket, &QTcpSocket::disconnected, &m_socket, [this] { close(); });
        QObject::connect(&m_socket, &QTcpSocket::errorOccurred, &m_socket,
                         [this](QAbstractSocket::SocketError error) {
                             if (m_connected)
                                 close();
                             else
                                 m_events.failed(failureOf(error), m_socket.errorString());
                         });
    }
    ~QtTcpConnection() override { m_socket.disconnect(); }

    void connectTo(const QString& host, quint16 port) override
    {
        m_socket.connectToHost(host, port);
    }

    bool write(QByteArrayView bytes) override
    {
        if (!m_connected || m_socket.write(bytes.data(), bytes.size()) != bytes.size())
            return false;
        m_socket.flush();
        return true;
    }

  private:
    static Failure failureOf(QAbstractSocket::SocketError error)
    {
        switch (error) {
        case QAbstractSocket::HostNotFoundError:
            return Failure::NameNotFound;
        case QAbstractSocket::ConnectionRefusedError:
            return Failure::Refused;
        case QAbstractSocket::NetworkError:
            return Failure::Unreachable;
        default:
            return Failure::Other;
        }
    }

    // Told once, however the connection ends.
    void close()
    {
        if (!std::exchange(m_connected, false))
            return;
        m_events.closed();
    }

    Events m_events;
    QTcpSocket m_socket;
    bool m_connected = false;
};

} // namespace

} // namespace zuno

extern "C" Q_DECL_EXPORT zuno::TcpConnection*
zunoMakeTcpConnection(zuno::TcpConnection::Events events)
{
    return new zuno::QtTcpConnection(std::move(events));
}
