// The log as a stream of finished lines, for a host without a grid of rows to rewrite (a
// terminal's scrollback, a file, a report). A line is final once the next one is appended
// below it: until then a job may still rewrite it with its progress and finally with its
// result.
#pragma once

#include <functional>
#include <string>

#include "base/log_colour.h"

struct LoggedLine {
  std::string time;  // local date and time when the line became final (ISO 8601)
  LogColour colour = LogColour::Green;
  std::string text;
};

class LineStream {
 public:
  using Printer = std::function<void(const LoggedLine&)>;

  // Every final line goes to `print`.
  explicit LineStream(Printer print) : print_(std::move(print)) {}

  // A new line below the newest, which is then final.
  void AppendLine(const std::string& text, LogColour colour);
  // Rewrites the newest line. Before the first append it is shown where the first line
  // will be, and that append writes over it, as in the window's log.
  void ReplaceLastLine(const std::string& text, LogColour colour);
  // Lets the newest line out now (the run is over, or a question is about to be asked).
  // A later rewrite of it counts as a line of its own.
  void Flush();

 private:
  Printer print_;
  LoggedLine newest_;
  bool started_ = false;  // a line has been appended
  bool pending_ = false;  // newest_ has not gone out
};

// The local date and time, as the report's lines carry it: 2026-12-09T01:45:12.345.
std::string LocalDateTimeText();
