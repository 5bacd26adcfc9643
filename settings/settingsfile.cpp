#include "settings/settingsfile.h"

#include "core/fileaccess.h"

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

QString lockPath(const QString& path)
{
    return path + QStringLiteral(".lock");
}

QString tooLarge(const QString& path)
{
    return QStringLiteral("%1 is larger than %2 KiB, the most a settings file may have")
        .arg(path)
        .arg(kMaxBytes / 1024);
}

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

// The file as it stands, read without waiting; on false, `result` says why it cannot be used.
struct Current
{
    PathFacts facts;
    QByteArray text;
};
bool readCurrent(const QString& path, const QString& target, Current& current, Result& result)
{
    if (const QString problem = unusable(path); !problem.isEmpty()) {
        result = {Outcome::Refused, problem};
        return false;
    }
    current.facts = factsAbout(target);
    current.text.clear();
    if (!current.facts.exists)
        return true;
    QFile file(target);
    QString problem;
    if (!openWithoutWaiting(file, QIODevice::ReadOnly, true, &problem)) {
        result = {Outcome::Failed, QStringLiteral("%1 cannot be read: %2").arg(target, problem)};
        return false;
    }
    current.text = file.read(kMaxBytes + 1);
    if (current.text.size() > kMaxBytes) {
        result = {Outcome::Refused, tooLarge(path)};
        return false;
    }
    return true;
}
} // namespace

QString unusable(const QString& path)
{
    for (const QString& file : {path, lockPath(path)}) {
        const PathFacts facts = factsAbout(file);
        if (facts.exists && !facts.regular)
            return QStringLiteral("%1 is not a regular file but %2").arg(file, facts.kind);
    }
    return factsAbout(path).size > kMaxBytes ? tooLarge(path) : QString();
}

Result update(const QString& path, const QString& section, const QList<IniText::Change>& changes,
              QByteArray* before)
{
    const QFileInfo info(path);
    // The file a link points to is the one replaced, next to itself.
    QString target = info.absoluteFilePath();
    if (info.isSymLink()) {
        target = info.canonicalFilePath();
        if (target.isEmpty())
            target = info.symLinkTarget();
    }
    const auto failed = [](const QString& problem) { return Result{Outcome::Failed, problem}; };
    const auto refused = [](const QString& problem) { return Result{Outcome::Refused, problem}; };

    // Compared first: a file that holds the changes already waits for no other writer's lock.
    Current current;
    Result result;
    if (!readCurrent(path, target, current, result))
        return result;
    if (before)
        *before = current.text;
    if (IniText::withChanges(current.text, section, changes) == current.text)
        return {Outcome::Unchanged, {}}; // a missing file with nothing to add is not created
    if (!QDir().mkpath(info.absolutePath()))
        return failed(QStringLiteral("the folder of %1 cannot be made").arg(path));
    QLockFile lock(lockPath(path));
    if (!lock.tryLock(kLockWaitMs)) {
        return failed(lock.error() == QLockFile::LockFailedError
                          ? QStringLiteral("another program holds %1 locked").arg(path)
                          : QStringLiteral("the lock %1 cannot be made").arg(lockPath(path)));
    }
    // Read again under the lock: another writer may have changed it meanwhile.
    if (!readCurrent(path, target, current, result))
        return result;
    if (before)
        *before = current.text;
    const QByteArray next = IniText::withChanges(current.text, section, changes);
    if (next == current.text)
        return {Outcome::Unchanged, {}};
    if (next.size() > kMaxBytes)
        return refused(tooLarge(path));
    if (current.facts.exists && !current.facts.mayWrite)
        return refused(QStringLiteral("%1 is read-only").arg(target));
    if (current.facts.ofAnotherUser)
        return refused(QStringLiteral("%1 belongs to another user").arg(target));

    // A link that leads to no file yet gets its file, in a folder made for it if need be.
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return failed(QStringLiteral("the folder of %1 cannot be made").arg(target));
    QTemporaryFile copy(target + QStringLiteral(".XXXXXX"));
    if (!copy.open())
        return failed(QStringLiteral("no copy of %1 can be made beside it: %2")
                          .arg(target, copy.errorString()));
    if (current.facts.exists
            ? !takeOwnerAndMode(copy, current.facts)
            : !copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                   QFileDevice::ReadGroup | QFileDevice::ReadOther))
        return failed(QStringLiteral("the copy of %1 cannot be given its owner").arg(target));
    bool written = copy.write(next) == next.size() && copy.flush();
#ifdef Q_OS_UNIX
    written = written && ::fsync(copy.handle()) == 0;
#endif
    written = written && copy.seek(0) && copy.readAll() == next;
    const QString error = copy.errorString();
    copy.close();
    if (!written)
        return failed(QStringLiteral("%1 cannot be written: %2").arg(target, error));
    if (!holdsChanges(copy.fileName(), section, changes))
        return failed(QStringLiteral("%1 cannot hold the change safely").arg(target));
    if (std::rename(QFile::encodeName(copy.fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0)
        return failed(QStringLiteral("%1 cannot be replaced").arg(target));
    copy.setAutoRemove(false);
    return {Outcome::Written, {}};
}

} // namespace zuno::SettingsFile
