#include "session/sessionlog.h"

#include "core/exchange.h"
#include "core/fileaccess.h"
#include "core/link.h"
#include "session/logformat.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>

namespace zuno {

namespace {
constexpr QIODevice::OpenMode kAppendMode =
    QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;
} // namespace

SessionLog::SessionLog(const QString& path, Exchange& exchange, Link& link,
                       PortDescriber describePort, qint64 maxFileBytes, QObject* parent)
    : QObject(parent), m_path(path), m_link(link), m_file(path), m_maxFileBytes(maxFileBytes),
      m_describePort(std::move(describePort))
{
    if (open()) {
        m_writing = true;
        m_size = m_file.size();
        // Only a regular file named directly is renamed: not a terminal, a pipe or a device,
        // nor what a link (such as /dev/stdout) leads to, nor the link itself.
        m_rollsOver = isPlainFile(path);
    }
    m_portOpen = link.isOpen();
    if (m_portOpen)
        m_openPort = currentPort();

    connect(&link, &Link::opened, this, [this] {
        // An open() of a line already open answers opened() again; nothing happened.
        if (m_portOpen)
            return;
        m_openPort = currentPort();
        m_portOpen = true;
        const int speed = m_link.lineSpeed();
        log(m_reconnecting ? u"reopened" : u"opened",
            speed > 0 ? QStringLiteral("%1 bit/s").arg(speed)
                      : QStringLiteral("speed set by the serial device server"));
    });
    connect(&link, &Link::openFailed, this, [this](const QString& reason) {
        if (!m_reconnecting)
            log(u"open-failed", logField(reason));
        else if (reason != std::exchange(m_reopenFailure, reason))
            log(u"reopen-failed", logField(reason));
    });
    connect(&link, &Link::closed, this, [this] { logClosed({}); });
    connect(&link, &Link::lost, this, [this] { logClosed(u"lost"); });
    connect(&exchange, &Exchange::sent, this, [this](const QByteArray& bytes, bool written) {
        logBytes(written ? u"sent" : u"unsent", bytes);
    });
    connect(&exchange, &Exchange::received, this, [this](const QByteArray& bytes, bool late) {
        logBytes(late ? u"received-late" : u"received", bytes);
    });
    // Each reply's reading, once, rather than the status line, which may also hold an earlier
    // reply's words, does not change when a reply repeats them, and is drawn again as the rest
    // of a reply arrives.
    connect(&exchange, &Exchange::replyDecoded, this,
            [this](const QString& text) { log(u"status", logField(text)); });
    connect(&exchange, &Exchange::noReply, this, [this] { log(u"no-reply"); });
}

void SessionLog::setPortDescriber(PortDescriber describePort)
{
    m_describePort = std::move(describePort);
}

void SessionLog::record(QStringView event, const QString& text)
{
    log(event, logField(text));
}

void SessionLog::setReconnecting(bool reconnecting)
{
    m_reconnecting = reconnecting;
    m_reopenFailure.clear();
}

QString SessionLog::currentPort() const
{
    return m_describePort ? logField(m_describePort()) : QString();
}

void SessionLog::logBytes(QStringView event, const QByteArray& bytes)
{
    if (!m_writing)
        return;
    const QByteArray shown = bytes.first(std::min(bytes.size(), kMaxBytesShown));
    QString fields = logBytesFields(shown);
    if (shown.size() < bytes.size())
        fields += QStringLiteral(" … %1 more bytes")
                      .arg(QLocale(QLocale::English).toString(bytes.size() - shown.size()));
    log(event, fields);
}

void SessionLog::logClosed(QStringView how)
{
    if (!m_portOpen)
        return;
    log(u"closed", how.toString());
    m_portOpen = false;
    m_openPort.clear();
}

void SessionLog::log(QStringView event, const QString& fields)
{
    if (!m_writing)
        return;
    const QString line = logLine(QDateTime::currentMSecsSinceEpoch(),
                                 m_portOpen ? m_openPort : currentPort(), event, fields);
    const QByteArray bytes = line.toUtf8();
    if (m_rollsOver && m_size > 0 && m_size + bytes.size() > m_maxFileBytes && !rollOver())
        return;
    if (m_file.write(bytes) != bytes.size()) {
        // A line cut short (a full disk) is taken back, so the file ends on a whole line.
        const QString error = m_file.errorString();
        m_file.resize(m_size);
        fail(QStringLiteral("cannot be written: ") + error);
        return;
    }
    m_size += bytes.size();
}

// Opens the file for appending; a file that cannot be opened is reported.
bool SessionLog::open()
{
    QString problem;
    m_file.setFileName(m_path);
    if (openWithoutWaiting(m_file, kAppendMode, false, &problem))
        return true;
    fail(QStringLiteral("cannot be opened: ") + problem);
    return false;
}

// The full file becomes FILE.1, replacing an older one, and a new FILE starts empty.
bool SessionLog::rollOver()
{
    const QString older = m_path + QStringLiteral(".1");
    m_file.close();
    QFile::remove(older);
    QFile current(m_path);
    if (!current.rename(older)) {
        fail(QStringLiteral("cannot be renamed to %1: %2").arg(older, current.errorString()));
        return false;
    }
    if (!open())
        return false;
    m_size = 0;
    return true;
}

// Said once, then the log stays quiet: retrying every event would cost the panel time on a
// disk that is full or a folder that is gone.
void SessionLog::fail(const QString& what)
{
    m_writing = false;
    m_file.close();
    m_problem = QStringLiteral("session log %1 %2; no further events are logged").arg(m_path, what);
    emit failed(m_problem);
}

} // namespace zuno
