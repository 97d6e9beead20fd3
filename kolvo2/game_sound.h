// ClassSound: the game's single owner of sound. It holds the sound library's speaker, the
// eight effect samples and the two music modules loaded by position from the packs
// "res\sfx.zpk" and "res\bgm.zpk", plays effects at most once per 80 ms each, plays one
// background music at a time with a cross-fade (the new one in over 1 s, the old one out
// over 2 s), follows the effect and music volumes and the all-sound-off setting, and
// suspends output while the program is minimised. Effects and musics are numbered from 1;
// 0 means none.
//
// A speaker that cannot be opened (neither 16-bit nor 8-bit output) marks the wrapper
// failed for good: every call then does nothing, the game runs silent, and the device is
// not tried again. The fader and the repeat limit read ClassZRTimer::Count.
//
//   ClassSound sound;                        // or ClassSound sound(speaker) for a given one
//   sound.Initialize(cfg.alloff, cfg.sfxvolume, cfg.musicvolume, zcd);
//   sound.LoadSfxFiles("");                  // "" : relative to the working folder
//   sound.LoadBgmFiles("");
//   sound.PlayBgm(1);
//   ...every frame: sound.Update(cfg.alloff);
//   sound.Cleanup();
#pragma once

#include <cstdint>

#include "sound/qssData.h"
#include "sound/qssSpeaker.h"

struct ZCD;

class ClassSound {
 public:
  static constexpr uint32_t EFFECTS = 8;
  static constexpr uint32_t MUSICS = 2;
  static constexpr uint32_t RATE = 44100;
  static constexpr uint32_t MUSIC_CHANNELS = 2;
  static constexpr uint32_t SOUND_CHANNELS = 8;
  static constexpr uint32_t REPEAT_MS = 80;      // one start per effect in this time
  static constexpr uint32_t LEVEL_FULL = 1000;   // fade levels 0..1000

  // With its own speaker (the console's output driver).
  ClassSound();
  // With a speaker of the caller's, which must outlive this object.
  explicit ClassSound(qssSpeaker& speaker);
  ~ClassSound();
  ClassSound(const ClassSound&) = delete;
  ClassSound& operator=(const ClassSound&) = delete;

  // 0 when failed before; 1 when already open. Else stores the context (when not null),
  // sets every time stamp to now and keeps the volumes and all-off; with all-off it
  // returns 1 without opening, otherwise it opens (1) or marks the wrapper failed (0).
  int Initialize(bool allOff, uint32_t sfxVolume, uint32_t bgmVolume, ZCD* zcd);
  // Opens the speaker at 44100 Hz stereo, 16-bit, else 8-bit, and applies both volumes.
  // 0 when failed or all-off is set, or when neither format opens (then failed is set).
  int Open();
  // Only while open and not all-off: stop / restart feeding the device.
  void Suspend();
  void Resume();

  // Loads the pack's first 8 entries as effects (first 2 as musics), by position, played
  // straight from the entry buffers this object keeps. An entry that cannot be read or
  // decoded stays silent. 1 when the pack opened, else 0 (nothing found).
  int LoadSfxFiles(const char* folder);
  int LoadBgmFiles(const char* folder);

  void PlaySfx(uint16_t effect);
  // Switches the background music; 0 (or a number not found) fades the current one out.
  void PlayBgm(uint16_t music);
  void StopBgm();
  void VolumeSfx(uint8_t volume);
  void VolumeBgm(uint8_t volume);
  // Once a frame: opens the speaker when all-off was lifted, follows all-off changes
  // (suspending and stopping, or resuming and restarting the musics) and moves the fades.
  void Update(bool allOff);
  // Closes the speaker and releases every loaded effect and music.
  void Cleanup();

  uint16_t MusicPlaying() const { return curmusic; }
  uint32_t BgmFound() const { return bgmfound; }
  uint32_t SfxFound() const { return sfxfound; }
  bool IsOpen() const { return open; }
  bool IsFailed() const { return failed; }
  bool IsSuspended() const { return suspended; }

 private:
  template <class Playable, uint32_t N>
  int LoadPack(const char* folder, const char* pack, Playable (&items)[N],
               uint8_t* (&data)[N], uint32_t& found);
  void ReleaseEffects();
  void ReleaseMusics();
  void HandOver();      // the current music becomes the previous one, fading out
  void RestartMusics();  // starts the set musics that are not started, levels kept
  void StartMusic(uint16_t music, uint16_t& started, int32_t& channel);
  void StopMusic(uint16_t& started, int32_t channel);
  void MusicVolume(uint16_t started, int32_t channel, uint32_t level);

  ZCD* zcd = nullptr;
  qssSpeaker ownspeaker;
  qssSpeaker& speaker;
  qssMusic musics[MUSICS];
  qssSound effects[EFFECTS];
  uint32_t bits = 0;  // 0: 16-bit, falling back to 8-bit
  uint8_t* sfxdata[EFFECTS] = {};
  uint8_t* bgmdata[MUSICS] = {};
  uint32_t sfxfound = 0;
  uint32_t bgmfound = 0;
  uint32_t sfxvolume = 0;
  uint32_t bgmvolume = 0;
  uint32_t times[1 + EFFECTS] = {};  // [0] the fader's last update, [n] effect n's last start
  uint32_t fadein = 0;   // level of the current music
  uint32_t fadeout = 0;  // level of the previous music
  int32_t curchannel = 0;
  int32_t prevchannel = 0;
  uint16_t curstarted = 0;  // the music whose channel is live as the current one
  uint16_t prevstarted = 0;
  uint16_t curmusic = 0;    // the music that should play
  uint16_t prevmusic = 0;   // the music fading out
  bool open = false;
  bool suspended = false;
  bool alloff = false;
  bool failed = false;
};
