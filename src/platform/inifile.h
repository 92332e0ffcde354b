#pragma once

// Quimbrel keeps its settings in a small INI file ("Quimbrel.ini"). This is
// the reader and writer for it, with the rules of the classic Windows
// private-profile files so that a file written there reads the same here:
//
// * A line ends at CR LF, at LF and at a lone CR. "[Name]" opens a section;
//   "key=value" lines belong to the section above them. Lines before the
//   first section header, blank lines, lines that start with ';' (comments)
//   and lines without '=' are never read. A line that names a key alone,
//   without '=', is that key to other readers, so writing the key replaces
//   it when it comes before the key's first entry.
// * Section and key names match without regard to ASCII letter case; blanks
//   around them (space, tab, VT, FF and Ctrl-Z; in the file and in the
//   names asked for) do not count, and a NUL ends a name or value.
//   Bytes above 127 are compared and returned as they are (no conversion);
//   a UTF-8 byte order mark at the start of the file is skipped. A file with
//   a UTF-16 byte order mark is UTF-16: its names and values are given and
//   taken as UTF-8, and it is written back in UTF-16 with its mark.
// * Only the first section with a given name counts, and within it the first
//   line with the key: reading returns that line and writing replaces it.
// * Blanks around a value are dropped, and so is one pair of matching double
//   or single quotes around the whole remaining value, so '"C:\Game "' reads
//   as 'C:\Game '. A value is read up to kIniMaxValueLength bytes.
// * Nothing is cached: each call opens the file, works and releases it.
//   Load, LoadForChange and Save let a caller read or change many keys with
//   one reading and one writing of the file.
// * Only a regular file of at most kIniMaxFileSize bytes is read; anything
//   else in its place (a FIFO, a device, a folder) is never opened or waited
//   on.

#include "platform/ini/initext.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// The longest value a read returns; longer values are cut to this length.
inline constexpr std::size_t kIniMaxValueLength = 2047;

// The largest settings file that is read; a larger one is refused.
inline constexpr std::size_t kIniMaxFileSize = std::size_t{16} << 20;

// The settings file is there but cannot be read. The text names the file and
// says why, for the user: "The settings file <path> cannot be read: it is a
// folder, not a file. The default settings are used".
class IniReadError : public std::runtime_error {
public:
    IniReadError(const std::string& path, const std::string& reason);
    const std::string& path() const noexcept { return path_; }

private:
    std::string path_;
};

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
    // are. Added lines end like the file's first line (CR LF, LF or CR); a new
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

    // The file's text, read once; a missing file gives an empty text. Throws
    // IniReadError when the file is there but cannot be read.
    IniText Load() const;

    // The text a change starts from: as Load, but a file that cannot be read
    // throws IniWriteError, since it must not be written over.
    IniText LoadForChange() const;

    // Writes text as the file's new content, safely as WriteString does.
    // Throws IniWriteError with the file unchanged.
    void Save(const IniText& text);

private:
    std::string path_;
};

// Reading from a text loaded once, by the rules of ReadString and ReadInteger.
std::string ReadIniString(const IniText& text, std::string_view section, std::string_view key,
                          std::string_view defaultValue);
int32_t ReadIniInteger(const IniText& text, std::string_view section, std::string_view key,
                       int32_t defaultValue);
