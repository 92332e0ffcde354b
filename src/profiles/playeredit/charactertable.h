#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// The three characters a player can be: the game's code for each, its
// picture file and what the four colours paint on it. A character's index
// (0 to 2) is also the Tag of its radio button on the page.
struct CharacterRow {
    std::int32_t code;
    std::string_view pictureFile;
    std::array<std::string_view, 4> colorLabels;
};

inline constexpr std::array<CharacterRow, 3> Characters{{
    {55, "Zarn.bmp", {"Body", "Stirnband", "Blaster", "Wristband"}},
    {89, "Pock.bmp", {"Blaster", "Body 1", "Shoes / Wristband", "Body 2"}},
    {61, "Vani.bmp", {"unused", "Blaster 1", "Blaster 2", "Body"}},
}};

// The index of the character with game code `code`, or nothing for a code
// the game does not know (the page then checks no character).
std::optional<int> CharacterIndexOfCode(std::int32_t code);

// The character whose picture shows a profile: an unknown code shows the
// first one.
int PreviewCharacterIndex(std::int32_t code);
