// A window without a toolkit that does what the real one does per call: it keeps every
// control's state, clamps and steps the progress bar, and copies each log row the event
// log changes into its own row (the real window sets a label's text and colour there).
// File dialogs answer with a path given in advance; message boxes are recorded.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/event_log.h"
#include "app/window_ops.h"

class HeadlessWindow : public WindowOps {
 public:
  HeadlessWindow();

  // Shows `log` in the window's rows from now on.
  void ShowLog(EventLog& log);

  std::function<void(Control)> onClick;   // the click handler of the checkable controls
  std::function<void()> onProcessEvents;  // what the pending events do (a Cancel click)
  std::function<void(const EventLog::Entry&)> onRowShown;  // after a row was brought up to date
  std::optional<std::string> dialogAnswer;
  std::vector<std::string> messages;
  int rowUpdates = 0;

  const EventLog::Entry& ShownRow(int row) const { return rows_.at(static_cast<size_t>(row)); }

  void ShowMessage(const std::string& text, const std::string& caption) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  std::optional<std::string> RunFileDialog(FileDialog dialog) override;
  std::string DialogFileName(FileDialog dialog) const override;
  void SetEnabled(Control control, bool enabled) override { At(control).enabled = enabled; }
  bool IsEnabled(Control control) const override { return At(control).enabled; }
  void SetVisible(Control control, bool visible) override { At(control).visible = visible; }
  bool IsVisible(Control control) const override { return At(control).visible; }
  void SetBackground(Control control, SystemColour colour) override {
    At(control).background = colour;
  }
  void SetTextColour(Control control, Rgb colour) override { At(control).textColour = colour; }
  std::string Text(Control control) const override { return At(control).text; }
  void SetText(Control control, const std::string& text) override;
  bool IsChecked(Control control) const override { return At(control).checked; }
  void SetChecked(Control control, bool checked) override;
  void SetProgressPosition(int position) override;
  void SetProgressMaximum(int maximum) override;
  void StepProgress() override { SetProgressPosition(progress_ + 1); }
  int ProgressPosition() const override { return progress_; }
  void ProcessEvents() override;
  void CloseWindow() override { closed_ = true; }

 private:
  struct ControlState {
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    SystemColour background = SystemColour::ButtonFace;
    Rgb textColour{};
    std::string text;
  };
  static constexpr size_t kControlCount = static_cast<size_t>(Control::lblAGI) + 1;

  ControlState& At(Control c) { return controls_[static_cast<size_t>(c)]; }
  const ControlState& At(Control c) const { return controls_[static_cast<size_t>(c)]; }
  void ShowRow(int row);

  std::array<ControlState, kControlCount> controls_{};
  std::array<std::string, 3> dialogFiles_{};
  std::array<EventLog::Entry, EventLog::kRows> rows_{};
  const EventLog* log_ = nullptr;
  int progress_ = 0;
  int progressMaximum_ = 2048;
  bool closed_ = false;
};
