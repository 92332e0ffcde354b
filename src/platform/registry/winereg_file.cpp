#include "platform/registry/winereg_file.h"

#include "platform/int32text.h"

#include "platform/registry/registry_error.h"
#include "platform/registry/winereg_strings.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::string_view HeaderLine = "WINE REGISTRY Version 2";
constexpr std::uint32_t TypeString = 1;
constexpr std::uint32_t TypeExpandString = 2;
constexpr std::uint32_t TypeBinary = 3;
constexpr std::uint32_t TypeDword = 4;
constexpr std::uint32_t TypeMultiString = 7;

// Seconds between 1601-01-01 (the registry's epoch) and 1970-01-01, in the
// registry's 100-nanosecond ticks.
constexpr std::uint64_t EpochDifferenceTicks = 116444736000000000ULL;

struct Line {
    std::size_t begin;
    std::size_t contentEnd; // before "\n" or "\r\n"
    std::size_t next;       // after the line end
};

std::vector<Line> SplitLines(const std::string& text)
{
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t newline = text.find('\n', begin);
        std::size_t next = newline == std::string::npos ? text.size() : newline + 1;
        std::size_t contentEnd = newline == std::string::npos ? text.size() : newline;
        if (contentEnd > begin && text[contentEnd - 1] == '\r')
            --contentEnd;
        lines.push_back({begin, contentEnd, next});
        begin = next;
    }
    return lines;
}

// A line that cannot be read, like Wine we skip it. `lastLine` is the last
// line the failed item took (a value continued over several lines).
struct UnreadableLine {
    std::size_t lastLine;
};

[[noreturn]] void Fail(std::size_t lineIndex, const char* /*why*/)
{
    throw UnreadableLine{lineIndex};
}

std::size_t SkipBlanks(std::string_view s, std::size_t p)
{
    while (p < s.size() && (s[p] == ' ' || s[p] == '\t'))
        ++p;
    return p;
}

bool OnlyBlanksFrom(std::string_view s, std::size_t p) { return SkipBlanks(s, p) == s.size(); }

bool HasAt(std::string_view s, std::size_t p, std::string_view prefix)
{
    return s.substr(std::min(p, s.size())).starts_with(prefix);
}

// One to `maxDigits` hex digits at `p`.
std::optional<std::uint32_t> ReadHexNumber(std::string_view s, std::size_t& p, int maxDigits)
{
    std::uint32_t value = 0;
    int digits = 0;
    while (p < s.size() && HexDigitValue(s[p]) >= 0) {
        if (++digits > maxDigits)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(HexDigitValue(s[p++]));
    }
    if (digits == 0)
        return std::nullopt;
    return value;
}

