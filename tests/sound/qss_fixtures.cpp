#include "tests/sound/qss_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void putLe16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(x & 0xFF);
  v.push_back((x >> 8) & 0xFF);
}
void putLe32(std::vector<uint8_t>& v, uint32_t x) {
  putLe16(v, x & 0xFFFF);
  putLe16(v, x >> 16);
}
void putId(std::vector<uint8_t>& v, const std::string& id) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(i < (int)id.size() ? id[i] : ' '));
}
void putChunk(std::vector<uint8_t>& v, const std::string& id, const std::vector<uint8_t>& body) {
  putId(v, id);
  putLe32(v, static_cast<uint32_t>(body.size()));
  v.insert(v.end(), body.begin(), body.end());
  if (body.size() & 1) v.push_back(0);
}

}  // namespace

ModBuilder::ModBuilder(uint32_t trackCount, const char* sig) : signature(sig), tracks(trackCount) {}

uint32_t ModBuilder::patternCount(const uint8_t* o, uint32_t n) {
  uint32_t highest = 0;
  for (uint32_t i = 0; i < n; ++i) highest = std::max<uint32_t>(highest, o[i]);
  return highest + 1;
}

void ModBuilder::cell(uint32_t pattern, uint32_t row, uint32_t track, uint32_t sample,
                      uint32_t period, uint32_t effect, uint32_t parameter) {
  size_t at = ((static_cast<size_t>(pattern) * 64 + row) * tracks + track) * 4;
  if (patternBytes.size() < at + 4) patternBytes.resize((pattern + 1) * 64 * tracks * 4);
  patternBytes[at + 0] = static_cast<uint8_t>((sample & 0xF0) | ((period >> 8) & 0x0F));
  patternBytes[at + 1] = static_cast<uint8_t>(period & 0xFF);
  patternBytes[at + 2] = static_cast<uint8_t>(((sample & 0x0F) << 4) | (effect & 0x0F));
  patternBytes[at + 3] = static_cast<uint8_t>(parameter);
}

std::vector<uint8_t> ModBuilder::build() const {
  std::vector<uint8_t> m(1084, 0);
  memcpy(m.data(), "test module", 11);
  for (int k = 0; k < 31; ++k) {
    uint8_t* h = &m[20 + 30 * k];
    const Sample& s = samples[k];
    uint32_t words = static_cast<uint32_t>(s.data.size() / 2);
    h[22] = words >> 8;
    h[23] = words & 0xFF;
    h[24] = s.finetune;
    h[25] = s.volume;
    h[26] = s.repeatStart >> 8;
    h[27] = s.repeatStart & 0xFF;
    h[28] = s.repeatLength >> 8;
    h[29] = s.repeatLength & 0xFF;
  }
  m[950] = songLength;
  m[951] = restart;
  memcpy(&m[952], orders, 128);
  for (int i = 0; i < 4; ++i) m[1080 + i] = static_cast<uint8_t>(signature[i]);
  size_t patternSize = patternCount(orders, std::min<uint32_t>(songLength ? songLength : 1, 128)) *
                       64 * tracks * 4;
  std::vector<uint8_t> patterns = patternBytes;
  patterns.resize(patternSize, 0);
  m.insert(m.end(), patterns.begin(), patterns.end());
  for (const Sample& s : samples)
    for (size_t i = 0; i < s.data.size() / 2 * 2; ++i)
      m.push_back(static_cast<uint8_t>(s.data[i]));
  return m;
}

void WavBuilder::appendPcm(const std::vector<int16_t>& pcm) {
  for (int16_t v : pcm) {
    if (bits == 8) {
      data.push_back(static_cast<uint8_t>((v >> 8) + 128));
    } else {
      data.push_back(v & 0xFF);
      data.push_back((v >> 8) & 0xFF);
    }
  }
}

