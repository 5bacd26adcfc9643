#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTcpServer>

#include <memory>

namespace zuno::sim {

// The simulator's line as a serial device server offers it: a raw TCP port that carries the
// line's bytes both ways, one client at a time (a second is turned away at once).
//
// The client's socket is driven here rather than by QTcpSocket, which drops a connection as soon
// as the client has closed its sending side: a client that sends a command and then closes its
// side still gets the reply. finishClient() ends the connection once what was written has gone.
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
    bool hasClient() const { return m_client >= 0; }
    quint16 port() const { return m_server.serverPort(); }
    // "tcp://HOST:PORT" as a client reaches it (loopback when listening on every address).
    QString address() const;

    // Writes bytes towards the client; none while there is no client or while it has not taken
    // what was written before. A connection found broken is reported as a disconnect.
    qsizetype write(const QByteArray& bytes);
    // Ends the connection once what was written has gone to the client.
    void finishClient();

  signals:
    void received(const QByteArray& bytes);
    void clientConnected(const QString& peer);
    // The client closed its sending side (or the whole connection): nothing more comes from it.
    void clientDoneSending();
    void clientDisconnected();
    void clientTurnedAway(const QString& peer);

  private:
    void accept(qintptr socket);
    void readClient();
    void sendUnsent();
    void dropClient();

    class Listener : public QTcpServer
    {
      public:
        explicit Listener(TcpPort& port) : m_port(port) {}

      protected:
        void incomingConnection(qintptr socket) override { m_port.accept(socket); }

      private:
        TcpPort& m_port;
    };

    Listener m_server{*this};
    int m_client = -1;
    std::unique_ptr<QSocketNotifier> m_readable;
    std::unique_ptr<QSocketNotifier> m_writable;
    QByteArray m_unsent; // written, not yet taken by the client
    bool m_finishing = false;
};

} // namespace zuno::sim
