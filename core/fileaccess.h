#pragma once

#include <QFile>
#include <QString>

namespace zuno {

// What stands at a path (a link followed), learnt without opening it: opening a named pipe waits
// until a program opens its other end, and reading a device may never end.
struct PathFacts
{
    bool exists = false;
    bool regular = false;
    // What it is when it is there but no regular file: "a named pipe", "a device", "a folder" ...
    QString kind;
    qint64 size = 0;
    // This user may write it. The superuser, whom the system lets write anything, only while one
    // of its write permissions is set: a file made read-only stays so for everyone.
    bool mayWrite = false;
    // It belongs to another user, so that a replacement made by this one would change its owner.
    // Never so for the superuser, who can give a replacement the owner and group of the file.
    bool ofAnotherUser = false;
    uint ownerId = 0;
    uint groupId = 0;
    uint mode = 0; // the permission bits
};
PathFacts factsAbout(const QString& path);

// True when path itself is a regular file, not a link to one (nor anything else).
bool isPlainFile(const QString& path);

// Opens `file` (by its file name) with `mode`, never waiting: a named pipe that no program holds
// open at its other end is not waited for, and writes to a pipe, a terminal or a device that
// cannot take them at once fail instead of waiting. With `regularOnly`, anything but a regular
// file is refused. On failure, `problem` says why in a few words ("is a named pipe ...").
bool openWithoutWaiting(QFile& file, QIODevice::OpenMode mode, bool regularOnly, QString* problem);

// Gives the open file `copy` the permissions of `original`, and its owner and group where they
// differ from the copy's; false when the owner cannot be given (only the superuser can).
bool takeOwnerAndMode(QFile& copy, const PathFacts& original);

} // namespace zuno
