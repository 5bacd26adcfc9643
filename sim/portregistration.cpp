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
                  QString* error, std::optional<QByteArray>* previousLine)
{
    const QString section = QStringLiteral("Ports");
    QByteArray before;
    const SettingsFile::Result result =
        SettingsFile::update(storePath(configHome), section, {{portName, devicePath}}, &before);
    *error = result.problem;
    if (result.done() && previousLine)
        *previousLine = IniText::entryLine(before, section, portName);
    return result.done();
}

bool unregisterPort(const QString& configHome, const QString& portName, const QString& devicePath,
                    const std::optional<QByteArray>& previousLine)
{
    return SettingsFile::update(storePath(configHome), QStringLiteral("Ports"),
                                {{portName, std::nullopt, devicePath, previousLine}})
        .done();
}

} // namespace zuno::sim
