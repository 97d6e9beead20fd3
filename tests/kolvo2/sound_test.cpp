// The game's sound wrapper over a fake speaker and a clock the test moves: the effect
// repeat limit, the music cross-fade, the volumes and all-off, loading by position, and a
// speaker that cannot open.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/gp2x_host.h"
#include "host/host_settings.h"
#include "kolvo2/game_sound.h"
#include "tests/kolvo2/kolvo2_fixtures.h"

namespace {

class Sound : public ::testing::Test {
 protected:
  // One effect and one music more than the wrapper takes; made once, only read.
  static void SetUpTestSuite() { packs = new SoundPacks(9, 3); }
  static void TearDownTestSuite() {
    delete packs;
    packs = nullptr;
  }

  // Opened with the packs loaded, and one frame 100 ms after the opening.
  void Open(uint32_t sfxvolume = 64, uint32_t bgmvolume = 64) {
    ASSERT_EQ(sound.Initialize(false, sfxvolume, bgmvolume, nullptr), 1);
    ASSERT_EQ(sound.LoadSfxFiles(packs->folder.c_str()), 1);
    ASSERT_EQ(sound.LoadBgmFiles(packs->folder.c_str()), 1);
    clock.Advance(100);
    sound.Update(false);
  }
  uint32_t SoundsPlaying() const { return speaker.playingChannelSounds(); }
  // The music channel playing music n (demo module n has n orders), or null.
  const qssMusicChannel* Music(uint32_t n) const {
    for (uint32_t i = 0; i < speaker.maxChannelMusics(); ++i)
      if (!speaker.musics[i].stopped() && speaker.musics[i].songLength == n) return &speaker.musics[i];
    return nullptr;
  }
  // The channel's own volume (the fade level in 64ths), or -1 when it does not play.
  int MusicVolume(uint32_t n) const {
    const qssMusicChannel* c = Music(n);
    return c ? static_cast<int>(c->volumeSet) : -1;
  }
  void Frames(uint32_t count, uint32_t ms, bool alloff = false) {
    for (uint32_t i = 0; i < count; ++i) {
      clock.Advance(ms);
      sound.Update(alloff);
    }
  }

