// Clocks and memory figures of the running process, read from the kernel.
#pragma once

#include <cstdio>
#include <string>

namespace bench {

double CpuSeconds();        // user + system time of the whole process
double ThreadCpuSeconds();  // of the calling thread only
double WallSeconds();       // a monotonic clock
// What one ThreadCpuSeconds call costs (the median of a few thousand).
double ThreadClockCost();

// A "VmRSS" / "VmHWM" style line of /proc/self/status in KiB; -1 when it is missing.
long StatusKiB(const char* key);
inline long RssKiB() {
  return StatusKiB("VmRSS");
}
inline long PeakRssKiB() {
  return StatusKiB("VmHWM");
}
// Sets the peak (VmHWM) back to the current size, so that a later peak belongs to what
// ran in between. False when the kernel does not allow it.
bool ResetPeakRss();

// One "key=value" line of a run's report on stdout, which the table collects.
inline void Report(const char* key, double value) {
  std::printf("%s=%.6f\n", key, value);
}
inline void Report(const char* key, const std::string& text) {
  std::printf("%s=%s\n", key, text.c_str());
}

}  // namespace bench
