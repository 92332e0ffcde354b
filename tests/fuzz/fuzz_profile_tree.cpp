// The profile tree: whatever user.reg holds, reading it must not fault and
// must leave the file as it was; only game and profile keys are listed as
// such, no key twice, and every profile listed opens by its key path.

#include "platform/registry/registry.h"
#include "profiles/playeredit/playertree.h"
#include "scratchfile.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string AsciiFolded(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Siblings are distinct keys: names equal but for letter case would be one.
// A '?' may stand for a letter the code page lacks, so such names can repeat.
void RequireDistinct(const std::vector<PlayerTreeNode>& siblings)
{
    for (std::size_t i = 0; i < siblings.size(); ++i)
        for (std::size_t j = i + 1; j < siblings.size(); ++j)
            if (siblings[i].name.find('?') == std::string::npos
                && AsciiFolded(siblings[i].name) == AsciiFolded(siblings[j].name))
                std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string file(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path prefix = ScratchFolder();
    WriteScratchFile(prefix / "user.reg", file);

    const Registry registry(prefix);
    std::optional<RegistryFileError> unusable;
    const std::vector<PlayerTreeNode> games = ReadPlayerTree(registry, &unusable);
    if (unusable && !games.empty())
        std::abort();  // nothing is read from a file that cannot be used

    RequireDistinct(games);
    for (const PlayerTreeNode& game : games) {
        if (!IsGameKeyName(game.name))
            std::abort();
        RequireDistinct(game.children);
        for (const PlayerTreeNode& version : game.children) {
            RequireDistinct(version.children);
            for (const PlayerTreeNode& profile : version.children) {
                if (!IsProfileKeyName(profile.name) || !profile.children.empty())
                    std::abort();
                const std::optional<std::string> path = ProfileKeyPath({game.name, version.name, profile.name});
                if (!path)
                    std::abort();
                if (path->find('?') == std::string::npos && !registry.OpenKey(RegistryHive::CurrentUser, *path))
                    std::abort();
            }
        }
    }
    if (ReadPlayerTree(Registry(prefix)) != games || ReadScratchFile(prefix / "user.reg") != file)
        std::abort();
    return 0;
}
