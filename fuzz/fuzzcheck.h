#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zuno::fuzz {

// A broken property ends the run the way a crash does, so libFuzzer keeps the input.
inline void require(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken property: %s\n", property);
    std::abort();
}

// The ways a text from the store or a text box can reach the readers: the bytes as UTF-8 and
// as Latin-1, and the bytes taken in pairs as UTF-16 code units (lone surrogates included).
inline std::vector<QString> textsFrom(const std::uint8_t* data, std::size_t size)
{
    const auto* chars = reinterpret_cast<const char*>(data);
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    return {QString::fromUtf8(chars, qsizetype(size)), QString::fromLatin1(chars, qsizetype(size)),
            QString::fromUtf16(units.data(), qsizetype(units.size()))};
}

} // namespace zuno::fuzz
