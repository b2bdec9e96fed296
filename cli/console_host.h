// The jobs' host on a terminal: message boxes and questions as lines on stderr, the log's
// final lines on stderr, one status line with the running job's progress, and Ctrl+C as
// the Cancel button.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "flash/job_host.h"
#include "run/line_stream.h"
#include "run/run_report.h"

struct ConsoleSettings {
  bool colour = false;         // escape codes for the line colours
  bool statusLine = false;     // stderr is a terminal: draw the progress line
  bool quiet = false;          // only errors
  bool answerYes = false;      // --yes
  bool canAsk = false;         // stdin is a terminal
  std::FILE* stream = stderr;  // where the lines, boxes, questions and status go
};

// Set from the SIGINT and SIGTERM handlers, which may do nothing else. The one piece of
// process-wide mutable state: a signal handler has no other way to reach the program.
void InstallCancelSignals();
bool CancelSignalled();

class ConsoleHost : public JobHost {
 public:
  explicit ConsoleHost(ConsoleSettings settings) : settings_(settings) {}

  // Told of each log line once it is final, after it was printed.
  std::function<void(const LoggedLine&)> onLine;
  // Told of each message box and question as it is shown.
  std::function<void(const ShownMessage&)> onMessage;
  // The log the jobs write; its lines are printed as they become final.
  LineStream log{[this](const LoggedLine& line) {
    PrintLine(line);
    if (onLine)
      onLine(line);
  }};
  // The name of the job that is running, for the status line.
  std::function<std::string()> runningJob;
  // Told of each step of a block job: blocks done of all, seconds since it began.
  std::function<void(int position, int maximum, double seconds)> onProgress;

  // One final log line (called for each line as it becomes final).
  void PrintLine(const LoggedLine& line);
  // Removes the status line, if one is drawn.
  void ClearStatus();

  void AppendLine(const std::string& text, LogColour colour) override {
    log.AppendLine(text, colour);
  }
  void ReplaceLastLine(const std::string& text, LogColour colour) override {
    log.ReplaceLastLine(text, colour);
  }
  void ShowMessage(const std::string& text, const std::string& caption) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  void StartProgress(int maximum) override;
  void StepProgress() override;
  void ResetProgress() override { position_ = 0; }
  void ProcessEvents() override;
  // Ctrl+C or SIGTERM: honoured from the moment it arrives.
  bool CancelPending() const override { return CancelSignalled(); }
  // A terminal has no digest boxes: the digests are printed from the report after the run.
  void ShowDigest(DigestKind, const std::string&) override {}

 private:
  void DrawStatus();
  std::string Paint(const std::string& text, LogColour colour) const;

  using Clock = std::chrono::steady_clock;
  ConsoleSettings settings_;
  int position_ = 0;
  int maximum_ = 0;
  Clock::time_point jobStart_ = Clock::now();
  Clock::time_point lastDraw_{};
  std::string job_;  // the running job when the status was last looked at
  bool statusShown_ = false;
};
