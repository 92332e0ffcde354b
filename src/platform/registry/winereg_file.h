#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/*
 * One registry file of a Wine prefix ("system.reg" or "user.reg"), parsed
 * into keys and values while its text is kept as it was read, so that a
 * change rewrites only the lines it concerns.
 *
 * The format: a header line "WINE REGISTRY Version 2", comments starting
 * with ';', an optional "#arch=win32|win64" line, then one section per key:
 *
 *   [Software\\Maker\\Game] 1700000000
 *   #time=1da1234567890ab
 *   "Text"="escaped \"string\""
 *   "Path"=str(2):"%ProgramFiles%\\Game"
 *   "Flags"=dword:00000001
 *   "Blob"=hex:01,02,03,\
 *     04,05
 *   @="default value"
 *
 * Keys that have subkeys but no values are usually not written; they exist
 * because a longer path names them.
 */
class WineRegFile {
public:
    struct Value {
        std::u16string name;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data; // as the registry stores it (strings in UTF-16LE)
        std::size_t begin = 0;          // byte range of the value's lines, line ends included
        std::size_t end = 0;
    };

    struct Section {
        std::size_t lineBegin = 0;   // start of the "[...]" line
        std::size_t tailBegin = 0;   // just after the closing bracket
        std::size_t lineEnd = 0;     // end of the line's content, before its line end
        std::optional<std::pair<std::size_t, std::size_t>> timeLine; // "#time=" content range
        std::size_t contentEnd = 0;  // after the last non-blank line of the section
        std::vector<Value> values;
    };

    struct Node {
        std::u16string name;
        std::map<std::u16string, std::unique_ptr<Node>> children; // by folded name
        std::vector<std::size_t> sections;                        // in file order
    };

    // An empty registry, as a missing file reads.
    WineRegFile();
    WineRegFile(WineRegFile&&) noexcept;
    WineRegFile& operator=(WineRegFile&&) noexcept;
    ~WineRegFile();

    // Reads a registry file as Wine does: a line that cannot be read (an
    // unknown line, a truncated value, a NUL byte, a value after a damaged
    // key line) is skipped and counted, and stays in the text as it was.
    // Throws RegistryError only when the text is not a registry file at all
    // (its first line is not the header).
    static WineRegFile Parse(std::string text);

    const std::string& Text() const { return text_; }
    // How many lines (or values spread over several lines) were skipped.
    std::size_t UnreadLines() const { return unreadLines_; }
    bool IsWin64() const { return win64_; }

    // The key at `path` (components in any letter case), or nullptr.
    const Node* FindKey(const std::vector<std::u16string>& path) const;

    // Subkey names of a key in the registry's enumeration order.
    std::vector<std::u16string> SubkeyNames(const Node& key) const;

    // A value of a key by name (any letter case; "" is the default value).
    // When a file repeats a name, the last occurrence counts, as it does
    // when Wine loads the file.
    const Value* FindValue(const Node& key, std::u16string_view name) const;

    // The file's text with one value set, and the key's time stamps moved to
    // `now`; nothing when the value already holds exactly this data. Throws
    // RegistryError when the key does not exist or the file is empty.
    std::optional<std::string> TextWithValue(const std::vector<std::u16string>& path,
                                             std::u16string_view name, std::uint32_t type,
                                             const std::vector<std::uint8_t>& data,
                                             std::chrono::system_clock::time_point now) const;

private:
    struct Edit {
        std::size_t begin;
        std::size_t end;
        std::string replacement;
        bool wholeLines = false; // inserts lines of its own, rather than changing a line
    };

    Section* ReadKeyLine(std::string_view content, std::size_t start, std::size_t lineBegin,
                         std::size_t contentEnd, std::size_t next);

    static void Dismantle(Node& root) noexcept;
    const Value* FindValueIn(const Node& key, std::u16string_view name, const Section** foundIn) const;
    std::string LineEnd() const;
    std::string ApplyEdits(std::vector<Edit> edits) const;
    std::u16string PathOf(const std::vector<std::u16string>& path) const;
    std::optional<std::size_t> FirstSectionBelow(const Node& key) const;

    std::string text_;
    bool win64_ = false;
    bool crlf_ = false;
    std::size_t unreadLines_ = 0;
    Node root_;
    std::vector<Section> sections_;
};

// The text of one value line (or lines, for long binary data) as Wine
// writes it, ending in "\n".
std::string FormatWineRegValue(std::u16string_view name, std::uint32_t type,
                               const std::vector<std::uint8_t>& data);
