#pragma once

#include <QString>

#include <optional>

namespace zuno {

// The device a COM number opens. The settings store's "Ports" section (key "COMn") names it
// when present; otherwise COM1 to COM4 are /dev/ttyS0 to /dev/ttyS3 and COM5 to COM15 are
// /dev/ttyUSB0 to /dev/ttyUSB10. On Windows the name is "COMn" itself unless the section names
// a serial device server. Empty for a number outside 1 to 15.
QString deviceForPort(int port);

// Makes COM `port` name `device` until the program ends, ahead of the store's "Ports" entry and
// the default naming; nothing is stored. For a device given on the command line.
void mapPortForThisRun(int port, const QString& device);

// A serial device server's raw TCP port, as a "Ports" entry names it: "tcp://HOST:PORT".
struct TcpAddress
{
    QString host;
    quint16 port = 0;
};

// True when the device names a serial device server ("tcp://" in front).
bool isTcpDevice(const QString& device);

// The server's address; none when the device is no "tcp://HOST:PORT" with a port from 1 to
// 65535 (an IPv6 host in brackets).
std::optional<TcpAddress> tcpAddressOf(const QString& device);

} // namespace zuno
