#include "sim/portregistration.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>

namespace zuno::sim {

bool isPortName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^COM([1-9]|1[0-5])$"));
    return pattern.match(name).hasMatch();
}

bool registerPort(const QString& configHome, const QString& portName, const QString& devicePath,
                  QString* error)
{
    if (!QDir().mkpath(configHome)) {
        *error = QStringLiteral("cannot create %1").arg(configHome);
        return false;
    }
    QSettings store(QDir(configHome).filePath(QStringLiteral("ZUNO.conf")), QSettings::IniFormat);
    store.setValue(QStringLiteral("Ports/") + portName, devicePath);
    store.sync();
    if (store.status() != QSettings::NoError) {
        *error = QStringLiteral("cannot write %1").arg(store.fileName());
        return false;
    }
    return true;
}

} // namespace zuno::sim
