#include "programmer/programmer_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tests/programmer/link_fixture.h"

namespace {

using Names = std::vector<std::string>;
using Places = std::vector<ProgrammerPlace>;

TEST(ListProgrammers, BusListOrderWithPortPathsAndNothingOpened) {
  LinkRig rig;
  const int two = rig.bus.AddBus(2);
  rig.bus.AddDevice(two, {}, 9);
  rig.bus.AddDevice(two, {.vendorId = 0x1234, .productId = 0x5678}, 3);
  rig.bus.AddDevice(two, {}, 4);
  rig.bus.AddDevice(rig.bus.AddBus(1), {}, 1);
  rig.bus.AddDevice(rig.bus.AddBus(5), {}, 6);
  rig.AddUsbDeviceEntry("2-1.4", 2, 9);
  rig.AddUsbDeviceEntry("2-2", 2, 3);
  rig.AddUsbDeviceEntry("2-3", 2, 4);
  rig.AddUsbDeviceEntry("2-4", 2, 8);  // not on the library's bus
  // A root hub has no port path, and an interface is not a device (these carry the
  // numbers of programmers that have no entry of their own).
  rig.AddUsbDeviceEntry("usb1", 1, 1);
  rig.AddUsbDeviceEntry("1-0:1.0", 1, 1);
  rig.AddUsbDeviceEntry("5-1:1.0", 5, 6);

  const Places places = ListProgrammers(sim::InProcessUsbApi(rig.bus), rig.usbDevices.Path());
  EXPECT_EQ(places, (Places{{2, 9, "2-1.4"}, {2, 4, "2-3"}, {1, 1, ""}, {5, 6, ""}}));
  EXPECT_EQ(rig.bus.CallNames(),
            (Names{"usb_init", "usb_find_busses", "usb_find_devices", "usb_get_busses"}));
  // Another program may hold a programmer meanwhile: the list opens none.
  for (int id = 0; id < rig.bus.DeviceCount(); ++id) EXPECT_FALSE(rig.bus.Device(id).IsOpen());
}

TEST(ListProgrammers, NamesThatAreNotNumbersGiveWayToLocationAndDevnum) {
  LinkRig rig;
  rig.bus.AddDevice(rig.bus.AddBus(3), {}, 12);
  rig.bus.AddDevice(rig.bus.AddBus(4), {}, 5);
  UsbApi api = sim::InProcessUsbApi(rig.bus);
  api.usb_get_busses = [] {
    struct usb_bus* head = sim::SimBus::Current()->GetBusses();
    std::strcpy(head->dirname, "bus-a");
    std::strcpy(head->devices->filename, "12x");
    return head;
  };
  EXPECT_EQ(ListProgrammers(api, rig.usbDevices.Path()), (Places{{3, 12, ""}, {4, 5, ""}}));
}

TEST(ProgrammerPlace, Texts) {
  EXPECT_EQ(BusDeviceText({1, 7, "1-2"}), "001:007");
  EXPECT_EQ(PlaceText({1, 7, "1-2"}), "001:007 (port 1-2)");
  EXPECT_EQ(PlaceText({12, 103, ""}), "012:103");
  EXPECT_EQ(ChoiceText({1, 9, ""}), "001:009");
  EXPECT_EQ(ChoiceText({0, 0, "1-2.3"}), "port 1-2.3");
}

TEST(ParseDeviceChoice, BusDeviceOrPortPathElseNone) {
  struct Case {
    std::string text;
    std::optional<DeviceChoice> choice;
  };
  const std::vector<Case> cases = {
      {"001:007", DeviceChoice{1, 7, {}}},
      {"1:7", DeviceChoice{1, 7, {}}},
      {"255:127", DeviceChoice{255, 127, {}}},
      {"1-2", DeviceChoice{0, 0, "1-2"}},
      {"1-2.3", DeviceChoice{0, 0, "1-2.3"}},
      {"12-1.4.2.10", DeviceChoice{0, 0, "12-1.4.2.10"}},
      {"", std::nullopt},
      {"7", std::nullopt},
      {"1:", std::nullopt},
      {":7", std::nullopt},
      {"0:7", std::nullopt},
      {"1:0", std::nullopt},
      {"1:7:", std::nullopt},
      {"1:7x", std::nullopt},
      {" 1:7", std::nullopt},
      {"0001:007", std::nullopt},
      {"1:0007", std::nullopt},
      {"a:b", std::nullopt},
      {"1-", std::nullopt},
      {"-2", std::nullopt},
      {"1-2.", std::nullopt},
      {"1-2..3", std::nullopt},
      {"1-.2", std::nullopt},
      {"1.2", std::nullopt},
      {"1-2:1.0", std::nullopt},
      {"usb1", std::nullopt},
      {"1-2-3", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseDeviceChoice(c.text), c.choice);
  }
}

}  // namespace
