#include "sim/sim_config.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace sim {

namespace {

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos)
    return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A whole decimal or 0x-prefixed number within [low, high].
bool ParseNumber(const std::string& text, long low, long high, long& value) {
  if (text.empty())
    return false;
  errno = 0;
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high)
    return false;
  value = parsed;
  return true;
}

// Hexadecimal bytes separated by blanks or commas ("c2 22 7e 01", "0x02,0x01").
bool ParseBytes(const std::string& text, std::vector<uint8_t>& bytes) {
  std::string spaced = text;
  for (char& c : spaced)
    if (c == ',')
      c = ' ';
  std::istringstream in(spaced);
  std::vector<uint8_t> parsed;
  for (std::string word; in >> word;) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 16);
    if (errno != 0 || *end != '\0' || value < 0 || value > 0xFF)
      return false;
    parsed.push_back(static_cast<uint8_t>(value));
  }
  bytes = std::move(parsed);
  return true;
}

template <size_t N>
bool ParseByteArray(const std::string& text, std::array<uint8_t, N>& out) {
  std::vector<uint8_t> bytes;
  if (!ParseBytes(text, bytes) || bytes.size() != N)
    return false;
  std::copy(bytes.begin(), bytes.end(), out.begin());
  return true;
}

template <typename T>
std::function<bool(const std::string&)> Number(T& target, long low, long high) {
  return [&target, low, high](const std::string& text) {
    long value = 0;
    if (!ParseNumber(text, low, high, value))
      return false;
    target = static_cast<T>(value);
    return true;
  };
}

using Setter = std::function<bool(const std::string&)>;

std::map<std::string, Setter> Setters(SimSetup& s) {
  ModelConfig& m = s.device.model;
  UsbFaults& f = s.device.faults;
  const long kMaxInt = 0x7FFFFFFF;
  return {
      {"present", Number(s.present, 0, 1)},
      {"programmers", Number(s.programmers, 0, 16)},
      {"foreign_devices", Number(s.foreignDevices, 0, 16)},
      {"vendor_id", Number(s.device.vendorId, 0, 0xFFFF)},
      {"product_id", Number(s.device.productId, 0, 0xFFFF)},
      {"version", [&m](const std::string& v) { return ParseBytes(v, m.version); }},
      {"module_type", Number(m.moduleType, 0, 0xFF)},
      {"chip_id", [&m](const std::string& v) { return ParseByteArray(v, m.chipId); }},
      {"size_mib",
       [&m](const std::string& v) {
         long size = 0;
         if (!ParseNumber(v, 16, 64, size) || (size != 16 && size != 32 && size != 64))
           return false;
         m.sizeMiB = static_cast<int>(size);
         return true;
       }},
      {"dual_bank", Number(m.dualBank, 0, 1)},
      {"contents",
       [&m](const std::string& v) {
         static const std::map<std::string, InitialContents> kinds = {
             {"erased", InitialContents::Erased},
             {"zero", InitialContents::Zero},
             {"pattern", InitialContents::Pattern}};
         const auto found = kinds.find(v);
         if (found == kinds.end())
           return false;
         m.contents = found->second;
         return true;
       }},
      {"image_in", [&s](const std::string& v) { return !(s.imageIn = v).empty(); }},
      {"image_out", [&s](const std::string& v) { return !(s.imageOut = v).empty(); }},
      {"erase_script_bank1",
       [&m](const std::string& v) { return ParseBytes(v, m.eraseScript[0]); }},
      {"erase_script_bank0",
       [&m](const std::string& v) { return ParseBytes(v, m.eraseScript[1]); }},
      {"write_status", Number(m.writeStatus, 0, 0xFF)},
      {"write_status_block", Number(m.writeStatusAtBlock, -1, kMaxInt)},
      {"write_error_answer",
       [&m](const std::string& v) { return ParseBytes(v, m.writeErrorAnswer); }},
      {"lock_register", [&m](const std::string& v) { return ParseByteArray(v, m.lockRegister); }},
      {"status_toggles", Number(m.statusToggles, 0, kMaxInt)},
      {"status_other_bytes", Number(m.statusOtherBytes, -1, 0xFF)},
      {"open_fails", Number(f.openFails, 0, 1)},
      {"set_configuration_fails", Number(f.setConfigurationFails, 0, 1)},
      {"claim_fails", Number(f.claimFails, 0, 1)},
      {"fault_kind",
       [&f](const std::string& v) {
         static const std::map<std::string, FaultKind> kinds = {{"error", FaultKind::Error},
                                                                {"short", FaultKind::Short},
                                                                {"timeout", FaultKind::Timeout}};
         const auto found = kinds.find(v);
         if (found == kinds.end())
           return false;
         f.kind = found->second;
         return true;
       }},
      {"fault_transfer", Number(f.atTransfer, -1, kMaxInt)},
      {"fault_read_block", Number(f.atReadBlock, -1, kMaxInt)},
      {"fault_write_block", Number(f.atWriteBlock, -1, kMaxInt)},
      {"vanish_after", Number(f.vanishAfter, -1, kMaxInt)},
      {"timing",
       [&m](const std::string& v) {
         if (v == "off")
           m.timing = Timing{};
         else if (v == "usb2")
           m.timing = Timing::Usb2();
         else
           return false;
         return true;
       }},
      {"read_bytes_per_second", Number(m.timing.readBytesPerSecond, 0, kMaxInt)},
      {"write_bytes_per_second", Number(m.timing.writeBytesPerSecond, 0, kMaxInt)},
      {"erase_ms", Number(m.timing.eraseMilliseconds, 0, kMaxInt)},
  };
}

}  // namespace

ConfigResult ParseSimConfig(const std::string& text) {
  ConfigResult result;
  const auto setters = Setters(result.setup);
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    line = Trim(line);
    if (line.empty() || line[0] == '#')
      continue;
    const auto equals = line.find('=');
    const std::string where = "line " + std::to_string(number) + ": ";
    if (equals == std::string::npos) {
      result.errors.push_back(where + "no '=' in \"" + line + "\"");
      continue;
    }
    const std::string key = Trim(line.substr(0, equals));
    const std::string value = Trim(line.substr(equals + 1));
    const auto setter = setters.find(key);
    if (setter == setters.end())
      result.errors.push_back(where + "unknown key \"" + key + "\"");
    else if (!setter->second(value))
      result.errors.push_back(where + "bad value for " + key + ": \"" + value + "\"");
  }
  return result;
}

ConfigResult LoadSimConfig(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    ConfigResult result;
    result.errors.push_back("cannot read " + path);
    return result;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return ParseSimConfig(text.str());
}

void BuildBus(SimBus& bus, const SimSetup& setup, std::vector<std::string>& errors) {
  DeviceConfig foreign;
  foreign.vendorId = 0x1234;
  foreign.productId = 0x5678;
  if (setup.foreignDevices > 0) {
    const int first = bus.AddBus();
    for (int i = 0; i < setup.foreignDevices; ++i) bus.AddDevice(first, foreign);
  }
  if (!setup.present)
    return;
  for (int i = 0; i < setup.programmers; ++i) {
    // The first programmer shares the foreign devices' bus, behind them.
    const int busIndex = (i == 0 && setup.foreignDevices > 0) ? 0 : bus.AddBus();
    SimDevice& device = bus.AddDevice(busIndex, setup.device);
    if (!setup.imageIn.empty() && !device.Model().Flash().LoadImageFile(setup.imageIn))
      errors.push_back("cannot read image_in " + setup.imageIn);
  }
}

}  // namespace sim
