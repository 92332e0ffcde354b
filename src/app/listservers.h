#pragma once

#include <array>

// The list servers the "Config" page offers. The first is the default; the
// last lets a list server on this machine be chosen.
inline constexpr std::array<const char*, 5> kListServerHosts = {
    "list.tumblewick.invalid",
    "list2.tumblewick.invalid",
    "zarnlist.playnet.invalid",
    "backup.tumblewick.invalid",
    "localhost",
};