// Reads comma-separated hex bytes, following lines continued by a trailing
// backslash. `lineIndex` moves to the value's last line.
std::vector<std::uint8_t> ReadHexBytes(const std::string& text, const std::vector<Line>& lines,
                                       std::size_t& lineIndex, std::size_t pos)
{
    std::vector<std::uint8_t> bytes;
    std::string_view content(text.data() + lines[lineIndex].begin,
                             lines[lineIndex].contentEnd - lines[lineIndex].begin);
    for (;;) {
        while (pos < content.size() && (content[pos] == ',' || content[pos] == ' ' || content[pos] == '\t'))
            ++pos;
        if (pos == content.size())
            return bytes;
        if (content[pos] == '\\') {
            if (!OnlyBlanksFrom(content, pos + 1))
                Fail(lineIndex, "unexpected text after a line continuation");
            if (++lineIndex >= lines.size())
                Fail(lineIndex - 1, "binary data is cut off at the end of the file");
            content = std::string_view(text.data() + lines[lineIndex].begin,
                                       lines[lineIndex].contentEnd - lines[lineIndex].begin);
            pos = 0;
            continue;
        }
        const int high = HexDigitValue(content[pos]);
        if (high < 0)
            Fail(lineIndex, "bad character in binary data");
        ++pos;
        int value = high;
        if (pos < content.size() && HexDigitValue(content[pos]) >= 0)
            value = value * 16 + HexDigitValue(content[pos++]);
        if (pos < content.size() && content[pos] != ',' && content[pos] != ' ' && content[pos] != '\t'
            && content[pos] != '\\')
            Fail(lineIndex, "bad byte in binary data");
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
}

// Parses the data part of a value line, starting at `pos` (just after '=').
void ReadValueData(const std::string& text, const std::vector<Line>& lines, std::size_t& lineIndex,
                   std::size_t pos, WineRegFile::Value& value)
{
    std::string_view content(text.data() + lines[lineIndex].begin,
                             lines[lineIndex].contentEnd - lines[lineIndex].begin);
    auto readString = [&](std::uint32_t type, std::size_t quote) {
        std::size_t p = quote + 1;
        auto parsed = ParseEscapedString(content, p, '"');
        if (!parsed)
            Fail(lineIndex, "string value without closing quote");
        if (!OnlyBlanksFrom(content, p))
            Fail(lineIndex, "unexpected text after a string value");
        value.type = type;
        parsed->push_back(u'\0');
        value.data = ToUtf16LeBytes(*parsed);
    };

    if (HasAt(content, pos, "\"")) {
        readString(TypeString, pos);
    } else if (HasAt(content, pos, "str:\"")) {
        readString(TypeString, pos + 4);
    } else if (HasAt(content, pos, "str(")) {
        std::size_t p = pos + 4;
        auto type = ReadHexNumber(content, p, 8);
        if (!type || !HasAt(content, p, "):\""))
            Fail(lineIndex, "bad string type");
        readString(*type, p + 2);
    } else if (HasAt(content, pos, "dword:")) {
        std::size_t p = pos + 6;
        auto number = ReadHexNumber(content, p, 8);
        if (!number || !OnlyBlanksFrom(content, p))
            Fail(lineIndex, "bad dword value");
        value.type = TypeDword;
        value.data = {static_cast<std::uint8_t>(*number), static_cast<std::uint8_t>(*number >> 8),
                      static_cast<std::uint8_t>(*number >> 16), static_cast<std::uint8_t>(*number >> 24)};
    } else if (HasAt(content, pos, "hex:")) {
        value.type = TypeBinary;
        value.data = ReadHexBytes(text, lines, lineIndex, pos + 4);
    } else if (HasAt(content, pos, "hex(")) {
        std::size_t p = pos + 4;
        auto type = ReadHexNumber(content, p, 8);
        if (!type || !HasAt(content, p, "):"))
            Fail(lineIndex, "bad binary type");
        value.type = *type;
        value.data = ReadHexBytes(text, lines, lineIndex, p + 2);
    } else {
        Fail(lineIndex, "unknown value type");
    }
}

std::vector<std::u16string> SplitKeyPath(std::u16string_view path)
{
    std::vector<std::u16string> components;
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t separator = path.find(u'\\', begin);
        if (separator == std::u16string_view::npos)
            separator = path.size();
        if (separator > begin)
            components.emplace_back(path.substr(begin, separator - begin));
        begin = separator + 1;
    }
    return components;
}

std::uint64_t RegistryTicks(std::chrono::system_clock::time_point now)
{
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
    const auto sinceUnixEpoch = std::chrono::duration_cast<Ticks>(now.time_since_epoch()).count();
    return EpochDifferenceTicks + static_cast<std::uint64_t>(std::max<std::int64_t>(sinceUnixEpoch, 0));
}

std::string SecondsText(std::chrono::system_clock::time_point now)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    return std::to_string(std::max<std::int64_t>(seconds, 0));
}

std::string TimeLineText(std::chrono::system_clock::time_point now)
{
    const std::uint64_t ticks = RegistryTicks(now);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "#time=%x%08x", static_cast<unsigned>(ticks >> 32),
                  static_cast<unsigned>(ticks & 0xFFFFFFFFu));
    return buffer;
}

} // namespace

WineRegFile::WineRegFile() = default;
WineRegFile::WineRegFile(WineRegFile&&) noexcept = default;

