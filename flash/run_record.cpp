#include "flash/run_record.h"

#include "app/app_context.h"

void RecordIdentification(AppContext& ctx, const IdentifiedAs& known) {
  const FlashSession& s = ctx.session;
  IdentificationRecord& r = ctx.report.identification.emplace();
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
}
