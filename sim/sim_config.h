// The key=value settings file of the drop-in library (named by FW_SIM_CONFIG), and the
// bus it describes. The keys are listed in sim/README.md.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sim/device_config.h"
#include "sim/sim_bus.h"

namespace sim {

// One programmer's own settings.
struct ProgrammerSetup {
  DeviceConfig device{};  // identity, firmware and faults
  std::string imageIn;    // preloaded into its flash
  std::string imageOut;   // its flash is saved here each time it is closed
  int bus = 0;            // bus number; 0: the usual layout (see BuildBus)
  int deviceNumber = 0;   // device number on its bus; 0: the next free one
};

// The whole setup. Its ProgrammerSetup part holds the unnumbered keys, which every
// programmer takes (image_out only the first: two programmers would write one file);
// numbered keys "K.key" give programmer K settings of its own on top of those.
struct SimSetup : ProgrammerSetup {
  bool present = true;     // false: no programmer on any bus
  int programmers = 1;     // how many
  int foreignDevices = 0;  // 1234:5678 devices on the first bus, ahead of the programmer
  // The programmers that have numbered keys (from 1), their settings in full.
  std::map<int, ProgrammerSetup> numbered;

  // Programmer k's settings, counted from 1.
  ProgrammerSetup Programmer(int k) const;
};

struct ConfigResult {
  SimSetup setup;
  std::vector<std::string> errors;  // one per line that could not be used
};

// Blank lines and lines starting with '#' are skipped; blanks around keys and values
// are trimmed. A bad line is reported and leaves its setting at the default.
ConfigResult ParseSimConfig(const std::string& text);
ConfigResult LoadSimConfig(const std::string& path);

// Adds the described devices to `bus` and preloads each programmer's image_in; problems
// go to `errors`. The foreign devices make bus 1. A programmer without a bus number
// goes behind them when it is the first, else onto a new bus of its own (numbered one
// more than the highest so far); one with a bus number joins that bus. Returns the
// programmers' device ids, programmer 1 first (none for one that cannot be placed
// because its device number is taken).
std::vector<int> BuildBus(SimBus& bus, const SimSetup& setup, std::vector<std::string>& errors);

}  // namespace sim