std::vector<uint8_t> WavBuilder::build() const {
  std::vector<uint8_t> fmt;
  putLe16(fmt, tag);
  putLe16(fmt, channels);
  putLe32(fmt, rate);
  uint16_t align = blockAlign ? blockAlign : static_cast<uint16_t>(channels * bits / 8);
  putLe32(fmt, rate * align);
  putLe16(fmt, align);
  putLe16(fmt, bits);
  fmt.insert(fmt.end(), fmtExtra.begin(), fmtExtra.end());
  std::vector<uint8_t> body;
  putId(body, "WAVE");
  putChunk(body, "fmt ", fmt);
  for (const auto& c : before) putChunk(body, c.first, c.second);
  if (withData) putChunk(body, "data", data);
  std::vector<uint8_t> out;
  putId(out, "RIFF");
  putLe32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

const int16_t kAdpcmCoef[7][2] = {{256, 0},   {512, -256}, {0, 0},     {192, 64},
                                  {240, 0},   {460, -208}, {392, -232}};

uint16_t adpcmSamplesPerBlock(uint16_t blockAlign, uint16_t channels) {
  return static_cast<uint16_t>((blockAlign - 7 * channels) * 2 / channels + 2);
}

namespace {

const int kAdapt[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                        768, 614, 512, 409, 307, 230, 230, 230};

struct EncState {
  int predictor, delta, s1, s2;
};

// Encodes one sample, updating the state as a decoder would; returns the nibble.
int encodeOne(EncState& e, int x) {
  int pred = (e.s1 * kAdpcmCoef[e.predictor][0] + e.s2 * kAdpcmCoef[e.predictor][1]) / 256;
  int err = x - pred;
  int q = err >= 0 ? (err + e.delta / 2) / e.delta : -((-err + e.delta / 2) / e.delta);
  q = std::clamp(q, -8, 7);
  int value = std::clamp(pred + q * e.delta, -32768, 32767);
  e.s2 = e.s1;
  e.s1 = value;
  int nibble = q & 15;
  e.delta = std::max(16, e.delta * kAdapt[nibble] / 256);
  return nibble;
}

}  // namespace

std::vector<uint8_t> encodeAdpcmWav(const std::vector<int16_t>& pcm, uint16_t channels,
                                    uint32_t rate, uint16_t blockAlign) {
  const uint16_t spb = adpcmSamplesPerBlock(blockAlign, channels);
  const size_t frames = pcm.size() / channels;
  const size_t blocks = (frames + spb - 1) / spb;
  auto at = [&](size_t f, int c) {
    f = std::min(f, frames - 1);
    return static_cast<int>(pcm[f * channels + c]);
  };
  std::vector<uint8_t> data;
  for (size_t b = 0; b < blocks; ++b) {
    size_t f0 = b * spb;
    std::vector<uint8_t> block;
    EncState st[2];
    for (int c = 0; c < channels; ++c) {
      // Pick the predictor with the least error over the block; vary the start delta.
      int bestP = 0;
      long bestErr = -1;
      for (int p = 0; p < 7; ++p) {
        EncState t{p, 16 + (int)((b * 37 + c * 11) % 200), at(f0 + 1, c), at(f0, c)};
        long sum = 0;
        for (size_t i = 2; i < spb; ++i) {
          encodeOne(t, at(f0 + i, c));
          sum += std::abs(t.s1 - at(f0 + i, c));
        }
        if (bestErr < 0 || sum < bestErr) bestErr = sum, bestP = p;
      }
      st[c] = EncState{bestP, 16 + (int)((b * 37 + c * 11) % 200), at(f0 + 1, c), at(f0, c)};
    }
    for (int c = 0; c < channels; ++c) block.push_back(static_cast<uint8_t>(st[c].predictor));
    for (int c = 0; c < channels; ++c) putLe16(block, st[c].delta & 0xFFFF);
    for (int c = 0; c < channels; ++c) putLe16(block, st[c].s1 & 0xFFFF);
    for (int c = 0; c < channels; ++c) putLe16(block, st[c].s2 & 0xFFFF);
    std::vector<int> nibbles;
    for (size_t i = 2; i < spb; ++i)
      for (int c = 0; c < channels; ++c) nibbles.push_back(encodeOne(st[c], at(f0 + i, c)));
    for (size_t i = 0; i < nibbles.size(); i += 2)
      block.push_back(static_cast<uint8_t>((nibbles[i] << 4) | (i + 1 < nibbles.size() ? nibbles[i + 1] : 0)));
    block.resize(blockAlign, 0);
    data.insert(data.end(), block.begin(), block.end());
  }
  WavBuilder w;
  w.tag = 2;
  w.channels = channels;
  w.rate = rate;
  w.bits = 4;
  w.blockAlign = blockAlign;
  putLe16(w.fmtExtra, 32);
  putLe16(w.fmtExtra, spb);
  putLe16(w.fmtExtra, 7);
  for (const auto& c : kAdpcmCoef) {
    putLe16(w.fmtExtra, static_cast<uint16_t>(c[0]));
    putLe16(w.fmtExtra, static_cast<uint16_t>(c[1]));
  }
  std::vector<uint8_t> fact;
  putLe32(fact, static_cast<uint32_t>(blocks * spb));
  w.before.push_back({"fact", fact});
  w.data = data;
  return w.build();
}

std::vector<int16_t> testSignal(uint32_t frames, uint16_t channels, uint32_t seed) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * channels);
  uint32_t noise = seed * 2654435761u + 1;
  for (uint32_t f = 0; f < frames; ++f)
    for (uint16_t c = 0; c < channels; ++c) {
      noise = noise * 1664525u + 1013904223u;
      double t = f / 22050.0;
      double v = 20000 * std::sin(2 * M_PI * (200 + 300 * c + 2000 * t) * t) +
                 ((int)(noise >> 20) - 2048) * 2;
      out[static_cast<size_t>(f) * channels + c] =
          static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
  return out;
}

