#include "session/exchangehistory.h"

#include "core/exchange.h"
#include "core/link.h"
#include "core/replycollection.h"
#include "session/logformat.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>

namespace zuno {

namespace {
qint64 monotonicMicros()
{
    // Nanoseconds of the monotonic clock; QElapsedTimer's own reference point is fixed.
    static QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return clock.nsecsElapsed() / 1000;
}
} // namespace

QString ExchangeRecord::logLines() const
{
    struct Line
    {
        qint64 at;
        QString text;
    };
    Line lines[3];
    int count = 0;
    if (!sent.isEmpty())
        lines[count++] = {
            sentAt, logLine(sentAt, port, written ? u"sent" : u"unsent", logBytesFields(sent))};
    if (noReplyAt != 0)
        lines[count++] = {noReplyAt, logLine(noReplyAt, port, u"no-reply")};
    if (!received.isEmpty()) {
        // Bytes after the no-reply mark came late, as the session log says.
        QString text = logLine(receivedAt, port, noReplyAt != 0 ? u"received-late" : u"received",
                               logBytesFields(received));
        if (!words.isEmpty())
            text += logLine(receivedAt, port, u"status", logField(words));
        lines[count++] = {receivedAt, text};
    }
    // A late reply comes after the no-reply mark.
    std::stable_sort(lines, lines + count,
                     [](const Line& a, const Line& b) { return a.at < b.at; });
    QString text;
    for (int i = 0; i < count; ++i)
        text += lines[i].text;
    return text;
}

ExchangeHistory::ExchangeHistory(Exchange& exchange, Link& link, Clock clock, QObject* parent)
    : QObject(parent), m_clock(clock ? std::move(clock) : Clock(monotonicMicros))
{
    connect(&exchange, &Exchange::sent, this, &ExchangeHistory::recordSent);
    connect(&exchange, &Exchange::received, this, &ExchangeHistory::recordReceived);
    connect(&exchange, &Exchange::replyDecoded, this, &ExchangeHistory::recordWords);
    connect(&exchange, &Exchange::noReply, this, &ExchangeHistory::recordNoReply);
    // What arrives on a line opened anew belongs to no earlier transmission.
    connect(&link, &Link::opened, this, [this] { m_open = false; });
}

void ExchangeHistory::setCapacity(qsizetype capacity)
{
    m_capacity = std::max<qsizetype>(1, capacity);
}

QString ExchangeHistory::logLines() const
{
    QString text;
    for (const ExchangeRecord& record : m_records)
        text += record.logLines();
    return text;
}

void ExchangeHistory::recordSent(const QByteArray& bytes, bool written)
{
    m_sentMicros = m_clock();
    const qsizetype dropped = makeRoom();
    ExchangeRecord& record = append(QDateTime::currentMSecsSinceEpoch());
    record.sent = bytes;
    record.written = written;
    emit appended(dropped);
}

void ExchangeHistory::recordReceived(const QByteArray& bytes)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!m_open || m_records.empty()) {
        const qsizetype dropped = makeRoom();
        append(now);
        m_sentMicros = -1;
        emit appended(dropped);
    }
    ExchangeRecord& record = m_records.back();
    // Copied, up to the bound the RxD line keeps: the link's bytes may share a read buffer far
    // larger than they are, which a held exchange would keep alive and the link reallocate.
    appendReceived(record.received, bytes);
    record.receivedAt = now;
    if (m_sentMicros >= 0)
        record.replyMicros = m_clock() - m_sentMicros;
    emit lastChanged();
}

void ExchangeHistory::recordWords(const QString& words)
{
    if (m_records.empty())
        return;
    m_records.back().words = words;
    emit lastChanged();
}

void ExchangeHistory::recordNoReply()
{
    if (m_records.empty())
        return;
    m_records.back().noReplyAt = QDateTime::currentMSecsSinceEpoch();
    emit lastChanged();
}

qsizetype ExchangeHistory::makeRoom()
{
    qsizetype dropped = 0;
    for (; size() >= m_capacity; ++dropped)
        m_records.pop_front();
    return dropped;
}

ExchangeRecord& ExchangeHistory::append(qint64 at)
{
    m_open = true;
    ExchangeRecord& record = m_records.emplace_back();
    record.number = ++m_count;
    record.port = m_port;
    record.sentAt = at;
    return record;
}

} // namespace zuno
