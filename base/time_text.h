// Time values are real numbers of days; the fraction is the time of day (0.5 is noon).
#pragma once

#include <string>

// The local clock's time of day, without a date part.
double LocalTimeOfDay();

// Elapsed time between two times of day as the jobs show it: a negative value whose
// magnitude is the duration (a job that runs past midnight still gives its duration).
double ElapsedValue(double start, double end);

// Hours, minutes and seconds of a time value, fractions of a second dropped and whole
// days ignored. A time of day (sign bit clear) uses the locale's long time format; a
// negative value is a duration and is shown by its magnitude on a 24-hour clock with the
// locale's separator, so that a two-minute job never reads as "12:02:03 AM".
std::string TimeText(double value);
