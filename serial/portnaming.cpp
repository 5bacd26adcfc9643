#include "serial/portnaming.h"

#include "serial/settingsstore.h"
#include "core/storednumber.h"

namespace zuno {

QString deviceForPort(int port)
{
    if (!isValidPortNumber(port))
        return {};
    const QString key = QStringLiteral("COM%1").arg(port);
#ifdef Q_OS_WIN
    return key;
#else
    const QString mapped =
        SettingsStore::read(QString::fromLatin1(SettingsStore::kPortsSection), key, QString());
    if (!mapped.trimmed().isEmpty())
        return mapped.trimmed();
    if (port <= 4)
        return QStringLiteral("/dev/ttyS%1").arg(port - 1);
    return QStringLiteral("/dev/ttyUSB%1").arg(port - 5);
#endif
}

} // namespace zuno
