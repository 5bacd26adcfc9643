#include "links/portnaming.h"

#include "core/storednumber.h"
#include "settings/settingsstore.h"

#include <QHash>
#include <QUrl>

namespace zuno {

namespace {
constexpr QLatin1StringView kTcpScheme("tcp://");

QHash<int, QString>& runMappings()
{
    static QHash<int, QString> mappings;
    return mappings;
}
} // namespace

void mapPortForThisRun(int port, const QString& device)
{
    if (isValidPortNumber(port))
        runMappings().insert(port, device);
}

QString deviceForPort(int port)
{
    if (!isValidPortNumber(port))
        return {};
    if (const auto run = runMappings().constFind(port); run != runMappings().cend())
        return *run;
    const QString key = QStringLiteral("COM%1").arg(port);
    const QString mapped =
        SettingsStore::read(QString::fromLatin1(SettingsStore::kPortsSection), key, QString())
            .trimmed();
#ifdef Q_OS_WIN
    return isTcpDevice(mapped) ? mapped : key;
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
    return device.startsWith(kTcpScheme);
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
    return TcpAddress{url.host(), quint16(port)};
}

} // namespace zuno
