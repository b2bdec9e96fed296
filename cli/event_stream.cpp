#include "cli/event_stream.h"

#include <nlohmann/json.hpp>

#include "cli/json_report.h"
#include "flash/flash_session.h"

using json = nlohmann::ordered_json;

void EventStream::Write(const std::string& text) {
  if (out_ == nullptr)
    return;
  std::fputs(text.c_str(), out_);
  std::fputc('\n', out_);
  // A reader that went away takes no more lines; the run goes on without it.
  if (std::fflush(out_) != 0)
    out_ = nullptr;
}

void EventStream::Line(const LoggedLine& line) {
  Write(json{{"event", "line"},
             {"time", line.time},
             {"colour", ColourName(line.colour)},
             {"text", line.text}}
            .dump(-1, ' ', false, json::error_handler_t::replace));
}

void EventStream::JobStarted(const JobRecord& job) {
  lastPercent_ = -1;
  Write(json{{"event", "job_start"},
             {"job", job.name},
             {"file", job.file.empty() ? json(nullptr) : json(job.file)}}
            .dump(-1, ' ', false, json::error_handler_t::replace));
}

void EventStream::JobEnded(const JobRecord& job) {
  Write(json{{"event", "job_end"},
             {"job", job.name},
             {"result", OutcomeWord(job)},
             {"failure", FailureJson(job.Failure())},
             {"bytes", job.result.bytes},
             {"seconds", job.seconds}}
            .dump(-1, ' ', false, json::error_handler_t::replace));
}

void EventStream::Message(const ShownMessage& message) {
  Write(json{{"event", "message"}, {"caption", message.caption}, {"text", message.text}}.dump(
      -1, ' ', false, json::error_handler_t::replace));
}

void EventStream::Progress(const std::string& job, int position, int maximum, double seconds) {
  if (out_ == nullptr || maximum <= 0)
    return;
  const int percent = static_cast<int>(static_cast<int64_t>(position) * 100 / maximum);
  if (percent == lastPercent_)
    return;
  lastPercent_ = percent;
  const double bytes = static_cast<double>(position) * kBlockSize;
  // Neither is known before the first block is in.
  const bool measured = position > 0 && seconds > 0;
  Write(json{
      {"event", "progress"},
      {"job", job},
      {"percent", percent},
      {"bytes", static_cast<uint64_t>(bytes)},
      {"bytes_per_second", measured ? json(bytes / seconds) : json(nullptr)},
      {"seconds_left", measured ? json(seconds * (maximum - position) / position) : json(nullptr)}}
            .dump(-1, ' ', false, json::error_handler_t::replace));
}

void EventStream::End(int exitCode) {
  Write(json{{"event", "end"}, {"exit_code", exitCode}}.dump());
}

void EventStream::Retry(const RetryRecord& retry) {
  Write(json{{"event", "retry"},
             {"job", retry.job},
             {"block", retry.block},
             {"reason", retry.reason},
             {"try", retry.attempt}}
            .dump());
}
