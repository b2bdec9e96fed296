// The USB side of the simulation: buses holding devices, the handles the host opens, the
// eleven libusb 0.1 calls with every configured fault, and a record of all traffic.
// Both faces (the in-process table and the drop-in library) forward to one SimBus.
#pragma once

#include <usb.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/device_config.h"
#include "sim/device_model.h"
#include "sim/seeded_draws.h"

namespace sim {

// One transfer as the host attempted it.
struct TransferRecord {
  int device = -1;  // SimDevice id; -1 for a handle the bus does not know
  int endpoint = 0;
  bool out = false;   // usb_bulk_write
  int requested = 0;  // OUT: bytes given; IN: bytes asked for
  int timeout = 0;
  int result = 0;
  bool afterClose = false;     // on a handle already closed
  std::vector<uint8_t> bytes;  // OUT: bytes sent; IN: bytes delivered; cut at the limit
  bool lost = false;           // a lost transfer (UsbFaults::lossKind): the device did its part
};

// Every call in order, transfers included.
struct ApiCall {
  std::string name;  // "usb_open", "usb_bulk_read", ...
  int device = -1;
  int argument = 0;  // configuration, interface or endpoint
  int result = 0;    // usb_open: 1 for a handle, 0 for none
  bool afterClose = false;
};

class SimDevice {
 public:
  SimDevice(int id, const DeviceConfig& config, int busNumber, int deviceNumber)
      : id_(id),
        busNumber_(busNumber),
        deviceNumber_(deviceNumber),
        config_(config),
        model_(config.model) {}

  int Id() const { return id_; }
  // Where the host finds it: usb_bus.location and usb_device.devnum.
  int BusNumber() const { return busNumber_; }
  int DeviceNumber() const { return deviceNumber_; }
  const DeviceConfig& Config() const { return config_; }
  bool IsProgrammer() const {
    return config_.vendorId == kProgrammerVendor && config_.productId == kProgrammerProduct;
  }
  UsbFaults& Faults() { return config_.faults; }
  DeviceModel& Model() { return model_; }
  const DeviceModel& Model() const { return model_; }
  bool IsOpen() const { return openHandles_ > 0; }
  // False while it is off the bus (UsbFaults::drop, SimBus::DropDevice).
  bool IsPresent() const { return !gone_; }
  int Drops() const { return drops_; }  // how many times it dropped off the bus

 private:
  friend class SimBus;
  int id_;
  int busNumber_;
  int deviceNumber_;
  DeviceConfig config_;
  DeviceModel model_;
  int transfers_ = 0;    // since the last usb_open
  int inTransfers_ = 0;  // of those, the IN transfers
  int openHandles_ = 0;
  // Over its whole life: the transfers of each kind (DropAt), and the draws of the loss
  // rate, started at the first draw.
  int lifeCounts_[5] = {};
  std::optional<SeededDraws> lossDraws_;
  // Each drop starts a new connection: handles of an earlier one find the device gone.
  int connection_ = 0;
  bool gone_ = false;
  bool dropDone_ = false;  // the drop of UsbFaults::drop has happened
  int drops_ = 0;
  int goneScansLeft_ = 0;
  std::chrono::steady_clock::time_point droppedAt_{};
};

class SimBus {
 public:
  SimBus();
  ~SimBus();
  SimBus(const SimBus&) = delete;
  SimBus& operator=(const SimBus&) = delete;

  // Topology. Device ids count up from 0 in order of creation; buses are listed in order
  // of creation and their devices in order of addition. Changes show to the host at its
  // next usb_find_busses / usb_find_devices.
  // Returns the new bus's index. Bus number 0: one more than the highest so far.
  int AddBus(int number = 0);
  int FindBus(int number) const;  // the index of the bus with that number, or -1
  // Device number 0: one more than the highest on that bus so far.
  SimDevice& AddDevice(int bus, const DeviceConfig& config = {}, int number = 0);
  SimDevice& AddProgrammer(const DeviceConfig& config = {});  // on a new bus of its own
  SimDevice& Device(int id) { return *devices_.at(static_cast<size_t>(id)); }
  // The device with that bus and device number, or null.
  SimDevice* FindDevice(int busNumber, int deviceNumber);
  int DeviceCount() const { return static_cast<int>(devices_.size()); }
  // The device drops off the bus now, as at the drop of its UsbFaults::drop (which says
  // how long it stays away and what comes back), also when that is set to Never or has
  // happened already.
  void DropDevice(int id);

