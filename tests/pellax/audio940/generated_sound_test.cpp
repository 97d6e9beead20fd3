// The game's own music and effects, as the build made them and the decoder gives them back:
// each carries no constant offset (no sound, only lost headroom and a click where it stops).
#include <gtest/gtest.h>

#include <cstdint>
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

TEST(GeneratedSound, EveryEffectIsCentredOnZero) {
  int effects = 0;
  for (uint32_t at = 0; at + 4 <= sfx_streams_size; ++effects) {
    const uint32_t length = uint32_t(sfx_streams[at]) | uint32_t(sfx_streams[at + 1]) << 8 |
                            uint32_t(sfx_streams[at + 2]) << 16 | uint32_t(sfx_streams[at + 3]) << 24;
    ASSERT_LE(length, sfx_streams_size - at - 4);
    SCOPED_TRACE("effect " + std::to_string(effects));
    expect_no_offset(std::vector<uint8_t>(sfx_streams + at + 4, sfx_streams + at + 4 + length));
    at += 4 + length;
  }
  EXPECT_EQ(effects, 9);
}

TEST(GeneratedSound, EveryTrackIsCentredOnZero) {
  for (const char* name : {"title.ogg", "level1.ogg", "level2.ogg", "level3.ogg", "level4.ogg", "level5.ogg",
                           "zonecomplete.ogg", "qss.lvl", "lft.lvl", "shs.lvl", "bety.lvl"}) {
    SCOPED_TRACE(name);
    std::ifstream in(std::string(PELLAX_DATA_DIR) + "/" + name, std::ios::binary);
    ASSERT_TRUE(in) << "not built";
    expect_no_offset(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
  }
}

}  // namespace
