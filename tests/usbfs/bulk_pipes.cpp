#include "tests/usbfs/bulk_pipes.h"

#include <algorithm>

namespace usbfs {

void BulkPipes::Reset() {
  inData_.clear();
  inPos_ = 0;
  outData_.clear();
  model_.ResetTransport();
}

void BulkPipes::Out(const uint8_t* data, size_t size) {
  if (!model_.ExpectingWriteData()) {
    // A new request: the rest of an answer the host did not fetch is dropped, as the
    // model drops its own queued answers.
    inData_.clear();
    inPos_ = 0;
    model_.Receive(data, size);
    return;
  }
  outData_.insert(outData_.end(), data, data + size);
  const bool shortPacket = size % kBulkPacket != 0;
  if (outData_.size() >= kBlock || shortPacket) {
    model_.Receive(outData_.data(), outData_.size());
    outData_.clear();
  }
}

std::optional<size_t> BulkPipes::In(uint8_t* out, size_t size) {
  if (PendingIn() == 0 && model_.ReadBlockPending()) {
    // The model streams as much as it is asked for and counts one block per call, so
    // it is asked once for the whole block.
    inData_.assign(kBlock, 0);
    inPos_ = 0;
    const int sent = model_.Send(inData_.data(), inData_.size());
    inData_.resize(static_cast<size_t>(std::max(sent, 0)));
  }
  if (PendingIn() > 0) {
    const size_t n = std::min(size, PendingIn());
    std::copy_n(inData_.begin() + static_cast<std::ptrdiff_t>(inPos_), n, out);
    inPos_ += n;
    return n;
  }
  const int sent = model_.Send(out, size);
  if (sent < 0)
    return std::nullopt;
  return static_cast<size_t>(sent);
}

}  // namespace usbfs
