#include <dlfcn.h>

#include "programmer/usb_api.h"

namespace {

// Stand-ins for functions the library does not provide: everything fails, nothing crashes.
void UnboundInit() {}
int UnboundFind() {
  return -2;
}
struct usb_bus* UnboundGetBusses() {
  return nullptr;
}
usb_dev_handle* UnboundOpen(struct usb_device*) {
  return nullptr;
}
int UnboundHandleInt(usb_dev_handle*, int) {
  return -2;
}
int UnboundClose(usb_dev_handle*) {
  return -2;
}
int UnboundWrite(usb_dev_handle*, int, const char*, int, int) {
  return -2;
}
int UnboundRead(usb_dev_handle*, int, char*, int, int) {
  return -2;
}

// Replaces `slot` with the library's function of that name, when there is one.
template <typename Fn>
void Bind(void* library, const char* name, Fn*& slot) {
  if (void* symbol = dlsym(library, name))
    slot = reinterpret_cast<Fn*>(symbol);
}

}  // namespace

UsbApi UnboundUsbApi() {
  return UsbApi{
      .usb_init = UnboundInit,
      .usb_find_busses = UnboundFind,
      .usb_find_devices = UnboundFind,
      .usb_get_busses = UnboundGetBusses,
      .usb_open = UnboundOpen,
      .usb_set_configuration = UnboundHandleInt,
      .usb_claim_interface = UnboundHandleInt,
      .usb_release_interface = UnboundHandleInt,
      .usb_close = UnboundClose,
      .usb_bulk_write = UnboundWrite,
      .usb_bulk_read = UnboundRead,
  };
}

bool UsbLibraryLoaded(const UsbApi& api) {
  return api.usb_get_busses != UnboundGetBusses;
}

UsbApi BindUsbLibrary(const std::string& library) {
  UsbApi api = UnboundUsbApi();
  // Loaded once and kept for the life of the process: handles and bus lists it hands
  // out must never outlive its code, so it is never closed.
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr)
    return api;
  Bind(handle, "usb_init", api.usb_init);
  Bind(handle, "usb_find_busses", api.usb_find_busses);
  Bind(handle, "usb_find_devices", api.usb_find_devices);
  Bind(handle, "usb_get_busses", api.usb_get_busses);
  Bind(handle, "usb_open", api.usb_open);
  Bind(handle, "usb_set_configuration", api.usb_set_configuration);
  Bind(handle, "usb_claim_interface", api.usb_claim_interface);
  Bind(handle, "usb_release_interface", api.usb_release_interface);
  Bind(handle, "usb_close", api.usb_close);
  Bind(handle, "usb_bulk_write", api.usb_bulk_write);
  Bind(handle, "usb_bulk_read", api.usb_bulk_read);
  return api;
}
