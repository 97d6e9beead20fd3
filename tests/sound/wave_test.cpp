// WAV samples and MS-ADPCM: parsing, hand-built decoder vectors, a bit-exact comparison with
// SDL2's decoder on files from our own encoder, and malformed input.
#include <gtest/gtest.h>

#ifdef QSS_SDL_ORACLE
#include <SDL.h>
#endif

#include <cstdio>
#include <functional>
#include <cstring>
#include <random>

#include "sound/qssData.h"
#include "sound/qssUtility.h"
#include "tests/sound/qss_fixtures.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<uint8_t> bytesOf(std::initializer_list<int> v) {
  std::vector<uint8_t> out;
  for (int x : v) out.push_back(static_cast<uint8_t>(x));
  return out;
}

std::vector<int16_t> pcmOf(const qssSound& s) {
  std::vector<int16_t> v(static_cast<size_t>(s.frames()) * (s.stereo() ? 2 : 1));
  memcpy(v.data(), s.data(), v.size() * 2);
  return v;
}

// ---- parsing ----

struct ParseCase {
  const char* name;
  std::function<void(WavBuilder&)> edit;
  int result;
  uint32_t frames;
  bool bits8, stereo;
};

TEST(Wave, ParseTable) {
  const ParseCase cases[] = {
      {"16-bit stereo, 400 bytes", [](WavBuilder& w) {
         w.channels = 2;
         w.data.assign(400, 1);
       }, 0, 100, false, true},
      {"8-bit mono", [](WavBuilder& w) {
         w.bits = 8;
         w.data.assign(77, 0x80);
       }, 0, 77, true, false},
      {"odd LIST chunk before data (pad byte)", [](WavBuilder& w) {
         w.before.push_back({"LIST", bytesOf({1, 2, 3})});
         w.data.assign(10, 0);
       }, 0, 5, false, false},
      {"larger fmt chunk", [](WavBuilder& w) {
         w.fmtExtra = bytesOf({0, 0});
         w.data.assign(8, 0);
       }, 0, 4, false, false},
      {"first chunk not fmt", [](WavBuilder& w) {
         w.before.push_back({"JUNK", {}});
         w.data.assign(8, 0);
       }, -300, 0, false, false},  // edited below: JUNK moved first
      {"12 bits", [](WavBuilder& w) { w.bits = 12; }, -100, 0, false, false},
      {"3 channels", [](WavBuilder& w) { w.channels = 3; }, -100, 0, false, false},
      {"rate 0", [](WavBuilder& w) {
         w.rate = 0;
         w.data.assign(8, 0);
       }, -100, 0, false, false},
      {"no data chunk", [](WavBuilder& w) { w.withData = false; }, -300, 0, false, false},
      {"empty data chunk", [](WavBuilder& w) { w.data.clear(); }, 0, 0, false, false},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.name);
    WavBuilder w;
    c.edit(w);
    auto image = w.build();
    if (std::string(c.name) == "first chunk not fmt") memcpy(&image[12], "JUNK", 4);
    qssSound s;
    EXPECT_EQ(s.load(image.data(), image.size(), false), c.result);
    if (c.result != 0) {
      EXPECT_EQ(s.data(), nullptr);
      continue;
    }
    EXPECT_EQ(s.frames(), c.frames);
    EXPECT_EQ(s.bits8(), c.bits8);
    EXPECT_EQ(s.stereo(), c.stereo);
    EXPECT_EQ(s.sampleRate(), w.rate);
    EXPECT_EQ(s.frequency(), w.rate);
    // Referenced, not copied: the data lies in the image at the data chunk.
    EXPECT_EQ(s.data(), image.data() + image.size() - w.data.size() - (w.data.size() & 1));
    // Copy form: the same frames in owned memory.
    qssSound copied;
    ASSERT_EQ(copied.load(image.data(), image.size(), true), 0);
    EXPECT_NE(copied.data(), s.data());
    EXPECT_EQ(copied.frames(), s.frames());
    EXPECT_EQ(memcmp(copied.data(), s.data(), w.data.size()), 0);
    // Path form agrees, except that it refuses an empty data chunk.
    const TempDir dir;
    const std::string path = dir / "sample.wav";
    ASSERT_TRUE(WriteWholeFile(path, image));
    qssSound fromFile;
    EXPECT_EQ(fromFile.load(path.c_str()), c.frames ? 0 : -300);
    if (c.frames) {
      EXPECT_EQ(fromFile.frames(), s.frames());
      EXPECT_EQ(memcmp(fromFile.data(), s.data(), w.data.size()), 0);
    }
  }
}

