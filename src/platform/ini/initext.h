#pragma once

// The text of a settings file in memory, parsed once: an index of its
// section headers and entries is made in one pass, values are looked up and
// changed there, and the whole text is turned back into the file's bytes.
// Lookups and changes take time linear in the file's size, and the index
// holds nothing for blank lines and comments.
//
// The file is read the way the platform's own profile functions read it:
// * a line ends at CR LF, at LF and at a lone CR;
// * blanks (space, tab, VT, FF and Ctrl-Z) around names and values do not
//   count; a NUL ends a name or value (the line itself goes on);
// * text with a UTF-16 byte order mark (either byte order) is UTF-16 and is
//   worked on as UTF-8; other text is 8-bit and its bytes are taken as they
//   are (a UTF-8 byte order mark is skipped).
// The other rules are those described for IniFile (see platform/inifile.h).

#include "platform/ini/utf16text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniText {
public:
    // An empty file.
    IniText() = default;

    // The text of a file's bytes. Text larger than 1 GiB is not supported.
    explicit IniText(std::string fileBytes);

    // The file's bytes: unchanged parts as they were, in the file's encoding.
    std::string FileBytes() const;

    // The value of section/key: blanks around it, anything from a NUL on, and
    // then one pair of quotes around it removed, cut to maxLength bytes. None
    // when the section or the key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key,
                                    std::size_t maxLength) const;

    // Whether text can stand in this file as a name or value: no line break,
    // no NUL, and for a UTF-16 file well-formed UTF-8.
    bool CanHold(std::string_view text) const;

    // Stores value under section/key (see IniFile::WriteString). Returns false,
    // changing nothing, when one of them cannot be stored: CanHold fails, the
    // section or key is empty, or the key holds '=' or starts with '[' or ';'.
    bool Set(std::string_view section, std::string_view key, std::string_view value);

private:
    enum class Kind : std::uint8_t { Section, Entry, BareName };
    // A line that is neither blank nor a comment: where it lies in text_.
    struct Line {
        std::uint32_t begin;
        std::uint32_t textEnd; // where its line ending starts
        std::uint32_t end;     // after its line ending
        Kind kind;
    };
    struct Span {
        std::size_t header; // index of the section's header in lines_
        std::size_t end;    // index of the next header, or lines_.size()
    };

    void Index();
    std::string_view TextOf(const Line& line) const;
    std::optional<Span> FindSection(std::string_view name) const;
    void Splice(std::size_t at, std::size_t length, std::string_view replacement, std::size_t firstShifted);
    void Append(std::string_view section, std::string_view key, std::string_view value);
    bool LastLineIsBlank() const;

    std::string text_;             // 8-bit text, or UTF-8 for a UTF-16 file
    std::size_t bodyStart_ = 0;    // after a UTF-8 byte order mark
    std::optional<Utf16Order> utf16_;
    std::string oddByte_;          // a UTF-16 file's last byte when their count is odd
    std::string newline_ = "\r\n"; // the ending of the file's first ended line
    std::vector<Line> lines_;
};
