#include "app/event_log.h"

#include <utility>

void EventLog::AppendLine(const std::string& text, LogColour colour) {
  if (lineCount_ < kRows) {
    rows_[lineCount_] = Entry{text, colour};
    ++lineCount_;
    Notify(lineCount_ - 1);
    return;
  }
  for (int i = 0; i + 1 < kRows; ++i) rows_[i] = std::move(rows_[i + 1]);
  rows_[kRows - 1] = Entry{text, colour};
  Notify(kAllRows);
}

void EventLog::ReplaceLastLine(const std::string& text, LogColour colour) {
  const int row = lineCount_ == 0 ? 0 : lineCount_ - 1;
  rows_[row] = Entry{text, colour};
  Notify(row);
}
