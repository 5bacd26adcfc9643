#pragma once

#include <QStringView>
#include <cstdint>
#include <optional>

namespace zuno {

// Reads a stored number the way the settings store's values are read back:
// blanks before it are skipped, then an optional sign and the leading decimal
// digits are taken; a text that does not begin with a number reads as 0.
// The result is empty when the number does not fit in 64 bits.
std::optional<std::int64_t> readLeadingNumber(QStringView text);

// Reads a stored "ComPort" text into a port number: 1 to 15 is a valid port,
// every other reading (including a number too large for the 16-bit port
// variable) gives 0, "no valid port".
std::int16_t readStoredPortNumber(QStringView text);

// True for a port number that names a port (1 to 15).
constexpr bool isValidPortNumber(int port)
{
    return port >= 1 && port <= 15;
}

// Reads the port dialog's typed text as a whole number from 0 to 255: digits only (leading
// zeros allowed), nothing else. Empty for any other text (empty, letters, sign, blank, fraction,
// above 255).
std::optional<int> readTypedNumber(QStringView text);

} // namespace zuno
