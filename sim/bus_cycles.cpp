#include "sim/bus_cycles.h"

#include <algorithm>

namespace sim {

bool BusCycles::LastThreeAre(const BusCycle& a, const BusCycle& b, uint16_t thirdData,
                             bool anyThirdAddress, uint32_t thirdAddress) const {
  if (writes_.size() < 3)
    return false;
  const BusCycle* last = &writes_[writes_.size() - 3];
  return last[0] == a && last[1] == b && last[2].data == thirdData &&
         (anyThirdAddress || last[2].address == thirdAddress);
}

void BusCycles::Write(uint32_t address, uint16_t data) {
  writes_.push_back({address, data});
  const BusCycle unlock1{0x555, 0xAA};
  const BusCycle unlock2{0x2AA, 0x55};
  if (LastThreeAre(unlock1, unlock2, 0x40, false, 0x555)) {
    mode_ = Mode::LockRegister;
    programArmed_ = false;
  } else if (LastThreeAre(unlock1, unlock2, 0x25, true, 0)) {
    programArmed_ = true;
  } else if (programArmed_ && data == 0x29) {
    // Program confirm: the chip is busy and reads give its status from now on.
    programArmed_ = false;
    mode_ = Mode::Status;
    statusReads_ = 0;
  }
}

void BusCycles::Read(uint8_t* out, size_t n,
                     const std::function<void(uint8_t*, size_t)>& readArray) {
  switch (mode_) {
    case Mode::Array:
      readArray(out, n);
      return;
    case Mode::LockRegister:
      for (size_t i = 0; i < n; ++i) out[i] = lockRegister_[i % lockRegister_.size()];
      return;
    case Mode::Status: {
      // Reads r and r + 1 differ exactly when r < toggles_.
      const long flips = std::min<long>(statusReads_, std::max(toggles_, 0));
      const uint8_t status = kStatusSteady | ((flips & 1) ? kToggleBit : 0);
      for (size_t i = 0; i < n; ++i)
        out[i] = otherBytes_ < 0 || i % 4 == 1 ? status : static_cast<uint8_t>(otherBytes_);
      ++statusReads_;
      return;
    }
  }
}

}  // namespace sim
