#include "platform/ini/utf16text.h"

#include <cstdint>

namespace {

void AppendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendUnit(std::string& out, char16_t unit, Utf16Order order)
{
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    if (order == Utf16Order::Little) {
        out += low;
        out += high;
    } else {
        out += high;
        out += low;
    }
}

bool IsHighSurrogate(char32_t code) { return code >= 0xD800 && code <= 0xDBFF; }
bool IsLowSurrogate(char32_t code) { return code >= 0xDC00 && code <= 0xDFFF; }

// The code point of the UTF-8 sequence at the start of text and its length;
// surrogates are let through on their own. Length 0 when text starts with
// anything else.
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t length = 0;
    char32_t code = 0, least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return {0, 0};
    }
    if (text.size() < length)
        return {0, 0};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return {0, 0};
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF)
        return {0, 0};
    return {code, length};
}

} // namespace

std::optional<Utf16Order> Utf16OrderMark(std::string_view bytes)
{
    if (bytes.starts_with("\xFF\xFE"))
        return Utf16Order::Little;
    if (bytes.starts_with("\xFE\xFF"))
        return Utf16Order::Big;
    return std::nullopt;
}

std::string Utf8FromUtf16(std::string_view bytes, Utf16Order order)
{
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        return order == Utf16Order::Little ? (second << 8 | first) : (first << 8 | second);
    };
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t code = unit(i);
        if (IsHighSurrogate(code) && i + 1 < units && IsLowSurrogate(unit(i + 1))) {
            AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, code);
        }
    }
    return out;
}

std::optional<std::string> Utf16FromUtf8(std::string_view text, Utf16Order order)
{
    std::string out;
    out.reserve(text.size() * 2);
    while (!text.empty()) {
        const auto [code, length] = DecodeUtf8(text);
        if (length == 0)
            return std::nullopt;
        if (code >= 0x10000) {
            AppendUnit(out, static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)), order);
            AppendUnit(out, static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)), order);
        } else {
            AppendUnit(out, static_cast<char16_t>(code), order);
        }
        text.remove_prefix(length);
    }
    return out;
}
