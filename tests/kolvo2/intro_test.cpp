// The intro: loading one step a frame behind the splash, its minimum times on a fast
// machine and a slow one, the phases after it, and what a failed load does; the loading
// step and the logo picture on their own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "kolvo2/intro.h"
#include "tests/kolvo2/data_folder.h"
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

// Loaded before the first frame, the intro shows every frame as it does loading a step a
// frame, to the hand-over to the title; a pack that fails at a step fails in that frame.
TEST_F(Intro, LoadedAheadEveryFrameIsTheSame) {
  struct Case {
    const char* missing;  // an entry left out of the pack, or "" for the game's own
    uint32_t ms;
  };
  for (const Case& c : {Case{"", 16}, Case{"", 700}, Case{"gmask.bmp", 16}}) {
    SCOPED_TRACE(::testing::Message() << "missing '" << c.missing << "', " << c.ms << " ms");
    std::unique_ptr<DataFolder> data;
    if (*c.missing) data = std::make_unique<DataFolder>(c.missing);
    WorkingDir folder(data ? data->path() : std::string(KOLVO2_DATA_DIR));
    GameWorld world[2];
    ClassIntro in[2];
    uint32_t next[2] = {0, 0}, status[2] = {MODULE_ENTER, MODULE_ENTER};
    for (int k = 0; k < 2; ++k) {
      uint32_t attach = MODULE_ATTACH;
      in[k].Manage(world[k].screen, nullptr, &attach, reinterpret_cast<int32_t*>(&world[k].data), 0);
    }
    in[1].LoadAhead();
    uint32_t frames = 0;
    for (; frames < 2000 && next[0] == 0; ++frames) {
      for (int k = 0; k < 2; ++k) {
        uint32_t ms = c.ms;
        if (world[k].data.skipnextelapsed) {
          world[k].data.skipnextelapsed = 0;
          ms = 0;
        }
        in[k].Manage(world[k].screen, &next[k], &status[k], keys, ms);
      }
      ASSERT_EQ(next[1], next[0]) << "frame " << frames;
      ASSERT_EQ(in[1].step, in[0].step) << "frame " << frames;
      uint32_t wrong = 0;
      for (int32_t y = 0; y < 240; ++y)
        for (int32_t x = 0; x < 320; ++x) wrong += world[0].Pixel(x, y) != world[1].Pixel(x, y);
      ASSERT_EQ(wrong, 0u) << "frame " << frames;
    }
    EXPECT_EQ(next[0], *c.missing ? MODULE_QUIT : 1u);
    EXPECT_GT(frames, 16u);
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

// The loading step alone: one step a call, the splash's step held until 500 ms have
// added up there, the effects and the music loaded with their steps, and nothing left to
// do after the last.
TEST_F(Intro, ScriptLoadTakesOneStepACallAndHoldsTheSplash) {
  WorkingDir folder(KOLVO2_DATA_DIR);
  intro.introtime = intro.splashwait = 1234;  // left from an earlier run: step 0 starts over
  std::vector<uint32_t> calls(ClassIntro::STEPS, 0);
  while (intro.step < ClassIntro::STEPS) {
    const uint8_t step = intro.step;
    ASSERT_EQ(intro.ScriptLoad(16), 1) << w.gfx.FailedName();
    ++calls[step];
    if (step == 0) {
      EXPECT_EQ(intro.introtime, 0u);
    }
    if (step == 10) {
      EXPECT_GT(w.sound.SfxFound(), 0u) << "effects load with step 10";
      EXPECT_EQ(w.sound.BgmFound(), 0u) << "music waits for step 11";
    }
    if (step == 11) {
      EXPECT_GT(w.sound.BgmFound(), 0u);
    }
  }
  std::vector<uint32_t> expected(ClassIntro::STEPS, 1);
  expected[3] = (ClassIntro::SPLASH_MS + 15) / 16;
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(intro.splashwait, expected[3] * 16);
  EXPECT_EQ(intro.ScriptLoad(16), 1);
  EXPECT_EQ(intro.step, ClassIntro::STEPS);
}

// A loading step that cannot load its picture (or the pack) reports 0 and stays where it
// is, with the name said on standard error; the intro then ends the program.
TEST_F(Intro, ScriptLoadStopsAtTheStepWhosePictureIsMissing) {
  struct Case {
    const char* omit;  // left out of the game's pack; null: no pack at all
    uint8_t step;      // the step that fails
    const char* said;
  };
  const Case cases[] = {
      {nullptr, 1, "kolvo2: cannot open res/gfx.zpk: missing, or not a pack\n"},
      {"splash.bmp", 2, "kolvo2: cannot load splash.bmp from res/gfx.zpk\n"},
      {"keyfont.bmp", 6, "kolvo2: cannot load keyfont.bmp from res/gfx.zpk\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.omit ? c.omit : "no pack");
    TempDir empty;
    const std::unique_ptr<DataFolder> pack(c.omit ? new DataFolder(c.omit) : nullptr);
    GameWorld world;
    ClassIntro in;
    uint32_t attach = MODULE_ATTACH, st = MODULE_ENTER, nx = 0;
    in.Manage(world.screen, nullptr, &attach, reinterpret_cast<int32_t*>(&world.data), 0);
    in.Manage(world.screen, &nx, &st, keys, 0);
    WorkingDir folder(pack ? pack->path() : empty.path());
    ::testing::internal::CaptureStderr();
    int result = 1;
    for (int call = 0; call < 100 && result == 1 && in.step < ClassIntro::STEPS; ++call)
      result = in.ScriptLoad(ClassIntro::SPLASH_MS);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(int(in.step), int(c.step));
    EXPECT_EQ(in.ScriptLoad(16), 0) << "a failed step is not skipped";
    EXPECT_EQ(int(in.step), int(c.step));
    // The intro's frame takes the same step and ends the program.
    in.Manage(world.screen, &nx, &st, keys, 16);
    EXPECT_EQ(nx, MODULE_QUIT);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, std::string(c.said) + c.said + c.said);
  }
}

// The logo picture alone is what the intro's frame shows at that moment: early in the
// logo's flight, later, and in the frame that ends it (the logo gone, the banner left).
TEST_F(Intro, RenderZoltLogoDrawsTheLogoFrameOfTheIntro) {
  WorkingDir folder(KOLVO2_DATA_DIR);
  while (intro.phase != INTRO_LOGO) Frame(16);
  Z2DSurface alone;
  ASSERT_EQ(w.engine.display.CreateSurface(&alone, 320, 240, 0), 0);
  auto same = [&] {
    for (int32_t y = 0; y < 240; ++y)
      for (int32_t x = 0; x < 320; ++x)
        if (alone.GetPixel(x, y) != w.Pixel(x, y))
          return ::testing::AssertionFailure() << "differs at " << x << ", " << y;
    return ::testing::AssertionSuccess();
  };
  uint32_t previous = 0;
  for (const uint32_t until : {300u, 2000u, ClassIntro::LOGO_MS}) {
    SCOPED_TRACE(::testing::Message() << "at " << until << " ms");
    while (intro.introtime < until) Frame(16);
    alone.FillRect(nullptr, 0xFF00FF, 0, 0);  // whatever was there before is covered
    intro.RenderZoltLogo(alone);
    EXPECT_TRUE(same());
    // Each moment is a picture of its own, so the comparison says something.
    uint32_t sum = 0;
    for (int32_t y = 0; y < 240; y += 3)
      for (int32_t x = 0; x < 320; x += 3) sum = sum * 31 + alone.GetPixel(x, y);
    EXPECT_NE(sum, previous);
    previous = sum;
  }
  EXPECT_EQ(intro.phase, INTRO_FADEOUT);
}

}  // namespace
