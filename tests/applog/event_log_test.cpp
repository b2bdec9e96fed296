#include "app/event_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string LineText(int n) {
  return "[12:00:00] line " + std::to_string(n);
}

// Colours cycle so that a wrong move of the colour with its text shows.
LogColour LineColour(int n) {
  static constexpr LogColour kCycle[] = {LogColour::Green, LogColour::Red, LogColour::Purple};
  return kCycle[n % 3];
}

void AppendNumbered(EventLog& log, int first, int last) {
  for (int n = first; n <= last; ++n) log.AppendLine(LineText(n), LineColour(n));
}

TEST(EventLog, StartsEmptyAndGreen) {
  const EventLog log;
  EXPECT_EQ(log.LineCount(), 0);
  for (int row = 0; row < EventLog::kRows; ++row) {
    EXPECT_EQ(log.Row(row).text, "");
    EXPECT_EQ(log.Row(row).colour, LogColour::Green);
  }
}

TEST(EventLog, FirstLineGoesToTheTopRow) {
  EventLog log;
  log.AppendLine("[09:00:00] Erase job selected", LogColour::Green);
  EXPECT_EQ(log.LineCount(), 1);
  EXPECT_EQ(log.Row(0).text, "[09:00:00] Erase job selected");
  EXPECT_EQ(log.Row(0).colour, LogColour::Green);
  EXPECT_EQ(log.Row(1).text, "");
}

TEST(EventLog, ThirtiethLineFillsTheBottomRow) {
  EventLog log;
  AppendNumbered(log, 1, 30);
  EXPECT_EQ(log.LineCount(), 30);
  for (int row = 0; row < 30; ++row) {
    EXPECT_EQ(log.Row(row).text, LineText(row + 1));
    EXPECT_EQ(log.Row(row).colour, LineColour(row + 1));
  }
}

TEST(EventLog, ThirtyFirstLineScrollsAndEveryLineKeepsItsColour) {
  EventLog log;
  AppendNumbered(log, 1, 31);
  EXPECT_EQ(log.LineCount(), 30);
  EXPECT_EQ(log.Row(0).text, LineText(2));  // line 1 is gone
  EXPECT_EQ(log.Row(29).text, LineText(31));
  for (int row = 0; row < 30; ++row) {
    EXPECT_EQ(log.Row(row).text, LineText(row + 2)) << "row " << row;
    EXPECT_EQ(log.Row(row).colour, LineColour(row + 2)) << "row " << row;
  }
}

TEST(EventLog, RedLineStaysRedAsItMovesUp) {
  EventLog log;
  AppendNumbered(log, 1, 29);
  log.AppendLine("[10:00:00] Operation cancelled", LogColour::Red);
  for (int n = 0; n < 20; ++n) log.AppendLine("ok", LogColour::Green);
  EXPECT_EQ(log.Row(9).text, "[10:00:00] Operation cancelled");
  EXPECT_EQ(log.Row(9).colour, LogColour::Red);
  EXPECT_EQ(log.Row(8).colour, LineColour(29));
  EXPECT_EQ(log.Row(10).colour, LogColour::Green);
}

TEST(EventLog, LineCountNeverPassesThirty) {
  EventLog log;
  for (int n = 1; n <= 300; ++n) {
    log.AppendLine(LineText(n), LineColour(n));
    ASSERT_EQ(log.LineCount(), std::min(n, 30));
  }
  EXPECT_EQ(log.Row(0).text, LineText(271));
  EXPECT_EQ(log.Row(29).text, LineText(300));
}

struct ReplaceCase {
  int appended;
  int rewrittenRow;  // 0-based
};

TEST(EventLog, ReplaceLastLineRewritesTheNewestRowOnly) {
  for (const ReplaceCase c :
       {ReplaceCase{1, 0}, ReplaceCase{5, 4}, ReplaceCase{30, 29}, ReplaceCase{40, 29}}) {
    EventLog log;
    AppendNumbered(log, 1, c.appended);
    const int countBefore = log.LineCount();
    log.ReplaceLastLine("Reading 42%", LogColour::Red);
    EXPECT_EQ(log.LineCount(), countBefore) << "after " << c.appended;
    EXPECT_EQ(log.Row(c.rewrittenRow).text, "Reading 42%") << "after " << c.appended;
    EXPECT_EQ(log.Row(c.rewrittenRow).colour, LogColour::Red) << "after " << c.appended;
    EXPECT_EQ(&log.Last(), &log.Row(c.rewrittenRow));
    const int firstShown = std::max(1, c.appended - 29);
    for (int row = 0; row < c.rewrittenRow; ++row) {
      EXPECT_EQ(log.Row(row).text, LineText(firstShown + row)) << "after " << c.appended;
      EXPECT_EQ(log.Row(row).colour, LineColour(firstShown + row)) << "after " << c.appended;
    }
    for (int row = c.rewrittenRow + 1; row < EventLog::kRows; ++row) {
      EXPECT_EQ(log.Row(row).text, "") << "after " << c.appended;
    }
  }
}

