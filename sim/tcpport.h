#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

namespace zuno::sim {

// The simulator's line as a serial device server offers it: a raw TCP port that carries the
// line's bytes both ways, one client at a time (a second is turned away at once).
class TcpPort : public QObject
{
    Q_OBJECT
  public:
    explicit TcpPort(QObject* parent = nullptr);
    ~TcpPort() override;

    // Listens on host and port (0: any free port); false with a reason on failure.
    bool listen(const QHostAddress& host, quint16 port, QString* error);
    // Drops the client and stops listening: the server has gone away.
    void close();

    bool isListening() const { return m_server.isListening(); }
    bool hasClient() const { return !m_client.isNull(); }
    quint16 port() const { return m_server.serverPort(); }
    // "tcp://HOST:PORT" as a client reaches it (loopback when listening on every address).
    QString address() const;

    // Writes bytes towards the client; none while there is no client or while it has not taken
    // what was written before. A connection found broken is reported as a disconnect.
    qsizetype write(const QByteArray& bytes);

  signals:
    void received(const QByteArray& bytes);
    void clientConnected(const QString& peer);
    void clientDisconnected();
    void clientTurnedAway(const QString& peer);

  private:
    void accept();
    void loseClient(QTcpSocket* socket);

    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
};

} // namespace zuno::sim
