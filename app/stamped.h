// Log lines that begin with the "[%s] " time stamp of the current time of day.
#pragma once

#include <string>

#include "app/app_context.h"
#include "app/log_text.h"

template <typename... Args>
std::string Stamped(const AppContext& ctx, const std::string& pattern, const Args&... args) {
  return LogText(pattern, {ctx.Now(), std::string(args)...});
}
