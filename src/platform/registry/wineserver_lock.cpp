#include "platform/registry/wineserver_lock.h"

#include "platform/registry/own_processes.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Between two looks for a server that is about to end.
constexpr std::chrono::milliseconds LookInterval{50};

std::string ServerFolderName(const struct stat& prefix)
{
    char name[64];
    std::snprintf(name, sizeof name, "server-%llx-%llx", static_cast<unsigned long long>(prefix.st_dev),
                  static_cast<unsigned long long>(prefix.st_ino));
    return name;
}

// A lock held on the file by any process, this one included (an open file
// description lock conflicts with every other lock). Opened without waiting,
// so that whatever lies there cannot hold us up.
bool IsLocked(const std::string& lockFile)
{
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    struct flock query {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
    query.l_start = 0;
    query.l_len = 0;
    const bool locked = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::fcntl(fd, F_OFD_GETLK, &query) == 0
                        && query.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

std::optional<std::string> ServerFolderOf(const std::filesystem::path& prefix)
{
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return ServerFolderName(st);
}

std::vector<pid_t> ServersWorkingIn(const std::string& serverFolder)
{
    std::vector<pid_t> servers;
    for (const pid_t pid : OwnProcesses()) {
        const std::optional<std::string> cwd = ProcessLink(pid, "cwd");
        if (!cwd || std::filesystem::path(*cwd).filename() != serverFolder)
            continue;
        // Through the process's own view of its folder, which is right even
        // where its temporary folder is private to it.
        if (IsLocked("/proc/" + std::to_string(pid) + "/cwd/lock"))
            servers.push_back(pid);
    }
    return servers;
}

} // namespace

std::vector<pid_t> WineServerProcesses(const std::filesystem::path& prefix)
{
    const std::optional<std::string> serverFolder = ServerFolderOf(prefix);
    return serverFolder ? ServersWorkingIn(*serverFolder) : std::vector<pid_t>{};
}

bool WineServerRunning(const std::filesystem::path& prefix)
{
    const std::optional<std::string> serverFolder = ServerFolderOf(prefix);
    if (!serverFolder)
        return false;
    if (!ServersWorkingIn(*serverFolder).empty())
        return true;
    // Wine's usual place, for a server whose process we cannot see.
    return IsLocked("/tmp/.wine-" + std::to_string(::getuid()) + "/" + *serverFolder + "/lock");
}

bool WaitForWineServerToEnd(const std::filesystem::path& prefix, std::chrono::milliseconds limit,
                            const std::function<void()>& whileWaiting)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (!WineServerRunning(prefix))
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        if (whileWaiting)
            whileWaiting();
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(LookInterval, deadline - now));
    }
}
