// A whole tool without its window: the fake window, the context, the simulated
// programmer on an in-process bus and a small database, with the clock fixed.
#pragma once

#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/core/form_logic.h"
#include "sim/in_process_usb.h"
#include "sim/sim_bus.h"
#include "tests/support/fake_window.h"
#include "tests/support/temp_dir.h"

// 09:05:07 in the C locale the tests run in.
inline constexpr double kTestTime = (9 * 3600 + 5 * 60 + 7) / 86400.0;
inline constexpr const char* kStamp = "[09:05:07] ";

// Modules 03 (16M, one bank), 05 (32M, two banks), 06 (64M, two banks); chips C2 7E
// (2-byte ID, 16-bit, write mode 1) and 01 A7 12 (3-byte ID, 8-bit, mode 0); vendor C2
// "Macronix" only; MD5 main, SHA-1 checked, AGI CRC not checked.
FlashDatabase TestDatabase();

struct Rig {
  explicit Rig(const sim::DeviceConfig& config = {});

  FakeWindow window;
  AppContext ctx{window};
  sim::SimBus bus;
  sim::SimDevice* device;
  TempDir dir;

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
  // The OUT requests since the record was last cleared, as hex text ("12", "23 01").
  std::vector<std::string> Requests() const;
};

// "23 01" style text of some bytes.
std::string HexBytes(const std::vector<uint8_t>& bytes);
