#include "base/time_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

double TimeOfDay(int h, int m, double s) {
  return (h * 3600 + m * 60 + s) / 86400.0;
}

// The numbers of a time text in order, whatever the separator and any AM/PM mark.
std::vector<int> Fields(const std::string& text) {
  std::vector<int> fields;
  bool inNumber = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      if (!inNumber)
        fields.push_back(0);
      fields.back() = fields.back() * 10 + (c - '0');
      inNumber = true;
    } else {
      inNumber = false;
    }
  }
  return fields;
}

bool HasAmPm(const std::string& text) {
  return text.find("AM") != std::string::npos || text.find("PM") != std::string::npos ||
         text.find("am") != std::string::npos || text.find("pm") != std::string::npos;
}

// Sets LC_TIME for one test and puts the previous one back.
class TimeLocale {
 public:
  explicit TimeLocale(const char* name) {
    const char* previous = std::setlocale(LC_TIME, nullptr);
    previous_ = previous != nullptr ? previous : "C";
    ok_ = std::setlocale(LC_TIME, name) != nullptr;
  }
  ~TimeLocale() { std::setlocale(LC_TIME, previous_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string previous_;
  bool ok_ = false;
};

TEST(TimeText, FractionsOfASecondAreDropped) {
  const TimeLocale c("C");
  EXPECT_EQ(TimeText(TimeOfDay(9, 5, 7.9)), "09:05:07");  // not 09:05:08
  EXPECT_EQ(TimeText(TimeOfDay(23, 59, 59.999)), "23:59:59");
  EXPECT_EQ(TimeText(TimeOfDay(0, 0, 0.0)), "00:00:00");
  EXPECT_EQ(TimeText(0.5), "12:00:00");
  EXPECT_EQ(TimeText(TimeOfDay(14, 3, 27)), "14:03:27");
}

// Every second of the day, at its start, middle and end, reads as that second.
TEST(TimeText, EverySecondOfTheDay) {
  const TimeLocale c("C");
  for (int s = 0; s < 86400; ++s) {
    const std::vector<int> expected = {s / 3600, s / 60 % 60, s % 60};
    for (double fraction : {0.0, 0.5, 0.999}) {
      const std::string text = TimeText((s + fraction) / 86400.0);
      ASSERT_EQ(Fields(text), expected) << text << " for second " << s << " + " << fraction;
    }
  }
}

TEST(TimeText, WholeDaysAreIgnored) {
  const TimeLocale c("C");
  const double time = TimeOfDay(18, 30, 15.5);
  for (double days : {1.0, 2.0, 45000.0}) {
    EXPECT_EQ(TimeText(days + time), "18:30:15") << days << " days";
    EXPECT_EQ(Fields(TimeText(-(days + time))), (std::vector<int>{18, 30, 15})) << days;
  }
  EXPECT_EQ(TimeText(1.0), "00:00:00");
}

TEST(TimeText, NegativeValueIsShownByItsMagnitude) {
  const TimeLocale c("C");
  EXPECT_EQ(Fields(TimeText(-TimeOfDay(9, 5, 7.9))), (std::vector<int>{9, 5, 7}));
  EXPECT_EQ(Fields(TimeText(-TimeOfDay(14, 3, 27))), (std::vector<int>{14, 3, 27}));
}

struct DurationCase {
  double start, end;
  std::vector<int> fields;
};

TEST(TimeText, ElapsedTimeOfAJob) {
  const TimeLocale c("C");
  const std::vector<DurationCase> cases = {
      {TimeOfDay(10, 0, 0.25), TimeOfDay(10, 2, 3.25), {0, 2, 3}},
      {TimeOfDay(9, 59, 30), TimeOfDay(10, 1, 33), {0, 2, 3}},
      {TimeOfDay(23, 59, 0), TimeOfDay(0, 1, 3), {0, 2, 3}},  // across midnight
      {TimeOfDay(8, 0, 0), TimeOfDay(9, 30, 45), {1, 30, 45}},
      {TimeOfDay(12, 0, 0), TimeOfDay(12, 0, 0), {0, 0, 0}},  // an instant job
  };
  for (const auto& c : cases) {
    const std::string text = TimeText(ElapsedValue(c.start, c.end));
    EXPECT_EQ(Fields(text), c.fields) << text;
    EXPECT_FALSE(HasAmPm(text)) << text;
  }
  // Start minus end, worked out directly, reads the same.
  EXPECT_EQ(Fields(TimeText(TimeOfDay(10, 0, 0) - TimeOfDay(10, 2, 3))),
            (std::vector<int>{0, 2, 3}));
}

// en_US.UTF-8 (a 12-hour clock) built into a private folder with localedef and found
// through LOCPATH, so the test runs where only the C locales are installed.
class TwelveHourClock : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/time_text_locale_XXXXXX";
    if (mkdtemp(pattern) == nullptr)
      return;
    dir_ = pattern;
    const std::string command =
        "localedef -i en_US -f UTF-8 '" + dir_ + "/en_US.UTF-8' >/dev/null 2>&1";
    built_ = std::system(command.c_str()) == 0;
  }
  static void TearDownTestSuite() {
    if (!dir_.empty())
      std::filesystem::remove_all(dir_);
  }
  void SetUp() override {
    ASSERT_TRUE(built_) << "localedef of en_US.UTF-8 into " << dir_ << " failed";
    const char* previous = std::getenv("LOCPATH");
    if (previous != nullptr)
      previousLocPath_ = previous;
    setenv("LOCPATH", dir_.c_str(), 1);
    locale_.emplace("en_US.UTF-8");
    ASSERT_TRUE(locale_->ok()) << "en_US.UTF-8 not found in " << dir_;
  }
  void TearDown() override {
    locale_.reset();
    if (previousLocPath_)
      setenv("LOCPATH", previousLocPath_->c_str(), 1);
    else
      unsetenv("LOCPATH");
  }

 private:
  static inline std::string dir_;
  static inline bool built_ = false;
  std::optional<std::string> previousLocPath_;
  std::optional<TimeLocale> locale_;
};

TEST_F(TwelveHourClock, TimeOfDayCarriesTheLocaleMarker) {
  // 9 hours 5 minutes 7 seconds, morning; and 14:03:27 as 2 in the afternoon.
  const std::string morning = TimeText(TimeOfDay(9, 5, 7.9));
  EXPECT_EQ(Fields(morning), (std::vector<int>{9, 5, 7})) << morning;
  EXPECT_NE(morning.find("AM"), std::string::npos) << morning;
  const std::string afternoon = TimeText(TimeOfDay(14, 3, 27));
  EXPECT_EQ(Fields(afternoon), (std::vector<int>{2, 3, 27})) << afternoon;
  EXPECT_NE(afternoon.find("PM"), std::string::npos) << afternoon;
}

TEST_F(TwelveHourClock, DurationHasNoAmPm) {
  // Not "12:02:03 AM", as the locale's clock would put zero hours.
  const std::string duration = TimeText(ElapsedValue(TimeOfDay(10, 0, 0), TimeOfDay(10, 2, 3)));
  EXPECT_EQ(Fields(duration), (std::vector<int>{0, 2, 3})) << duration;
  EXPECT_FALSE(HasAmPm(duration)) << duration;
}

TEST(TimeText, LocalTimeOfDayIsAFractionOfADay) {
  const double now = LocalTimeOfDay();
  EXPECT_GE(now, 0.0);
  EXPECT_LT(now, 1.0);
}

}  // namespace
