#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "programmer/programmer_link.h"
#include "tests/programmer/link_fixture.h"

namespace {

using Names = std::vector<std::string>;

const Names kFindCalls = {"usb_init", "usb_find_busses", "usb_find_devices", "usb_get_busses"};

Names Then(Names names, const Names& more) {
  names.insert(names.end(), more.begin(), more.end());
  return names;
}

struct FailureCase {
  std::string name;
  std::function<void(sim::SimBus&)> setUp;
  std::string message;
  Names calls;  // every library call, in order
};

std::vector<FailureCase> FailureCases() {
  auto programmer = [](std::function<void(sim::DeviceConfig&)> change) {
    return [change](sim::SimBus& bus) {
      sim::DeviceConfig config;
      change(config);
      bus.AddProgrammer(config);
    };
  };
  auto version = [&](std::vector<uint8_t> answer) {
    return programmer([answer](sim::DeviceConfig& c) { c.model.version = answer; });
  };
  const Names versionCheck =
      Then(kFindCalls, {"usb_open", "usb_set_configuration", "usb_claim_interface",
                        "usb_bulk_write", "usb_bulk_read", "usb_close"});
  return {
      {"NoBusAtAll", [](sim::SimBus&) {}, "Device not found", kFindCalls},
      {"OnlyForeignDevices",
       [](sim::SimBus& bus) {
         const int b = bus.AddBus();
         bus.AddDevice(b, {.vendorId = 0xFFFF, .productId = 0x0202});
         bus.AddDevice(b, {.vendorId = 0xFFFE, .productId = 0x0201});
       },
       "Device not found", kFindCalls},
      {"OpenFails", programmer([](sim::DeviceConfig& c) { c.faults.openFails = true; }),
       "Device not found", Then(kFindCalls, {"usb_open"})},
      {"SetConfigurationFails",
       programmer([](sim::DeviceConfig& c) { c.faults.setConfigurationFails = true; }),
       "Device set configuration error",
       Then(kFindCalls, {"usb_open", "usb_set_configuration", "usb_close"})},
      {"ClaimFails", programmer([](sim::DeviceConfig& c) { c.faults.claimFails = true; }),
       "Device interface error",
       Then(kFindCalls, {"usb_open", "usb_set_configuration", "usb_claim_interface", "usb_close"})},
      {"VersionRequestFails", programmer([](sim::DeviceConfig& c) { c.faults.atTransfer = 0; }),
       "Device error",
       Then(kFindCalls, {"usb_open", "usb_set_configuration", "usb_claim_interface",
                         "usb_bulk_write", "usb_close"})},
      {"VersionAnswerTimesOut", programmer([](sim::DeviceConfig& c) {
         c.faults.atTransfer = 1;
         c.faults.kind = sim::FaultKind::Timeout;
       }),
       "Device error", versionCheck},
      {"VersionAnswerShort", programmer([](sim::DeviceConfig& c) {
         c.faults.atTransfer = 1;
         c.faults.kind = sim::FaultKind::Short;
       }),
       "Device error", versionCheck},
      {"OneByteVersion", version({2}), "Device error", versionCheck},
      {"Version20", version({2, 0}), "Device version incorrect", versionCheck},
      {"Version31", version({3, 1}), "Device version incorrect", versionCheck},
      {"Version12", version({1, 2}), "Device version incorrect", versionCheck},
  };
}

TEST(OpenProgrammerLink, EachFailureShowsItsMessageAndLeavesNothingOpen) {
  for (const FailureCase& c : FailureCases()) {
    SCOPED_TRACE(c.name);
    LinkRig rig;
    c.setUp(rig.bus);
    EXPECT_FALSE(rig.Open());
    ASSERT_EQ(rig.window.messages.size(), 1u);
    EXPECT_EQ(rig.window.messages[0],
              (FakeWindow::Message{c.message, "Flash programmator", false}));
    EXPECT_EQ(rig.bus.CallNames(), c.calls);
    // Failures inside the connection close without releasing the interface.
    EXPECT_EQ(rig.bus.CallCount("usb_release_interface"), 0);
    EXPECT_EQ(rig.link.handle, nullptr);
    for (int id = 0; id < rig.bus.DeviceCount(); ++id) EXPECT_FALSE(rig.bus.Device(id).IsOpen());
  }
}

TEST(OpenProgrammerLink, SuccessConfiguresClaimsAndChecksVersion) {
  LinkRig rig;
  rig.bus.AddProgrammer();
  ASSERT_TRUE(rig.Open());
  EXPECT_TRUE(rig.window.messages.empty());
  EXPECT_NE(rig.link.handle, nullptr);
  EXPECT_EQ(rig.bus.CallNames(),
            Then(kFindCalls, {"usb_open", "usb_set_configuration", "usb_claim_interface",
                              "usb_bulk_write", "usb_bulk_read"}));
  const auto& calls = rig.bus.Calls();
  EXPECT_EQ(calls[5].argument, 1);  // configuration 1
  EXPECT_EQ(calls[6].argument, 0);  // interface 0
  const auto& transfers = rig.bus.Transfers();
  ASSERT_EQ(transfers.size(), 2u);
  EXPECT_EQ(transfers[0].endpoint, 0x04);
  EXPECT_EQ(transfers[0].bytes, (Bytes{0x13}));
  EXPECT_EQ(transfers[0].timeout, 1000);
  EXPECT_EQ(transfers[1].endpoint, 0x85);
  EXPECT_EQ(transfers[1].requested, 2);
  EXPECT_EQ(transfers[1].timeout, 1000);
  EXPECT_EQ(transfers[1].result, 2);
}

TEST(CloseProgrammer, ReleasesInterfaceZeroThenClosesOnce) {
  LinkRig rig;
  sim::SimDevice& device = rig.OpenProgrammer();
  CloseProgrammer(rig.link);
  EXPECT_EQ(rig.bus.CallNames(), (Names{"usb_release_interface", "usb_close"}));
  EXPECT_EQ(rig.bus.Calls()[0].argument, 0);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(rig.link.handle, nullptr);
  // A second close has no handle left to reach the library with.
  CloseProgrammer(rig.link);
  EXPECT_EQ(rig.bus.Calls().size(), 2u);
  EXPECT_EQ(rig.bus.TransfersAfterClose(), 0);
}

TEST(FindProgrammer, TakesFirstMatchInBusThenDeviceOrder) {
  LinkRig rig;
  const int first = rig.bus.AddBus();
  rig.bus.AddDevice(first, {.vendorId = 0x1234, .productId = 0x5678});
  const int second = rig.bus.AddBus();
  sim::SimDevice& wanted = rig.bus.AddDevice(second);
  sim::SimDevice& other = rig.bus.AddDevice(second);
  sim::SimDevice& third = rig.bus.AddProgrammer();
  ASSERT_TRUE(rig.Open());
  EXPECT_TRUE(wanted.IsOpen());
  int opens = 0;
  for (const sim::ApiCall& call : rig.bus.Calls()) {
    if (call.name == "usb_open") {
      ++opens;
      EXPECT_EQ(call.device, wanted.Id());
    }
    EXPECT_NE(call.device, other.Id());
    EXPECT_NE(call.device, third.Id());
  }
  EXPECT_EQ(opens, 1);
}

TEST(FindProgrammer, FirstMatchThatCannotBeOpenedEndsTheSearch) {
  LinkRig rig;
  sim::DeviceConfig busy;
  busy.faults.openFails = true;
  sim::SimDevice& first = rig.bus.AddProgrammer(busy);
  sim::SimDevice& second = rig.bus.AddProgrammer();
  EXPECT_FALSE(rig.Open());
  EXPECT_EQ(rig.window.MessageTexts(), (std::vector<std::string>{"Device not found"}));
  ASSERT_EQ(rig.bus.CallCount("usb_open"), 1);
  for (const sim::ApiCall& call : rig.bus.Calls())
    if (call.name == "usb_open") {
      EXPECT_EQ(call.device, first.Id());
    }
  EXPECT_FALSE(second.IsOpen());
}

TEST(OpenProgrammerLink, EveryAttemptStartsAfreshSoALateProgrammerIsFound) {
  LinkRig rig;
  EXPECT_FALSE(rig.Open());
  rig.bus.AddProgrammer();
  EXPECT_TRUE(rig.Open());
  EXPECT_EQ(rig.window.MessageTexts(), (std::vector<std::string>{"Device not found"}));
  EXPECT_EQ(rig.bus.CallCount("usb_init"), 2);
  EXPECT_EQ(rig.bus.CallCount("usb_find_busses"), 2);
  EXPECT_EQ(rig.bus.CallCount("usb_find_devices"), 2);
}

TEST(OpenProgrammerLink, MissingLibraryGivesDeviceNotFoundEveryTime) {
  FakeWindow window;
  ProgrammerLink link;
  const UsbBinder missing = [] { return BindUsbLibrary("libdoes-not-exist.so"); };
  EXPECT_FALSE(OpenAndTell(link, missing, window));
  EXPECT_FALSE(OpenAndTell(link, missing, window));
  ASSERT_EQ(window.messages.size(), 2u);
  for (const auto& m : window.messages)
    EXPECT_EQ(m, (FakeWindow::Message{"Device not found", "Flash programmator", false}));
  EXPECT_EQ(link.handle, nullptr);
}

TEST(OpenProgrammerLink, LibraryWithoutUsbFunctionsGivesDeviceNotFound) {
  // Any library lacking the names: every function keeps its failing stand-in.
  FakeWindow window;
  ProgrammerLink link;
  EXPECT_FALSE(OpenAndTell(
      link, [] { return BindUsbLibrary("libm.so.6"); }, window));
  EXPECT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "Device not found");
}

TEST(UnboundUsbApi, EveryFunctionFailsWithoutCrashing) {
  const UsbApi api = UnboundUsbApi();
  api.usb_init();
  EXPECT_EQ(api.usb_find_busses(), -2);
  EXPECT_EQ(api.usb_find_devices(), -2);
  EXPECT_EQ(api.usb_get_busses(), nullptr);
  EXPECT_EQ(api.usb_open(nullptr), nullptr);
  EXPECT_EQ(api.usb_set_configuration(nullptr, 1), -2);
  EXPECT_EQ(api.usb_claim_interface(nullptr, 0), -2);
  EXPECT_EQ(api.usb_release_interface(nullptr, 0), -2);
  EXPECT_EQ(api.usb_close(nullptr), -2);
  char buffer[4] = {};
  EXPECT_EQ(api.usb_bulk_write(nullptr, 0x04, buffer, 4, 1000), -2);
  EXPECT_EQ(api.usb_bulk_read(nullptr, 0x85, buffer, 4, 1000), -2);
}

}  // namespace
