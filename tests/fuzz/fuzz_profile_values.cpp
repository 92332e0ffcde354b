// A player profile: whatever user.reg holds, loading a profile must not
// fault and gives one byte per colour; where the profile's key can be read,
// a profile changed and saved must load again exactly as it was saved.

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
    if (settings.Modified())
        std::abort();
    Profile profile{settings.Name(), settings.Character(), {}};
    for (int i = 1; i <= 4; ++i) {
        profile.colors[i - 1] = settings.GetColor(i);
        if (profile.colors[i - 1] < 0 || profile.colors[i - 1] > 255)
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

    std::vector<std::string> profiles;
    for (const PlayerTreeNode& game : ReadPlayerTree(Registry(prefix)))
        for (const PlayerTreeNode& version : game.children)
            for (const PlayerTreeNode& profile : version.children)
                profiles.push_back(*ProfileKeyPath({game.name, version.name, profile.name}));
    const std::string keyPath = profiles.empty() ? FallbackProfile : profiles[pick % profiles.size()];

    const Profile before = Loaded(prefix, keyPath);
    bool keyReadable = false;
    try {
        keyReadable = Registry(prefix).OpenKey(RegistryHive::CurrentUser, keyPath).has_value();
    } catch (const RegistryError&) {
    }
    if (!keyReadable) {
        // A profile that cannot be opened loads empty, without the defaults.
        if (!(before == Profile{}))
            std::abort();
        return 0;
    }

    TZarnSettings settings{Registry(prefix)};
    settings.KeyPath = keyPath;
    settings.Load();
    Profile expected = before;
    if (edits & 1) {
        settings.SetName(name);
        expected.name = name;
    }
    if (edits & 2) {
        settings.SetCharacter(character);
        expected.character = character;
    }
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
