#include "platform/registry/winereg_strings.h"

#include <cstdio>

namespace {

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c - 'A' + 10;
}

bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

// Decodes one UTF-8 sequence whose lead byte is at `pos`. Returns false (and
// consumes only the lead byte) for an invalid sequence.
bool DecodeUtf8(std::string_view line, std::size_t& pos, char32_t& codePoint)
{
    const auto lead = static_cast<unsigned char>(line[pos++]);
    int length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 1;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 2;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 3;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return false;
    }
    std::size_t next = pos;
    for (int i = 0; i < length; ++i, ++next) {
        if (next >= line.size())
            return false;
        const auto byte = static_cast<unsigned char>(line[next]);
        if ((byte & 0xC0) != 0x80)
            return false;
        value = (value << 6) | (byte & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF)
        return false;
    pos = next;
    codePoint = value;
    return true;
}

void AppendCodePoint(std::u16string& out, char32_t codePoint)
{
    if (codePoint <= 0xFFFF) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 | (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 | (codePoint & 0x3FF)));
}

char16_t FoldUnit(char16_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 0x20) : c;
    // Latin-1 capitals, except the multiplication sign.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A: capital and small letters alternate; the runs
        // that start on an odd code point are 0x139..0x148 and 0x179..0x17E.
        if (c == 0x130)
            return u'i';
        if (c == 0x178)
            return 0xFF;
        const bool oddRun = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        const bool noPartner = c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F;
        if (noPartner)
            return c;
        const bool isCapital = oddRun ? (c % 2 == 1) : (c % 2 == 0);
        return isCapital ? static_cast<char16_t>(c + 1) : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 0x20;
    if (c == 0x386)
        return 0x3AC;
    if (c >= 0x388 && c <= 0x38A)
        return c + 0x25;
    if (c == 0x38C)
        return 0x3CC;
    if (c == 0x38E || c == 0x38F)
        return c + 0x3F;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    return c;
}

} // namespace

std::optional<std::u16string> ParseEscapedString(std::string_view line, std::size_t& pos,
                                                 char endChar)
{
    std::u16string text;
    std::size_t p = pos;
    while (p < line.size() && line[p] != endChar) {
        if (line[p] == '\\') {
            ++p;
            if (p >= line.size())
                return std::nullopt;
            const char escape = line[p];
            char16_t simple = 0;
            switch (escape) {
            case 'a': simple = u'\a'; break;
            case 'b': simple = u'\b'; break;
            case 'e': simple = 0x1B; break;
            case 'f': simple = u'\f'; break;
            case 'n': simple = u'\n'; break;
            case 'r': simple = u'\r'; break;
            case 't': simple = u'\t'; break;
            case 'v': simple = u'\v'; break;
            default: break;
            }
            if (simple != 0) {
                text.push_back(simple);
                ++p;
                continue;
            }
            if (escape == 'x') {
                ++p;
                if (p >= line.size() || !IsHexDigit(line[p])) {
                    text.push_back(u'x');
                    continue;
                }
                unsigned value = 0;
                for (int digits = 0; digits < 4 && p < line.size() && IsHexDigit(line[p]); ++digits)
                    value = value * 16 + HexValue(line[p++]);
                text.push_back(static_cast<char16_t>(value));
                continue;
            }
            if (IsOctalDigit(escape)) {
                unsigned value = 0;
                for (int digits = 0; digits < 3 && p < line.size() && IsOctalDigit(line[p]); ++digits)
                    value = value * 8 + (line[p++] - '0');
                text.push_back(static_cast<char16_t>(value));
                continue;
            }
            // Any other escaped character stands for itself, the end
            // character included.
        }
        const auto byte = static_cast<unsigned char>(line[p]);
        if (byte < 0x80) {
            text.push_back(byte);
            ++p;
            continue;
        }
        char32_t codePoint = 0;
        if (DecodeUtf8(line, p, codePoint))
            AppendCodePoint(text, codePoint);
    }
    if (p >= line.size())
        return std::nullopt;
    pos = p + 1;
    return text;
}

std::string EscapeString(std::u16string_view text, std::string_view escaped)
{
    static constexpr std::string_view namedEscapes = ".......abtnvfr.............e....";
    std::string out;
    out.reserve(text.size());
    char buffer[16];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool hasNext = i + 1 < text.size();
        if (c > 127) {
            // A following hex digit would be read as part of a short escape.
            const bool nextIsHex = hasNext && text[i + 1] < 128 && IsHexDigit(static_cast<char>(text[i + 1]));
            std::snprintf(buffer, sizeof buffer, nextIsHex ? "\\x%04x" : "\\x%x", unsigned{c});
            out += buffer;
            continue;
        }
        if (c < 32) {
            if (namedEscapes[c] != '.') {
                out += '\\';
                out += namedEscapes[c];
            } else {
                const bool nextIsOctal = hasNext && text[i + 1] >= u'0' && text[i + 1] <= u'7';
                std::snprintf(buffer, sizeof buffer, nextIsOctal ? "\\%03o" : "\\%o", unsigned{c});
                out += buffer;
            }
            continue;
        }
        const char ascii = static_cast<char>(c);
        if (ascii == '\\' || escaped.find(ascii) != std::string_view::npos)
            out += '\\';
        out += ascii;
    }
    return out;
}

std::u16string FoldName(std::u16string_view name)
{
    std::u16string folded(name);
    for (char16_t& c : folded)
        c = FoldUnit(c);
    return folded;
}

std::vector<std::uint8_t> ToUtf16LeBytes(std::u16string_view text)
{
    std::vector<std::uint8_t> data;
    data.reserve(text.size() * 2);
    for (char16_t c : text) {
        data.push_back(static_cast<std::uint8_t>(c & 0xFF));
        data.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return data;
}

std::u16string FromUtf16LeBytes(const std::vector<std::uint8_t>& data)
{
    std::u16string text;
    text.reserve(data.size() / 2);
    for (std::size_t i = 0; i + 1 < data.size(); i += 2)
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    return text;
}
