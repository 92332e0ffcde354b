#include "platform/registry/registry.h"

#include "platform/codepage/codepagetext.h"
#include "platform/registry/registry_hivefile.h"
#include "platform/registry/wineserver_lock.h"
#include "platform/registry/winereg_strings.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

bool IsStringType(std::uint32_t type)
{
    return type == static_cast<std::uint32_t>(RegistryValueType::String)
        || type == static_cast<std::uint32_t>(RegistryValueType::ExpandString)
        || type == static_cast<std::uint32_t>(RegistryValueType::MultiString);
}

// Splits a backslash-separated path; empty components (a leading or
// doubled backslash) are skipped, as the registry skips them. The path is
// converted first: in a double-byte code page the byte of a backslash can
// be the second half of a character.
std::vector<std::u16string> SplitPath(std::string_view path, CodePage codePage)
{
    const std::u16string text = AnsiToUtf16(path, codePage);
    std::vector<std::u16string> components;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t separator = text.find(u'\\', begin);
        if (separator == std::u16string::npos)
            separator = text.size();
        if (separator > begin)
            components.push_back(text.substr(begin, separator - begin));
        begin = separator + 1;
    }
    return components;
}

} // namespace

RegistryKey::RegistryKey(std::shared_ptr<RegistryHiveFile> hive, std::vector<std::u16string> path,
                         RegistryAccess access, CodePage codePage)
    : hive_(std::move(hive)), path_(std::move(path)), access_(access), codePage_(codePage)
{
}

RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&&) noexcept = default;
RegistryKey::~RegistryKey() = default;

void RegistryKey::Close()
{
    hive_.reset();
    path_.clear();
}

void RegistryKey::RequireOpen() const
{
    if (!hive_)
        throw RegistryError("the registry key is closed");
}

std::vector<std::string> RegistryKey::SubkeyNames() const
{
    RequireOpen();
    const auto file = hive_->Current();
    const WineRegFile::Node* key = file->FindKey(path_);
    if (key == nullptr)
        throw RegistryError("the registry key no longer exists");
    std::vector<std::string> names;
    for (const std::u16string& name : file->SubkeyNames(*key))
        names.push_back(Utf16ToAnsi(name, codePage_));
    return names;
}

std::optional<RegistryValue> RegistryKey::ReadValue(std::string_view name) const
{
    RequireOpen();
    const auto file = hive_->Current();
    const WineRegFile::Node* key = file->FindKey(path_);
    if (key == nullptr)
        throw RegistryError("the registry key no longer exists");
    const WineRegFile::Value* value = file->FindValue(*key, AnsiToUtf16(name, codePage_));
    if (value == nullptr)
        return std::nullopt;

    RegistryValue result;
    result.type = static_cast<RegistryValueType>(value->type);
    if (IsStringType(value->type)) {
        const std::string text = Utf16ToAnsi(FromUtf16LeBytes(value->data), codePage_);
        result.data.assign(text.begin(), text.end());
    } else {
        result.data = value->data;
    }
    return result;
}

std::optional<std::string> RegistryKey::ReadString(std::string_view name) const
{
    const std::optional<RegistryValue> value = ReadValue(name);
    if (!value)
        return std::nullopt;
    if (value->type != RegistryValueType::String && value->type != RegistryValueType::ExpandString)
        throw RegistryError("the registry value \"" + std::string(name) + "\" is not text");
    std::string text(value->data.begin(), value->data.end());
    text.resize(std::min(text.size(), text.find('\0')));
    return text;
}

void RegistryKey::WriteString(std::string_view name, std::string_view text)
{
    RequireOpen();
    constexpr auto String = static_cast<std::uint32_t>(RegistryValueType::String);
    std::string bytes(text);
    bytes.push_back('\0');
    // A stored text that reads as these bytes stays as it is: it may hold
    // characters our code page cannot, which a rewrite would turn into '?'.
    const auto file = hive_->Current();
    if (const WineRegFile::Node* key = file->FindKey(path_))
        if (const WineRegFile::Value* stored = file->FindValue(*key, AnsiToUtf16(name, codePage_));
            stored && stored->type == String && Utf16ToAnsi(FromUtf16LeBytes(stored->data), codePage_) == bytes)
            return Write(name, String, stored->data);
    Write(name, String, ToUtf16LeBytes(AnsiToUtf16(bytes, codePage_)));
}

void RegistryKey::WriteBinary(std::string_view name, std::span<const std::uint8_t> bytes)
{
    Write(name, static_cast<std::uint32_t>(RegistryValueType::Binary),
          std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

void RegistryKey::Write(std::string_view name, std::uint32_t type, std::vector<std::uint8_t> data)
{
    RequireOpen();
    if (access_ != RegistryAccess::ReadWrite)
        throw RegistryError("the registry key is open for reading only");
    hive_->SetValue(path_, AnsiToUtf16(name, codePage_), type, data);
}

Registry::Registry(std::filesystem::path prefix, CodePage codePage)
    : prefix_(std::move(prefix)), codePage_(codePage),
      machine_(std::make_shared<RegistryHiveFile>(prefix_ / "system.reg")),
      user_(std::make_shared<RegistryHiveFile>(prefix_ / "user.reg"))
{
}

std::filesystem::path Registry::DefaultPrefix()
{
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && *prefix != '\0')
        return prefix;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::filesystem::path(home) / ".wine";
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr)
        return std::filesystem::path(user->pw_dir) / ".wine";
    return ".wine";
}

const std::filesystem::path& Registry::FileOf(RegistryHive hive) const
{
    return (hive == RegistryHive::LocalMachine ? machine_ : user_)->Path();
}

bool Registry::InUseByWine() const { return WineServerRunning(prefix_); }

std::optional<RegistryKey> Registry::OpenKey(RegistryHive hive, std::string_view path,
                                             RegistryAccess access) const
{
    const std::shared_ptr<RegistryHiveFile>& hiveFile = hive == RegistryHive::LocalMachine ? machine_ : user_;
    const auto file = hiveFile->Current();
    std::vector<std::u16string> components = SplitPath(path, codePage_);

    // A 32-bit program in a 64-bit prefix has its own machine-wide software
    // branch; the game and its installer are such programs.
    if (hive == RegistryHive::LocalMachine && file->IsWin64() && !components.empty()
        && FoldName(components[0]) == u"software"
        && !(components.size() > 1 && FoldName(components[1]) == u"wow6432node"))
        components.insert(components.begin() + 1, u"Wow6432Node");

    if (file->FindKey(components) == nullptr)
        return std::nullopt;
    return RegistryKey(hiveFile, std::move(components), access, codePage_);
}
