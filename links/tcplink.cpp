#include "links/tcplink.h"

#include "links/portnaming.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <utility>

namespace zuno {

namespace {

// The network module, looked for where the package installs it beside the programs, then where
// the build put it; loaded once.
MakeTcpConnection networkModule(QString* error)
{
    static QString failure;
    static const MakeTcpConnection make = [] {
        const QString here = QCoreApplication::applicationDirPath();
        QStringList tried;
        for (const QString& path :
             {QDir(here).filePath(QStringLiteral(ZUNO_TCP_MODULE_FROM_PROGRAMS)),
              QStringLiteral(ZUNO_TCP_MODULE_IN_BUILD)}) {
            QLibrary module(path);
            if (auto function =
                    reinterpret_cast<MakeTcpConnection>(module.resolve(kMakeTcpConnectionSymbol)))
                return function;
            tried << module.errorString();
        }
        failure = tried.join(QStringLiteral("; "));
        return MakeTcpConnection(nullptr);
    }();
    *error = failure;
    return make;
}

} // namespace

TcpLink::TcpLink(const PortNaming& naming, QObject* parent) : Link(parent), m_naming(naming)
{
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(kConnectTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        refuse(QStringLiteral("timed out: no answer within %1 s").arg(kConnectTimeoutMs / 1000));
    });
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kSettleMs);
    connect(&m_settleTimer, &QTimer::timeout, this, &TcpLink::finishOpening);
    m_negotiationTimer.setSingleShot(true);
    m_negotiationTimer.setInterval(kNegotiationTimeoutMs);
    connect(&m_negotiationTimer, &QTimer::timeout, this, &TcpLink::finishOpening);
}

TcpLink::~TcpLink() = default;

void TcpLink::open(int port, int bitsPerSecond)
{
    if (m_stage == Stage::Open) {
        emit opened();
        return;
    }
    close();
    m_port = port;
    m_bitsPerSecond = bitsPerSecond;
    m_address = m_naming.deviceFor(port);
    const std::optional<TcpAddress> server = tcpAddressOf(m_address);
    if (!server) {
        refuse(QStringLiteral("not a serial device server's address; write it as "
                              "tcp://HOST:PORT or rfc2217://HOST:PORT"));
        return;
    }
    QString error;
    const MakeTcpConnection make = networkModule(&error);
    if (!make) {
        refuse(QStringLiteral("the network module could not be loaded: ") + error);
        return;
    }
    if (server->rfc2217)
        m_telnet.emplace();
    const int attempt = ++m_attempt;
    m_connection.reset(make({
        [this, attempt] { connected(attempt); },
        [this, attempt](TcpConnection::Failure failure, const QString& words) {
            failed(attempt, failure, words);
        },
        [this, attempt](const QByteArray& bytes) { arrived(attempt, bytes); },
        [this, attempt] { lose(attempt); },
    }));
    m_stage = Stage::Connecting;
    m_connectTimer.start();
    m_connection->connectTo(server->host, server->port);
}

void TcpLink::close()
{
    ++m_attempt;
    const bool wasOpen = std::exchange(m_stage, Stage::Closed) == Stage::Open;
    m_connectTimer.stop();
    m_settleTimer.stop();
    m_negotiationTimer.stop();
    m_telnet.reset();
    m_lineSettingsSent = false;
    m_early.clear();
    m_head.clear();
    m_laterNotices.clear();
    retire();
    if (wasOpen)
        emit closed();
}

bool TcpLink::write(QByteArrayView bytes)
{
    if (m_stage != Stage::Open)
        return false;
    return m_telnet ? m_connection->write(m_telnet->encode(bytes)) : m_connection->write(bytes);
}

void TcpLink::connected(int attempt)
{
    if (attempt != m_attempt || m_stage != Stage::Connecting)
        return;
    m_connectTimer.stop();
    m_stage = Stage::Settling;
    m_settleTimer.start();
    if (m_telnet) {
        m_negotiationTimer.start();
        m_connection->write(m_telnet->start());
    }
}

void TcpLink::failed(int attempt, TcpConnection::Failure failure, const QString& systemWords)
{
    if (attempt != m_attempt || m_stage != Stage::Connecting)
        return;
    switch (failure) {
    case TcpConnection::Failure::NameNotFound:
        refuse(QStringLiteral("name not found"));
        return;
    case TcpConnection::Failure::Refused:
        refuse(QStringLiteral("refused: nothing listens on that port"));
        return;
    case TcpConnection::Failure::Unreachable:
        refuse(QStringLiteral("unreachable: ") + systemWords);
        return;
    case TcpConnection::Failure::Other:
        refuse(systemWords);
        return;
    }
}

