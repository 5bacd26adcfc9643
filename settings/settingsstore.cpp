#include "settings/settingsstore.h"

#include <QSettings>
#include <QStringList>

namespace zuno::SettingsStore {

QString read(const QString& section, const QString& key, const QString& defaultText)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZUNO"));
    const QVariant value = store.value(section + u'/' + key);
    if (!value.isValid())
        return defaultText;
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

bool write(const QString& section, const QString& key, const QString& text)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZUNO"));
    if (!store.isWritable())
        return false;
    store.setValue(section + u'/' + key, text);
    store.sync();
    return store.status() == QSettings::NoError;
}

QString location()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZUNO"))
        .fileName();
}

} // namespace zuno::SettingsStore
