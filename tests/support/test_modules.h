// The module types of the test database (TestDatabase), and the simulated programmer
// carrying one of them, built up from a preset:
//   Rig rig(Module(kModule32M).Contents(sim::InitialContents::Erased).Erase({1, 0}, {0}));
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sim/device_config.h"

inline constexpr uint8_t kModule16M = 0x03;     // 16 MiB, one bank
inline constexpr uint8_t kModule16Dual = 0x04;  // 16 MiB, two banks of 8 (switch at block 256)
inline constexpr uint8_t kModule32M = 0x05;     // 32 MiB, two banks
inline constexpr uint8_t kModule64M = 0x06;     // 64 MiB, two banks
inline constexpr int kBlocks16M = 512;          // blocks of a 16 MiB module

class Module {
 public:
  // A type the database does not know answers from a 16 MiB one-bank board.
  explicit Module(uint8_t type) {
    config.model.moduleType = type;
    config.model.sizeMiB = type == kModule32M ? 32 : type == kModule64M ? 64 : 16;
    config.model.dualBank = type == kModule16Dual || type == kModule32M || type == kModule64M;
  }
  Module& Contents(sim::InitialContents contents) {
    config.model.contents = contents;
    return *this;
  }
  Module& Chip(std::array<uint8_t, 4> id) {
    config.model.chipId = id;
    return *this;
  }
  // The answers of the first and the second bank to their erase polls and checks.
  Module& Erase(std::vector<uint8_t> bank1, std::vector<uint8_t> bank0 = {0}) {
    config.model.eraseScript = {std::move(bank1), std::move(bank0)};
    return *this;
  }
  // How often the status bit 6 changes after a buffer program (the diagnostic's cycles).
  Module& StatusToggles(int toggles) {
    config.model.statusToggles = toggles;
    return *this;
  }
  operator sim::DeviceConfig() const { return config; }
  const sim::ModelConfig& Model() const { return config.model; }

  sim::DeviceConfig config;
};
