// What identification found out about the module in the programmer.
#pragma once

#include <cstdint>

#include "database/flash_database.h"
#include "programmer/programmer_link.h"

inline constexpr int kBlockSize = 0x8000;  // bytes per ReadBlock and WriteBlock

struct FlashSession {
  ProgrammerLink handle;
  ModuleRecord module;     // fresh for every identification
  ChipRecord chip;         // kept between identifications
  int32_t blockCount = 0;  // 512, 1024 or 2048
  // What the programmer answered, for a reconnection to see that the same module is in it:
  // its module type, and the chip ID when one was read.
  uint8_t moduleTypeRead = 0;
  bool chipIdRead = false;
};
