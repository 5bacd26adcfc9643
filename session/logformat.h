#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace zuno {

// The session log's line format, shared by the log and by what is saved or copied from the
// history of exchanges. A line is tab-separated: local time to the millisecond, the port and its
// device, the event and the event's fields, ending in a line feed:
//
//   2026-12-07 03:48:12.695 <TAB> COM5 /dev/ttyUSB0 <TAB> sent <TAB> 43 52 33 0D <TAB> C R 3  [CR]
//
// HEX is the bytes as upper-case hex pairs separated by blanks; ECHO is the same bytes as the
// TxD and RxD lines render them (control codes spelled out), without the blanks the lines show at
// their ends.

// Free text (a reason, a status, a device path) kept on its own line and in its own field:
// trimmed, control characters made blanks.
QString logField(const QString& text);

// The fields of an event that carries bytes: HEX, a tab, ECHO.
QString logBytesFields(const QByteArray& bytes);

// One whole line, for an event at `msecsSinceEpoch` on `port`; `fields` may be empty.
QString logLine(qint64 msecsSinceEpoch, const QString& port, QStringView event,
                const QString& fields = {});

} // namespace zuno
