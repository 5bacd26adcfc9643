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
    TooLarge,  // it is, or would become, larger than kMaxBytes: not touched
    Failed,    // it could not be read or replaced: not touched
};

// Makes the changes in section of the INI file at path, every other byte kept (see
// IniText::withChanges). Writers of the file exclude each other by the lock QSettings takes,
// path + ".lock", and read the file only once they hold it, so none loses another's entry.
// The file is replaced only by a complete copy written next to it under a name of its own,
// read back and checked before it takes the file's place. A path that is a symbolic link stays
// one: the file it points to is replaced. A missing file (and its folder) is created. `before`,
// when given, receives the text the changes were made in, read under the lock (empty for a
// missing file; left as it is when the file could not be read).
Outcome update(const QString& path, const QString& section, const QList<IniText::Change>& changes,
               QByteArray* before = nullptr);

} // namespace zuno::SettingsFile
