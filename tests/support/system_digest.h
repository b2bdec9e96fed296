// Digests of a file by the system's own tools, independent of the tool's digest code.
#pragma once

#include <cstdio>
#include <string>

// The hexadecimal digest that `tool` (md5sum, sha1sum) prints for `path`; empty when it
// could not be run.
inline std::string SystemDigest(const std::string& tool, const std::string& path) {
  const std::string command = tool + " '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr)
    return {};
  char line[256] = {};
  const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
  pclose(pipe);
  if (!got)
    return {};
  const std::string text = line;
  return text.substr(0, text.find(' '));
}
