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
    m_opening = true;
    if (!answersLater)
        answer();
}

void FakeLink::answerOpen()
{
    if (m_opening)
        answer();
}

void FakeLink::answer()
{
    m_opening = false;
    if (refusals.contains(port)) {
        emit openFailed(refusals.value(port));
        return;
    }
    m_open = true;
    emit opened();
}

void FakeLink::close()
{
    m_opening = false;
    if (std::exchange(m_open, false))
        emit closed();
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
