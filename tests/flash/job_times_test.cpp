// The done lines carry the time the job ended and how long it took. The rig's clock moves
// one second per polling pass or block, so a stamp taken at the wrong moment shows.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/rig.h"

namespace {

struct TimesCase {
  const char* name;
  std::function<void(Rig&)> select;
  std::vector<std::string> lastLines;  // the press's last lines, from its "Start jobs"
  friend void PrintTo(const TimesCase& c, std::ostream* os) { *os << c.name; }
};

// A 16M module: 512 blocks, one pass before each job starts and one more before the first
// block written; the erase polls its one bank four times.
std::vector<TimesCase> TimesCases() {
  return {
      {"Read",
       [](Rig& r) { r.SelectRead(r.dir.File("dump.bin")); },
       {"[09:05:07] Start jobs", "[09:05:08] Start read to DIR/dump.bin",
        "[09:13:40] Read done, 0:08:32", "Defailt hash (MD5) check database FAIL",
        "[09:13:40] Jobs successful done"}},
      {"Check",
       [](Rig& r) {
         WriteFileBytes(r.dir.File("ref.bin"), r.FlashImage());
         r.SelectCheck(r.dir.File("ref.bin"));
       },
       {"[09:05:07] Start jobs", "[09:05:08] Start check with DIR/ref.bin",
        "[09:13:40] Check done, 0:08:32", "Byte to byte check OK",
        "Defailt hash (MD5) check database FAIL", "[09:13:40] Jobs successful done"}},
      {"Erase",
       [](Rig& r) { r.SelectErase(); },
       {"[09:05:07] Start jobs", "[09:05:08] Start erasing flash",
        "[09:05:12] Flash erase done, 0:00:04", "[09:05:12] Jobs successful done"}},
      {"Write",
       [](Rig& r) {
         WriteFileBytes(r.dir.File("src.bin"), std::vector<uint8_t>(16 << 20, 0x5A));
         r.SelectWrite(r.dir.File("src.bin"));
       },
       {"[09:05:07] Start jobs", "[09:05:08] Start write from DIR/src.bin",
        "[09:13:41] Write done, 0:08:33", "[09:13:41] Jobs successful done"}},
  };
}

class JobTimes : public testing::TestWithParam<TimesCase> {};

TEST_P(JobTimes, DoneLineHasTheEndTimeAndTheDuration) {
  const TimesCase& c = GetParam();
  Rig rig;
  c.select(rig);
  rig.secondsPerPass = 1;
  btnStartClick(rig.ctx);
  std::vector<std::string> expected;
  for (std::string line : c.lastLines) {
    const size_t at = line.find("DIR");
    expected.push_back(at == std::string::npos ? line
                                               : line.replace(at, 3, rig.dir.Path().string()));
  }
  EXPECT_EQ(LastOf(rig.Lines(), expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(Jobs, JobTimes, testing::ValuesIn(TimesCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
