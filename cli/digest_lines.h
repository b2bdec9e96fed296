// What the terminal adds after a run: the digests of its reads, checks and verifies (per
// digest its name, the hex, then the file, as md5sum and sha1sum print them), and the
// reconnections it spent.
#pragma once

#include <cstdio>

#include "run/run_report.h"

void PrintDigests(std::FILE* out, const RunReport& report);

// One closing line for a run that lost transfers on the link and reconnected, with where
// and why: "flashwrendel-cli: reconnected 2 times (read block 37: timeout; ...)". Nothing
// for a run that did not.
void PrintRetrySummary(std::FILE* out, const RunReport& report);