std::vector<uint8_t> demoModule(uint32_t tracks, uint32_t patterns) {
  std::string sig = tracks == 4 ? "M.K." : std::to_string(tracks) + (tracks < 10 ? "CHN" : "CH");
  ModBuilder m(tracks, sig.c_str());
  // Sample 1: looping square-ish wave; sample 2: a decaying noise burst; sample 3: saw.
  for (int i = 0; i < 64; ++i) m.samples[0].data.push_back(static_cast<int8_t>(i < 32 ? 90 : -90));
  m.samples[0].repeatStart = 0;
  m.samples[0].repeatLength = 32;
  uint32_t n = 12345;
  for (int i = 0; i < 4000; ++i) {
    n = n * 1103515245u + 12345u;
    m.samples[1].data.push_back(static_cast<int8_t>(((int)(n >> 24) - 128) * (4000 - i) / 4000));
  }
  for (int i = 0; i < 256; ++i) m.samples[2].data.push_back(static_cast<int8_t>(i - 128));
  m.samples[2].repeatStart = 0;
  m.samples[2].repeatLength = 128;
  m.samples[2].finetune = 3;
  static const uint32_t periods[] = {428, 381, 339, 320, 285, 254, 226, 214};
  m.songLength = static_cast<uint8_t>(patterns);
  for (uint32_t p = 0; p < patterns; ++p) {
    m.orders[p] = static_cast<uint8_t>(p);
    for (uint32_t r = 0; r < 64; ++r)
      for (uint32_t t = 0; t < tracks; ++t) {
        uint32_t k = (r + t * 3 + p) % 8;
        if ((r + t) % 4 == 0) {
          static const uint32_t effects[][2] = {{0, 0x37}, {4, 0x46}, {0xA, 0x02}, {1, 0x02},
                                                {0, 0}, {0xC, 0x30}, {3, 0x08}, {6, 0x01}};
          const uint32_t* e = effects[(r / 4 + t) % 8];
          m.cell(p, r, t, 1 + (t + r / 16) % 3, periods[k], e[0], e[1]);
        } else if ((r + t) % 4 == 2) {
          m.cell(p, r, t, 0, 0, 0xA, 0x01);
        } else {
          m.cell(p, r, t, 0, 0);
        }
      }
  }
  return m.build();
}
