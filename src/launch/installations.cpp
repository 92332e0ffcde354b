#include "launch/installations.h"

#include "platform/registry/registry.h"

#include <string_view>

namespace {

constexpr std::string_view MakerKeyPath = "\\Software\\Krell Playware";
constexpr std::string_view GameKeyPrefix = "Zarn Tumblewick 2";
constexpr std::string_view ExecutableName = "zarn2.exe";

} // namespace

std::optional<RegistryFileError> FindGameInstallations(const Registry& registry, ExecutablePaths& executables)
{
    try {
        const std::optional<RegistryKey> maker = registry.OpenKey(RegistryHive::LocalMachine, MakerKeyPath);
        if (!maker)
            return std::nullopt;
        for (const std::string& name : maker->SubkeyNames()) {
            if (!name.starts_with(GameKeyPrefix))
                continue;
            const std::optional<RegistryKey> game =
                registry.OpenKey(RegistryHive::LocalMachine, std::string(MakerKeyPath) + "\\" + name);
            if (!game)
                continue;
            const std::string version = game->ReadString("Version").value_or("");
            const std::string installDir = game->ReadString("InstallDir").value_or("");
            if (installDir.empty())
                continue;

            // The folder is stored with its trailing separator, so none is
            // added here.
            const GameVersion target = version.starts_with("1.24") ? GameVersion::V124 : GameVersion::V121;
            std::string& executable = executables[target];
            if (executable.empty())
                executable = installDir + std::string(ExecutableName);
        }
    } catch (const RegistryFileError& unusable) {
        return unusable;
    } catch (const RegistryError&) {
        // The scan is a convenience at start-up: registry trouble only ends
        // it, and the user can still pick the executables by hand.
    }
    return std::nullopt;
}
