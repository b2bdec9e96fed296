// The jobs' host in the window: log lines go to the event log, boxes and the progress bar
// to the window's controls, the digests to MD5_result, SHA1_result and CRC_result.
#pragma once

#include "app/event_log.h"
#include "app/window_ops.h"
#include "flash/job_host.h"

class WindowJobHost : public JobHost {
 public:
  explicit WindowJobHost(WindowOps& w) : window(w) {}

  WindowOps& window;
  EventLog log;

  void AppendLine(const std::string& text, LogColour colour) override {
    log.AppendLine(text, colour);
  }
  void ReplaceLastLine(const std::string& text, LogColour colour) override {
    log.ReplaceLastLine(text, colour);
  }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    window.ShowMessage(text, caption);
  }
  bool AskOkCancel(const std::string& text, const std::string& caption) override {
    return window.AskOkCancel(text, caption);
  }
  void StartProgress(int maximum) override {
    window.SetProgressPosition(0);
    window.SetProgressMaximum(maximum);
  }
  void StepProgress() override { window.StepProgress(); }
  void ResetProgress() override { window.SetProgressPosition(0); }
  void ProcessEvents() override { window.ProcessEvents(); }
  // A click on Cancel is seen only when the window processes its events.
  bool CancelPending() const override { return false; }
  void ShowDigest(DigestKind digest, const std::string& text) override;
};
