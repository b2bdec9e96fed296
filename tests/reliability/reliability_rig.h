// Shared pieces of the reliability tests (run on the 16 MiB two-bank module): a record
// of every log text, and the checks that every run must pass whatever went wrong
// (window idle again, link closed once, nothing sent after the close).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/rig.h"

inline constexpr size_t kImage16 = kBlocks16M * kBlock;

// A write source that differs from the simulator's pattern in every block.
inline std::vector<uint8_t> SourceImage(size_t size) {
  std::vector<uint8_t> image(size);
  for (size_t i = 0; i < size; ++i)
    image[i] = static_cast<uint8_t>((i * 7 + 3) ^ (i >> 9) ^ (i >> 15) ^ 0x5A);
  return image;
}

// Every text given to the log, in order: the 30 rows scroll, this keeps everything.
struct LogTape {
  std::vector<EventLog::Entry> written;
  void Attach(Rig& rig) {
    EventLog& log = rig.ctx.log;
    log.SetObserver([this, &log](int) { written.push_back(log.Last()); });
  }
  bool Contains(const std::string& text, size_t from = 0) const {
    for (size_t i = from; i < written.size(); ++i)
      if (written[i].text == text)
        return true;
    return false;
  }
};

// The window after a Start press, whatever its outcome: idle and usable.
inline void ExpectIdleWindow(const FakeWindow& w) {
  EXPECT_TRUE(w.IsVisible(Control::btnStart));
  EXPECT_FALSE(w.IsVisible(Control::btnCancel));
  EXPECT_EQ(w.ProgressPosition(), 0);
  for (Control c : {Control::btnExit, Control::CheckBox1, Control::CheckBox2, Control::CheckBox3,
                    Control::Button1, Control::RadioButton1, Control::RadioButton2, Control::Label1,
                    Control::Label2, Control::Label33})
    EXPECT_TRUE(w.IsEnabled(c)) << static_cast<int>(c);
}

// One open per run, closed exactly once; released first only when identification had
// succeeded; no call of any kind on the handle after its close.
inline void ExpectClosedOnce(const sim::SimBus& bus, bool identified) {
  const auto& calls = bus.Calls();
  int opens = 0, closes = 0, releases = 0;
  size_t closeAt = calls.size();
  for (size_t i = 0; i < calls.size(); ++i) {
    const sim::ApiCall& c = calls[i];
    EXPECT_FALSE(c.afterClose) << c.name << " after usb_close";
    if (c.name == "usb_open" && c.result == 1)
      ++opens;
    if (c.name == "usb_release_interface")
      ++releases;
    if (c.name == "usb_close") {
      ++closes;
      closeAt = i;
    }
  }
  EXPECT_EQ(opens, 1);
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(releases, identified ? 1 : 0);
  if (identified && closeAt > 0 && closeAt < calls.size()) {
    EXPECT_EQ(calls[closeAt - 1].name, "usb_release_interface");
  }
  EXPECT_EQ(bus.TransfersAfterClose(), 0);
}

// Names of the regular files and folders directly in `dir`.
inline std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