WineRegFile& WineRegFile::operator=(WineRegFile&& other) noexcept
{
    if (this != &other) {
        Dismantle(root_);
        text_ = std::move(other.text_);
        win64_ = other.win64_;
        crlf_ = other.crlf_;
        root_ = std::move(other.root_);
        sections_ = std::move(other.sections_);
    }
    return *this;
}

WineRegFile::~WineRegFile() { Dismantle(root_); }

void WineRegFile::Dismantle(Node& root) noexcept
{
    // A damaged or hostile file can nest keys deeper than the stack would
    // allow the nodes' own destructors to recurse, so the tree is taken apart
    // one level at a time.
    std::vector<std::unique_ptr<Node>> pending;
    for (auto& [folded, child] : root.children)
        pending.push_back(std::move(child));
    root.children.clear();
    while (!pending.empty()) {
        std::unique_ptr<Node> node = std::move(pending.back());
        pending.pop_back();
        for (auto& [folded, child] : node->children)
            pending.push_back(std::move(child));
        node->children.clear();
    }
}

WineRegFile WineRegFile::Parse(std::string text)
{
    WineRegFile file;
    file.text_ = std::move(text);
    const std::string& t = file.text_;
    if (t.empty())
        return file;

    const std::vector<Line> lines = SplitLines(t);
    auto contentOf = [&](std::size_t index) {
        return std::string_view(t.data() + lines[index].begin, lines[index].contentEnd - lines[index].begin);
    };
    if (contentOf(0) != HeaderLine)
        throw RegistryError("not a Wine registry file (unknown header line)");
    file.crlf_ = lines[0].next - lines[0].contentEnd == 2;

    // Like Wine, a line that cannot be read is skipped and the rest of the
    // file still counts; its bytes stay in the text, so writes keep them.
    // After a damaged key line its values belong to no key, as in Wine.
    Section* section = nullptr;
    bool afterDamagedKey = false;
    for (std::size_t index = 1; index < lines.size(); ++index) {
        const std::string_view content = contentOf(index);
        const std::size_t start = SkipBlanks(content, 0);
        if (start == content.size() || content[start] == ';')
            continue;
        try {
            // Blocks of zeros are what a crash mid-write leaves behind.
            if (content.find('\0') != std::string_view::npos)
                Fail(index, "NUL bytes");
            switch (content[start]) {
            case '[':
                section = nullptr;
                afterDamagedKey = true;
                section = file.ReadKeyLine(content, start, lines[index].begin, lines[index].contentEnd,
                                           lines[index].next);
                if (section == nullptr)
                    Fail(index, "key name without closing bracket");
                afterDamagedKey = false;
                break;
            case '#':
                if (section == nullptr) {
                    if (afterDamagedKey)
                        break;
                    if (content.substr(start) == "#arch=win64")
                        file.win64_ = true;
                    else if (content.substr(start) == "#arch=win32")
                        file.win64_ = false;
                } else {
                    if (content.substr(start).starts_with("#time="))
                        section->timeLine = std::make_pair(lines[index].begin, lines[index].contentEnd);
                    section->contentEnd = lines[index].next;
                }
                break;
            case '@':
            case '"': {
                if (section == nullptr)
                    Fail(index, "value outside of any key");
                Value value;
                value.begin = lines[index].begin;
                std::size_t pos = start + 1;
                if (content[start] == '"') {
                    auto name = ParseEscapedString(content, pos, '"');
                    if (!name)
                        Fail(index, "value name without closing quote");
                    value.name = std::move(*name);
                }
                pos = SkipBlanks(content, pos);
                if (pos >= content.size() || content[pos] != '=')
                    Fail(index, "value without '='");
                pos = SkipBlanks(content, pos + 1);
                ReadValueData(t, lines, index, pos, value);
                value.end = lines[index].next;
                section->contentEnd = lines[index].next;
                section->values.push_back(std::move(value));
                break;
            }
            default:
                Fail(index, "unrecognised line");
            }
        } catch (const UnreadableLine& unreadable) {
            index = unreadable.lastLine;
            ++file.unreadLines_;
        }
    }
    return file;
}

