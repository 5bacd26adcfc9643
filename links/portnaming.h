#pragma once

#include <QHash>
#include <QString>

#include <optional>

namespace zuno {

class Settings;

// Which device each COM number opens. A mapping made for this run (a device given on the command
// line) comes first; then the settings' "Ports" section (key "COMn"); otherwise COM1 to COM4 are
// /dev/ttyS0 to /dev/ttyS3 and COM5 to COM15 are /dev/ttyUSB0 to /dev/ttyUSB10. On Windows the
// name is "COMn" itself unless the section names a serial device server.
class PortNaming
{
  public:
    explicit PortNaming(const Settings& settings) : m_settings(settings) {}

    // The device COM `port` opens; empty for a number outside 1 to 15.
    QString deviceFor(int port) const;
    // True when the "Ports" section or this run maps COM `port`, rather than the default naming.
    bool isMapped(int port) const;
    // Makes COM `port` name `device` until the program ends; nothing is stored.
    void mapForThisRun(int port, const QString& device);

    const Settings& settings() const { return m_settings; }

  private:
    const Settings& m_settings;
    QHash<int, QString> m_runMappings;
};

// A serial device server's port, as a "Ports" entry names it: "tcp://HOST:PORT" for a raw TCP
// port, "rfc2217://HOST:PORT" for one that speaks Telnet with the COM-port option (RFC 2217).
struct TcpAddress
{
    QString host;
    quint16 port = 0;
    bool rfc2217 = false;
};

// True when the device names a serial device server ("tcp://" or "rfc2217://" in front).
bool isTcpDevice(const QString& device);

// The server's address; none when the device is no "tcp://HOST:PORT" or "rfc2217://HOST:PORT"
// with a port from 1 to 65535 (an IPv6 host in brackets).
std::optional<TcpAddress> tcpAddressOf(const QString& device);

} // namespace zuno
