#pragma once

// Lets every thread share a few allocator arenas instead of the C library's
// default of up to eight per core. A thousand measuring threads otherwise
// reserve a 64 MiB arena each for a few kilobytes, and the program's address
// space grows past a gigabyte for some fifty megabytes in use, so that an
// ordinary address-space limit makes allocations fail. A limit the user set
// through the environment is left alone. Call before any thread starts.
void LimitAllocatorArenas();

// Keeps every large block (a downloaded list, its parsed rows, the table's row
// array) mapped on its own, so that it goes back to the system when freed. By
// default the C library moves them into the heap once one has been freed, where
// the small blocks of the next list settle around and above them: ten lists of
// ten thousand rows then hold some 20 MiB more than the first. A threshold the
// user set through the environment is left alone. Call before any thread starts.
void MapLargeBlocksApart();