TEST(Wave, BoundsOfTheImage) {
  WavBuilder w;
  w.data.assign(400, 7);
  auto image = w.build();
  qssSound s;
  // Data chunk cut short: clamped to the bytes present.
  ASSERT_EQ(s.load(image.data(), image.size() - 100, false), 0);
  EXPECT_EQ(s.frames(), 150u);
  // Cut inside a chunk header: no data chunk.
  EXPECT_EQ(s.load(image.data(), 40, false), -300);
  // A chunk size that points far past the end ends the walk.
  WavBuilder j;
  j.before.push_back({"LIST", bytesOf({1, 2})});
  j.data.assign(4, 0);
  auto jumped = j.build();
  jumped[40] = jumped[41] = jumped[42] = 0xFF;
  jumped[43] = 0x7F;
  EXPECT_EQ(s.load(jumped.data(), jumped.size(), false), -300);
  // fmt size below 16 or past the image.
  auto small = image;
  small[16] = 12;
  EXPECT_EQ(s.load(small.data(), small.size(), false), -100);
  auto big = image;
  big[18] = 0x10;
  EXPECT_EQ(s.load(big.data(), big.size(), false), -100);
  EXPECT_EQ(s.load(image.data(), 19, false), -300);
  EXPECT_EQ(s.load(static_cast<const void*>(nullptr), 10, false), -10);
  EXPECT_EQ(s.load("/nonexistent/dir/x.wav"), -200);
  // The trusted form reads the same image alike.
  ASSERT_EQ(s.load(image.data(), false), 0);
  EXPECT_EQ(s.frames(), 200u);
}

TEST(Wave, SetterArithmetic) {
  WavBuilder w;
  w.rate = 22050;
  w.data.assign(4, 0);
  auto image = w.build();
  qssSound s;
  EXPECT_EQ(s.frequency(), 1u);
  EXPECT_EQ(s.pan(), 128u);
  EXPECT_EQ(s.maxplaybacks(), -1);
  ASSERT_EQ(s.load(image.data(), image.size(), false), 0);
  s.frequency(44100);
  EXPECT_EQ(s.speed(), 256);
  s.speed(64);
  EXPECT_EQ(s.frequency(), 11025u);
  s.volume(99);
  s.pan(999);
  EXPECT_EQ(s.volume(), 64u);
  EXPECT_EQ(s.pan(), 255u);
}

// ---- MS-ADPCM ----

// An MS-ADPCM image of raw blocks with the standard coefficients.
std::vector<uint8_t> adpcmImage(uint16_t channels, uint16_t blockAlign, uint16_t spb,
                                const std::vector<uint8_t>& data, int numCoef = 7) {
  WavBuilder w;
  w.tag = 2;
  w.bits = 4;
  w.channels = channels;
  w.blockAlign = blockAlign;
  auto put16 = [&](int v) {
    w.fmtExtra.push_back(v & 0xFF);
    w.fmtExtra.push_back((v >> 8) & 0xFF);
  };
  put16(32);
  put16(spb);
  put16(numCoef);
  for (const auto& c : kAdpcmCoef) {
    put16(c[0]);
    put16(c[1]);
  }
  w.data = data;
  return w.build();
}

TEST(MsAdpcm, MonoVector) {
  // Predictor 0 (256, 0), delta 16, sample1 100, sample2 50; nibbles 1, -1, -8, 7.
  std::vector<uint8_t> block = bytesOf({0, 16, 0, 100, 0, 50, 0, 0x1F, 0x87});
  block.resize(16, 0);
  auto image = adpcmImage(1, 16, 6, block);
  qssSound s;
  ASSERT_EQ(s.load(image.data(), image.size(), false), 0);
  EXPECT_FALSE(s.bits8());
  // 50, 100 (sample2 first), then 116, 100, 100 - 8 x 16 = -28, -28 + 7 x 16 = 84 with the
  // delta held at its floor of 16 (16 x 230 / 256 = 14) until nibble -8 raises it to 48.
  EXPECT_EQ(pcmOf(s), (std::vector<int16_t>{50, 100, 116, 100, -28, -28 + 7 * 48}));
}

