#include "tests/support/fake_window.h"

#include <stdexcept>

void FakeWindow::ShowMessage(const std::string& text, const std::string& caption) {
  messages.push_back({text, caption, false});
}

bool FakeWindow::AskOkCancel(const std::string& text, const std::string& caption) {
  messages.push_back({text, caption, true});
  if (answers.empty())
    return true;
  const bool ok = answers.front();
  answers.pop_front();
  return ok;
}

std::optional<std::string> FakeWindow::RunFileDialog(FileDialog dialog) {
  dialogsRun.push_back(dialog);
  auto& queue = dialogAnswers[dialog];
  if (queue.empty())
    return std::nullopt;
  std::optional<std::string> answer = queue.front();
  queue.pop_front();
  if (answer)
    RememberFile(dialog, *answer);
  return answer;
}

void FakeWindow::ProcessEvents() {
  StatefulWindow::ProcessEvents();
  if (processEventsCalls == processEventsLimit + 1 && onHung)
    onHung();
  if (processEventsCalls > 2 * processEventsLimit)
    throw std::runtime_error("the job still runs after " + std::to_string(processEventsCalls) +
                             " event-processing passes: hung");
}

void FakeWindow::Click(Control control) {
  const bool radio = control == Control::RadioButton1 || control == Control::RadioButton2;
  SetChecked(control, radio ? true : !IsChecked(control));
}

std::vector<std::string> FakeWindow::MessageTexts() const {
  std::vector<std::string> texts;
  for (const auto& m : messages) texts.push_back(m.text);
  return texts;
}
