// Microsoft ADPCM (WAVE format tag 2) decoding for qssSound.
#include <algorithm>
#include <cstring>
#include <new>

#include "sound/qssBytes.h"
#include "sound/qssData.h"
#include "sound/qssTables.h"

int qssSound::init_MSADPCM(const uint8_t* body, uint32_t fmtBytes) {
  // Format block, samples per block, coefficient count, then seven pairs.
  if (fmtBytes < 22 + 7 * 4) return QSS_ERR_FORMAT;
  memcpy(fmt, body, 16);
  samplesPerBlock = qssLe16(body + 18);
  numCoef = qssLe16(body + 20);
  if (numCoef != 7) return QSS_ERR_FORMAT;
  for (int i = 0; i < 7; ++i) {
    coef[i][0] = static_cast<int16_t>(qssLe16(body + 22 + 4 * i));
    coef[i][1] = static_cast<int16_t>(qssLe16(body + 24 + 4 * i));
  }
  return 0;
}

int16_t qssSound::nibble_MSADPCM(struct_decodestate_MSADPCM* s, uint8_t nibble,
                                 const int16_t* c) {
  // A file's coefficients can take the sum past 32 bits.
  int64_t predictor = (int64_t{s->sample1} * c[0] + int64_t{s->sample2} * c[1]) / 256;
  int32_t signedNibble = nibble >= 8 ? nibble - 16 : nibble;
  int32_t value = static_cast<int32_t>(
      std::clamp<int64_t>(predictor + signedNibble * s->delta, -32768, 32767));
  s->sample2 = s->sample1;
  s->sample1 = static_cast<int16_t>(value);
  int32_t delta = s->delta * qssAdpcmAdaptive[nibble & 15] / 256;
  s->delta = static_cast<int16_t>(delta < 16 ? 16 : delta);
  return static_cast<int16_t>(value);
}

int qssSound::decode_MSADPCM(uint8_t** data, uint32_t* bytes, bool freeSource) {
  const uint32_t channels = qssLe16(fmt + 2);
  const uint32_t blockAlign = qssLe16(fmt + 12);
  const uint32_t spb = samplesPerBlock;
  if (channels < 1 || channels > 2 || spb < 2) return QSS_ERR_FORMAT;
  // Header plus nibbles of one block must fit in it.
  const uint64_t need = 7ull * channels + ((spb - 2ull) * channels + 1) / 2;
  if (blockAlign == 0 || need > blockAlign) return QSS_ERR_FORMAT;

  const uint8_t* in = *data;
  const uint64_t blocks = *bytes / blockAlign;
  const uint64_t outBytes = blocks * spb * channels * 2;
  if (outBytes / (2ull * channels) >= QSS_MAX_SOUND_FRAMES) return QSS_ERR_FORMAT;
  uint8_t* out = new (std::nothrow) uint8_t[outBytes + 2];
  if (!out) return QSS_ERR_FORMAT;

  uint8_t* o = out;
  auto put = [&o](int16_t v) {
    memcpy(o, &v, 2);
    o += 2;
  };
  for (uint64_t b = 0; b < blocks; ++b) {
    const uint8_t* p = in + b * blockAlign;
    for (uint32_t c = 0; c < channels; ++c) {
      state[c].predictor = p[c];
      state[c].delta = static_cast<int16_t>(qssLe16(p + channels + 2 * c));
      state[c].sample1 = static_cast<int16_t>(qssLe16(p + 3 * channels + 2 * c));
      state[c].sample2 = static_cast<int16_t>(qssLe16(p + 5 * channels + 2 * c));
      if (state[c].predictor > 6) {
        delete[] out;
        return QSS_ERR_FORMAT;
      }
    }
    for (uint32_t c = 0; c < channels; ++c) put(state[c].sample2);
    for (uint32_t c = 0; c < channels; ++c) put(state[c].sample1);
    const uint8_t* nibbles = p + 7 * channels;
    const uint32_t count = (spb - 2) * channels;
    for (uint32_t i = 0; i < count; ++i) {
      uint8_t byte = nibbles[i / 2];
      uint8_t nibble = (i & 1) ? (byte & 0x0F) : (byte >> 4);
      uint32_t c = channels == 2 ? (i & 1) : 0;
      put(nibble_MSADPCM(&state[c], nibble, coef[state[c].predictor]));
    }
  }
  if (freeSource) delete[] *data;
  *data = out;
  *bytes = static_cast<uint32_t>(outBytes);
  return 0;
}
