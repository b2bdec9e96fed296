// A scripted stand-in for the main window: control states in maps, message boxes and
// dialogs recorded, their answers queued in advance by the test.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/window_ops.h"

class FakeWindow : public WindowOps {
 public:
  struct Message {
    std::string text;
    std::string caption;
    bool question = false;  // OK/Cancel rather than OK only
    friend bool operator==(const Message&, const Message&) = default;
  };

  FakeWindow();

  // Scripting.
  std::deque<bool> answers;  // for AskOkCancel, front first; empty: OK
  std::map<FileDialog, std::deque<std::optional<std::string>>> dialogAnswers;  // empty: Cancel
  std::function<void(Control)> onClick;   // runs a control's click handler
  std::function<void()> onProcessEvents;  // what happens while events are processed

  // Record.
  std::vector<Message> messages;
  std::vector<FileDialog> dialogsRun;
  int processEventsCalls = 0;
  bool closed = false;
  std::map<Control, SystemColour> background;
  std::map<Control, Rgb> textColour;
  int progressMaximum = 0;

  void ShowMessage(const std::string& text, const std::string& caption) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  std::optional<std::string> RunFileDialog(FileDialog dialog) override;
  std::string DialogFileName(FileDialog dialog) const override;
  void SetEnabled(Control control, bool enabled) override { enabled_[control] = enabled; }
  bool IsEnabled(Control control) const override { return enabled_.at(control); }
  void SetVisible(Control control, bool visible) override { visible_[control] = visible; }
  bool IsVisible(Control control) const override { return visible_.at(control); }
  void SetBackground(Control control, SystemColour colour) override {
    background[control] = colour;
  }
  void SetTextColour(Control control, Rgb colour) override { textColour[control] = colour; }
  std::string Text(Control control) const override;
  void SetText(Control control, const std::string& text) override;
  bool IsChecked(Control control) const override;
  void SetChecked(Control control, bool checked) override;
  void SetProgressPosition(int position) override { progress_ = position; }
  void SetProgressMaximum(int maximum) override { progressMaximum = maximum; }
  void StepProgress() override { ++progress_; }
  int ProgressPosition() const override { return progress_; }
  void ProcessEvents() override;
  void CloseWindow() override { closed = true; }

  // An operator's click on a check box or radio button: toggles it (radio: checks it)
  // and runs the handler through SetChecked.
  void Click(Control control);

 private:
  std::map<Control, bool> enabled_;
  std::map<Control, bool> visible_;
  std::map<Control, bool> checked_;
  std::map<Control, std::string> text_;
  std::map<FileDialog, std::string> dialogFile_;
  int progress_ = 0;
};
