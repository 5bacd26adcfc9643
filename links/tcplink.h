#pragma once

#include "core/link.h"
#include "core/telnetcodec.h"
#include "links/tcpconnection.h"

#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

namespace zuno {

class PortNaming;

// The line to a projector behind a serial device server. The COM number's "Ports" entry names
// the server's port: "tcp://HOST:PORT" for a raw TCP port, which carries exactly the bytes a
// serial port would and whose line speed the server sets; "rfc2217://HOST:PORT" for one that
// speaks Telnet with the COM-port option, where the link sets the line (the speed asked for,
// 8 data bits, no parity, one stop bit) and Telnet's own bytes never reach the exchange.
//
// Opening runs in the background; the panel never waits for it. The answer comes once the
// connection has held for kSettleMs (a server that serves one client at a time accepts a second
// one only to close it at once, and that is a failure, not a line) and, over RFC 2217, the server
// has confirmed the line settings or kNegotiationTimeoutMs has passed; or when the connection is
// refused or given up after kConnectTimeoutMs. What the server sends meanwhile follows the
// answer. A raw port whose server starts with Telnet negotiation is told through notice().
class TcpLink : public Link
{
    Q_OBJECT
  public:
    static constexpr int kConnectTimeoutMs = 3000;
    static constexpr int kSettleMs = 500;
    static constexpr int kNegotiationTimeoutMs = 2000;
    // What the server sends before the open is answered is kept up to this much.
    static constexpr qsizetype kMaxEarlyBytes = 4096;

    explicit TcpLink(const PortNaming& naming, QObject* parent = nullptr);
    ~TcpLink() override;

    void open(int port, int bitsPerSecond) override;
    // Also gives up a connection still being made; no answer comes for it then.
    void close() override;
    bool isOpen() const override { return m_stage == Stage::Open; }
    bool write(QByteArrayView bytes) override;

  private:
    enum class Stage
    {
        Closed,
        Connecting,
        Settling, // connected, the open not answered yet
        Open
    };

    void connected(int attempt);
    void failed(int attempt, TcpConnection::Failure failure, const QString& systemWords);
    void arrived(int attempt, const QByteArray& bytes);
    bool negotiated() const;
    void finishOpening();
    void tell(const QString& words);
    void refuse(const QString& words);
    void lose(int attempt);
    void retire();

    const PortNaming& m_naming;
    QTimer m_connectTimer;
    QTimer m_settleTimer;
    QTimer m_negotiationTimer;
    std::unique_ptr<TcpConnection> m_connection;
    // Connections that ended inside their own events, deleted once those are over.
    std::vector<std::unique_ptr<TcpConnection>> m_retired;
    int m_attempt = 0; // events of an earlier connection are not listened to
    QString m_address;
    int m_port = 0;
    int m_bitsPerSecond = 0;
    Stage m_stage = Stage::Closed;
    std::optional<TelnetCodec> m_telnet; // over RFC 2217 only
    bool m_lineSettingsSent = false;
    QByteArray m_early;         // the line's data received before the open was answered
    QByteArray m_head;          // the first two bytes of a raw connection
    QStringList m_laterNotices; // told once the open is answered
};

} // namespace zuno
