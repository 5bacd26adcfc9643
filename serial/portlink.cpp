#include "serial/portlink.h"

#include "serial/portnaming.h"

namespace zuno {

PortLink::PortLink(QObject* parent) : Link(parent)
{
    for (Link* link : {static_cast<Link*>(&m_serial), static_cast<Link*>(&m_tcp)}) {
        connect(link, &Link::opened, this, &Link::opened);
        connect(link, &Link::openFailed, this, &Link::openFailed);
        connect(link, &Link::received, this, &Link::received);
        connect(link, &Link::lost, this, &Link::lost);
    }
}

void PortLink::open(int port, int bitsPerSecond)
{
    Link* chosen = isTcpDevice(deviceForPort(port)) ? static_cast<Link*>(&m_tcp)
                                                    : static_cast<Link*>(&m_serial);
    if (chosen != m_active)
        m_active->close();
    m_active = chosen;
    m_active->open(port, bitsPerSecond);
}

void PortLink::close()
{
    m_active->close();
}

bool PortLink::isOpen() const
{
    return m_active->isOpen();
}

bool PortLink::write(QByteArrayView bytes)
{
    return m_active->write(bytes);
}

} // namespace zuno
