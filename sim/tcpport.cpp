#include "sim/tcpport.h"

namespace zuno::sim {

namespace {
// The client's bytes are taken at most this much at a time: the socket stops reading from the
// network while its buffer is full, so a client writing without pause is held back by TCP
// instead of filling memory, and the event loop runs between the chunks. It is two seconds of a
// 19200 bit/s line, which a client sending a command at a time never has waiting.
constexpr qint64 kReadChunk = 4096;
// Replies the client has not taken yet are kept up to this much (a minute of a 9600 bit/s line);
// beyond, they are dropped as on a serial line whose far end does not read.
constexpr qint64 kMaxUnsentBytes = 64 * 1024;

QString peerOf(const QTcpSocket& socket)
{
    return QStringLiteral("%1:%2").arg(socket.peerAddress().toString()).arg(socket.peerPort());
}
} // namespace

TcpPort::TcpPort(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TcpPort::accept);
}

// The client goes before the server that made it, and tells nobody.
TcpPort::~TcpPort()
{
    if (m_client) {
        m_client->disconnect(this);
        delete m_client;
    }
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
    if (m_client) {
        m_client->disconnect(this);
        m_client->abort();
        m_client->deleteLater();
        m_client.clear();
        emit clientDisconnected();
    }
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
    if (!m_client || m_client->bytesToWrite() + bytes.size() > kMaxUnsentBytes)
        return 0;
    QTcpSocket* socket = m_client;
    const qint64 written = socket->write(bytes);
    // A connection broken under the write (EPIPE, a reset) loses the client, here or, when the
    // socket noticed first, through its disconnect.
    if (written < 0 || (!socket->flush() && socket->state() != QAbstractSocket::ConnectedState)) {
        loseClient(socket);
        return 0;
    }
    return qsizetype(written);
}

void TcpPort::loseClient(QTcpSocket* socket)
{
    if (!socket || m_client != socket)
        return;
    m_client.clear();
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    emit clientDisconnected();
}

void TcpPort::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_client) {
            emit clientTurnedAway(peerOf(*socket));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_client = socket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->setReadBufferSize(kReadChunk);
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket] { emit received(socket->read(kReadChunk)); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { loseClient(socket); });
        emit clientConnected(peerOf(*socket));
    }
}

} // namespace zuno::sim
