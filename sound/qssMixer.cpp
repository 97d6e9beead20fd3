// The speaker's mixer: one call fills one output buffer from every playing channel.
// Integer only, one multiply per voice and side, no interpolation, no division unless a
// channel changed its rate.
#include <algorithm>
#include <cstring>

#include "sound/qssSpeaker.h"

namespace {

inline int32_t soundValue(const uint8_t* data, bool bits8, uint32_t index) {
  if (bits8) return (data[index] - 128) * 256;
  int16_t v;
  memcpy(&v, data + 2 * static_cast<size_t>(index), 2);
  return v;
}

inline int32_t clamp16(int32_t v) { return std::clamp(v, -32768, 32767); }

}  // namespace

// Bounds: a music track adds at most 2 x 128 x 255 per side and a sound channel at most
// 65536 x 128, so 64 modules of 32 tracks and 128 sounds stay inside 32 bits.
bool qssSoundChannel::mixFrame(uint32_t outRate, bool stereoOut, int32_t& sl, int32_t& sr) {
  if (dirty) {
    step = static_cast<uint32_t>((static_cast<uint64_t>(frequency_) << 16) /
                                 (static_cast<uint64_t>(outRate) << 8));
    dirty = false;
  }
  if (position_ >= length_) {
    if (loop_) position_ -= length_;
    if (!loop_ || position_ >= length_) {
      paused_ = false;
      stopped_ = true;
      return false;
    }
  }
  const uint32_t frame = position_ >> 8;
  int32_t l, r = 0;
  if (stereo) {
    l = soundValue(data, bits8, 2 * frame);
    r = soundValue(data, bits8, 2 * frame + 1);
  } else {
    l = soundValue(data, bits8, frame);
  }
  const int32_t vol = static_cast<int32_t>(volumeEff);
  if (!stereoOut) {
    sl += (l + r) * vol;
  } else if (pan_ == 128) {
    sl += l * vol;
    sr += (stereo ? r : l) * vol;
  } else {
    const int32_t v = 2 * vol;
    const int32_t w = v * static_cast<int32_t>(pan_) >> 8;
    sl += (l + r) * (v - w);
    sr += (l + r) * w;
  }
  position_ += step;
  return true;
}

void qssSpeaker::updateModSFX(unsigned char* buffer, int bytes) {
  if (!buffer || bytes <= 0) return;
  if (!opened.load(std::memory_order_acquire)) {
    fillSilence(buffer, bytes);
    return;
  }
  uint32_t nm = 0, ns = 0;
  for (uint32_t i = 0; i < maxMusics; ++i)
    if (musics[i].playing()) playingMusics[nm++] = &musics[i];
  for (uint32_t i = 0; i < maxSounds; ++i)
    if (sounds[i].playing()) playingSounds[ns++] = &sounds[i];
  if (nm == 0 && ns == 0) {
    fillSilence(buffer, bytes);
    return;
  }

  const bool wide = bits16 != 0;
  const bool two = stereo != 0;
  const int frames = bytes / ((wide ? 2 : 1) * (two ? 2 : 1));
  unsigned char* out = buffer;
  for (int f = 0; f < frames; ++f) {
    int32_t ml = 0, mr = 0, sl = 0, sr = 0;
    for (uint32_t i = 0; i < nm; ++i) {
      qssMusicChannel& c = *playingMusics[i];
      if (!c.playingNow()) continue;
      if (c.dirty) c.computeSamplesPerTick();
      if (!c.advanceFrame()) continue;
      for (uint32_t t = 0, n = c.tracks; t < n; ++t) {
        qssTrack& k = c.track[t];
        const qssModSample& s = c.samples[k.sample];
        if (!s.data) continue;
        if (s.loopLength != 0 && k.samplePos >= s.loopStart + s.loopLength)
          k.samplePos = s.loopStart + (k.samplePos - s.loopStart) % s.loopLength;
        if (k.samplePos >= s.length) continue;
        const int32_t v = s.data[k.samplePos >> 12];
        if (two) {
          const int32_t r = k.effVolume * static_cast<int32_t>(k.rightShare) >> 8;
          ml += 2 * v * (k.effVolume - r);
          mr += 2 * v * r;
        } else {
          ml += v * k.effVolume;
        }
        k.samplePos += k.step;
      }
    }
    for (uint32_t i = 0; i < ns; ++i) {
      qssSoundChannel& c = *playingSounds[i];
      if (c.playingNow()) c.mixFrame(rate, two, sl, sr);
    }
    int32_t left = ml + (sl >> 7);
    int32_t right = mr + (sr >> 7);
    if (wide) {
      int16_t v = static_cast<int16_t>(clamp16(left));
      memcpy(out, &v, 2);
      out += 2;
      if (two) {
        v = static_cast<int16_t>(clamp16(right));
        memcpy(out, &v, 2);
        out += 2;
      }
    } else {
      *out++ = static_cast<unsigned char>((clamp16(left) >> 8) + 128);
      if (two) *out++ = static_cast<unsigned char>((clamp16(right) >> 8) + 128);
    }
  }
  // Bytes past the last whole frame (none for the driver's buffers) stay silent.
  if (out < buffer + bytes) fillSilence(out, static_cast<int>(buffer + bytes - out));
}
