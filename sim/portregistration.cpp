#include "sim/portregistration.h"

#include "settings/settingsfile.h"

#include <QDir>
#include <QRegularExpression>

namespace zuno::sim {

namespace {
QString storePath(const QString& configHome)
{
    return QDir(configHome).filePath(QStringLiteral("ZUNO.conf"));
}
} // namespace

bool isPortName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^COM([1-9]|1[0-5])$"));
    return pattern.match(name).hasMatch();
}

bool registerPort(const QString& configHome, const QString& portName, const QString& devicePath,
                  QString* error)
{
    const SettingsFile::Result result = SettingsFile::update(
        storePath(configHome), QStringLiteral("Ports"), {{portName, devicePath}});
    *error = result.problem;
    return result.done();
}

bool unregisterPort(const QString& configHome, const QString& portName, const QString& devicePath)
{
    return SettingsFile::update(storePath(configHome), QStringLiteral("Ports"),
                                {{portName, std::nullopt, devicePath}})
        .done();
}

} // namespace zuno::sim
