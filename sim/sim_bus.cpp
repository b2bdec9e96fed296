#include "sim/sim_bus.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>

// What the host holds for an open device. Kept by the bus until it is destroyed, also
// after usb_close, so that a late call on a closed handle is recorded, not a crash.
struct usb_dev_handle {
  sim::SimDevice* device = nullptr;
  bool closed = false;
};

namespace sim {

struct SimBus::Topology {
  std::vector<std::vector<int>> buses;  // device ids per bus, in list order
  // What the host walks, rebuilt by usb_find_busses and usb_find_devices.
  std::vector<std::unique_ptr<struct usb_bus>> busList;
  std::vector<std::unique_ptr<struct usb_device>> deviceList;
  std::map<const struct usb_device*, int> deviceIds;
  std::vector<std::unique_ptr<usb_dev_handle>> handles;
};

namespace {
SimBus* currentBus = nullptr;  // the simulation's own state, not the tool's
}  // namespace

SimBus* SimBus::Current() {
  return currentBus;
}

void SimBus::SetCurrent(SimBus* bus) {
  currentBus = bus;
}

SimBus::SimBus() : topology_(std::make_unique<Topology>()) {}

SimBus::~SimBus() {
  if (currentBus == this)
    currentBus = nullptr;
}

int SimBus::AddBus() {
  topology_->buses.emplace_back();
  return static_cast<int>(topology_->buses.size()) - 1;
}

SimDevice& SimBus::AddDevice(int bus, const DeviceConfig& config) {
  const int id = DeviceCount();
  devices_.push_back(std::make_unique<SimDevice>(id, config));
  topology_->buses.at(static_cast<size_t>(bus)).push_back(id);
  return *devices_.back();
}

SimDevice& SimBus::AddProgrammer(const DeviceConfig& config) {
  return AddDevice(AddBus(), config);
}

void SimBus::Call(std::string name, const SimDevice* device, int argument, int result,
                  bool afterClose) {
  calls_.push_back({std::move(name), device ? device->Id() : -1, argument, result, afterClose});
}

void SimBus::Init() {
  Call("usb_init", nullptr, 0, 0);
}

int SimBus::FindBusses() {
  Topology& t = *topology_;
  t.deviceList.clear();
  t.deviceIds.clear();
  t.busList.clear();
  for (size_t i = 0; i < t.buses.size(); ++i) {
    auto bus = std::make_unique<struct usb_bus>();
    std::snprintf(bus->dirname, sizeof bus->dirname, "%03zu", i + 1);
    bus->location = static_cast<uint32_t>(i + 1);
    if (!t.busList.empty()) {
      t.busList.back()->next = bus.get();
      bus->prev = t.busList.back().get();
    }
    t.busList.push_back(std::move(bus));
  }
  const int count = static_cast<int>(t.busList.size());
  Call("usb_find_busses", nullptr, 0, count);
  return count;
}

int SimBus::FindDevices() {
  Topology& t = *topology_;
  t.deviceList.clear();
  t.deviceIds.clear();
  for (size_t b = 0; b < t.busList.size(); ++b) {
    struct usb_bus* bus = t.busList[b].get();
    bus->devices = nullptr;
    struct usb_device* previous = nullptr;
    uint8_t number = 1;
    for (int id : t.buses[b]) {
      auto device = std::make_unique<struct usb_device>();
      std::snprintf(device->filename, sizeof device->filename, "%03u", unsigned{number});
      device->bus = bus;
      device->devnum = number++;
      device->descriptor.bLength = USB_DT_DEVICE_SIZE;
      device->descriptor.bDescriptorType = USB_DT_DEVICE;
      device->descriptor.idVendor = devices_[static_cast<size_t>(id)]->Config().vendorId;
      device->descriptor.idProduct = devices_[static_cast<size_t>(id)]->Config().productId;
      device->descriptor.bNumConfigurations = 1;
      device->prev = previous;
      if (previous)
        previous->next = device.get();
      else
        bus->devices = device.get();
      previous = device.get();
      t.deviceIds[device.get()] = id;
      t.deviceList.push_back(std::move(device));
    }
  }
  const int count = static_cast<int>(t.deviceList.size());
  Call("usb_find_devices", nullptr, 0, count);
  return count;
}

struct usb_bus* SimBus::GetBusses() {
  struct usb_bus* head = topology_->busList.empty() ? nullptr : topology_->busList.front().get();
  Call("usb_get_busses", nullptr, 0, head ? 1 : 0);
  return head;
}

SimDevice* SimBus::DeviceOf(usb_dev_handle* handle) const {
  for (const auto& known : topology_->handles)
    if (known.get() == handle)
      return handle->device;
  return nullptr;
}

usb_dev_handle* SimBus::Open(struct usb_device* device) {
  const auto found = topology_->deviceIds.find(device);
  SimDevice* target =
      found == topology_->deviceIds.end() ? nullptr : devices_[size_t(found->second)].get();
  if (target == nullptr || target->Faults().openFails) {
    Call("usb_open", target, 0, 0);
    return nullptr;
  }
  topology_->handles.push_back(std::make_unique<usb_dev_handle>());
  usb_dev_handle* handle = topology_->handles.back().get();
  handle->device = target;
  target->transfers_ = 0;
  ++target->openHandles_;
  target->model_.ResetTransport();
  Call("usb_open", target, 0, 1);
  return handle;
}

// The calls that only set up the link: a closed or unknown handle, a value other than the
// programmer's one, or an injected refusal fail; everything is recorded.
int SimBus::SetupCall(const char* name, usb_dev_handle* handle, int argument, int expected,
                      bool refused) {
  SimDevice* device = DeviceOf(handle);
  int result = 0;
  if (device == nullptr || handle->closed)
    result = -EBADF;
  else if (argument != expected)
    result = -EINVAL;
  else if (refused)
    result = -EBUSY;
  Call(name, device, argument, result, device && handle->closed);
  return result;
}

int SimBus::SetConfiguration(usb_dev_handle* handle, int configuration) {
  const SimDevice* device = DeviceOf(handle);
  return SetupCall("usb_set_configuration", handle, configuration, 1,
                   device != nullptr && device->Config().faults.setConfigurationFails);
}

int SimBus::ClaimInterface(usb_dev_handle* handle, int interface) {
  const SimDevice* device = DeviceOf(handle);
  return SetupCall("usb_claim_interface", handle, interface, 0,
                   device != nullptr && device->Config().faults.claimFails);
}

int SimBus::ReleaseInterface(usb_dev_handle* handle, int interface) {
  return SetupCall("usb_release_interface", handle, interface, 0, false);
}

int SimBus::Close(usb_dev_handle* handle) {
  SimDevice* device = DeviceOf(handle);
  if (device == nullptr || handle->closed) {
    Call("usb_close", device, 0, -EBADF, device != nullptr);
    return -EBADF;
  }
  handle->closed = true;
  --device->openHandles_;
  Call("usb_close", device, 0, 0);
  if (onClose)
    onClose(*device);
  return 0;
}

int SimBus::FaultResult(SimDevice& device, int transferIndex, bool blockDataPhase, int blockIndex,
                        int blockFaultAt, bool& shortTransfer) const {
  const UsbFaults& faults = device.Faults();
  shortTransfer = false;
  if (faults.vanishAfter >= 0 && transferIndex >= faults.vanishAfter)
    return -ENODEV;
  const bool hit =
      transferIndex == faults.atTransfer || (blockDataPhase && blockIndex == blockFaultAt);
  if (!hit)
    return 0;
  switch (faults.kind) {
    case FaultKind::Error:
      return -EIO;
    case FaultKind::Timeout:
      return -ETIMEDOUT;
    case FaultKind::Short:
      shortTransfer = true;
      return 0;
  }
  return 0;
}

void SimBus::Record(TransferRecord record, const uint8_t* bytes, int count) {
  if (bytes != nullptr && count > 0)
    record.bytes.assign(bytes, bytes + std::min(static_cast<size_t>(count), recordLimit_));
  Call(record.out ? "usb_bulk_write" : "usb_bulk_read", nullptr, record.endpoint, record.result,
       record.afterClose);
  calls_.back().device = record.device;
  transfers_.push_back(std::move(record));
}

int SimBus::BulkWrite(usb_dev_handle* handle, int endpoint, const char* bytes, int size,
                      int timeout) {
  SimDevice* device = DeviceOf(handle);
  const auto* data = reinterpret_cast<const uint8_t*>(bytes);
  TransferRecord record{device ? device->Id() : -1, endpoint, true, size, timeout, 0, false, {}};
  if (device == nullptr || handle->closed || size < 0 || (size > 0 && bytes == nullptr)) {
    record.afterClose = device != nullptr && handle->closed;
    record.result = record.afterClose ? -EBADF : -EINVAL;
  } else if (endpoint != 0x04) {
    ++device->transfers_;
    record.result = -EINVAL;
  } else {
    DeviceModel& model = device->model_;
    bool shortTransfer = false;
    const int fault =
        FaultResult(*device, device->transfers_++, model.ExpectingWriteData(), model.WriteBlocks(),
                    device->Faults().atWriteBlock, shortTransfer);
    if (fault < 0) {
      record.result = fault;
    } else {
      // A short transfer loses its last byte on the way.
      const int delivered = shortTransfer ? std::max(size - 1, 0) : size;
      if (delivered > 0)
        model.Receive(data, static_cast<size_t>(delivered));
      record.result = delivered;
    }
  }
  const int result = record.result;
  Record(std::move(record), data, size);
  return result;
}

int SimBus::BulkRead(usb_dev_handle* handle, int endpoint, char* bytes, int size, int timeout) {
  SimDevice* device = DeviceOf(handle);
  auto* out = reinterpret_cast<uint8_t*>(bytes);
  TransferRecord record{device ? device->Id() : -1, endpoint, false, size, timeout, 0, false, {}};
  if (device == nullptr || handle->closed || size <= 0 || bytes == nullptr) {
    record.afterClose = device != nullptr && handle->closed;
    record.result = record.afterClose ? -EBADF : -EINVAL;
  } else if (endpoint != 0x85) {
    ++device->transfers_;
    record.result = -EINVAL;
  } else {
    DeviceModel& model = device->model_;
    bool shortTransfer = false;
    const int fault = FaultResult(*device, device->transfers_++, model.ReadBlockPending(),
                                  model.ReadBlocks(), device->Faults().atReadBlock, shortTransfer);
    if (fault < 0)
      record.result = fault;
    else if (shortTransfer && size == 1)
      record.result = 0;
    else
      record.result = model.Send(out, static_cast<size_t>(shortTransfer ? size - 1 : size));
  }
  const int result = record.result;
  Record(std::move(record), out, result);
  return result;
}

std::vector<std::string> SimBus::CallNames() const {
  std::vector<std::string> names;
  for (const ApiCall& call : calls_) names.push_back(call.name);
  return names;
}

int SimBus::CallCount(std::string_view name) const {
  return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                        [&](const ApiCall& c) { return c.name == name; }));
}

std::vector<std::vector<uint8_t>> SimBus::OutRequests() const {
  std::vector<std::vector<uint8_t>> requests;
  for (const TransferRecord& t : transfers_)
    if (t.out)
      requests.push_back(t.bytes);
  return requests;
}

int SimBus::TransfersAfterClose() const {
  return static_cast<int>(std::count_if(transfers_.begin(), transfers_.end(),
                                        [](const TransferRecord& t) { return t.afterClose; }));
}

void SimBus::ClearRecord() {
  transfers_.clear();
  calls_.clear();
}

}  // namespace sim
