#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace zuno {

// The speed codes stored under "BaudRate".
inline constexpr std::uint8_t kBaud9600 = 96;
inline constexpr std::uint8_t kBaud19200 = 192;

// A COM port and a line speed: the one in use, or the one the port dialog is choosing.
struct PortChoice
{
    std::int16_t port = 0;     // COM port 1 to 15; 0 = none chosen
    std::uint8_t baudCode = 0; // 96 = 9600 bit/s, anything else 19200 bit/s

    friend bool operator==(const PortChoice&, const PortChoice&) = default;
};

// What the command line chooses for one run in place of the stored start-up settings. Nothing
// of it is stored: "ComPort", "BaudRate" and "ADRESS" stay as they are unless the operator
// changes them in the panel or the port dialog.
struct StartUpChoice
{
    std::int16_t port = 0;                // COM port 1 to 15; 0 = the stored one
    std::optional<std::uint8_t> baudCode; // none = the stored speed
    std::optional<QByteArray> address;    // an address prefix ("" = SINGLE); none = the stored one
};

// The line speed a speed code stands for: 9600 bit/s for 96, 19200 bit/s for any other code.
constexpr int bitsPerSecond(std::uint8_t baudCode)
{
    return baudCode == kBaud9600 ? 9600 : 19200;
}

// The speed code itself, with any code but 96 taken as 192, as the port dialog shows it.
constexpr std::uint8_t normalBaudCode(std::uint8_t baudCode)
{
    return baudCode == kBaud9600 ? kBaud9600 : kBaud19200;
}

} // namespace zuno