  static inline SoundPacks* packs = nullptr;
  FakeClock clock;
  FakeSpeaker speaker;
  ClassSound sound{speaker};
};

TEST_F(Sound, OpensAt44100HzStereo16BitWith2MusicAnd8SoundChannels) {
  Open(48, 16);
  ASSERT_TRUE(sound.IsOpen());
  EXPECT_EQ(speaker.fake->spec.freq, 44100u);
  EXPECT_EQ(speaker.fake->spec.format, static_cast<uint32_t>(QSS_AUDIO_S16));
  EXPECT_EQ(speaker.fake->spec.channels, 2u);
  EXPECT_EQ(speaker.maxChannelMusics(), 2u);
  EXPECT_EQ(speaker.maxChannelSounds(), 8u);
  EXPECT_EQ(speaker.volumeSounds(), 48u);
  EXPECT_EQ(speaker.volumeMusics(), 16u);
  // Initialising again changes nothing.
  EXPECT_EQ(sound.Initialize(false, 0, 0, nullptr), 1);
  EXPECT_EQ(speaker.volumeSounds(), 48u);
}

TEST_F(Sound, LoadsTheFirst8EffectsAnd2MusicsByPosition) {
  Open();
  EXPECT_EQ(sound.SfxFound(), 8u);
  EXPECT_EQ(sound.BgmFound(), 2u);
  for (uint16_t n = 1; n <= 8; ++n) {
    sound.PlaySfx(n);
    ASSERT_EQ(SoundsPlaying(), 1u) << "effect " << n;
    for (uint32_t i = 0; i < 8; ++i) {
      if (!speaker.sounds[i].playing()) continue;
      EXPECT_EQ(ChannelMarker(speaker.sounds[i]), 1000 * n);
    }
    speaker.stopSounds();
  }
  sound.PlaySfx(9);
  sound.PlaySfx(0);
  EXPECT_EQ(SoundsPlaying(), 0u);
  sound.PlayBgm(3);
  EXPECT_EQ(sound.MusicPlaying(), 0);
  EXPECT_EQ(Music(3), nullptr);
}

struct SfxStep {
  uint32_t advance;  // ms before the call
  uint16_t effect;
  bool starts;
};

TEST_F(Sound, EachEffectStartsAtMostOncePer80Ms) {
  Open();
  const SfxStep steps[] = {
      {0, 1, true},  {79, 1, false}, {0, 2, true},   // another effect is not held back
      {1, 1, true},                                   // 80 ms after its last start
      {40, 2, false}, {40, 2, true}, {200, 1, true}, {0, 1, false},
  };
  uint32_t expected = 0;
  for (size_t i = 0; i < sizeof(steps) / sizeof(steps[0]); ++i) {
    clock.Advance(steps[i].advance);
    sound.PlaySfx(steps[i].effect);
    expected += steps[i].starts;
    EXPECT_EQ(SoundsPlaying(), expected) << "step " << i;
  }
}

TEST_F(Sound, TheClockStartsAtInitialize) {
  // Effects count as started and the fader as updated at that moment.
  ASSERT_EQ(sound.Initialize(false, 64, 64, nullptr), 1);
  ASSERT_EQ(sound.LoadSfxFiles(packs->folder.c_str()), 1);
  ASSERT_EQ(sound.LoadBgmFiles(packs->folder.c_str()), 1);
  sound.PlayBgm(1);
  clock.Advance(79);
  sound.PlaySfx(1);
  EXPECT_EQ(SoundsPlaying(), 0u);
  clock.Advance(1);
  sound.PlaySfx(1);
  EXPECT_EQ(SoundsPlaying(), 1u);
  clock.Advance(20);
  sound.Update(false);
  EXPECT_EQ(MusicVolume(1), 100 * 64 / 1000) << "faded in for the 100 ms since then";
}

TEST_F(Sound, NoEffectForZeroBeyondTheCountVolumeZeroOrAllOff) {
  Open(0, 64);
  sound.PlaySfx(1);
  EXPECT_EQ(SoundsPlaying(), 0u) << "effect volume 0";
  sound.VolumeSfx(32);
  EXPECT_EQ(speaker.volumeSounds(), 32u);
  sound.PlaySfx(1);
  EXPECT_EQ(SoundsPlaying(), 1u);
  clock.Advance(100);
  sound.Update(true);
  sound.PlaySfx(2);
  EXPECT_EQ(SoundsPlaying(), 1u) << "all sound off";
}

TEST_F(Sound, TheSameMusicAgainDoesNothing) {
  Open();
  sound.PlayBgm(1);
  Frames(10, 100);
  ASSERT_EQ(MusicVolume(1), 64);
  const qssMusicChannel* playing = Music(1);
  speaker.pump(44100 * 4);  // a second of it
  const uint32_t row = playing->row, order = playing->order;
  ASSERT_NE(row + order, 0u);
  sound.PlayBgm(1);
  Frames(1, 100);
  EXPECT_EQ(Music(1), playing);
  EXPECT_EQ(MusicVolume(1), 64);
  EXPECT_EQ(playing->row, row);
  EXPECT_EQ(playing->order, order);
}

TEST_F(Sound, ASwitchFadesTheNewMusicInOver1sAndTheOldOutOver2s) {
  Open();
  sound.PlayBgm(1);
  Frames(12, 100);
  ASSERT_EQ(MusicVolume(1), 64);
  sound.PlayBgm(2);
  EXPECT_EQ(sound.MusicPlaying(), 2);
  for (uint32_t t = 100; t <= 2100; t += 100) {
    Frames(1, 100);
    const int in = static_cast<int>(std::min(t, 1000u) * 64 / 1000);
    const int out = t < 2000 ? static_cast<int>((1000 - t / 2) * 64 / 1000) : -1;
    EXPECT_EQ(MusicVolume(2), in) << t << " ms";
    EXPECT_EQ(MusicVolume(1), out) << t << " ms";
  }
  // Music 0 fades the current one out: over 2000 ms of frames, then its channel stops.
  sound.PlayBgm(0);
  EXPECT_EQ(sound.MusicPlaying(), 0);
  Frames(19, 100);
  EXPECT_EQ(MusicVolume(2), (1000 - 950) * 64 / 1000);
  Frames(1, 100);
  EXPECT_EQ(Music(2), nullptr);
  EXPECT_EQ(speaker.playingChannelMusics(), 0u);
}

TEST_F(Sound, StopBgmFadesOutAndTheSameMusicCanComeBackBesideIt) {
  Open();
  sound.PlayBgm(1);
  Frames(10, 100);
  sound.StopBgm();
  EXPECT_EQ(sound.MusicPlaying(), 0);
  Frames(2, 100);
  EXPECT_EQ(MusicVolume(1), (1000 - 100) * 64 / 1000);
  // Music 1 again: the fading channel goes on fading while a new one fades in from 0.
  sound.PlayBgm(1);
  ASSERT_EQ(speaker.playingChannelMusics(), 2u);
  Frames(1, 250);
  EXPECT_EQ(speaker.musics[0].volumeSet, (1000 - 100 - 125) * 64 / 1000u);
  EXPECT_EQ(speaker.musics[1].volumeSet, 250 * 64 / 1000u);
}

TEST_F(Sound, MusicVolumeZeroOnlyRemembersTheRequest) {
  Open(64, 0);
  sound.PlayBgm(1);
  EXPECT_EQ(sound.MusicPlaying(), 1);
  Frames(3, 100);
  EXPECT_EQ(speaker.playingChannelMusics(), 0u);
  sound.VolumeBgm(16);
  EXPECT_EQ(speaker.volumeMusics(), 16u);
  ASSERT_NE(Music(1), nullptr);
  // The level went on while it was silent; the channel follows it from the next update.
  Frames(1, 100);
  EXPECT_EQ(MusicVolume(1), 400 * 64 / 1000);
  // Back to 0: both channels stop; up again: they restart where their fades stand.
  sound.PlayBgm(2);
  Frames(1, 100);
  sound.VolumeBgm(0);
  EXPECT_EQ(speaker.playingChannelMusics(), 0u);
  sound.VolumeBgm(32);
  EXPECT_NE(Music(1), nullptr);
  EXPECT_NE(Music(2), nullptr);
}

TEST_F(Sound, AllOffSuspendsAndStopsThenResumesAndRestarts) {
  Open();
  sound.PlayBgm(1);
  Frames(5, 100);
  ASSERT_NE(Music(1), nullptr);
  Frames(1, 100, true);
  EXPECT_TRUE(speaker.fake->suspended);
  EXPECT_EQ(speaker.playingChannelMusics(), 0u);
  EXPECT_EQ(sound.MusicPlaying(), 1) << "the music is kept, only its channel stopped";
  Frames(3, 100, true);
  Frames(1, 100, false);
  EXPECT_FALSE(speaker.fake->suspended);
  ASSERT_NE(Music(1), nullptr);
  EXPECT_EQ(MusicVolume(1), 64) << "its fade went on meanwhile";
}

TEST_F(Sound, StartedWithAllOffItOpensWhenSoundComesOn) {
  ASSERT_EQ(sound.Initialize(true, 64, 64, nullptr), 1);
  EXPECT_FALSE(sound.IsOpen());
  ASSERT_EQ(sound.LoadBgmFiles(packs->folder.c_str()), 1);
  sound.PlayBgm(2);  // remembered while closed
  Frames(2, 100, true);
  EXPECT_FALSE(sound.IsOpen());
  Frames(1, 100, false);
  ASSERT_TRUE(sound.IsOpen());
  ASSERT_NE(Music(2), nullptr);
  Frames(1, 100);
  EXPECT_EQ(MusicVolume(2), 200 * 64 / 1000) << "it fades in from the start";
}

TEST_F(Sound, SuspendAndResumeWhileOpen) {
  Open();
  sound.Suspend();
  EXPECT_TRUE(sound.IsSuspended());
  EXPECT_TRUE(speaker.fake->suspended);
  sound.PlayBgm(1);
  EXPECT_EQ(speaker.playingChannelMusics(), 0u) << "remembered while suspended";
  sound.Resume();
  EXPECT_FALSE(sound.IsSuspended());
  EXPECT_FALSE(speaker.fake->suspended);
}

TEST_F(Sound, ASpeakerThatCannotOpenLeavesASilentGameAndIsNotRetried) {
  speaker.openResult = -1;
  EXPECT_EQ(sound.Initialize(false, 64, 64, nullptr), 0);
  EXPECT_TRUE(sound.IsFailed());
  EXPECT_EQ(speaker.driversDeleted, 2) << "16-bit, then 8-bit";
  EXPECT_EQ(sound.LoadSfxFiles(packs->folder.c_str()), 1);
  EXPECT_EQ(sound.LoadBgmFiles(packs->folder.c_str()), 1);
  for (int f = 0; f < 100; ++f) {
    clock.Advance(16);
    sound.PlaySfx(1);
    sound.PlayBgm(1 + f % 2);
    sound.VolumeBgm(static_cast<uint8_t>(f % 3 * 16));
    sound.Update(f % 10 == 5);
  }
  EXPECT_EQ(speaker.driversDeleted, 2) << "the device is not tried every frame";
  EXPECT_FALSE(sound.IsOpen());
  EXPECT_EQ(sound.Initialize(false, 64, 64, nullptr), 0);
}

TEST_F(Sound, AFailedOpenWhenSoundComesOnIsNotRetriedEither) {
  speaker.openResult = -1;
  ASSERT_EQ(sound.Initialize(true, 64, 64, nullptr), 1);
  Frames(1, 16, false);
  EXPECT_TRUE(sound.IsFailed());
  const int tried = speaker.driversDeleted;
  Frames(50, 16, false);
  EXPECT_EQ(speaker.driversDeleted, tried);
}

// A device that refuses 16-bit output.
struct EightBitDriver : FakeDriver {
  int open(AudioSpec* s, uint32_t n, qssAudioCallback cb, void* u) override {
    return s->format == QSS_AUDIO_S16 ? -1 : FakeDriver::open(s, n, cb, u);
  }
};
struct EightBitSpeaker : FakeSpeaker {
  qssDriver* createDriver() override {
    fake = new EightBitDriver;
    fake->deleted = &driversDeleted;
    return fake;
  }
};

TEST(SoundOutput, FallsBackTo8BitOutput) {
  FakeClock clock;
  EightBitSpeaker speaker;
  ClassSound sound(speaker);
  ASSERT_EQ(sound.Initialize(false, 64, 64, nullptr), 1);
  EXPECT_EQ(speaker.fake->spec.format, static_cast<uint32_t>(QSS_AUDIO_U8));
  EXPECT_EQ(speaker.bits16, 0u);
}

TEST(SoundOutput, NoSoundDeviceOnTheConsoleGivesASilentGame) {
  gp2x::host::Settings settings;
  settings.dsp = false;
  gp2x::host::configure(settings);
  {
    FakeClock clock;
    ClassSound sound;  // the console's own output driver
    EXPECT_EQ(sound.Initialize(false, 64, 64, nullptr), 0);
    EXPECT_TRUE(sound.IsFailed());
    sound.PlaySfx(1);
    sound.Update(false);
  }
  gp2x::host::configure(gp2x::host::Settings());
}

TEST(SoundPacksDamaged, BadEntriesStaySilentAndReadsStayInsideTheEntry) {
  FakeClock clock;
  TempDir dir;
  ASSERT_EQ(mkdir((dir.path() + "/res").c_str(), 0755), 0);
  // Entry 2 is no sample; entry 3's data chunk claims far more than the entry holds.
  std::vector<uint8_t> cut = MarkedWav(3000, 64);
  for (size_t at = 12; at + 8 <= cut.size(); ++at)
    if (std::memcmp(&cut[at], "data", 4) == 0) {
      const uint32_t claim = 400000;
      std::memcpy(&cut[at + 4], &claim, 4);
    }
  WritePack(dir.path() + "/res/sfx.zpk", {MarkedWav(1000), {'n', 'o', 'p', 'e'}, cut});
  WritePack(dir.path() + "/res/bgm.zpk", {{'M', 'O', 'D'}});
  FakeSpeaker speaker;
  ClassSound sound(speaker);
  ASSERT_EQ(sound.Initialize(false, 64, 64, nullptr), 1);
  const std::string folder = dir.path() + "/";
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(sound.LoadSfxFiles(folder.c_str()), 1);
  ASSERT_EQ(sound.LoadBgmFiles(folder.c_str()), 1);
  // Each entry that stays silent is named, with its pack.
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(said, "kolvo2: cannot load entry 2 of " + folder + "res/sfx.zpk; it stays silent\n"
                  "kolvo2: cannot load entry 1 of " + folder + "res/bgm.zpk; it stays silent\n");
  EXPECT_EQ(sound.SfxFound(), 3u);
  EXPECT_EQ(sound.BgmFound(), 1u);
  clock.Advance(100);
  sound.PlaySfx(2);
  EXPECT_EQ(speaker.playingChannelSounds(), 0u);
  sound.PlayBgm(1);
  EXPECT_EQ(speaker.playingChannelMusics(), 0u);
  sound.PlaySfx(3);
  ASSERT_EQ(speaker.playingChannelSounds(), 1u);
  EXPECT_EQ(speaker.sounds[0].length_ >> 8, 64u) << "cut to the frames the entry holds";
  speaker.pump(44100 * 4 / 10);  // mixes past the end of what it holds
  // Missing packs: nothing found, nothing plays, and what was loaded is let go.
  const std::string nowhere = dir.path() + "/nowhere/";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(sound.LoadSfxFiles(nowhere.c_str()), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "kolvo2: cannot open " + nowhere + "res/sfx.zpk: missing, or not a pack\n");
  // An empty pack opens and is named too.
  std::remove((dir.path() + "/res/sfx.zpk").c_str());
  WritePack(dir.path() + "/res/sfx.zpk", {});
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(sound.LoadSfxFiles(folder.c_str()), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "kolvo2: " + folder + "res/sfx.zpk holds no entries\n");
  EXPECT_EQ(sound.SfxFound(), 0u);
  clock.Advance(100);
  sound.PlaySfx(1);
  EXPECT_EQ(speaker.playingChannelSounds(), 0u);
}

TEST(SoundLifetime, ReloadAndCleanupFreeEachBufferOnce) {
  FakeClock clock;
  SoundPacks packs;
  FakeSpeaker speaker;
  {
    ClassSound sound(speaker);
    ASSERT_EQ(sound.Initialize(false, 64, 64, nullptr), 1);
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(sound.LoadSfxFiles(packs.folder.c_str()), 1);
      ASSERT_EQ(sound.LoadBgmFiles(packs.folder.c_str()), 1);
      clock.Advance(100);
      sound.PlaySfx(1);
      sound.PlayBgm(static_cast<uint16_t>(1 + i % 2));
      sound.Update(false);
      speaker.pump(4096);
    }
    sound.Cleanup();
    EXPECT_FALSE(sound.IsOpen());
    EXPECT_FALSE(speaker.isOpen());
    EXPECT_EQ(sound.SfxFound(), 0u);
    EXPECT_EQ(sound.BgmFound(), 0u);
    sound.Cleanup();
  }  // and the destructor once more
  EXPECT_FALSE(speaker.isOpen());
}

}  // namespace
