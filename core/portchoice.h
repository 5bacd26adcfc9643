#pragma once

#include <QByteArray>
#include <cstdint>

namespace zuno {

// Program-wide port settings and the last panel command, shared by the main
// window, the port dialog and the console. All start at 0 / empty.
inline std::int16_t PortNumber = 0;      // COM port 1 to 15; 0 = none chosen
inline std::uint8_t BaudCode = 0;        // 96 = 9600 bit/s, anything else 19200 bit/s
inline std::int16_t SavedPortNumber = 0; // copy taken by "COM", restored by Cancel
inline std::uint8_t SavedBaudCode = 0;   // copy taken by "COM", restored by Cancel
inline QByteArray SendText;              // last panel command with its CR, no prefix

inline constexpr std::uint8_t kBaud9600 = 96;
inline constexpr std::uint8_t kBaud19200 = 192;

// The line parameter text for a speed code: "9600,N,8,1" for 96, else "19200,N,8,1".
inline const char* lineParameters(std::uint8_t baudCode)
{
    return baudCode == kBaud9600 ? "9600,N,8,1" : "19200,N,8,1";
}

} // namespace zuno
