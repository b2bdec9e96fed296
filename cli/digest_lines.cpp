#include "cli/digest_lines.h"

void PrintDigests(std::FILE* out, const RunReport& report) {
  for (const JobRecord& job : report.jobs) {
    // The second read's digests are the read's; a job that stopped early has none.
    const std::optional<DigestTexts>& digests = job.result.digests;
    if (!digests || (job.name != "read" && job.name != "check" && job.name != "verify"))
      continue;
    const char* file = job.file.c_str();
    std::fprintf(out, "MD5     %s  %s\nSHA-1   %s  %s\nAGI CRC %s  %s\n", digests->md5.c_str(),
                 file, digests->sha1.c_str(), file, digests->crc.c_str(), file);
  }
}

void PrintRetrySummary(std::FILE* out, const RunReport& report) {
  std::vector<RetryRecord> all = report.identifyRetries;
  for (const JobRecord& job : report.jobs)
    all.insert(all.end(), job.result.retries.begin(), job.result.retries.end());
  if (all.empty())
    return;
  std::string where;
  for (const RetryRecord& retry : all)
    where += (where.empty() ? "" : "; ") + retry.job +
             (retry.job == "identify" || retry.job == "erase"
                  ? ""
                  : " block " + std::to_string(retry.block)) +
             ": " + retry.reason;
  std::fprintf(out, "flashwrendel-cli: reconnected %zu %s after lost transfers (%s)\n", all.size(),
               all.size() == 1 ? "time" : "times", where.c_str());
}
