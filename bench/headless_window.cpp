#include "bench/headless_window.h"

void HeadlessWindow::ShowLog(EventLog& log) {
  log_ = &log;
  log.SetObserver([this](int row) {
    if (row != EventLog::kAllRows) {
      ShowRow(row);
      return;
    }
    for (int i = 0; i < EventLog::kRows; ++i) ShowRow(i);
  });
}

// Only what changed is copied, as the real window only touches a label that changed.
void HeadlessWindow::ShowRow(int row) {
  const EventLog::Entry& entry = log_->Row(row);
  EventLog::Entry& shown = rows_[static_cast<size_t>(row)];
  if (shown.colour != entry.colour)
    shown.colour = entry.colour;
  if (shown.text != entry.text)
    shown.text = entry.text;
  ++rowUpdates;
  if (onRowShown)
    onRowShown(shown);
}

void HeadlessWindow::ShowMessage(const std::string& text, const std::string& caption) {
  messages.push_back(caption + ": " + text);
}

bool HeadlessWindow::AskOkCancel(const std::string& text, const std::string& caption) {
  messages.push_back(caption + ": " + text);
  return true;
}

std::optional<std::string> HeadlessWindow::RunFileDialog(FileDialog dialog) {
  if (dialogAnswer)
    RememberFile(dialog, *dialogAnswer);
  return dialogAnswer;
}
