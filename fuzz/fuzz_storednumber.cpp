// Reading stored numbers back from hand-edited or damaged settings: whatever the text, a port
// reads into 1..15 or 0 ("no valid port"), and the leading number agrees with a reference that
// reads the digits with twice the width.
#include "core/storednumber.h"
#include "fuzz/fuzzcheck.h"

#include <optional>

using zuno::fuzz::require;

namespace {

struct ReferenceNumber
{
    bool fits = true;   // the value fits in 64 bits
    __int128 value = 0; // meaningful when fits
};

// Blanks (space, tab) skipped, an optional sign, then the leading ASCII digits; no digits is 0.
ReferenceNumber referenceReading(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    ReferenceNumber number;
    // Past 2^64 the number is out of range whatever follows; stop adding before __int128
    // could overflow, but keep reading the digits.
    constexpr __int128 kBeyond = __int128(1) << 70;
    for (; i < text.size() && text[i].unicode() >= '0' && text[i].unicode() <= '9'; ++i) {
        if (number.value < kBeyond)
            number.value = number.value * 10 + (text[i].unicode() - '0');
    }
    if (negative)
        number.value = -number.value;
    number.fits = number.value >= __int128(INT64_MIN) && number.value <= __int128(INT64_MAX);
    return number;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (const QString& text : zuno::fuzz::textsFrom(data, size)) {
        const ReferenceNumber expected = referenceReading(text);
        const std::optional<std::int64_t> number = zuno::readLeadingNumber(text);
        require(number.has_value() == expected.fits, "out of range exactly when beyond 64 bits");
        if (number)
            require(__int128(*number) == expected.value, "leading number agrees with reference");

        const int port = zuno::readStoredPortNumber(text);
        require(port == 0 || (port >= 1 && port <= 15), "port reads into 1..15 or 0");
        const bool validPort = expected.fits && expected.value >= 1 && expected.value <= 15;
        require(port == (validPort ? int(expected.value) : 0), "port agrees with reference");
    }
    return 0;
}