WineRegFile::Section* WineRegFile::ReadKeyLine(std::string_view content, std::size_t start, std::size_t lineBegin,
                                               std::size_t contentEnd, std::size_t next)
{
    std::size_t pos = start + 1;
    auto path = ParseEscapedString(content, pos, ']');
    if (!path)
        return nullptr;
    // Wine reads an optional time stamp after the bracket and ignores
    // anything else there; a write replaces that part of the line.
    Node* node = &root_;
    for (std::u16string& component : SplitKeyPath(*path)) {
        auto [it, inserted] = node->children.try_emplace(FoldName(component));
        if (inserted) {
            it->second = std::make_unique<Node>();
            it->second->name = std::move(component);
        }
        node = it->second.get();
    }
    node->sections.push_back(sections_.size());
    Section& added = sections_.emplace_back();
    added.lineBegin = lineBegin;
    added.tailBegin = lineBegin + pos;
    added.lineEnd = contentEnd;
    added.contentEnd = next;
    return &added;
}

const WineRegFile::Node* WineRegFile::FindKey(const std::vector<std::u16string>& path) const
{
    const Node* node = &root_;
    for (const std::u16string& component : path) {
        auto it = node->children.find(FoldName(component));
        if (it == node->children.end())
            return nullptr;
        node = it->second.get();
    }
    return node;
}

std::vector<std::u16string> WineRegFile::SubkeyNames(const Node& key) const
{
    std::vector<std::u16string> names;
    names.reserve(key.children.size());
    for (const auto& [folded, child] : key.children)
        names.push_back(child->name);
    return names;
}

const WineRegFile::Value* WineRegFile::FindValue(const Node& key, std::u16string_view name) const
{
    return FindValueIn(key, name, nullptr);
}

const WineRegFile::Value* WineRegFile::FindValueIn(const Node& key, std::u16string_view name,
                                                   const Section** foundIn) const
{
    const std::u16string folded = FoldName(name);
    for (auto section = key.sections.rbegin(); section != key.sections.rend(); ++section) {
        const std::vector<Value>& values = sections_[*section].values;
        for (auto value = values.rbegin(); value != values.rend(); ++value) {
            if (value->name.size() == folded.size() && FoldName(value->name) == folded) {
                if (foundIn != nullptr)
                    *foundIn = &sections_[*section];
                return &*value;
            }
        }
    }
    return nullptr;
}

std::optional<std::string> WineRegFile::TextWithValue(const std::vector<std::u16string>& path,
                                                      std::u16string_view name, std::uint32_t type,
                                                      const std::vector<std::uint8_t>& data,
                                                      std::chrono::system_clock::time_point now) const
{
    if (text_.empty())
        throw RegistryError("the registry file is empty");
    const Node* key = FindKey(path);
    if (key == nullptr)
        throw RegistryError("the registry key does not exist");

    std::vector<Edit> edits;
    if (key->sections.empty()) {
        // A key known only from its subkeys gets its own section, placed
        // before its first subkey's, where Wine would write it.
        std::string keyLine = "[";
        const Node* node = &root_;
        for (std::size_t i = 0; i < path.size(); ++i) {
            node = node->children.at(FoldName(path[i])).get();
            if (i > 0)
                keyLine += "\\\\";
            keyLine += EscapeString(node->name, "[]");
        }
        keyLine += "] " + SecondsText(now) + "\n" + TimeLineText(now) + "\n";
        const std::string newSection = keyLine + FormatWineRegValue(name, type, data);
        if (auto below = FirstSectionBelow(*key))
            edits.push_back({sections_[*below].lineBegin, sections_[*below].lineBegin, newSection + "\n", true});
        else
            edits.push_back({text_.size(), text_.size(), "\n" + newSection, true});
        return ApplyEdits(std::move(edits));
    }

    // Change the value where it is found; a new value goes into the key's
    // last section, in name order among the values there.
    const std::u16string folded = FoldName(name);
    const Section* section = &sections_[key->sections.back()];
    const Value* existing = FindValueIn(*key, name, &section);
    if (existing != nullptr) {
        if (existing->type == type && existing->data == data)
            return std::nullopt;
        edits.push_back({existing->begin, existing->end, FormatWineRegValue(existing->name, type, data)});
    } else {
        std::size_t insertAt = section->contentEnd;
        for (const Value& value : section->values) {
            if (FoldName(value.name) > folded) {
                insertAt = value.begin;
                break;
            }
        }
        edits.push_back({insertAt, insertAt, FormatWineRegValue(name, type, data), true});
    }
    edits.push_back({section->tailBegin, section->lineEnd, " " + SecondsText(now)});
    if (section->timeLine)
        edits.push_back({section->timeLine->first, section->timeLine->second, TimeLineText(now)});
    return ApplyEdits(std::move(edits));
}

