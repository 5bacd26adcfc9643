#pragma once

#include <QString>

namespace zuno {

// The per-user settings store: application "ZUNO", text values by section and key.
// On Linux this is $XDG_CONFIG_HOME/ZUNO.conf, on Windows the user's registry branch.
namespace SettingsStore {

inline constexpr char kStartUpSection[] = "StartUP";
inline constexpr char kComPortKey[] = "ComPort";
inline constexpr char kBaudRateKey[] = "BaudRate";
inline constexpr char kAddressKey[] = "ADRESS";
inline constexpr char kPortsSection[] = "Ports";

// Returns the stored text of section/key, or defaultText when it is missing.
// Never fails and never creates anything; a value that the store holds as a list
// (an unquoted comma in a hand-edited file) reads as its items joined by ", ".
QString read(const QString& section, const QString& key, const QString& defaultText);

// Stores text under section/key, creating what is missing; an empty text is kept
// as an empty entry. Returns false when the store could not be written.
bool write(const QString& section, const QString& key, const QString& text);

// Where the store keeps its data (the file path on Linux), for messages.
QString location();

} // namespace SettingsStore
} // namespace zuno
