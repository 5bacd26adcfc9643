#pragma once

#include "core/link.h"
#include "links/tcpconnection.h"

#include <QTimer>

#include <memory>
#include <vector>

namespace zuno {

class PortNaming;

// The line to a projector behind a serial device server: the COM number's "Ports" entry names
// the server's raw TCP port ("tcp://HOST:PORT"), and the connection carries exactly the bytes a
// serial port would. The server sets the line's speed, so the speed asked for does not apply.
// Opening runs in the background: the answer comes once the connection is made, refused, or
// given up after kConnectTimeoutMs; the panel never waits for it.
class TcpLink : public Link
{
    Q_OBJECT
  public:
    static constexpr int kConnectTimeoutMs = 3000;

    explicit TcpLink(const PortNaming& naming, QObject* parent = nullptr);
    ~TcpLink() override;

    void open(int port, int bitsPerSecond) override;
    // Also gives up a connection still being made; no answer comes for it then.
    void close() override;
    bool isOpen() const override { return m_open; }
    bool write(QByteArrayView bytes) override;

  private:
    void connected(int attempt);
    void failed(int attempt, TcpConnection::Failure failure, const QString& systemWords);
    void refuse(const QString& words);
    void lose(int attempt);
    void retire();

    const PortNaming& m_naming;
    QTimer m_connectTimer;
    std::unique_ptr<TcpConnection> m_connection;
    // Connections that ended inside their own events, deleted once those are over.
    std::vector<std::unique_ptr<TcpConnection>> m_retired;
    int m_attempt = 0; // events of an earlier connection are not listened to
    QString m_address;
    int m_port = 0;
    bool m_open = false;
};

} // namespace zuno
