#include "platform/registry/wine_programs.h"

#include "platform/registry/own_processes.h"
#include "platform/registry/wineserver_lock.h"

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <string_view>

namespace {

// Programs Wine starts by itself next to the user's; they end when the
// user's programs have ended, or soon after they started.
constexpr std::array<std::string_view, 9> BackgroundPrograms{
    "services.exe", "winedevice.exe", "plugplay.exe",        "svchost.exe", "rpcss.exe",
    "conhost.exe",  "start.exe",      "winemenubuilder.exe", "wineboot.exe"};

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return lower;
}

// The last component of a Windows or Unix path.
std::string FileName(std::string_view path)
{
    const std::size_t slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::set<std::string> PipesOf(pid_t pid)
{
    std::set<std::string> pipes;
    for (std::string& file : ProcessOpenFiles(pid)) {
        if (file.starts_with("pipe:"))
            pipes.insert(std::move(file));
    }
    return pipes;
}

bool IsWineProcess(pid_t pid)
{
    const std::optional<std::string> exe = ProcessLink(pid, "exe");
    return exe && FileName(*exe).starts_with("wine");
}

// The Windows program a Wine process runs, or nothing for Wine's own
// background programs and for a process still starting. Wine puts the
// program's Windows path first on the command line once it runs it; until
// then the Unix loader stands there.
std::optional<std::string> ProgramName(pid_t pid)
{
    const std::vector<std::string> arguments = ProcessArguments(pid);
    if (arguments.empty() || arguments[0].find('\\') == std::string::npos)
        return std::nullopt;
    const std::string name = FileName(arguments[0]);
    const std::string lower = Lower(name);
    if (std::find(BackgroundPrograms.begin(), BackgroundPrograms.end(), lower) != BackgroundPrograms.end())
        return std::nullopt;
    // Wine's desktop window, unlike the file manager of the same name.
    if (lower == "explorer.exe" && arguments.size() > 1 && Lower(arguments[1]).starts_with("/desktop"))
        return std::nullopt;
    return name;
}

bool SharesAny(const std::set<std::string>& pipes, const std::set<std::string>& others)
{
    return std::any_of(pipes.begin(), pipes.end(), [&](const std::string& pipe) { return others.count(pipe) != 0; });
}

} // namespace

std::vector<std::string> WineProgramsOfPrefix(const std::filesystem::path& prefix)
{
    const std::vector<pid_t> servers = WineServerProcesses(prefix);
    std::set<std::string> serverPipes;
    for (const pid_t server : servers)
        serverPipes.merge(PipesOf(server));
    if (serverPipes.empty())
        return {};

    std::vector<std::string> names;
    for (const pid_t pid : OwnProcesses()) {
        if (std::find(servers.begin(), servers.end(), pid) != servers.end() || !IsWineProcess(pid)
            || !SharesAny(PipesOf(pid), serverPipes))
            continue;
        const std::optional<std::string> name = ProgramName(pid);
        if (name && std::find(names.begin(), names.end(), *name) == names.end())
            names.push_back(*name);
    }
    return names;
}
