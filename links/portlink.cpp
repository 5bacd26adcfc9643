#include "links/portlink.h"

#include "links/portnaming.h"

namespace zuno {

PortLink::PortLink(const PortNaming& naming, QObject* parent)
    : Link(parent), m_naming(naming), m_serial(naming)
{
    forward(m_serial);
}

void PortLink::forward(Link& link)
{
    connect(&link, &Link::opened, this, &Link::opened);
    connect(&link, &Link::openFailed, this, &Link::openFailed);
    connect(&link, &Link::received, this, &Link::received);
    connect(&link, &Link::lost, this, &Link::lost);
    connect(&link, &Link::closed, this, &Link::closed);
    connect(&link, &Link::notice, this, &Link::notice);
}

void PortLink::open(int port, int bitsPerSecond)
{
    Link* chosen = &m_serial;
    if (isTcpDevice(m_naming.deviceFor(port))) {
        if (!m_tcp) {
            m_tcp = std::make_unique<TcpLink>(m_naming);
            forward(*m_tcp);
        }
        chosen = m_tcp.get();
    }
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
