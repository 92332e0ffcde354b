#include "launch/gamelaunch.h"

#include "platform/programstart.h"

void StartProgramDetached(const std::string& path, const std::string& parameters)
{
    StartProgram(path, parameters);
}

std::string ExecutableForServer(std::string_view serverVersion, const ExecutableLookup& executableFor)
{
    return executableFor(VersionFromText(serverVersion).value_or(GameVersion::V124));
}

LaunchOutcome LaunchGame(const ServerEntry& entry, const LaunchOptions& options,
                         const ExecutableLookup& executableFor, const ProgramStarter& start)
{
    const std::string parameters = BuildGameParameters(entry, options);
    const std::string executable = ExecutableForServer(entry.version, executableFor);
    if (executable.empty())
        return LaunchOutcome::NoExecutable;

    start(executable, parameters);
    return LaunchOutcome::Started;
}
