// The player profiles: whatever user.reg holds, reading the profile tree and
// a profile must not fault and must leave the file as it was. Only game and
// profile keys are listed as such, no key twice; a listed profile opens by
// its key path and loads with one byte per colour, and once changed and
// saved it loads again exactly as saved. A profile that cannot be opened
// loads empty.

#include "platform/registry/registry.h"
#include "profiles/playeredit/playertree.h"
#include "profiles/tzarnsettings.h"
#include "scratchfile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string FallbackProfile = "\\Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\Player1";

// Siblings are distinct keys: names equal but for letter case would be one.
// A '?' may stand for a letter the code page lacks, so such names can repeat.
void RequireDistinct(const std::vector<PlayerTreeNode>& siblings)
{
    const auto folded = [](std::string text) {
        for (char& c : text)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        return text;
    };
    for (std::size_t i = 0; i < siblings.size(); ++i)
        for (std::size_t j = i + 1; j < siblings.size(); ++j)
            if (siblings[i].name.find('?') == std::string::npos && folded(siblings[i].name) == folded(siblings[j].name))
                std::abort();
}

std::vector<std::string> ListedProfiles(const Registry& registry)
{
    std::optional<RegistryFileError> unusable;
    const std::vector<PlayerTreeNode> games = ReadPlayerTree(registry, &unusable);
    if (unusable && !games.empty())
        std::abort();  // nothing is read from a file that cannot be used
    std::vector<std::string> paths;
    RequireDistinct(games);
    for (const PlayerTreeNode& game : games) {
        RequireDistinct(game.children);
        for (const PlayerTreeNode& version : game.children) {
            RequireDistinct(version.children);
            for (const PlayerTreeNode& profile : version.children) {
                const auto path = ProfileKeyPath({game.name, version.name, profile.name});
                if (!IsGameKeyName(game.name) || !profile.children.empty() || !path)
                    std::abort();
                paths.push_back(*path);
            }
        }
    }
    return paths;
}

// A name the game's code page holds: printable ASCII and the Latin-1 letters.
std::string NameFrom(std::string bytes)
{
    for (char& c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!((byte >= 0x20 && byte < 0x7F) || byte >= 0xA0))
            c = static_cast<char>('a' + byte % 26);
    }
    return bytes;
}

struct Profile {
    std::string name;
    std::int32_t character = 0;
    std::array<std::int32_t, 4> colors{};
    bool operator==(const Profile&) const = default;
};

Profile Loaded(const std::filesystem::path& prefix, const std::string& keyPath)
{
    TZarnSettings settings{Registry(prefix)};
    settings.KeyPath = keyPath;
    settings.Load();
    Profile profile{settings.Name(), settings.Character(), {}};
    for (int i = 1; i <= 4; ++i) {
        profile.colors[i - 1] = settings.GetColor(i);
        if (profile.colors[i - 1] < 0 || profile.colors[i - 1] > 255 || settings.Modified())
            std::abort();
    }
    return profile;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::uint8_t pick = input.ConsumeIntegral<std::uint8_t>();
    const std::uint8_t edits = input.ConsumeIntegral<std::uint8_t>();  // one bit per field to change
    const std::int32_t character = input.ConsumeIntegral<std::int32_t>();
    std::array<std::int32_t, 4> colors{};
    for (std::int32_t& color : colors)
        color = input.ConsumeIntegral<std::int32_t>();
    const std::string name = NameFrom(input.ConsumeRandomLengthString(20));
    const std::string file = input.ConsumeRemainingBytesAsString();

    const std::filesystem::path prefix = ScratchFolder();
    WriteScratchFile(prefix / "user.reg", file);
    const std::vector<std::string> profiles = ListedProfiles(Registry(prefix));
    const std::string keyPath = profiles.empty() ? FallbackProfile : profiles[pick % profiles.size()];
    const Profile before = Loaded(prefix, keyPath);
    if (ReadScratchFile(prefix / "user.reg") != file)
        std::abort();

    bool opens = false;
    try {
        opens = Registry(prefix).OpenKey(RegistryHive::CurrentUser, keyPath).has_value();
    } catch (const RegistryError&) {
    }
    if (!opens) {
        if (!profiles.empty() && keyPath.find('?') == std::string::npos)
            std::abort();  // listed, yet not there
        if (!(before == Profile{}))
            std::abort();
        return 0;
    }

    TZarnSettings settings{Registry(prefix)};
    settings.KeyPath = keyPath;
    settings.Load();
    Profile expected = before;
    if (edits & 1)
        settings.SetName(expected.name = name);
    if (edits & 2)
        settings.SetCharacter(expected.character = character);
    for (int i = 0; i < 4; ++i) {
        if (edits & (4 << i)) {
            settings.SetColor(i + 1, colors[i]);
            expected.colors[i] = colors[i] & 0xFF;  // one byte each in the registry
        }
    }
    settings.Save();
    if (settings.Modified() || !(Loaded(prefix, keyPath) == expected))
        std::abort();
    return 0;
}
