#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/net/znet_frame.h"
#include "engine/net/znet_stack.h"
#include "tests/engine/net/net_test_util.h"

using nettest::Bytes;

namespace {

std::string Frame(const std::string& payload) {
  const auto* p = reinterpret_cast<const uint8_t*>(payload.data());
  const int32_t total = ZNet_FrameLength(p, static_cast<uint32_t>(payload.size()));
  if (total < 0) return "";
  std::string out(static_cast<size_t>(total), '\0');
  EXPECT_EQ(static_cast<uint32_t>(total),
            ZNet_FrameEncode(reinterpret_cast<uint8_t*>(&out[0]), p, static_cast<uint32_t>(payload.size())));
  return out;
}

struct Popped {
  int kind;
  std::string payload;
};

Popped PopOne(ZNetStack& stack, uint32_t room = 70000) {
  std::vector<uint8_t> out(room + 1);
  uint32_t length = room;
  const int kind = stack.Pop(out.data(), length);
  return {kind, kind ? std::string(reinterpret_cast<char*>(out.data()), length) : ""};
}

bool PushAll(ZNetStack& stack, const std::string& bytes) {
  return stack.Push(bytes.data(), static_cast<uint32_t>(bytes.size())) == 1;
}

}  // namespace

TEST(NetFrame, EncoderMatchesKnownFrames) {
  struct Case {
    std::string payload;
    std::string frame;
  } cases[] = {
      {Bytes({0x01, 0xFF, 0x02}), Bytes({0xFF, 0xFA, 0x0E, 0x00, 0x01, 0xFF, 0xFF, 0x02, 0xFF, 0x02, 0x0B, 0x7D, 0xFF, 0xFB})},
      {"", Bytes({0xFF, 0xFA, 0x08, 0x00, 0x00, 0x7F, 0xFF, 0xFB})},
  };
  for (const Case& c : cases) EXPECT_EQ(c.frame, Frame(c.payload));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ZNET_PING_REQUEST), 10),
            Bytes({0xFF, 0xFA, 0x0A, 0x00, 0xFF, 0xFC, 0xF7, 0x04, 0xFF, 0xFB}));
  // The stored ping frames carry correct check bytes.
  uint8_t c1, c2;
  ZNet_FrameCheckBytes(ZNET_PING_REPLY + 4, 2, c1, c2);
  EXPECT_EQ(ZNET_PING_REPLY[6], c1);
  EXPECT_EQ(ZNET_PING_REPLY[7], c2);
}

TEST(NetFrame, EscapeRunsAreCappedAt255) {
  std::string payload(300, 'a');
  payload[0] = '\xFF';
  payload[255] = '\xFF';
  const std::string frame = Frame(payload);
  ASSERT_EQ(314u, frame.size());
  EXPECT_EQ(Bytes({0xFF, 0xFF, 255}), frame.substr(4, 3));
  EXPECT_EQ(Bytes({0xFF, 0xFF, 45}), frame.substr(4 + 3 + 255, 3));
}

TEST(NetFrame, AllFFPayloadsRoundTripAndMeasure) {
  for (size_t n : {1u, 255u, 256u, 511u}) {
    const std::string payload(n, '\xFF');
    const std::string frame = Frame(payload);
    const size_t escapes = (n + 254) / 255;
    EXPECT_EQ(n + 8 + 3 * escapes, frame.size()) << n;
    EXPECT_EQ(frame.size() & 0xFF, static_cast<uint8_t>(frame[2]));
    ZNetStack stack;
    ASSERT_EQ(1, stack.Alloc(4096));
    ASSERT_TRUE(PushAll(stack, frame));
    const Popped p = PopOne(stack);
    EXPECT_EQ(ZNET_POP_DATA, p.kind);
    EXPECT_EQ(payload, p.payload);
  }
}

TEST(NetFrame, FramesPast16BitsAreRefused) {
  std::vector<uint8_t> big(65535 - 8, 'a');
  EXPECT_EQ(65535, ZNet_FrameLength(big.data(), static_cast<uint32_t>(big.size())));
  big.push_back('a');
  EXPECT_EQ(-1, ZNet_FrameLength(big.data(), static_cast<uint32_t>(big.size())));
  std::vector<uint8_t> out(70000);
  EXPECT_EQ(0u, ZNet_FrameEncode(out.data(), big.data(), static_cast<uint32_t>(big.size())));
  // Escapes count against the limit too.
  std::vector<uint8_t> dense(65000, 0xFF);
  EXPECT_EQ(-1, ZNet_FrameLength(dense.data(), static_cast<uint32_t>(dense.size())));
}

