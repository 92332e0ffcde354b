#pragma once

#include "query/queryoptions.h"

// Each runs one command to its end, writes its result to standard output and
// its failure to standard error, and gives the exit status (exitcodes.h).
int RunList(const ListRequest& request);
int RunInfo(const InfoRequest& request);
int RunFind(const FindRequest& request);
