#pragma once

#include <QFile>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace zuno {

class Exchange;
class Link;

// A record of a session with the projector, for a service report: one line per event, appended
// to a file as it happens, so that replies (lamp hours, temperatures) outlive the echo lines.
//
// Each line is tab-separated: local time to the millisecond, the port and its device, the event
// and the event's fields (shown here with blanks):
//
//   2026-12-07 14:03:22.517  COM5 /dev/ttyUSB0  opened         9600 bit/s  (or SERVER, below)
//   ...                      ...                open-failed    REASON
//   ...                      ...                sent           HEX  ECHO
//   ...                      ...                unsent         HEX  ECHO   (port closed)
//   ...                      ...                received       HEX  ECHO
//   ...                      ...                status         TEXT
//   ...                      ...                no-reply
//   ...                      ...                received-late  HEX  ECHO   (after no-reply)
//   ...                      ...                closed
//   ...                      ...                closed         lost        (the line went away)
//   ...                      ...                reopen-failed  REASON      (reconnecting: the
//                                                              first failure, then only when
//                                                              its reason changes)
//   ...                      ...                reopened       9600 bit/s  (reconnected by itself)
//   ...                      ...                notice         TEXT        (what the operator was
//                                                              told)
//
// HEX is the bytes as upper-case hex pairs separated by blanks; ECHO is the same bytes as the
// TxD and RxD lines render them (control codes spelled out); TEXT is what the reply decoded to on
// the status line. Both go without the blanks the lines show at their ends. A reply gives one
// "status" line however many pieces it came in (see Exchange::replyDecoded()). SERVER is "speed
// set by the serial device server": a raw TCP port's server sets the line's speed itself. Bytes
// that come after the no-reply mark of the last command, before the next one is sent, are
// "received-late". Of more than kMaxBytesShown bytes at once (a peer that floods the line) the
// first are shown, and ECHO ends with the count of the rest: "… 3,840 more bytes".
//
// A regular file named directly grows to a bound and then becomes FILE.1 (replacing an older
// one) while a new FILE starts; a log reached through a link, or into a pipe, a terminal or a
// device, never rolls over. The file is opened and written without waiting: a named pipe that
// nobody reads, or a reader that does not keep up, makes it fail. A file that cannot be opened or
// written is reported once (problem(), failed()); the events after that are dropped, so a broken
// log never holds up the panel.
class SessionLog : public QObject
{
    Q_OBJECT
  public:
    static constexpr qint64 kMaxFileBytes = 10 * 1024 * 1024;
    static constexpr qsizetype kMaxBytesShown = 256;
    // The port in use, as it is to appear on each line (see portDescription()).
    using PortDescriber = std::function<QString()>;

    // Opens `path` for appending at once, so a path that cannot be written is reported before
    // the first event.
    SessionLog(const QString& path, Exchange& exchange, Link& link, PortDescriber describePort,
               qint64 maxFileBytes = kMaxFileBytes, QObject* parent = nullptr);

    // Asked when the port opens (that description stays until it closes) and for events while
    // no port is open.
    void setPortDescriber(PortDescriber describePort);
    // While the session reopens a line that went away, its attempts are logged as reopen-failed
    // (once per reason) and reopened rather than as open-failed and opened.
    void setReconnecting(bool reconnecting);
    // An event of the session's own (a notice), with free text.
    void record(QStringView event, const QString& text);

    QString path() const { return m_path; }
    // False once the file could not be opened or written: later events are dropped.
    bool isWriting() const { return m_writing; }
    // Why the file is not written, in one sentence; empty while it is.
    QString problem() const { return m_problem; }

  signals:
    // The file could not be opened or written, after it was (problem() says why).
    void failed(const QString& problem);

  private:
    void log(QStringView event, const QString& fields = {});
    void logBytes(QStringView event, const QByteArray& bytes);
    void logClosed(QStringView how);
    bool open();
    bool rollOver();
    void fail(const QString& what);
    QString currentPort() const;

    QString m_path;
    const Link& m_link;
    QFile m_file;
    qint64 m_maxFileBytes;
    qint64 m_size = 0;
    bool m_writing = false;
    bool m_rollsOver = false;
    QString m_problem;
    PortDescriber m_describePort;
    bool m_portOpen = false;
    QString m_openPort; // the description taken when the port opened
    bool m_reconnecting = false;
    QString m_reopenFailure; // the reason last logged while reconnecting
};

} // namespace zuno
