#pragma once

#include "platform/registry/registry_error.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Registry;

// The game's player profiles as the registry holds them, below
// HKEY_CURRENT_USER "\Software\Krell Playware": game keys (names beginning
// with "Zarn Tumblewick 2"), each with any version keys, each with profile
// keys (names beginning with "Player"). Names are text in the game's code page and
// compared case-sensitively, as the game does.
struct PlayerTreeNode {
    std::string name;
    std::vector<PlayerTreeNode> children;

    bool operator==(const PlayerTreeNode&) const = default;
};

inline constexpr std::string_view PlayersRootKey = "\\Software\\Krell Playware";

bool IsGameKeyName(std::string_view name);
bool IsProfileKeyName(std::string_view name);

// The game nodes in the registry's order, with their versions and profiles.
// A registry that cannot be read ends the listing where it happened, keeping
// what was found before; when the trouble is a registry file that cannot be
// used at all, `unusableFile` (where given) receives it for the user.
std::vector<PlayerTreeNode> ReadPlayerTree(const Registry& registry,
                                           std::optional<RegistryFileError>* unusableFile = nullptr);

// The key path of the profile a tree node stands for, given the node's name
// and its ancestors' from the top (game, version, profile), or nothing for a
// node that is no profile: a game or version node, whatever its name.
std::optional<std::string> ProfileKeyPath(const std::vector<std::string>& namesFromTop);
