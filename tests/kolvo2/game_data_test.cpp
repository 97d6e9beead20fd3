// The game's own packs, as the build makes them, through the sound wrapper: every effect
// and both musics load by position and play.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "kolvo2/game_sound.h"
#include "tests/kolvo2/kolvo2_fixtures.h"

namespace {

TEST(GameData, EveryEffectAndBothMusicsOfTheGamesPacksPlay) {
  FakeClock clock;
  FakeSpeaker speaker;
  ClassSound sound(speaker);
  ASSERT_EQ(sound.Initialize(false, 64, 64, nullptr), 1);
  const std::string folder = std::string(KOLVO2_DATA_DIR) + "/";
  ASSERT_EQ(sound.LoadSfxFiles(folder.c_str()), 1);
  ASSERT_EQ(sound.LoadBgmFiles(folder.c_str()), 1);
  ASSERT_EQ(sound.SfxFound(), ClassSound::EFFECTS);
  ASSERT_EQ(sound.BgmFound(), ClassSound::MUSICS);
  for (uint16_t n = 1; n <= ClassSound::EFFECTS; ++n) {
    clock.Advance(100);
    sound.PlaySfx(n);
    EXPECT_EQ(speaker.playingChannelSounds(), 1u) << "effect " << n;
    speaker.stopSounds();
  }
  for (uint16_t n = 1; n <= ClassSound::MUSICS; ++n) {
    sound.PlayBgm(n);
    for (int f = 0; f < 130; ++f) {  // past the cross-fade: the other music is gone
      clock.Advance(16);
      sound.Update(false);
    }
    EXPECT_EQ(speaker.playingChannelMusics(), 1u) << "music " << n;
    // A second of it is not silence.
    const std::vector<int16_t> out = speaker.pump16(44100);
    int peak = 0;
    for (int16_t v : out) peak = std::max(peak, std::abs(static_cast<int>(v)));
    EXPECT_GT(peak, 1000) << "music " << n;
  }
}

}  // namespace
