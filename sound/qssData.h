// What the speaker plays: a tracker module (qssMusic) and a WAV sample (qssSound).
// Both load from a memory image (copied, or referenced and kept by the caller) or a file.
// Pass the image's size whenever it is known: the sized forms never read past it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sound/qssResult.h"

// Bytes of a module before its patterns.
constexpr uint32_t QSS_MOD_HEADER = 1084;
// Sound lengths are kept as frames << 8 in 32 bits.
constexpr uint32_t QSS_MAX_SOUND_FRAMES = 1u << 24;

// The playing settings a module and a sample share: volume 0..64, pan 0..255, looping,
// and a frequency kept in step with the speed (128 plays at the data's own rate).
class qssPlayable {
 public:
  void volume(uint32_t v);
  uint32_t volume() const { return volume_; }
  void pan(uint32_t p);
  uint32_t pan() const { return pan_; }
  void loop(bool on) { loop_ = on; }
  bool loop() const { return loop_; }
  void frequency(uint32_t f);
  uint32_t frequency() const { return frequency_; }
  void speed(uint32_t s);
  int32_t speed() const { return speed_; }

 protected:
  qssPlayable(uint32_t pan, uint32_t rate, uint32_t frequency)
      : pan_(pan), rate_(rate), frequency_(frequency) {}
  ~qssPlayable() = default;

  // The data's own rate; a new one plays at normal speed.
  uint32_t rate() const { return rate_; }
  void resetRate(uint32_t r) {
    rate_ = r;
    speed_ = 128;
    frequency_ = r;
  }

 private:
  uint32_t volume_ = 64;
  bool loop_ = false;
  uint32_t pan_;
  uint32_t rate_;
  uint32_t frequency_;
  int32_t speed_ = 128;
};

class qssMusic : public qssPlayable {
 public:
  qssMusic();
  virtual ~qssMusic();

  // From memory. QSS_ERR_NO_MEMORY for a null image, QSS_ERR_UNSUPPORTED for not a module,
  // QSS_ERR_BAD_STRUCTURE when shorter than its header or patterns, or for a song length of
  // 0. Sample data missing at the end is cut, not refused.
  int load(const void* image, size_t size, bool copy);
  // The same for an image trusted to be whole: its size is taken from its headers.
  int load(const void* image, bool copy);
  // From a file: QSS_ERR_CANNOT_OPEN_FILE, QSS_ERR_BAD_STRUCTURE (empty or bad structure),
  // QSS_ERR_NO_MEMORY.
  int load(const char* path);
  void destroy();

  const uint8_t* image() const { return image_; }
  size_t size() const { return size_; }
  uint32_t tracks() const { return tracks_; }
  uint32_t patterns() const { return patterns_; }
  uint32_t songLength() const { return songLength_; }
  uint32_t baseRate() const { return rate(); }

  // Track count of a signature: "M?K?" 4, "nCHN"/"nnCH" the digits, otherwise 0.
  static uint32_t translatePTSign(const signed char* signature);
  // Patterns stored: highest order entry among the first songLength entries, plus one.
  static uint32_t getNumPattern(const uint8_t* header, uint32_t songLength);
  // Bytes a whole module takes according to its headers (0 when it is not a module).
  static size_t moduleSize(const uint8_t* header);

 private:
  const uint8_t* image_ = nullptr;
  size_t size_ = 0;
  bool owned_ = false;
  uint32_t tracks_ = 0;
  uint32_t patterns_ = 0;
  uint32_t songLength_ = 0;
};

// One channel's MS-ADPCM decoder state.
struct struct_decodestate_MSADPCM {
  uint8_t predictor;
  int16_t delta;
  int16_t sample1;
  int16_t sample2;
};

class qssSound : public qssPlayable {
 public:
  qssSound();
  virtual ~qssSound();

  // From a RIFF WAVE image: 8-bit unsigned or 16-bit signed PCM (copied or referenced) or
  // 4-bit MS-ADPCM (decoded into owned 16-bit PCM). QSS_ERR_NO_MEMORY for a null image,
  // QSS_ERR_BAD_STRUCTURE for no "fmt " chunk first or no "data" chunk, QSS_ERR_UNSUPPORTED
  // for an unsupported or inconsistent format.
  int load(const void* image, size_t size, bool copy);
  // The same for an image trusted to hold a "data" chunk.
  int load(const void* image, bool copy);
  // From a file: QSS_ERR_CANNOT_OPEN_FILE, QSS_ERR_BAD_STRUCTURE (bad structure or empty
  // data), QSS_ERR_NO_MEMORY.
  int load(const char* path);
  void destroy();

  void maxplaybacks(int32_t n) { maxplaybacks_ = n; }
  int32_t maxplaybacks() const { return maxplaybacks_; }

  const uint8_t* data() const { return data_; }
  bool bits8() const { return bits8_; }
  bool stereo() const { return stereo_; }
  uint32_t sampleRate() const { return rate(); }
  uint32_t frames() const { return frames_; }

  // MS-ADPCM: takes the fmt chunk body (fmtBytes long); QSS_ERR_FORMAT unless it holds 7
  // coefficient pairs.
  int init_MSADPCM(const uint8_t* fmtBody, uint32_t fmtBytes);
  // Decodes *bytes bytes at *data into new 16-bit PCM; on success *data and *bytes describe
  // the output (the caller frees it with delete[]) and the source is freed when asked.
  // QSS_ERR_FORMAT on bad block geometry or predictor, or no memory.
  int decode_MSADPCM(uint8_t** data, uint32_t* bytes, bool freeSource);
  // One nibble of one channel.
  static int16_t nibble_MSADPCM(struct_decodestate_MSADPCM* state, uint8_t nibble,
                                const int16_t* coef);

  uint8_t fmt[16] = {};
  uint16_t samplesPerBlock = 0;
  uint16_t numCoef = 0;
  int16_t coef[7][2] = {};
  struct_decodestate_MSADPCM state[2] = {};

 private:
  int parse(const uint8_t* image, size_t size, bool copy, uint32_t* dataBytes);

  const uint8_t* data_ = nullptr;
  bool bits8_ = true;
  bool stereo_ = false;
  uint32_t frames_ = 0;
  int32_t maxplaybacks_ = -1;
  bool owned_ = false;
};
