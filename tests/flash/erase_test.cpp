// The erase job on the simulated programmer: the exact requests, the polling of the
// bank states, the spinner, Cancel and every failure report.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "flash/jobs.h"
#include "programmer/commands.h"
#include "tests/support/rig.h"
#include "tests/support/test_data.h"

namespace {

using Strings = std::vector<std::string>;
using Script = std::vector<uint8_t>;

using testdata::Stamp;

Script Ones(int n, uint8_t last) {
  Script s(static_cast<size_t>(n), 1);
  s.push_back(last);
  return s;
}

const std::string kDone = "Green: " + Stamp("Flash erase done, 0:00:00");
const std::string kStartLine = "Green: " + Stamp("Start erasing flash");

// ---------------------------------------------------------------------------------------
// Requests and polling order.

struct PollCase {
  std::string name;
  bool dual;
  Script bank1;
  Script bank0;
  Strings requests;  // every OUT request of the whole job
  int passes;        // the window processes events once before the start, then once a pass
};

Strings Then(Strings a, const Strings& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Strings kSingleStart = {"01", "14 01", "50 01"};
const Strings kDualStart = {"01", "14 01", "14 00", "50 01", "50 00"};

std::vector<PollCase> PollCases() {
  return {
      {"SingleBankPollsOnlyBankOne",
       false,
       {1, 1, 1, 0},
       {0},
       Then(kSingleStart, {"51 01", "51 01", "51 01", "51 01", "01"}),
       4},
      {"SingleBankDoneAtFirstPoll", false, {0}, {0}, Then(kSingleStart, {"51 01", "01"}), 1},
      {"SingleBankPollThenCheck",
       false,
       {1, 1, 3, 0},
       {0},
       Then(kSingleStart, {"51 01", "51 01", "51 01", "52 01", "01"}),
       4},
      {"SingleBankCheckBackToPoll",
       false,
       {3, 1, 0},
       {0},
       Then(kSingleStart, {"51 01", "52 01", "51 01", "01"}),
       3},
      {"DualBankOneFinishesFirst",
       true,
       {1, 0},
       {1, 1, 1, 0},
       Then(kDualStart, {"51 01", "51 00", "51 01", "51 00", "51 00", "51 00", "01"}),
       4},
      {"DualBankZeroFinishesFirst",
       true,
       {1, 1, 0},
       {0},
       Then(kDualStart, {"51 01", "51 00", "51 01", "51 01", "01"}),
       3},
      {"DualBankZeroCheckThreeStaysChecked",
       true,
       {1, 0},
       {3, 3, 3, 0},
       Then(kDualStart, {"51 01", "51 00", "51 01", "52 00", "52 00", "52 00", "01"}),
       4},
  };
}

class ErasePolling : public testing::TestWithParam<PollCase> {};

TEST_P(ErasePolling, SendsExactlyTheseRequestsAndSucceeds) {
  const PollCase& c = GetParam();
  Rig r(Module(c.dual ? kModule32M : kModule16M).Erase(c.bank1, c.bank0));
  r.Connect();
  EXPECT_EQ(EraseJob(r.ctx).Code(), kCommandOk);
  EXPECT_EQ(r.Requests(), c.requests);
  EXPECT_EQ(r.window.processEventsCalls, 1 + c.passes);
  EXPECT_EQ(r.JobLines(), (Strings{kStartLine, kDone}));
}

TEST_P(ErasePolling, EveryPollReadsOneAnswerByteWithTheStandardTimeout) {
  const PollCase& c = GetParam();
  Rig r(Module(c.dual ? kModule32M : kModule16M).Erase(c.bank1, c.bank0));
  r.Connect();
  ASSERT_EQ(EraseJob(r.ctx).Code(), kCommandOk);
  const auto& t = r.bus.Transfers();
  for (size_t i = 0; i < t.size(); ++i) {
    EXPECT_EQ(t[i].timeout, 1000) << i;
    if (t[i].out) {
      EXPECT_EQ(t[i].endpoint, 0x04) << i;
      const uint8_t op = t[i].bytes.at(0);
      const bool answered = op == 0x51 || op == 0x52;
      ASSERT_EQ(i + 1 < t.size() && !t[i + 1].out, answered) << i;
    } else {
      EXPECT_EQ(t[i].endpoint, 0x85) << i;
      EXPECT_EQ(t[i].requested, 1) << i;
      EXPECT_EQ(t[i].result, 1) << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EraseJob, ErasePolling, testing::ValuesIn(PollCases()),
                         [](const auto& info) { return info.param.name; });

TEST(EraseJob, LeavesTheWholeFlashErased) {
  for (const bool dual : {false, true}) {
    Rig r(Module(dual ? kModule32M : kModule16M).Erase({1, 1, 0}, {1, 0}));
    r.Connect();
    ASSERT_NE(r.FlashImage().front(), 0xFF);  // pattern contents to begin with
    ASSERT_EQ(EraseJob(r.ctx).Code(), kCommandOk);
    const auto image = r.FlashImage();
    EXPECT_EQ(image.size(), size_t(dual ? 32 : 16) << 20);
    EXPECT_TRUE(image == std::vector<uint8_t>(image.size(), 0xFF)) << "dual " << dual;
  }
}

TEST(EraseJob, DoneLineShowsTheEndTimeAndTheElapsedTime) {
  Rig r(Module(kModule16M).Erase({1, 1, 0}));
  r.Connect();
  // 09:05:07 at the start, 1 minute 5 seconds later at the end.
  int calls = 0;
  r.ctx.now = [&calls] { return kTestTime + (calls++ == 0 ? 0 : 65 / 86400.0); };
  ASSERT_EQ(EraseJob(r.ctx).Code(), kCommandOk);
  EXPECT_EQ(r.JobLines(), (Strings{kStartLine, "Green: [09:06:12] Flash erase done, 0:01:05"}));
}

// ---------------------------------------------------------------------------------------
// The spinner.

TEST(EraseJob, SpinnerTurnsEveryThirtyPasses) {
  const int kPasses = 161;
  Rig r(Module(kModule16M).Erase(Ones(kPasses - 1, 0)));
  r.Connect();
  std::vector<EventLog::Entry> statusAfterPass;
  r.window.onProcessEvents = [&] {
    if (r.window.processEventsCalls > 1)  // the first comes before the start
      statusAfterPass.push_back(r.ctx.log.Last());
  };
  ASSERT_EQ(EraseJob(r.ctx).Code(), kCommandOk);
  ASSERT_EQ(statusAfterPass.size(), size_t(kPasses));

  // | / en dash \ and round again.
  const Strings spinner = {"|", "/", "\xE2\x80\x93", "\\"};
  for (int pass = 1; pass <= kPasses; ++pass) {
    const auto& line = statusAfterPass[size_t(pass - 1)];
    const std::string expected =
        pass < 30 ? " " : "Erasing... " + spinner[size_t((pass / 30 - 1) % 4)];
    EXPECT_EQ(line.text, expected) << "pass " << pass;
    EXPECT_EQ(line.colour, LogColour::Green) << "pass " << pass;
  }
  EXPECT_EQ(statusAfterPass[28].text, " ");  // 29 passes: no spinner yet
  EXPECT_EQ(statusAfterPass[29].text, "Erasing... |");
  EXPECT_EQ(statusAfterPass[59].text, "Erasing... /");
  EXPECT_EQ(statusAfterPass[89].text, "Erasing... \xE2\x80\x93");
  EXPECT_EQ(statusAfterPass[119].text, "Erasing... \\");
  EXPECT_EQ(statusAfterPass[149].text, "Erasing... |");
  // The spinner only ever rewrites the status line.
  EXPECT_EQ(r.JobLines(), (Strings{kStartLine, kDone}));
}

// ---------------------------------------------------------------------------------------
// Cancel.

TEST(EraseJob, CancelIsSeenAtTheNextPassAndStopsEverything) {
  for (const int cancelAtPass : {1, 3, 45}) {
    Rig r(Module(kModule32M).Erase(Ones(100, 0), Ones(100, 0)));
    r.Connect();
    int pass = -1;  // the first processing comes before the start
    r.window.onProcessEvents = [&] {
      if (++pass == cancelAtPass)
        btnCancelClick(r.ctx);
    };
    EXPECT_EQ(EraseJob(r.ctx).Code(), kCommandFailed);
    Strings expected = kDualStart;
    for (int p = 0; p < cancelAtPass; ++p) {
      expected.push_back("51 01");
      expected.push_back("51 00");
    }
    // No poll after the cancel and no closing FlashReset.
    EXPECT_EQ(r.Requests(), expected) << cancelAtPass;
    EXPECT_EQ(r.JobLines(), (Strings{kStartLine, "Red: " + Stamp("Operation cancelled")}))
        << cancelAtPass;
    EXPECT_EQ(pass, cancelAtPass);
  }
}

TEST(EraseJob, CancelFlagAlreadySetEndsBeforeAnyRequest) {
  Rig r(Module(kModule32M).Erase({1, 0}, {1, 0}));
  r.Connect();
  const auto before = r.FlashImage();
  r.ctx.cancelFlag = true;  // left from the job before: the erase must not start
  EXPECT_EQ(EraseJob(r.ctx).Code(), kCommandFailed);
  EXPECT_EQ(r.Requests(), Strings{});
  EXPECT_EQ(r.JobLines(), (Strings{"Red: " + Stamp("Operation cancelled")}));
  EXPECT_EQ(r.FlashImage(), before);
}

// ---------------------------------------------------------------------------------------
// Broken flash and unknown states.

struct StopCase {
  std::string name;
  bool dual;
  Script bank1;
  Script bank0;
  Strings polls;  // the requests after the start sequence
  Strings lines;  // the job's lines
};

std::vector<StopCase> StopCases() {
  const std::string broken = "Red: " + Stamp("Can't erase flash - flash brocken");
  const std::string error = "Red: " + Stamp("Flash erase error");
  return {
      {"BankOneCheckAnswersThree",
       false,
       {1, 3, 3},
       {0},
       {"51 01", "51 01", "52 01"},
       {kStartLine, broken}},
      {"BankOneCheckThreeDoesNotPollBankZero",
       true,
       {3, 3},
       {1, 1, 1},
       {"51 01", "51 00", "52 01"},
       {kStartLine, broken}},
      {"BankZeroCheckAnswersFF",
       true,
       {1, 1, 1},
       {3, 0xFF},
       {"51 01", "51 00", "51 01", "52 00"},
       {kStartLine, broken}},
      {"BankOnePollUnknownState",
       false,
       {1, 5},
       {0},
       {"51 01", "51 01"},
       {kStartLine, error, "Red: 5-0"}},
      {"BankOneCheckUnknownState",
       false,
       {3, 0x42},
       {0},
       {"51 01", "52 01"},
       {kStartLine, error, "Red: 42-0"}},
      {"BankOneCheckFFIsUnknownNotBroken",
       false,
       {3, 0xFF},
       {0},
       {"51 01", "52 01"},
       {kStartLine, error, "Red: ff-0"}},
      {"BankZeroPollUnknownState",
       true,
       {0},
       {7},
       {"51 01", "51 00"},
       {kStartLine, error, "Red: 0-7"}},
      {"BankZeroCheckUnknownState",
       true,
       {1, 1},
       {3, 0xA5},
       {"51 01", "51 00", "51 01", "52 00"},
       {kStartLine, error, "Red: 1-a5"}},
  };
}

class EraseStops : public testing::TestWithParam<StopCase> {};

TEST_P(EraseStops, ReportsAndSendsNothingMore) {
  const StopCase& c = GetParam();
  Rig r(Module(c.dual ? kModule32M : kModule16M).Erase(c.bank1, c.bank0));
  r.Connect();
  EXPECT_EQ(EraseJob(r.ctx).Code(), kCommandFailed);
  EXPECT_EQ(r.Requests(), Then(c.dual ? kDualStart : kSingleStart, c.polls));
  EXPECT_EQ(r.JobLines(), c.lines);
}

INSTANTIATE_TEST_SUITE_P(EraseJob, EraseStops, testing::ValuesIn(StopCases()),
                         [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------
// Device failures. Transfers are counted from the job's first one: on a dual-bank module
// 0 FlashReset, 1-2 EraseInit, 3-4 EraseStart, then per pass poll OUT, IN for each bank.

struct FaultCase {
  std::string name;
  Script bank1;
  Script bank0;
  int transfer;
  sim::FaultKind kind;
  Strings requests;  // every OUT request the job attempted
  Strings lines;
};

std::vector<FaultCase> FaultCases() {
  const std::string notReady = "Red: " + Stamp("Can't erase flash - device not ready");
  const std::string noReset = "Red: " + Stamp("Can't reset flash - device not ready");
  using K = sim::FaultKind;
  const Script slow = {1, 1, 3, 1};  // bank 1 still busy after four passes
  const Script busy = {1};
  return {
      {"FirstFlashReset", slow, busy, 0, K::Error, {"01"}, {kStartLine, noReset}},
      {"EraseInitBankOne", slow, busy, 1, K::Error, {"01", "14 01"}, {kStartLine, notReady}},
      {"EraseInitBankZero",
       slow,
       busy,
       2,
       K::Timeout,
       {"01", "14 01", "14 00"},
       {kStartLine, notReady}},
      {"EraseStartBankOne",
       slow,
       busy,
       3,
       K::Short,
       {"01", "14 01", "14 00", "50 01"},
       {kStartLine, notReady}},
      {"EraseStartBankZero", slow, busy, 4, K::Error, kDualStart, {kStartLine, notReady}},
      {"PollRequestMidErase",
       slow,
       busy,
       9,
       K::Error,
       Then(kDualStart, {"51 01", "51 00", "51 01"}),
       {kStartLine, notReady}},
      {"PollAnswerTimesOut",
       slow,
       busy,
       8,
       K::Timeout,
       Then(kDualStart, {"51 01", "51 00"}),
       {kStartLine, notReady}},
      {"PollAnswerMissing",
       slow,
       busy,
       6,
       K::Short,
       Then(kDualStart, {"51 01"}),
       {kStartLine, notReady}},
      // Bank 1 answers 1, 1, 3: its EraseCheck opens the fourth pass (transfers 17, 18).
      {"CheckAnswerFails",
       slow,
       busy,
       18,
       K::Error,
       Then(kDualStart, {"51 01", "51 00", "51 01", "51 00", "51 01", "51 00", "52 01"}),
       {kStartLine, notReady}},
      // Bank 1 needs four exchanges and bank 0 one: 5 + 2 * 5 transfers, then the closing
      // FlashReset.
      {"ClosingFlashReset",
       {1, 1, 3, 0},
       {0},
       15,
       K::Error,
       Then(kDualStart, {"51 01", "51 00", "51 01", "51 01", "52 01", "01"}),
       {kStartLine, kDone, noReset}},
  };
}

class EraseDeviceFault : public testing::TestWithParam<FaultCase> {};

TEST_P(EraseDeviceFault, ReportsNotReady) {
  const FaultCase& c = GetParam();
  Rig r(Module(kModule32M).Erase(c.bank1, c.bank0));
  r.Connect();
  r.FailTransfer(c.transfer, c.kind);
  EXPECT_EQ(EraseJob(r.ctx).Code(), kCommandFailed);
  EXPECT_EQ(r.Requests(), c.requests);
  EXPECT_EQ(r.JobLines(), c.lines);
}

INSTANTIATE_TEST_SUITE_P(EraseJob, EraseDeviceFault, testing::ValuesIn(FaultCases()),
                         [](const auto& info) { return info.param.name; });

TEST(EraseJob, FailedClosingResetIsANewLineUnderTheDoneLine) {
  Rig r(Module(kModule16M).Erase({0}));
  r.Connect();
  // 0 FlashReset, 1 EraseInit, 2 EraseStart, 3-4 the poll, 5 the closing FlashReset.
  r.FailTransfer(5);
  EXPECT_EQ(EraseJob(r.ctx).Code(), kCommandFailed);
  const auto entries = r.Entries();
  ASSERT_GE(entries.size(), 3u);
  EXPECT_EQ(entries[entries.size() - 2].text, Stamp("Flash erase done, 0:00:00"));
  EXPECT_EQ(entries[entries.size() - 2].colour, LogColour::Green);
  EXPECT_EQ(entries.back().text, Stamp("Can't reset flash - device not ready"));
  EXPECT_EQ(entries.back().colour, LogColour::Red);
}

TEST(EraseJob, DeviceGoneMidPollSendsNothingAfterTheFailure) {
  Rig r(Module(kModule16M).Erase(Ones(20, 0)));
  r.Connect();
  // The device disappears during the sixth pass's poll request.
  r.device->Faults().vanishAfter = r.transfersAtMark + 3 + 2 * 5;
  EXPECT_EQ(EraseJob(r.ctx).Code(), kCommandFailed);
  EXPECT_EQ(r.Requests(),
            Then(kSingleStart, {"51 01", "51 01", "51 01", "51 01", "51 01", "51 01"}));
  EXPECT_EQ(r.JobLines(),
            (Strings{kStartLine, "Red: " + Stamp("Can't erase flash - device not ready")}));
}

}  // namespace
