#include "database/lookups.h"

#include <algorithm>

bool FindModule(const FlashDatabase& db, ModuleRecord& module) {
  for (const ModuleRecord& record : db.modules) {
    if (record.moduleId != module.moduleId)
      continue;
    module.sizeMB = record.sizeMB;
    module.dualBank = record.dualBank;
    return true;
  }
  return false;
}

bool FindChip(const FlashDatabase& db, ChipRecord& chip) {
  for (const ChipRecord& record : db.chips) {
    // Only the record's significant ID bytes take part.
    const size_t length = std::min<size_t>(record.idLength, record.chipId.size());
    if (!std::equal(record.chipId.begin(), record.chipId.begin() + length, chip.chipId.begin()))
      continue;
    chip.chipName = record.chipName;
    chip.busWidth = record.busWidth;
    chip.writeMode = record.writeMode;
    return true;
  }
  return false;
}

bool FindVendor(const FlashDatabase& db, uint8_t vendorId, std::string& vendorName) {
  for (const VendorRecord& record : db.vendors) {
    if (record.vendorId != vendorId)
      continue;
    vendorName = record.vendorName;
    return true;
  }
  return false;
}

namespace {

enum class Digest { MD5, SHA1, Crc };

const std::string& DigestText(const DumpHashRecord& record, Digest digest) {
  switch (digest) {
    case Digest::MD5:
      return record.md5Text;
    case Digest::SHA1:
      return record.sha1Text;
    case Digest::Crc:
      break;
  }
  return record.crcText;
}

HashMode ModeOf(const HashSettings& settings, Digest digest) {
  switch (digest) {
    case Digest::MD5:
      return settings.md5Mode;
    case Digest::SHA1:
      return settings.sha1Mode;
    case Digest::Crc:
      break;
  }
  return settings.crcMode;
}

uint8_t AgreeFlag(Digest digest) {
  switch (digest) {
    case Digest::MD5:
      return MD5Agrees;
    case Digest::SHA1:
      return SHA1Agrees;
    case Digest::Crc:
      break;
  }
  return CrcAgrees;
}

// The main digest, then the other two in the order they are compared.
struct CompareOrder {
  Digest main;
  Digest others[2];
};

CompareOrder OrderFor(const HashSettings& settings) {
  if (settings.md5Mode == HashMode::Main)
    return {Digest::MD5, {Digest::SHA1, Digest::Crc}};
  if (settings.sha1Mode == HashMode::Main)
    return {Digest::SHA1, {Digest::MD5, Digest::Crc}};
  return {Digest::Crc, {Digest::SHA1, Digest::MD5}};
}

}  // namespace

bool FindDumpHash(const FlashDatabase& db, DumpDigests& digests, const HashSettings& settings,
                  uint8_t& flags) {
  flags = 0;
  const CompareOrder order = OrderFor(settings);
  for (const DumpHashRecord& record : db.dumpHashes) {
    if (DigestText(record, order.main) != DigestText(digests, order.main))
      continue;
    flags = MD5Agrees | SHA1Agrees | CrcAgrees;
    for (Digest other : order.others) {
      if (ModeOf(settings, other) == HashMode::NotChecked)
        continue;
      if (DigestText(record, other) != DigestText(digests, other))
        flags = static_cast<uint8_t>(flags & ~AgreeFlag(other));
    }
    digests.description = record.description;
    flags |= Found;
    return true;
  }
  return false;
}
