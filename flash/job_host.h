// What the jobs need from the front end that runs them: the event log, the operator's
// message boxes and questions, the progress bar, a moment to handle what is pending (a
// click on Cancel, a signal), and the boxes that show the digests of the last read. The
// window and the terminal each implement it; no job knows which one is behind it.
#pragma once

#include <string>

#include "base/log_colour.h"

// The three digests a read or check shows.
enum class DigestKind { MD5, SHA1, CRC };

class JobHost {
 public:
  virtual ~JobHost() = default;

  // The event log: a new line at the bottom, or the newest line rewritten in place.
  virtual void AppendLine(const std::string& text, LogColour colour) = 0;
  virtual void ReplaceLastLine(const std::string& text, LogColour colour) = 0;

  // A modal message box with one OK button.
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
  // A modal question with OK and Cancel; true only for OK.
  virtual bool AskOkCancel(const std::string& text, const std::string& caption) = 0;

  // The progress of a block job: from 0 of `maximum` steps, one step per block; back to 0
  // between jobs.
  virtual void StartProgress(int maximum) = 0;
  virtual void StepProgress() = 0;
  virtual void ResetProgress() = 0;

  // Lets the front end handle what is pending; a Cancel sets the context's cancel flag.
  virtual void ProcessEvents() = 0;
  // A stop the operator asked for that is seen at once, without processing events (a
  // signal to a terminal program). The window sees its Cancel click only when it processes
  // events, and answers false.
  virtual bool CancelPending() const = 0;

  // Shows one digest of the last read or check (the empty text clears it).
  virtual void ShowDigest(DigestKind digest, const std::string& text) = 0;
};
