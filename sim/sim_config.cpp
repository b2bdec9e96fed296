#include "sim/sim_config.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
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

// Numbers separated by blanks, each within its range.
bool ParseNumbers(const std::string& text, std::initializer_list<std::pair<long, long>> ranges,
                  std::vector<long>& values) {
  std::istringstream in(text);
  values.clear();
  for (const auto& [low, high] : ranges) {
    std::string word;
    long value = 0;
    if (!(in >> word) || !ParseNumber(word, low, high, value))
      return false;
    values.push_back(value);
  }
  std::string rest;
  return !(in >> rest);
}

constexpr long kMaxInt = 0x7FFFFFFF;
constexpr int kMaxProgrammers = 16;

// "off", or "N OFFSET MASK".
bool ParseReadFlip(const std::string& text, ReadFlip& flip) {
  std::vector<long> v;
  if (text == "off")
    flip = ReadFlip{};
  else if (ParseNumbers(text, {{0, kMaxInt}, {0, kMaxInt}, {0, 0xFF}}, v))
    flip =
        ReadFlip{static_cast<int>(v[0]), static_cast<uint32_t>(v[1]), static_cast<uint8_t>(v[2])};
  else
    return false;
  return true;
}

// "off", or "even|odd BIT LEVEL".
bool ParseStuckBit(const std::string& text, StuckBit& stuck) {
  if (text == "off") {
    stuck = StuckBit{};
    return true;
  }
  const auto blank = text.find(' ');
  const std::string lane = text.substr(0, blank);
  std::vector<long> v;
  if ((lane != "even" && lane != "odd") || blank == std::string::npos ||
      !ParseNumbers(text.substr(blank), {{0, 7}, {0, 1}}, v))
    return false;
  stuck =
      StuckBit{lane == "odd" ? ByteLane::Odd : ByteLane::Even, static_cast<int>(v[0]), v[1] == 1};
  return true;
}

// "off", or "transfer|read_block|write_block|erase_poll N".
bool ParseDropAt(const std::string& text, DropOff& drop) {
  if (text == "off") {
    drop.at = DropAt::Never;
    return true;
  }
  static const std::map<std::string, DropAt> kinds = {{"transfer", DropAt::Transfer},
                                                      {"read_block", DropAt::ReadBlock},
                                                      {"write_block", DropAt::WriteBlock},
                                                      {"erase_poll", DropAt::ErasePoll}};
  const auto blank = text.find(' ');
  const auto kind = kinds.find(text.substr(0, blank));
  std::vector<long> v;
  if (kind == kinds.end() || blank == std::string::npos ||
      !ParseNumbers(text.substr(blank), {{0, kMaxInt}}, v))
    return false;
  drop.at = kind->second;
  drop.index = static_cast<int>(v[0]);
  return true;
}

using Setter = std::function<bool(const std::string&)>;
using Setters = std::map<std::string, Setter>;

// The keys that apply to the whole bus; they cannot be numbered.
Setters BusSetters(SimSetup& s) {
  return {
      {"present", Number(s.present, 0, 1)},
      {"programmers", Number(s.programmers, 0, kMaxProgrammers)},
      {"foreign_devices", Number(s.foreignDevices, 0, 16)},
  };
}

