// Raw bus cycles on the simulated flash chip (BusWrite 60 / BusRead 61): just enough of
// a command-set flash for the bench diagnostic. The unlock sequence AA/555, 55/2AA,
// 40/555 switches reads to the lock register; a buffer program (AA/555, 55/2AA, 25/any,
// then confirm 29) switches them to the status, whose bit 6 toggles for a set number of
// reads. FlashReset returns to array reads. The buffer program changes no flash
// contents: only its status is modelled.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace sim {

struct BusCycle {
  uint32_t address = 0;
  uint16_t data = 0;
  friend bool operator==(const BusCycle&, const BusCycle&) = default;
};

class BusCycles {
 public:
  enum class Mode { Array, LockRegister, Status };

  // Status bytes have bit 7 set; bit 6 changes between consecutive reads `toggles` times.
  // With `otherBytes` from 0 to 0xFF only byte 1 of each four carries the status and the
  // rest hold that value; with -1 every byte carries it.
  static constexpr uint8_t kStatusSteady = 0x80;
  static constexpr uint8_t kToggleBit = 0x40;

  BusCycles(std::array<uint8_t, 4> lockRegister, int toggles, int otherBytes = -1)
      : lockRegister_(lockRegister), toggles_(toggles), otherBytes_(otherBytes) {}

  void Write(uint32_t address, uint16_t data);
  void Reset() {
    mode_ = Mode::Array;
    programArmed_ = false;
  }
  // Fills n bytes of a read; array reads are delegated to `readArray`.
  void Read(uint8_t* out, size_t n, const std::function<void(uint8_t*, size_t)>& readArray);

  Mode CurrentMode() const { return mode_; }
  const std::vector<BusCycle>& Writes() const { return writes_; }
  void ClearWrites() { writes_.clear(); }

 private:
  bool LastThreeAre(const BusCycle& a, const BusCycle& b, uint16_t thirdData, bool anyThirdAddress,
                    uint32_t thirdAddress) const;

  std::array<uint8_t, 4> lockRegister_;
  int toggles_;
  int otherBytes_;
  Mode mode_ = Mode::Array;
  bool programArmed_ = false;
  long statusReads_ = 0;
  std::vector<BusCycle> writes_;
};

}  // namespace sim
