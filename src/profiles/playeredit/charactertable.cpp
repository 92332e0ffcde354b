#include "profiles/playeredit/charactertable.h"

std::optional<int> CharacterIndexOfCode(std::int32_t code)
{
    for (std::size_t i = 0; i < Characters.size(); ++i) {
        if (Characters[i].code == code)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

int PreviewCharacterIndex(std::int32_t code)
{
    return CharacterIndexOfCode(code).value_or(0);
}
