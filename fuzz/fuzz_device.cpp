// Plays the programmer from the fuzz input: every answer byte (version, module type,
// chip ID, erase states, write status, error answer, bus reads) and every transfer's
// result length comes from the input, through a libusb table of plain functions that read
// a cursor over it. Each input drives a Start press with all jobs selected, a second one
// with erase and write, and the diagnostic. Once the input runs out every transfer fails,
// so each run ends; an operator's Cancel after a few blocks or erase passes keeps the
// long loops short. What must hold whatever the device says: no crash or overflow, no
// transfer outside an open link, the link closed once per open, the window idle after a
// press, and no success line after a transfer that went wrong.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app_context.h"
#include "app/core/form_logic.h"
#include "flash/jobs.h"
#include "programmer/usb_api.h"
#include "tests/support/fake_window.h"
#include "tests/support/test_chips.h"

namespace {

void Require(bool condition) {
  if (!condition)
    std::abort();
}

// The fuzz input and the state of the one simulated device.
struct Device {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  bool open = false;
  int opens = 0;
  int closes = 0;
  int releases = 0;
  bool badTransfer = false;  // a transfer whose result was not the length asked for

  bool Exhausted() const { return pos >= size; }
  uint8_t Take() { return pos < size ? data[pos++] : 0; }
};
Device device;

struct usb_bus fuzzBus;
struct usb_device fuzzDevice;
int handleStorage;
usb_dev_handle* const kHandle = reinterpret_cast<usb_dev_handle*>(&handleStorage);

void Init() {}
int Find() {
  return 1;
}
struct usb_bus* GetBusses() {
  std::memset(&fuzzBus, 0, sizeof fuzzBus);
  std::memset(&fuzzDevice, 0, sizeof fuzzDevice);
  fuzzDevice.descriptor.idVendor = 0xFFFF;
  fuzzDevice.descriptor.idProduct = 0x0201;
  fuzzDevice.bus = &fuzzBus;
  // Now and then the programmer is not there.
  if (device.Take() == 0xEE)
    return nullptr;
  fuzzBus.devices = &fuzzDevice;
  return &fuzzBus;
}
usb_dev_handle* Open(struct usb_device* dev) {
  Require(dev == &fuzzDevice);
  Require(!device.open);
  if (device.Take() == 0xEE)
    return nullptr;
  device.open = true;
  ++device.opens;
  return kHandle;
}
int HandleCall(usb_dev_handle* handle, int value) {
  Require(handle == kHandle && device.open && value == (value & 1));
  return device.Take() == 0xEE ? -16 : 0;
}
int Release(usb_dev_handle* handle, int interface) {
  Require(handle == kHandle && device.open && interface == 0);
  ++device.releases;
  return 0;
}
int Close(usb_dev_handle* handle) {
  Require(handle == kHandle && device.open);
  device.open = false;
  ++device.closes;
  return 0;
}

// The result of a transfer of `size` bytes, picked by one input byte: mostly whole.
int Result(int size) {
  if (device.Exhausted())
    return -5;
  const uint8_t mode = device.Take();
  switch (mode & 7) {
    case 1:
      return -110;
    case 2:
      return size > 0 ? static_cast<int>(device.Take()) % size : 0;
    case 3:
      return mode & 0x80 ? size + 1 : 0;  // a library never gives more; the tool must not care
    default:
      return size;
  }
}

int BulkWrite(usb_dev_handle* handle, int endpoint, const char* bytes, int size, int timeout) {
  Require(handle == kHandle && device.open);
  Require(endpoint == 0x04 && size > 0 && bytes != nullptr);
  Require(timeout == 1000 || timeout == 5000);
  const int result = Result(size);
  device.badTransfer |= result != size;
  return result;
}

int BulkRead(usb_dev_handle* handle, int endpoint, char* bytes, int size, int timeout) {
  Require(handle == kHandle && device.open);
  Require(endpoint == 0x85 && size > 0 && bytes != nullptr && timeout == 1000);
  const int result = Result(size);
  device.badTransfer |= result != size;
  const size_t filled = result > 0 ? static_cast<size_t>(std::min(result, size)) : 0;
  // Answer bytes from the input. A block takes 8 bytes and repeats them, which keeps
  // inputs short; what the input no longer has reads as zeros.
  const size_t wanted = filled > 64 ? 8 : filled;
  const size_t fromInput = std::min(wanted, device.size - device.pos);
  std::memcpy(bytes, device.data + device.pos, fromInput);
  std::memset(bytes + fromInput, 0, filled - fromInput);
  device.pos += fromInput;
  for (size_t done = wanted; done > 0 && done < filled; done *= 2)
    std::memcpy(bytes + done, bytes, std::min(done, filled - done));
  return result;
}

UsbApi FuzzApi() {
  return UsbApi{
      .usb_init = Init,
      .usb_find_busses = Find,
      .usb_find_devices = Find,
      .usb_get_busses = GetBusses,
      .usb_open = Open,
      .usb_set_configuration = HandleCall,
      .usb_claim_interface = HandleCall,
      .usb_release_interface = Release,
      .usb_close = Close,
      .usb_bulk_write = BulkWrite,
      .usb_bulk_read = BulkRead,
  };
}

// Modules all of 16 MiB (one and two banks) and two chips; MD5 main.
FlashDatabase FuzzDatabase() {
  FlashDatabase db;
  db.modules = {{0x03, 16, 0}, {0x04, 16, 1}};
  db.chips = TestChips();
  db.vendors = TestVendors();
  db.settings = {HashMode::Main, HashMode::Checked, HashMode::Checked};
  db.moduleCount = 2;
  db.chipCount = 2;
  db.vendorCount = 1;
  return db;
}

// The files of the jobs, made once per fuzzing process in memory when possible: a
// 64 MiB sparse reference (long enough for any module) that the check and write jobs
// read, the dump the read job writes, and status.txt.
struct Files {
  std::string dir;
  std::string dump, reference, status;
  Files() {
    dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm/fuzz_device-XXXXXX" : "/tmp/fuzz_device-XXXXXX";
    Require(mkdtemp(dir.data()) != nullptr);
    dump = dir + "/dump.bin";
    reference = dir + "/reference.bin";
    status = dir + "/status.txt";
    const int fd = ::open(reference.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    Require(fd >= 0 && ftruncate(fd, 64l << 20) == 0);
    ::close(fd);
  }
  ~Files() {
    std::remove(dump.c_str());
    std::remove(reference.c_str());
    std::remove(status.c_str());
    rmdir(dir.c_str());
  }
};

void Select(FakeWindow& window, FileDialog dialog, const std::string& path) {
  window.dialogAnswers[dialog].push_back(path);
  window.RunFileDialog(dialog);
}

bool LogHas(const std::string& needle, const std::vector<std::string>& written, size_t from) {
  for (size_t i = from; i < written.size(); ++i)
    if (written[i].find(needle) != std::string::npos)
      return true;
  return false;
}

// One Start press; checks what every press must leave behind.
void Press(AppContext& ctx, FakeWindow& window, const std::vector<std::string>& written) {
  const size_t from = written.size();
  const int opens = device.opens;
  const int releases = device.releases;
  device.badTransfer = false;
  btnStartClick(ctx);
  Require(!device.open && device.opens == device.closes);
  const bool started = LogHas("Start jobs", written, from);
  // Released exactly once after a successful identification, never otherwise.
  Require(device.releases - releases == (started ? 1 : 0));
  Require(device.opens - opens <= 1);
  if (LogHas("Jobs successful done", written, from))
    Require(!device.badTransfer);
  Require(window.IsVisible(Control::btnStart) && !window.IsVisible(Control::btnCancel));
  Require(window.IsEnabled(Control::CheckBox1) && window.ProgressPosition() == 0);
  const std::string md5 = window.Text(Control::MD5_result);
  Require(md5.empty() || md5.size() == 32);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Files files;
  device = Device{};
  device.data = data;
  device.size = size;

  FakeWindow window;
  AppContext ctx(window);
  ctx.database = FuzzDatabase();
  ctx.bindUsb = [] { return FuzzApi(); };
  ctx.now = [] { return 0.5; };
  ctx.statusPath = files.status;
  std::vector<std::string> written;
  // Whether the erase job is the one running, followed from its opening line.
  bool erasing = false;
  ctx.log.SetObserver([&](int) {
    const std::string& text = ctx.log.Last().text;
    written.push_back(text);
    if (text.find("] Start ") != std::string::npos)
      erasing = text.find("] Start erasing flash") != std::string::npos;
  });

  // The operator's side: the first bytes choose the module mode, read or check, Auto or
  // Manual, the answers to the identification questions and when Cancel is clicked.
  const uint8_t setup = device.Take();
  // Cancel comes after a few blocks (each costs three digests of 32 KiB), or after up to
  // a hundred erase passes, enough for the spinner to turn.
  const uint8_t patience = device.Take();
  const int blocksBeforeCancel = 1 + patience % 4;
  const int passesBeforeCancel = 1 + patience % 100;
  window.SetChecked(Control::isSharp, setup & 1);
  ctx.readMode = (setup & 2) == 0;
  window.SetChecked(Control::RadioButton2, setup & 4);
  window.SetChecked(Control::RadioButton1, !(setup & 4));
  if (setup & 4)
    window.SetText(Control::MD5_check, "0123456789abcdef0123456789abcdef");
  for (int i = 0; i < 4; ++i) window.answers.push_back(((setup >> 3) >> i) & 1);
  int blocks = 0;
  int passes = 0;
  window.onProcessEvents = [&] {
    if (erasing ? ++passes % passesBeforeCancel == 0 : ++blocks % blocksBeforeCancel == 0)
      btnCancelClick(ctx);
  };

  Select(window, FileDialog::SaveDialog1, files.dump);
  Select(window, FileDialog::OpenDialog2, files.reference);
  Select(window, FileDialog::OpenDialog1, files.reference);
  window.SetChecked(Control::CheckBox1, true);
  window.SetChecked(Control::CheckBox2, true);
  window.SetChecked(Control::CheckBox3, true);
  Press(ctx, window, written);

  // Erase and write without the read in front, so they meet the device too.
  window.SetChecked(Control::CheckBox1, false);
  blocks = passes = 0;
  Press(ctx, window, written);

  // The diagnostic: it ignores transfer results but must stay within its 1000 cycles
  // and close what it opened.
  const int opens = device.opens;
  StatusTest(ctx);
  Require(!device.open && device.opens == device.closes && device.opens - opens <= 1);
  if (std::FILE* status = std::fopen(files.status.c_str(), "rb")) {
    int lines = 0;
    for (int c; (c = std::fgetc(status)) != EOF;) lines += c == '\n';
    std::fclose(status);
    Require(lines <= 1000);
  }
  return 0;
}
