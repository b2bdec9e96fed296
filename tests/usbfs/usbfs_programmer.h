// The simulated programmer behind an emulated usbfs node: the third face of the device
// model, next to the in-process table and the drop-in library. umockdev hands every
// ioctl that libusb-0.1 makes on the node to this object, which answers as the kernel
// would and moves the URBs' bytes through the BulkPipes to the sim::DeviceModel.
//
// umockdev calls the handler on its own worker thread while the test thread waits in the
// ioctl, so every member is guarded by one mutex.
#pragma once

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "sim/device_config.h"
#include "sim/device_model.h"
#include "tests/usbfs/bulk_pipes.h"
#include "tests/usbfs/usb_descriptors.h"

namespace usbfs {

// The URB about to be served, for the fault predicates.
struct UrbView {
  int index = 0;  // URBs submitted since the device was added (or the record cleared)
  bool in = false;
  int length = 0;
  int blocksRead = 0;     // ReadBlock answers the model has begun to stream
  size_t pendingIn = 0;   // bytes of the streamed block the host has not fetched yet
  int blocksWritten = 0;  // WriteBlock data phases the model has taken
};

struct UsbfsFaults {
  int setConfigurationErrno = 0;  // e.g. EBUSY: USBDEVFS_SETCONFIGURATION fails
  int claimErrno = 0;             // USBDEVFS_CLAIMINTERFACE fails
  // Unplugged before the first URB this is true for: from then on the device answers
  // every ioctl with ENODEV.
  std::function<bool(const UrbView&)> vanishWhen;
  // The first URB this is true for is accepted but never completed (the device NAKs it
  // for good), until the host discards it.
  std::function<bool(const UrbView&)> hangWhen;
};

// One URB as the device saw it.
struct UrbRecord {
  int index = 0;
  uint8_t endpoint = 0;
  int length = 0;          // buffer_length
  int actual = 0;          // actual_length when completed
  int status = 0;          // 0; -ENOENT once discarded
  int refusedErrno = 0;    // the submission failed with this errno (ENODEV)
  bool dataPhase = false;  // OUT: a piece of a WriteBlock data phase
  bool completed = false;  // completed by the device
  bool discarded = false;
  bool reaped = false;
  // Discarded URBs: how long the library waited, at least (from the answer to its call
  // before the submission to the discard), on the clock it measures its timeout with.
  std::chrono::system_clock::duration held{};
  std::vector<uint8_t> head;  // the first bytes moved (OUT: sent; IN: delivered)
};

// One ioctl on the node: its name ("SUBMITURB", "REAPURBNDELAY", ...), the integer
// argument where it has one, and the errno it failed with (0: success).
struct IoctlRecord {
  std::string name;
  int argument = 0;
  int error = 0;
  friend bool operator==(const IoctlRecord&, const IoctlRecord&) = default;
};

class UsbfsProgrammer {
 public:
  static constexpr size_t kHeadBytes = 16;

  UsbfsProgrammer(const NodeAddress& address, const sim::ModelConfig& model,
                  UsbfsFaults faults = {});
  ~UsbfsProgrammer();
  UsbfsProgrammer(const UsbfsProgrammer&) = delete;
  UsbfsProgrammer& operator=(const UsbfsProgrammer&) = delete;

  const NodeAddress& Address() const { return address_; }
  std::string Node() const { return NodePath(address_); }
  UMockdevIoctlBase* Handler() const { return handler_; }

  std::vector<IoctlRecord> Ioctls() const;
  std::vector<std::string> IoctlNames() const;
  std::vector<UrbRecord> Urbs() const;
  // The OUT URBs that carried requests (not data phases), as "23 01" text.
  std::vector<std::string> Requests() const;
  int InFlight() const;
  bool Vanished() const;
  void ClearRecord();

  // The model, between two calls of the host.
  template <typename Fn>
  auto WithModel(Fn&& fn) {
    std::lock_guard lock(mutex_);
    return fn(model_);
  }

 private:
  struct Reply {
    long result = 0;
    int error = 0;
  };
  struct Urb {
    UMockdevIoctlData* data = nullptr;  // our reference to the client's URB
    size_t record = 0;
    std::chrono::system_clock::time_point transferStart;  // no later than the library's
  };

  static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
  Reply Handle(unsigned long request, UMockdevIoctlData* arg);
  Reply IntegerRequest(const char* name, UMockdevIoctlData* arg, int failWith);
  Reply Submit(UMockdevIoctlData* arg);
  void Serve(UrbRecord& record, usbdevfs_urb& urb, uint8_t* buffer);
  Reply Reap(UMockdevIoctlData* arg, bool wait);
  Reply Discard(UMockdevIoctlData* arg);
  UrbView View(const usbdevfs_urb& urb) const;
  Reply Log(std::string name, int argument, int error);

  NodeAddress address_;
  UsbfsFaults faults_;
  sim::DeviceModel model_;
  BulkPipes pipes_{model_};
  UMockdevIoctlBase* handler_ = nullptr;

  mutable std::mutex mutex_;
  bool vanished_ = false;
  bool hung_ = false;
  std::chrono::system_clock::time_point lastAnswer_{};
  std::deque<Urb> inFlight_;   // accepted, not completed
  std::deque<Urb> completed_;  // waiting to be reaped
  std::vector<UrbRecord> urbs_;
  std::vector<IoctlRecord> ioctls_;
};

}  // namespace usbfs
