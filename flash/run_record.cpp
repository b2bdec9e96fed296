#include "flash/run_record.h"

IdentificationRecord IdentificationOf(const FlashSession& s, const IdentifiedAs& known) {
  IdentificationRecord r;
  r.moduleId = s.module.moduleId;
  r.sizeMB = s.module.sizeMB;
  r.dualBank = s.module.dualBank != 0;
  r.blockCount = s.blockCount;
  r.moduleKnown = known.module;
  r.chipRead = known.chipRead;
  r.chipId = s.chip.chipId;
  r.chipKnown = known.chip;
  if (r.chipKnown)
    r.chipName = s.chip.chipName;
  r.vendor = known.vendor;
  r.busWidth = s.chip.busWidth;
  r.writeMode = s.chip.writeMode;
  return r;
}
