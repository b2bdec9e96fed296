// The toolkit-free window behaviour on the scripted fake window: every check change runs
// its handler through DispatchClick, as the real window does, and the clock is fixed.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "app/core/form_logic.h"
#include "tests/support/fake_window.h"
#include "tests/support/test_constants.h"

using LogLines = std::vector<std::pair<std::string, LogColour>>;

class FormFixture : public ::testing::Test {
 protected:
  FormFixture() {
    ctx.now = [] { return kTestTime; };
    window.onClick = [this](Control c) { DispatchClick(ctx, c); };
  }

  // "[<time>] " as the fixed clock gives it.
  static std::string Stamp() { return "[" + TimeText(kTestTime) + "] "; }

  // The used log rows, top first.
  LogLines Lines() const {
    LogLines lines;
    for (int i = 0; i < ctx.log.LineCount(); ++i)
      lines.emplace_back(ctx.log.Row(i).text, ctx.log.Row(i).colour);
    return lines;
  }

  // Time-stamped Green lines, as the selection handlers write them.
  static LogLines Green(std::initializer_list<std::string> texts) {
    LogLines lines;
    for (const std::string& t : texts) lines.emplace_back(Stamp() + t, LogColour::Green);
    return lines;
  }

  FakeWindow window;
  AppContext ctx{window};
};
