// The number sequence behind the simulation's random faults (splitmix64): the same seed
// always gives the same numbers, on every machine.
#pragma once

#include <cstdint>

namespace sim {

class SeededDraws {
 public:
  explicit SeededDraws(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

 private:
  uint64_t state_;
};

}  // namespace sim
