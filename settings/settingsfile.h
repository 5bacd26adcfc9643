#pragma once

#include "settings/initext.h"

#include <QString>

namespace zuno::SettingsFile {

// A settings file beyond this size is neither read nor written.
inline constexpr qint64 kMaxBytes = 64 * 1024;

enum class Outcome
{
    Written,   // the file was replaced by one with the changes
    Unchanged, // it already held them: not touched
    Refused,   // it may not be written (see problem): not touched
    Failed,    // it could not be locked, read or replaced: not touched
};

struct Result
{
    Outcome outcome = Outcome::Failed;
    QString problem; // why it was not written, in words that name the file; empty when done
    bool done() const { return outcome == Outcome::Written || outcome == Outcome::Unchanged; }
};

// Why the file at path can be neither read nor written, in words that name it; empty when it
// can. It, and its lock file, must be regular files (or missing), and it no larger than
// kMaxBytes. Nothing is opened: a named pipe would hold up whoever opens it.
QString unusable(const QString& path);

// Makes the changes in section of the INI file at path, every other byte kept (see
// IniText::withChanges). The file is first read as it stands: a file that already holds the
// changes is not touched, and no lock is waited for. Otherwise writers of the file exclude each
// other by the lock QSettings takes, path + ".lock", and read the file again once they hold it,
// so none loses another's entry. The file is replaced only by a complete copy written next to
// it under a name of its own, read back and checked before it takes the file's place; the copy
// has the file's permissions, owner and group. A path that is a symbolic link stays one: the
// file it points to is replaced. A missing file (and its folder) is created. `before`, when
// given, receives the text the changes were made in (read under the lock when there were any to
// make; empty for a missing file; left as it is when the file could not be read).
//
// Refused: an unusable file (see unusable()), one this user may not write (read-only, or
// another user's, which a replacement would take from them), and a change that would make it
// larger than kMaxBytes.
Result update(const QString& path, const QString& section, const QList<IniText::Change>& changes,
              QByteArray* before = nullptr);

} // namespace zuno::SettingsFile
