// The programmer's two bulk pipes as the host's URBs meet them. usbfs cuts a transfer into
// URBs of at most 16 KiB, so a 32 KiB block crosses the pipe in several URBs while the
// firmware model deals in whole requests and whole blocks: a block the device streams
// back is handed out across the IN URBs, and a data phase sent in several OUT URBs is put
// together before the model sees it, so the model counts every block once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/device_model.h"
#include "tests/support/test_constants.h"

namespace usbfs {

// Bulk packets on a high-speed pipe; a shorter one ends a transfer.
inline constexpr size_t kBulkPacket = 512;

class BulkPipes {
 public:
  explicit BulkPipes(sim::DeviceModel& model) : model_(model) {}

  // One OUT URB: a request, or a piece of a WriteBlock data phase. A data phase ends
  // with the firmware block or with a short packet.
  void Out(const uint8_t* data, size_t size);
  // One IN URB of `size` bytes: the byte count delivered, or nothing when the device has
  // nothing to send (it NAKs, and the URB stays in flight).
  std::optional<size_t> In(uint8_t* out, size_t size);

  // Bytes of a streamed block not yet fetched by the host.
  size_t PendingIn() const { return inData_.size() - inPos_; }
  // True while the model is waiting for (more of) a data phase.
  bool InDataPhase() const { return model_.ExpectingWriteData(); }
  // The device was reconfigured: whatever was half-way through either pipe is gone.
  void Reset();

 private:
  sim::DeviceModel& model_;
  std::vector<uint8_t> inData_;
  size_t inPos_ = 0;
  std::vector<uint8_t> outData_;
};

}  // namespace usbfs
