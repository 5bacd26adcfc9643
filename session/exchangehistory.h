#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>

namespace zuno {

class Exchange;
class Link;

// One exchange with the projector: a transmission and what came back until the next one. Bytes
// that arrive with no transmission before them on the open line (noise, a late reply after the
// port opened) make an exchange with nothing sent.
struct ExchangeRecord
{
    qint64 number = 0;       // counts the session's exchanges from 1, also those no longer held
    QString port;            // the port and its device, as the session log names it
    qint64 sentAt = 0;       // wall clock, ms since the epoch; of the first byte received when
                             // nothing was sent
    QByteArray sent;         // address prefix included; empty when nothing was sent
    bool written = true;     // false: the port was closed, nothing went out
    QByteArray received;     // all bytes of the exchange, as many as the RxD line keeps
    qint64 receivedAt = 0;   // wall clock of the last byte received; 0 before the first
    QString words;           // what the reply decoded to on the status line; empty if nothing
    qint64 replyMicros = -1; // from the last byte sent to the last byte received; -1: none
    qint64 noReplyAt = 0;    // wall clock of the reply window closing empty; 0 if it did not

    // The exchange in the session log's format: its sent (or unsent), received, status and
    // no-reply lines, in the order they happened.
    QString logLines() const;
};

// The session's exchanges at hand: the newest ones (kCapacity by default), recorded as the
// exchange signals them. Recording costs the exchange next to nothing: a reply's few bytes are
// copied, and nothing is rendered until someone looks.
class ExchangeHistory : public QObject
{
    Q_OBJECT
  public:
    static constexpr qsizetype kCapacity = 10000;
    // A monotonic clock in microseconds, for the reply times.
    using Clock = std::function<qint64()>;

    explicit ExchangeHistory(Exchange& exchange, Link& link, Clock clock = {},
                             QObject* parent = nullptr);

    // The port and its device that the exchanges from now on are on.
    void setPort(const QString& port) { m_port = port; }
    // How many exchanges are held, at least one; the oldest go first, as the next one comes.
    void setCapacity(qsizetype capacity);
    qsizetype capacity() const { return m_capacity; }

    // Held exchanges, oldest first.
    qsizetype size() const { return qsizetype(m_records.size()); }
    const ExchangeRecord& at(qsizetype index) const { return m_records[std::size_t(index)]; }
    // Every held exchange in the session log's format.
    QString logLines() const;

  signals:
    // A new exchange at the end; the oldest `dropped` went first to keep the bound.
    void appended(qsizetype dropped);
    // The newest exchange changed (bytes, words, the reply window closed).
    void lastChanged();

  private:
    void recordSent(const QByteArray& bytes, bool written);
    void recordReceived(const QByteArray& bytes);
    void recordWords(const QString& words);
    void recordNoReply();
    // Drops the oldest exchanges that a new one leaves no room for; how many.
    qsizetype makeRoom();
    ExchangeRecord& append(qint64 at);

    Clock m_clock;
    std::deque<ExchangeRecord> m_records;
    qsizetype m_capacity = kCapacity;
    qint64 m_count = 0;
    QString m_port;
    qint64 m_sentMicros = 0;
    // The newest exchange still takes what arrives: false once the line opened anew.
    bool m_open = false;
};

} // namespace zuno
