#pragma once

#include <QString>

namespace zuno {

// The device a COM number opens. On Linux the settings store's "Ports" section
// (key "COMn") names it when present; otherwise COM1 to COM4 are /dev/ttyS0 to
// /dev/ttyS3 and COM5 to COM15 are /dev/ttyUSB0 to /dev/ttyUSB10. On Windows the
// name is "COMn" itself. Empty for a number outside 1 to 15.
QString deviceForPort(int port);

} // namespace zuno
