#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace zuno {

// The per-user settings store: application "ZUNO", text values by section and key.
// On Linux this is $XDG_CONFIG_HOME/ZUNO.conf, on Windows the user's registry branch.
// On Linux a write edits the file: only the lines of the keys written change, every comment,
// blank line and unknown line stays, and a file that is a symbolic link stays one.
namespace SettingsStore {

inline constexpr char kStartUpSection[] = "StartUP";
inline constexpr char kComPortKey[] = "ComPort";
inline constexpr char kBaudRateKey[] = "BaudRate";
inline constexpr char kAddressKey[] = "ADRESS";
inline constexpr char kPortsSection[] = "Ports";

// Key and text of one entry to write.
using Entry = QPair<QString, QString>;

// Returns the stored text of section/key, or defaultText when it is missing.
// Never fails and never creates anything; a value that the store holds as a list
// (an unquoted comma in a hand-edited file) reads as its items joined by ", ".
// A store that is too large (isTooLarge()) is not read: every key reads as missing.
QString read(const QString& section, const QString& key, const QString& defaultText);

// Stores text under section/key, creating what is missing; an empty text is kept
// as an empty entry. Returns false when the store could not be written; a store that
// already holds the text is not touched.
bool write(const QString& section, const QString& key, const QString& text);

// Stores several entries of one section in one replacement of the store: either all of them
// are stored or, on a failure (false), none.
bool write(const QString& section, const QList<Entry>& entries);

// Removes section/key; true when it is gone (or was never there).
bool remove(const QString& section, const QString& key);

// True when the store's file is larger than a settings file may be (64 KiB): it is then neither
// read nor written, and stays as it is.
bool isTooLarge();

// Where the store keeps its data (the file path on Linux), for messages.
QString location();

} // namespace SettingsStore
} // namespace zuno
