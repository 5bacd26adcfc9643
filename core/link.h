#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <functional>

namespace zuno {

// The line to the projector as the exchange sees it: a COM port opened at a speed, whole strings
// written, bytes arriving, and the line going away. The serial port implements it; tests use a
// fake one.
class Link : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    // Opens the line that COM `port` (1 to 15) names, at `bitsPerSecond`, 8 data bits, no parity,
    // one stop bit. The answer is opened() or openFailed(); a serial port gives it before open()
    // returns. Opening an open line changes nothing and answers opened().
    virtual void open(int port, int bitsPerSecond) = 0;
    // Closes the line; closing a closed line changes nothing.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Writes the whole string at once; false when the line is closed or refused it.
    virtual bool write(QByteArrayView bytes) = 0;

  signals:
    void opened();
    // reason: what went wrong, in words a technician can act on.
    void openFailed(const QString& reason);
    // Bytes that arrived, all that were waiting, in the order they came.
    void received(const QByteArray& bytes);
    // The open line went away (adapter pulled, other side hung up); it is now closed.
    void lost();
    // close() closed the open line (never for a line that was lost or not open).
    void closed();
    // Something about the line the operator should know, in words a technician can act on (a
    // serial device server that speaks another protocol than its entry says, or turned the
    // connection away). A failed open gives its reason in openFailed() as well.
    void notice(const QString& text);
};

// Opens the link and runs exactly one of the two answers, in `context`, once the link has given
// its answer (at once for a serial port): onOpened, or onFailed with the reason.
void openLink(Link& link, QObject* context, int port, int bitsPerSecond,
              std::function<void()> onOpened, std::function<void(const QString&)> onFailed);

} // namespace zuno