  // The libusb 0.1 calls.
  void Init();
  int FindBusses();
  int FindDevices();
  struct usb_bus* GetBusses();
  usb_dev_handle* Open(struct usb_device* device);
  int SetConfiguration(usb_dev_handle* handle, int configuration);
  int ClaimInterface(usb_dev_handle* handle, int interface);
  int ReleaseInterface(usb_dev_handle* handle, int interface);
  int Close(usb_dev_handle* handle);
  int BulkWrite(usb_dev_handle* handle, int endpoint, const char* bytes, int size, int timeout);
  int BulkRead(usb_dev_handle* handle, int endpoint, char* bytes, int size, int timeout);

  // The bus the in-process face drives (in_process_usb.h). A bus stops being current
  // when it is destroyed, so a table left behind can never reach a dead bus.
  static SimBus* Current();
  static void SetCurrent(SimBus* bus);

  // Told after a device's handle is closed (the drop-in library saves its image there).
  std::function<void(SimDevice&)> onClose;

  // Makes a claimed interface a lock that other processes see, as usbfs does: the claim
  // takes flock(LOCK_EX | LOCK_NB) on the file `prefix` + "BBB-DDD.lock" (bus and device
  // number), and fails with -EBUSY while another handle, here or in another process,
  // holds it. usb_release_interface and usb_close drop the lock and remove the file; so
  // does the end of the process. Empty (the default): claims lock nothing.
  void SetClaimLocks(std::string prefix) { claimLocks_ = std::move(prefix); }

  // Keeps `folder` as the kernel keeps /sys/bus/usb/devices: a device on the bus has an
  // entry named by its port path, "B-P" (bus number B, P its place in the bus's list,
  // from 1), holding the files busnum and devnum. Brought up to date at every
  // usb_find_devices and drop: a device off the bus has none, one that is back has its
  // port path again, with its new number. Other entries are left alone. Empty (the
  // default): none.
  void SetUsbDevicesFolder(std::string folder) { usbDevices_ = std::move(folder); }

  // Traffic record.
  const std::vector<TransferRecord>& Transfers() const { return transfers_; }
  const std::vector<ApiCall>& Calls() const { return calls_; }
  std::vector<std::string> CallNames() const;
  int CallCount(std::string_view name) const;
  // The OUT transfers' bytes in order: the requests (and data phases) the host sent.
  std::vector<std::vector<uint8_t>> OutRequests() const;
  int TransfersAfterClose() const;
  void ClearRecord();
  // Bytes kept per recorded transfer (default 64: whole requests, the start of blocks).
  void SetRecordLimit(size_t bytes) { recordLimit_ = bytes; }

 private:
  struct Topology;
  SimDevice* DeviceOf(usb_dev_handle* handle) const;
  // `refusal`: 0, or the error the call fails with when all else is right.
  int SetupCall(const char* name, usb_dev_handle* handle, int argument, int expected, int refusal);
  void Call(std::string name, const SimDevice* device, int argument, int result,
            bool afterClose = false);
  // The fault, if any, for the transfer the device is about to make; 0 for none.
  int FaultResult(SimDevice& device, int transferIndex, bool blockDataPhase, int blockIndex,
                  int blockFaultAt, bool& shortTransfer) const;
  void Record(TransferRecord record, const uint8_t* bytes, int count);
  // Takes the claim lock for the handle's device; 0 or a negative errno.
  int Lock(usb_dev_handle& handle) const;
  // The handle was opened before its device dropped off the bus.
  static bool Gone(const usb_dev_handle& handle);
  // Counts a transfer the device is about to make, of kind `kind` (Never: no data
  // transfer), and drops it off the bus when this is the transfer UsbFaults::drop names.
  // False when it dropped; else `index` is the transfer's index among those of its kind.
  bool Arrive(SimDevice& device, DropAt kind, int& index);
  // Whether the data transfer `index` of `kind` is lost (UsbFaults::lossKind and on).
  static bool Lost(SimDevice& device, DropAt kind, int index);
  // A device off the bus shows again at this usb_find_devices when its time is up.
  void MaybeReturn(SimDevice& device);
  void WriteUsbDevices() const;  // SetUsbDevicesFolder

  std::unique_ptr<Topology> topology_;
  std::vector<std::unique_ptr<SimDevice>> devices_;
  std::vector<TransferRecord> transfers_;
  std::vector<ApiCall> calls_;
  size_t recordLimit_ = 64;
  std::string claimLocks_;
  std::string usbDevices_;
};

}  // namespace sim
