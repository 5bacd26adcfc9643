#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace zuno {

// A COM port and a line speed: the one in use, or the one the operator is choosing.
struct PortChoice
{
    std::int16_t port = 0;     // COM port 1 to 15; 0 = none chosen
    int bitsPerSecond = 19200; // 9600 or 19200

    friend bool operator==(const PortChoice&, const PortChoice&) = default;
};

// What the command line chooses for one run in place of the stored start-up settings. Nothing
// of it is stored: port, speed and address stay as stored unless the operator changes them in
// the panel or the port dialog.
struct StartUpChoice
{
    std::int16_t port = 0;             // COM port 1 to 15; 0 = the stored one (or `device`)
    QString device;                    // a device path or server address; empty = none
    std::optional<int> bitsPerSecond;  // none = the stored speed
    std::optional<QByteArray> address; // an address prefix ("" = SINGLE); none = the stored one
};

} // namespace zuno
