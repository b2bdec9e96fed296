// The SHA-1 compression function over whole 64-byte blocks, in a portable form and in
// one that uses the x86 SHA extensions where the processor has them. Both give the same
// chaining words; SHA1Update picks the faster one once per process.
#pragma once

#include <cstddef>
#include <cstdint>

void Sha1BlocksPortable(uint32_t state[5], const uint8_t* data, size_t blocks);

// True when this processor runs the SHA extension instructions (x86 only).
bool Sha1ShaNiAvailable();
// Call only when Sha1ShaNiAvailable() is true.
void Sha1BlocksShaNi(uint32_t state[5], const uint8_t* data, size_t blocks);
