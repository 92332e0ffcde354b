#include "platform/controlsymbols.h"

namespace {

constexpr char16_t kFirstControlSymbol = 0x2400;  // U+2400 to U+241F: NUL to US
constexpr char16_t kDeleteSymbol = 0x2421;
constexpr char16_t kLineFeedSymbol = 0x21B5;
constexpr char16_t kReplacement = 0xFFFD;

constexpr char16_t kNextLine = 0x0085;
constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kParagraphSeparator = 0x2029;

} // namespace

std::optional<char16_t> ControlSymbol(char16_t c)
{
    if (c == u'\n')
        return kLineFeedSymbol;
    if (c < 0x20)
        return char16_t(kFirstControlSymbol + c);
    if (c == 0x7F)
        return kDeleteSymbol;
    return std::nullopt;
}

std::optional<char16_t> ControlOfSymbol(char16_t c)
{
    if (c == kLineFeedSymbol)
        return u'\n';
    if (c >= kFirstControlSymbol && c < kFirstControlSymbol + 0x20)
        return char16_t(c - kFirstControlSymbol);
    if (c == kDeleteSymbol)
        return char16_t(0x7F);
    return std::nullopt;
}

std::u16string OnOneLine(std::u16string_view text)
{
    std::u16string line;
    line.reserve(text.size());
    for (const char16_t c : text) {
        if (const std::optional<char16_t> symbol = ControlSymbol(c))
            line += *symbol;
        else if (c == kNextLine || c == kLineSeparator || c == kParagraphSeparator)
            line += kLineFeedSymbol;
        else if (c >= 0x80 && c < 0xA0)
            line += kReplacement;
        else
            line += c;
    }
    return line;
}
