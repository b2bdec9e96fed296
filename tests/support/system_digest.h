// Digests of a file by the system's own tools, independent of the tool's digest code.
#pragma once

#include <cstdio>
#include <string>

// What `tool 'path'` prints on its standard output; empty when it could not be run or
// failed. Test paths hold no quote, so single quotes keep the shell away from them.
inline std::string SystemToolOutput(const std::string& tool, const std::string& path) {
  FILE* pipe = popen((tool + " '" + path + "'").c_str(), "r");
  if (pipe == nullptr)
    return {};
  std::string output;
  char buffer[256];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  return pclose(pipe) == 0 ? output : std::string();
}

// The hexadecimal digest that `tool` (md5sum, sha1sum) prints for `path`; empty when it
// could not be run.
inline std::string SystemDigest(const std::string& tool, const std::string& path) {
  const std::string output = SystemToolOutput(tool, path);
  return output.substr(0, output.find(' '));
}
