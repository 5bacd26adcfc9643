#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace zuno::sim {

// Writes "portName=devicePath" into section "Ports" of the settings store
// configHome/ZUNO.conf, where the panel looks up which device a COM number names.
// Only that line of the store changes, under the lock every writer of the store takes.
// False with a reason when it cannot be written. `previousLine`, when given, receives the line
// that mapped the port before, whole and byte for byte, or none when the port was not mapped.
bool registerPort(const QString& configHome, const QString& portName, const QString& devicePath,
                  QString* error, std::optional<QByteArray>* previousLine = nullptr);

// Takes the entry back, but only while it still names devicePath: another program may have
// mapped the port to something else meanwhile. The line that was there before the registration
// (`previousLine`, a user's own mapping) stands again exactly as it was; without one the entry is
// removed. False when the store could not be written.
bool unregisterPort(const QString& configHome, const QString& portName, const QString& devicePath,
                    const std::optional<QByteArray>& previousLine);

// True for the names the panel can choose: "COM1" to "COM15".
bool isPortName(const QString& name);

} // namespace zuno::sim