TEST(NetStack, PingsAreToldByTheirRawForm) {
  ZNetStack stack;
  ASSERT_EQ(1, stack.Alloc(256));
  ASSERT_EQ(1, stack.Push(ZNET_PING_REQUEST, 10));
  ASSERT_EQ(1, stack.Push(ZNET_PING_REPLY, 10));
  ASSERT_TRUE(PushAll(stack, Frame(Bytes({0xFF, 0xFC}))));  // data that looks like a ping
  Popped p = PopOne(stack);
  EXPECT_EQ(ZNET_POP_PING_REQUEST, p.kind);
  EXPECT_EQ(Bytes({0xFF, 0xFC}), p.payload);
  EXPECT_EQ(ZNET_POP_PING_REPLY, PopOne(stack).kind);
  p = PopOne(stack);
  EXPECT_EQ(ZNET_POP_DATA, p.kind);
  EXPECT_EQ(Bytes({0xFF, 0xFC}), p.payload);
  EXPECT_EQ(0u, stack.Count()) << "the trailer is consumed with the frame";
}

TEST(NetStack, NoFrameIsToldFromAnEmptyMessage) {
  ZNetStack stack;
  uint8_t out[4];
  uint32_t length = sizeof out;
  EXPECT_EQ(ZNET_POP_NONE, stack.Pop(out, length)) << "no ring";
  ASSERT_EQ(1, stack.Alloc(64));
  length = sizeof out;
  EXPECT_EQ(ZNET_POP_NONE, stack.Pop(out, length));
  EXPECT_EQ(0u, length);
  EXPECT_FALSE(stack.HasMessage());
  ASSERT_TRUE(PushAll(stack, Frame("")));
  EXPECT_TRUE(stack.HasMessage());
  EXPECT_EQ(0u, stack.Peek());
  length = 0;
  EXPECT_EQ(ZNET_POP_DATA, stack.Pop(nullptr, length));
  EXPECT_EQ(0u, length);
  EXPECT_FALSE(stack.HasMessage());
}

TEST(NetStack, SmallOutBufferKeepsTheFrame) {
  ZNetStack stack;
  ASSERT_EQ(1, stack.Alloc(64));
  ASSERT_TRUE(PushAll(stack, Frame("hello")));
  char out[8];
  uint32_t length = 4;
  EXPECT_EQ(ZNET_POP_NONE, stack.Pop(out, length));
  EXPECT_EQ(5u, length) << "the room needed";
  EXPECT_EQ(5u, stack.Peek());
  length = sizeof out;
  EXPECT_EQ(ZNET_POP_DATA, stack.Pop(out, length));
  EXPECT_EQ("hello", std::string(out, length));
}

// Each damaged frame is followed by a good one, which must pop (and nothing else).
TEST(NetStack, ResynchronisesAfterDamage) {
  const std::string good = Frame("good");
  std::string badC1 = Frame("abc");
  badC1[badC1.size() - 4] ^= 1;
  std::string badC2 = Frame("abc");
  badC2[badC2.size() - 3] ^= 1;
  std::string shortL = Frame("abc");
  shortL[2] = 5;
  std::string longL = Frame("abc");
  longL[2] = static_cast<char>(longL.size() + 3);
  std::string hugeL = Frame("abc");
  hugeL[3] = 0x7F;  // beyond the ring
  std::string noEnd = Frame("abc");
  noEnd[noEnd.size() - 1] = 0x00;
  const std::string zeroRun = Bytes({0xFF, 0xFA, 0x0B, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFB});
  std::string runPast = Frame(Bytes({1, 0xFF, 2}));
  runPast[7] = 9;  // the escaped run would reach into the trailer
  struct Case {
    const char* name;
    std::string junk;
  } cases[] = {
      {"leading garbage", "xyz\xFF\x01\xFF"},
      {"bad c1", badC1},
      {"bad c2", badC2},
      {"length below 8", shortL},
      {"length too big", longL},
      {"length past capacity", hugeL},
      {"missing end marker", noEnd},
      {"escape of length 0", zeroRun},
      {"escape past the frame", runPast},
      {"lone start marker", Bytes({0xFF, 0xFA})},
  };
  for (const Case& c : cases) {
    for (bool split : {false, true}) {
      ZNetStack stack;
      ASSERT_EQ(1, stack.Alloc(1024));
      const std::string all = c.junk + good;
      if (split) {
        for (char b : all) ASSERT_EQ(1, stack.Push(&b, 1)) << c.name;
      } else {
        ASSERT_TRUE(PushAll(stack, all)) << c.name;
      }
      const Popped p = PopOne(stack);
      EXPECT_EQ(ZNET_POP_DATA, p.kind) << c.name;
      EXPECT_EQ("good", p.payload) << c.name;
      EXPECT_EQ(ZNET_POP_NONE, PopOne(stack).kind) << c.name;
    }
  }
}

