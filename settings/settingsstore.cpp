#include "settings/settingsstore.h"

#include "settings/settingsfile.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace zuno::SettingsStore {

namespace {
QSettings openStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZUNO"));
}

#ifndef Q_OS_WIN
bool change(const QString& section, const QList<IniText::Change>& changes)
{
    const SettingsFile::Outcome outcome = SettingsFile::update(location(), section, changes);
    return outcome == SettingsFile::Outcome::Written || outcome == SettingsFile::Outcome::Unchanged;
}
#endif
} // namespace

QString read(const QString& section, const QString& key, const QString& defaultText)
{
    // Checked before QSettings opens the store, as opening it reads the whole file.
    if (isTooLarge())
        return defaultText;
    const QVariant value = openStore().value(section + u'/' + key);
    if (!value.isValid())
        return defaultText;
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

bool write(const QString& section, const QString& key, const QString& text)
{
    return write(section, QList<Entry>{{key, text}});
}

bool write(const QString& section, const QList<Entry>& entries)
{
#ifdef Q_OS_WIN
    QSettings store = openStore();
    for (const Entry& entry : entries)
        store.setValue(section + u'/' + entry.first, entry.second);
    store.sync();
    return store.status() == QSettings::NoError;
#else
    QList<IniText::Change> changes;
    for (const Entry& entry : entries)
        changes.append({entry.first, entry.second});
    return change(section, changes);
#endif
}

bool remove(const QString& section, const QString& key)
{
#ifdef Q_OS_WIN
    QSettings store = openStore();
    store.remove(section + u'/' + key);
    store.sync();
    return store.status() == QSettings::NoError;
#else
    return change(section, {{key, std::nullopt}});
#endif
}

bool isTooLarge()
{
#ifdef Q_OS_WIN
    return false;
#else
    return QFileInfo(location()).size() > SettingsFile::kMaxBytes;
#endif
}

QString location()
{
#ifdef Q_OS_WIN
    return openStore().fileName();
#else
    // Where QSettings keeps the user's native store, found without opening it (that would read
    // the file whole).
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ZUNO.conf");
#endif
}

} // namespace zuno::SettingsStore
