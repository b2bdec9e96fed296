// A scripted stand-in for the main window: message boxes and dialogs recorded, their
// answers queued in advance by the test, and a watchdog on the event processing that
// stops a job which never ends.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "database/load_database.h"
#include "tests/support/stateful_window.h"

class FakeWindow : public StatefulWindow {
 public:
  struct Message {
    std::string text;
    std::string caption;
    bool question = false;  // OK/Cancel rather than OK only
    friend bool operator==(const Message&, const Message&) = default;
  };

  // Scripting.
  std::deque<bool> answers;  // for AskOkCancel, front first; empty: OK
  std::map<FileDialog, std::deque<std::optional<std::string>>> dialogAnswers;  // empty: Cancel
  // A job that processes events more often than this has hung: `onHung` runs once (an
  // operator clicking Cancel at a frozen progress bar); if the job goes on regardless,
  // the window throws after as many calls again, which ends the test with that message.
  int processEventsLimit = 10000;
  std::function<void()> onHung;

  // Record.
  std::vector<Message> messages;
  std::vector<FileDialog> dialogsRun;

  void ShowMessage(const std::string& text, const std::string& caption) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  std::optional<std::string> RunFileDialog(FileDialog dialog) override;
  void ProcessEvents() override;

  // An operator's click on a check box or radio button: toggles it (radio: checks it)
  // and runs the handler through SetChecked.
  void Click(Control control);
  // The texts of the message boxes shown, in order.
  std::vector<std::string> MessageTexts() const;
  // The database loader's boxes, shown here.
  DatabaseMessage Boxes() {
    return
        [this](const std::string& text, const std::string& caption) { ShowMessage(text, caption); };
  }
};
