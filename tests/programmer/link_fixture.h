// A programmer link on the in-process simulated programmer, with the fake window for
// the connection's message boxes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "programmer/programmer_link.h"
#include "sim/in_process_usb.h"
#include "sim/sim_bus.h"
#include "tests/support/fake_window.h"
#include "tests/support/open_link.h"
#include "tests/support/temp_dir.h"

// Transfers made by the connection itself: GetVersion's request and answer.
inline constexpr int kOpenTransfers = 2;

struct LinkRig {
  sim::SimBus bus;
  FakeWindow window;
  ProgrammerLink link;

  LinkStatus status = LinkStatus::Ok;
  // Stands for /sys/bus/usb/devices: empty unless a test adds entries.
  TempDir usbDevices;

  // Opens the link; a failure's text goes to the fake window as the caller's box would.
  bool Open(const std::optional<DeviceChoice>& choice = std::nullopt) {
    return OpenAndTell(link, sim::InProcessBinder(bus), window, status, choice,
                       usbDevices.Path().string());
  }

  // An entry of the fake sysfs folder, with the busnum and devnum files the kernel gives.
  void AddUsbDeviceEntry(const std::string& name, int busNumber, int deviceNumber) const {
    std::filesystem::create_directory(usbDevices.Path() / name);
    usbDevices.Write(name + "/busnum", std::to_string(busNumber) + "\n");
    usbDevices.Write(name + "/devnum", std::to_string(deviceNumber) + "\n");
  }

  // Adds a programmer, opens it and forgets the connection's traffic.
  sim::SimDevice& OpenProgrammer(const sim::DeviceConfig& config = {}) {
    sim::SimDevice& device = bus.AddProgrammer(config);
    EXPECT_TRUE(Open());
    bus.ClearRecord();
    return device;
  }
};

using Bytes = std::vector<uint8_t>;
