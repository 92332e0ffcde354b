#pragma once

#include "browse/serverentry.h"
#include "launch/gameversion.h"

// Whether a server can be joined with the executables configured right now:
// it needs a version, must not be private, and a version we know needs its
// executable configured (a version we do not know sets no requirement).
// Asked for every row at every repaint, so it allocates nothing of its own.
bool IsJoinable(const ServerEntry& entry, const ExecutableLookup& executableFor);
