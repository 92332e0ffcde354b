#include "platform/ini/initext.h"

#include <stdexcept>

namespace {

// Ctrl-Z is a blank too: old editors ended text files with it.
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1A';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view CutAtNul(std::string_view text)
{
    return text.substr(0, text.find('\0'));
}

// A name or value as it counts: trimmed, then cut at a NUL.
std::string_view Field(std::string_view text)
{
    return CutAtNul(Trim(text));
}

char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

std::string_view StripOuterQuotes(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value.remove_prefix(1);
        value.remove_suffix(1);
    }
    return value;
}

bool HasLineBreakOrNul(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsValidKey(std::string_view key)
{
    return !key.empty() && key.find('=') == std::string_view::npos && key.front() != '[' &&
           key.front() != ';';
}

enum class LineKind { Ignored, Section, Entry, BareName };

struct ParsedLine {
    LineKind kind = LineKind::Ignored;
    std::string_view name;   // section or key name as it counts
    std::string_view value;  // an entry's value, trimmed and cut at NUL
    std::size_t valueAt = 0; // where an entry's value starts, after '=' and blanks
};

// Blank lines and comments are Ignored. A line made of a name alone is a key
// without value to the platform's own readers (a '[' without ']' is such a
// line too, though no key can be named so).
ParsedLine ParseLine(std::string_view text)
{
    ParsedLine parsed;
    const std::string_view body = Trim(text);
    if (body.empty() || body.front() == ';')
        return parsed;
    const std::size_t close = body.front() == '[' ? body.rfind(']') : std::string_view::npos;
    const std::size_t equals = body.front() == '[' ? std::string_view::npos : text.find('=');
    if (close != std::string_view::npos) {
        // The last ']' closes the name, so a name may itself hold a ']'.
        parsed.kind = LineKind::Section;
        parsed.name = Field(body.substr(1, close - 1));
    } else if (equals != std::string_view::npos) {
        parsed.kind = LineKind::Entry;
        parsed.name = Field(text.substr(0, equals));
        parsed.value = Field(text.substr(equals + 1));
        parsed.valueAt = equals + 1;
        while (parsed.valueAt < text.size() && (text[parsed.valueAt] == ' ' || text[parsed.valueAt] == '\t'))
            ++parsed.valueAt;
    } else {
        parsed.kind = LineKind::BareName;
        parsed.name = CutAtNul(body);
    }
    return parsed;
}

} // namespace

IniText::IniText(std::string fileBytes)
{
    if (fileBytes.size() > (std::size_t{1} << 30))
        throw std::length_error("settings text too large");
    utf16_ = Utf16OrderMark(fileBytes);
    if (utf16_) {
        const std::string_view units = std::string_view(fileBytes).substr(2);
        if (units.size() % 2 != 0)
            oddByte_ = units.back();
        text_ = Utf8FromUtf16(units.substr(0, units.size() - oddByte_.size()), *utf16_);
    } else {
        text_ = std::move(fileBytes);
        // Editors may start the file with a UTF-8 byte order mark; it is not
        // part of the first line (and stays in the file on writing).
        if (std::string_view(text_).starts_with("\xEF\xBB\xBF"))
            bodyStart_ = 3;
    }
    Index();
}

void IniText::Index()
{
    const std::string_view text = text_;
    std::size_t at = bodyStart_;
    bool sawEnding = false;
    while (at < text.size()) {
        std::size_t textEnd = text.find_first_of("\r\n", at);
        std::size_t end = textEnd;
        if (textEnd == std::string_view::npos) {
            textEnd = end = text.size();
        } else {
            end = textEnd + ((text[textEnd] == '\r' && textEnd + 1 < text.size() && text[textEnd + 1] == '\n') ? 2 : 1);
            if (!sawEnding) {
                newline_ = text.substr(textEnd, end - textEnd);
                sawEnding = true;
            }
        }
        const ParsedLine parsed = ParseLine(text.substr(at, textEnd - at));
        if (parsed.kind != LineKind::Ignored) {
            const Kind kind = parsed.kind == LineKind::Section ? Kind::Section
                              : parsed.kind == LineKind::Entry ? Kind::Entry
                                                               : Kind::BareName;
            lines_.push_back({static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(textEnd),
                              static_cast<std::uint32_t>(end), kind});
        }
        at = end;
    }
}

std::string IniText::FileBytes() const
{
    if (!utf16_)
        return text_;
    // Only text that CanHold accepted was ever added, so this converts.
    const std::string units = Utf16FromUtf8(text_, *utf16_).value_or(std::string());
    const std::string_view mark = *utf16_ == Utf16Order::Little ? "\xFF\xFE" : "\xFE\xFF";
    return std::string(mark) + units + oddByte_;
}

std::string_view IniText::TextOf(const Line& line) const
{
    return std::string_view(text_).substr(line.begin, line.textEnd - line.begin);
}

std::optional<IniText::Span> IniText::FindSection(std::string_view name) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Kind::Section || !SameName(ParseLine(TextOf(lines_[i])).name, name))
            continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && lines_[end].kind != Kind::Section)
            ++end;
        return Span{i, end};
    }
    return std::nullopt;
}

