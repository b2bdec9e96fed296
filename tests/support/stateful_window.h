// A window without a toolkit that keeps every control's state the way the real one does:
// edit boxes fold to lower case, a change of a check mark runs the click handler, checking
// a radio button unchecks its partner first, the progress bar stays inside its range, and
// a file dialog remembers the last path chosen. The test fake, the benchmarks' window and
// the fuzzers' window build on it and add only how they answer boxes and dialogs.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/window_ops.h"

class StatefulWindow : public WindowOps {
 public:
  // As the window is created, before its first show.
  StatefulWindow();

  std::function<void(Control)> onClick;   // the click handler of the checkable controls
  std::function<void()> onProcessEvents;  // what the pending events do (a Cancel click)

  std::map<Control, SystemColour> background;  // edit boxes only
  std::map<Control, Rgb> textColour;
  int progressMaximum = 2048;
  int processEventsCalls = 0;
  bool closed = false;

  // Cancelled unless a derived window answers.
  std::optional<std::string> RunFileDialog(FileDialog) override { return std::nullopt; }
  std::string DialogFileName(FileDialog dialog) const override {
    return dialogFiles_.at(static_cast<size_t>(dialog));
  }
  void SetEnabled(Control control, bool enabled) override { At(control).enabled = enabled; }
  bool IsEnabled(Control control) const override { return At(control).enabled; }
  void SetVisible(Control control, bool visible) override { At(control).visible = visible; }
  bool IsVisible(Control control) const override { return At(control).visible; }
  void SetBackground(Control control, SystemColour colour) override {
    background[control] = colour;
  }
  void SetTextColour(Control control, Rgb colour) override { textColour[control] = colour; }
  std::string Text(Control control) const override { return At(control).text; }
  void SetText(Control control, const std::string& text) override;
  bool IsChecked(Control control) const override { return At(control).checked; }
  void SetChecked(Control control, bool checked) override;
  void SetProgressPosition(int position) override;
  void SetProgressMaximum(int maximum) override;
  void StepProgress() override { SetProgressPosition(progress_ + 1); }
  int ProgressPosition() const override { return progress_; }
  void ProcessEvents() override;
  void CloseWindow() override { closed = true; }

 protected:
  // An answered dialog keeps its path as its file name.
  void RememberFile(FileDialog dialog, const std::string& path) {
    dialogFiles_.at(static_cast<size_t>(dialog)) = path;
  }

 private:
  struct ControlState {
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    std::string text;
  };
  static constexpr size_t kControlCount = static_cast<size_t>(Control::lblAGI) + 1;

  ControlState& At(Control c) { return controls_[static_cast<size_t>(c)]; }
  const ControlState& At(Control c) const { return controls_[static_cast<size_t>(c)]; }

  std::array<ControlState, kControlCount> controls_{};
  std::array<std::string, 3> dialogFiles_{};
  int progress_ = 0;
};
