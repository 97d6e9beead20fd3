#include <climits>
#include <unistd.h>

#include "tests/host/host_fixture.h"

namespace {

using namespace gp2x;  // host:: and the register accessors

class HandoverTest : public HostTest {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    HostTest::SetUp();
  }
};

TEST_F(HandoverTest, MenuHandOverEndsTheProgramCleanly) {
  EXPECT_EXIT(gp2x::execl("/usr/gp2x/gp2xmenu", "/usr/gp2x/gp2xmenu", nullptr), testing::ExitedWithCode(0),
              "hands over to \"/usr/gp2x/gp2xmenu\"");
  EXPECT_EXIT(gp2x::execl("./ora.lvl", "./ora.lvl", nullptr), testing::ExitedWithCode(0), "\"./ora.lvl\"");
}

TEST_F(HandoverTest, NamedProgramRunsInstead) {
  settings_.exec_program = "/bin/sh";
  reconfigure();
  EXPECT_EXIT(gp2x::execl("/usr/gp2x/gp2xmenu", "gp2xmenu", "-c", "exit 7", nullptr), testing::ExitedWithCode(7), "");
}

TEST_F(HandoverTest, ConsoleFolderChangeIsRecordedNotMade) {
  char before[PATH_MAX], after[PATH_MAX];
  ASSERT_TRUE(getcwd(before, sizeof before));
  EXPECT_EQ(gp2x::chdir("/usr/gp2x"), 0);
  ASSERT_TRUE(getcwd(after, sizeof after));
  EXPECT_STREQ(before, after);
  EXPECT_EQ(host::recorded_chdir(), "/usr/gp2x");
  EXPECT_EQ(gp2x::chdir("/nonexistent/folder"), -1);  // others are real
}

TEST_F(HandoverTest, RunEndsAtTheGivenTime) {
  settings_.until_ms = 50;
  reconfigure();
  gp2x::usleep(40000);
  EXPECT_EXIT(gp2x::usleep(20000), testing::ExitedWithCode(0), "run ended at 50 ms");
}

}  // namespace
