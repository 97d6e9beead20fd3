#include "engine/core/zmod_zlib.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ZLib, CallocChecksTheProductAndZeroes) {
  EXPECT_EQ(zcalloc(nullptr, 0x10000, 0x10000), nullptr);  // 2^32 bytes: overflow
  EXPECT_EQ(zcalloc(nullptr, 0xFFFFFFFFu, 2), nullptr);
  auto* p = static_cast<uint8_t*>(zcalloc(nullptr, 3, 5));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 15; i++) EXPECT_EQ(p[i], 0);
  zcfree(nullptr, p);
}

TEST(ZLib, OneShotResultCodes) {
  std::vector<uint8_t> data(3000, 'q'), packed(200), out(3000);
  uLong n = packed.size();
  ASSERT_EQ(CZLib::Compress(packed.data(), n, data.data(), data.size(), 9), Z_OK);
  uLong m = out.size();
  EXPECT_EQ(CZLib::Uncompress(out.data(), m, packed.data(), n), Z_OK);
  EXPECT_EQ(m, 3000u);
  EXPECT_EQ(out, data);
  uLong shortroom = 100;
  EXPECT_EQ(CZLib::Uncompress(out.data(), shortroom, packed.data(), n), Z_BUF_ERROR);
  EXPECT_EQ(CZLib::Crc32(0, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(CZLib::Adler32(1, "Wikipedia", 9), 0x11E60398u);
}

TEST(ZLib, StreamObjectInflatesInPieces) {
  std::vector<uint8_t> data(10000);
  for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<uint8_t>(i % 251);
  std::vector<uint8_t> packed(12000), out(10000);
  uLong n = packed.size();
  ASSERT_EQ(CZLib::Compress(packed.data(), n, data.data(), data.size(), 6), Z_OK);
  CZLib z;
  ASSERT_EQ(z.InflateInit(MAX_WBITS), Z_OK);
  z.SetupInput(packed.data(), static_cast<uInt>(n));
  int result = Z_OK;
  for (size_t at = 0; result == Z_OK; at += 1000) {
    z.SetupOutput(out.data() + at, 1000);
    result = z.Inflate(Z_NO_FLUSH);
  }
  EXPECT_EQ(result, Z_STREAM_END);
  EXPECT_EQ(z.TotalOutput(), 10000u);
  EXPECT_EQ(out, data);
  EXPECT_EQ(z.InflateEnd(), Z_OK);
}

}  // namespace
