#pragma once

#include <QString>

namespace zuno::sim {

// Writes "portName=devicePath" into section "Ports" of the settings store
// configHome/ZUNO.conf, where the panel looks up which device a COM number names.
// Other entries of the store are kept. False with a reason when it cannot be written.
bool registerPort(const QString& configHome, const QString& portName, const QString& devicePath,
                  QString* error);

// True for the names the panel can choose: "COM1" to "COM15".
bool isPortName(const QString& name);

} // namespace zuno::sim
