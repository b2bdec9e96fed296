#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <optional>
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
  std::function<void(LinkRig&)> setUp;
  std::string message;
  Names calls;  // every library call, in order
  std::optional<DeviceChoice> choice = std::nullopt;
};

const std::string kInUse = ": the programmer is in use by another program";

std::vector<FailureCase> FailureCases() {
  auto programmer = [](std::function<void(sim::DeviceConfig&)> change) {
    return [change](LinkRig& rig) {
      sim::DeviceConfig config;
      change(config);
      rig.bus.AddProgrammer(config);
    };
  };
  auto version = [&](std::vector<uint8_t> answer) {
    return programmer([answer](sim::DeviceConfig& c) { c.model.version = answer; });
  };
  // Refused as a read-only node refuses; the simulator's default is -EBUSY.
  auto refused = [](sim::DeviceConfig& c) { c.faults.refusalErrno = EPERM; };
  // Two programmers on bus 1, the second one behind a hub.
  auto two = [](LinkRig& rig) {
    const int b = rig.bus.AddBus(1);
    rig.bus.AddDevice(b, {}, 7);
    rig.bus.AddDevice(b, {}, 9);
    rig.AddUsbDeviceEntry("1-2", 1, 7);
    rig.AddUsbDeviceEntry("1-3.1", 1, 9);
  };
  const Names versionCheck =
      Then(kFindCalls, {"usb_open", "usb_set_configuration", "usb_claim_interface",
                        "usb_bulk_write", "usb_bulk_read", "usb_close"});
  const Names configure = Then(kFindCalls, {"usb_open", "usb_set_configuration", "usb_close"});
  const Names claim =
      Then(kFindCalls, {"usb_open", "usb_set_configuration", "usb_claim_interface", "usb_close"});
  return {
      {"NoBusAtAll", [](LinkRig&) {}, "Device not found", kFindCalls},
      {"OnlyForeignDevices",
       [](LinkRig& rig) {
         const int b = rig.bus.AddBus();
         rig.bus.AddDevice(b, {.vendorId = 0xFFFF, .productId = 0x0202});
         rig.bus.AddDevice(b, {.vendorId = 0xFFFE, .productId = 0x0201});
       },
       "Device not found", kFindCalls},
      {"OpenFails", programmer([](sim::DeviceConfig& c) { c.faults.openFails = true; }),
       "Device not found", Then(kFindCalls, {"usb_open"})},
      {"SetConfigurationFails", programmer([&](sim::DeviceConfig& c) {
         c.faults.setConfigurationFails = true;
         refused(c);
       }),
       "Device set configuration error", configure},
      {"SetConfigurationBusy",
       programmer([](sim::DeviceConfig& c) { c.faults.setConfigurationFails = true; }),
       "Device set configuration error" + kInUse, configure},
      {"ClaimFails", programmer([&](sim::DeviceConfig& c) {
         c.faults.claimFails = true;
         refused(c);
       }),
       "Device interface error", claim},
      {"ClaimBusy", programmer([](sim::DeviceConfig& c) { c.faults.claimFails = true; }),
       "Device interface error" + kInUse, claim},
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
      // Without a choice a second programmer is never guessed at: nothing is opened.
      {"TwoProgrammersNoChoice", two,
       "2 programmers found: 001:007 (port 1-2), 001:009 (port 1-3.1). Keep only one connected.",
       kFindCalls},
      {"ThreeProgrammersNoChoice",
       [](LinkRig& rig) {
         for (int i = 0; i < 3; ++i) rig.bus.AddProgrammer();
       },
       "3 programmers found: 001:001, 002:001, 003:001. Keep only one connected.", kFindCalls},
      {"ChosenBusDeviceAbsent", two,
       "No programmer at 001:008. Found: 001:007 (port 1-2), 001:009 (port 1-3.1).", kFindCalls,
       DeviceChoice{1, 8, {}}},
      {"ChosenPortAbsent", two,
       "No programmer at port 1-3. Found: 001:007 (port 1-2), 001:009 (port 1-3.1).", kFindCalls,
       DeviceChoice{0, 0, "1-3"}},
      {"ChosenButNoneThere", [](LinkRig&) {}, "No programmer at 002:003. Found: none.", kFindCalls,
       DeviceChoice{2, 3, {}}},
      // The chosen one cannot be opened: the other one is not tried instead.
      {"ChosenCannotBeOpened",
       [](LinkRig& rig) {
         rig.bus.AddProgrammer();
         rig.bus.AddProgrammer({.faults = {.openFails = true}});
       },
       "Device not found", Then(kFindCalls, {"usb_open"}), DeviceChoice{2, 1, {}}},
  };
}

