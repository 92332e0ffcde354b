#pragma once

#include <sys/types.h>

// The network namespace of the calling thread, as the inode that names it; 0 when
// it cannot be told. Sockets and threads belong to the namespace they were made
// in, so what is shared between threads is kept apart by it.
ino_t NetworkNamespaceOfThisThread();
