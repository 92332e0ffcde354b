#include "profiles/tzarnsettings.h"

#include "platform/registry/wine_programs.h"
#include "platform/registry/wineserver_lock.h"

#include <optional>

namespace {

// Wine's server stays about three seconds after its last program ended;
// a save waits that long and a little more for it to go.
constexpr std::chrono::milliseconds WineServerLinger{5000};

constexpr std::uint32_t DefaultColorWord = 16u | 24u << 8 | 32u << 16 | 40u << 24;

// A value read into a 4-byte buffer, least significant byte first: nothing
// when absent, its low bytes when shorter. String and 32-bit number values
// and longer ones are failures (RegistryError), as a program reading into an
// integer finds them.
std::optional<std::uint32_t> ReadSmallValue(const RegistryKey& key, std::string_view name)
{
    const std::optional<RegistryValue> value = key.ReadValue(name);
    if (!value)
        return std::nullopt;
    if (value->type == RegistryValueType::String || value->type == RegistryValueType::ExpandString
        || value->type == RegistryValueType::Dword)
        throw RegistryError("the registry value \"" + std::string(name) + "\" has the wrong type");
    if (value->data.size() > 4)
        throw RegistryError("the registry value \"" + std::string(name) + "\" is too long");
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < value->data.size(); ++i)
        word |= static_cast<std::uint32_t>(value->data[i]) << (8 * i);
    if (value->data.empty())
        return std::nullopt;
    return word;
}

std::array<std::uint8_t, 4> LittleEndian(std::uint32_t word)
{
    return {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
            static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 24)};
}

std::string WineRunningMessage(const std::filesystem::path& prefix, const std::vector<std::string>& programs)
{
    std::string message = "The profile cannot be saved while Wine programs of the prefix \"" + prefix.string()
                          + "\" are running: Wine would write its own copy of the profiles over it. ";
    if (programs.empty())
        return message + "Close the game and any other Wine program of the prefix, or end them all with "
                         "\"wineserver -k\", then save again.";
    message += "Close ";
    for (std::size_t i = 0; i < programs.size(); ++i)
        message += (i == 0 ? "" : i + 1 == programs.size() ? " and " : ", ") + programs[i];
    return message + ", then save again.";
}

} // namespace

TWineRunningException::TWineRunningException(const std::filesystem::path& prefix,
                                             const std::vector<std::string>& programs)
    : std::runtime_error(WineRunningMessage(prefix, programs)), prefix_(prefix), programs_(programs)
{
}

TProfileSaveError::TProfileSaveError(const std::filesystem::path& file, const std::string& reason)
    : std::runtime_error("The profile could not be saved in \"" + file.string() + "\": " + reason
                         + ". Your changes are kept."),
      file_(file), reason_(reason)
{
}

TZarnSettings::TZarnSettings() : TZarnSettings(Registry(Registry::DefaultPrefix())) {}

TZarnSettings::TZarnSettings(Registry registry) : registry_(std::move(registry)) {}

void TZarnSettings::Load()
{
    if (KeyPath.empty())
        return;
    name_.clear();
    character_ = 0;
    std::uint32_t colorWord = 0;
    try {
        if (const std::optional<RegistryKey> key = registry_.OpenKey(RegistryHive::CurrentUser, KeyPath))
            ReadValues(*key, colorWord);
    } catch (const RegistryError&) {
        // The reading ends here; what was read stays.
    }
    for (std::size_t i = 0; i < color_.size(); ++i)
        color_[i] = static_cast<std::int32_t>((colorWord >> (8 * i)) & 0xFF);
    modified_ = false;
}

void TZarnSettings::ReadValues(const RegistryKey& key, std::uint32_t& colorWord)
{
    name_ = key.ReadString("Name").value_or(std::string());
    character_ = static_cast<std::int32_t>(ReadSmallValue(key, "Char").value_or(Zarn));
    colorWord = ReadSmallValue(key, "Color").value_or(DefaultColorWord);
}

void TZarnSettings::Save(const std::function<void()>& whileWaiting)
{
    if (KeyPath.empty())
        return;
    const std::filesystem::path& prefix = registry_.Prefix();
    if (registry_.InUseByWine()) {
        // Programs still running will not end by themselves within the wait.
        if (std::vector<std::string> programs = WineProgramsOfPrefix(prefix); !programs.empty())
            throw TWineRunningException(prefix, programs);
        if (!WaitForWineServerToEnd(prefix, WineServerLinger, whileWaiting))
            throw TWineRunningException(prefix, WineProgramsOfPrefix(prefix));
    }
    const std::filesystem::path file = registry_.FileOf(RegistryHive::CurrentUser);
    try {
        std::optional<RegistryKey> key =
            registry_.OpenKey(RegistryHive::CurrentUser, KeyPath, RegistryAccess::ReadWrite);
        if (!key)
            throw TProfileSaveError(file, "the profile's key \"" + KeyPath + "\" does not exist");
        WriteValues(*key);
    } catch (const RegistryInUseError&) {
        // Wine started since the check above.
        throw TWineRunningException(prefix, WineProgramsOfPrefix(prefix));
    } catch (const RegistryError& error) {
        throw TProfileSaveError(error.File().empty() ? file : error.File(), error.Reason());
    }
    modified_ = false;
}

void TZarnSettings::WriteValues(RegistryKey& key) const
{
    // One byte per colour: only each colour's low 8 bits are stored, so a
    // value outside 0..255 cannot spill into its neighbours.
    std::uint32_t colorWord = 0;
    for (std::size_t i = 0; i < color_.size(); ++i)
        colorWord |= (static_cast<std::uint32_t>(color_[i]) & 0xFF) << (8 * i);
    key.WriteString("Name", name_);
    key.WriteBinary("Char", LittleEndian(static_cast<std::uint32_t>(character_)));
    key.WriteBinary("Color", LittleEndian(colorWord));
}

void TZarnSettings::SetName(const std::string& name)
{
    if (name == name_)
        return;
    name_ = name;
    modified_ = true;
}

void TZarnSettings::SetCharacter(std::int32_t character)
{
    if (character == character_)
        return;
    character_ = character;
    modified_ = true;
}

void TZarnSettings::CheckColorIndex(int index)
{
    if (index < 1 || index > 4)
        throw std::out_of_range("Index is not within the valid range of 1..4");
}

std::int32_t TZarnSettings::GetColor(int index) const
{
    CheckColorIndex(index);
    return color_[static_cast<std::size_t>(index - 1)];
}

void TZarnSettings::SetColor(int index, std::int32_t value)
{
    CheckColorIndex(index);
    std::int32_t& color = color_[static_cast<std::size_t>(index - 1)];
    if (color == value)
        return;
    color = value;
    modified_ = true;
}
