// The port dialog's reading of a typed number: whatever the box holds, the reading is a whole
// number from 0 to 255 or nothing, and it agrees with a plain reference reading.
#include "fuzz/fuzzcheck.h"
#include "core/storednumber.h"

#include <optional>

using zuno::fuzz::require;

namespace {

// Digits only, at least one, value at most 255. Leading zeros do not count against the value.
std::optional<int> referenceReading(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    long value = 0;
    for (const QChar c : text) {
        if (c.unicode() < '0' || c.unicode() > '9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > 255)
            return std::nullopt;
    }
    return int(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (const QString& text : zuno::fuzz::textsFrom(data, size)) {
        const std::optional<int> reading = zuno::readTypedNumber(text);
        require(!reading || (*reading >= 0 && *reading <= 255), "typed number is 0..255 or none");
        require(reading == referenceReading(text), "typed number agrees with the reference");
    }
    return 0;
}
