// A whole tool without its window: the fake window, the context, the simulated
// programmer on an in-process bus and a small database. The clock stands still unless a
// test lets it move; a job that never ends is cancelled and fails its test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/core/form_logic.h"
#include "sim/in_process_usb.h"
#include "sim/sim_bus.h"
#include "tests/support/fake_window.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_constants.h"
#include "tests/support/test_modules.h"

// The modules of test_modules.h; chips C2 7E (2-byte ID, 16-bit, write mode 1) and
// 01 A7 12 (3-byte ID, 8-bit, mode 0); vendor C2 "Macronix" only; MD5 main, SHA-1
// checked, AGI CRC not checked.
FlashDatabase TestDatabase();

struct Rig {
  explicit Rig(const sim::DeviceConfig& config = {});

  FakeWindow window;
  AppContext ctx{window};
  sim::SimBus bus;
  sim::SimDevice* device;
  TempDir dir;

  // The clock starts at kTestTime and moves on by these at every event processing (a
  // polling pass or a block) and while a file dialog is open.
  double secondsPerPass = 0;
  double secondsPerDialog = 0;
  double Now() const;

  sim::DeviceModel& Model() { return device->Model(); }
  // The log rows in use, top first, as "text" (colour checked separately).
  std::vector<std::string> Lines() const;
  std::vector<EventLog::Entry> Entries() const;
  // The flash in dump order.
  std::vector<uint8_t> FlashImage() const { return device->Model().Flash().Image(); }
  // Ticks the read or check job with `path` answered by its dialog.
  void SelectRead(const std::string& path);
  void SelectCheck(const std::string& path);
  void SelectWrite(const std::string& path);
  void SelectErase();
  // For a job run on its own: the selection as the Start press hands it over.
  void UseReadFile(const std::string& path);
  void UseWriteFile(const std::string& path);
  // The OUT requests since the record was last cleared, as hex text ("12", "23 01").
  std::vector<std::string> Requests() const;

  // A job run on its own: Connect identifies (and must succeed), then Mark forgets the
  // traffic and remembers where the log stands, so that the calls below look only at
  // what the job does.
  void Connect();
  void Mark();
  // The log rows from row `from` on (since the mark), as "Colour: text".
  std::vector<std::string> LinesFrom(size_t from) const;
  std::vector<std::string> JobLines() const { return LinesFrom(linesAtMark); }
  // The OUT requests since the mark without the WriteBlock data phases.
  std::vector<std::string> Commands() const;
  // The device fails its transfer `n` counted from the mark (the record is only ever
  // cleared by Mark, so transfersAtMark counts every transfer before it).
  void FailTransfer(int n, sim::FaultKind kind = sim::FaultKind::Error);
  int transfersAtMark = 0;
  size_t linesAtMark = 0;
};

// The last `n` of `items`. When there are fewer the test fails (not the executable) and
// the missing ones read as empty, so that the checks after it still run.
template <class T>
std::vector<T> LastOf(const std::vector<T>& items, size_t n) {
  if (items.size() >= n)
    return std::vector<T>(items.end() - static_cast<long>(n), items.end());
  ADD_FAILURE() << "wanted the last " << n << " but there are only " << items.size();
  std::vector<T> padded(n - items.size());
  padded.insert(padded.end(), items.begin(), items.end());
  return padded;
}

// "23 01" style text of some bytes.
std::string HexBytes(const std::vector<uint8_t>& bytes);
