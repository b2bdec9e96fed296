#include "cli/console_host.h"

#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "flash/flash_session.h"

namespace {

// Written by the signal handlers, read by ProcessEvents and at the end of the run.
volatile std::sig_atomic_t cancelSignal = 0;

void OnCancelSignal(int) {
  cancelSignal = 1;
}

constexpr auto kStatusInterval = std::chrono::milliseconds(100);

const char* EscapeOf(LogColour colour) {
  switch (colour) {
    case LogColour::Red:
      return "\033[31m";
    case LogColour::Purple:
      return "\033[35m";
    case LogColour::Green:
      break;
  }
  return "\033[32m";
}

std::string MinutesSeconds(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

constexpr int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A line typed at a question; false at the end of input or when a stop signal came,
// which answers Cancel. The signals stay blocked between the look at the flag and the
// wait, and ppoll lets them in only while it waits: one that arrives in between ends the
// wait at once instead of being missed until a key is pressed.
bool ReadAnswer(std::string& answer) {
  answer.clear();
  sigset_t blocked;
  sigset_t waiting;
  sigemptyset(&blocked);
  for (int signal : kCancelSignals) sigaddset(&blocked, signal);
  sigprocmask(SIG_BLOCK, &blocked, &waiting);
  bool answered = false;
  char c = 0;
  while (!CancelSignalled()) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (ppoll(&input, 1, nullptr, &waiting) < 0) {
      if (errno == EINTR)
        continue;
      break;
    }
    if (read(STDIN_FILENO, &c, 1) != 1)
      break;
    if (c == '\n') {
      answered = true;
      break;
    }
    answer += c;
  }
  sigprocmask(SIG_SETMASK, &waiting, nullptr);
  return answered && !CancelSignalled();
}

}  // namespace

void InstallCancelSignals() {
  struct sigaction action {};
  action.sa_handler = OnCancelSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls go on: a write to a FIFO dump or to the events is never cut
  // short by Ctrl+C. The jobs look at the flag between blocks.
  action.sa_flags = SA_RESTART;
  for (int signal : kCancelSignals) sigaction(signal, &action, nullptr);
  // A reader that went away (a closed pipe or terminal) makes writes fail with EPIPE
  // instead of ending the run between two blocks.
  std::signal(SIGPIPE, SIG_IGN);
}

bool CancelSignalled() {
  return cancelSignal != 0;
}

std::string ConsoleHost::Paint(const std::string& text, LogColour colour) const {
  if (!settings_.colour)
    return text;
  return EscapeOf(colour) + text + "\033[0m";
}

void ConsoleHost::PrintLine(const LoggedLine& line) {
  if (settings_.quiet && line.colour != LogColour::Red)
    return;
  ClearStatus();
  std::fprintf(settings_.stream, "%s\n", Paint(line.text, line.colour).c_str());
}

void ConsoleHost::ClearStatus() {
  if (statusShown_) {
    std::fputs("\r\033[K", settings_.stream);
    statusShown_ = false;
  }
}

void ConsoleHost::ShowMessage(const std::string& text, const std::string& caption) {
  log.Flush();  // the lines before the box go out first
  if (onMessage)
    onMessage(ShownMessage{caption, text});
  ClearStatus();
  std::fprintf(settings_.stream, "%s\n", Paint(caption + ": " + text, LogColour::Red).c_str());
}

bool ConsoleHost::AskOkCancel(const std::string& text, const std::string& caption) {
  log.Flush();
  if (onMessage)
    onMessage(ShownMessage{caption, text});
  ClearStatus();
  const std::string question = caption + ": " + text;
  // Once a signal has asked to stop, nothing goes on: not even --yes answers OK.
  if (CancelSignalled()) {
    std::fprintf(settings_.stream, "%s\n",
                 Paint(question + " Cancel (interrupted)", LogColour::Red).c_str());
    return false;
  }
  if (settings_.answerYes) {
    if (!settings_.quiet)
      std::fprintf(settings_.stream, "%s OK (--yes)\n", question.c_str());
    return true;
  }
  if (!settings_.canAsk) {
    std::fprintf(
        settings_.stream, "%s\n",
        Paint(question + " Cancel (no terminal to ask on; --yes answers OK)", LogColour::Red)
            .c_str());
    return false;
  }
  std::fprintf(settings_.stream, "%s [ok/cancel] ", question.c_str());
  std::fflush(settings_.stream);
  std::string answer;
  const bool read = ReadAnswer(answer);
  for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool ok = read && (answer == "ok" || answer == "y" || answer == "yes");
  if (CancelSignalled())
    std::fputc('\n', settings_.stream);
  return ok && !CancelSignalled();
}

void ConsoleHost::StartProgress(int maximum) {
  position_ = 0;
  maximum_ = maximum;
  jobStart_ = Clock::now();
  if (onProgress)
    onProgress(position_, maximum_, 0.0);
}

void ConsoleHost::StepProgress() {
  ++position_;
  if (onProgress)
    onProgress(position_, maximum_,
               std::chrono::duration<double>(Clock::now() - jobStart_).count());
}

void ConsoleHost::ProcessEvents() {
  if (!settings_.statusLine || settings_.quiet)
    return;
  const auto now = Clock::now();
  if (runningJob) {
    std::string job = runningJob();
    if (job != job_) {
      job_ = std::move(job);
      maximum_ = 0;  // until the new job sets its own
      jobStart_ = now;
    }
  }
  if (now - lastDraw_ < kStatusInterval)
    return;
  lastDraw_ = now;
  DrawStatus();
}

void ConsoleHost::DrawStatus() {
  const double elapsed = std::chrono::duration<double>(Clock::now() - jobStart_).count();
  std::string status = job_;
  if (maximum_ > 0) {
    const int percent = position_ * 100 / maximum_;
    const double mbps =
        elapsed > 0 ? static_cast<double>(position_) * kBlockSize / elapsed / 1e6 : 0.0;
    char figures[96];
    std::snprintf(figures, sizeof figures, " %3d%%  %6.1f MB/s", percent, mbps);
    status += figures;
    if (position_ > 0)
      status += "  " + MinutesSeconds(elapsed * (maximum_ - position_) / position_) + " left";
  } else {
    status += "  " + MinutesSeconds(elapsed);
  }
  std::fprintf(settings_.stream, "\r\033[K%s", status.c_str());
  std::fflush(settings_.stream);
  statusShown_ = true;
}
