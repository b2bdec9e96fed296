// A window for the fuzz targets: every operation does nothing, message boxes are only
// counted by caption and their longest text noted, questions are answered with OK.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include "app/window_ops.h"

class SilentWindow : public WindowOps {
 public:
  int errorBoxes = 0;
  int warningBoxes = 0;
  int otherBoxes = 0;
  size_t longestText = 0;

  void ShowMessage(const std::string& text, const std::string& caption) override {
    longestText = std::max(longestText, text.size());
    if (caption == "Error")
      ++errorBoxes;
    else if (caption == "Warning")
      ++warningBoxes;
    else
      ++otherBoxes;
  }
  bool AskOkCancel(const std::string&, const std::string&) override {
    ++otherBoxes;
    return true;
  }
  std::optional<std::string> RunFileDialog(FileDialog) override { return std::nullopt; }
  std::string DialogFileName(FileDialog) const override { return {}; }
  void SetEnabled(Control, bool) override {}
  bool IsEnabled(Control) const override { return true; }
  void SetVisible(Control, bool) override {}
  bool IsVisible(Control) const override { return true; }
  void SetBackground(Control, SystemColour) override {}
  void SetTextColour(Control, Rgb) override {}
  std::string Text(Control) const override { return {}; }
  void SetText(Control, const std::string&) override {}
  bool IsChecked(Control) const override { return false; }
  void SetChecked(Control, bool) override {}
  void SetProgressPosition(int) override {}
  void SetProgressMaximum(int) override {}
  void StepProgress() override {}
  int ProgressPosition() const override { return 0; }
  void ProcessEvents() override {}
  void CloseWindow() override {}
};
