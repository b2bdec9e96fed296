// Runs the read job's digest pass over a file: each 32768-byte block goes to MD5, SHA-1
// and the AGI CRC in that order, as the flash blocks do. Prints the three texts.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "digest/agi_crc.h"
#include "digest/md5.h"
#include "digest/sha1.h"

namespace {

constexpr size_t kBlockSize = 32768;

// Fills the buffer unless the file ends first; returns the bytes read or -1.
ssize_t ReadBlock(int fd, uint8_t* buffer, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = read(fd, buffer + got, size - got);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return -1;
    if (n == 0)
      break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  const int fd = open(argv[1], O_RDONLY);
  if (fd < 0) {
    std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(errno));
    return 1;
  }

  MD5Context md5;
  SHA1Context sha1;
  auto crc = std::make_unique<AgiCrcState>();
  MD5Init(md5);
  AgiCrcInit(*crc);
  SHA1Init(sha1);

  std::vector<uint8_t> block(kBlockSize);
  for (;;) {
    const ssize_t n = ReadBlock(fd, block.data(), block.size());
    if (n < 0) {
      std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(errno));
      close(fd);
      return 1;
    }
    if (n == 0)
      break;
    const size_t length = static_cast<size_t>(n);
    MD5Update(md5, block.data(), length);
    SHA1Update(sha1, block.data(), length);
    AgiCrcUpdate(*crc, block.data(), length);
    if (length < kBlockSize)
      break;
  }
  close(fd);

  std::printf("MD5 %s\nSHA1 %s\nAGI CRC %s\n", MD5Hex(MD5Final(md5)).c_str(),
              SHA1Hex(SHA1Final(sha1)).c_str(), AgiCrcText(*crc).c_str());
  return 0;
}
