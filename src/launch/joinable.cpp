#include "launch/joinable.h"

namespace {

// Private servers are marked by this exact text; other letter cases are
// ordinary modes.
constexpr std::string_view kPrivateMode = "private";

}  // namespace

bool IsJoinable(const ServerEntry& entry, const ExecutableLookup& executableFor)
{
    // An empty row, or one whose record stopped before the version field.
    if (entry.version.empty())
        return false;

    if (const auto version = VersionFromText(entry.version)) {
        if (executableFor(*version).empty())
            return false;
    }

    return entry.mode != kPrivateMode;
}
