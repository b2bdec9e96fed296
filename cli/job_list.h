// The JOB... words of the command line: list | identify | read FILE | check FILE | erase |
// write FILE | diagnose [FILE].
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "flash/job_selection.h"

struct JobList {
  enum class Kind { Start, List, Identify, Diagnose } kind = Kind::Start;
  JobSelection selection;  // Kind::Start
  std::string statusFile;  // Kind::Diagnose; empty: the default
};

// The jobs, or nothing with `error` set to the reason.
std::optional<JobList> ParseJobs(const std::vector<std::string>& words, std::string& error);
