#include "tests/digest/digest_helpers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
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

TempFile::TempFile(const Bytes& contents) {
  std::string pattern = (std::filesystem::temp_directory_path() / "fw_digest_XXXXXX").string();
  const int fd = mkstemp(pattern.data());
  if (fd < 0) {
    ADD_FAILURE() << "mkstemp failed for " << pattern;
    return;
  }
  path_ = pattern;
  size_t written = 0;
  while (written < contents.size()) {
    const ssize_t n = write(fd, contents.data() + written, contents.size() - written);
    if (n <= 0) {
      ADD_FAILURE() << "short write to " << path_;
      break;
    }
    written += static_cast<size_t>(n);
  }
  close(fd);
}

TempFile::~TempFile() {
  if (!path_.empty())
    std::remove(path_.c_str());
}

std::string RunTool(const std::string& tool, const std::string& path) {
  // mkstemp paths hold no quote, so single quotes keep the shell away from them.
  const std::string command = tool + " '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr)
    return {};
  std::string output;
  char buffer[256];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  if (pclose(pipe) != 0)
    return {};
  return output;
}
