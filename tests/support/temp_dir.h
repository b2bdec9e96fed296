// A scratch folder removed with everything in it when the test ends, and whole-file
// helpers for what the tests write into it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fwtest-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
      ADD_FAILURE() << "mkdtemp failed for " << pattern;
    else
      path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty())
      std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // Writes `text` byte for byte to `name` in the folder and gives the file's path.
  std::string Write(const std::string& name, const std::string& text) const {
    const std::string file = File(name);
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }

 private:
  std::filesystem::path path_;
};

// A whole file in one read; empty when it cannot be opened.
inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return bytes;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long size = std::ftell(file);
    std::rewind(file);
    bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
  }
  std::fclose(file);
  return bytes;
}

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}
