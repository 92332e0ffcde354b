#include "platform/regularfileread.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a file that is not a regular one is, for the message.
const char* KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "it is a folder, not a file";
    if (S_ISFIFO(mode))
        return "it is a named pipe (FIFO), not a regular file";
    if (S_ISCHR(mode))
        return "it is a character device, not a regular file";
    if (S_ISBLK(mode))
        return "it is a block device, not a regular file";
    if (S_ISSOCK(mode))
        return "it is a socket, not a regular file";
    return "it is not a regular file";
}

std::string ReasonOf(int error)
{
    if (error == ELOOP)
        return "its symbolic links lead round in a loop";
    return std::strerror(error);
}

RegularFileRead Refused(std::string reason)
{
    return {RegularFileRead::Outcome::Refused, {}, std::move(reason)};
}

} // namespace

RegularFileRead ReadRegularFile(const std::string& path, std::size_t maxBytes)
{
    const std::string tooLarge = "it is larger than " + std::to_string(maxBytes >> 20) + " MiB";

    // Look before opening: opening some devices does something by itself.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {RegularFileRead::Outcome::Missing, {}, {}};
        return Refused(ReasonOf(errno));
    }
    if (!S_ISREG(info.st_mode))
        return Refused(KindOf(info.st_mode));
    if (static_cast<std::size_t>(info.st_size) > maxBytes)
        return Refused(tooLarge);

    // The file may have been replaced meanwhile: a non-blocking open returns
    // at once even for a pipe, and the open descriptor is what is checked.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return {RegularFileRead::Outcome::Missing, {}, {}};
        return Refused(ReasonOf(errno));
    }
    RegularFileRead result;
    if (::fstat(fd, &info) != 0) {
        result = Refused(ReasonOf(errno));
    } else if (!S_ISREG(info.st_mode)) {
        result = Refused(KindOf(info.st_mode));
    } else {
        // The size may still change (or be untrue, as in /proc): read no
        // more than one byte past the limit, whatever the size said.
        result.outcome = RegularFileRead::Outcome::Read;
        result.content.resize(std::min<std::size_t>(static_cast<std::size_t>(info.st_size), maxBytes) + 1);
        std::size_t filled = 0;
        for (;;) {
            if (filled == result.content.size()) {
                if (filled > maxBytes)
                    break;
                result.content.resize(std::min(filled * 2 + 4096, maxBytes + 1));
            }
            const ssize_t got = ::read(fd, result.content.data() + filled, result.content.size() - filled);
            if (got > 0) {
                filled += static_cast<std::size_t>(got);
            } else if (got == 0) {
                break;
            } else if (errno != EINTR) {
                result = Refused(ReasonOf(errno));
                break;
            }
        }
        if (result.outcome == RegularFileRead::Outcome::Read) {
            if (filled > maxBytes)
                result = Refused(tooLarge);
            else
                result.content.resize(filled);
        }
    }
    if (result.outcome == RegularFileRead::Outcome::Read)
        result.info = info;
    ::close(fd);
    return result;
}