void TcpLink::arrived(int attempt, const QByteArray& bytes)
{
    if (attempt != m_attempt || (m_stage != Stage::Settling && m_stage != Stage::Open))
        return;
    QByteArray data = bytes;
    if (m_telnet) {
        QByteArray answers;
        data = m_telnet->decode(bytes, answers);
        if (!answers.isEmpty())
            m_connection->write(answers);
        // RFC 2217: the line is set once the server has agreed to the COM-port option.
        if (m_telnet->comPort() == TelnetCodec::ComPort::Agreed && !m_lineSettingsSent) {
            m_lineSettingsSent = true;
            m_connection->write(TelnetCodec::lineSettings(m_bitsPerSecond));
        }
        if (m_stage == Stage::Settling && negotiated())
            finishOpening();
    } else if (m_head.size() < 2) {
        m_head += bytes.left(2 - m_head.size());
        if (isTelnetNegotiation(m_head)) {
            const QString entry = m_address.mid(m_address.indexOf(u':'));
            tell(QStringLiteral("the server's port speaks Telnet/RFC 2217, not raw TCP: map it "
                                "as rfc2217%1, or set the server's port to raw TCP")
                     .arg(entry));
        }
    }
    if (attempt != m_attempt || data.isEmpty())
        return;
    if (m_stage == Stage::Open)
        emit received(data);
    else
        m_early += data.left(kMaxEarlyBytes - m_early.size());
}

bool TcpLink::negotiated() const
{
    return !m_telnet || !m_negotiationTimer.isActive() ||
           m_telnet->comPort() == TelnetCodec::ComPort::Refused ||
           m_telnet->lineSettingsConfirmed();
}

// Once the connection has held and the line is set (or its time is up), the open answers; what
// came meanwhile follows.
void TcpLink::finishOpening()
{
    if (m_stage != Stage::Settling || m_settleTimer.isActive() || !negotiated())
        return;
    m_negotiationTimer.stop();
    if (m_telnet && m_telnet->comPort() == TelnetCodec::ComPort::Refused)
        m_laterNotices << QStringLiteral("the server refused RFC 2217's COM-port option: the line "
                                         "runs at the speed set on the server");
    else if (m_telnet && !m_telnet->heardTelnet())
        m_laterNotices << QStringLiteral("the server did not answer in Telnet: its port may be "
                                         "raw TCP; map it as tcp%1")
                              .arg(m_address.mid(m_address.indexOf(u':')));
    m_stage = Stage::Open;
    const int attempt = m_attempt;
    emit opened();
    if (attempt == m_attempt && !m_early.isEmpty())
        emit received(std::exchange(m_early, {}));
    for (const QString& words : std::exchange(m_laterNotices, {})) {
        if (attempt == m_attempt)
            tell(words);
    }
}

// Said once the open has answered, so that it is not taken for the reason of a failure.
void TcpLink::tell(const QString& words)
{
    if (m_stage == Stage::Open)
        emit notice(QStringLiteral("COM%1 is %2: %3").arg(m_port).arg(m_address, words));
    else
        m_laterNotices << words;
}

void TcpLink::refuse(const QString& words)
{
    close();
    emit openFailed(QStringLiteral("COM%1 is %2: %3").arg(m_port).arg(m_address, words));
}

// The server closed the connection or it broke: the line is closed once, as for a pulled
// adapter. Before the open has answered, the server turned the connection away.
void TcpLink::lose(int attempt)
{
    if (attempt != m_attempt)
        return;
    if (m_stage == Stage::Settling) {
        const QString words = QStringLiteral("the server closed the connection at once: it may "
                                             "be serving another client");
        emit notice(QStringLiteral("COM%1 is %2: %3").arg(m_port).arg(m_address, words));
        refuse(words);
        return;
    }
    if (m_stage != Stage::Open)
        return;
    m_stage = Stage::Closed; // lost, not closed
    close();
    emit lost();
}

// A connection may end inside one of its own events: it is deleted once control is back in the
// event loop.
void TcpLink::retire()
{
    if (!m_connection)
        return;
    m_retired.push_back(std::move(m_connection));
    QMetaObject::invokeMethod(
        this, [this] { m_retired.clear(); }, Qt::QueuedConnection);
}

} // namespace zuno
