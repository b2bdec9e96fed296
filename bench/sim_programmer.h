// The simulated programmer the job benchmarks run against, at zero latency, with the
// time spent inside it counted apart so that the tool's own share is visible. Also the
// module sizes and files the runs share.
#pragma once

#include <cstdint>
#include <string>

#include "app/app_context.h"
#include "sim/sim_bus.h"

namespace bench {

inline constexpr int kBenchBlockSize = 32768;

// 16: a 16 MiB one-bank module (type 03); 64: a 64 MiB two-bank module (type 06).
sim::DeviceConfig ModuleConfig(int sizeMiB);
inline uint64_t ModuleBytes(int sizeMiB) {
  return static_cast<uint64_t>(sizeMiB) << 20;
}

// The database the runs load: the three module types, the simulator's chip, one dump.
std::string WriteDatabase(const std::string& dir);
// The module's untouched contents in dump order ("pattern<size>.bin" in `dir`): the
// reference of the check job and the source of the write job.
std::string PatternFile(const std::string& dir, int sizeMiB);
bool WritePatternFile(const std::string& dir, int sizeMiB);

class SimProgrammer {
 public:
  explicit SimProgrammer(int sizeMiB);
  ~SimProgrammer();
  SimProgrammer(const SimProgrammer&) = delete;
  SimProgrammer& operator=(const SimProgrammer&) = delete;

  // Makes every connection of `ctx` go to this programmer through the timed table.
  void Attach(AppContext& ctx);

  sim::SimBus bus;
  sim::SimDevice* device;
  // CPU seconds spent inside the simulated transfers, and the number of transfers timed,
  // since the last reset.
  double simSeconds = 0;
  int timedTransfers = 0;
  // What reading the clock around the transfers cost the tool's side: one clock read
  // per transfer falls outside the simulator's share.
  double ProbeSeconds() const;
  // The simulator's memory for the module's flash (chunks written to so far).
  double FlashKiB() const;
  // Data phases the device has moved since its handle was opened.
  int ReadBlocks() const { return device->Model().ReadBlocks(); }
  int WriteBlocks() const { return device->Model().WriteBlocks(); }
};

}  // namespace bench
