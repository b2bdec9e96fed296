// Every host of the jobs is held to one table of whole Start runs on the simulated
// programmer: whatever a host draws, the final log lines (text and colour), the questions
// it answers, and what the jobs hand back to the run's report are the same. Each host
// then shows its own side: the window its digest boxes and progress bar, the terminal the
// lines it printed.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "cli/console_host.h"
#include "run/line_stream.h"
#include "run/sequencer.h"
#include "sim/in_process_usb.h"
#include "tests/support/rig.h"
#include "tests/support/test_data.h"

namespace {

using testdata::Stamp;
using Lines = std::vector<std::string>;

enum class RunKind { Read, CheckDiffers, EraseWriteVerify };

struct HostCase {
  std::string name;
  sim::DeviceConfig device;
  RunKind run;
  Lines lines;  // "Colour: text" of every final line; {dir} is the case's folder
  Lines jobs;   // "name result bytes", with " mismatch" and " digests" when so
};

std::vector<HostCase> HostCases() {
  const Lines identified = {"Purple: Macronix, MX29LV640", "Purple: Flash module: 16M",
                            "Green: " + Stamp("Start jobs")};
  auto with = [](Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  return {
      {"Read",
       Module(kModule16M),
       RunKind::Read,
       with(identified,
            {"Green: " + Stamp("Start read to {dir}/dump.bin"),
             "Green: " + Stamp("Read done, 0:00:00"), "Red: Defailt hash (MD5) check database FAIL",
             "Green: " + Stamp("Jobs successful done")}),
       {"read ok 16777216 digests"}},
      {"CheckDiffers",
       Module(kModule16M),
       RunKind::CheckDiffers,
       with(identified, {"Green: " + Stamp("Start check with {dir}/ref.bin"),
                         "Red: " + Stamp("Byte to byte check with file FAILED")}),
       {"check failed 98304 mismatch"}},
      {"UnknownChipThenEraseWriteVerify",
       Module(kModule16Dual).Chip({0x01, 0x02, 0x03, 0x04}),
       RunKind::EraseWriteVerify,
       {"Purple: Chip unknown (1 2 3 4)", "Purple: Flash module: 16M",
        "Green: " + Stamp("Start jobs"), "Green: " + Stamp("Start erasing flash"),
        "Green: " + Stamp("Flash erase done, 0:00:00"),
        "Green: " + Stamp("Start write from {dir}/ref.bin"),
        "Green: " + Stamp("Write done, 0:00:00"),
        "Green: " + Stamp("Start check with {dir}/ref.bin"),
        "Green: " + Stamp("Check done, 0:00:00"), "Purple: Byte to byte check OK",
        "Red: Defailt hash (MD5) check database FAIL", "Green: " + Stamp("Jobs successful done")},
       {"erase ok 16777216", "write ok 16777216", "verify ok 16777216 digests"}},
  };
}

// A host under test with its context, on its own simulated programmer and folder.
struct HostUnderTest {
  virtual ~HostUnderTest() = default;
  virtual JobContext& Context() = 0;
  // The run's final log lines, as the host holds them once the run is over.
  virtual std::vector<LoggedLine> FinalLines() = 0;
  // How the front end runs a Start: what it does around the jobs.
  virtual RunOptions Options() { return RunOptions{.verifyAfterWrite = true}; }
  // Called after the run with its report, for what only this host shows.
  virtual void CheckOwnSide(const RunReport& report, const HostCase& c) = 0;
};

struct WindowHost : HostUnderTest {
  FakeWindow window;
  AppContext ctx{window};
  JobContext& Context() override { return ctx; }
  std::vector<LoggedLine> FinalLines() override {
    std::vector<LoggedLine> lines;
    for (int i = 0; i < ctx.log.LineCount(); ++i)
      lines.push_back(LoggedLine{"", ctx.log.Row(i).colour, ctx.log.Row(i).text});
    return lines;
  }
  RunOptions Options() override {
    return RunOptions{.verifyAfterWrite = true,
                      .lock = [this] { LockWindow(ctx); },
                      .unlock = [this] { UnlockWindow(ctx); }};
  }
  void CheckOwnSide(const RunReport& report, const HostCase& c) override {
    EXPECT_EQ(window.ProgressPosition(), 0);
    EXPECT_TRUE(window.IsVisible(Control::btnStart));
    if (c.run == RunKind::CheckDiffers) {
      EXPECT_EQ(window.messages.size(), 0u);
    }
    const JobResult& last = report.jobs.back().result;
    if (last.digests) {
      EXPECT_EQ(window.Text(Control::MD5_result), last.digests->md5);
      EXPECT_EQ(window.Text(Control::SHA1_result), last.digests->sha1);
      EXPECT_EQ(window.Text(Control::CRC_result), last.digests->crc);
    }
    if (c.run == RunKind::EraseWriteVerify) {
      EXPECT_EQ(window.MessageTexts(),
                (Lines{"Chip unknown. To try as standart 16bit flash chip?"}));
    }
  }
};

struct TerminalHost : HostUnderTest {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* stream = open_memstream(&text, &size);
  ConsoleHost host{ConsoleSettings{.answerYes = true, .stream = stream}};
  JobContext ctx{host};
  std::vector<LoggedLine> lines;
  TerminalHost() {
    host.onLine = [this](const LoggedLine& line) { lines.push_back(line); };
  }
  ~TerminalHost() override {
    std::fclose(stream);
    std::free(text);
  }
  JobContext& Context() override { return ctx; }
  std::vector<LoggedLine> FinalLines() override {
    host.log.Flush();
    return lines;
  }
  void CheckOwnSide(const RunReport&, const HostCase& c) override {
    std::fflush(stream);
    Lines expected;
    if (c.run == RunKind::EraseWriteVerify)
      expected.push_back(
          "Flash programmator: Chip unknown. To try as standart 16bit flash chip? OK (--yes)");
    for (const LoggedLine& line : lines) expected.push_back(line.text);
    std::string all;
    for (const std::string& line : expected) all += line + "\n";
    EXPECT_EQ(std::string(text, size), all);
  }
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

enum class HostKind { Window, Terminal };

std::unique_ptr<HostUnderTest> MakeHost(HostKind kind) {
  if (kind == HostKind::Window)
    return std::make_unique<WindowHost>();
  return std::make_unique<TerminalHost>();
}

void PrintTo(const HostCase& c, std::ostream* os) {
  *os << c.name;
}
void PrintTo(HostKind kind, std::ostream* os) {
  *os << (kind == HostKind::Window ? "window" : "terminal");
}

class HostConformance : public ::testing::TestWithParam<std::tuple<HostCase, HostKind>> {};

TEST_P(HostConformance, WholeRunReportsTheSame) {
  const HostCase& c = std::get<0>(GetParam());
  const std::unique_ptr<HostUnderTest> under = MakeHost(std::get<1>(GetParam()));
  JobContext& ctx = under->Context();
  sim::SimBus bus;
  sim::SimDevice& device = bus.AddProgrammer(c.device);
  TempDir dir;
  ctx.bindUsb = sim::InProcessBinder(bus);
  ctx.now = [] { return kTestTime; };
  ctx.database = TestDatabase();

  std::vector<uint8_t> image = device.Model().Flash().Image();
  if (c.run == RunKind::CheckDiffers)
    image[3 * kBlock + 100] ^= 0x10;
  WriteFileBytes(dir.File("ref.bin"), image);
  JobSelection selection;
  selection.ReadCheckSelected = c.run != RunKind::EraseWriteVerify;
  selection.ReadMode = c.run == RunKind::Read;
  selection.ReadFileName = dir.File("dump.bin");
  selection.CheckFileName = dir.File("ref.bin");
  selection.EraseSelected = selection.WriteSelected = c.run == RunKind::EraseWriteVerify;
  selection.WriteFileName = dir.File("ref.bin");

  RunReport report;
  RunStart(ctx, report, selection, under->Options());
  Lines got;
  for (const LoggedLine& line : under->FinalLines())
    got.push_back(testdata::ColourName(line.colour) + ": " + line.text);
  Lines want;
  for (const std::string& line : c.lines)
    want.push_back(Replace(line, "{dir}", dir.Path().string()));
  EXPECT_EQ(got, want);

  Lines jobs;
  for (const JobRecord& job : report.jobs) {
    const JobResult& r = job.result;
    jobs.push_back(job.name + " " + (r.Ok() ? "ok" : "failed") + " " + std::to_string(r.bytes) +
                   (r.mismatch ? " mismatch" : "") + (r.digests ? " digests" : ""));
  }
  EXPECT_EQ(jobs, c.jobs);
  ASSERT_FALSE(report.jobs.empty());
  if (c.run == RunKind::Read) {
    EXPECT_EQ(ReadFileBytes(dir.File("dump.bin")), image);
  }
  EXPECT_EQ(ctx.session.handle.handle, nullptr);
  under->CheckOwnSide(report, c);
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostConformance,
                         ::testing::Combine(::testing::ValuesIn(HostCases()),
                                            ::testing::Values(HostKind::Window,
                                                              HostKind::Terminal)),
                         [](const auto& info) {
                           return std::get<0>(info.param).name +
                                  (std::get<1>(info.param) == HostKind::Window ? "Window"
                                                                               : "Terminal");
                         });

}  // namespace
