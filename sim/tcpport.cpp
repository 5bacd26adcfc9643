#include "sim/tcpport.h"

namespace zuno::sim {

namespace {
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
    if (!m_client)
        return 0;
    const qint64 written = m_client->write(bytes);
    m_client->flush();
    return written < 0 ? 0 : qsizetype(written);
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
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket] { emit received(socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (m_client != socket)
                return;
            m_client.clear();
            socket->deleteLater();
            emit clientDisconnected();
        });
        emit clientConnected(peerOf(*socket));
    }
}

} // namespace zuno::sim
