#include "flash/run_record.h"

#include "app/app_context.h"
#include "database/lookups.h"

void RecordIdentification(AppContext& ctx) {
  const FlashSession& s = ctx.session;
  IdentificationRecord& r = ctx.report.identification.emplace();
  r.moduleId = s.module.moduleId;
  r.sizeMB = s.module.sizeMB;
  r.dualBank = s.module.dualBank != 0;
  r.blockCount = s.blockCount;
  // The lookups identification made, asked again on copies: the session itself holds
  // the assumed values after an unknown module or chip.
  ModuleRecord module;
  module.moduleId = s.module.moduleId;
  r.moduleKnown = FindModule(ctx.database, module);
  r.chipRead = !ctx.window.IsChecked(Control::isSharp);
  r.chipId = s.chip.chipId;
  ChipRecord chip;
  chip.chipId = s.chip.chipId;
  r.chipKnown = r.chipRead && FindChip(ctx.database, chip);
  if (r.chipKnown)
    r.chipName = chip.chipName;
  if (r.chipRead)
    FindVendor(ctx.database, s.chip.chipId[0], r.vendor);
  r.busWidth = s.chip.busWidth;
  r.writeMode = s.chip.writeMode;
}
