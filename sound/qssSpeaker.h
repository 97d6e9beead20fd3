// The sound library's mixer: owns the output driver, the music channels (tracker modules)
// and the sound channels (samples), and fills the driver's buffers on its writer thread.
//
//   qssSpeaker speaker;
//   speaker.open(44100, 16, true, 2, 16);
//   int ch = speaker.playSound(&effect, QSS_ANY_CHANNEL);
//   speaker.channel(ch)->stop();
//   speaker.close();
//
// Results are 0 or a negative code of sound/qssResult.h: QSS_ERR_FORMAT (format or device),
// QSS_ERR_ALREADY_OPEN, QSS_ERR_NO_DRIVER, QSS_ERR_NO_MEMORY, QSS_ERR_CANNOT_PLAY,
// QSS_ERR_BUFFER_TOO_SHORT (a buffer below 60 ms).
#pragma once

#include <atomic>
#include <cstdint>

#include "sound/qssChannel.h"
#include "sound/qssData.h"
#include "sound/qssDriver.h"
#include "sound/qssResult.h"

// Flags of playSound and playMusic; without QSS_ANY_CHANNEL the low 16 bits are the index.
constexpr uint32_t QSS_ANY_CHANNEL = 0x10000000;
constexpr uint32_t QSS_START_PAUSED = 0x20000000;

class qssSpeaker {
 public:
  qssSpeaker();
  virtual ~qssSpeaker();

  int bufferLength(int ms);  // QSS_ERR_ALREADY_OPEN while open, QSS_ERR_BUFFER_TOO_SHORT below 60
  int bufferLength() const { return bufferLength_; }

  // bits 8: 8-bit unsigned output, else 16-bit signed. Music channels 0 become 1 and at most
  // 64 are made; sound channels 8 to 128.
  int open(uint32_t rate, uint32_t bits, bool stereo, uint32_t maxChannelMusics,
           uint32_t maxChannelSounds);
  // Stops output (the writer is gone when it returns) and frees driver and channels.
  void close();
  bool isOpen() const { return opened.load(std::memory_order_acquire); }

  // Music channels first, then sound channels; null outside both.
  qssChannel* channel(int index);
  uint32_t maxChannelMusics() const { return maxMusics; }
  uint32_t maxChannelSounds() const { return maxSounds; }
  uint32_t playingChannelMusics() const;
  uint32_t playingChannelSounds() const;

  // The channel number (music count + sound index) or QSS_ERR_CANNOT_PLAY.
  int playSound(qssSound* sound, uint32_t flags);
  // The music channel index or QSS_ERR_CANNOT_PLAY.
  int playMusic(qssMusic* music, uint32_t flags);

  void stopSounds();
  void stopMusics();
  void pauseSounds();
  void unpauseSounds();
  void pauseMusics();
  void unpauseMusics();
  void suspend();
  void resume();

  void volumeMusics(uint32_t v);  // 0..64; every music channel follows at once
  uint32_t volumeMusics() const { return volumeMusics_; }
  void volumeSounds(uint32_t v);
  uint32_t volumeSounds() const { return volumeSounds_; }

  // Period tables for an output rate; QSS_ERR_FORMAT for a rate of 0.
  int createTables(uint32_t rate);
  // Row-0 note index nearest to a period (the first of equals).
  static uint32_t findBestNoteIndex(uint32_t period);
  // Fills one output buffer (a multiple of 4 bytes).
  void updateModSFX(unsigned char* buffer, int bytes);
  static void audioCallback(void* user, unsigned char* buffer, int bytes);

  // The driver's critical section; nothing when there is no driver.
  void enterCriticalSection();
  void leaveCriticalSection();

  // State, read-only for callers.
  qssDriver* driver = nullptr;
  std::atomic<bool> opened{false};
  uint32_t maxMusics = 0;
  qssMusicChannel* musics = nullptr;
  qssMusicChannel** playingMusics = nullptr;
  uint32_t maxSounds = 0;
  qssSoundChannel* sounds = nullptr;
  qssSoundChannel** playingSounds = nullptr;
  int32_t stepTable[1713] = {};
  int16_t noteTable[1713] = {};
  uint32_t rate = 0;
  uint32_t stereo = 0;
  uint32_t bits16 = 0;

 protected:
  // The output driver open uses; tests put their own in its place.
  virtual qssDriver* createDriver();

 private:
  void releaseChannels();
  void fillSilence(unsigned char* buffer, int bytes);
  int freeSoundChannel(const qssSound* sound);

  uint32_t volumeMusics_ = 0;
  uint32_t volumeSounds_ = 0;
  int32_t bufferLength_ = 200;
};
