// The output driver interface of the sound library: the speaker reaches the sound hardware
// only through it, so tests and other platforms can stand in their own.
#pragma once

#include <cstdint>

// Output format handed to a driver's open.
struct AudioSpec {
  uint32_t freq;      // frames per second
  uint32_t format;    // 0x01 8-bit, 0x02 16-bit, 0x10 signed, 0x20 unsigned
  uint32_t channels;  // 1 mono, 2 stereo
};

enum : uint32_t {
  QSS_FORMAT_8BIT = 0x01,
  QSS_FORMAT_16BIT = 0x02,
  QSS_FORMAT_SIGNED = 0x10,
  QSS_FORMAT_UNSIGNED = 0x20,
  QSS_AUDIO_U8 = 0x21,   // 8-bit unsigned
  QSS_AUDIO_S16 = 0x12,  // 16-bit signed, little-endian
};

// Fills `bytes` bytes of `buffer` with output; called on the driver's own thread.
typedef void (*qssAudioCallback)(void* user, unsigned char* buffer, int bytes);

class qssDriver {
 public:
  virtual ~qssDriver() {}
  // Starts output: `samples` is the wanted buffering in frames. 0 or a negative code.
  virtual int open(AudioSpec* spec, uint32_t samples, qssAudioCallback callback, void* user) = 0;
  // Stops output; once it returns the callback is never called again. 0 or a negative code.
  virtual int close() = 0;
  // Excludes the callback while the caller changes state the callback reads. Nests.
  virtual void enterCriticalSection() = 0;
  virtual void leaveCriticalSection() = 0;
  // Stop and restart calling the callback and writing to the device.
  virtual void suspend() = 0;
  virtual void resume() = 0;
};
