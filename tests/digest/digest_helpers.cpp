#include "tests/digest/digest_helpers.h"

#include <random>

#include "digest/md5.h"
#include "digest/sha1.h"

Bytes PseudoRandomBytes(size_t length, uint32_t seed) {
  std::mt19937 generator(seed);
  Bytes data(length);
  for (auto& byte : data) byte = static_cast<uint8_t>(generator() >> 24);
  return data;
}

Bytes BytesOf(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

std::string Md5TextOf(const Bytes& data) {
  MD5Context ctx;
  MD5Init(ctx);
  MD5Update(ctx, data.data(), data.size());
  return MD5Hex(MD5Final(ctx));
}

std::string Sha1TextOf(const Bytes& data) {
  SHA1Context ctx;
  SHA1Init(ctx);
  SHA1Update(ctx, data.data(), data.size());
  return SHA1Hex(SHA1Final(ctx));
}

std::unique_ptr<AgiCrcState> NewAgiCrc() {
  auto state = std::make_unique<AgiCrcState>();
  AgiCrcInit(*state);
  return state;
}

std::string AgiCrcTextOf(const Bytes& data) {
  auto state = NewAgiCrc();
  AgiCrcUpdate(*state, data.data(), data.size());
  return AgiCrcText(*state);
}
