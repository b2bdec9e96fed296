// A programmer link on the in-process simulated programmer, with the fake window for
// the connection's message boxes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "programmer/programmer_link.h"
#include "sim/in_process_usb.h"
#include "sim/sim_bus.h"
#include "tests/support/fake_window.h"
#include "tests/support/open_link.h"

// Transfers made by the connection itself: GetVersion's request and answer.
inline constexpr int kOpenTransfers = 2;

struct LinkRig {
  sim::SimBus bus;
  FakeWindow window;
  ProgrammerLink link;

  LinkStatus status = LinkStatus::Ok;

  // Opens the link; a failure's text goes to the fake window as the caller's box would.
  bool Open() { return OpenAndTell(link, sim::InProcessBinder(bus), window, status); }

  // Adds a programmer, opens it and forgets the connection's traffic.
  sim::SimDevice& OpenProgrammer(const sim::DeviceConfig& config = {}) {
    sim::SimDevice& device = bus.AddProgrammer(config);
    EXPECT_TRUE(Open());
    bus.ClearRecord();
    return device;
  }
};

using Bytes = std::vector<uint8_t>;
