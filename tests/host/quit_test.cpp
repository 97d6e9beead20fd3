// SIGINT, SIGTERM and the window's close button ask the program to quit; the layer does
// not end it, unless it has not ended a while after the request.
#include <csignal>
#include <unistd.h>

#include "host/host_runtime.h"
#include "tests/host/host_fixture.h"

namespace {

class QuitTest : public HostTest {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    settings_.quit_guard_ms = 0;  // the test process goes on after the request
    HostTest::SetUp();
  }
};

TEST_F(QuitTest, SignalsAskTheProgramToQuitAndItGoesOn) {
  struct Case {
    int signal;
    const char* told;
  };
  const Case cases[] = {{SIGTERM, "SIGTERM: the program is asked to quit"},
                        {SIGINT, "interrupted (SIGINT): the program is asked to quit"}};
  for (const Case& c : cases) {
    reconfigure();
    EXPECT_FALSE(gp2x::quit_requested());
    testing::internal::CaptureStderr();
    std::raise(c.signal);
    EXPECT_TRUE(gp2x::quit_requested()) << c.signal;
    gp2x::usleep(1000);  // the program goes on: its time moves, and it is told once
    gp2x::usleep(1000);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, std::string("gp2x host: ") + c.told + "\n");
    EXPECT_EQ(gp2x::host::now_ns(), 2000000u);
    EXPECT_TRUE(gp2x::quit_requested());
  }
  reconfigure();  // a layer started again has no request
  EXPECT_FALSE(gp2x::quit_requested());
}

TEST_F(QuitTest, AProgramThatDoesNotQuitIsEndedAfterTheGuardTime) {
  settings_.quit_guard_ms = 50;
  reconfigure();
  EXPECT_EXIT(
      {
        std::raise(SIGTERM);
        for (;;) ::pause();  // a program that never looks at the request
      },
      testing::ExitedWithCode(1), "did not quit within 0.05 s of the request; ended");
}

TEST_F(QuitTest, AProgramThatQuitsEndsCleanly) {
  settings_.quit_guard_ms = 60000;
  reconfigure();
  EXPECT_EXIT(
      {
        std::raise(SIGINT);
        if (gp2x::quit_requested()) gp2x::execl("/usr/gp2x/gp2xmenu", "/usr/gp2x/gp2xmenu", nullptr);
      },
      testing::ExitedWithCode(0), "hands over to \"/usr/gp2x/gp2xmenu\"");
}

}  // namespace
