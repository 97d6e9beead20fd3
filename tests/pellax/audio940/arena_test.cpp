// The decoder's arena and the in-memory data source the decoder reads through.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "pellax/audio940/arena.h"
#include "pellax/audio940/ogg_mem.h"
#include "tests/pellax/audio940/core_fixture.h"

using namespace audio940;

namespace {

class ArenaTest : public CoreTest {
 protected:
  uint32_t addr(const void* p) { return uint32_t(static_cast<const uint8_t*>(p) - mem()); }
  uint32_t word_before(const void* p, int k) {
    uint32_t w;
    std::memcpy(&w, static_cast<const uint8_t*>(p) - 4 * k, 4);
    return w;
  }
};

TEST_F(ArenaTest, RequestsFallIntoTheirClassesAndLargeOnesKeepTheirSize) {
  struct size_case {
    size_t n;
    uint32_t word;  // the class, or the exact size of a large block
    uint32_t carved;
  };
  const size_case cases[] = {{1, 0, 16 + 64},       {64, 0, 16 + 64},        {65, 1, 16 + 256},
                             {1024, 2, 16 + 1024},  {4097, 4, 16 + 16384},   {16384, 4, 16 + 16384},
                             {16385, 16385, 16 + 16400}};
  for (const size_case& c : cases) {
    const uint32_t top = st().arena.top;
    void* p = arm940_alloc(c.n);
    ASSERT_NE(p, nullptr) << c.n;
    EXPECT_EQ(addr(p) % 16, 0u) << c.n;
    EXPECT_EQ(addr(p), top + kArenaHeader) << c.n;
    EXPECT_EQ(word_before(p, 2), c.word) << c.n;
    EXPECT_EQ(word_before(p, 1), kArenaGuard) << c.n;
    EXPECT_EQ(st().arena.top - top, c.carved) << c.n;
  }
}

TEST_F(ArenaTest, FreedBlocksComeBackLastFreedFirstAndASecondFreeIsIgnored) {
  void* a = arm940_alloc(200);
  void* b = arm940_alloc(200);
  arm940_free(a);
  arm940_free(b);
  arm940_free(b);  // ignored: its guard is gone
  EXPECT_EQ(word_before(b, 1), 0u);
  EXPECT_EQ(arm940_alloc(100), b);
  EXPECT_EQ(arm940_alloc(256), a);
  EXPECT_NE(arm940_alloc(256), b);  // b was on the list once only
  // Pointers the arena never gave are ignored.
  int outside = 0;
  arm940_free(&outside);
  arm940_free(static_cast<uint8_t*>(a) + 8);
}

// Large blocks freed come back first fit in address order, split when much bigger than
// asked, merged with free neighbours, and given back to the top when they reach it.
TEST_F(ArenaTest, FreedLargeBlocksAreServedAgainAndMergeWithTheirNeighbours) {
  uint8_t* a = static_cast<uint8_t*>(arm940_alloc(40000));
  uint8_t* b = static_cast<uint8_t*>(arm940_alloc(30000));
  void* fence = arm940_alloc(64);  // keeps b off the top
  const uint32_t top = st().arena.top;
  arm940_free(b);
  arm940_free(a);  // merged with b: one free block from a to the fence
  EXPECT_EQ(arm940_alloc(50000), a);  // fits only in the merged block
  void* rest = arm940_alloc(17000);   // the rest of it, split off
  EXPECT_EQ(addr(rest), addr(a) + 50000 + kArenaHeader);
  EXPECT_EQ(st().arena.top, top);
  arm940_free(a);
  arm940_free(rest);
  EXPECT_EQ(arm940_alloc(60000), a);  // a and its rest merged again
  // A free block that reaches the top goes back to it.
  void* last = arm940_alloc(30000);
  EXPECT_EQ(addr(last), top + kArenaHeader);
  arm940_free(last);
  EXPECT_EQ(st().arena.top, top);
  arm940_free(fence);
}

// A packet grown a page at a time, as the decoder grows tags, needs about its own size.
TEST_F(ArenaTest, ABlockGrownStepByStepDoesNotUseTheArenaUp) {
  void* p = arm940_alloc(1000);
  void* other = nullptr;
  for (uint32_t n = 5000; n <= 400000; n += 5000) {
    p = arm940_realloc(p, n);
    ASSERT_NE(p, nullptr) << n;
    // Something else taken between the steps, as the decoder's other buffers are.
    arm940_free(other);
    other = arm940_alloc(n / 4 > 16384 ? n / 4 : 20000);
    ASSERT_NE(other, nullptr) << n;
  }
  EXPECT_LT(st().arena.top - kArenaAddress, 700000u);
}

TEST_F(ArenaTest, ReallocCopiesWhatBothHoldAndFreesTheOld) {
  uint8_t* p = static_cast<uint8_t*>(arm940_alloc(3000));  // class 3: 4,096 bytes
  for (int i = 0; i < 4096; ++i) p[i] = uint8_t(i * 7);
  uint8_t* small = static_cast<uint8_t*>(arm940_realloc(p, 40));
  ASSERT_NE(small, nullptr);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(small[i], uint8_t(i * 7));
  EXPECT_EQ(word_before(p, 1), 0u);  // the old block is free again
  EXPECT_EQ(arm940_alloc(4000), p);
  uint8_t* grown = static_cast<uint8_t*>(arm940_realloc(small, 30000));
  ASSERT_NE(grown, nullptr);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(grown[i], uint8_t(i * 7));
  void* fresh = arm940_realloc(nullptr, 10);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(word_before(fresh, 2), 0u);
}

TEST_F(ArenaTest, AShrinkingReallocWritesNothingPastItsNewBlock) {
  uint8_t* big = static_cast<uint8_t*>(arm940_alloc(4096));
  std::memset(big, 0x77, 4096);
  void* slot = arm940_alloc(64);  // the new block will be this one, freed...
  uint8_t* neighbour = static_cast<uint8_t*>(arm940_alloc(64));  // ...and this one follows it
  std::memset(neighbour, 0x11, 64);
  arm940_free(slot);
  uint8_t* small = static_cast<uint8_t*>(arm940_realloc(big, 64));
  ASSERT_EQ(small, slot);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(small[i], 0x77) << i;
  EXPECT_EQ(word_before(neighbour, 1), kArenaGuard);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(neighbour[i], 0x11) << i;
}

TEST_F(ArenaTest, AnExhaustedArenaGivesNullAndStaysBelowTheBlock) {
  const uint32_t room = kArenaEnd - kArenaAddress;
  void* most = arm940_alloc(room - 1000);
  ASSERT_NE(most, nullptr);
  const uint32_t top = st().arena.top;
  EXPECT_EQ(arm940_alloc(2000), nullptr);
  EXPECT_EQ(arm940_alloc(SIZE_MAX), nullptr);
  const size_t past_root = size_t(1) << (sizeof(size_t) * 4 + 1);  // squared, past SIZE_MAX
  EXPECT_EQ(arm940_calloc(past_root, past_root), nullptr);  // the product overflows
  EXPECT_EQ(arm940_realloc(most, room), nullptr);
  EXPECT_EQ(st().arena.top, top);
  EXPECT_LE(st().arena.top, kArenaEnd);
  EXPECT_NE(arm940_alloc(100), nullptr);  // a class block still fits
  uint8_t* z = static_cast<uint8_t*>(arm940_calloc(10, 10));
  ASSERT_NE(z, nullptr);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(z[i], 0);
}

TEST_F(ArenaTest, TheDataSourceReadsSeeksAndTellsWithinItsStream) {
  const char text[] = "0123456789";
  std::memcpy(mem() + kStreamsAddress, text, 10);
  st().source = {kStreamsAddress, 10, 0};
  char buf[16] = {};
  EXPECT_EQ(mem_read(buf, 1, 4, nullptr), 4u);
  EXPECT_EQ(std::string(buf, 4), "0123");
  EXPECT_EQ(mem_read(buf, 2, 8, nullptr), 6u);  // cut to what is left
  EXPECT_EQ(std::string(buf, 6), "456789");
  EXPECT_EQ(mem_read(buf, 1, 1, nullptr), 0u);   // past the end
  EXPECT_EQ(mem_seek(nullptr, 3, SEEK_SET), 3);
  EXPECT_EQ(mem_tell(nullptr), 3);
  EXPECT_EQ(mem_seek(nullptr, -100, SEEK_END), 10);  // the offset is ignored
  EXPECT_EQ(mem_seek(nullptr, -4, SEEK_CUR), 6);
  EXPECT_EQ(mem_seek(nullptr, 100, SEEK_CUR), 10);   // held within the stream
  EXPECT_EQ(mem_seek(nullptr, -100, SEEK_SET), 0);
  EXPECT_EQ(mem_close(nullptr), 0);
}

TEST_F(ArenaTest, LogRecordsThatDoNotFitAreDroppedWhole) {
  arm940_log_value(0x12345678);
  EXPECT_EQ(b().log_write, 6u);
  EXPECT_EQ(b().log_ring[0], kLogValue);
  EXPECT_EQ(b().log_ring[2], 0x12);
  EXPECT_EQ(b().log_ring[5], 0x78);
  std::string long_text(300, 'x');
  arm940_log_text(long_text.c_str());
  EXPECT_EQ(b().log_write, 6u + 2u + 255u);
  EXPECT_EQ(b().log_ring[7], 255);
  // The reader is at 0: 999 - 263 = 736 bytes are free.
  for (int i = 0; i < 2; ++i) arm940_log_text(long_text.c_str());
  EXPECT_EQ(b().log_write, 6u + 3u * 257u);
  arm940_log_text(long_text.c_str());  // 257 more do not fit in the 228 left
  EXPECT_EQ(b().log_write, 6u + 3u * 257u);
  arm940_log_text("short");
  EXPECT_EQ(b().log_write, 6u + 3u * 257u + 7u);
}

}  // namespace
