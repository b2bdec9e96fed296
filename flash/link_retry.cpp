#include "flash/link_retry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "base/log_text.h"
#include "flash/stamped.h"
#include "programmer/commands.h"

namespace {

constexpr int kFirstWaitMs = 200;  // before the first reconnection; doubled for each next
constexpr int kLongestWaitMs = 2000;
constexpr int kScanMs = 100;  // between two looks at the bus while the programmer is away
constexpr int kScans = 50;    // five seconds for it to come back

void Sleep(const JobContext& ctx, int ms) {
  if (ctx.retry.sleep)
    ctx.retry.sleep(ms);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string IdText(uint8_t type, const std::array<uint8_t, 4>* id) {
  std::string text = "module " + Hex(type);
  if (id != nullptr)
    text +=
        ", chip " + Hex((*id)[0]) + " " + Hex((*id)[1]) + " " + Hex((*id)[2]) + " " + Hex((*id)[3]);
  return text;
}

// The programmer to open again: the one at the same port path, or the only one there.
// None while it is away; a failure when several are there and none can be told apart.
std::optional<DeviceChoice> FindAgain(JobContext& ctx, const std::optional<ProgrammerPlace>& was,
                                      bool& several) {
  const std::vector<ProgrammerPlace> found = ListProgrammers(ctx.bindUsb(), ctx.usbDevices);
  several = false;
  if (was && !was->port.empty()) {
    for (const ProgrammerPlace& place : found)
      if (place.port == was->port)
        return DeviceChoice{0, 0, place.port};
    return std::nullopt;
  }
  if (found.size() == 1)
    return DeviceChoice{found[0].bus, found[0].device, ""};
  several = found.size() > 1;
  return std::nullopt;
}

// Looks at the bus until the programmer that was open is there again.
std::optional<JobFailure> AwaitAgain(JobContext& ctx, const std::optional<ProgrammerPlace>& was,
                                     std::optional<DeviceChoice>& choice) {
  bool several = false;
  for (int scan = 0; scan < kScans && !choice && !ctx.host.CancelPending(); ++scan) {
    if (scan > 0)
      Sleep(ctx, kScanMs);
    choice = FindAgain(ctx, was, several);
    if (several)  // never a different one of several
      return JobFailure{FailureReason::Transfer, 0, "several programmers, none known to be it"};
  }
  if (!choice)
    return JobFailure{FailureReason::Transfer, ENODEV, "the programmer did not come back"};
  return std::nullopt;
}

}  // namespace

bool AwaitProgrammer(JobContext& ctx) {
  std::optional<DeviceChoice> choice;
  return !AwaitAgain(ctx, ctx.session.handle.opened, choice);
}

std::optional<JobFailure> Reconnect(JobContext& ctx) {
  FlashSession& s = ctx.session;
  ProgrammerLink& link = s.handle;
  const std::optional<ProgrammerPlace> was = link.opened;
  CloseProgrammer(link);

  std::optional<DeviceChoice> choice;
  if (std::optional<JobFailure> away = AwaitAgain(ctx, was, choice))
    return away;
  const LinkStatus status = OpenProgrammerLink(link, ctx.bindUsb, choice, ctx.usbDevices,
                                               [&ctx] { return ctx.host.CancelPending(); });
  if (status != LinkStatus::Ok)
    return JobFailure{FailureReason::Transfer, 0, LinkStatusText(status)};

  // The same module and chip, asked as identification asks, without its questions.
  uint8_t type = 0;
  std::array<uint8_t, 4> id{};
  if (GetModuleType(link, type) != kCommandOk ||
      (s.chipIdRead && GetChipId(link, id) != kCommandOk))
    return TransferFailure(link);
  if (type != s.moduleTypeRead || (s.chipIdRead && id != s.chip.chipId)) {
    const std::string now = IdText(type, s.chipIdRead ? &id : nullptr);
    const std::string before = IdText(s.moduleTypeRead, s.chipIdRead ? &s.chip.chipId : nullptr);
    ctx.host.ReplaceLastLine(
        Stamped(ctx, "[%s] The module changed while the programmer was away: %s, not %s", now,
                before),
        LogColour::Red);
    return JobFailure{FailureReason::ModuleChanged, 0, now};
  }
  const bool wide = ctx.isSharp || s.chip.busWidth == 16;
  if ((wide ? SetBus16(link) : SetBus8(link)) != kCommandOk)
    return TransferFailure(link);
  return std::nullopt;
}

void WaitBeforeRetry(const JobContext& ctx, int attempt) {
  Sleep(ctx, std::min(kFirstWaitMs << std::min(attempt - 1, 4), kLongestWaitMs));
}

bool LinkRetry::Recover(JobFailure& failure, int block) {
  const std::optional<std::string> cause = LinkLossCause(failure);
  if (!cause || ctx_.retry.limit <= 0)
    return false;
  if (block > failedBlock_) {  // got past the block that failed last
    failedBlock_ = block;
    tries_ = 0;
  }
  while (tries_ < ctx_.retry.limit) {
    if (ctx_.host.CancelPending()) {  // a stop asked for while the link was away
      failure = JobFailure{FailureReason::Cancelled};
      return false;
    }
    ++tries_;
    const RetryRecord record{ctx_.jobName, block, *cause, tries_};
    records_.push_back(record);
    ctx_.host.AppendLine(Stamped(ctx_, "[%s] %s: block %s lost (%s), reconnecting, try %s of %s",
                                 record.job, std::to_string(block), *cause, std::to_string(tries_),
                                 std::to_string(ctx_.retry.limit)),
                         LogColour::Red);
    if (ctx_.retry.told)
      ctx_.retry.told(record);
    ctx_.host.AppendLine(" ", LogColour::Green);  // for the job's own line to rewrite
    WaitBeforeRetry(ctx_, tries_);
    const std::optional<JobFailure> again = Reconnect(ctx_);
    if (!again)
      return true;
    if (again->reason == FailureReason::ModuleChanged) {
      failure = *again;
      return false;
    }
  }
  return false;
}
