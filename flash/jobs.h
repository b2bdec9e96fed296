// The flash jobs of a Start sequence. Each returns 0 for success and 0xFF (255) for
// failure, having written its own Red line.
#pragma once

#include <cstdint>

struct AppContext;

uint8_t ReadCheckJob(AppContext& ctx);
uint8_t EraseJob(AppContext& ctx);
uint8_t EraseFlash(AppContext& ctx);
uint8_t WriteJob(AppContext& ctx);

// The hidden bench diagnostic behind the Test! button; it fails when the status file
// cannot be made or written, or the programmer is not identified.
uint8_t StatusTest(AppContext& ctx);
