#include "platform/networknamespace.h"

#include <sys/stat.h>

ino_t NetworkNamespaceOfThisThread()
{
    struct stat status{};
    return stat("/proc/thread-self/ns/net", &status) == 0 ? status.st_ino : 0;
}
