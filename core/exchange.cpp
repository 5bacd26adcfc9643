#include "core/exchange.h"

#include "core/buttontable.h"
#include "core/echorendering.h"
#include "core/link.h"
#include "core/replycollection.h"
#include "core/replydecoder.h"

#include <utility>

namespace zuno {

Exchange::Exchange(Link& link, QObject* parent) : QObject(parent), m_link(link)
{
    const struct
    {
        QTimer& timer;
        const char* name;
        int intervalMs;
        void (Exchange::*fired)();
    } timers[] = {
        {m_repeatTimer, "repeatTimer", kRestingRepeatMs, &Exchange::repeatTimerFired},
        {m_replyTimer, "replyTimer", kFirstReplyMs, &Exchange::replyTimerFired},
        {m_displayClearTimer, "displayClearTimer", kFirstDisplayClearMs,
         &Exchange::displayClearTimerFired},
    };
    for (const auto& t : timers) {
        t.timer.setObjectName(QString::fromLatin1(t.name));
        // Coarse timers may move a tick by 5 %, which would bring the reply timer's tick and the
        // display-clear tick into one pass of the event loop: the no-reply mark would be drawn
        // and wiped unseen.
        t.timer.setTimerType(Qt::PreciseTimer);
        t.timer.setInterval(t.intervalMs);
        connect(&t.timer, &QTimer::timeout, this, t.fired);
    }
    connect(&m_link, &Link::received, this, &Exchange::receive);
    connect(&m_link, &Link::lost, this, &Exchange::portLost);
    connect(&m_link, &Link::opened, this, &Exchange::portOpened);
}

void Exchange::transmit(QByteArrayView command)
{
    m_lastCommand = command.toByteArray() + '\r';
    send(m_lastCommand);
}

void Exchange::sendFromConsole(QByteArrayView text)
{
    m_replyTimer.stop();
    m_displayClearTimer.stop();
    send(text);
    m_replyTimer.start();
    m_displayClearTimer.start();
}

void Exchange::startHold(int repeatKey)
{
    const QByteArray command = repeatCommand(repeatKey);
    if (m_holding || command.isEmpty())
        return;
    m_holding = true;
    m_heldRepeatKey = repeatKey;
    m_lastCommand = command + '\r';
    m_repeatTimer.setInterval(kHoldRepeatMs);
    setReplyIntervals(kHoldReplyMs, kHoldDisplayClearMs);
    send(m_lastCommand);
    m_repeatTimer.start();
}

void Exchange::endHold()
{
    m_heldRepeatKey = 0;
    m_repeatTimer.stop();
    m_replyTimer.stop();
    m_displayClearTimer.start();
    setTxd({});
    clearRxd();
    setReplyIntervals(kAfterHoldReplyMs, kAfterHoldDisplayClearMs);
    m_collection.clear();
    m_holding = false;
}

void Exchange::setAddress(const QByteArray& prefix)
{
    m_address = prefix;
}

void Exchange::consoleOpened()
{
    setReplyIntervals(kConsoleReplyMs, kConsoleDisplayClearMs);
}

void Exchange::consoleClosed()
{
    setReplyIntervals(kReplyMs, kDisplayClearMs);
}

void Exchange::startUpCompleted()
{
    setReplyIntervals(kReplyMs, kDisplayClearMs);
    m_heldRepeatKey = 0;
    m_awaitingReply = false;
    m_collection.clear();
}

void Exchange::setReplyWindow(int replyMs)
{
    setReplyIntervals(replyMs, replyMs + (kDisplayClearMs - kReplyMs));
}

void Exchange::restoreRepeatInterval()
{
    m_repeatTimer.setInterval(kRestingRepeatMs);
}

void Exchange::halt()
{
    m_repeatTimer.stop();
    m_replyTimer.stop();
    m_displayClearTimer.stop();
}

void Exchange::repeatTimerFired()
{
    if (m_heldRepeatKey == 0)
        return;
    m_lastCommand = repeatCommand(m_heldRepeatKey) + '\r';
    send(m_lastCommand);
    // Still running, the repeat timer already counts the next interval from this tick's due
    // time; restarting it here would add each tick's latency to every interval.
    if (!m_repeatTimer.isActive())
        m_repeatTimer.start();
}

void Exchange::replyTimerFired()
{
    if (m_awaitingReply && !m_portClosedShown) {
        setRxd(QString::fromLatin1(kNoReplyMark));
        emit noReply();
    }
    m_replyTimer.stop();
    setLegends(false, false, false);
    const QByteArray collected = std::exchange(m_collection, {});
    m_awaitingReply = false;
    emit replyWindowClosed(collected);
}

void Exchange::displayClearTimerFired()
{
    setTxd({});
    clearRxd();
    setStatus({});
    m_displayClearTimer.stop();
    m_portClosedShown = m_lineAway;
}

void Exchange::send(QByteArrayView text)
{
    QByteArray wire;
    wire.reserve(m_address.size() + text.size());
    wire.append(m_address).append(text);
    const bool written = m_link.write(wire);
    emit sent(wire, written);
    setRxd({});
    m_collection.clear();
    const EchoRendering echo = renderEcho(wire);
    // A transmit only ever shows legends; the reply timer's tick hides them.
    setLegends(m_ackLegend || echo.showAck, m_crLegend || echo.showCr,
               m_spaceLegend || echo.showSpace);
    setTxd(echo.text);
    m_replyTimer.start();
    m_awaitingReply = true;
    m_displayClearTimer.start();
    // With the port closed nothing went out: say so instead of waiting for a reply.
    m_portClosedShown = !written;
    if (!written)
        setRxd(QString::fromLatin1(kPortClosedMark));
}

void Exchange::receive(const QByteArray& bytes)
{
    emit received(bytes);
    const qsizetype before = m_collection.size();
    appendReceived(m_collection, bytes);
    m_awaitingReply = false;
    // A full collection that took nothing new would redraw the same text: skip the work.
    if (m_collection.size() == before && before > 0)
        return;
    const EchoRendering echo = renderEcho(m_collection);
    setLegends(m_ackLegend || echo.showAck, m_crLegend || echo.showCr,
               m_spaceLegend || echo.showSpace);
    setRxd(echo.text);
    // Replies are decoded against the last panel command; console commands never change it.
    const StatusLineUpdate update = decodeReply(m_lastCommand, echo.text, m_collection.size());
    if (update.kind != StatusLineUpdate::Kind::Unchanged)
        emit replyDecoded(update.text);
    if (update.kind == StatusLineUpdate::Kind::Replace)
        setStatus(update.text);
    else if (update.kind == StatusLineUpdate::Kind::Append)
        setStatus(m_status + update.text);
    if (m_collection.endsWith('\r') || m_collection.endsWith('\x06'))
        emit replyCompleted(m_collection);
}

void Exchange::portLost()
{
    setRxd(QString::fromLatin1(kPortClosedMark));
    m_portClosedShown = true;
    m_lineAway = true;
}

// The line that went away is open again: said until the next clearing, which starts now.
void Exchange::portOpened()
{
    if (!std::exchange(m_lineAway, false))
        return;
    m_portClosedShown = false;
    setRxd(QString::fromLatin1(kPortOpenMark));
    m_displayClearTimer.start();
}

void Exchange::clearRxd()
{
    setRxd(m_lineAway ? QString::fromLatin1(kPortClosedMark) : QString());
}

void Exchange::setTxd(const QString& text)
{
    if (text == m_txd)
        return;
    m_txd = text;
    emit txdChanged(m_txd);
}

void Exchange::setRxd(const QString& text)
{
    if (text == m_rxd)
        return;
    m_rxd = text;
    emit rxdChanged(m_rxd);
}

void Exchange::setStatus(const QString& text)
{
    if (text == m_status)
        return;
    m_status = text;
    emit statusChanged(m_status);
}

void Exchange::setLegends(bool ack, bool cr, bool space)
{
    if (ack == m_ackLegend && cr == m_crLegend && space == m_spaceLegend)
        return;
    m_ackLegend = ack;
    m_crLegend = cr;
    m_spaceLegend = space;
    emit legendsChanged(ack, cr, space);
}

void Exchange::setReplyIntervals(int replyMs, int displayClearMs)
{
    m_replyTimer.setInterval(replyMs);
    m_displayClearTimer.setInterval(displayClearMs);
}

} // namespace zuno
