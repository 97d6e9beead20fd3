// The sound wrapper driven from the game thread while a writer thread mixes: every
// channel change the wrapper makes must go through the library's critical section.
#include <gtest/gtest.h>

#include <thread>

#include "kolvo2/game_sound.h"
#include "tests/kolvo2/kolvo2_fixtures.h"

namespace {

TEST(SoundThreads, FadesSwitchesAndAllOffWhileTheWriterMixes) {
  FakeClock clock;
  SoundPacks packs;
  FakeSpeaker speaker;
  speaker.threaded = true;
  {
    ClassSound sound(speaker);
    ASSERT_EQ(sound.Initialize(false, 64, 64, nullptr), 1);
    ASSERT_EQ(sound.LoadSfxFiles(packs.folder.c_str()), 1);
    ASSERT_EQ(sound.LoadBgmFiles(packs.folder.c_str()), 1);
    for (int frame = 0; frame < 600; ++frame) {
      clock.Advance(17);
      if (frame % 60 == 0) sound.PlayBgm(static_cast<uint16_t>(1 + frame / 60 % 2));
      if (frame % 5 == 0) sound.PlaySfx(static_cast<uint16_t>(1 + frame % 8));
      if (frame % 150 == 100) sound.VolumeBgm(0);
      if (frame % 150 == 110) sound.VolumeBgm(48);
      if (frame == 300) sound.LoadSfxFiles(packs.folder.c_str());
      const bool alloff = frame % 200 >= 180;
      sound.Update(alloff);
      // Each frame overlaps at least one mix (none is made while all sound is off).
      const long before = speaker.fake->calls.load();
      while (!alloff && speaker.fake->calls.load() == before) std::this_thread::yield();
    }
    sound.Cleanup();
  }
  EXPECT_FALSE(speaker.isOpen());
}

}  // namespace
