// The simulated programmer as a stand-in for libusb-0.1.so.4: the eleven functions the
// tool binds, with the <usb.h> ABI, driving one SimBus set up from the file named by
// FW_SIM_CONFIG. The bus lives as long as the process, so the flash keeps what was
// written from one connection to the next; usb_init sets it up again only when
// FW_SIM_CONFIG names another file. A claimed interface is locked against other
// processes that use the same settings file (SimBus::SetClaimLocks).
#include <usb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "sim/sim_bus.h"
#include "sim/sim_config.h"

#define SIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct DropIn {
  std::string configPath;
  std::map<int, std::string> imageOut;  // by device id
  std::unique_ptr<sim::SimBus> bus;
};

DropIn& State() {
  static DropIn state;
  return state;
}

void Report(const std::string& text) {
  std::fprintf(stderr, "usbsim: %s\n", text.c_str());
}

// Where the claim locks of the programmers of `configPath` go: the runtime folder, and a
// name of its own for each settings file, so that runs with other settings (other
// simulated programmers) never wait for each other.
std::string ClaimLockPrefix(const std::string& configPath) {
  const char* folder = std::getenv("XDG_RUNTIME_DIR");
  if (folder == nullptr || *folder == '\0')
    folder = std::getenv("TMPDIR");
  if (folder == nullptr || *folder == '\0')
    folder = "/tmp";
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(configPath, error);
  const std::string key = error ? configPath : canonical.string();
  uint64_t hash = 0xcbf29ce484222325;  // FNV-1a
  for (const char c : key) hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001b3;
  char name[40];
  std::snprintf(name, sizeof name, "/usbsim-%016llx-", static_cast<unsigned long long>(hash));
  return folder + std::string(name);
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
  state.bus = std::make_unique<sim::SimBus>();
  state.bus->SetRecordLimit(16);  // nobody reads this record; keep it small
  state.bus->SetClaimLocks(ClaimLockPrefix(configPath));
  const std::vector<int> programmers = sim::BuildBus(*state.bus, config.setup, config.errors);
  for (const std::string& error : config.errors) Report(configPath + ": " + error);
  state.imageOut.clear();
  for (size_t k = 0; k < programmers.size(); ++k)
    if (programmers[k] >= 0)
      state.imageOut[programmers[k]] = config.setup.Programmer(static_cast<int>(k) + 1).imageOut;
  // Each programmer's flash is saved to its own image_out, each time it is closed.
  state.bus->onClose = [](sim::SimDevice& device) {
    const DropIn& s = State();
    const auto found = s.imageOut.find(device.Id());
    if (found == s.imageOut.end() || found->second.empty())
      return;
    if (!device.Model().Flash().SaveImageFile(found->second))
      Report("cannot write image_out " + found->second);
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
