// Values every test shares: the block the programmer moves per ReadBlock and WriteBlock,
// and the instant the test clocks start from.
#pragma once

#include <cstddef>

inline constexpr size_t kBlock = 0x8000;

// 09:05:07 in the C locale the tests run in.
inline constexpr double kTestTime = (9 * 3600 + 5 * 60 + 7) / 86400.0;
inline constexpr const char* kStamp = "[09:05:07] ";
