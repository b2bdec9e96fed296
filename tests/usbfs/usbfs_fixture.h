// The tool without its window, bound at run time to Debian's libusb-0.1 and talking
// through an emulated usbfs to programmers answered by the simulated firmware.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "programmer/programmer_link.h"
#include "tests/support/open_link.h"
#include "tests/support/rig.h"
#include "tests/usbfs/usbfs_testbed.h"

inline constexpr const char* kDebianLibusb = "libusb-0.1.so.4";

// The rig with its simulated bus left unused: the tool reaches the testbed's programmers
// through the real library.
class UsbfsTest : public ::testing::Test, public Rig {
 public:
  UsbfsTest() {
    ctx.bindUsb = [] { return BindUsbLibrary(kDebianLibusb); };
    ctx.usbDevices = kUsbDevicesFolder;  // the testbed's, in place of the machine's
  }
  ~UsbfsTest() override {
    // A test that stopped half-way must not leave the library holding a node.
    CloseProgrammer(ctx.session.handle);
  }

  usbfs::UsbfsProgrammer& AddProgrammer(const sim::ModelConfig& model = Module(kModule16M).Model(),
                                        usbfs::UsbfsFaults faults = {},
                                        const usbfs::NodeAddress& address = {1, 2}) {
    return bed->AddProgrammer(address, model, std::move(faults));
  }
  // A fresh, empty bus (the old testbed goes first: only one can be active).
  void NewBed() {
    bed.reset();
    bed = std::make_unique<usbfs::UsbfsTestbed>();
  }

  std::unique_ptr<usbfs::UsbfsTestbed> bed = std::make_unique<usbfs::UsbfsTestbed>();
};

// A log row as text and colour, for whole-log comparisons.
struct Row {
  std::string text;
  LogColour colour;
  friend bool operator==(const Row&, const Row&) = default;
};

inline std::vector<Row> Rows(const std::vector<EventLog::Entry>& entries) {
  std::vector<Row> rows;
  for (const auto& e : entries) rows.push_back({e.text, e.colour});
  return rows;
}

inline void PrintTo(const Row& row, std::ostream* os) {
  *os << "{\"" << row.text << "\", colour " << static_cast<int>(row.colour) << "}";
}
