#include "testing/fakelink.h"

void FakeLink::open(int newPort, int newBitsPerSecond)
{
    ++openCalls;
    if (m_open) {
        emit opened();
        return;
    }
    port = newPort;
    bitsPerSecond = newBitsPerSecond;
    if (refusals.contains(newPort)) {
        emit openFailed(refusals.value(newPort));
        return;
    }
    m_open = true;
    emit opened();
}

void FakeLink::close()
{
    m_open = false;
}

bool FakeLink::write(QByteArrayView bytes)
{
    if (!m_open)
        return false;
    writes.append(bytes.toByteArray());
    m_wire += bytes;
    return true;
}

QByteArray FakeLink::takeWire()
{
    return std::exchange(m_wire, {});
}

void FakeLink::hangUp()
{
    if (!m_open)
        return;
    m_open = false;
    emit lost();
}