TEST(EventLog, ReplaceOnEmptyLogShowsInRowOneUncounted) {
  EventLog log;
  log.ReplaceLastLine("Checking 5%", LogColour::Purple);
  EXPECT_EQ(log.LineCount(), 0);
  EXPECT_EQ(log.Row(0).text, "Checking 5%");
  EXPECT_EQ(log.Row(0).colour, LogColour::Purple);

  log.AppendLine("[11:00:00] Start jobs", LogColour::Green);
  EXPECT_EQ(log.LineCount(), 1);
  EXPECT_EQ(log.Row(0).text, "[11:00:00] Start jobs");
  EXPECT_EQ(log.Row(0).colour, LogColour::Green);
  EXPECT_EQ(log.Row(1).text, "");
}

TEST(EventLog, SingleSpaceLineOccupiesARow) {
  EventLog log;
  log.AppendLine("[08:00:00] Start write from /tmp/a.bin", LogColour::Green);
  log.AppendLine(" ", LogColour::Green);
  EXPECT_EQ(log.LineCount(), 2);
  EXPECT_EQ(log.Row(1).text, " ");
  log.ReplaceLastLine("Writing 1%", LogColour::Green);
  EXPECT_EQ(log.Row(0).text, "[08:00:00] Start write from /tmp/a.bin");
  EXPECT_EQ(log.Row(1).text, "Writing 1%");
}

TEST(EventLog, VeryLongLineStaysWholeAndMovesUpWhole) {
  const std::string path = "/" + std::string(5000, 'p') + "/dump.bin";
  const std::string line = "[07:00:00] Start read to " + path;
  EventLog log;
  log.AppendLine(line, LogColour::Green);
  EXPECT_EQ(log.Row(0).text, line);
  AppendNumbered(log, 2, 30);
  EXPECT_EQ(log.Row(0).text, line);
  log.AppendLine("next", LogColour::Green);
  EXPECT_EQ(log.Row(0).text, LineText(2));
  AppendNumbered(log, 1, 1);
  log.AppendLine(line, LogColour::Red);
  EXPECT_EQ(log.Row(29).text, line);
  log.AppendLine("after", LogColour::Green);
  EXPECT_EQ(log.Row(28).text, line);
  EXPECT_EQ(log.Row(28).text.size(), line.size());
  EXPECT_EQ(log.Row(28).colour, LogColour::Red);
}

TEST(EventLog, TextIsCopied) {
  EventLog log;
  std::string text = "[06:00:00] Erase job selected";
  log.AppendLine(text, LogColour::Green);
  text = "changed by the caller";
  EXPECT_EQ(log.Row(0).text, "[06:00:00] Erase job selected");
}

TEST(EventLog, ObserverIsToldWhichRowsChanged) {
  EventLog log;
  std::vector<int> told;
  log.SetObserver([&](int row) { told.push_back(row); });

  log.ReplaceLastLine("x", LogColour::Green);  // empty log: row 1
  log.AppendLine("a", LogColour::Green);
  log.AppendLine("b", LogColour::Green);
  log.ReplaceLastLine("c", LogColour::Red);
  EXPECT_EQ(told, (std::vector<int>{0, 0, 1, 1}));

  told.clear();
  AppendNumbered(log, 3, 30);
  ASSERT_EQ(told.size(), 28u);
  EXPECT_EQ(told.front(), 2);
  EXPECT_EQ(told.back(), 29);

  told.clear();
  log.AppendLine("scrolls", LogColour::Green);
  log.ReplaceLastLine("rewritten", LogColour::Green);
  EXPECT_EQ(told, (std::vector<int>{EventLog::kAllRows, 29}));
}

}  // namespace