TEST(MsAdpcm, StereoOrderAndTruncation) {
  // Left: predictor 3 (192, 64), sample1 -1, sample2 0: -192/256 truncates to 0, not -1.
  // Right: predictor 0, sample1 1000, sample2 -1000. Header grouped by field.
  std::vector<uint8_t> block = bytesOf({3, 0,                 // predictors
                                        16, 0, 100, 0,        // deltas
                                        0xFF, 0xFF, 0xE8, 3,  // sample1 -1, 1000
                                        0, 0, 0x18, 0xFC,     // sample2 0, -1000
                                        0x02});               // left 0, right 2
  auto image = adpcmImage(2, 15, 3, block);
  qssSound s;
  ASSERT_EQ(s.load(image.data(), image.size(), false), 0);
  EXPECT_TRUE(s.stereo());
  EXPECT_EQ(s.frames(), 3u);
  EXPECT_EQ(pcmOf(s), (std::vector<int16_t>{0, -1000, -1, 1000, 0, 1200}));
}

TEST(MsAdpcm, BlockGeometry) {
  // Block align 256 with 500 samples per block: 1000 output bytes a block; 1000 input bytes
  // hold 3 whole blocks, the rest is dropped.
  std::vector<uint8_t> data(1000, 0);
  for (int b = 0; b < 3; ++b) data[b * 256 + 1] = 16;  // delta 16
  auto image = adpcmImage(1, 256, 500, data);
  qssSound s;
  ASSERT_EQ(s.load(image.data(), image.size(), false), 0);
  EXPECT_EQ(s.frames(), 1500u);
  EXPECT_EQ(s.samplesPerBlock, 500);
  uint8_t* raw = data.data();
  uint32_t bytes = 256;
  ASSERT_EQ(s.decode_MSADPCM(&raw, &bytes, false), 0);
  EXPECT_EQ(bytes, 1000u);
  delete[] raw;
}

TEST(MsAdpcm, NibbleDeltaFloorAndWidth) {
  struct_decodestate_MSADPCM st{0, 16, 0, 0};
  qssSound::nibble_MSADPCM(&st, 0, kAdpcmCoef[0]);
  EXPECT_EQ(st.delta, 16);
  st.delta = 1000;
  EXPECT_EQ(qssSound::nibble_MSADPCM(&st, 8, kAdpcmCoef[0]), -8000);
  EXPECT_EQ(st.delta, 3000);
  st.sample1 = 32000;
  st.sample2 = 0;
  EXPECT_EQ(qssSound::nibble_MSADPCM(&st, 7, kAdpcmCoef[0]), 32767);  // clamped
  // Extreme coefficients from a file: the prediction passes 32 bits before it is clamped.
  const int16_t extreme[2] = {-32768, -32768};
  st = struct_decodestate_MSADPCM{0, 16, -32768, -32768};
  EXPECT_EQ(qssSound::nibble_MSADPCM(&st, 0, extreme), 32767);
}

#ifdef QSS_SDL_ORACLE
struct Decoded {
  std::vector<int16_t> pcm;
  int channels = 0;
  bool ok = false;
};

Decoded sdlDecode(const std::vector<uint8_t>& image) {
  Decoded d;
  SDL_AudioSpec spec;
  Uint8* buffer = nullptr;
  Uint32 length = 0;
  SDL_RWops* rw = SDL_RWFromConstMem(image.data(), static_cast<int>(image.size()));
  if (!SDL_LoadWAV_RW(rw, 1, &spec, &buffer, &length)) return d;
  d.ok = spec.format == AUDIO_S16LSB;
  d.channels = spec.channels;
  d.pcm.resize(length / 2);
  memcpy(d.pcm.data(), buffer, length);
  SDL_FreeWAV(buffer);
  return d;
}

TEST(MsAdpcm, BitExactAgainstSdl) {
  struct Case {
    uint16_t channels, blockAlign;
    uint32_t frames;
  };
  for (const Case& c : {Case{1, 256, 5000}, Case{2, 512, 5000}, Case{1, 1024, 20000},
                        Case{2, 2048, 9000}, Case{1, 64, 3000}}) {
    SCOPED_TRACE(std::to_string(c.channels) + " ch, align " + std::to_string(c.blockAlign));
    auto image = encodeAdpcmWav(testSignal(c.frames, c.channels, c.blockAlign), c.channels,
                                22050, c.blockAlign);
    Decoded ref = sdlDecode(image);
    ASSERT_TRUE(ref.ok) << SDL_GetError();
    ASSERT_EQ(ref.channels, c.channels);
    qssSound s;
    ASSERT_EQ(s.load(image.data(), image.size(), false), 0);
    std::vector<int16_t> ours = pcmOf(s);
    ASSERT_EQ(ours.size(), ref.pcm.size());
    EXPECT_EQ(ours, ref.pcm);
    // The encoder is decent: the decoded signal follows the input.
    auto input = testSignal(c.frames, c.channels, c.blockAlign);
    double err = 0;
    for (size_t i = 0; i < input.size(); ++i) err += std::abs(input[i] - ours[i]);
    EXPECT_LT(err / input.size(), 2000);
  }
}

