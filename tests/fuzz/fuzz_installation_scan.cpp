// The installation scan: whatever system.reg holds, the scan must not fault
// and must leave the file as it was; it keeps every setting that held text,
// never fills the 1.24 x setting, and fills the others only with a folder
// followed by the game's executable name.

#include "launch/installations.h"
#include "platform/registry/registry.h"
#include "scratchfile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::uint8_t preset = input.ConsumeIntegral<std::uint8_t>();  // one bit per setting that holds text
    const std::string file = input.ConsumeRemainingBytesAsString();

    const std::filesystem::path prefix = ScratchFolder();
    WriteScratchFile(prefix / "system.reg", file);

    ExecutablePaths before;
    for (GameVersion version : AllGameVersions)
        if (preset & (1 << static_cast<int>(version)))
            before[version] = "set by the user";
    ExecutablePaths after = before;
    const std::optional<RegistryFileError> unusable = FindGameInstallations(Registry(prefix), after);

    for (GameVersion version : AllGameVersions) {
        const std::string& was = before[version];
        const std::string& now = after[version];
        if (!was.empty() || version == GameVersion::V124x || unusable) {
            if (now != was)
                std::abort();
        } else if (!now.empty() && (now.size() <= 9 || !now.ends_with("zarn2.exe"))) {
            std::abort();
        }
    }
    if (ReadScratchFile(prefix / "system.reg") != file)
        std::abort();
    return 0;
}
