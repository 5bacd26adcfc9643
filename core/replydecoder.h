#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace zuno {

// What a decoded reply does to the status line.
struct StatusLineUpdate
{
    enum class Kind
    {
        Unchanged,
        Replace,
        Append
    };
    Kind kind = Kind::Unchanged;
    QString text; // the new caption (Replace) or the text to append to the current caption (Append)
};

// Decodes the reply collected so far into status-line words when the last panel command is one
// of the five decoded read commands. sendText: the last panel command with its CR (e.g.
// "CR0\r"); echo: the RxD rendering of the whole collection just drawn; collected: the number of
// bytes in the collection.
StatusLineUpdate decodeReply(QByteArrayView sendText, QStringView echo, qsizetype collected);

} // namespace zuno
