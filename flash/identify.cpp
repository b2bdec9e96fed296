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

IdentifyOutcome Failed(ConnectReason reason, std::string detail) {
  return IdentifyOutcome{ConnectFailure{reason, std::move(detail)}, {}};
}

// A request after the link was opened failed: the box, then the close.
IdentifyOutcome DeviceFailed(JobContext& ctx) {
  ctx.host.ShowMessage("Device error", kProgrammerCaption);
  const JobFailure transfer = TransferFailure(ctx.session.handle);
  CloseOnly(ctx.session.handle);
  return Failed(ConnectReason::Device, transfer.detail);
}

// A stop the host sees at once (a signal to a terminal program) ends identification
// before its next request: nothing more reaches the programmer but the close.
bool StopPending(JobContext& ctx) {
  if (!ctx.host.CancelPending())
    return false;
  CloseOnly(ctx.session.handle);
  return true;
}

IdentifyOutcome Stopped() {
  return Failed(ConnectReason::Cancelled, "");
}

// An OK/Cancel question; on Cancel the link is closed and identification ends, declined
// (or cancelled, when a stop made the answer Cancel).
std::optional<IdentifyOutcome> Declined(JobContext& ctx, const char* question) {
  if (ctx.host.AskOkCancel(question, kProgrammerCaption))
    return std::nullopt;
  CloseOnly(ctx.session.handle);
  return ctx.host.CancelPending() ? Stopped() : Failed(ConnectReason::Declined, question);
}

void Identified(JobContext& ctx, const std::string& text) {
  ctx.host.AppendLine(text, LogColour::Purple);
}

std::string IdBytes(const std::array<uint8_t, 4>& id) {
  return Hex(id[0]) + " " + Hex(id[1]) + " " + Hex(id[2]) + " " + Hex(id[3]);
}

// The fixed module mode: a 64M two-bank module with a 16-bit bus, no chip ID read.
IdentifyOutcome IdentifySharpModule(JobContext& ctx) {
  FlashSession& s = ctx.session;
  s.module = ModuleRecord{kNoModule, 64, 1};
  Identified(ctx, "Flash module used as china-sharp like module.");
  Identified(ctx, "Chip used as 16-bit wide bus chip with multibanks.");
  // The chip is not known here; a write mode left over from another chip would pick
  // the wrong write opcode, so the standard one is used.
  s.chip.writeMode = 0;
  if (StopPending(ctx))
    return Stopped();
  if (SetBus16(s.handle) != kCommandOk)
    return DeviceFailed(ctx);
  s.blockCount = 2048;
  ctx.digests.Reset();
  return IdentifyOutcome{std::nullopt, IdentificationOf(s, {})};
}

}  // namespace

IdentifyOutcome ConnectAndIdentify(JobContext& ctx) {
  FlashSession& s = ctx.session;
  if (ctx.host.CancelPending())
    return Stopped();
  const LinkStatus link = OpenProgrammerLink(s.handle, ctx.bindUsb, ctx.device, ctx.usbDevices,
                                             [&ctx] { return ctx.host.CancelPending(); });
  if (s.handle.opened && ctx.programmerOpened)
    ctx.programmerOpened(*s.handle.opened);
  if (link == LinkStatus::Stopped)
    return Stopped();
  if (link != LinkStatus::Ok) {
    const std::string message = LinkMessage(link, s.handle);
    ctx.host.ShowMessage(message, kProgrammerCaption);
    if (link == LinkStatus::DeviceError)
      return Failed(ConnectReason::Device,
                    s.handle.fault ? TransferFaultText(*s.handle.fault) : "");
    return Failed(ConnectReasonOf(link), message);
  }

  uint8_t type = 0;
  if (StopPending(ctx))
    return Stopped();
  if (GetModuleType(s.handle, type) != kCommandOk)
    return DeviceFailed(ctx);
  s.moduleTypeRead = type;
  s.chipIdRead = false;
  if (ctx.isSharp)
    return IdentifySharpModule(ctx);

  if (type == kNoModule)
    if (auto declined = Declined(ctx, "Flash module is probably missing. To continue?"))
      return *declined;
  s.module = ModuleRecord{};
  s.module.moduleId = type;
  IdentifiedAs known;
  known.module = FindModule(ctx.database, s.module);
  if (!known.module) {
    if (auto declined = Declined(ctx, "Flash module unknown. To try as standart 64M module?"))
      return *declined;
    Identified(ctx,
               LogText("Flash module type unknown (%X). Used as 64M module.", {HexUpper(type)}));
    // 64 MiB modules are built with two banks.
    s.module.sizeMB = 64;
    s.module.dualBank = 1;
  }

  std::array<uint8_t, 4> id{};
  if (StopPending(ctx))
    return Stopped();
  if (GetChipId(s.handle, id) != kCommandOk)
    return DeviceFailed(ctx);
  s.chip.chipId = id;
  s.chipIdRead = true;
  known.chipRead = true;
  const bool vendorKnown = FindVendor(ctx.database, id[0], known.vendor);
  const std::string& vendor = known.vendor;
  std::string chipText;
  known.chip = FindChip(ctx.database, s.chip);
  if (known.chip) {
    chipText = vendorKnown ? LogText("%s, %s", {vendor, s.chip.chipName})
                           : LogText("Chip %s", {s.chip.chipName});
  } else if (s.module.dualBank == 1) {
    if (auto declined = Declined(ctx, "Chip unknown. To try as standart 16bit flash chip?"))
      return *declined;
    chipText = vendorKnown ? LogText("%s, chip unknown (%x %x %x %x)",
                                     {vendor, Hex(id[0]), Hex(id[1]), Hex(id[2]), Hex(id[3])})
                           : "Chip unknown (" + IdBytes(id) + ")";
    s.chip.busWidth = 16;
    s.chip.writeMode = 0;  // the standard write opcode, never one left from another chip
  } else {
    if (auto declined =
            Declined(ctx, "Chip detecting fault. Try as one bank module with 8bit chip?"))
      return *declined;
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
    return Stopped();
  const uint8_t bus = s.chip.busWidth == 16 ? SetBus16(s.handle) : SetBus8(s.handle);
  if (bus != kCommandOk)
    return DeviceFailed(ctx);
  ctx.digests.Reset();
  return IdentifyOutcome{std::nullopt, IdentificationOf(s, known)};
}

int BankStart(const FlashSession& s, int index) {
  const int half = s.module.dualBank != 0 ? s.blockCount / 2 : 0;
  return half != 0 && index >= half ? half : 0;
}

BankPosition PositionForBlock(const FlashSession& s, int index) {
  const int half = s.module.dualBank != 0 ? s.blockCount / 2 : 0;
  if (index != 0 && index != half)
    return BankPosition::Ok;
  if (SetAddress(s.handle, 0, 0, 0, 0) != kCommandOk)
    return BankPosition::AddressFailed;
  if (ChipSelect(s.handle, index == 0 ? kBankFirst : kBankSecond) != kCommandOk)
    return BankPosition::BankFailed;
  return BankPosition::Ok;
}

void ShowPositionFailure(JobContext& ctx, BankPosition position) {
  ctx.host.ReplaceLastLine(
      Stamped(ctx, position == BankPosition::AddressFailed ? "[%s] Address set error"
                                                           : "[%s] Chip select error"),
      LogColour::Red);
}

uint8_t SelectBankForBlock(JobContext& ctx, int index) {
  const BankPosition position = PositionForBlock(ctx.session, index);
  if (position == BankPosition::Ok)
    return kCommandOk;
  ShowPositionFailure(ctx, position);
  return kCommandFailed;
}
