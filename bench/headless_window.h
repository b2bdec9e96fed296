// A window without a toolkit that does what the real one does per call (the shared
// stateful window), and copies each log row the event log changes into its own row (the
// real window sets a label's text and colour there). File dialogs answer with a path
// given in advance; message boxes are recorded.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/event_log.h"
#include "tests/support/stateful_window.h"

class HeadlessWindow : public StatefulWindow {
 public:
  // Shows `log` in the window's rows from now on.
  void ShowLog(EventLog& log);

  std::function<void(const EventLog::Entry&)> onRowShown;  // after a row was brought up to date
  std::optional<std::string> dialogAnswer;
  std::vector<std::string> messages;
  int rowUpdates = 0;

  const EventLog::Entry& ShownRow(int row) const { return rows_.at(static_cast<size_t>(row)); }

  void ShowMessage(const std::string& text, const std::string& caption) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  std::optional<std::string> RunFileDialog(FileDialog dialog) override;

 private:
  void ShowRow(int row);

  std::array<EventLog::Entry, EventLog::kRows> rows_{};
  const EventLog* log_ = nullptr;
};
