#include "sim/sim_config.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(SimConfig, DefaultsDescribeOneWorkingProgrammer) {
  const sim::ConfigResult result = sim::ParseSimConfig("");
  EXPECT_TRUE(result.errors.empty());
  const sim::SimSetup& s = result.setup;
  EXPECT_TRUE(s.present);
  EXPECT_EQ(s.programmers, 1);
  EXPECT_EQ(s.foreignDevices, 0);
  EXPECT_EQ(s.device.vendorId, 0xFFFF);
  EXPECT_EQ(s.device.productId, 0x0201);
  EXPECT_EQ(s.device.model.version, (Bytes{2, 1}));
  EXPECT_EQ(s.device.model.moduleType, 0x03);
  EXPECT_EQ(s.device.model.sizeMiB, 16);
  EXPECT_FALSE(s.device.model.dualBank);
  EXPECT_EQ(s.device.model.contents, sim::InitialContents::Pattern);
  EXPECT_EQ(s.device.model.timing.readBytesPerSecond, 0);
  EXPECT_EQ(s.device.model.timing.eraseMilliseconds, 0);
}

TEST(SimConfig, EveryKeyReachesItsSetting) {
  const sim::ConfigResult result = sim::ParseSimConfig(
      "# comment\n"
      "\n"
      "present = 1\n"
      "programmers=2\n"
      "foreign_devices=3\n"
      "vendor_id=0xFFFE\n"
      "product_id=0x0202\n"
      "version=2\n"
      "module_type=0x2a\n"
      "chip_id=c2 22 7e 01\n"
      "size_mib=64\n"
      "dual_bank=1\n"
      "contents=zero\n"
      "image_in=/tmp/in.bin\n"
      "image_out=/tmp/out.bin\n"
      "erase_script_bank1=1,1,3,0\n"
      "erase_script_bank0=\n"
      "write_status=0x21\n"
      "write_status_block=7\n"
      "write_error_answer=01 02 03\n"
      "lock_register=c1 02 c3 04\n"
      "status_toggles=8\n"
      "flip_read_block=513 0x1234 0x01\n"
      "stuck_bit=odd 3 1\n"
      "open_fails=1\n"
      "set_configuration_fails=1\n"
      "claim_fails=1\n"
      "refusal_errno=1\n"
      "fault_kind=short\n"
      "fault_transfer=5\n"
      "fault_read_block=6\n"
      "fault_write_block=7\n"
      "vanish_after=100\n"
      "hold_transfer=4\n"
      "hold_in_transfer=2\n"
      "hold_ms=250\n"
      "loss_kind=stall\n"
      "lose_read_block=11\n"
      "lose_write_block=12\n"
      "lose_erase_poll=13\n"
      "loss_rate=2000\n"
      "loss_seed=0x123456789\n"
      "drop_at=erase_poll 3\n"
      "return_module_type=0x06\n"
      "return_chip_id=c2 7e 22 01\n"
      "bus=3\n"
      "device=7\n"
      "read_bytes_per_second=1000\n"
      "write_bytes_per_second=2000\n"
      "erase_ms=30\r\n");
  EXPECT_EQ(result.errors, std::vector<std::string>{});
  const sim::SimSetup& s = result.setup;
  const sim::ModelConfig& m = s.device.model;
  const sim::UsbFaults& f = s.device.faults;
  EXPECT_EQ(s.programmers, 2);
  EXPECT_EQ(s.foreignDevices, 3);
  EXPECT_EQ(s.device.vendorId, 0xFFFE);
  EXPECT_EQ(s.device.productId, 0x0202);
  EXPECT_EQ(m.version, (Bytes{2}));
  EXPECT_EQ(m.moduleType, 0x2A);
  EXPECT_EQ(m.chipId, (std::array<uint8_t, 4>{0xC2, 0x22, 0x7E, 0x01}));
  EXPECT_EQ(m.sizeMiB, 64);
  EXPECT_TRUE(m.dualBank);
  EXPECT_EQ(m.contents, sim::InitialContents::Zero);
  EXPECT_EQ(s.imageIn, "/tmp/in.bin");
  EXPECT_EQ(s.imageOut, "/tmp/out.bin");
  EXPECT_EQ(m.eraseScript[0], (Bytes{1, 1, 3, 0}));
  EXPECT_EQ(m.eraseScript[1], Bytes{});
  EXPECT_EQ(m.writeStatus, 0x21);
  EXPECT_EQ(m.writeStatusAtBlock, 7);
  EXPECT_EQ(m.writeErrorAnswer, (Bytes{1, 2, 3}));
  EXPECT_EQ(m.lockRegister, (std::array<uint8_t, 4>{0xC1, 0x02, 0xC3, 0x04}));
  EXPECT_EQ(m.statusToggles, 8);
  EXPECT_EQ(m.readFlip.atReadBlock, 513);
  EXPECT_EQ(m.readFlip.offset, 0x1234u);
  EXPECT_EQ(m.readFlip.mask, 0x01);
  EXPECT_EQ(m.stuckBit.lane, sim::ByteLane::Odd);
  EXPECT_EQ(m.stuckBit.bit, 3);
  EXPECT_TRUE(m.stuckBit.level);
  EXPECT_TRUE(f.openFails);
  EXPECT_TRUE(f.setConfigurationFails);
  EXPECT_TRUE(f.claimFails);
  EXPECT_EQ(f.refusalErrno, EPERM);
  EXPECT_EQ(f.kind, sim::FaultKind::Short);
  EXPECT_EQ(f.atTransfer, 5);
  EXPECT_EQ(f.atReadBlock, 6);
  EXPECT_EQ(f.atWriteBlock, 7);
  EXPECT_EQ(f.vanishAfter, 100);
  EXPECT_EQ(f.holdTransfer, 4);
  EXPECT_EQ(f.holdInTransfer, 2);
  EXPECT_EQ(f.holdMilliseconds, 250);
  EXPECT_EQ(std::tuple(f.lossKind, f.loseReadBlock, f.loseWriteBlock, f.loseErasePoll, f.lossRate,
                       f.lossSeed, f.drop.at, f.drop.index, f.drop.moduleType),
            std::tuple(sim::LossKind::Stall, 11, 12, 13, 2000, 0x123456789u, sim::DropAt::ErasePoll,
                       3, 6));
  EXPECT_EQ(f.drop.chipId, (std::array<uint8_t, 4>{0xC2, 0x7E, 0x22, 0x01}));
  EXPECT_EQ(s.bus, 3);
  EXPECT_EQ(s.deviceNumber, 7);
  EXPECT_EQ(m.timing.readBytesPerSecond, 1000);
  EXPECT_EQ(m.timing.writeBytesPerSecond, 2000);
  EXPECT_EQ(m.timing.eraseMilliseconds, 30);
}

