#pragma once

// Gives the kernel's table of blocked threads room for thousands of them. Newer
// kernels give each process a table of its own, sized by the number of cores:
// sixteen slots on a small machine. With a measuring thread for each of ten
// thousand rows asleep in it, every wake-up (a stop request, a worker handed to
// a pooled thread, a lock released) walks a chain of hundreds of sleepers, and
// stopping and restarting the rows spends most of its time there. Kernels
// without such tables share one large table already and are left as they are.
// Call before any thread starts.
void MakeRoomForManyThreadWaits();
