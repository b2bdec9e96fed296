#include "cli/job_list.h"

#include <set>

namespace {

const std::set<std::string> kJobWords = {"list",  "identify", "read",    "check",
                                         "erase", "write",    "diagnose"};

}  // namespace

std::optional<JobList> ParseJobs(const std::vector<std::string>& words, std::string& error) {
  JobList jobs;
  JobSelection& sel = jobs.selection;
  std::set<std::string> seen;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (kJobWords.count(word) == 0) {
      error = "unknown job \"" + word +
              "\" (jobs: list, identify, read FILE, check FILE, erase, "
              "write FILE, diagnose [FILE])";
      return std::nullopt;
    }
    if (!seen.insert(word).second) {
      error = "the job \"" + word + "\" is given twice";
      return std::nullopt;
    }
    const bool takesFile = word == "read" || word == "check" || word == "write";
    const bool hasFile = i + 1 < words.size() && kJobWords.count(words[i + 1]) == 0;
    if (takesFile && !hasFile) {
      error = "the job \"" + word + "\" needs a FILE";
      return std::nullopt;
    }
    const bool namesFile = hasFile && (takesFile || word == "diagnose");
    const std::string file = namesFile ? words[++i] : "";
    // Refused now, not after the flash has been read for it.
    if (namesFile && file.empty()) {
      error = "the job \"" + word + "\" needs a FILE, not an empty name";
      return std::nullopt;
    }
    if (word == "read") {
      sel.ReadCheckSelected = true;
      sel.ReadFileName = file;
    } else if (word == "check") {
      sel.ReadCheckSelected = true;
      sel.ReadMode = false;
      sel.CheckFileName = file;
    } else if (word == "erase") {
      sel.EraseSelected = true;
    } else if (word == "write") {
      sel.WriteSelected = true;
      sel.WriteFileName = file;
    } else if (word == "list") {
      jobs.kind = JobList::Kind::List;
    } else if (word == "identify") {
      jobs.kind = JobList::Kind::Identify;
    } else {
      jobs.kind = JobList::Kind::Diagnose;
      jobs.statusFile = file;
    }
  }
  if (seen.count("read") != 0 && seen.count("check") != 0) {
    error = "read and check cannot run together: the flash is read once per run";
    return std::nullopt;
  }
  if (jobs.kind != JobList::Kind::Start && seen.size() > 1) {
    error = "list, identify and diagnose run alone (every other job identifies first)";
    return std::nullopt;
  }
  if (seen.empty()) {
    error = "no job given";
    return std::nullopt;
  }
  return jobs;
}
