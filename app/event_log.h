// The 30-row coloured event log shown in the lower half of the main window.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "base/log_colour.h"

class EventLog {
 public:
  static constexpr int kRows = 30;

  struct Entry {
    std::string text;
    LogColour colour = LogColour::Green;
  };

  // Told which row (0-based) changed, or kAllRows after a scroll moved every row.
  static constexpr int kAllRows = -1;
  using Observer = std::function<void(int row)>;

  // Adds a line at the bottom; once all rows are used the oldest drops off the top.
  void AppendLine(const std::string& text, LogColour colour);
  // Rewrites the newest line in place. On an empty log it shows the text in row 1
  // without counting it, so the next AppendLine writes over it.
  void ReplaceLastLine(const std::string& text, LogColour colour);

  uint8_t LineCount() const { return lineCount_; }
  // Row i, 0 = top.
  const Entry& Row(int i) const { return rows_.at(static_cast<size_t>(i)); }
  // The row a ReplaceLastLine would rewrite.
  const Entry& Last() const { return rows_[lineCount_ == 0 ? 0 : lineCount_ - 1]; }

  void SetObserver(Observer observer) { observer_ = std::move(observer); }

 private:
  void Notify(int row) const {
    if (observer_)
      observer_(row);
  }

  std::array<Entry, kRows> rows_{};
  uint8_t lineCount_ = 0;
  Observer observer_;
};
