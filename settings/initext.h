#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace zuno::IniText {

// One change to a key of a section.
struct Change
{
    QString key;
    std::optional<QString> text; // the new text; none removes the key
    // When set, the change is made only while the key still holds this text (as QSettings
    // reads it); a key that is missing or holds anything else is left as it is.
    std::optional<QString> onlyIfHolding = {};
    // When set, the key's last line becomes exactly these bytes, as entryLine() gave them (its
    // indentation, spelling, comment and line break), in place of `text`; where the key is
    // missing, `text` applies.
    std::optional<QByteArray> restoredLine = {};
};

// The key as it stands left of "=" in the file: letters, digits, "_", "-" and "." as they
// are, "/" as "\", anything else as %XX or %UXXXX.
QByteArray escapedKey(const QString& key);

// The text as it stands right of "=", so that QSettings reads it back exactly: control
// characters, quotes and backslashes escaped, non-ASCII as UTF-8, the whole in quotes when it
// holds ";", "," or "=" or starts or ends with a space, a leading "@" doubled.
QByteArray escapedValue(const QString& text);

// The key's last line in section (the one QSettings reads it from), whole: its indentation, the
// key as written, the value, a comment after it and the line break; none when the section does
// not hold the key.
std::optional<QByteArray> entryLine(const QByteArray& text, const QString& section,
                                    const QString& key);

// The file text with the changes made in section (as QSettings names it: "StartUP"), every other
// byte kept. A key is found as QSettings finds it: entries spanning lines, comments, keys written
// with escapes and a section that occurs twice. A changed key gets its new value in place of the
// old on the line QSettings reads it from (the last); a new key is added after the section's last
// entry, a new section at the end of the text. A removed key loses every line that holds it.
// A key that already holds its new text, however it is written, is left as it is.
QByteArray withChanges(const QByteArray& text, const QString& section,
                       const QList<Change>& changes);

} // namespace zuno::IniText
