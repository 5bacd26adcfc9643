#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace zuno {

// What the console makes of a chosen list item: the bytes SEND hands to the transmit
// routine and the text shown in the console's text box.
struct ExtractedCommand
{
    QByteArray consoleCommand;
    QString textBoxText;
};

// The command text of a list item or of the text box: everything before the first "[",
// or the whole text when it holds none. Nothing is trimmed or checked.
QStringView commandTextOf(QStringView source);

// The bytes to transmit for a source text: its command text followed by CR. A character
// outside Latin-1 (a code point, so a surrogate pair counts once) becomes "?". An empty
// command text gives a bare CR.
QByteArray consoleCommandFrom(QStringView source);

// The text box text for a list item: its command text followed by the four characters "[CR]".
QString textBoxTextFor(QStringView item);

// Both results for a list item at once.
ExtractedCommand extractFromItem(QStringView item);

} // namespace zuno
