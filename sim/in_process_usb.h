// The simulated programmer as a libusb function table inside the test process. The
// table's plain function pointers reach the bus through SimBus::Current().
#pragma once

#include "programmer/usb_api.h"
#include "sim/sim_bus.h"

namespace sim {

// Makes `bus` the current bus and returns the table that drives it. Calls made while no
// bus is current (it was destroyed) fail like an unbound library.
UsbApi InProcessUsbApi(SimBus& bus);

// For AppContext::bindUsb: every connection attempt binds to `bus`.
UsbBinder InProcessBinder(SimBus& bus);

}  // namespace sim
