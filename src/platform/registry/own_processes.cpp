#include "platform/registry/own_processes.h"

#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Command lines are read up to this size; the program's name comes first.
constexpr std::size_t MaximumArgumentsSize = 64 * 1024;

std::string ProcessPath(pid_t pid, const std::string& name)
{
    return "/proc/" + std::to_string(pid) + "/" + name;
}

std::optional<pid_t> PidOf(const char* name)
{
    pid_t pid = 0;
    const char* end = name + std::char_traits<char>::length(name);
    const auto [stop, error] = std::from_chars(name, end, pid);
    if (error != std::errc() || stop != end || pid <= 0)
        return std::nullopt;
    return pid;
}

// The entries of a folder, without "." and "..".
template <typename Visit>
void ForEachEntry(const std::string& folder, Visit visit)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.')
            visit(::dirfd(dir), entry->d_name);
    }
    ::closedir(dir);
}

} // namespace

std::vector<pid_t> OwnProcesses()
{
    std::vector<pid_t> pids;
    const uid_t me = ::getuid();
    ForEachEntry("/proc", [&](int folder, const char* name) {
        const std::optional<pid_t> pid = PidOf(name);
        struct stat st {};
        if (pid && ::fstatat(folder, name, &st, 0) == 0 && st.st_uid == me)
            pids.push_back(*pid);
    });
    return pids;
}

std::optional<std::string> ProcessLink(pid_t pid, const std::string& name)
{
    char target[4096];
    const ssize_t n = ::readlink(ProcessPath(pid, name).c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target)
        return std::nullopt;
    return std::string(target, static_cast<std::size_t>(n));
}

std::vector<std::string> ProcessOpenFiles(pid_t pid)
{
    std::vector<std::string> files;
    ForEachEntry(ProcessPath(pid, "fd"), [&](int, const char* name) {
        if (std::optional<std::string> target = ProcessLink(pid, std::string("fd/") + name))
            files.push_back(std::move(*target));
    });
    return files;
}

std::vector<std::string> ProcessArguments(pid_t pid)
{
    std::vector<std::string> arguments;
    const int fd = ::open(ProcessPath(pid, "cmdline").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return arguments;
    std::string text(MaximumArgumentsSize, '\0');
    std::size_t size = 0;
    while (size < text.size()) {
        const ssize_t n = ::read(fd, text.data() + size, text.size() - size);
        if (n <= 0)
            break;
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(size);
    for (std::size_t begin = 0; begin < text.size();) {
        std::size_t end = text.find('\0', begin);
        if (end == std::string::npos)
            end = text.size();
        arguments.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return arguments;
}
