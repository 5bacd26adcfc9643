#pragma once

#include "core/link.h"
#include "links/seriallink.h"
#include "links/tcplink.h"

#include <memory>

namespace zuno {

class PortNaming;

// The line a COM number names, whatever carries it: a serial port, or a serial device server
// over TCP when the "Ports" entry reads "tcp://HOST:PORT". Each open() chooses afresh.
class PortLink : public Link
{
    Q_OBJECT
  public:
    explicit PortLink(const PortNaming& naming, QObject* parent = nullptr);

    void open(int port, int bitsPerSecond) override;
    void close() override;
    bool isOpen() const override;
    bool write(QByteArrayView bytes) override;

  private:
    void forward(Link& link);

    const PortNaming& m_naming;
    SerialLink m_serial;
    // Made when a COM number first names a server: the network costs nothing before.
    std::unique_ptr<TcpLink> m_tcp;
    Link* m_active = &m_serial;
};

} // namespace zuno
