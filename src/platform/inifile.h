#pragma once

// Quimbrel keeps its settings in a small INI file ("Quimbrel.ini"). This is
// the reader and writer for it, with the rules of the classic Windows
// private-profile files so that a file written there reads the same here:
//
// * "[Name]" opens a section; "key=value" lines belong to the section above
//   them. Lines before the first section header, blank lines, lines that
//   start with ';' (comments) and lines without '=' are never read. A line
//   that names a key alone, without '=', is that key to other readers, so
//   writing the key replaces it when it comes before the key's first entry.
// * Section and key names match without regard to ASCII letter case; blanks
//   around them (in the file and in the names asked for) do not count.
//   Bytes above 127 are compared and returned as they are (no conversion);
//   a UTF-8 byte order mark at the start of the file is skipped.
// * Only the first section with a given name counts, and within it the first
//   line with the key: reading returns that line and writing replaces it.
// * Blanks around a value are dropped, and so is one pair of matching double
//   or single quotes around the whole remaining value, so '"C:\Game "' reads
//   as 'C:\Game '. A value is read up to kIniMaxValueLength bytes.
// * Nothing is cached: each call opens the file, works and releases it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// The longest value a read returns; longer values are cut to this length.
inline constexpr std::size_t kIniMaxValueLength = 2047;

// A setting could not be stored. The text is "Unable to write to <path>".
class IniWriteError : public std::runtime_error {
public:
    explicit IniWriteError(const std::string& path);
    const std::string& path() const noexcept { return path_; }

private:
    std::string path_;
};

// Where the settings live: $QUIMBREL_INI when it is set and not empty,
// otherwise "Quimbrel.ini" in $XDG_CONFIG_HOME (an absolute path), which
// defaults to "$HOME/.config" (the account's home directory when HOME is
// unset).
std::string DefaultIniPath();

// Whether a value can be stored at all: a line break or NUL would end or
// cut its line.
bool IsStorableIniValue(std::string_view value);

// Reads a stored whole number: optional leading blanks, an optional '+' or
// '-', then decimal digits, or hexadecimal digits after "$", "0x" or "0X"
// (so "-$10" is -16). The number must fit a signed 32-bit integer and nothing
// may follow it; anything else, the empty text included, has no value.
std::optional<int32_t> ParseIniInteger(std::string_view text);

class IniFile {
public:
    explicit IniFile(std::string path);

    const std::string& path() const noexcept { return path_; }

    // The value of section/key, or defaultValue (returned unchanged) when the
    // file, the section or the key is missing or the file cannot be read.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;

    // The value of section/key read by ParseIniInteger, or defaultValue when
    // it is missing or not such a number.
    int32_t ReadInteger(std::string_view section, std::string_view key,
                        int32_t defaultValue) const;

    // Stores value under section/key, as it stands. An existing line for the
    // key keeps everything before its old value (the key's spelling and the
    // spacing around '=') and gets the new value; a missing key is added after the
    // last entry of its section; a missing section is added at the end of
    // the file, after a blank line. All other bytes of the file stay as they
    // are. Added lines end like the file's first line (CR LF or LF); a new
    // file uses CR LF. The folder is created when it is missing. As the format
    // has it, blanks at either end of a value and one pair of quotes around
    // it are not read back.
    //
    // The file is replaced in one step (a temporary file beside it, synced,
    // then renamed over it, with the old file's permissions), so it is never
    // left half written; a symbolic link stays and its target is replaced.
    // When the folder refuses that but the file itself may be written, the
    // file is rewritten in place and flushed to disk instead.
    //
    // Throws IniWriteError, with the file unchanged, when the file cannot be
    // read or written, and when something cannot be stored faithfully: a
    // line break or NUL in any of the three texts (see IsStorableIniValue), an empty section or key
    // name, or a key name that contains '=' or starts with '[' or ';'.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Stores a whole number in decimal.
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);

private:
    std::string path_;
};
