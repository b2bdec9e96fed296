// Identification of module and chip over the real library: the requests on the wire,
// the answers as the URBs carried them, and what the tool made of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flash/identify.h"
#include "tests/usbfs/usbfs_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct IdentifyCase {
  std::string name;
  sim::ModelConfig model;
  std::vector<Row> log;
  int blockCount;
  std::vector<std::string> requests;
  int busWidth;
};

std::vector<IdentifyCase> Cases() {
  sim::ModelConfig narrow = Module(kModule16M).Model();
  narrow.moduleType = 0x05;  // 32M, two banks
  narrow.sizeMiB = 32;
  narrow.dualBank = true;
  narrow.chipId = {0x01, 0xA7, 0x12, 0x5C};
  return {
      {"Wide16M",
       Module(kModule16M).Model(),
       {{"Macronix, MX29LV640", LogColour::Purple}, {"Flash module: 16M", LogColour::Purple}},
       512,
       {"13", "16", "36", "18"},
       16},
      // Vendor 01 is not in the database: the chip line names the chip alone.
      {"Narrow32MTwoBanks",
       narrow,
       {{"Chip AM29F032", LogColour::Purple}, {"Flash module: 32M", LogColour::Purple}},
       1024,
       {"13", "16", "36", "17"},
       8},
  };
}

TEST_F(UsbfsTest, IdentifiesModuleAndChipFromTheDevicesAnswers) {
  for (const IdentifyCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    NewBed();
    ctx.log = EventLog{};
    usbfs::UsbfsProgrammer& programmer = AddProgrammer(c.model);
    ASSERT_TRUE(ConnectAndIdentify(ctx).Ok());
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(Rows(Entries()), c.log);
    EXPECT_EQ(ctx.session.blockCount, c.blockCount);
    EXPECT_EQ(programmer.Requests(), c.requests);

    // Each answer came back whole in one IN URB of exactly the asked length.
    std::vector<Bytes> answers;
    for (const auto& urb : programmer.Urbs()) {
      if (urb.endpoint != 0x85)
        continue;
      EXPECT_EQ(urb.actual, urb.length);
      EXPECT_TRUE(urb.reaped);
      answers.push_back(urb.head);
    }
    const Bytes id(c.model.chipId.begin(), c.model.chipId.end());
    EXPECT_EQ(answers, (std::vector<Bytes>{{2, 1}, {c.model.moduleType}, id}));
    EXPECT_EQ(programmer.WithModel([](sim::DeviceModel& m) { return m.BusWidth(); }), c.busWidth);

    CloseProgrammer(ctx.session.handle);
    EXPECT_EQ(LastOf(programmer.IoctlNames(), 1)[0], "RELEASEINTERFACE");
    EXPECT_EQ(bed->OpenDescriptors(programmer), 0);
  }
}

}  // namespace
