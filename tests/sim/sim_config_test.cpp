#include "sim/sim_config.h"

#include <gtest/gtest.h>

#include <string>
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
      "open_fails=1\n"
      "set_configuration_fails=1\n"
      "claim_fails=1\n"
      "fault_kind=short\n"
      "fault_transfer=5\n"
      "fault_read_block=6\n"
      "fault_write_block=7\n"
      "vanish_after=100\n"
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
  EXPECT_TRUE(f.openFails);
  EXPECT_TRUE(f.setConfigurationFails);
  EXPECT_TRUE(f.claimFails);
  EXPECT_EQ(f.kind, sim::FaultKind::Short);
  EXPECT_EQ(f.atTransfer, 5);
  EXPECT_EQ(f.atReadBlock, 6);
  EXPECT_EQ(f.atWriteBlock, 7);
  EXPECT_EQ(f.vanishAfter, 100);
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
       }) {
    SCOPED_TRACE(c.line);
    const sim::ConfigResult result = sim::ParseSimConfig(c.line);
    EXPECT_EQ(result.errors, std::vector<std::string>{c.error});
    const sim::SimSetup defaults;
    EXPECT_EQ(result.setup.device.model.sizeMiB, defaults.device.model.sizeMiB);
    EXPECT_EQ(result.setup.device.model.moduleType, defaults.device.model.moduleType);
    EXPECT_EQ(result.setup.device.model.chipId, defaults.device.model.chipId);
    EXPECT_EQ(result.setup.device.model.version, defaults.device.model.version);
  }
  EXPECT_EQ(sim::LoadSimConfig("/nonexistent/sim.conf").errors,
            std::vector<std::string>{"cannot read /nonexistent/sim.conf"});
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

  config = sim::ParseSimConfig("contents=erased\nimage_in=" + dir.File("in.bin"));
  sim::SimBus loaded;
  sim::BuildBus(loaded, config.setup, config.errors);
  EXPECT_TRUE(config.errors.empty());
  const std::vector<uint8_t> image = loaded.Device(0).Model().Flash().Image();
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 4), (Bytes{9, 8, 7, 0xFF}));

  config = sim::ParseSimConfig("image_in=" + dir.File("missing.bin"));
  sim::SimBus missing;
  sim::BuildBus(missing, config.setup, config.errors);
  EXPECT_EQ(config.errors,
            std::vector<std::string>{"cannot read image_in " + dir.File("missing.bin")});
}

}  // namespace