std::optional<std::string> IniText::Find(std::string_view section, std::string_view key,
                                         std::size_t maxLength) const
{
    const std::optional<Span> span = FindSection(Field(section));
    if (!span)
        return std::nullopt;
    key = Field(key);
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
        if (lines_[i].kind != Kind::Entry)
            continue;
        const ParsedLine parsed = ParseLine(TextOf(lines_[i]));
        if (SameName(parsed.name, key))
            return std::string(StripOuterQuotes(parsed.value).substr(0, maxLength));
    }
    return std::nullopt;
}

bool IniText::CanHold(std::string_view text) const
{
    if (HasLineBreakOrNul(text))
        return false;
    return !utf16_ || Utf16FromUtf8(text, *utf16_).has_value();
}

// Replaces length bytes at `at` and moves the lines from firstShifted on.
void IniText::Splice(std::size_t at, std::size_t length, std::string_view replacement, std::size_t firstShifted)
{
    text_.replace(at, length, replacement);
    const auto delta = static_cast<std::uint32_t>(replacement.size() - length); // wraps for shrinking
    for (std::size_t i = firstShifted; i < lines_.size(); ++i) {
        lines_[i].begin += delta;
        lines_[i].textEnd += delta;
        lines_[i].end += delta;
    }
}

bool IniText::LastLineIsBlank() const
{
    std::string_view text = std::string_view(text_).substr(bodyStart_);
    if (text.ends_with("\r\n"))
        text.remove_suffix(2);
    else if (text.ends_with('\n') || text.ends_with('\r'))
        text.remove_suffix(1);
    const std::size_t previousEnd = text.find_last_of("\r\n");
    return Trim(previousEnd == std::string_view::npos ? text : text.substr(previousEnd + 1)).empty();
}

// A missing section goes at the end of the file, after a blank line.
void IniText::Append(std::string_view section, std::string_view key, std::string_view value)
{
    std::string added;
    if (!lines_.empty() || text_.size() > bodyStart_) {
        const bool blank = LastLineIsBlank();
        if (text_.back() != '\n' && text_.back() != '\r')
            added += newline_;
        if (!blank)
            added += newline_;
    }
    const auto headerAt = static_cast<std::uint32_t>(text_.size() + added.size());
    added.append("[").append(section).append("]");
    const auto headerEnd = static_cast<std::uint32_t>(text_.size() + added.size());
    added += newline_;
    const auto entryAt = static_cast<std::uint32_t>(text_.size() + added.size());
    added.append(key).append("=").append(value);
    const auto entryEnd = static_cast<std::uint32_t>(text_.size() + added.size());
    added += newline_;
    text_ += added;
    lines_.push_back({headerAt, headerEnd, entryAt, Kind::Section});
    lines_.push_back({entryAt, entryEnd, static_cast<std::uint32_t>(text_.size()), Kind::Entry});
}

bool IniText::Set(std::string_view section, std::string_view key, std::string_view value)
{
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || !CanHold(section) || !IsValidKey(key) || !CanHold(key) || !CanHold(value))
        return false;

    const std::optional<Span> span = FindSection(section);
    if (!span) {
        Append(section, key, value);
        return true;
    }

    // The line to replace: the key's first entry, or a line that names the
    // key alone when that comes first, since other readers take that bare
    // line as the key and would never see a value written after it.
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
        Line& line = lines_[i];
        const ParsedLine parsed = ParseLine(TextOf(line));
        if (!SameName(parsed.name, key))
            continue;
        const std::uint32_t endingLength = line.end - line.textEnd;
        if (line.kind == Kind::Entry) {
            const std::size_t valueAt = line.begin + parsed.valueAt;
            Splice(valueAt, line.textEnd - valueAt, value, i + 1);
            line.textEnd = static_cast<std::uint32_t>(valueAt + value.size());
        } else {
            // A bare key keeps its spelling and indentation and gets its '='.
            std::string_view name = TextOf(line);
            while (!name.empty() && IsBlank(name.back()))
                name.remove_suffix(1);
            const std::size_t nameEnd = line.begin + name.size();
            const std::string entry = "=" + std::string(value);
            Splice(nameEnd, line.textEnd - nameEnd, entry, i + 1);
            line.textEnd = static_cast<std::uint32_t>(nameEnd + entry.size());
            line.kind = Kind::Entry;
        }
        line.end = line.textEnd + endingLength;
        return true;
    }

    // A new key goes after the section's last line that is neither blank nor
    // a comment, so that blank lines and comments leading into the next
    // section stay in front of it.
    Line& last = lines_[span->end - 1];
    if (last.end == last.textEnd) {
        // The file's last line had no ending: it gets one first.
        Splice(last.end, 0, newline_, span->end);
        last.end += static_cast<std::uint32_t>(newline_.size());
    }
    const std::size_t insertAt = last.end;
    const std::string added = std::string(key) + "=" + std::string(value) + newline_;
    const std::size_t entryAt = insertAt;
    const std::size_t entryEnd = insertAt + added.size() - newline_.size();
    Splice(insertAt, 0, added, span->end);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(span->end),
                  Line{static_cast<std::uint32_t>(entryAt), static_cast<std::uint32_t>(entryEnd),
                       static_cast<std::uint32_t>(insertAt + added.size()), Kind::Entry});
    return true;
}
