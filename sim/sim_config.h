// The key=value settings file of the drop-in library (named by FW_SIM_CONFIG), and the
// bus it describes. The keys are listed in sim/README.md.
#pragma once

#include <string>
#include <vector>

#include "sim/device_config.h"
#include "sim/sim_bus.h"

namespace sim {

struct SimSetup {
  bool present = true;     // false: no programmer on any bus
  int programmers = 1;     // each on a bus of its own
  int foreignDevices = 0;  // 1234:5678 devices on the first bus, ahead of the programmer
  DeviceConfig device{};   // every programmer's identity, firmware and faults
  std::string imageIn;     // preloaded into every programmer's flash
  std::string imageOut;    // the first programmer's flash is saved here when it is closed
};

struct ConfigResult {
  SimSetup setup;
  std::vector<std::string> errors;  // one per line that could not be used
};

// Blank lines and lines starting with '#' are skipped; blanks around keys and values
// are trimmed. A bad line is reported and leaves its setting at the default.
ConfigResult ParseSimConfig(const std::string& text);
ConfigResult LoadSimConfig(const std::string& path);

// Adds the described devices to `bus` and preloads image_in; problems go to `errors`.
void BuildBus(SimBus& bus, const SimSetup& setup, std::vector<std::string>& errors);

}  // namespace sim
