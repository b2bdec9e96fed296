// Helpers for running whole Start presses on the rig: log lines with their colours,
// a snapshot of the window's control states, test images and their digests.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "digest/agi_crc.h"
#include "digest/md5.h"
#include "digest/sha1.h"
#include "tests/support/rig.h"
#include "tests/support/test_data.h"

namespace seqtest {

using Strings = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

using testdata::Noise;
constexpr size_t kFlash16M = size_t(16) << 20;

using testdata::Stamp;

inline const std::vector<Control>& AllControls() {
  static const std::vector<Control> all = {
      Control::btnStart,     Control::btnCancel,    Control::btnExit,    Control::CheckBox1,
      Control::CheckBox2,    Control::CheckBox3,    Control::Button1,    Control::Button2,
      Control::RadioButton1, Control::RadioButton2, Control::isSharp,    Control::ProgressBar1,
      Control::MD5_result,   Control::SHA1_result,  Control::CRC_result, Control::MD5_check,
      Control::SHA1_check,   Control::CRC_check,    Control::Label1,     Control::Label2,
      Control::Label33,      Control::lblMD5,       Control::lblSHA1,    Control::lblAGI};
  return all;
}

// Enabled, visible, checked and background of every control, and the progress bar.
struct WindowState {
  std::map<Control, std::tuple<bool, bool, bool>> controls;
  std::map<Control, SystemColour> background;
  int progress = 0;
  bool operator==(const WindowState&) const = default;
};

inline WindowState Snapshot(const FakeWindow& w) {
  WindowState s;
  for (Control c : AllControls()) s.controls[c] = {w.IsEnabled(c), w.IsVisible(c), w.IsChecked(c)};
  s.background = w.background;
  s.progress = w.ProgressPosition();
  return s;
}

// The database entry of a dump, with the digests worked out here.
inline DumpHashRecord DumpEntry(const std::string& description, const Bytes& dump) {
  MD5Context md5;
  SHA1Context sha1;
  AgiCrcState crc;
  MD5Init(md5);
  SHA1Init(sha1);
  AgiCrcInit(crc);
  MD5Update(md5, dump.data(), dump.size());
  SHA1Update(sha1, dump.data(), dump.size());
  AgiCrcUpdate(crc, dump.data(), dump.size());
  return {description, MD5Hex(MD5Final(md5)), SHA1Hex(SHA1Final(sha1)), AgiCrcText(crc)};
}

inline int Count(const Strings& list, const std::string& item) {
  return static_cast<int>(std::count(list.begin(), list.end(), item));
}

}  // namespace seqtest