#endif  // QSS_SDL_ORACLE

TEST(MsAdpcm, MalformedIsRefusedWithoutOverRead) {
  std::vector<uint8_t> block(256, 0);
  block[1] = 16;
  struct Case {
    const char* name;
    uint16_t channels, blockAlign, spb;
    int numCoef;
    uint8_t predictor;
  };
  const Case cases[] = {
      {"predictor 7", 1, 256, 500, 7, 7},
      {"block align 0", 1, 0, 500, 7, 0},
      {"one sample per block", 1, 256, 1, 7, 0},
      {"samples per block past the block", 1, 256, 501, 7, 0},
      {"stereo samples past the block", 2, 256, 245, 7, 0},
      {"six coefficients", 1, 256, 500, 6, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto data = block;
    data[0] = c.predictor;
    auto image = adpcmImage(c.channels, c.blockAlign, c.spb, data, c.numCoef);
    std::vector<uint8_t> exact(image);
    qssSound s;
    EXPECT_EQ(s.load(exact.data(), exact.size(), false), -100);
    EXPECT_EQ(s.data(), nullptr);
  }
  // Tag other than 2 with 4 bits; fmt too short for the coefficients.
  auto image = adpcmImage(1, 256, 500, block);
  auto pcmTag = image;
  pcmTag[20] = 1;
  qssSound s;
  EXPECT_EQ(s.load(pcmTag.data(), pcmTag.size(), false), -100);
  WavBuilder shortFmt;
  shortFmt.tag = 2;
  shortFmt.bits = 4;
  shortFmt.blockAlign = 256;
  shortFmt.fmtExtra = bytesOf({32, 0, 0xF4, 1, 7, 0, 0, 1, 0, 0});  // one coefficient pair
  shortFmt.data = block;
  auto shortImage = shortFmt.build();
  EXPECT_EQ(s.load(shortImage.data(), shortImage.size(), false), -100);
  // Stereo: 14 header bytes and 242 x 2 nibbles fill 256 bytes exactly.
  std::vector<uint8_t> stereoBlock(256, 0);
  stereoBlock[2] = stereoBlock[4] = 16;
  auto fits = adpcmImage(2, 256, 244, stereoBlock);
  EXPECT_EQ(s.load(fits.data(), fits.size(), false), 0);
  EXPECT_EQ(s.frames(), 244u);
}

TEST(MsAdpcm, MutatedFilesNeverReadOutside) {
  auto base = encodeAdpcmWav(testSignal(3000, 2, 1), 2, 22050, 512);
  std::mt19937 rng(99);
  int loaded = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> image = base;
    int edits = 1 + rng() % 8;
    for (int e = 0; e < edits; ++e) image[rng() % 120] = static_cast<uint8_t>(rng());
    if (round % 2) image.resize(rng() % image.size());
    std::vector<uint8_t> exact(image);
    qssSound s;
    if (s.load(exact.data(), exact.size(), true) == 0) ++loaded;
  }
  EXPECT_GT(loaded, 0);
}

// ---- utility ----

TEST(Utility, Helpers) {
  EXPECT_EQ(qssUtility::getUpAlpha('m'), -1);
  EXPECT_EQ(qssUtility::getUpAlpha('M'), 'M');
  EXPECT_EQ(qssUtility::getDigit('x'), -1);
  EXPECT_EQ(qssUtility::getDigit('7'), 7);
  EXPECT_EQ(qssUtility::btol16(0x1234), 0x3412);
  EXPECT_EQ(qssUtility::btol32(0x11223344u), 0x22114433u);
  EXPECT_EQ(qssUtility::getPlatform(), 1);
  EXPECT_EQ(qssUtility::getOSVersion(), 0);
  char small[4];
  EXPECT_TRUE(qssUtility::fullPathName(small, "abc", sizeof small));
  EXPECT_STREQ(small, "abc");
  EXPECT_FALSE(qssUtility::fullPathName(small, "abcd", sizeof small));
  EXPECT_STREQ(small, "");
}

}  // namespace
