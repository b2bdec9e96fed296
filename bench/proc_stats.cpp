#include "bench/proc_stats.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <vector>

namespace bench {

namespace {

double ClockSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

double CpuSeconds() {
  return ClockSeconds(CLOCK_PROCESS_CPUTIME_ID);
}
double ThreadCpuSeconds() {
  return ClockSeconds(CLOCK_THREAD_CPUTIME_ID);
}
double WallSeconds() {
  return ClockSeconds(CLOCK_MONOTONIC);
}

double ThreadClockCost() {
  std::vector<double> costs;
  for (int round = 0; round < 9; ++round) {
    const int reads = 1000;
    const double start = ThreadCpuSeconds();
    for (int i = 1; i < reads; ++i) ThreadCpuSeconds();
    costs.push_back((ThreadCpuSeconds() - start) / reads);
  }
  std::sort(costs.begin(), costs.end());
  return costs[costs.size() / 2];
}

long StatusKiB(const char* key) {
  std::ifstream status("/proc/self/status");
  const std::string prefix = std::string(key) + ":";
  for (std::string line; std::getline(status, line);)
    if (line.compare(0, prefix.size(), prefix) == 0)
      return std::stol(line.substr(prefix.size()));
  return -1;
}

bool ResetPeakRss() {
  std::ofstream refs("/proc/self/clear_refs");
  refs << "5";  // 5: reset the peak resident set size
  refs.flush();
  return static_cast<bool>(refs);
}

}  // namespace bench