TEST(SimConfig, TimingPresets) {
  EXPECT_GT(sim::ParseSimConfig("timing=usb2").setup.device.model.timing.readBytesPerSecond, 0);
  EXPECT_EQ(
      sim::ParseSimConfig("timing=usb2\ntiming=off").setup.device.model.timing.eraseMilliseconds,
      0);
  const sim::Timing usb2 = sim::Timing::Usb2();
  // A 64 MiB read takes a few seconds, an erase a few seconds.
  EXPECT_GE(64.0 * (1 << 20) / usb2.readBytesPerSecond, 2.0);
  EXPECT_LE(64.0 * (1 << 20) / usb2.readBytesPerSecond, 6.0);
  EXPECT_GE(usb2.eraseMilliseconds, 1000);
  EXPECT_LE(usb2.eraseMilliseconds, 6000);
}

TEST(SimConfig, BadLinesAreReportedAndLeaveTheDefault) {
  struct Case {
    std::string line;
    std::string error;
  };
  for (const Case& c : {
           Case{"colour=blue", "line 1: unknown key \"colour\""},
           Case{"no equals sign", "line 1: no '=' in \"no equals sign\""},
           Case{"size_mib=48", "line 1: bad value for size_mib: \"48\""},
           Case{"module_type=0x100", "line 1: bad value for module_type: \"0x100\""},
           Case{"module_type=", "line 1: bad value for module_type: \"\""},
           Case{"chip_id=c2 22 7e", "line 1: bad value for chip_id: \"c2 22 7e\""},
           Case{"version=2 1zz", "line 1: bad value for version: \"2 1zz\""},
           Case{"contents=random", "line 1: bad value for contents: \"random\""},
           Case{"fault_kind=crash", "line 1: bad value for fault_kind: \"crash\""},
           Case{"dual_bank=2", "line 1: bad value for dual_bank: \"2\""},
           Case{"status_toggles=-1", "line 1: bad value for status_toggles: \"-1\""},
           Case{"timing=fast", "line 1: bad value for timing: \"fast\""},
           Case{"stuck_bit=middle 3 1", "line 1: bad value for stuck_bit: \"middle 3 1\""},
           Case{"stuck_bit=odd 8 1", "line 1: bad value for stuck_bit: \"odd 8 1\""},
           Case{"stuck_bit=even 3 1 1", "line 1: bad value for stuck_bit: \"even 3 1 1\""},
           Case{"flip_read_block=5 0", "line 1: bad value for flip_read_block: \"5 0\""},
           Case{"device=128", "line 1: bad value for device: \"128\""},
           Case{"drop_at=erase 3", "line 1: bad value for drop_at: \"erase 3\""},
           Case{"1.present=1", "line 1: unknown key \"1.present\""},
           Case{"0.size_mib=32", "line 1: unknown key \"0.size_mib\""},
           Case{"1.size_mib=48", "line 1: bad value for 1.size_mib: \"48\""},
           Case{"2.module_type=5", "line 1: there is no programmer 2"},
       }) {
    SCOPED_TRACE(c.line);
    const sim::ConfigResult result = sim::ParseSimConfig(c.line);
    EXPECT_EQ(result.errors, std::vector<std::string>{c.error});
    const sim::SimSetup defaults;
    EXPECT_EQ(result.setup.device.model.sizeMiB, defaults.device.model.sizeMiB);
    EXPECT_EQ(result.setup.device.model.moduleType, defaults.device.model.moduleType);
    EXPECT_EQ(result.setup.device.model.chipId, defaults.device.model.chipId);
    EXPECT_EQ(result.setup.device.model.version, defaults.device.model.version);
    EXPECT_EQ(result.setup.Programmer(1).device.model.sizeMiB, defaults.device.model.sizeMiB);
  }
  EXPECT_EQ(sim::LoadSimConfig("/nonexistent/sim.conf").errors,
            std::vector<std::string>{"cannot read /nonexistent/sim.conf"});
}

