// The erase job: the programmer erases each bank by itself; the host starts it, polls
// the banks' states until both are done, shows a spinner and honours Cancel.
#include <array>

#include "flash/job_lines.h"
#include "flash/jobs.h"
#include "flash/link_retry.h"
#include "flash/stamped.h"
#include "programmer/commands.h"

namespace {

constexpr int kPassesPerSpinnerStep = 30;
// | / – \ (the third is an en dash).
const std::array<const char*, 4> kSpinner = {"|", "/", "\xE2\x80\x93", "\\"};

enum class PollOutcome { Polled, DeviceFailed, Broken };

// The job's status line, rewritten with its progress or its failure.
void Status(JobContext& ctx, const std::string& line, LogColour colour = LogColour::Green) {
  ctx.host.ReplaceLastLine(line, colour);
}

// One bank's step of a polling pass. `brokenCheckAnswer` is the EraseCheck answer that
// means the bank cannot be erased: 3 for bank 1, 0xFF for bank 0.
PollOutcome PollBank(const ProgrammerLink& link, uint8_t bank, uint8_t& state,
                     uint8_t brokenCheckAnswer) {
  uint8_t answer = 0;
  if (state == 1) {
    if (ErasePoll(link, bank, answer) != kCommandOk)
      return PollOutcome::DeviceFailed;
    state = answer;
  } else if (state == 3) {
    if (EraseCheck(link, bank, answer) != kCommandOk)
      return PollOutcome::DeviceFailed;
    if (answer == brokenCheckAnswer)
      return PollOutcome::Broken;
    state = answer;
  }
  return PollOutcome::Polled;
}

// States the host polls (1, 3) or that mean done (0). Any other is never polled again,
// so waiting on it could only end with Cancel.
bool KnownState(uint8_t state) {
  return state == 0 || state == 1 || state == 3;
}

}  // namespace

namespace {

// Why one erase of the banks stopped, and the line that says so; lines already written
// (the erase error's states) come with an empty one.
struct EraseStop {
  JobFailure failure;
  std::string line;
};

// Starts the erase of both banks and polls them until done. A transfer that fails ends
// it with the device-not-ready line of where it was.
std::optional<EraseStop> EraseBanks(JobContext& ctx, int& passes, unsigned& spinner) {
  const ProgrammerLink& link = ctx.session.handle;
  const bool dual = ctx.session.module.dualBank != 0;
  uint8_t st1 = 1;
  uint8_t st0 = dual ? 1 : 0;
  if (FlashReset(link) != kCommandOk)
    return EraseStop{TransferFailure(link),
                     Stamped(ctx, "[%s] Can't reset flash - device not ready")};
  const auto notReady = [&] {
    return EraseStop{TransferFailure(link),
                     Stamped(ctx, "[%s] Can't erase flash - device not ready")};
  };
  if (EraseInit(link, kBankFirst) != kCommandOk)
    return notReady();
  if (dual && EraseInit(link, kBankSecond) != kCommandOk)
    return notReady();
  if (EraseStart(link, kBankFirst) != kCommandOk)
    return notReady();
  if (dual && EraseStart(link, kBankSecond) != kCommandOk)
    return notReady();

  do {
    if (CancelRequested(ctx))
      return EraseStop{JobFailure{FailureReason::Cancelled},
                       Stamped(ctx, "[%s] Operation cancelled")};
    PollOutcome outcome = PollBank(link, kBankFirst, st1, 3);
    if (outcome == PollOutcome::Polled && dual)
      outcome = PollBank(link, kBankSecond, st0, 0xFF);
    if (outcome == PollOutcome::DeviceFailed)
      return notReady();
    if (outcome == PollOutcome::Broken)
      return EraseStop{JobFailure{FailureReason::EraseFailed, 0, "flash brocken"},
                       Stamped(ctx, "[%s] Can't erase flash - flash brocken")};
    if (!KnownState(st1) || !KnownState(st0)) {
      const std::string states = Hex(st1) + "-" + Hex(st0);
      Status(ctx, Stamped(ctx, "[%s] Flash erase error"), LogColour::Red);
      ctx.host.AppendLine(states, LogColour::Red);
      return EraseStop{JobFailure{FailureReason::EraseFailed, 0, "erase states " + states}, ""};
    }
    if (++passes == kPassesPerSpinnerStep) {
      Status(ctx, LogText("Erasing... %c", {kSpinner[spinner % kSpinner.size()]}));
      ++spinner;
      passes = 0;
    }
    ctx.host.ProcessEvents();
  } while (st1 != 0 || st0 != 0);
  return std::nullopt;
}

}  // namespace

std::optional<JobFailure> EraseFlash(JobContext& ctx, std::vector<RetryRecord>* retries) {
  ctx.host.ProcessEvents();  // a Cancel pending from before the job
  if (CancelledBeforeStart(ctx))
    return JobFailure{FailureReason::Cancelled};
  const double start = ctx.now();

  ctx.host.AppendLine(LogText("[%s] Start erasing flash", {TimeText(start)}), LogColour::Green);
  ctx.host.AppendLine(" ", LogColour::Green);

  // A transfer lost on the link costs a reconnection and the whole erase from its start:
  // a programmer that lost power answers "idle" for a bank it left half erased, so a poll
  // after it came back proves nothing.
  LinkRetry retry(ctx);
  int passes = 0;
  unsigned spinner = 0;
  std::optional<EraseStop> stop = EraseBanks(ctx, passes, spinner);
  while (stop && retry.Recover(stop->failure, 0)) stop = EraseBanks(ctx, passes, spinner);
  if (retries != nullptr)
    *retries = retry.Records();
  if (stop) {
    if (stop->failure.reason == FailureReason::Cancelled)
      stop->line = Stamped(ctx, "[%s] Operation cancelled");
    if (stop->failure.reason != FailureReason::ModuleChanged && !stop->line.empty())
      Status(ctx, stop->line, LogColour::Red);
    return stop->failure;
  }

  const double end = ctx.now();
  Status(ctx,
         LogText("[%s] Flash erase done, %s", {TimeText(end), TimeText(ElapsedValue(start, end))}));
  return std::nullopt;
}

std::optional<JobFailure> EraseBank(JobContext& ctx, uint8_t bank) {
  const ProgrammerLink& link = ctx.session.handle;
  if (FlashReset(link) != kCommandOk || EraseInit(link, bank) != kCommandOk ||
      EraseStart(link, bank) != kCommandOk)
    return TransferFailure(link);
  uint8_t state = 1;
  do {
    if (CancelRequested(ctx))
      return JobFailure{FailureReason::Cancelled};
    const PollOutcome outcome = PollBank(link, bank, state, bank == kBankFirst ? 3 : 0xFF);
    if (outcome == PollOutcome::DeviceFailed)
      return TransferFailure(link);
    if (outcome == PollOutcome::Broken || !KnownState(state))
      return JobFailure{FailureReason::EraseFailed, 0, "erase state " + Hex(state)};
    ctx.host.ProcessEvents();
  } while (state != 0);
  return std::nullopt;
}

JobResult EraseJob(JobContext& ctx) {
  JobResult result;
  result.failure = EraseFlash(ctx, &result.retries);
  if (!result.Ok())
    return result;
  if (FlashReset(ctx.session.handle) != kCommandOk) {
    ctx.host.AppendLine(Stamped(ctx, "[%s] Can't reset flash - device not ready"), LogColour::Red);
    result.failure = TransferFailure(ctx.session.handle);
    return result;
  }
  result.bytes = FlashBytes(ctx);
  return result;
}
