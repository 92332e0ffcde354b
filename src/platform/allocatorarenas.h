#pragma once

// Lets every thread share a few allocator arenas instead of the C library's
// default of up to eight per core. A thousand measuring threads otherwise
// reserve a 64 MiB arena each for a few kilobytes, and the program's address
// space grows past a gigabyte for some fifty megabytes in use, so that an
// ordinary address-space limit makes allocations fail. A limit the user set
// through the environment is left alone. Call before any thread starts.
void LimitAllocatorArenas();
