// First-match searches over the loaded database, in file order.
#pragma once

#include <cstdint>
#include <string>

#include "database/flash_database.h"

// Answer bits of FindDumpHash.
enum MatchFlag : uint8_t {
  MD5Agrees = 0x01,
  SHA1Agrees = 0x02,
  CrcAgrees = 0x04,
  Found = 0x80,
};

// module.moduleId holds the type byte; on a match sizeMB and dualBank are filled.
bool FindModule(const FlashDatabase& db, ModuleRecord& module);
// chip.chipId holds the 4 bytes read; on a match chipName, busWidth, writeMode are filled.
bool FindChip(const FlashDatabase& db, ChipRecord& chip);
bool FindVendor(const FlashDatabase& db, uint8_t vendorId, std::string& vendorName);
// On a match fills digests.description. flags gets the MatchFlag bits (0 on a miss).
bool FindDumpHash(const FlashDatabase& db, DumpDigests& digests, const HashSettings& settings,
                  uint8_t& flags);
