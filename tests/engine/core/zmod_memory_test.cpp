#include "engine/core/zmod_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <numeric>
#include <vector>

namespace {

std::vector<uint8_t> Counting(size_t n) {
  std::vector<uint8_t> v(n);
  std::iota(v.begin(), v.end(), 0);
  return v;
}

TEST(Memory, CopyMovesOverlappingRangesBothWays) {
  for (bool overlap : {true, false}) {
    auto up = Counting(16);
    ClassZMemory::Copy(up.data() + 3, up.data(), 10, overlap);
    EXPECT_EQ(std::vector<uint8_t>(up.begin() + 3, up.begin() + 13),
              std::vector<uint8_t>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    auto down = Counting(16);
    ClassZMemory::Copy(down.data(), down.data() + 3, 10, overlap);
    EXPECT_EQ(std::vector<uint8_t>(down.begin(), down.begin() + 10),
              std::vector<uint8_t>({3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  }
}

TEST(Memory, NonPositiveCountsDoNothing) {
  auto v = Counting(8);
  const auto before = v;
  ClassZMemory::Copy(v.data(), v.data() + 4, 0, false);
  ClassZMemory::Copy(v.data(), v.data() + 4, -1, true);
  ClassZMemory::Set(v.data(), 0xEE, -5);
  ClassZMemory::Set(v.data(), 0xEE, 0);
  EXPECT_EQ(v, before);
  EXPECT_EQ(ClassZMemory::Compare(v.data(), v.data() + 1, -3), 0);
}

TEST(Memory, FillsAndCompare) {
  uint8_t b[13];
  std::memset(b, 0, sizeof(b));
  ClassZMemory::Set(b + 1, 0x5A, 11);
  EXPECT_EQ(b[0], 0);
  EXPECT_EQ(b[1], 0x5A);
  EXPECT_EQ(b[11], 0x5A);
  EXPECT_EQ(b[12], 0);

  uint8_t c[10] = {};
  ClassZMemory::Set24(c + 1, 0x112233, 3);
  const uint8_t want24[10] = {0, 0x33, 0x22, 0x11, 0x33, 0x22, 0x11, 0x33, 0x22, 0x11};
  EXPECT_EQ(std::memcmp(c, want24, 10), 0);

  uint16_t h[5] = {};
  ClassZMemory::Set16(h + 1, 0xBEEF, 3);
  EXPECT_EQ(h[0], 0);
  EXPECT_EQ(h[3], 0xBEEF);
  EXPECT_EQ(h[4], 0);
  uint32_t w[4] = {};
  ClassZMemory::Set32(w + 1, 0xDEADBEEF, 2);
  EXPECT_EQ(w[2], 0xDEADBEEFu);
  EXPECT_EQ(w[3], 0u);

  uint8_t pattern[7] = {};
  ZMemory_Set(pattern, 0x04030201, 6);
  const uint8_t wantpattern[7] = {1, 2, 3, 4, 1, 2, 0};
  EXPECT_EQ(std::memcmp(pattern, wantpattern, 7), 0);

  const uint8_t x[] = {1, 2, 200}, y[] = {1, 2, 10};
  EXPECT_EQ(ClassZMemory::Compare(x, y, 3), 190);
  EXPECT_EQ(ClassZMemory::Compare(y, x, 3), -190);
  EXPECT_EQ(ClassZMemory::Compare(x, y, 2), 0);
}

TEST(Memory, AllocReturnsNullForZero) {
  EXPECT_EQ(ClassZMemory::Alloc(0), nullptr);
  void* p = ClassZMemory::Alloc(10);
  ASSERT_NE(p, nullptr);
  ClassZMemory::DeAlloc(p);
  ClassZMemory::DeAlloc(nullptr);
}

TEST(Memory, TrackedListReusesLowestSlotAndGrows) {
  ClassZMemory m;
  EXPECT_EQ(m.InUse(), 0u);
  EXPECT_EQ(m.AllocList(0), nullptr);
  void* a = m.AllocList(100);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(m.InUse(), 256u * 8 + 104);

  std::vector<void*> blocks{a};
  for (int i = 1; i < 257; i++) blocks.push_back(m.AllocList(10));
  EXPECT_EQ(m.InUse(), 512u * 8 + 104 + 256 * 14);
  std::memset(blocks[256], 0x77, 10);  // the 257th block lives in the grown list

  // Freeing slot 5 then slot 2 makes slot 2 the next one used.
  uint32_t slot5, slot2;
  std::memcpy(&slot5, static_cast<uint8_t*>(blocks[5]) - 4, 4);
  std::memcpy(&slot2, static_cast<uint8_t*>(blocks[2]) - 4, 4);
  EXPECT_EQ(slot5, 5u);
  m.DeAllocList(blocks[5]);
  m.DeAllocList(blocks[2]);
  void* again = m.AllocList(7);
  uint32_t slot;
  std::memcpy(&slot, static_cast<uint8_t*>(again) - 4, 4);
  EXPECT_EQ(slot, slot2);
  blocks[2] = again;
  blocks[5] = nullptr;
  for (void* b : blocks) m.DeAllocList(b);
  EXPECT_EQ(m.InUse(), 512u * 8);
}

// Whatever the order of frees, each allocation takes the lowest free slot (checked against
// a plain model of the slots over random runs that grow the list several times).
TEST(Memory, AllocListTakesTheLowestFreeSlotInAnyOrderOfFrees) {
  std::mt19937 rng(7);
  ClassZMemory m;
  std::vector<void*> held;  // by slot; null for a free slot
  for (int step = 0; step < 6000; ++step) {
    const bool grow = rng() % 3 != 0 || held.empty();
    if (grow) {
      void* p = m.AllocList(1 + rng() % 20);
      ASSERT_NE(p, nullptr);
      uint32_t slot;
      std::memcpy(&slot, static_cast<uint8_t*>(p) - 4, 4);
      size_t lowest = 0;
      while (lowest < held.size() && held[lowest]) ++lowest;
      ASSERT_EQ(slot, lowest) << "step " << step;
      if (lowest == held.size()) held.push_back(nullptr);
      held[lowest] = p;
    } else {
      const size_t i = rng() % held.size();
      m.DeAllocList(held[i]);
      held[i] = nullptr;
    }
  }
  for (void* p : held) m.DeAllocList(p);
  EXPECT_EQ(m.InUse() % (256 * 8), 0u);
}

// The slot stored before a block is used only when the table agrees that the block is
// there: a block of another list, or one whose stored slot was overwritten, frees nothing
// and clears no other block's slot.
TEST(Memory, DeAllocListTrustsTheStoredSlotOnlyWhenTheTableAgrees) {
  ClassZMemory m, other;
  void* a = m.AllocList(32);
  void* b = m.AllocList(32);
  void* foreign = other.AllocList(32);
  const uint32_t held = m.InUse();
  m.DeAllocList(a);
  m.DeAllocList(foreign);    // slot 0 of another list: not ours
  EXPECT_EQ(m.InUse(), held - 36);
  uint8_t* header = static_cast<uint8_t*>(b) - 4;
  for (uint32_t wrong : {0u, 2u, 255u, 256u, 0xFFFFFFFFu}) {
    std::memcpy(header, &wrong, 4);
    m.DeAllocList(b);  // slot 0 is free, 2 and 255 hold nothing, 256 and up are past the table
    EXPECT_EQ(m.InUse(), held - 36) << wrong;
  }
  const uint32_t right = 1;
  std::memcpy(header, &right, 4);
  void* c = m.AllocList(32);  // reuses slot 0; b must still be tracked
  m.DeAllocList(b);
  m.DeAllocList(c);
  EXPECT_EQ(m.InUse(), 256u * 8);
  other.DeAllocList(foreign);
  EXPECT_EQ(other.InUse(), 256u * 8);
}

TEST(Memory, ZlibRoundTripAndFailures) {
  std::vector<uint8_t> data(5000);
  for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<uint8_t>((i * 7) % 13);
  std::vector<uint8_t> packed(6000), unpacked(5000);
  uint32_t n = static_cast<uint32_t>(packed.size());
  ASSERT_EQ(ClassZMemory::CompressZLib(packed.data(), n, data.data(), 5000), 1);
  EXPECT_LT(n, 500u);
  uint32_t m = 5000;
  ASSERT_EQ(ClassZMemory::UnCompressZLib(unpacked.data(), m, packed.data(), n), 1);
  EXPECT_EQ(m, 5000u);
  EXPECT_EQ(unpacked, data);

  uint32_t small = 4999;  // no room for the whole stream
  EXPECT_EQ(ClassZMemory::UnCompressZLib(unpacked.data(), small, packed.data(), n), 0);
  uint32_t cut = 5000;  // a truncated stream never reaches its end
  EXPECT_EQ(ClassZMemory::UnCompressZLib(unpacked.data(), cut, packed.data(), n - 3), 0);
  uint32_t tiny = 4;
  EXPECT_EQ(ClassZMemory::CompressZLib(packed.data(), tiny, data.data(), 5000), 0);
}

}  // namespace