TEST(SimConfig, NumberedKeysGiveOneProgrammerItsOwnSettings) {
  const sim::ConfigResult result = sim::ParseSimConfig(
      "2.size_mib=64\n"
      "programmers=3\n"
      "size_mib=32\n"
      "image_in=/tmp/in.bin\n"
      "image_out=/tmp/out.bin\n"
      "2.image_out=/tmp/out2.bin\n"
      "2.module_type=0x06\n"
      "3.stuck_bit=even 0 0\n"
      "3.size_mib=48\n"
      "bad=1\n");
  // Errors come in line order, numbered keys or not.
  EXPECT_EQ(result.errors, (std::vector<std::string>{"line 9: bad value for 3.size_mib: \"48\"",
                                                     "line 10: unknown key \"bad\""}));
  const sim::SimSetup& s = result.setup;
  const sim::ProgrammerSetup first = s.Programmer(1), second = s.Programmer(2),
                             third = s.Programmer(3);
  EXPECT_EQ(first.device.model.sizeMiB, 32);
  EXPECT_EQ(second.device.model.sizeMiB, 64);  // wherever the unnumbered key stands
  EXPECT_EQ(third.device.model.sizeMiB, 32);
  EXPECT_EQ(second.device.model.moduleType, 0x06);
  EXPECT_EQ(third.device.model.moduleType, 0x03);
  EXPECT_EQ(third.device.model.stuckBit.lane, sim::ByteLane::Even);
  EXPECT_EQ(second.device.model.stuckBit.lane, sim::ByteLane::None);
  EXPECT_EQ(second.imageIn, "/tmp/in.bin");
  EXPECT_EQ(third.imageIn, "/tmp/in.bin");
  // An unnumbered image_out is the first programmer's only.
  EXPECT_EQ(first.imageOut, "/tmp/out.bin");
  EXPECT_EQ(second.imageOut, "/tmp/out2.bin");
  EXPECT_EQ(third.imageOut, "");
}