// The keys of one programmer.
Setters ProgrammerSetters(ProgrammerSetup& s) {
  ModelConfig& m = s.device.model;
  UsbFaults& f = s.device.faults;
  return {
      {"bus", Number(s.bus, 1, 255)},
      {"device", Number(s.deviceNumber, 1, 127)},
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
      {"flip_read_block", [&m](const std::string& v) { return ParseReadFlip(v, m.readFlip); }},
      {"stuck_bit", [&m](const std::string& v) { return ParseStuckBit(v, m.stuckBit); }},
      {"open_fails", Number(f.openFails, 0, 1)},
      {"set_configuration_fails", Number(f.setConfigurationFails, 0, 1)},
      {"claim_fails", Number(f.claimFails, 0, 1)},
      {"refusal_errno", Number(f.refusalErrno, 1, 4095)},
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
      {"hold_transfer", Number(f.holdTransfer, -1, kMaxInt)},
      {"hold_in_transfer", Number(f.holdInTransfer, -1, kMaxInt)},
      {"hold_ms", Number(f.holdMilliseconds, 0, kMaxInt)},
      {"loss_kind",
       [&f](const std::string& v) {
         static const std::map<std::string, LossKind> kinds = {{"timeout", LossKind::Timeout},
                                                               {"stall", LossKind::Stall},
                                                               {"short", LossKind::Short}};
         const auto found = kinds.find(v);
         if (found == kinds.end())
           return false;
         f.lossKind = found->second;
         return true;
       }},
      {"lose_read_block", Number(f.loseReadBlock, -1, kMaxInt)},
      {"lose_write_block", Number(f.loseWriteBlock, -1, kMaxInt)},
      {"lose_erase_poll", Number(f.loseErasePoll, -1, kMaxInt)},
      {"loss_rate", Number(f.lossRate, 0, kMaxInt)},
      {"loss_seed", Number(f.lossSeed, 0, std::numeric_limits<long>::max())},
      {"drop_at", [&f](const std::string& v) { return ParseDropAt(v, f.drop); }},
      {"drop_scans", Number(f.drop.goneScans, 0, kMaxInt)},
      {"drop_ms", Number(f.drop.goneMilliseconds, 0, kMaxInt)},
      {"return_module_type", Number(f.drop.moduleType, 0, 0xFF)},
      {"return_chip_id",
       [&f](const std::string& v) {
         std::array<uint8_t, 4> id{};
         if (!ParseByteArray(v, id))
           return false;
         f.drop.chipId = id;
         return true;
       }},
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

// "K.key": programmer K (from 1) and the key; 0 for a key without a number.
int ProgrammerNumber(const std::string& key, std::string& rest) {
  const auto dot = key.find('.');
  long number = 0;
  if (dot == std::string::npos || dot == 0 || key.find_first_not_of("0123456789") != dot ||
      !ParseNumber(key.substr(0, dot), 1, kMaxInt, number))
    return 0;
  rest = key.substr(dot + 1);
  return static_cast<int>(number);
}

}  // namespace

ProgrammerSetup SimSetup::Programmer(int k) const {
  const auto found = numbered.find(k);
  if (found != numbered.end())
    return found->second;
  ProgrammerSetup own = static_cast<const ProgrammerSetup&>(*this);
  if (k != 1)
    own.imageOut.clear();
  return own;
}

ConfigResult ParseSimConfig(const std::string& text) {
  ConfigResult result;
  SimSetup& setup = result.setup;
  Setters setters = BusSetters(setup);
  setters.merge(ProgrammerSetters(setup));
  struct Line {
    int number;
    int programmer;
    std::string key, value;
  };
  std::vector<Line> numbered;
  std::vector<std::pair<int, std::string>> errors;
  auto apply = [&errors](const Setters& known, const Line& line) {
    const std::string where = "line " + std::to_string(line.number) + ": ";
    const auto setter = known.find(line.key);
    const std::string name =
        (line.programmer > 0 ? std::to_string(line.programmer) + "." : "") + line.key;
    if (setter == known.end())
      errors.emplace_back(line.number, where + "unknown key \"" + name + "\"");
    else if (!setter->second(line.value))
      errors.emplace_back(line.number,
                          where + "bad value for " + name + ": \"" + line.value + "\"");
  };

  std::istringstream in(text);
  int number = 0;
  for (std::string raw; std::getline(in, raw);) {
    ++number;
    raw = Trim(raw);
    if (raw.empty() || raw[0] == '#')
      continue;
    const auto equals = raw.find('=');
    if (equals == std::string::npos) {
      errors.emplace_back(number, "line " + std::to_string(number) + ": no '=' in \"" + raw + "\"");
      continue;
    }
    Line line{number, 0, Trim(raw.substr(0, equals)), Trim(raw.substr(equals + 1))};
    std::string key;
    line.programmer = ProgrammerNumber(line.key, key);
    if (line.programmer > 0) {
      line.key = key;
      numbered.push_back(std::move(line));  // once every unnumbered key is known
    } else {
      apply(setters, line);
    }
  }

  for (const Line& line : numbered) {
    if (line.programmer > setup.programmers) {
      errors.emplace_back(line.number, "line " + std::to_string(line.number) +
                                           ": there is no programmer " +
                                           std::to_string(line.programmer));
      continue;
    }
    if (setup.numbered.count(line.programmer) == 0) {
      ProgrammerSetup own = setup.Programmer(line.programmer);
      setup.numbered.emplace(line.programmer, std::move(own));
    }
    apply(ProgrammerSetters(setup.numbered.at(line.programmer)), line);
  }
  std::stable_sort(errors.begin(), errors.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& error : errors) result.errors.push_back(std::move(error.second));
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

std::vector<int> BuildBus(SimBus& bus, const SimSetup& setup, std::vector<std::string>& errors) {
  DeviceConfig foreign;
  foreign.vendorId = 0x1234;
  foreign.productId = 0x5678;
  int foreignBus = -1;
  int foreignBusNumber = 0;
  if (setup.foreignDevices > 0) {
    foreignBus = bus.AddBus();
    for (int i = 0; i < setup.foreignDevices; ++i)
      foreignBusNumber = bus.AddDevice(foreignBus, foreign).BusNumber();
  }
  std::vector<int> programmers;
  if (!setup.present)
    return programmers;
  for (int k = 1; k <= setup.programmers; ++k) {
    const ProgrammerSetup own = setup.Programmer(k);
    int busIndex = -1;
    int busNumber = 0;  // 0: a new bus, where every device number is free
    if (own.bus > 0) {
      busNumber = own.bus;
      busIndex = bus.FindBus(own.bus) >= 0 ? bus.FindBus(own.bus) : bus.AddBus(own.bus);
    } else if (k == 1 && foreignBus >= 0) {
      busIndex = foreignBus;
      busNumber = foreignBusNumber;
    } else {
      busIndex = bus.AddBus();
    }
    if (own.deviceNumber > 0 && busNumber > 0 && bus.FindDevice(busNumber, own.deviceNumber)) {
      errors.push_back("programmer " + std::to_string(k) + ": device " +
                       std::to_string(own.deviceNumber) + " is taken on bus " +
                       std::to_string(busNumber));
      programmers.push_back(-1);
      continue;
    }
    SimDevice& device = bus.AddDevice(busIndex, own.device, own.deviceNumber);
    if (!own.imageIn.empty() && !device.Model().Flash().LoadImageFile(own.imageIn))
      errors.push_back("cannot read image_in " + own.imageIn);
    programmers.push_back(device.Id());
  }
  return programmers;
}

}  // namespace sim
