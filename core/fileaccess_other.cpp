#include "core/fileaccess.h"

#include <QFileInfo>

namespace zuno {

// Without POSIX file types a path holds a file, a folder or nothing.
PathFacts factsAbout(const QString& path)
{
    const QFileInfo info(path);
    PathFacts facts;
    facts.exists = info.exists();
    facts.regular = info.isFile();
    facts.kind = facts.exists && !facts.regular ? QStringLiteral("a folder") : QString();
    facts.size = info.size();
    facts.mayWrite = !facts.exists || info.isWritable();
    facts.mode = uint(info.permissions());
    return facts;
}

bool isPlainFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink();
}

bool openWithoutWaiting(QFile& file, QIODevice::OpenMode mode, bool regularOnly, QString* problem)
{
    if (regularOnly && QFileInfo::exists(file.fileName()) && !QFileInfo(file.fileName()).isFile()) {
        *problem = QStringLiteral("is not a regular file");
        return false;
    }
    if (file.open(mode))
        return true;
    *problem = file.errorString();
    return false;
}

bool takeOwnerAndMode(QFile& copy, const PathFacts& original)
{
    return !original.exists || copy.setPermissions(QFileDevice::Permissions(original.mode));
}

} // namespace zuno
