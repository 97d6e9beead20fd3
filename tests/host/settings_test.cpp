#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "host/host_settings.h"

namespace {

using gp2x::host::Settings;
using gp2x::host::settings_from_env;

// Sets the given GP2X_* variables for one test and removes them after.
class EnvTest : public ::testing::Test {
 protected:
  void set(const char* name, const char* value) {
    setenv(name, value, 1);
    names_.push_back(name);
  }
  void TearDown() override {
    for (const std::string& n : names_) unsetenv(n.c_str());
  }
  std::vector<std::string> names_;
};

TEST_F(EnvTest, DefaultsAreAHeadlessVirtualRun) {
  Settings s;
  std::string error;
  ASSERT_TRUE(settings_from_env(&s, &error)) << error;
  EXPECT_TRUE(s.headless);
  EXPECT_TRUE(s.virtual_clock);
  EXPECT_EQ(s.battery, 1000);
  EXPECT_EQ(s.until_ms, -1);
}

TEST_F(EnvTest, ValuesAreRead) {
  set("GP2X_HEADLESS", "0");
  set("GP2X_SCALE", "2");
  set("GP2X_TIMER_START", "0xFFFFFF00");
  set("GP2X_BATTERY", "750");
  set("GP2X_SHOTS", "pics");
  set("GP2X_SHOT_AT", "100,50,2000");
  set("GP2X_UNTIL", "60000");
  set("GP2X_WAV", "out.wav");
  Settings s;
  std::string error;
  ASSERT_TRUE(settings_from_env(&s, &error)) << error;
  EXPECT_FALSE(s.headless);
  EXPECT_FALSE(s.virtual_clock);  // a window runs on real time
  EXPECT_EQ(s.scale, 2);
  EXPECT_EQ(s.timer_start, 0xFFFFFF00u);
  EXPECT_EQ(s.battery, 750);
  EXPECT_EQ(s.shot_at_ms, (std::vector<uint32_t>{100, 50, 2000}));
  EXPECT_EQ(s.shot_every_ms, 0u);
  EXPECT_EQ(s.until_ms, 60000);
  EXPECT_EQ(s.wav_path, "out.wav");
}

TEST_F(EnvTest, BadValuesNameTheVariable) {
  struct Case {
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {"GP2X_HEADLESS", "maybe"}, {"GP2X_CLOCK", "fast"},     {"GP2X_SCALE", "0"},
      {"GP2X_SCALE", "9"},        {"GP2X_TIMER_START", "-1"}, {"GP2X_TIMER_START", "0x100000000"},
      {"GP2X_BATTERY", "70000"},  {"GP2X_AUDIO", "loud"},     {"GP2X_SHOT_AT", "10,,20"},
      {"GP2X_UNTIL", "soon"},     {"GP2X_POLL_NS", "12abc"},
  };
  for (const Case& c : cases) {
    set(c.name, c.value);
    Settings s;
    std::string error;
    EXPECT_FALSE(settings_from_env(&s, &error)) << c.name << "=" << c.value;
    EXPECT_NE(error.find(c.name), std::string::npos) << error;
    unsetenv(c.name);
  }
  set("GP2X_SHOT_EVERY", "100");
  Settings s;
  std::string error;
  EXPECT_FALSE(settings_from_env(&s, &error));
  EXPECT_NE(error.find("GP2X_SHOTS"), std::string::npos) << error;
}

TEST_F(EnvTest, NumbersAreDecimalUnlessMarkedHex) {
  using Get = int64_t (*)(const Settings&);
  const Get until = [](const Settings& s) -> int64_t { return s.until_ms; };
  const Get poll = [](const Settings& s) -> int64_t { return s.poll_ns; };
  const Get timer = [](const Settings& s) -> int64_t { return s.timer_start; };
  struct Case {
    const char* name;
    const char* value;
    Get get;
    int64_t expected;
  };
  const Case cases[] = {
      {"GP2X_UNTIL", "0100", until, 100},       {"GP2X_UNTIL", "0", until, 0},
      {"GP2X_POLL_NS", "0999", poll, 999},      {"GP2X_TIMER_START", "0x1F", timer, 31},
      {"GP2X_TIMER_START", "0XfF", timer, 255}, {"GP2X_TIMER_START", "4294967295", timer, 4294967295},
  };
  for (const Case& c : cases) {
    set(c.name, c.value);
    Settings s;
    std::string error;
    ASSERT_TRUE(settings_from_env(&s, &error)) << c.name << "=" << c.value << ": " << error;
    EXPECT_EQ(c.get(s), c.expected) << c.name << "=" << c.value;
    unsetenv(c.name);
  }
}

TEST_F(EnvTest, ErrorsGiveTheRangeAndNameTheOptionTyped) {
  struct Case {
    const char* name;
    const char* value;
    const char* option_names;  // GP2X_OPTION_NAMES, as play.sh sets it; null: none
    const char* message;
  };
  const Case cases[] = {
      // A read that costs no time would hang every run that waits on the clock.
      {"GP2X_POLL_NS", "0", nullptr, "GP2X_POLL_NS=\"0\": expected nanoseconds from 1 to 1000000"},
      {"GP2X_SCALE", "9", nullptr, "GP2X_SCALE=\"9\": expected a whole number from 1 to 8"},
      {"GP2X_SCALE", "9", "GP2X_UNTIL=--until GP2X_SCALE=--scale",
       "--scale \"9\": expected a whole number from 1 to 8"},
      {"GP2X_UNTIL", "soon", "GP2X_UNTIL=--until", "--until \"soon\": expected a time in milliseconds from 0 to "},
      {"GP2X_BATTERY", "-3", "GP2X_BATTERY=--battery", "--battery \"-3\": expected full or a number from 0 to 65535"},
      {"GP2X_TIMER_START", "0x", nullptr, "GP2X_TIMER_START=\"0x\": expected a count from 0 to 4294967295"},
      // A variable that play.sh did not set keeps its own name.
      {"GP2X_EPOCH", "x", "GP2X_UNTIL=--until", "GP2X_EPOCH=\"x\": expected seconds from 0 to 2147483647"},
  };
  for (const Case& c : cases) {
    set(c.name, c.value);
    if (c.option_names) set("GP2X_OPTION_NAMES", c.option_names);
    Settings s;
    std::string error;
    EXPECT_FALSE(settings_from_env(&s, &error)) << c.name << "=" << c.value;
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
    unsetenv(c.name);
    unsetenv("GP2X_OPTION_NAMES");
  }
  set("GP2X_OPTION_NAMES", "GP2X_SHOT_EVERY=--shot-every GP2X_SHOTS=--shots");
  set("GP2X_SHOT_EVERY", "100");
  Settings s;
  std::string error;
  EXPECT_FALSE(settings_from_env(&s, &error));
  EXPECT_EQ(error, "GP2X_SHOT_AT and --shot-every need --shots, the folder for the pictures");
}

// play.sh checks its options' values before it builds, by the table the shell test reads
// too: the host must take and refuse the same values, with the same words.
TEST_F(EnvTest, TakesAndRefusesWhatPlayShDoes) {
  std::ifstream table(HOST_OPTION_TABLE);
  ASSERT_TRUE(table) << HOST_OPTION_TABLE;
  int rows = 0;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string option, variable, value, message;
    fields >> option >> variable >> value >> std::ws;
    std::getline(fields, message);
    ASSERT_FALSE(message.empty()) << line;
    ++rows;
    set(variable.c_str(), value.c_str());
    set("GP2X_OPTION_NAMES", (variable + "=" + option).c_str());
    Settings s;
    std::string error;
    if (message == "-") {
      EXPECT_TRUE(settings_from_env(&s, &error)) << line << ": " << error;
    } else {
      EXPECT_FALSE(settings_from_env(&s, &error)) << line;
      EXPECT_EQ(error, message) << line;
    }
    unsetenv(variable.c_str());
    unsetenv("GP2X_OPTION_NAMES");
  }
  EXPECT_GT(rows, 0);
}

}  // namespace
