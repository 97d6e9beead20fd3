#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <linux/fb.h>
#include <string>
#include <vector>

#include "host/gp2x_buttons.h"
#include "host/host_input.h"
#include "tests/host/host_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace gp2x;  // host:: controls
namespace b = gp2x::buttons;

TEST(ButtonScript, ReadsTimesAndButtons) {
  const std::string text =
      "# start the game\n"
      "0 none\n"
      "500   start      # press start\n"
      "600 none\r\n"
      "\n"
      "1000 a+b up left\n"
      "1000 up-left UP\n"
      "2000 vol- vol++push select\n"
      "2500\tdownright x y l r\n"
      "3000 up down right\n";
  std::vector<host::ScriptEvent> events;
  std::string error;
  ASSERT_TRUE(host::parse_button_script(text, &events, &error)) << error;
  const std::vector<std::pair<uint64_t, uint32_t>> expected = {
      {0, 0},
      {500, b::kStart},
      {600, 0},
      {1000, b::kA | b::kB | b::kUpLeft},
      {1000, b::kUpLeft | b::kUp},
      {2000, b::kVolDown | b::kVolUp | b::kPush | b::kSelect},
      {2500, b::kDownRight | b::kX | b::kY | b::kL | b::kR},
      {3000, b::kRight},
  };
  ASSERT_EQ(events.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(events[i].ms, expected[i].first) << i;
    EXPECT_EQ(events[i].buttons, expected[i].second) << i;
  }
}

TEST(ButtonScript, BadLinesAreNamed) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"0 none\n100 jump\n", "line 2: unknown button \"jump\""},
      {"abc start\n", "line 1: expected a time in milliseconds first"},
      {"-5 start\n", "line 1: expected a time"},
      {"100 a\n50 b\n", "line 2: time goes back"},
      {"# fine\n100\n", "line 2: no buttons"},
      {"100 none a\n", "line 1: \"none\" together with buttons"},
      {"99999999999999 a\n", "line 1: expected a time"},
  };
  for (const Case& c : cases) {
    std::vector<host::ScriptEvent> events;
    std::string error;
    EXPECT_FALSE(host::parse_button_script(c.text, &events, &error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

// The scripts shipped as examples (host/README.md, README.md) read as they are.
TEST(ButtonScript, ShippedExamplesRead) {
  int scripts = 0;
  for (const auto& entry : std::filesystem::directory_iterator(HOST_EXAMPLES)) {
    if (entry.path().extension() != ".txt") continue;
    ++scripts;
    std::ifstream in(entry.path());
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::vector<host::ScriptEvent> events;
    std::string error;
    EXPECT_TRUE(host::parse_button_script(text, &events, &error)) << entry.path() << ": " << error;
    EXPECT_FALSE(events.empty()) << entry.path();
  }
  EXPECT_GT(scripts, 0);
}

class ScriptedRunTest : public HostTest {
 protected:
  std::string write_script(const std::string& text) {
    EXPECT_FALSE(dir_.path().empty());
    const std::string name = dir_ / ("script" + std::to_string(scripts_++));
    std::ofstream(name) << text;
    return name;
  }
  TempDir dir_;
  int scripts_ = 0;
};

TEST_F(ScriptedRunTest, ButtonsFollowTheScriptOverVirtualTime) {
  settings_.script_path = write_script("100 a\n250 up left start\n400 none\n");
  reconfigure();
  struct Step {
    uint32_t at_ms;
    uint16_t port_m, port_c;
  };
  const Step steps[] = {{0, 0xFFFF, 0xFFFF},   {99, 0xFFFF, 0xFFFF}, {100, 0xFFFF, 0xEFFF},
                        {250, 0xFFFD, 0xFEFF}, {399, 0xFFFD, 0xFEFF}, {400, 0xFFFF, 0xFFFF}};
  for (const Step& s : steps) {
    gp2x::usleep(static_cast<uint32_t>(s.at_ms * 1000 - host::now_ns() / 1000));
    EXPECT_EQ(reg16(0x1198), s.port_m) << s.at_ms;
    EXPECT_EQ(reg16(0x1184), s.port_c) << s.at_ms;
  }
}

// A line that holds a button for less than the time between two reads still reaches the
// program: the press is read, and kept through the frame it was read in; long after the
// last frame, each change is read once.
TEST_F(ScriptedRunTest, PressesBetweenTwoReadsAreRead) {
  settings_.script_path =
      write_script("100 a\n101 none\n300 b\n400 none\n500 x\n501 y\n502 none\n700 a\n701 none\n");
  reconfigure();
  const int fb0 = gp2x::open("/dev/fb0", O_RDWR);
  ASSERT_GT(fb0, 0);
  struct Read {
    uint32_t at_ms;
    bool frame_before;  // the program completes a frame just before
    uint16_t port_c;
  };
  const Read reads[] = {
      {50, true, 0xFFFF},   {150, true, 0xEFFF},  {150, false, 0xEFFF}, {200, true, 0xFFFF},
      {350, true, 0xDFFF},  {399, true, 0xDFFF},  {450, true, 0xFFFF},  {600, true, 0x3FFF},
      {600, true, 0xFFFF},  {750, false, 0xEFFF}, {750, false, 0xFFFF},
  };
  for (const Read& r : reads) {
    if (const uint64_t at = r.at_ms * 1000000ull; at > host::now_ns())
      gp2x::usleep(static_cast<uint32_t>((at - host::now_ns()) / 1000));
    if (r.frame_before) {
      fb_var_screeninfo v{};
      ASSERT_EQ(gp2x::ioctl(fb0, FBIOGET_VSCREENINFO, &v), 0);
    }
    EXPECT_EQ(reg16(0x1184), r.port_c) << r.at_ms;
  }
  gp2x::close(fb0);
}

TEST_F(ScriptedRunTest, BadScriptStopsTheRunNamingTheLine) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  settings_.script_path = write_script("100 a\n200 turbo\n");
  EXPECT_EXIT(host::configure(settings_), testing::ExitedWithCode(2), "line 2: unknown button \"turbo\"");
  settings_.script_path = "/nonexistent/script.txt";
  EXPECT_EXIT(host::configure(settings_), testing::ExitedWithCode(2),
              "cannot read the button script \"/nonexistent/script.txt\"");
  // A folder opens as a stream that reads nothing, which would pass for an empty script.
  settings_.script_path = "/tmp";
  EXPECT_EXIT(host::configure(settings_), testing::ExitedWithCode(2),
              "cannot read the button script \"/tmp\": it is a folder");
}

}  // namespace