TEST(OpenProgrammerLink, EachFailureShowsItsMessageAndLeavesNothingOpen) {
  for (const FailureCase& c : FailureCases()) {
    SCOPED_TRACE(c.name);
    LinkRig rig;
    c.setUp(rig);
    EXPECT_FALSE(rig.Open(c.choice));
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

// Three programmers and a foreign device; the port paths as sysfs tells them.
TEST(OpenProgrammerLink, AChoiceOpensThatProgrammerOnly) {
  struct Case {
    std::string choice;
    int opened;  // index into the programmers below
  };
  const std::vector<ProgrammerPlace> places = {{1, 7, "1-2"}, {1, 9, "1-3.2"}, {3, 2, "3-1"}};
  for (const Case& c : {Case{"001:007", 0}, Case{"1:9", 1}, Case{"3:2", 2}, Case{"1-2", 0},
                        Case{"1-3.2", 1}, Case{"3-1", 2}}) {
    SCOPED_TRACE(c.choice);
    LinkRig rig;
    const int one = rig.bus.AddBus(1);
    rig.bus.AddDevice(one, {.vendorId = 0x1234, .productId = 0x5678}, 3);
    std::vector<const sim::SimDevice*> programmers = {&rig.bus.AddDevice(one, {}, 7),
                                                      &rig.bus.AddDevice(one, {}, 9)};
    programmers.push_back(&rig.bus.AddDevice(rig.bus.AddBus(3), {}, 2));
    rig.AddUsbDeviceEntry("1-1", 1, 3);
    for (const ProgrammerPlace& p : places) rig.AddUsbDeviceEntry(p.port, p.bus, p.device);

    ASSERT_TRUE(rig.Open(ParseDeviceChoice(c.choice)));
    EXPECT_EQ(rig.link.found, places);
    EXPECT_EQ(rig.link.opened, places[size_t(c.opened)]);
    EXPECT_EQ(rig.bus.CallCount("usb_open"), 1);
    for (const sim::ApiCall& call : rig.bus.Calls())
      if (call.device >= 0) {
        EXPECT_EQ(call.device, programmers[size_t(c.opened)]->Id()) << call.name;
      }
    for (size_t i = 0; i < programmers.size(); ++i)
      EXPECT_EQ(programmers[i]->IsOpen(), i == size_t(c.opened));
    // The place stays for the report after the link is closed.
    CloseProgrammer(rig.link);
    EXPECT_EQ(rig.link.opened, places[size_t(c.opened)]);
  }
}

TEST(OpenProgrammerLink, OneProgrammerAmongOtherDevicesNeedsNoChoice) {
  LinkRig rig;
  rig.bus.AddDevice(rig.bus.AddBus(), {.vendorId = 0x1234, .productId = 0x5678});
  rig.bus.AddDevice(rig.bus.AddBus(4), {}, 5);
  rig.AddUsbDeviceEntry("4-1", 4, 5);
  ASSERT_TRUE(rig.Open());
  EXPECT_EQ(rig.link.opened, (ProgrammerPlace{4, 5, "4-1"}));
  EXPECT_EQ(rig.link.found, (std::vector<ProgrammerPlace>{{4, 5, "4-1"}}));
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
