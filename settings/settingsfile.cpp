#include "settings/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QTemporaryFile>

#include <cstdio>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace zuno::SettingsFile {

namespace {
// How long a writer waits for another to finish; a lock left by a process that is gone is
// taken over at once.
constexpr int kLockWaitMs = 10000;

// True when the copy at path holds what the changes asked for, as QSettings reads it.
bool holdsChanges(const QString& path, const QString& section,
                  const QList<IniText::Change>& changes)
{
    QSettings copy(path, QSettings::IniFormat);
    for (const IniText::Change& change : changes) {
        if (change.onlyIfHolding)
            continue; // it may rightly have been left as it was
        const QString key = section + u'/' + change.key;
        if (change.text ? copy.value(key) != QVariant(*change.text) : copy.contains(key))
            return false;
    }
    return copy.status() != QSettings::AccessError;
}
} // namespace

Outcome update(const QString& path, const QString& section, const QList<IniText::Change>& changes,
               QByteArray* before)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return Outcome::Failed;
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs))
        return Outcome::Failed;

    // The file a link points to is the one replaced, next to itself.
    QString target = info.absoluteFilePath();
    if (info.isSymLink()) {
        target = info.canonicalFilePath();
        if (target.isEmpty())
            target = info.symLinkTarget();
    }
    // A link that leads to no file yet gets its file, in a folder made for it if need be.
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return Outcome::Failed;
    QFile file(target);
    QByteArray text;
    const bool exists = QFileInfo::exists(target);
    if (exists) {
        if (file.size() > kMaxBytes)
            return Outcome::TooLarge;
        if (!file.open(QIODevice::ReadOnly))
            return Outcome::Failed;
        text = file.read(kMaxBytes + 1);
        if (text.size() > kMaxBytes)
            return Outcome::TooLarge;
        file.close();
    }
    if (before)
        *before = text;

    const QByteArray next = IniText::withChanges(text, section, changes);
    if (next == text) // a missing file with nothing to add is not created either
        return Outcome::Unchanged;
    if (next.size() > kMaxBytes)
        return Outcome::TooLarge;

    QTemporaryFile copy(target + QStringLiteral(".XXXXXX"));
    if (!copy.open())
        return Outcome::Failed;
    copy.setPermissions(exists ? file.permissions()
                               : QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ReadGroup | QFileDevice::ReadOther);
    bool written = copy.write(next) == next.size() && copy.flush();
#ifdef Q_OS_UNIX
    written = written && ::fsync(copy.handle()) == 0;
#endif
    copy.close();
    if (!written || copy.error() != QFileDevice::NoError)
        return Outcome::Failed;
    {
        QFile check(copy.fileName());
        if (!check.open(QIODevice::ReadOnly) || check.readAll() != next)
            return Outcome::Failed;
    }
    if (!holdsChanges(copy.fileName(), section, changes))
        return Outcome::Failed;
    if (std::rename(QFile::encodeName(copy.fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0)
        return Outcome::Failed;
    copy.setAutoRemove(false);
    return Outcome::Written;
}

} // namespace zuno::SettingsFile
