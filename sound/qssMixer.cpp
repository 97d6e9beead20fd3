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

namespace {

// Frames mixed per pass: the sums of one pass live on the stack.
constexpr int kPassFrames = 256;

// The music sums of one frame, both sides in one 64-bit word: left + right x 2^32. Each side
// stays inside 32 bits (see the bounds above), so one multiply and one add per track and
// frame keep both exactly, and the low word is the left sum.
constexpr int64_t kRightUnit = int64_t{1} << 32;
inline int32_t leftOf(int64_t m) { return static_cast<int32_t>(static_cast<uint32_t>(m)); }
inline int32_t rightOf(int64_t m) { return static_cast<int32_t>((m - leftOf(m)) >> 32); }

// Writes `n` frames of sums, clamped to 16 bits, in the output's format.
template <bool kWide, bool kTwo>
unsigned char* writeFrames(unsigned char* out, const int64_t* mm, int n) {
  for (int f = 0; f < n; ++f) {
    const int32_t left = clamp16(leftOf(mm[f]));
    if (kWide) {
      const int16_t v = static_cast<int16_t>(left);
      memcpy(out, &v, 2);
      out += 2;
    } else {
      *out++ = static_cast<unsigned char>((left >> 8) + 128);
    }
    if (kTwo) {
      const int32_t right = clamp16(rightOf(mm[f]));
      if (kWide) {
        const int16_t v = static_cast<int16_t>(right);
        memcpy(out, &v, 2);
        out += 2;
      } else {
        *out++ = static_cast<unsigned char>((right >> 8) + 128);
      }
    }
  }
  return out;
}

// Adds `frames` frames of every track of `c` to the sums, from frame `at` on. Track state
// holds still inside the run: only the sample positions move.
void mixTracks(qssMusicChannel& c, bool two, int at, int frames, int64_t* mm) {
  for (uint32_t t = 0, n = c.tracks; t < n; ++t) {
    qssTrack& k = c.track[t];
    const qssModSample& s = c.samples[k.sample];
    const int8_t* const data = s.data;
    if (!data) continue;
    const uint32_t loopStart = s.loopStart, loopLength = s.loopLength, length = s.length;
    const uint32_t loopEnd = loopStart + loopLength;
    const uint32_t step = k.step;
    // 2s(v - r) and 2sr with r = v x rightShare >> 8; mono: s x v.
    const int32_t r = k.effVolume * static_cast<int32_t>(k.rightShare) >> 8;
    const int64_t volumes = two ? 2 * (k.effVolume - r) + int64_t{2 * r} * kRightUnit : k.effVolume;
    // Frames are mixed in stretches that end where the position reaches the loop end or
    // the sample end; only there are the loop and the end looked at.
    const uint32_t stop = loopLength != 0 ? std::min(loopEnd, length) : length;
    uint32_t pos = k.samplePos;
    for (int f = at, end = at + frames; f < end;) {
      if (loopLength != 0 && pos >= loopEnd) pos = loopStart + (pos - loopStart) % loopLength;
      // At or past its end a track stays silent and its position stays put.
      if (pos >= length) break;
      int run = end - f;
      if (step != 0) {
        const uint64_t left = (uint64_t{stop} - pos + step - 1) / step;  // pos < stop here
        if (left < static_cast<uint64_t>(run)) run = static_cast<int>(left);
      }
      for (const int last = f + run; f < last; ++f) {
        mm[f] += data[pos >> 12] * volumes;
        pos += step;
      }
    }
    k.samplePos = pos;
  }
}

// Runs the row and tick engine of `c` over `frames` frames and adds its tracks to the sums.
void mixMusic(qssMusicChannel& c, int frames, bool two, int64_t* mm) {
  for (int f = 0; f < frames;) {
    if (!c.playingNow()) return;
    if (c.dirty) c.computeSamplesPerTick();
    int run = 1;
    if (c.tick != c.ticksPerRow && c.frameInTick < c.samplesPerTick) {
      // Frames that only count towards the next tick.
      run = static_cast<int>(
          std::min<uint32_t>(static_cast<uint32_t>(frames - f), c.samplesPerTick - c.frameInTick));
      c.frameInTick += static_cast<uint32_t>(run);
    } else if (!c.advanceFrame()) {
      return;
    }
    mixTracks(c, two, f, run, mm);
    f += run;
  }
}

}  // namespace

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

  // Channels are mixed one after the other over a pass of frames: they share nothing but
  // the sums, whose integer additions do not depend on the order.
  const bool wide = bits16 != 0;
  const bool two = stereo != 0;
  const int frames = bytes / ((wide ? 2 : 1) * (two ? 2 : 1));
  unsigned char* out = buffer;
  int64_t mm[kPassFrames];
  int32_t sl[kPassFrames], sr[kPassFrames];
  for (int done = 0; done < frames;) {
    const int n = std::min(kPassFrames, frames - done);
    std::fill_n(mm, n, 0);
    for (uint32_t i = 0; i < nm; ++i) mixMusic(*playingMusics[i], n, two, mm);
    if (ns != 0) {
      std::fill_n(sl, n, 0);
      std::fill_n(sr, n, 0);
      for (uint32_t i = 0; i < ns; ++i) {
        qssSoundChannel& c = *playingSounds[i];
        if (!c.playingNow()) continue;
        for (int f = 0; f < n; ++f)
          if (!c.mixFrame(rate, two, sl[f], sr[f])) break;
      }
      // The sounds' sums are scaled down as a whole, then join the music's.
      for (int f = 0; f < n; ++f) mm[f] += (sl[f] >> 7) + int64_t{sr[f] >> 7} * kRightUnit;
    }
    if (wide)
      out = two ? writeFrames<true, true>(out, mm, n) : writeFrames<true, false>(out, mm, n);
    else
      out = two ? writeFrames<false, true>(out, mm, n) : writeFrames<false, false>(out, mm, n);
    done += n;
  }
  // Bytes past the last whole frame (none for the driver's buffers) stay silent.
  if (out < buffer + bytes) fillSilence(out, static_cast<int>(buffer + bytes - out));
}
