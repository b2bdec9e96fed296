// The drop-in libusb-0.1.so.4 as the processes that load it see it: a claimed interface
// is locked against other processes, and each programmer saves its own flash.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "programmer/usb_api.h"
#include "tests/support/temp_dir.h"

namespace {

class UsbDropIn : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"))
      savedRuntime_ = runtime;
    setenv("XDG_RUNTIME_DIR", dir_.Path().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("FW_SIM_CONFIG");
    if (savedRuntime_)
      setenv("XDG_RUNTIME_DIR", savedRuntime_->c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
  }

  // Writes new settings and has the library set its bus up from them.
  void Configure(const std::string& text) {
    const std::string path = dir_.Write("sim" + std::to_string(++configs_) + ".conf", text);
    setenv("FW_SIM_CONFIG", path.c_str(), 1);
    usb_.usb_init();
    usb_.usb_find_busses();
    usb_.usb_find_devices();
  }
  struct usb_device* Find(int busNumber, int deviceNumber) {
    for (struct usb_bus* b = usb_.usb_get_busses(); b != nullptr; b = b->next)
      for (struct usb_device* d = b->devices; d != nullptr; d = d->next)
        if (int(b->location) == busNumber && d->devnum == deviceNumber)
          return d;
    return nullptr;
  }
  usb_dev_handle* Open(int busNumber, int deviceNumber) {
    struct usb_device* device = Find(busNumber, deviceNumber);
    return device ? usb_.usb_open(device) : nullptr;
  }
  // The claim locks in the runtime folder.
  int LockFiles() const {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
      count += entry.path().extension() == ".lock";
    return count;
  }

  // A child process that claims programmer 1/1 through its own handle, reports 'c' (or 'x'
  // when it could not) and then does what each byte from the parent says: 'r' release,
  // 'l' close, 'e' exit at once, 'q' quit; after a release or close it reports 'd'.
  pid_t ClaimingChild(const std::function<usb_dev_handle*()>& open, int fromParent, int toParent) {
    const pid_t child = fork();
    if (child != 0)
      return child;
    usb_dev_handle* handle = open();
    char byte = handle != nullptr && usb_.usb_claim_interface(handle, 0) == 0 ? 'c' : 'x';
    if (write(toParent, &byte, 1) != 1)
      _exit(1);
    while (read(fromParent, &byte, 1) == 1 && byte != 'q') {
      if (byte == 'e')
        _exit(0);
      if (byte == 'r')
        usb_.usb_release_interface(handle, 0);
      else
        usb_.usb_close(handle);
      if (write(toParent, "d", 1) != 1)
        _exit(1);
    }
    _exit(0);
  }

  UsbApi usb_ = BindUsbLibrary(FW_SIM_LIBRARY);
  TempDir dir_;
  int configs_ = 0;
  std::optional<std::string> savedRuntime_;
};

TEST_F(UsbDropIn, ClaimOfAnotherProcessIsBusyUntilItLetsGo) {
  for (const char how : {'r', 'l', 'e'}) {
    SCOPED_TRACE(std::string("child lets go by ") + how);
    Configure("contents=erased\n");
    usb_dev_handle* mine = Open(1, 1);
    ASSERT_NE(mine, nullptr);
    int down[2], up[2];
    ASSERT_EQ(pipe(down), 0);
    ASSERT_EQ(pipe(up), 0);
    const pid_t child = ClaimingChild([this] { return Open(1, 1); }, down[0], up[1]);
    char byte = 0;
    ASSERT_EQ(read(up[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'c');
    EXPECT_EQ(LockFiles(), 1);
    EXPECT_EQ(usb_.usb_claim_interface(mine, 0), -EBUSY);
    ASSERT_EQ(write(down[1], &how, 1), 1);
    if (how == 'e') {
      waitpid(child, nullptr, 0);
    } else {
      ASSERT_EQ(read(up[0], &byte, 1), 1);
      EXPECT_EQ(byte, 'd');
    }
    EXPECT_EQ(usb_.usb_claim_interface(mine, 0), 0);
    usb_.usb_close(mine);
    EXPECT_EQ(LockFiles(), 0);
    if (how != 'e') {
      ASSERT_EQ(write(down[1], "q", 1), 1);
      waitpid(child, nullptr, 0);
    }
    for (int fd : {down[0], down[1], up[0], up[1]}) close(fd);
  }
}

TEST_F(UsbDropIn, ProcessesWithOtherSettingsHaveOtherProgrammers) {
  Configure("contents=erased\n");
  usb_dev_handle* mine = Open(1, 1);
  ASSERT_NE(mine, nullptr);
  ASSERT_EQ(usb_.usb_claim_interface(mine, 0), 0);
  int down[2], up[2];
  ASSERT_EQ(pipe(down), 0);
  ASSERT_EQ(pipe(up), 0);
  const pid_t child = ClaimingChild(
      [this] {
        Configure("contents=zero\n");
        return Open(1, 1);
      },
      down[0], up[1]);
  char byte = 0;
  ASSERT_EQ(read(up[0], &byte, 1), 1);
  EXPECT_EQ(byte, 'c');
  ASSERT_EQ(write(down[1], "q", 1), 1);
  waitpid(child, nullptr, 0);
  // Both locks are there: the child's new settings dropped its copy of our claimed
  // handle, but our lock stays ours.
  EXPECT_EQ(LockFiles(), 2);
  usb_.usb_close(mine);
  for (int fd : {down[0], down[1], up[0], up[1]}) close(fd);
}

TEST_F(UsbDropIn, EachProgrammerSavesItsOwnFlashWhenClosed) {
  const std::string first = dir_.File("first.bin"), second = dir_.File("second.bin");
  Configure(
      "programmers=2\ncontents=erased\nbus=1\n1.device=7\n2.device=9\n2.size_mib=32\n"
      "1.image_out=" +
      first + "\n2.image_out=" + second + "\n");
  struct usb_device* device = Find(1, 9);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(std::string(device->bus->dirname), "001");
  EXPECT_EQ(std::string(device->filename), "009");
  ASSERT_NE(Find(1, 7), nullptr);
  EXPECT_EQ(std::string(Find(1, 7)->filename), "007");

  // WriteBlock of four zero bytes at address 0 of the second programmer.
  usb_dev_handle* handle = usb_.usb_open(device);
  ASSERT_NE(handle, nullptr);
  char status = 1;
  EXPECT_EQ(usb_.usb_bulk_write(handle, 0x04, "\x11", 1, 1000), 1);
  EXPECT_EQ(usb_.usb_bulk_write(handle, 0x04, "\0\0\0\0", 4, 1000), 4);
  EXPECT_EQ(usb_.usb_bulk_read(handle, 0x85, &status, 1, 1000), 1);
  EXPECT_EQ(status, 0);
  usb_.usb_close(handle);
  EXPECT_FALSE(std::filesystem::exists(first));
  const std::vector<uint8_t> saved = ReadFileBytes(second);
  ASSERT_EQ(saved.size(), 32u << 20);
  EXPECT_EQ(std::vector<uint8_t>(saved.begin(), saved.begin() + 5),
            (std::vector<uint8_t>{0, 0, 0, 0, 0xFF}));

  usb_.usb_close(Open(1, 7));
  EXPECT_EQ(std::filesystem::file_size(first), 16u << 20);
  EXPECT_EQ(ReadFileBytes(first)[0], 0xFF);
}

// A dropped programmer's claim goes at once; it is back after drop_ms under a new number.
TEST_F(UsbDropIn, DroppedProgrammerComesBackUnderAnotherNumber) {
  Configure("drop_at=transfer 0\ndrop_scans=0\ndrop_ms=200\n");
  usb_dev_handle* old = Open(1, 1);
  ASSERT_EQ(usb_.usb_claim_interface(old, 0), 0);
  EXPECT_EQ(usb_.usb_bulk_write(old, 0x04, "\x13", 1, 1000), -ENODEV);
  EXPECT_EQ(LockFiles(), 0);
  for (const int wait : {0, 250000}) {
    usleep(useconds_t(wait));
    usb_.usb_find_devices();
    EXPECT_EQ(Find(1, 2) != nullptr, wait > 0);
  }
  usb_dev_handle* back = Open(1, 2);
  EXPECT_EQ(usb_.usb_claim_interface(back, 0), 0);
  EXPECT_EQ(usb_.usb_release_interface(old, 0), -ENODEV);
  EXPECT_EQ(usb_.usb_close(old), 0);
  EXPECT_EQ(LockFiles(), 1);
  usb_.usb_close(back);
}

}  // namespace
