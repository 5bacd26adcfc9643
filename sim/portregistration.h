#pragma once

#include <QString>

namespace zuno::sim {

// Writes "portName=devicePath" into section "Ports" of the settings store
// configHome/ZUNO.conf, where the panel looks up which device a COM number names.
// Only that line of the store changes, under the lock every writer of the store takes.
// False with a reason when it cannot be written.
bool registerPort(const QString& configHome, const QString& portName, const QString& devicePath,
                  QString* error);

// Removes the entry again, but only while it still names devicePath: another program may have
// mapped the port to something else meanwhile. False when the store could not be written.
bool unregisterPort(const QString& configHome, const QString& portName, const QString& devicePath);

// True for the names the panel can choose: "COM1" to "COM15".
bool isPortName(const QString& name);

} // namespace zuno::sim
