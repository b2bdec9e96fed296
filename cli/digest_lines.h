// The digests of a run's reads, checks and verifies on the terminal: per digest its name,
// the hex, then the file, as md5sum and sha1sum print them.
#pragma once

#include <cstdio>

#include "run/run_report.h"

void PrintDigests(std::FILE* out, const RunReport& report);
