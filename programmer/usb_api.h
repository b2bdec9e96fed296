// The eleven libusb 0.1 functions the tool uses, reached through one table so that the
// real library, the simulated programmer or a test double can stand behind it.
//
// Every member may block for at most the timeout it is given. Transfers return the
// number of bytes moved or a negative error; the tool only compares the result with
// the length it asked for and never decodes errors.
#pragma once

#include <usb.h>

#include <functional>
#include <string>

struct UsbApi {
  void (*usb_init)();                                   // no result
  int (*usb_find_busses)();                             // result not examined
  int (*usb_find_devices)();                            // result not examined
  struct usb_bus* (*usb_get_busses)();                  // list head, or null for an empty list
  usb_dev_handle* (*usb_open)(struct usb_device* dev);  // null when it cannot be opened
  int (*usb_set_configuration)(usb_dev_handle* dev, int configuration);  // < 0: error
  int (*usb_claim_interface)(usb_dev_handle* dev, int interface);        // < 0: error
  int (*usb_release_interface)(usb_dev_handle* dev, int interface);      // not examined
  int (*usb_close)(usb_dev_handle* dev);                                 // not examined
  int (*usb_bulk_write)(usb_dev_handle* dev, int ep, const char* bytes, int size, int timeout);
  int (*usb_bulk_read)(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout);
};

// A table whose every member behaves as failed: an empty bus list, no handle, -2.
UsbApi UnboundUsbApi();

// Loads `library` (if not yet loaded) and looks every function up by name. A missing
// library or function leaves the failing stand-in of UnboundUsbApi in its place.
UsbApi BindUsbLibrary(const std::string& library = "libusb-0.1.so.4");
// False for a table whose bus list is the stand-in's: the library was not loaded.
bool UsbLibraryLoaded(const UsbApi& api);

// How the tool obtains the table before each connection attempt.
using UsbBinder = std::function<UsbApi()>;
