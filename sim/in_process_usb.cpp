#include "sim/in_process_usb.h"

namespace sim {

namespace {

void Init() {
  if (SimBus* bus = SimBus::Current())
    bus->Init();
}
int FindBusses() {
  return SimBus::Current() ? SimBus::Current()->FindBusses() : -2;
}
int FindDevices() {
  return SimBus::Current() ? SimBus::Current()->FindDevices() : -2;
}
struct usb_bus* GetBusses() {
  return SimBus::Current() ? SimBus::Current()->GetBusses() : nullptr;
}
usb_dev_handle* Open(struct usb_device* device) {
  return SimBus::Current() ? SimBus::Current()->Open(device) : nullptr;
}
int SetConfiguration(usb_dev_handle* h, int value) {
  return SimBus::Current() ? SimBus::Current()->SetConfiguration(h, value) : -2;
}
int ClaimInterface(usb_dev_handle* h, int value) {
  return SimBus::Current() ? SimBus::Current()->ClaimInterface(h, value) : -2;
}
int ReleaseInterface(usb_dev_handle* h, int value) {
  return SimBus::Current() ? SimBus::Current()->ReleaseInterface(h, value) : -2;
}
int Close(usb_dev_handle* h) {
  return SimBus::Current() ? SimBus::Current()->Close(h) : -2;
}
int BulkWrite(usb_dev_handle* h, int ep, const char* bytes, int size, int timeout) {
  return SimBus::Current() ? SimBus::Current()->BulkWrite(h, ep, bytes, size, timeout) : -2;
}
int BulkRead(usb_dev_handle* h, int ep, char* bytes, int size, int timeout) {
  return SimBus::Current() ? SimBus::Current()->BulkRead(h, ep, bytes, size, timeout) : -2;
}

}  // namespace

UsbApi InProcessUsbApi(SimBus& bus) {
  SimBus::SetCurrent(&bus);
  return UsbApi{
      .usb_init = Init,
      .usb_find_busses = FindBusses,
      .usb_find_devices = FindDevices,
      .usb_get_busses = GetBusses,
      .usb_open = Open,
      .usb_set_configuration = SetConfiguration,
      .usb_claim_interface = ClaimInterface,
      .usb_release_interface = ReleaseInterface,
      .usb_close = Close,
      .usb_bulk_write = BulkWrite,
      .usb_bulk_read = BulkRead,
  };
}

UsbBinder InProcessBinder(SimBus& bus) {
  return [&bus] { return InProcessUsbApi(bus); };
}

}  // namespace sim
