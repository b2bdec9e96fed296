// The knowledge loaded from the INI database: module types, chips, vendors, known dumps
// and which digests are checked against them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ModuleRecord {
  uint8_t moduleId = 0;  // type byte as the programmer reports it; 0x7F: no module
  uint8_t sizeMB = 0;    // 16, 32 or 64
  uint8_t dualBank = 0;  // 1: two banks, the second holding the upper half of the blocks
};

struct ChipRecord {
  std::array<uint8_t, 4> chipId{};  // byte 0 is the manufacturer code
  uint8_t idLength = 0;             // significant leading bytes of chipId: 2, 3 or 4
  std::string chipName;             // at most 49 characters
  uint8_t busWidth = 0;             // 8 or 16
  uint8_t writeMode = 0;            // 0, 1 or 2
};

struct VendorRecord {
  uint8_t vendorId = 0;
  std::string vendorName;  // at most 50 characters
};

struct DumpHashRecord {
  std::string description;  // at most 100 characters
  std::string md5Text;      // 32 lower-case hex digits
  std::string sha1Text;     // 40
  std::string crcText;      // 8
};

// The digest texts of one dump, handed to FindDumpHash, which fills its description.
using DumpDigests = DumpHashRecord;

enum class HashMode : uint8_t { NotChecked = 0, Checked = 1, Main = 2 };

struct HashSettings {
  HashMode md5Mode = HashMode::NotChecked;
  HashMode sha1Mode = HashMode::NotChecked;
  HashMode crcMode = HashMode::NotChecked;
};

struct FlashDatabase {
  std::vector<ModuleRecord> modules;
  std::vector<ChipRecord> chips;
  std::vector<VendorRecord> vendors;
  std::vector<DumpHashRecord> dumpHashes;
  HashSettings settings;
  int32_t moduleCount = 0;
  int32_t chipCount = 0;
  int32_t vendorCount = 0;
  int32_t dumpHashCount = 0;
};

// The name of the main digest as the log shows it: "MD5", "SHA1" or "AGI CRC".
inline const char* MainHashName(const HashSettings& s) {
  if (s.md5Mode == HashMode::Main)
    return "MD5";
  if (s.sha1Mode == HashMode::Main)
    return "SHA1";
  return "AGI CRC";
}
