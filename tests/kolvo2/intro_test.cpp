// The intro: loading one step a frame behind the splash, its minimum times on a fast
// machine and a slow one, the phases after it, and what a failed load does.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "kolvo2/intro.h"
#include "tests/kolvo2/screens_fixture.h"

namespace {

class Intro : public ::testing::Test {
 protected:
  void SetUp() override {
    uint32_t attach = MODULE_ATTACH;
    intro.Manage(w.screen, nullptr, &attach, reinterpret_cast<int32_t*>(&w.data), 0);
    status = MODULE_ENTER;
    intro.Manage(w.screen, &next, &status, keys, 0);
  }
  // A frame as the shell runs it: a pending skip makes it count 0 ms.
  uint32_t Frame(uint32_t ms) {
    if (w.data.skipnextelapsed) {
      w.data.skipnextelapsed = 0;
      ms = 0;
    }
    intro.Manage(w.screen, &next, &status, keys, ms);
    return ms;
  }

  GameWorld w;
  ClassIntro intro;
  uint32_t next = 0, status = MODULE_RUN;
  int32_t keys[KEYWORD_COUNT] = {};
};

// However long a frame takes, loading lasts 16 frames and 3.5 s at least, the splash 500
// ms of them; then 1024 ms of fade, 4096 ms of logo and 512 ms to black.
TEST_F(Intro, LoadingTakesItsMinimumsOnAnyMachine) {
  for (const uint32_t ms : {1u, 16u, 100u, 700u}) {
    SCOPED_TRACE(::testing::Message() << ms << " ms frames");
    GameWorld world;
    ClassIntro in;
    uint32_t attach = MODULE_ATTACH, st = MODULE_ENTER, nx = 0;
    in.Manage(world.screen, nullptr, &attach, reinterpret_cast<int32_t*>(&world.data), 0);
    in.Manage(world.screen, &nx, &st, keys, 0);
    WorkingDir folder(KOLVO2_DATA_DIR);
    uint32_t frames = 0, total = 0, splash = 0;
    while (in.phase == INTRO_LOADING && frames < 100000) {
      const uint8_t step = in.step;
      in.Manage(world.screen, &nx, &st, keys, ms);
      ++frames;
      if (frames > 1) total += ms;  // the first frame starts the count
      if (step == 3) splash += ms;
      ASSERT_NE(nx, MODULE_QUIT) << world.gfx.FailedName();
    }
    EXPECT_EQ(in.step, ClassIntro::STEPS);
    EXPECT_GE(frames, 16u);
    EXPECT_GE(total, ClassIntro::LOADING_MS);
    EXPECT_GE(splash, ClassIntro::SPLASH_MS);
    EXPECT_TRUE(world.data.skipnextelapsed);
  }
}

TEST_F(Intro, TheFirstFramesAreBlackThenTheSplashFadesInWithItsBar) {
  WorkingDir folder(KOLVO2_DATA_DIR);
  Frame(16);
  EXPECT_EQ(w.Brightness(0, 0, 320, 240), 0u);
  Frame(16);
  EXPECT_EQ(w.Brightness(0, 0, 320, 240), 0u);
  // The splash comes up from black while the loading waits on it.
  uint32_t last = 0;
  while (intro.step < ClassIntro::STEPS) {
    Frame(16);
    const uint32_t b = w.Brightness(0, 0, 320, 240);
    if (intro.step == 3) { EXPECT_GE(b, last); }
    last = b;
  }
  EXPECT_GT(last, 40u);
  // All 16 steps: the bar fills its frame; the frame's outline is black too.
  EXPECT_EQ(w.Brightness(36, 201, 284, 215), 0u);
  EXPECT_GT(w.Brightness(0, 0, 320, 190), 20u);
}

TEST_F(Intro, TheBarGrowsAStepAtATime) {
  WorkingDir folder(KOLVO2_DATA_DIR);
  while (intro.step < 5) Frame(16);
  // Step 5 done of 16: (35, 200) to (35 + 5 * 250 / 16, 216) is black; the splash wait is
  // over by then, so the rest of the bar shows the picture.
  const int32_t end = 35 + 5 * 250 / 16;
  EXPECT_EQ(w.Brightness(36, 201, end, 215), 0u);
  EXPECT_GT(w.Brightness(end + 1, 201, 284, 215), 40u);
}

TEST_F(Intro, AfterLoadingTheLogoFliesAndTheTitleFollows) {
  WorkingDir folder(KOLVO2_DATA_DIR);
  uint32_t time = 0;
  while (intro.phase == INTRO_LOADING) time += Frame(16);
  EXPECT_EQ(intro.phase, INTRO_FADEIN);
  uint32_t fade = 0;
  while (intro.phase == INTRO_FADEIN) fade += Frame(16);
  EXPECT_GE(fade, 1024u);
  EXPECT_LT(fade, 1024u + 16u);
  uint32_t logo = 0;
  while (intro.phase == INTRO_LOGO) logo += Frame(16);
  EXPECT_GE(logo, 4096u);
  EXPECT_LT(logo, 4096u + 32u);
  uint32_t out = 0;
  while (next == 0) out += Frame(16);
  EXPECT_EQ(next, 1u);
  EXPECT_EQ(status, MODULE_ENTER);
  EXPECT_GE(out, 512u);
  EXPECT_LT(w.Brightness(0, 0, 320, 240), 10u) << "faded to black";
}

// A picture missing ends the program; packs of sound missing leave it silent.
TEST_F(Intro, AFailedPictureEndsTheProgramAndMissingSoundDoesNot) {
  TempDir silent;
  ASSERT_EQ(mkdir((silent.path() + "/res").c_str(), 0755), 0);
  ASSERT_EQ(symlink((std::string(KOLVO2_DATA_DIR) + "/res/gfx.zpk").c_str(),
                    (silent.path() + "/res/gfx.zpk").c_str()),
            0);
  {
    WorkingDir folder(silent.path());
    ::testing::internal::CaptureStderr();
    while (intro.phase == INTRO_LOADING && next == 0) Frame(100);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(next, 0u);
    EXPECT_EQ(intro.phase, INTRO_FADEIN);
    EXPECT_EQ(w.sound.SfxFound(), 0u);
    for (const char* pack : {"res/sfx.zpk", "res/bgm.zpk"})
      EXPECT_NE(said.find(std::string("cannot open ") + pack + ": missing"), std::string::npos) << said;
  }
  TempDir empty;
  GameWorld world;
  ClassIntro in;
  uint32_t attach = MODULE_ATTACH, st = MODULE_ENTER, nx = 0;
  in.Manage(world.screen, nullptr, &attach, reinterpret_cast<int32_t*>(&world.data), 0);
  in.Manage(world.screen, &nx, &st, keys, 0);
  WorkingDir folder(empty.path());
  ::testing::internal::CaptureStderr();
  for (int i = 0; i < 5 && nx == 0; ++i) in.Manage(world.screen, &nx, &st, keys, 16);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(nx, MODULE_QUIT);
  EXPECT_NE(said.find("res/gfx.zpk"), std::string::npos) << said;
}

}  // namespace