TEST(SimConfig, BuildBusPlacesProgrammersByBusAndDeviceNumber) {
  struct Case {
    std::string text;
    std::vector<std::string> list;         // the bus list: dirname/filename of each device
    std::vector<std::string> programmers;  // bus/device of programmer 1, 2, ...
    std::vector<std::string> errors;
  };
  for (const Case& c : {
           Case{"programmers=2", {"001/001", "002/001"}, {"1/1", "2/1"}, {}},
           Case{"foreign_devices=2\nprogrammers=2",
                {"001/001", "001/002", "001/003", "002/001"},
                {"1/3", "2/1"},
                {}},
           Case{"programmers=2\n1.bus=1\n1.device=7\n2.bus=1\n2.device=9",
                {"001/007", "001/009"},
                {"1/7", "1/9"},
                {}},
           Case{"programmers=3\n1.bus=3\n1.device=4\n3.bus=3",
                {"003/004", "003/005", "004/001"},
                {"3/4", "4/1", "3/5"},
                {}},
           Case{"foreign_devices=1\nprogrammers=2\n1.device=5\n2.bus=1\n2.device=1",
                {"001/001", "001/005"},
                {"1/5", "-"},
                {"programmer 2: device 1 is taken on bus 1"}},
       }) {
    SCOPED_TRACE(c.text);
    sim::ConfigResult config = sim::ParseSimConfig(c.text);
    ASSERT_TRUE(config.errors.empty());
    sim::SimBus bus;
    const std::vector<int> ids = sim::BuildBus(bus, config.setup, config.errors);
    EXPECT_EQ(config.errors, c.errors);
    std::vector<std::string> programmers;
    for (int id : ids)
      programmers.push_back(id < 0 ? "-"
                                   : std::to_string(bus.Device(id).BusNumber()) + "/" +
                                         std::to_string(bus.Device(id).DeviceNumber()));
    EXPECT_EQ(programmers, c.programmers);
    bus.FindBusses();
    bus.FindDevices();
    std::vector<std::string> list;
    for (struct usb_bus* b = bus.GetBusses(); b != nullptr; b = b->next) {
      for (struct usb_device* d = b->devices; d != nullptr; d = d->next) {
        list.push_back(std::string(b->dirname) + "/" + d->filename);
        EXPECT_EQ(b->location, uint32_t(std::stoi(b->dirname)));
        EXPECT_EQ(d->devnum, std::stoi(d->filename));
        EXPECT_EQ(d->bus, b);
      }
    }
    EXPECT_EQ(list, c.list);
  }
}

TEST(SimConfig, BuildBusLaysOutForeignDevicesThenProgrammers) {
  sim::ConfigResult config =
      sim::ParseSimConfig("foreign_devices=2\nprogrammers=2\nmodule_type=5\n");
  sim::SimBus bus;
  sim::BuildBus(bus, config.setup, config.errors);
  EXPECT_TRUE(config.errors.empty());
  ASSERT_EQ(bus.DeviceCount(), 4);
  EXPECT_FALSE(bus.Device(0).IsProgrammer());
  EXPECT_FALSE(bus.Device(1).IsProgrammer());
  EXPECT_TRUE(bus.Device(2).IsProgrammer());
  EXPECT_TRUE(bus.Device(3).IsProgrammer());
  EXPECT_EQ(bus.Device(3).Model().Config().moduleType, 5);
  EXPECT_EQ(bus.FindBusses(), 2);
  EXPECT_EQ(bus.FindDevices(), 4);
  struct usb_bus* list = bus.GetBusses();
  // Bus 1: the two foreign devices, then the first programmer; bus 2: the second.
  ASSERT_NE(list->devices->next->next, nullptr);
  EXPECT_EQ(list->devices->next->next->descriptor.idVendor, 0xFFFF);
  EXPECT_EQ(list->next->devices->descriptor.idVendor, 0xFFFF);
}

TEST(SimConfig, AbsentProgrammerAndImageIn) {
  TempDir dir;
  WriteFileBytes(dir.File("in.bin"), Bytes{9, 8, 7});
  sim::ConfigResult config = sim::ParseSimConfig("present=0\nforeign_devices=1\n");
  sim::SimBus empty;
  sim::BuildBus(empty, config.setup, config.errors);
  EXPECT_EQ(empty.DeviceCount(), 1);
  EXPECT_FALSE(empty.Device(0).IsProgrammer());

  WriteFileBytes(dir.File("in2.bin"), Bytes{1, 2});
  config = sim::ParseSimConfig("contents=erased\nimage_in=" + dir.File("in.bin") +
                               "\nprogrammers=3\n2.image_in=" + dir.File("in2.bin"));
  sim::SimBus loaded;
  sim::BuildBus(loaded, config.setup, config.errors);
  EXPECT_TRUE(config.errors.empty());
  for (const auto& [id, start] :
       {std::pair{0, Bytes{9, 8, 7, 0xFF}}, std::pair{1, Bytes{1, 2, 0xFF, 0xFF}},
        std::pair{2, Bytes{9, 8, 7, 0xFF}}}) {
    Bytes image(4);
    loaded.Device(id).Model().Flash().ReadImage(0, image.data(), image.size());
    EXPECT_EQ(image, start) << "programmer " << id + 1;
  }

  config = sim::ParseSimConfig("image_in=" + dir.File("missing.bin"));
  sim::SimBus missing;
  sim::BuildBus(missing, config.setup, config.errors);
  EXPECT_EQ(config.errors,
            std::vector<std::string>{"cannot read image_in " + dir.File("missing.bin")});
}

}  // namespace
