#pragma once

#include "platform/codepage/localecodepage.h"
#include "platform/registry/registry_error.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class RegistryHiveFile;

// The two registry roots the program uses. Under Wine each is one text file
// in the prefix: "system.reg" and "user.reg".
enum class RegistryHive { LocalMachine, CurrentUser };

enum class RegistryAccess { Read, ReadWrite };

// Registry value types (the numbers the registry stores). Other numbers can
// occur and are kept as they are.
enum class RegistryValueType : std::uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    Link = 6,
    MultiString = 7,
    Qword = 11,
};

// A value as a program using the ANSI registry functions reads it: the
// string types in the registry's code page with their terminating zero (a
// character the code page cannot hold reads as '?'), every other type as
// raw bytes.
struct RegistryValue {
    RegistryValueType type = RegistryValueType::None;
    std::vector<std::uint8_t> data;
};

// An open registry key. Reads see the registry file as it is at the time of
// the read; each write changes the file at once. Closing is optional (the
// destructor closes); every operation on a closed key throws RegistryError.
class RegistryKey {
public:
    RegistryKey(RegistryKey&&) noexcept;
    RegistryKey& operator=(RegistryKey&&) noexcept;
    ~RegistryKey();

    // Names of the subkeys, in the registry's order (by name, without regard
    // to case).
    std::vector<std::string> SubkeyNames() const;

    // The value `name` ("" for the key's default value), or nothing when the
    // key has no such value.
    std::optional<RegistryValue> ReadValue(std::string_view name) const;

    // A text value (a string or expandable string), cut at its first zero
    // character; nothing when absent. A value of any other type throws
    // RegistryError.
    std::optional<std::string> ReadString(std::string_view name) const;

    // Write a string value (with its terminating zero) or a binary value.
    // The key must be open for writing. Only this value and the key's time
    // stamp change in the registry file. Throws RegistryInUseError, writing
    // nothing, while Wine programs of the prefix run.
    void WriteString(std::string_view name, std::string_view text);
    void WriteBinary(std::string_view name, std::span<const std::uint8_t> bytes);

    void Close();
    bool IsOpen() const { return hive_ != nullptr; }

private:
    friend class Registry;
    RegistryKey(std::shared_ptr<RegistryHiveFile> hive, std::vector<std::u16string> path,
                RegistryAccess access, CodePage codePage);

    void Write(std::string_view name, std::uint32_t type, std::vector<std::uint8_t> data);
    void RequireOpen() const;

    std::shared_ptr<RegistryHiveFile> hive_;
    std::vector<std::u16string> path_;
    RegistryAccess access_ = RegistryAccess::Read;
    CodePage codePage_ = 0;
};

// The registry of one Wine prefix, seen as a 32-bit program sees it: in a
// 64-bit prefix, HKEY_LOCAL_MACHINE "Software\..." is the branch
// "Software\Wow6432Node\...". Copies share their view of the files. Meant
// for one thread (the window thread); keys and copies are not synchronised.
//
// Wine's server holds a prefix's registry in memory while any Wine program
// runs in it and writes it back later, so a change made then would be lost
// when the server saves: writes are refused while it runs.
//
// Names, paths and texts are bytes in an ANSI code page, as the game passes
// them to Wine: by default the one Wine gives the game under this process's
// locale.
class Registry {
public:
    // The registry of the prefix folder `prefix`. A missing folder or file is
    // an empty registry.
    explicit Registry(std::filesystem::path prefix, CodePage codePage = ProcessAnsiCodePage());

    // The prefix Wine uses by default: $WINEPREFIX, else ~/.wine.
    static std::filesystem::path DefaultPrefix();

    const std::filesystem::path& Prefix() const { return prefix_; }
    CodePage TextCodePage() const { return codePage_; }

    // The file that holds `hive`: "system.reg" or "user.reg" in the prefix.
    const std::filesystem::path& FileOf(RegistryHive hive) const;

    // Whether Wine programs of this prefix run now; writes are refused then
    // (RegistryInUseError), since Wine would undo them.
    bool InUseByWine() const;

    // Opens an existing key; a key is never created. `path` is relative to
    // the hive's root, with components separated by backslashes; a leading
    // backslash is allowed. Returns nothing when the key does not exist;
    // throws RegistryError when the registry file cannot be read or parsed.
    std::optional<RegistryKey> OpenKey(RegistryHive hive, std::string_view path,
                                       RegistryAccess access = RegistryAccess::Read) const;

private:
    std::filesystem::path prefix_;
    CodePage codePage_;
    std::shared_ptr<RegistryHiveFile> machine_;
    std::shared_ptr<RegistryHiveFile> user_;
};
