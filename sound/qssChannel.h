// Voices of the speaker: the common channel state, the sound channel (one sample) and the
// music channel (one tracker module and its playing state).
//
// Threads: the game thread changes channels, the driver's writer thread mixes them. Every
// setter that touches state the mixer reads takes the speaker's critical section; the
// stopped and paused flags are atomic so a channel can be stopped from either side.
#pragma once

#include <atomic>
#include <cstdint>

class qssSpeaker;
class qssMusic;

class qssChannel {
 public:
  qssChannel();
  virtual ~qssChannel();

  void play(bool paused);  // busy, paused or not
  void stop();             // free again: not paused, stopped
  void pause();            // no effect on a stopped channel
  void resume();
  bool playing() const;  // neither paused nor stopped
  // The same without ordering, for the mixer, which sees every data change under the lock.
  bool playingNow() const {
    return !paused_.load(std::memory_order_relaxed) && !stopped_.load(std::memory_order_relaxed);
  }
  bool paused() const;
  bool stopped() const;
  bool isFree() const;  // stopped and not paused

  // Own volume 0..64. The base keeps the effective volume as it is; the overrides apply the
  // speaker's master volume. The getter returns the effective volume.
  virtual void volume(uint32_t v);
  uint32_t volume() const { return volumeEff; }
  virtual void pan(uint32_t p);  // 0..255, 128 = centre
  uint32_t pan() const { return pan_; }
  // Position and length in the channel's own unit; the base has neither.
  virtual uint32_t position(uint32_t u) { return u; }
  virtual uint32_t position() const { return 0; }
  virtual uint32_t length() const { return 0; }

  void frequency(uint32_t f);  // speed follows: ((f << 16) / baseRate) >> 9
  uint32_t frequency() const { return frequency_; }
  void speed(uint32_t s);  // 128 = normal; frequency follows
  int32_t speed() const { return speed_; }
  void loop(bool on);
  bool loop() const { return loop_; }

  // State shared with the mixer. Read freely; change only through the operations above.
  qssSpeaker* speaker = nullptr;
  uint32_t volumeSet = 64;
  uint32_t volumeEff = 0;
  uint32_t pan_ = 128;
  bool loop_ = false;
  std::atomic<bool> paused_{false};
  std::atomic<bool> stopped_{true};
  uint32_t baseRate = 44100;
  uint32_t frequency_ = 44100;
  bool dirty = true;
  int32_t speed_ = 128;
  const uint8_t* data = nullptr;
  uint32_t step = 0;      // sound channels: 24.8 frames per output frame
  uint32_t position_ = 0;  // sound channels: 24.8 frame position
  uint32_t length_ = 0;    // sound channels: frame count << 8
  bool bits8 = true;
  bool stereo = false;

 protected:
  // The speaker's critical section, when the channel belongs to an open speaker.
  void enter() const;
  void leave() const;
};

class qssSoundChannel : public qssChannel {
 public:
  void volume(uint32_t v) override;  // effective = own x sound master >> 6
  using qssChannel::volume;
  // Unit: frame count / bytes per frame (the 24.8 position shifted by 8, one more for
  // 16-bit data and one more for stereo data).
  uint32_t position(uint32_t u) override;
  uint32_t position() const override;
  uint32_t length() const override;

  // Mixer: adds this frame to the sound sums and advances; false when the channel ended.
  bool mixFrame(uint32_t outRate, bool stereoOut, int32_t& sl, int32_t& sr);

 private:
  int shift() const { return (bits8 ? 8 : 9) + (stereo ? 1 : 0); }
};

constexpr int QSS_MAX_TRACKS = 32;
constexpr uint32_t QSS_NO_JUMP = 0xFFFFFF;

// One track's playing state.
struct qssTrack {
  int32_t noteIndex = 0;  // index into amiganote (row * 84 + column)
  int32_t period = 0;
  uint32_t sample = 0;
  uint32_t step = 0;  // 20.12 sample bytes per output frame
  int32_t volume = 0;
  int32_t effVolume = 0;
  uint8_t effect = 0, x = 0, y = 0, parameter = 0;
  uint32_t samplePos = 0;  // 20.12 bytes
  uint32_t rightShare = 128;
  // Effect memories.
  int32_t slide = 0;
  int32_t slidePeriod = 0;
  int32_t portaTarget = 0;
  int32_t portaSpeed = 0;
  int32_t arpTick = 0;
  uint32_t arpBase = 0, arpStep1 = 0, arpStep2 = 0;
  int32_t vibPos = 0, vibSpeed = 9, vibDepth = 2;
  int32_t delayCount = 0;
  int32_t delayPeriod = 0;
  int32_t cutCount = 0;
  uint8_t loopState = 0;  // 0 idle, 0xF0 + n active with n repeats left
  uint8_t loopStart = 0;
  uint32_t sampleOffset = 0;  // 20.12 bytes
};

// One sample of a bound module.
struct qssModSample {
  uint32_t length = 0;  // all three in 20.12 bytes
  uint32_t loopStart = 0;
  uint32_t loopLength = 0;  // 0: no loop
  int32_t volume = 0;
  uint32_t finetune = 0;
  const int8_t* data = nullptr;  // null: silent
};

class qssMusicChannel : public qssChannel {
 public:
  qssMusicChannel();
  void volume(uint32_t v) override;  // also re-applies every track's effective volume
  using qssChannel::volume;
  void pan(uint32_t p) override;  // stereo separation of the track pairs
  using qssChannel::pan;
  uint32_t position(uint32_t u) override;  // order x 64 + row
  uint32_t position() const override;
  uint32_t length() const override;  // song length x 64

  // Binds a loaded module (inside the speaker's critical section). False when the module
  // cannot be played (none loaded, track count outside 1..32).
  bool bind(const qssMusic* music);
  // Row and tick engine for one output frame; false when the song ended in this frame.
  bool advanceFrame() {
    if (tick != ticksPerRow && frameInTick < samplesPerTick) {
      ++frameInTick;
      return true;
    }
    return advanceTick();
  }
  // Recomputes samplesPerTick from the output rate, frequency and tempo.
  void computeSamplesPerTick();
  // Tick effects of one track (ticks 1..speed-1 of a row).
  void tickEffects(qssTrack& t);

  const uint8_t* patternData = nullptr;
  const uint8_t* orders = nullptr;
  uint32_t songLength = 0;
  uint32_t tracks = 0;
  uint32_t pattern = 0;
  uint32_t row = 0;
  uint32_t order = 0;
  uint32_t restart = 0;
  uint32_t samplesPerTick = 882;
  uint32_t frameInTick = 0;
  uint32_t ticksPerRow = 6;  // the tracker's "speed"
  uint32_t tick = 6;
  qssTrack track[QSS_MAX_TRACKS];
  qssModSample samples[32];
  uint32_t jumpOrder = QSS_NO_JUMP;
  uint32_t jumpRow = QSS_NO_JUMP;
  uint32_t patternDelay = 0;
  uint32_t ticksPerSecond = 50;
  bool songEnded = false;  // stop at the next row

 private:
  bool advanceTick();  // a frame that reads a row or starts a tick
  void readRow();
  void advancePosition();
  uint32_t stepFor(int32_t period) const;
};
