#include "net/echopermission.h"

#include "platform/rawnetcapability.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool Refused(int type)
{
    int fd;
    int error;
    {
        ScopedRawNetCapability privileged;
        fd = socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
        error = errno;
    }
    if (fd >= 0) {
        close(fd);
        return false;
    }
    return error == EACCES || error == EPERM;
}

}  // namespace

bool EchoSocketsRefused()
{
    return Refused(SOCK_DGRAM) && Refused(SOCK_RAW);
}
