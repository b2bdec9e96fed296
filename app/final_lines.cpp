#include "app/final_lines.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

FinalLines::FinalLines(EventLog& log, RunReport& report, Printer print)
    : log_(log), report_(report), print_(std::move(print)), lineCount_(log.LineCount()) {
  log_.SetObserver([this](int row) { Changed(row); });
}

FinalLines::~FinalLines() {
  log_.SetObserver(nullptr);
}

void FinalLines::Changed(int row) {
  // An append either adds a row or, with all rows in use, scrolls them all; a rewrite
  // changes one row and keeps the count.
  const bool appended = row == EventLog::kAllRows || log_.LineCount() != lineCount_;
  lineCount_ = log_.LineCount();
  if (appended)
    Flush();
  newest_ = log_.Last();
  // A rewrite of an empty log is not counted there: the next append writes over it.
  pending_ = lineCount_ > 0;
}

void FinalLines::Flush() {
  if (!pending_)
    return;
  pending_ = false;
  report_.log.push_back(LoggedLine{LocalDateTimeText(), newest_.colour, newest_.text});
  if (print_)
    print_(report_.log.back());
}

std::string LocalDateTimeText() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(millis));
  return text;
}
