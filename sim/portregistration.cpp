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
    const QString path = storePath(configHome);
    const QString section = QStringLiteral("Ports");
    QByteArray before;
    switch (SettingsFile::update(path, section, {{portName, devicePath}}, &before)) {
    case SettingsFile::Outcome::Written:
    case SettingsFile::Outcome::Unchanged:
        if (previousLine)
            *previousLine = IniText::entryLine(before, section, portName);
        return true;
    case SettingsFile::Outcome::TooLarge:
        *error = QStringLiteral("%1 is larger than %2 KiB: not written")
                     .arg(path)
                     .arg(SettingsFile::kMaxBytes / 1024);
        return false;
    case SettingsFile::Outcome::Failed:
        break;
    }
    *error = QStringLiteral("cannot write %1").arg(path);
    return false;
}

bool unregisterPort(const QString& configHome, const QString& portName, const QString& devicePath,
                    const std::optional<QByteArray>& previousLine)
{
    const SettingsFile::Outcome outcome =
        SettingsFile::update(storePath(configHome), QStringLiteral("Ports"),
                             {{portName, std::nullopt, devicePath, previousLine}});
    return outcome == SettingsFile::Outcome::Written || outcome == SettingsFile::Outcome::Unchanged;
}

} // namespace zuno::sim
