#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

namespace zuno {

// One TCP connection to a serial device server, as the TCP link drives it. The network module
// (tcpconnection_module.cpp) makes it and alone links Qt's network library and what that
// brings (resolvers, proxies, Kerberos): the panel loads the module the first time a COM number
// names a server, so a panel on serial ports never pays for them.
class TcpConnection
{
  public:
    enum class Failure
    {
        NameNotFound,
        Refused,
        Unreachable,
        Other
    };
    // What the connection tells the link; called on the GUI thread, never after deletion.
    struct Events
    {
        std::function<void()> connected;
        std::function<void(Failure, const QString& systemWords)> failed;
        std::function<void(const QByteArray&)> received;
        std::function<void()> closed; // by the server, or broken
    };

    virtual ~TcpConnection() = default;
    // Starts connecting, without waiting; the events tell how it went.
    virtual void connectTo(const QString& host, quint16 port) = 0;
    // Writes the whole string at once, sent without delay; false when it could not be.
    virtual bool write(QByteArrayView bytes) = 0;
};

// The module's one entry point: makes a connection that reports to these events.
using MakeTcpConnection = TcpConnection* (*)(TcpConnection::Events events);
inline constexpr char kMakeTcpConnectionSymbol[] = "zunoMakeTcpConnection";

} // namespace zuno
