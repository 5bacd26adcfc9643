#include "serial/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include <stdio.h>

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

namespace {
// True when the store's file text holds `key=text` in [section] and ends whole.
bool fileHolds(const QString& path, const QString& section, const QString& key, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray contents = file.readAll();
    if (!contents.endsWith('\n'))
        return false;
    const QByteArray header = '[' + section.toUtf8() + "]\n";
    const qsizetype at = contents.startsWith(header) ? 0 : contents.indexOf('\n' + header);
    if (at < 0)
        return false;
    const qsizetype next = contents.indexOf("\n[", at + 1);
    const QByteArray body = contents.mid(at, next < 0 ? -1 : next - at);
    return body.contains('\n' + key.toUtf8() + '=' + text.toUtf8() + '\n');
}
} // namespace

bool write(const QString& section, const QString& key, const QString& text)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZUNO"));
    if (!store.isWritable())
        return false;
#ifdef Q_OS_WIN
    store.setValue(section + u'/' + key, text);
    store.sync();
    return store.status() == QSettings::NoError;
#else
    // The file is replaced only by a complete, checked copy: a full disk or a size limit
    // must not leave a cut-off store behind (the serial layer's own writes would not notice).
    const QString path = store.fileName();
    const QFileInfo info(path);
    if (info.exists() && !info.isWritable())
        return false;
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    const QString next = path + QStringLiteral(".new");
    QFile::remove(next);
    if (info.exists() && !QFile::copy(path, next))
        return false;
    {
        QSettings copy(next, QSettings::IniFormat);
        copy.setValue(section + u'/' + key, text);
        copy.sync();
        // A format error only says that part of the old text could not be parsed (a hand-edited
        // or damaged file); the copy is still written from what could be read, and the check
        // below decides whether the entry made it. Only a failed write counts here.
        if (copy.status() == QSettings::AccessError) {
            QFile::remove(next);
            return false;
        }
    }
    if (!fileHolds(next, section, key, text) ||
        ::rename(QFile::encodeName(next).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(next);
        return false;
    }
    return true;
#endif
}

QString location()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ZUNO"))
        .fileName();
}

} // namespace zuno::SettingsStore