TEST(NetStack, RingFullOfJunkTakesTheNextFrame) {
  ZNetStack stack;
  ASSERT_EQ(1, stack.Alloc(64));
  const std::string junk(64, '\x55');
  ASSERT_TRUE(PushAll(stack, junk));
  EXPECT_FALSE(stack.HasMessage());
  ASSERT_TRUE(PushAll(stack, Frame("next"))) << "junk is dropped to make room";
  EXPECT_EQ("next", PopOne(stack).payload);
  // Junk made of start markers with plausible lengths is dropped as well.
  std::string markers;
  while (markers.size() < 64) markers += Bytes({0xFF, 0xFA, 0x20, 0x00});
  ASSERT_TRUE(PushAll(stack, markers));
  EXPECT_FALSE(stack.HasMessage());
  ASSERT_TRUE(PushAll(stack, Frame("after")));
  EXPECT_EQ("after", PopOne(stack).payload);
}

// A start marker that waits for more bytes than there is room for must not hold the ring:
// when the chunk that does not fit shows it damaged, it is dropped to make room.
TEST(NetStack, AWaitingJunkStartGivesWayToTheChunkThatBreaksIt) {
  const std::string waiting = Bytes({0xFF, 0xFA, 60, 0}) + std::string(40, 'a');  // wants 16 more
  const std::string trailerWaiting = Bytes({0xFF, 0xFA, 48, 0}) + std::string(40, 'a');  // wants 4 more
  const struct {
    const char* name;
    std::string junk, chunk, payload;
  } cases[] = {
      {"a start marker inside it", waiting, Frame(std::string(20, 'x')), std::string(20, 'x')},
      {"wrong check bytes", trailerWaiting, "abcd" + Frame(std::string(18, 'y')), std::string(18, 'y')},
  };
  for (const auto& c : cases) {
    ZNetStack stack;
    ASSERT_EQ(1, stack.Alloc(64));
    ASSERT_TRUE(PushAll(stack, c.junk)) << c.name;
    EXPECT_FALSE(stack.HasMessage()) << c.name;
    ASSERT_GT(c.chunk.size(), 64 - c.junk.size()) << c.name;
    ASSERT_TRUE(PushAll(stack, c.chunk)) << c.name;
    const Popped p = PopOne(stack);
    EXPECT_EQ(ZNET_POP_DATA, p.kind) << c.name;
    EXPECT_EQ(c.payload, p.payload) << c.name;
  }
  // A stored frame start that the chunk would complete correctly keeps its place.
  ZNetStack stack;
  ASSERT_EQ(1, stack.Alloc(64));
  const std::string frame = Frame(std::string(50, 'z'));  // 58 bytes
  ASSERT_TRUE(PushAll(stack, frame.substr(0, 40)));
  const std::string tooMuch = frame.substr(40) + std::string(10, 'n');
  EXPECT_FALSE(PushAll(stack, tooMuch)) << "no room for the bytes behind it";
  ASSERT_TRUE(PushAll(stack, frame.substr(40)));
  EXPECT_EQ(std::string(50, 'z'), PopOne(stack).payload);
}

TEST(NetStack, FramesStraddleTheWrap) {
  ZNetStack stack;
  ASSERT_EQ(1, stack.Alloc(64));
  std::mt19937 rng(7);
  for (int i = 0; i < 10000; ++i) {
    std::string payload(rng() % 20, '\0');
    for (char& c : payload) c = static_cast<char>(rng() % 3 == 0 ? 0xFF : rng());
    const std::string frame = Frame(payload);
    ASSERT_LE(frame.size(), 64u);
    // Pushed in two pieces so that wraps happen in every position.
    const size_t cut = rng() % (frame.size() + 1);
    ASSERT_TRUE(PushAll(stack, frame.substr(0, cut))) << i;
    ASSERT_TRUE(PushAll(stack, frame.substr(cut))) << i;
    const Popped p = PopOne(stack);
    ASSERT_EQ(ZNET_POP_DATA, p.kind) << i;
    ASSERT_EQ(payload, p.payload) << i;
    ASSERT_EQ(0u, stack.Count());
  }
}

TEST(NetStack, PushRefusesWhatCannotFit) {
  ZNetStack stack;
  EXPECT_EQ(0, stack.Push("a", 1)) << "no ring";
  ASSERT_EQ(1, stack.Alloc(32));
  const std::string frame = Frame(std::string(20, 'x'));  // 28 bytes, a valid frame
  ASSERT_TRUE(PushAll(stack, frame));
  EXPECT_EQ(0, stack.Push("0123456789", 10)) << "a stored frame is never dropped";
  EXPECT_EQ(28u, stack.Count());
  EXPECT_EQ(std::string(20, 'x'), PopOne(stack).payload);
  EXPECT_EQ(0, stack.Push(std::string(33, 'a').data(), 33));
}
