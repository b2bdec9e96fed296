// The window operations for a terminal: message boxes and questions as lines on stderr,
// the log's final lines on stderr, one status line with the running job's progress, and
// Ctrl+C as the Cancel button. The controls are plain values the core reads back.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>

#include "app/run_report.h"
#include "app/window_ops.h"

struct ConsoleSettings {
  bool colour = false;      // escape codes for the line colours
  bool statusLine = false;  // stderr is a terminal: draw the progress line
  bool quiet = false;       // only errors
  bool answerYes = false;   // --yes
  bool canAsk = false;      // stdin is a terminal
};

// Set from the SIGINT and SIGTERM handlers, which may do nothing else. The one piece of
// process-wide mutable state: a signal handler has no other way to reach the program.
void InstallCancelSignals();
bool CancelSignalled();

class ConsoleWindow : public WindowOps {
 public:
  explicit ConsoleWindow(ConsoleSettings settings) : settings_(settings) {}

  // Called from ProcessEvents when a signal asked to stop (the Cancel button's action).
  std::function<void()> onCancel;
  // Called before a question or a box, so that the lines before it are out first.
  std::function<void()> beforePrompt;
  // The name of the job that is running, for the status line.
  std::function<std::string()> runningJob;

  // One final log line (called for each line as it becomes final).
  void PrintLine(const LoggedLine& line);
  // Removes the status line, if one is drawn.
  void ClearStatus();

  void ShowMessage(const std::string& text, const std::string& caption) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  std::optional<std::string> RunFileDialog(FileDialog) override { return std::nullopt; }
  std::string DialogFileName(FileDialog) const override { return ""; }
  void SetEnabled(Control, bool) override {}
  bool IsEnabled(Control) const override { return true; }
  void SetVisible(Control, bool) override {}
  bool IsVisible(Control) const override { return true; }
  void SetBackground(Control, SystemColour) override {}
  void SetTextColour(Control, Rgb) override {}
  std::string Text(Control control) const override;
  void SetText(Control control, const std::string& text) override;
  bool IsChecked(Control) const override { return false; }
  void SetChecked(Control, bool) override {}
  void SetProgressPosition(int position) override;
  void SetProgressMaximum(int maximum) override;
  void StepProgress() override { ++position_; }
  int ProgressPosition() const override { return position_; }
  void ProcessEvents() override;
  void CloseWindow() override {}

 private:
  void DrawStatus();
  std::string Paint(const std::string& text, LogColour colour) const;

  using Clock = std::chrono::steady_clock;
  ConsoleSettings settings_;
  std::map<Control, std::string> texts_;
  int position_ = 0;
  int maximum_ = 0;
  Clock::time_point jobStart_ = Clock::now();
  Clock::time_point lastDraw_{};
  std::string job_;  // the running job when the status was last looked at
  bool statusShown_ = false;
};
