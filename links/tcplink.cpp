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
}

TcpLink::~TcpLink() = default;

void TcpLink::open(int port, int)
{
    if (m_open) {
        emit opened();
        return;
    }
    close();
    m_port = port;
    m_address = m_naming.deviceFor(port);
    const std::optional<TcpAddress> server = tcpAddressOf(m_address);
    if (!server) {
        refuse(QStringLiteral("not a serial device server's address; write it as "
                              "tcp://HOST:PORT"));
        return;
    }
    QString error;
    const MakeTcpConnection make = networkModule(&error);
    if (!make) {
        refuse(QStringLiteral("the network module could not be loaded: ") + error);
        return;
    }
    const int attempt = ++m_attempt;
    m_connection.reset(make({
        [this, attempt] { connected(attempt); },
        [this, attempt](TcpConnection::Failure failure, const QString& words) {
            failed(attempt, failure, words);
        },
        [this, attempt](const QByteArray& bytes) {
            if (attempt == m_attempt && m_open)
                emit received(bytes);
        },
        [this, attempt] { lose(attempt); },
    }));
    m_connectTimer.start();
    m_connection->connectTo(server->host, server->port);
}

void TcpLink::close()
{
    ++m_attempt;
    const bool wasOpen = std::exchange(m_open, false);
    m_connectTimer.stop();
    retire();
    if (wasOpen)
        emit closed();
}

bool TcpLink::write(QByteArrayView bytes)
{
    return m_open && m_connection->write(bytes);
}

void TcpLink::connected(int attempt)
{
    if (attempt != m_attempt)
        return;
    m_connectTimer.stop();
    m_open = true;
    emit opened();
}

void TcpLink::failed(int attempt, TcpConnection::Failure failure, const QString& systemWords)
{
    if (attempt != m_attempt || m_open)
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

void TcpLink::refuse(const QString& words)
{
    close();
    emit openFailed(QStringLiteral("COM%1 is %2: %3").arg(m_port).arg(m_address, words));
}

// The server closed the connection or it broke: the line is closed once, as for a pulled
// adapter.
void TcpLink::lose(int attempt)
{
    if (attempt != m_attempt || !m_open)
        return;
    m_open = false; // lost, not closed
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
