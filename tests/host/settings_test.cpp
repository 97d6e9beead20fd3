#include <cstdlib>
#include <gtest/gtest.h>
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

}  // namespace
