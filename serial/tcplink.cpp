#include "serial/tcplink.h"

#include "serial/portnaming.h"

namespace zuno {

TcpLink::TcpLink(QObject* parent) : Link(parent)
{
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(kConnectTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, &TcpLink::gaveUp);
    connect(&m_socket, &QTcpSocket::connected, this, &TcpLink::connected);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpLink::failed);
    connect(&m_socket, &QTcpSocket::disconnected, this, &TcpLink::lose);
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
        const QByteArray bytes = m_socket.readAll();
        if (m_open && !bytes.isEmpty())
            emit received(bytes);
    });
}

TcpLink::~TcpLink()
{
    // Nothing may reach the handlers while the socket goes.
    m_socket.disconnect(this);
}

void TcpLink::open(int port, int)
{
    if (m_open) {
        emit opened();
        return;
    }
    close();
    m_port = port;
    m_address = deviceForPort(port);
    const std::optional<TcpAddress> server = tcpAddressOf(m_address);
    if (!server) {
        refuse(QStringLiteral("not a serial device server's address; write it as "
                              "tcp://HOST:PORT"));
        return;
    }
    m_connecting = true;
    m_connectTimer.start();
    m_socket.connectToHost(server->host, server->port);
}

void TcpLink::close()
{
    m_connecting = false;
    m_open = false;
    m_connectTimer.stop();
    m_socket.abort();
}

bool TcpLink::write(QByteArrayView bytes)
{
    if (!m_open || m_socket.write(bytes.data(), bytes.size()) != bytes.size())
        return false;
    m_socket.flush();
    return true;
}

void TcpLink::connected()
{
    if (!m_connecting)
        return;
    m_connecting = false;
    m_connectTimer.stop();
    // A command goes out at once, not held back to be joined with the next.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_open = true;
    emit opened();
}

void TcpLink::failed(QAbstractSocket::SocketError error)
{
    if (m_open) {
        lose();
        return;
    }
    if (!m_connecting)
        return;
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        refuse(QStringLiteral("name not found"));
        return;
    case QAbstractSocket::ConnectionRefusedError:
        refuse(QStringLiteral("refused: nothing listens on that port"));
        return;
    case QAbstractSocket::NetworkError:
        refuse(QStringLiteral("unreachable: ") + m_socket.errorString());
        return;
    case QAbstractSocket::SocketTimeoutError:
        gaveUp();
        return;
    default:
        refuse(m_socket.errorString());
        return;
    }
}

void TcpLink::gaveUp()
{
    refuse(QStringLiteral("timed out: no answer within %1 s").arg(kConnectTimeoutMs / 1000));
}

void TcpLink::refuse(const QString& words)
{
    close();
    emit openFailed(QStringLiteral("COM%1 is %2: %3").arg(m_port).arg(m_address, words));
}

// The server closed the connection or it broke: the line is closed once, as for a pulled
// adapter.
void TcpLink::lose()
{
    if (!m_open)
        return;
    close();
    emit lost();
}

} // namespace zuno
