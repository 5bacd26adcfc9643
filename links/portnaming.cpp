#include "links/portnaming.h"

#include "core/storednumber.h"
#include "settings/settings.h"

#include <QUrl>

namespace zuno {

namespace {
constexpr QLatin1StringView kTcpScheme("tcp://");
constexpr QLatin1StringView kRfc2217Scheme("rfc2217://");
} // namespace

void PortNaming::mapForThisRun(int port, const QString& device)
{
    if (isValidPortNumber(port))
        m_runMappings.insert(port, device);
}

bool PortNaming::isMapped(int port) const
{
    return m_runMappings.contains(port) || !m_settings.portEntry(port).isEmpty();
}

QString PortNaming::deviceFor(int port) const
{
    if (!isValidPortNumber(port))
        return {};
    if (const auto run = m_runMappings.constFind(port); run != m_runMappings.cend())
        return *run;
    const QString mapped = m_settings.portEntry(port);
#ifdef Q_OS_WIN
    return isTcpDevice(mapped) ? mapped : QStringLiteral("COM%1").arg(port);
#else
    if (!mapped.isEmpty())
        return mapped;
    if (port <= 4)
        return QStringLiteral("/dev/ttyS%1").arg(port - 1);
    return QStringLiteral("/dev/ttyUSB%1").arg(port - 5);
#endif
}

bool isTcpDevice(const QString& device)
{
    return device.startsWith(kTcpScheme) || device.startsWith(kRfc2217Scheme);
}

std::optional<TcpAddress> tcpAddressOf(const QString& device)
{
    if (!isTcpDevice(device))
        return std::nullopt;
    const QUrl url(device, QUrl::StrictMode);
    const int port = url.port();
    if (!url.isValid() || url.host().isEmpty() || port < 1 || port > 65535 ||
        !url.userInfo().isEmpty() || !(url.path().isEmpty() || url.path() == u'/') ||
        url.hasQuery() || url.hasFragment())
        return std::nullopt;
    return TcpAddress{url.host(), quint16(port), device.startsWith(kRfc2217Scheme)};
}

} // namespace zuno
