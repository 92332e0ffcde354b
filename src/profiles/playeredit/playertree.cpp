#include "profiles/playeredit/playertree.h"

#include "platform/registry/registry.h"

namespace {

constexpr std::string_view GameKeyPrefix = "Zarn Tumblewick 2";
constexpr std::string_view ProfileKeyPrefix = "Player";

std::vector<std::string> SubkeyNames(const Registry& registry, const std::string& path)
{
    const std::optional<RegistryKey> key = registry.OpenKey(RegistryHive::CurrentUser, path);
    return key ? key->SubkeyNames() : std::vector<std::string>{};
}

void ReadGames(const Registry& registry, std::vector<PlayerTreeNode>& games)
{
    const std::string root(PlayersRootKey);
    if (!registry.OpenKey(RegistryHive::CurrentUser, root))
        return;
    for (const std::string& game : SubkeyNames(registry, root)) {
        if (!IsGameKeyName(game))
            continue;
        PlayerTreeNode& gameNode = games.emplace_back(PlayerTreeNode{game, {}});
        const std::string gamePath = root + '\\' + game;
        for (const std::string& version : SubkeyNames(registry, gamePath)) {
            PlayerTreeNode& versionNode = gameNode.children.emplace_back(PlayerTreeNode{version, {}});
            for (const std::string& profile : SubkeyNames(registry, gamePath + '\\' + version)) {
                if (IsProfileKeyName(profile))
                    versionNode.children.push_back(PlayerTreeNode{profile, {}});
            }
        }
    }
}

} // namespace

bool IsGameKeyName(std::string_view name)
{
    return name.starts_with(GameKeyPrefix);
}

bool IsProfileKeyName(std::string_view name)
{
    return name.starts_with(ProfileKeyPrefix);
}

std::vector<PlayerTreeNode> ReadPlayerTree(const Registry& registry, std::optional<RegistryFileError>* unusableFile)
{
    std::vector<PlayerTreeNode> games;
    try {
        ReadGames(registry, games);
    } catch (const RegistryFileError& unusable) {
        if (unusableFile != nullptr)
            *unusableFile = unusable;
    } catch (const RegistryError&) {
        // The listing ends here; what was found stays.
    }
    return games;
}

std::optional<std::string> ProfileKeyPath(const std::vector<std::string>& namesFromTop)
{
    if (namesFromTop.size() != 3 || !IsProfileKeyName(namesFromTop[2]))
        return std::nullopt;
    return std::string(PlayersRootKey) + '\\' + namesFromTop[0] + '\\' + namesFromTop[1] + '\\' + namesFromTop[2];
}
