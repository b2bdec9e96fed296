// The simulated programmer as a stand-in for libusb-0.1.so.4: the eleven functions the
// tool binds, with the <usb.h> ABI, driving one SimBus set up from the file named by
// FW_SIM_CONFIG. The bus lives as long as the process, so the flash keeps what was
// written from one connection to the next; usb_init sets it up again only when
// FW_SIM_CONFIG names another file.
#include <usb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "sim/sim_bus.h"
#include "sim/sim_config.h"

#define SIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct DropIn {
  std::string configPath;
  std::string imageOut;
  std::unique_ptr<sim::SimBus> bus;
};

DropIn& State() {
  static DropIn state;
  return state;
}

void Report(const std::string& text) {
  std::fprintf(stderr, "usbsim: %s\n", text.c_str());
}

sim::SimBus& Bus(bool reread = false) {
  DropIn& state = State();
  const char* path = std::getenv("FW_SIM_CONFIG");
  const std::string configPath = path ? path : "";
  if (state.bus && (!reread || configPath == state.configPath))
    return *state.bus;

  sim::ConfigResult config;
  if (!configPath.empty())
    config = sim::LoadSimConfig(configPath);
  state.configPath = configPath;
  state.imageOut = config.setup.imageOut;
  state.bus = std::make_unique<sim::SimBus>();
  state.bus->SetRecordLimit(16);  // nobody reads this record; keep it small
  sim::BuildBus(*state.bus, config.setup, config.errors);
  for (const std::string& error : config.errors) Report(configPath + ": " + error);
  // Only the first programmer's flash is saved, each time it is closed.
  state.bus->onClose = [](sim::SimDevice& device) {
    const DropIn& s = State();
    if (s.imageOut.empty() || !device.IsProgrammer())
      return;
    for (int id = 0; id < s.bus->DeviceCount(); ++id) {
      if (s.bus->Device(id).IsProgrammer()) {
        if (&s.bus->Device(id) == &device && !device.Model().Flash().SaveImageFile(s.imageOut))
          Report("cannot write image_out " + s.imageOut);
        return;
      }
    }
  };
  return *state.bus;
}

}  // namespace

SIM_EXPORT void usb_init(void) {
  Bus(true).Init();
}
SIM_EXPORT int usb_find_busses(void) {
  return Bus().FindBusses();
}
SIM_EXPORT int usb_find_devices(void) {
  return Bus().FindDevices();
}
SIM_EXPORT struct usb_bus* usb_get_busses(void) {
  return Bus().GetBusses();
}
SIM_EXPORT usb_dev_handle* usb_open(struct usb_device* dev) {
  return Bus().Open(dev);
}
SIM_EXPORT int usb_set_configuration(usb_dev_handle* dev, int configuration) {
  return Bus().SetConfiguration(dev, configuration);
}
SIM_EXPORT int usb_claim_interface(usb_dev_handle* dev, int interface) {
  return Bus().ClaimInterface(dev, interface);
}
SIM_EXPORT int usb_release_interface(usb_dev_handle* dev, int interface) {
  return Bus().ReleaseInterface(dev, interface);
}
SIM_EXPORT int usb_close(usb_dev_handle* dev) {
  return Bus().Close(dev);
}
SIM_EXPORT int usb_bulk_write(usb_dev_handle* dev, int ep, const char* bytes, int size,
                              int timeout) {
  return Bus().BulkWrite(dev, ep, bytes, size, timeout);
}
SIM_EXPORT int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) {
  return Bus().BulkRead(dev, ep, bytes, size, timeout);
}
