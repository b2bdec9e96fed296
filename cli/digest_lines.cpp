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
