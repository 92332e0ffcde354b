#include "platform/registry/wineserver_lock.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string ServerFolderName(const struct stat& prefix)
{
    char name[64];
    std::snprintf(name, sizeof name, "server-%llx-%llx", static_cast<unsigned long long>(prefix.st_dev),
                  static_cast<unsigned long long>(prefix.st_ino));
    return name;
}

// The folder name Debian's Wine keeps in the prefix, if it is a plain name.
std::string RecordedRootName(const std::filesystem::path& prefix)
{
    std::ifstream in(prefix / "wineserver", std::ios::binary);
    std::string name;
    std::getline(in, name);
    while (!name.empty() && (name.back() == '\r' || name.back() == ' '))
        name.pop_back();
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos || name.size() > 255)
        return {};
    return name;
}

// A lock held on the file by any process, this one included (an open file
// description lock conflicts with every other lock).
bool IsLocked(const std::filesystem::path& lockFile)
{
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct flock query {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
    query.l_start = 0;
    query.l_len = 0;
    const bool locked = ::fcntl(fd, F_OFD_GETLK, &query) == 0 && query.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

} // namespace

bool WineServerRunning(const std::filesystem::path& prefix)
{
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    const std::string serverFolder = ServerFolderName(st);

    std::vector<std::filesystem::path> roots{"/tmp/.wine-" + std::to_string(::getuid())};
    if (const std::string recorded = RecordedRootName(prefix); !recorded.empty()) {
        if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp == '/')
            roots.push_back(std::filesystem::path(tmp) / recorded);
        roots.push_back(std::filesystem::path("/tmp") / recorded);
    }
    for (const std::filesystem::path& root : roots) {
        if (IsLocked(root / serverFolder / "lock"))
            return true;
    }
    return false;
}
