// The hidden bench test behind Test!: reads the chip's lock register through raw bus
// cycles, programs a 16-word pattern and counts how long status bit 6 keeps toggling.
#include <array>
#include <cerrno>
#include <cstdio>

#include "base/log_text.h"
#include "flash/identify.h"
#include "flash/job_file.h"
#include "flash/jobs.h"
#include "flash/stamped.h"
#include "programmer/commands.h"

namespace {

constexpr int kMaxCycles = 1000;
constexpr uint8_t kToggleBit = 0x40;

// Bytes a read did not deliver show as 0.
std::array<uint8_t, 4> ReadFour(const ProgrammerLink& link) {
  std::array<uint8_t, 4> buffer{};
  BusRead(link, buffer.data(), 4);
  return buffer;
}

std::string FourBytes(const std::array<uint8_t, 4>& b) {
  return Hex(b[0]) + " " + Hex(b[1]) + " " + Hex(b[2]) + " " + Hex(b[3]);
}

// A stop the host sees at once (a signal to a terminal program): nothing more is sent but
// the close.
bool Stopped(JobContext& ctx, DiagnosticResult& result) {
  if (!ctx.host.CancelPending())
    return false;
  CloseProgrammer(ctx.session.handle);
  ctx.host.AppendLine(Stamped(ctx, "[%s] Operation cancelled"), LogColour::Red);
  result.failure = JobFailure{FailureReason::Cancelled, 0, ""};
  return true;
}

}  // namespace

DiagnosticResult StatusTest(JobContext& ctx) {
  DiagnosticResult result;
  JobFile status = OpenJobFile(ctx.statusPath, "wb");
  if (!status) {
    result.failure = JobFailure{FailureReason::FileOpen, errno, ctx.statusPath};
    ctx.host.AppendLine(Stamped(ctx, "[%s] Can't create status file: %s", ctx.statusPath),
                        LogColour::Red);
    return result;
  }
  const IdentifyOutcome identified = ConnectAndIdentify(ctx);
  if (!identified.Ok()) {
    result.connection = identified.failure;
    Stopped(ctx, result);  // identification closed the link itself
    return result;
  }
  result.identification = identified.identified;
  const ProgrammerLink& link = ctx.session.handle;

  if (Stopped(ctx, result))
    return result;
  FlashReset(link);
  BusWrite(link, 0x555, 0xAA);
  BusWrite(link, 0x2AA, 0x55);
  BusWrite(link, 0x555, 0x40);
  SetAddress(link, 0, 0, 0, 0);
  const auto lock = ReadFour(link);
  ctx.host.AppendLine("Lock register: " + FourBytes(lock), LogColour::Purple);

  if (Stopped(ctx, result))
    return result;
  FlashReset(link);
  BusWrite(link, 0x555, 0xAA);
  BusWrite(link, 0x2AA, 0x55);
  BusWrite(link, 0x000, 0x25);
  BusWrite(link, 0x000, 0x0F);
  for (uint16_t i = 0; i < 16; ++i) BusWrite(link, i, static_cast<uint16_t>(0x80 + i));
  BusWrite(link, 0x01F, 0x29);
  SetAddress(link, 0, 0, 0, 0x1F);

  int writeError = 0;  // of the first line that did not reach status.txt
  int cycles = 0;
  std::array<uint8_t, 4> last{};
  uint8_t first = 0;
  uint8_t second = 0;
  do {
    if (Stopped(ctx, result))
      return result;
    first = ReadFour(link)[1];
    last = ReadFour(link);
    second = last[1];
    if (std::fprintf(status.get(), "Cycle %d ==> %x : %x\n", cycles, first, second) < 0)
      writeError = writeError != 0 ? writeError : errno;
    ++cycles;
  } while (((first ^ second) & kToggleBit) != 0 && cycles < kMaxCycles);

  // What the chip answered stands whether or not the file took it; a full disk shows only
  // when the buffered lines are flushed, at the close.
  ctx.host.AppendLine("Status register: " + FourBytes(last) + ", cycles: " + std::to_string(cycles),
                      LogColour::Purple);
  CloseProgrammer(ctx.session.handle);
  if (!CloseWritten(status) || writeError != 0) {
    result.failure =
        JobFailure{FailureReason::FileWrite, writeError != 0 ? writeError : errno, ctx.statusPath};
    ctx.host.AppendLine(Stamped(ctx, "[%s] File write error: %s", ctx.statusPath), LogColour::Red);
    return result;
  }
  return result;
}
