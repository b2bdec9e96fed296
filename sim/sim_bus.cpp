#include "sim/sim_bus.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

// What the host holds for an open device. Kept by the bus until it is destroyed, also
// after usb_close, so that a late call on a closed handle is recorded, not a crash.
struct usb_dev_handle {
  sim::SimDevice* device = nullptr;
  bool closed = false;
  int lockFd = -1;  // the claim lock, while the interface is claimed (SetClaimLocks)
  std::string lockPath;
  pid_t lockOwner = 0;  // the process that took it (a forked child holds only a copy)
  int connection = 0;   // the device's connection it was opened on (SimDevice::connection_)
};

namespace sim {

struct SimBus::Topology {
  struct Bus {
    int number = 0;
    std::vector<int> devices;  // device ids in list order
  };
  std::vector<Bus> buses;
  // What the host walks, rebuilt by usb_find_busses and usb_find_devices.
  std::vector<std::unique_ptr<struct usb_bus>> busList;
  std::vector<std::unique_ptr<struct usb_device>> deviceList;
  std::map<const struct usb_device*, int> deviceIds;
  std::vector<std::unique_ptr<usb_dev_handle>> handles;
};

namespace {
SimBus* currentBus = nullptr;  // the simulation's own state, not the tool's

// Lets go of the handle's claim lock, if it holds one. The file goes while it is still
// locked, so that whoever opens the name next makes a new one (see SimBus::Lock). A
// process that inherited the handle by fork only closes its copy: the lock stays with
// the process that took it.
void Unlock(usb_dev_handle& handle) {
  if (handle.lockFd < 0)
    return;
  if (handle.lockOwner == getpid())
    unlink(handle.lockPath.c_str());
  close(handle.lockFd);
  handle.lockFd = -1;
}

// Waits the whole time, also when a signal arrives meanwhile: a real transfer is not cut
// short by a signal either.
void Wait(std::chrono::milliseconds time) {
  const auto until = std::chrono::steady_clock::now() + time;
  while (std::chrono::steady_clock::now() < until) std::this_thread::sleep_until(until);
}

// Holds a chosen transfer back. False when the hold outlasts the timeout: the host has
// then waited its whole timeout and the transfer fails without happening.
bool Hold(const UsbFaults& faults, int transfer, int inTransfer, int timeout) {
  const bool chosen =
      transfer == faults.holdTransfer || (inTransfer >= 0 && inTransfer == faults.holdInTransfer);
  if (!chosen || faults.holdMilliseconds <= 0)
    return true;
  const bool timesOut = timeout > 0 && faults.holdMilliseconds > timeout;
  Wait(std::chrono::milliseconds(timesOut ? timeout : faults.holdMilliseconds));
  return !timesOut;
}

// What the host is told of a lost transfer that got `half` of its bytes through.
int LossResult(LossKind kind, int half) {
  switch (kind) {
    case LossKind::Timeout:
      return -ETIMEDOUT;
    case LossKind::Stall:
      return -EPIPE;
    case LossKind::Short:
      return half;
  }
  return -ETIMEDOUT;
}

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
  for (const auto& handle : topology_->handles) Unlock(*handle);
}

int SimBus::AddBus(int number) {
  if (number <= 0) {
    number = 1;
    for (const Topology::Bus& bus : topology_->buses) number = std::max(number, bus.number + 1);
  }
  topology_->buses.push_back({number, {}});
  return static_cast<int>(topology_->buses.size()) - 1;
}

int SimBus::FindBus(int number) const {
  for (size_t i = 0; i < topology_->buses.size(); ++i)
    if (topology_->buses[i].number == number)
      return static_cast<int>(i);
  return -1;
}

SimDevice& SimBus::AddDevice(int bus, const DeviceConfig& config, int number) {
  Topology::Bus& slot = topology_->buses.at(static_cast<size_t>(bus));
  if (number <= 0) {
    number = 1;
    for (int id : slot.devices) number = std::max(number, Device(id).DeviceNumber() + 1);
  }
  const int id = DeviceCount();
  devices_.push_back(std::make_unique<SimDevice>(id, config, slot.number, number));
  slot.devices.push_back(id);
  return *devices_.back();
}

SimDevice* SimBus::FindDevice(int busNumber, int deviceNumber) {
  for (const auto& device : devices_)
    if (device->BusNumber() == busNumber && device->DeviceNumber() == deviceNumber)
      return device.get();
  return nullptr;
}

SimDevice& SimBus::AddProgrammer(const DeviceConfig& config) {
  return AddDevice(AddBus(), config);
}

void SimBus::DropDevice(int id) {
  SimDevice& device = Device(id);
  const DropOff& drop = device.Faults().drop;
  device.gone_ = true;
  ++device.connection_;
  ++device.drops_;
  device.goneScansLeft_ = std::max(drop.goneScans, 0);
  device.droppedAt_ = std::chrono::steady_clock::now();
  // The kernel lets go of the claims on a device that is gone.
  for (const auto& handle : topology_->handles)
    if (handle->device == &device)
      Unlock(*handle);
  WriteUsbDevices();
  DeviceModel& model = device.model_;
  model.PowerLoss();
  if (drop.moduleType >= 0 || drop.chipId)
    model.ReplaceModule(
        drop.moduleType >= 0 ? static_cast<uint8_t>(drop.moduleType) : model.Config().moduleType,
        drop.chipId.value_or(model.Config().chipId));
}

void SimBus::MaybeReturn(SimDevice& device) {
  if (device.goneScansLeft_ > 0) {
    --device.goneScansLeft_;
    return;
  }
  const auto away = std::chrono::steady_clock::now() - device.droppedAt_;
  if (away < std::chrono::milliseconds(device.Faults().drop.goneMilliseconds))
    return;
  // Plugged in again: the bus gives it the next device number, as to any new device.
  const Topology::Bus& bus = topology_->buses.at(static_cast<size_t>(FindBus(device.busNumber_)));
  std::vector<bool> taken(128, false);
  int highest = 0;
  for (int id : bus.devices) {
    const int number = Device(id).DeviceNumber();
    highest = std::max(highest, number);
    if (id != device.Id())
      taken[static_cast<size_t>(number)] = true;
  }
  int number = highest + 1;
  if (number > 127)
    for (number = 2; number < 127 && taken[static_cast<size_t>(number)];) ++number;
  device.deviceNumber_ = number;
  device.gone_ = false;
}

void SimBus::WriteUsbDevices() const {
  if (usbDevices_.empty())
    return;
  for (const Topology::Bus& bus : topology_->buses) {
    for (size_t place = 0; place < bus.devices.size(); ++place) {
      const SimDevice& device = *devices_[static_cast<size_t>(bus.devices[place])];
      const std::filesystem::path entry =
          std::filesystem::path(usbDevices_) /
          (std::to_string(bus.number) + "-" + std::to_string(place + 1));
      std::error_code error;
      std::filesystem::remove_all(entry, error);
      if (device.gone_ || !std::filesystem::create_directories(entry, error))
        continue;
      std::ofstream(entry / "busnum") << bus.number << '\n';
      std::ofstream(entry / "devnum") << device.DeviceNumber() << '\n';
    }
  }
}

bool SimBus::Gone(const usb_dev_handle& handle) {
  return handle.connection != handle.device->connection_;
}

bool SimBus::Arrive(SimDevice& device, DropAt kind, int& index) {
  const int transfer = device.lifeCounts_[static_cast<int>(DropAt::Transfer)]++;
  index = kind == DropAt::Never ? -1 : device.lifeCounts_[static_cast<int>(kind)]++;
  const DropOff& drop = device.Faults().drop;
  const bool due = !device.dropDone_ && drop.at != DropAt::Never &&
                   ((drop.at == DropAt::Transfer && drop.index == transfer) ||
                    (drop.at == kind && drop.index == index));
  if (due) {
    device.dropDone_ = true;
    DropDevice(device.Id());
  }
  return !due;
}

bool SimBus::Lost(SimDevice& device, DropAt kind, int index) {
  const UsbFaults& faults = device.Faults();
  const int chosen = kind == DropAt::ReadBlock    ? faults.loseReadBlock
                     : kind == DropAt::WriteBlock ? faults.loseWriteBlock
                                                  : faults.loseErasePoll;
  bool lost = index == chosen;
  if (faults.lossRate > 0) {
    if (!device.lossDraws_)
      device.lossDraws_.emplace(faults.lossSeed);
    // Drawn for every data transfer, so that the same traffic meets the same losses.
    lost = device.lossDraws_->Next() % static_cast<uint64_t>(faults.lossRate) == 0 || lost;
  }
  return lost;
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
    const int number = t.buses[i].number;
    std::snprintf(bus->dirname, sizeof bus->dirname, "%03d", number);
    bus->location = static_cast<uint32_t>(number);
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
  for (const auto& device : devices_)
    if (device->gone_)
      MaybeReturn(*device);
  WriteUsbDevices();
  for (size_t b = 0; b < t.busList.size(); ++b) {
    struct usb_bus* bus = t.busList[b].get();
    bus->devices = nullptr;
    struct usb_device* previous = nullptr;
    for (int id : t.buses[b].devices) {
      if (devices_[static_cast<size_t>(id)]->gone_)
        continue;
      const int number = devices_[static_cast<size_t>(id)]->DeviceNumber();
      auto device = std::make_unique<struct usb_device>();
      std::snprintf(device->filename, sizeof device->filename, "%03d", number);
      device->bus = bus;
      device->devnum = static_cast<uint8_t>(number);
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
  if (target == nullptr || target->gone_ || target->Faults().openFails) {
    Call("usb_open", target, 0, 0);
    return nullptr;
  }
  topology_->handles.push_back(std::make_unique<usb_dev_handle>());
  usb_dev_handle* handle = topology_->handles.back().get();
  handle->device = target;
  handle->connection = target->connection_;
  target->transfers_ = 0;
  target->inTransfers_ = 0;
  ++target->openHandles_;
  target->model_.ResetTransport();
  Call("usb_open", target, 0, 1);
  return handle;
}

// The calls that only set up the link: a closed or unknown handle, a value other than the
// programmer's one, or an injected refusal fail; everything is recorded.
int SimBus::SetupCall(const char* name, usb_dev_handle* handle, int argument, int expected,
                      int refusal) {
  SimDevice* device = DeviceOf(handle);
  int result = 0;
  if (device == nullptr || handle->closed)
    result = -EBADF;
  else if (Gone(*handle))
    result = -ENODEV;
  else if (argument != expected)
    result = -EINVAL;
  else
    result = refusal;
  Call(name, device, argument, result, device && handle->closed);
  return result;
}

int SimBus::SetConfiguration(usb_dev_handle* handle, int configuration) {
  const SimDevice* device = DeviceOf(handle);
  return SetupCall("usb_set_configuration", handle, configuration, 1,
                   device != nullptr && device->Config().faults.setConfigurationFails
                       ? -device->Config().faults.refusalErrno
                       : 0);
}

int SimBus::Lock(usb_dev_handle& handle) const {
  char name[16];
  std::snprintf(name, sizeof name, "%03d-%03d.lock", handle.device->BusNumber(),
                handle.device->DeviceNumber());
  const std::string path = claimLocks_ + name;
  for (;;) {
    const int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
      return -errno;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno == EWOULDBLOCK ? EBUSY : errno;
      close(fd);
      return -error;
    }
    // The holder before may have removed the file between our open and our lock: then
    // the lock is on a file nobody else will find, and the name is taken again.
    struct stat locked, named;
    if (fstat(fd, &locked) == 0 && stat(path.c_str(), &named) == 0 &&
        locked.st_dev == named.st_dev && locked.st_ino == named.st_ino) {
      handle.lockFd = fd;
      handle.lockPath = path;
      handle.lockOwner = getpid();
      return 0;
    }
    close(fd);
  }
}

int SimBus::ClaimInterface(usb_dev_handle* handle, int interface) {
  const SimDevice* device = DeviceOf(handle);
  int refusal = 0;
  if (device != nullptr && device->Config().faults.claimFails)
    refusal = -device->Config().faults.refusalErrno;
  else if (device != nullptr && !handle->closed && !Gone(*handle) && interface == 0 &&
           !claimLocks_.empty() && handle->lockFd < 0)
    refusal = Lock(*handle);
  return SetupCall("usb_claim_interface", handle, interface, 0, refusal);
}

int SimBus::ReleaseInterface(usb_dev_handle* handle, int interface) {
  const int result = SetupCall("usb_release_interface", handle, interface, 0, 0);
  if (result == 0 || result == -ENODEV)
    Unlock(*handle);
  return result;
}

int SimBus::Close(usb_dev_handle* handle) {
  SimDevice* device = DeviceOf(handle);
  if (device == nullptr || handle->closed) {
    Call("usb_close", device, 0, -EBADF, device != nullptr);
    return -EBADF;
  }
  handle->closed = true;
  Unlock(*handle);
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
  } else if (Gone(*handle)) {
    record.result = -ENODEV;
  } else {
    DeviceModel& model = device->model_;
    const bool dataPhase = endpoint == 0x04 && model.ExpectingWriteData();
    const int index = device->transfers_++;
    int block = -1;
    bool shortTransfer = false;
    int fault = 0;
    if (!Arrive(*device, dataPhase ? DropAt::WriteBlock : DropAt::Never, block))
      fault = -ENODEV;
    else if (endpoint != 0x04)
      fault = -EINVAL;
    else if (!Hold(device->Faults(), index, -1, timeout))
      fault = -ETIMEDOUT;
    else
      fault = FaultResult(*device, index, dataPhase, model.WriteBlocks(),
                          device->Faults().atWriteBlock, shortTransfer);
    if (fault < 0) {
      record.result = fault;
    } else if (dataPhase && Lost(*device, DropAt::WriteBlock, block)) {
      // The device programs the first half of the block and hears no more of it.
      const int half = size / 2;
      model.Receive(data, static_cast<size_t>(half));
      model.ForgetAnswers();
      record.lost = true;
      record.result = LossResult(device->Faults().lossKind, half);
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
  } else if (Gone(*handle)) {
    record.result = -ENODEV;
  } else {
    DeviceModel& model = device->model_;
    const DropAt kind = endpoint != 0x85            ? DropAt::Never
                        : model.ReadBlockPending()  ? DropAt::ReadBlock
                        : model.PollAnswerPending() ? DropAt::ErasePoll
                                                    : DropAt::Never;
    const int index = device->transfers_++;
    const int inIndex = device->inTransfers_++;
    int occurrence = -1;
    bool shortTransfer = false;
    int fault = 0;
    if (!Arrive(*device, kind, occurrence))
      fault = -ENODEV;
    else if (endpoint != 0x85)
      fault = -EINVAL;
    else if (!Hold(device->Faults(), index, inIndex, timeout))
      fault = -ETIMEDOUT;
    else
      fault = FaultResult(*device, index, model.ReadBlockPending(), model.ReadBlocks(),
                          device->Faults().atReadBlock, shortTransfer);
    if (fault < 0) {
      record.result = fault;
    } else if (kind != DropAt::Never && Lost(*device, kind, occurrence)) {
      // The device sends its answer and is done with it; the host gets it only in part.
      std::vector<uint8_t> sent(static_cast<size_t>(size));
      const int count = model.Send(sent.data(), sent.size());
      record.lost = true;
      record.result = LossResult(device->Faults().lossKind, std::max(count, 0) / 2);
      if (record.result > 0)
        std::copy_n(sent.begin(), record.result, out);
    } else if (shortTransfer && size == 1) {
      record.result = 0;
    } else {
      record.result = model.Send(out, static_cast<size_t>(shortTransfer ? size - 1 : size));
    }
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
