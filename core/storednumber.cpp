#include "core/storednumber.h"

#include <algorithm>
#include <limits>

namespace zuno {

std::optional<std::int64_t> readLeadingNumber(QStringView text)
{
    qsizetype i = 0;
    // Blanks before the number are skipped (spaces and tabs, as a hand edit may leave them).
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate as a negative value so that the most negative number still fits.
    std::int64_t value = 0;
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const int digit = text[i].unicode() - u'0';
        if (value < (kMin + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    if (value == kMin)
        return std::nullopt;
    return -value;
}

std::int16_t readStoredPortNumber(QStringView text)
{
    const auto number = readLeadingNumber(text);
    if (!number || !isValidPortNumber(static_cast<int>(std::clamp<std::int64_t>(*number, -1, 16))))
        return 0;
    return static_cast<std::int16_t>(*number);
}

std::optional<int> readTypedNumber(QStringView text)
{
    if (text.isEmpty())
        return std::nullopt;
    // Leading zeros are part of the number ("0007" is 7); the value is checked after every
    // digit, so a long text can neither overflow nor pass.
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 255)
            return std::nullopt;
    }
    return value;
}

} // namespace zuno
