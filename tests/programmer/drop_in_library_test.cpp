// The simulated programmer built as libusb-0.1.so.4, loaded the way the tool loads the
// real library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "programmer/commands.h"
#include "programmer/programmer_link.h"
#include "sim/flash_memory.h"
#include "tests/support/fake_window.h"
#include "tests/support/open_link.h"
#include "tests/support/temp_dir.h"

namespace {

// The build puts the drop-in library here (a compile definition of the sim target).
const char* const kLibrary = FW_SIM_LIBRARY;

// The byte at `offset` of a file, or -1.
int ByteAt(const std::string& path, uint64_t offset) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  const int byte = in.get();
  return in ? byte : -1;
}

class DropInLibrary : public ::testing::Test {
 protected:
  void Configure(const std::string& text) {
    const std::string path = dir_.File("sim" + std::to_string(++configs_) + ".conf");
    std::ofstream(path) << text;
    setenv("FW_SIM_CONFIG", path.c_str(), 1);
  }
  void TearDown() override { unsetenv("FW_SIM_CONFIG"); }

  UsbBinder binder_ = [] { return BindUsbLibrary(kLibrary); };
  TempDir dir_;
  int configs_ = 0;
};

TEST_F(DropInLibrary, BindsAllElevenFunctions) {
  const UsbApi bound = BindUsbLibrary(kLibrary);
  const UsbApi unbound = UnboundUsbApi();
  EXPECT_NE(bound.usb_init, unbound.usb_init);
  EXPECT_NE(bound.usb_find_busses, unbound.usb_find_busses);
  EXPECT_NE(bound.usb_find_devices, unbound.usb_find_devices);
  EXPECT_NE(bound.usb_get_busses, unbound.usb_get_busses);
  EXPECT_NE(bound.usb_open, unbound.usb_open);
  EXPECT_NE(bound.usb_set_configuration, unbound.usb_set_configuration);
  EXPECT_NE(bound.usb_claim_interface, unbound.usb_claim_interface);
  EXPECT_NE(bound.usb_release_interface, unbound.usb_release_interface);
  EXPECT_NE(bound.usb_close, unbound.usb_close);
  EXPECT_NE(bound.usb_bulk_write, unbound.usb_bulk_write);
  EXPECT_NE(bound.usb_bulk_read, unbound.usb_bulk_read);
}

TEST_F(DropInLibrary, ConnectsReadsBothBanksAndSavesTheImageOnClose) {
  const std::string image = dir_.File("out.bin");
  Configure(
      "# a two-bank 16M module\nmodule_type = 0x05\nsize_mib=16\ndual_bank=1\n"
      "contents=pattern\nimage_out=" +
      image + "\n");
  FakeWindow window;
  ProgrammerLink link;
  ASSERT_TRUE(OpenAndTell(link, binder_, window));
  EXPECT_TRUE(window.messages.empty());

  uint8_t type = 0;
  EXPECT_EQ(GetModuleType(link, type), kCommandOk);
  EXPECT_EQ(type, 0x05);
  std::vector<uint8_t> block(0x8000);
  ASSERT_EQ(SetAddress(link, 0, 0, 0, 0), kCommandOk);
  ASSERT_EQ(ChipSelect(link, kBankSecond), kCommandOk);
  ASSERT_EQ(ReadBlock(link, block.data(), 0x80, 0x00), kCommandOk);
  const uint64_t secondBank = 8u << 20;  // dump order: the first bank, then the second
  for (size_t i = 0; i < block.size(); ++i)
    ASSERT_EQ(block[i], sim::PatternByte(secondBank + i)) << i;
  CloseProgrammer(link);

  EXPECT_EQ(std::filesystem::file_size(image), 16u << 20);
  for (uint64_t at :
       {uint64_t{0}, uint64_t{12345}, secondBank, secondBank + 777, uint64_t{(16u << 20) - 1}})
    EXPECT_EQ(ByteAt(image, at), sim::PatternByte(at)) << at;
}

TEST_F(DropInLibrary, AnotherConfigurationIsReadAtTheNextConnection) {
  Configure("version=2 0\n");
  FakeWindow window;
  ProgrammerLink link;
  EXPECT_FALSE(OpenAndTell(link, binder_, window));
  Configure("present=0\n");
  EXPECT_FALSE(OpenAndTell(link, binder_, window));
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[0].text, "Device version incorrect");
  EXPECT_EQ(window.messages[1].text, "Device not found");
}

TEST_F(DropInLibrary, FlashKeepsWhatWasWrittenBetweenConnections) {
  Configure("contents=erased\n");
  FakeWindow window;
  ProgrammerLink link;
  std::vector<uint8_t> block(0x8000);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i ^ 0x5A);
  ASSERT_TRUE(OpenAndTell(link, binder_, window));
  ASSERT_EQ(SetAddress(link, 0, 0, 0, 0), kCommandOk);
  ASSERT_EQ(WriteBlock(link, block.data(), 0x80, 0x00, 0), kCommandOk);
  CloseProgrammer(link);

  std::vector<uint8_t> back(block.size());
  ASSERT_TRUE(OpenAndTell(link, binder_, window));
  ASSERT_EQ(SetAddress(link, 0, 0, 0, 0), kCommandOk);
  ASSERT_EQ(ReadBlock(link, back.data(), 0x80, 0x00), kCommandOk);
  CloseProgrammer(link);
  EXPECT_EQ(back, block);
}

}  // namespace
