#pragma once

// Raises the soft limit on open files to the hard limit, since every measured
// server holds a socket of its own. Gives the limit in force afterwards.
unsigned long RaiseOpenFileLimit();
