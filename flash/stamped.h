// Log lines that begin with the "[%s] " time stamp of the current time of day.
#pragma once

#include <string>

#include "base/log_text.h"
#include "flash/job_context.h"

template <typename... Args>
std::string Stamped(const JobContext& ctx, const std::string& pattern, const Args&... args) {
  return LogText(pattern, {ctx.Now(), std::string(args)...});
}
