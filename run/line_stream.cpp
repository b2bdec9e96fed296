#include "run/line_stream.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>

void LineStream::AppendLine(const std::string& text, LogColour colour) {
  Flush();
  newest_ = LoggedLine{"", colour, text};
  started_ = true;
  pending_ = true;
}

void LineStream::ReplaceLastLine(const std::string& text, LogColour colour) {
  newest_.text = text;
  newest_.colour = colour;
  // A rewrite before the first append is not counted: that append writes over it.
  pending_ = started_;
}

void LineStream::Flush() {
  if (!pending_)
    return;
  pending_ = false;
  newest_.time = LocalDateTimeText();
  if (print_)
    print_(newest_);
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
