#include "base/time_text.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <ctime>

namespace {

constexpr double kSecondsPerDay = 86400.0;

std::string FormatTm(const char* format, const std::tm& tm) {
  char buffer[128];
  const size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
  return std::string(buffer, n);
}

// The separator the locale puts between hours and minutes.
std::string LocaleTimeSeparator() {
  std::tm probe{};
  probe.tm_hour = 13;
  probe.tm_min = 14;
  probe.tm_sec = 15;
  const std::string text = FormatTm("%X", probe);
  const size_t first = text.find("14");
  if (first == std::string::npos || first == 0)
    return ":";
  size_t begin = first;
  while (begin > 0 && !std::isdigit(static_cast<unsigned char>(text[begin - 1]))) --begin;
  const std::string sep = text.substr(begin, first - begin);
  return sep.empty() ? ":" : sep;
}

std::string TwoDigits(int v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

}  // namespace

double LocalTimeOfDay() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  const auto sub = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                         static_cast<double>(sub) / 1000.0;
  return seconds / kSecondsPerDay;
}

double ElapsedValue(double start, double end) {
  double duration = end - start;
  if (duration < 0)
    duration += 1.0;  // ran past midnight
  return -duration;   // -0.0 for an instant job: still a duration
}

std::string TimeText(double value) {
  const double magnitude = std::fabs(value);
  const double fraction = magnitude - std::floor(magnitude);
  // A small allowance so that 7.0 s worked out through days is not shown as 6 s.
  long total = static_cast<long>(std::floor(fraction * kSecondsPerDay + 1e-4));
  total %= 86400;
  std::tm tm{};
  tm.tm_hour = static_cast<int>(total / 3600);
  tm.tm_min = static_cast<int>(total / 60 % 60);
  tm.tm_sec = static_cast<int>(total % 60);
  if (!std::signbit(value))
    return FormatTm("%X", tm);
  const std::string sep = LocaleTimeSeparator();
  return std::to_string(tm.tm_hour) + sep + TwoDigits(tm.tm_min) + sep + TwoDigits(tm.tm_sec);
}
