#include "flash/identify.h"

#include "base/log_text.h"
#include "database/lookups.h"
#include "flash/run_record.h"
#include "flash/stamped.h"
#include "programmer/commands.h"

namespace {

constexpr uint8_t kNoModule = 127;

// Closes the link without releasing the interface, as the failures inside the
// connection do; the handle is forgotten so that nothing can reach it afterwards.
void CloseOnly(ProgrammerLink& link) {
  link.api.usb_close(link.handle);
  link.handle = nullptr;
}

// Failure after the link was opened: the box, then the close.
int FailWithBox(JobContext& ctx, const char* text) {
  ctx.host.ShowMessage(text, kProgrammerCaption);
  CloseOnly(ctx.session.handle);
  return 0;
}

// A stop the host sees at once (a signal to a terminal program) ends identification
// before its next request: nothing more reaches the programmer but the close.
bool StopPending(JobContext& ctx) {
  if (!ctx.host.CancelPending())
    return false;
  CloseOnly(ctx.session.handle);
  return true;
}

// An OK/Cancel question; on Cancel the link is closed and identification ends.
bool GoOn(JobContext& ctx, const char* question) {
  if (ctx.host.AskOkCancel(question, kProgrammerCaption))
    return true;
  CloseOnly(ctx.session.handle);
  return false;
}

void Identified(JobContext& ctx, const std::string& text) {
  ctx.host.AppendLine(text, LogColour::Purple);
}

std::string IdBytes(const std::array<uint8_t, 4>& id) {
  return Hex(id[0]) + " " + Hex(id[1]) + " " + Hex(id[2]) + " " + Hex(id[3]);
}

// The fixed module mode: a 64M two-bank module with a 16-bit bus, no chip ID read.
int IdentifySharpModule(JobContext& ctx, IdentificationRecord* found) {
  FlashSession& s = ctx.session;
  s.module = ModuleRecord{kNoModule, 64, 1};
  Identified(ctx, "Flash module used as china-sharp like module.");
  Identified(ctx, "Chip used as 16-bit wide bus chip with multibanks.");
  // The chip is not known here; a write mode left over from another chip would pick
  // the wrong write opcode, so the standard one is used.
  s.chip.writeMode = 0;
  if (StopPending(ctx))
    return 0;
  if (SetBus16(s.handle) != kCommandOk)
    return FailWithBox(ctx, "Device error");
  s.blockCount = 2048;
  ctx.digests.Reset();
  if (found != nullptr)
    *found = IdentificationOf(s, {});
  return 1;
}

}  // namespace

int ConnectAndIdentify(JobContext& ctx, IdentificationRecord* found) {
  FlashSession& s = ctx.session;
  if (ctx.host.CancelPending())
    return 0;
  const LinkStatus link = OpenProgrammerLink(s.handle, ctx.bindUsb, ctx.device, ctx.usbDevices,
                                             [&ctx] { return ctx.host.CancelPending(); });
  if (s.handle.opened && ctx.programmerOpened)
    ctx.programmerOpened(*s.handle.opened);
  if (link == LinkStatus::Stopped)
    return 0;
  if (link != LinkStatus::Ok) {
    ctx.host.ShowMessage(LinkMessage(link, s.handle), kProgrammerCaption);
    return 0;
  }

  uint8_t type = 0;
  if (StopPending(ctx))
    return 0;
  if (GetModuleType(s.handle, type) != kCommandOk)
    return FailWithBox(ctx, "Device error");
  if (ctx.isSharp)
    return IdentifySharpModule(ctx, found);

  if (type == kNoModule && !GoOn(ctx, "Flash module is probably missing. To continue?"))
    return 0;
  s.module = ModuleRecord{};
  s.module.moduleId = type;
  IdentifiedAs known;
  known.module = FindModule(ctx.database, s.module);
  if (!known.module) {
    if (!GoOn(ctx, "Flash module unknown. To try as standart 64M module?"))
      return 0;
    Identified(ctx,
               LogText("Flash module type unknown (%X). Used as 64M module.", {HexUpper(type)}));
    // 64 MiB modules are built with two banks.
    s.module.sizeMB = 64;
    s.module.dualBank = 1;
  }

  std::array<uint8_t, 4> id{};
  if (StopPending(ctx))
    return 0;
  if (GetChipId(s.handle, id) != kCommandOk)
    return FailWithBox(ctx, "Device error");
  s.chip.chipId = id;
  known.chipRead = true;
  const bool vendorKnown = FindVendor(ctx.database, id[0], known.vendor);
  const std::string& vendor = known.vendor;
  std::string chipText;
  known.chip = FindChip(ctx.database, s.chip);
  if (known.chip) {
    chipText = vendorKnown ? LogText("%s, %s", {vendor, s.chip.chipName})
                           : LogText("Chip %s", {s.chip.chipName});
  } else if (s.module.dualBank == 1) {
    if (!GoOn(ctx, "Chip unknown. To try as standart 16bit flash chip?"))
      return 0;
    chipText = vendorKnown ? LogText("%s, chip unknown (%x %x %x %x)",
                                     {vendor, Hex(id[0]), Hex(id[1]), Hex(id[2]), Hex(id[3])})
                           : "Chip unknown (" + IdBytes(id) + ")";
    s.chip.busWidth = 16;
    s.chip.writeMode = 0;  // the standard write opcode, never one left from another chip
  } else {
    if (!GoOn(ctx, "Chip detecting fault. Try as one bank module with 8bit chip?"))
      return 0;
    chipText = "Chip changed to 8bit (" + IdBytes(id) + ")";
    s.chip.busWidth = 8;
    s.chip.writeMode = 0;
  }
  Identified(ctx, chipText);

  switch (s.module.sizeMB) {
    case 16:
      Identified(ctx, "Flash module: 16M");
      s.blockCount = 512;
      break;
    case 32:
      Identified(ctx, "Flash module: 32M");
      s.blockCount = 1024;
      break;
    default:
      Identified(ctx, "Flash module: 64M");
      s.blockCount = 2048;
      break;
  }

  if (StopPending(ctx))
    return 0;
  const uint8_t bus = s.chip.busWidth == 16 ? SetBus16(s.handle) : SetBus8(s.handle);
  if (bus != kCommandOk)
    return FailWithBox(ctx, "Device error");
  ctx.digests.Reset();
  if (found != nullptr)
    *found = IdentificationOf(s, known);
  return 1;
}

uint8_t SelectBankForBlock(JobContext& ctx, int index) {
  const FlashSession& s = ctx.session;
  const int half = s.module.dualBank != 0 ? s.blockCount / 2 : 0;
  if (index != 0 && index != half)
    return kCommandOk;
  if (SetAddress(s.handle, 0, 0, 0, 0) != kCommandOk) {
    ctx.host.ReplaceLastLine(Stamped(ctx, "[%s] Address set error"), LogColour::Red);
    return kCommandFailed;
  }
  if (ChipSelect(s.handle, index == 0 ? kBankFirst : kBankSecond) != kCommandOk) {
    ctx.host.ReplaceLastLine(Stamped(ctx, "[%s] Chip select error"), LogColour::Red);
    return kCommandFailed;
  }
  return kCommandOk;
}