std::string WineRegFile::LineEnd() const { return crlf_ ? "\r\n" : "\n"; }

std::string WineRegFile::ApplyEdits(std::vector<Edit> edits) const
{
    // At one position, a change within the line comes before lines inserted
    // after it: a key line at the very end gets its time stamp first.
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
        return a.begin != b.begin ? a.begin < b.begin : !a.wholeLines && b.wholeLines;
    });
    std::string result;
    std::size_t extra = 0;
    for (const Edit& edit : edits)
        extra += edit.replacement.size() * 2 + 2;
    result.reserve(text_.size() + extra);
    std::size_t copied = 0;
    for (Edit& edit : edits) {
        result.append(text_, copied, edit.begin - copied);
        // Lines added after a last line without a line end first end it; a
        // lone CR there is the first half of a CR LF.
        if (edit.wholeLines && edit.begin == text_.size() && !text_.empty() && text_.back() != '\n')
            result += text_.back() == '\r' ? std::string("\n") : LineEnd();
        if (crlf_) {
            for (char c : edit.replacement) {
                if (c == '\n')
                    result += '\r';
                result += c;
            }
        } else {
            result += edit.replacement;
        }
        copied = edit.end;
    }
    result.append(text_, copied, std::string::npos);
    return result;
}

std::optional<std::size_t> WineRegFile::FirstSectionBelow(const Node& key) const
{
    std::optional<std::size_t> first;
    std::vector<const Node*> pending{&key};
    while (!pending.empty()) {
        const Node* node = pending.back();
        pending.pop_back();
        if (!node->sections.empty() && (!first || node->sections.front() < *first))
            first = node->sections.front();
        for (const auto& [folded, child] : node->children)
            pending.push_back(child.get());
    }
    return first;
}

std::string FormatWineRegValue(std::u16string_view name, std::uint32_t type,
                               const std::vector<std::uint8_t>& data)
{
    std::string line = name.empty() ? "@=" : "\"" + EscapeString(name, "\"\"") + "\"=";
    char buffer[24];

    const bool stringType = type == TypeString || type == TypeExpandString || type == TypeMultiString;
    // Only a properly terminated string is written in string form.
    if (stringType && data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0
        && data[data.size() - 2] == 0) {
        std::u16string text = FromUtf16LeBytes(data);
        text.pop_back();
        if (type != TypeString) {
            std::snprintf(buffer, sizeof buffer, "str(%x):", static_cast<unsigned>(type));
            line += buffer;
        }
        return line + "\"" + EscapeString(text, "\"\"") + "\"\n";
    }
    if (type == TypeDword && data.size() == 4) {
        const unsigned number = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<unsigned>(data[3]) << 24);
        std::snprintf(buffer, sizeof buffer, "dword:%08x\n", number);
        return line + buffer;
    }

    if (type == TypeBinary) {
        line += "hex:";
    } else {
        std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(type));
        line += buffer;
    }
    // Long data wraps after about 76 columns, continued by a backslash.
    std::size_t column = line.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", data[i]);
        line += buffer;
        column += 2;
        if (i + 1 < data.size()) {
            line += ',';
            if (++column > 76) {
                line += "\\\n  ";
                column = 2;
            }
        }
    }
    return line + "\n";
}
