// Shared pieces of the digest tests: generated data, one-shot digests and the
// coreutils tools used as independent oracles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "digest/agi_crc.h"

using Bytes = std::vector<uint8_t>;

// Deterministic pseudo-random bytes; different seeds give unrelated data.
Bytes PseudoRandomBytes(size_t length, uint32_t seed);
Bytes BytesOf(const std::string& text);

// Digests of a whole buffer fed in one call to fresh contexts.
std::string Md5TextOf(const Bytes& data);
std::string Sha1TextOf(const Bytes& data);
std::string AgiCrcTextOf(const Bytes& data);

// A freshly initialised AGI CRC state (the struct carries 8 KiB of tables).
std::unique_ptr<AgiCrcState> NewAgiCrc();
