// The chips and vendor the job tests and the device fuzzer identify against: C2 7E
// (2-byte ID, 16-bit, write mode 1) and 01 A7 12 (3-byte ID, 8-bit, mode 0), with vendor
// C2 "Macronix" only, so one chip has a vendor line and the other not.
#pragma once

#include <vector>

#include "database/flash_database.h"

inline std::vector<ChipRecord> TestChips() {
  ChipRecord wide;
  wide.chipId = {0xC2, 0x7E, 0, 0};
  wide.idLength = 2;
  wide.chipName = "MX29LV640";
  wide.busWidth = 16;
  wide.writeMode = 1;
  ChipRecord narrow;
  narrow.chipId = {0x01, 0xA7, 0x12, 0};
  narrow.idLength = 3;
  narrow.chipName = "AM29F032";
  narrow.busWidth = 8;
  narrow.writeMode = 0;
  return {wide, narrow};
}

inline std::vector<VendorRecord> TestVendors() {
  return {{0xC2, "Macronix"}};
}
