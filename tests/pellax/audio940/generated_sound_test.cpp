// The game's own music and effects, as the build made them and the decoder gives them back:
// each carries no constant offset (no sound, only lost headroom and a click where it stops).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/pellax/audio940/ogg_oracle.h"

extern const uint8_t sfx_streams[];
extern const uint32_t sfx_streams_size;

namespace {

// The mean of each side of a decoded stereo stream, in 16-bit steps.
void expect_no_offset(const std::vector<uint8_t>& stream) {
  bool opened = false;
  const std::vector<int16_t> pcm = ogg_oracle::decode(stream, &opened);
  ASSERT_TRUE(opened);
  ASSERT_GE(pcm.size(), 2u);
  double sum[2] = {0, 0};
  for (size_t i = 0; i < pcm.size(); ++i) sum[i % 2] += pcm[i];
  const double frames = double(pcm.size() / 2);
  EXPECT_NEAR(sum[0] / frames, 0.0, 100.0) << "left";
  EXPECT_NEAR(sum[1] / frames, 0.0, 100.0) << "right";
}

// The nine effect streams as the build compiled them into the program.
std::vector<std::vector<uint8_t>> effect_streams() {
  std::vector<std::vector<uint8_t>> streams;
  for (uint32_t at = 0; at + 4 <= sfx_streams_size;) {
    const uint32_t length = uint32_t(sfx_streams[at]) | uint32_t(sfx_streams[at + 1]) << 8 |
                            uint32_t(sfx_streams[at + 2]) << 16 | uint32_t(sfx_streams[at + 3]) << 24;
    if (length > sfx_streams_size - at - 4) break;
    streams.emplace_back(sfx_streams + at + 4, sfx_streams + at + 4 + length);
    at += 4 + length;
  }
  return streams;
}

const char* const kTracks[] = {"title.ogg", "level1.ogg", "level2.ogg", "level3.ogg", "level4.ogg", "level5.ogg",
                               "zonecomplete.ogg", "qss.lvl", "lft.lvl", "shs.lvl", "bety.lvl"};

std::vector<uint8_t> track(const char* name) {
  std::ifstream in(std::string(PELLAX_DATA_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name << " not built";
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(GeneratedSound, EveryEffectIsCentredOnZero) {
  const std::vector<std::vector<uint8_t>> streams = effect_streams();
  ASSERT_EQ(streams.size(), 9u);
  for (size_t i = 0; i < streams.size(); ++i) {
    SCOPED_TRACE("effect " + std::to_string(i));
    expect_no_offset(streams[i]);
  }
}

TEST(GeneratedSound, EveryTrackIsCentredOnZero) {
  for (const char* name : kTracks) {
    SCOPED_TRACE(name);
    expect_no_offset(track(name));
  }
}

// The loudest the game can ask for: the master volume at its top (200), the music at its
// level (250) at its loudest sample, and the three effects one frame can start together at
// their volumes: the shot (effect 5, 100), the loudest blast (effect 3, 150) and a pick-up
// (effect 6, 50). The second core saturates at full scale, so a sum past it clips.
TEST(GeneratedSound, LoudestSettingsWithEffectsStartedTogetherDoNotClip) {
  int64_t music = 0;
  for (const char* name : kTracks)
    for (int16_t v : ogg_oracle::decode(track(name))) music = std::max<int64_t>(music, std::abs(int32_t{v}));
  const std::vector<std::vector<uint8_t>> streams = effect_streams();
  ASSERT_EQ(streams.size(), 9u);
  struct Voice {
    int effect, volume;
  };
  std::vector<int64_t> sum;
  for (const Voice& v : {Voice{5, 100}, Voice{3, 150}, Voice{6, 50}}) {
    const std::vector<int16_t> pcm = ogg_oracle::decode(streams[size_t(v.effect)]);
    if (sum.size() < pcm.size()) sum.resize(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) sum[i] += int64_t(pcm[i]) * v.volume;
  }
  int64_t effects = 0;
  for (int64_t s : sum) effects = std::max(effects, s < 0 ? -s : s);
  const int64_t loudest = ((music * 250 + effects) >> 8) * 200 >> 8;
  EXPECT_LE(loudest, 32767) << "music " << music << ", effects " << effects;
}

}  // namespace
