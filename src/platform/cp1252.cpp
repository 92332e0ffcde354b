#include "platform/cp1252.h"

#include <array>

namespace {

// Unicode code points of the bytes 0x80..0x9F; the rest of the code page
// equals Latin-1.
constexpr std::array<char16_t, 32> HighControlRange{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

char EncodeUnit(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return static_cast<char>(unit);
    for (std::size_t i = 0; i < HighControlRange.size(); ++i) {
        if (HighControlRange[i] == unit)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

std::u16string Cp1252ToUtf16(std::string_view text)
{
    std::u16string result;
    result.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte < 0xA0)
            result.push_back(HighControlRange[byte - 0x80]);
        else
            result.push_back(static_cast<char16_t>(byte));
    }
    return result;
}

std::string Utf16ToCp1252(std::u16string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            result.push_back('?');
            ++i;
            continue;
        }
        result.push_back(EncodeUnit(text[i]));
    }
    return result;
}
