#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/core/zmod_memory.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t U32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// Compresses into a buffer of exactly the given room, so that any write past it is
// caught by the sanitizers.
bool Pack(const Bytes& in, Bytes& out, size_t room) {
  ClassZMemory m;
  out.assign(room, 0);
  uint32_t n = static_cast<uint32_t>(room);
  if (!m.Compress(out.data(), n, in.data(), static_cast<uint32_t>(in.size()))) return false;
  out.resize(n);
  return true;
}

bool Unpack(const Bytes& stream, Bytes& out, size_t room, uint32_t* length = nullptr) {
  ClassZMemory m;
  out.assign(room, 0);
  uint32_t n = static_cast<uint32_t>(room);
  int ok = m.UnCompress(out.data(), n, stream.data(), static_cast<uint32_t>(stream.size()));
  if (length) *length = n;
  return ok == 1;
}

// Game-like data: tile rows with repeats, a little text and some noise.
Bytes GameLike(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  const std::string words[] = {"level ", "score ", "block ", "tile ", "sprite ", "0xFF00FF "};
  while (out.size() < n) {
    switch (rng() % 3) {
      case 0: {
        uint8_t v = static_cast<uint8_t>(rng() % 16);
        out.insert(out.end(), 8 + rng() % 40, v);
        break;
      }
      case 1: {
        const std::string& w = words[rng() % 6];
        out.insert(out.end(), w.begin(), w.end());
        break;
      }
      default:
        for (int i = 0; i < 12; i++) out.push_back(static_cast<uint8_t>(rng()));
    }
  }
  out.resize(n);
  return out;
}

// Walks the code sequence with the width schedule alone (an entry per code except the
// first after a start or clear; widen at 256/768/1792 entries, clear at 3744), without
// any dictionary: proves the stream widens to 12 bits, clears, and ends on padding.
struct Walk {
  int clears = 0;
  uint32_t widest = 0;
  bool consistent = true;
};

Walk WalkCodes(const Bytes& s) {
  Walk w;
  uint64_t bits = 0;
  uint32_t pending = 0;
  size_t pos = 16;
  uint32_t width = 9, limit = 512, count = 0;
  bool first = true;
  for (;;) {
    while (pending < width && pos < s.size()) {
      bits = (bits << 8) | s[pos++];
      pending += 8;
    }
    if (pending < width) break;
    pending -= width;
    uint32_t code = static_cast<uint32_t>(bits >> pending) & ((1u << width) - 1);
    if (width > w.widest) w.widest = width;
    if (first) {
      if (code >= 256) w.consistent = false;  // a phrase can only start with a literal
      first = false;
      continue;
    }
    if (code > count + 256) w.consistent = false;
    count++;
    if (count + 256 >= 4000) {
      count = 0;
      width = 9;
      limit = 512;
      first = true;
      w.clears++;
    }
    if (count + 256 >= limit) {
      limit *= 2;
      width++;
    }
  }
  if ((bits & ((1u << pending) - 1)) != 0) w.consistent = false;  // padding is zeros
  return w;
}

// The encoder written plainly from its rules, with phrases looked up by content in a map:
// an oracle apart from the codec's own dictionary search. Empty when the stream would not
// be shorter than the data.
Bytes ReferencePack(const Bytes& in) {
  if (in.empty()) return {};
  Bytes out(16, 0);
  uint64_t bits = 0;
  uint32_t pending = 0;
  auto emit = [&](uint32_t code, uint32_t width) {
    bits = (bits << width) | code;
    pending += width;
    while (pending >= 8) {
      pending -= 8;
      out.push_back(static_cast<uint8_t>(bits >> pending));
    }
  };
  std::map<std::string, uint32_t> dict;
  uint32_t count = 0, width = 9, limit = 512;
  std::string phrase(1, static_cast<char>(in[0]));
  uint32_t code = in[0];
  for (size_t u = 1; u < in.size(); u++) {
    std::string q = phrase + static_cast<char>(in[u]);
    if (q.size() <= 191) {
      auto it = dict.find(q);
      if (it != dict.end()) {
        phrase = q;
        code = it->second;
        continue;
      }
      dict[q] = 256 + count;
    }
    count++;  // a 192-byte phrase takes a code that is never looked up
    emit(code, width);
    if (count + 255 >= 4000) {
      dict.clear();
      count = 0;
      width = 9;
      limit = 512;
    }
    if (count + 255 >= limit) {
      limit *= 2;
      width++;
    }
    if (out.size() + 6 >= in.size()) return {};
    phrase.assign(1, static_cast<char>(in[u]));
    code = in[u];
  }
  emit(code, width);
  if (pending > 0) out.push_back(static_cast<uint8_t>(bits << (8 - pending)));
  const uint32_t total = static_cast<uint32_t>(out.size());
  const uint32_t n = static_cast<uint32_t>(in.size());
  for (int i = 0; i < 4; i++) {
    out[8 + i] = static_cast<uint8_t>(total >> (8 * i));
    out[12 + i] = static_cast<uint8_t>(n >> (8 * i));
  }
  return out;
}

TEST(Codec, OneByteMakesAnEighteenByteStream) {
  Bytes stream;
  ASSERT_TRUE(Pack({0x41}, stream, 18));
  ASSERT_EQ(stream.size(), 18u);
  EXPECT_EQ(U32(stream, 8), 18u);
  EXPECT_EQ(U32(stream, 12), 1u);
  EXPECT_EQ(stream[16], 0x20);
  EXPECT_EQ(stream[17], 0x80);
  Bytes out;
  ASSERT_TRUE(Unpack(stream, out, 1));
  EXPECT_EQ(out, Bytes{0x41});
  // The pack writer's buffer for one byte is 13 bytes: the encoder must refuse, not
  // overrun it.
  for (size_t room : {0, 13, 16, 17}) EXPECT_FALSE(Pack({0x41}, stream, room)) << room;
}

TEST(Codec, HandTracedRunStream) {
  // 30 x 'a' splits into phrases of 1..7 bytes and a final "aa": codes 97, then the
  // entry being defined each time (256..261), then entry 0 again; eight 9-bit codes.
  const Bytes want = {0, 0, 0, 0, 0, 0, 0, 0, 25, 0, 0, 0, 30, 0, 0, 0,
                      0x30, 0xC0, 0x20, 0x30, 0x28, 0x1C, 0x12, 0x0B, 0x00};
  Bytes stream, out;
  ASSERT_TRUE(Pack(Bytes(30, 'a'), stream, 30));
  EXPECT_EQ(stream, want);
  ASSERT_TRUE(Unpack(want, out, 30));
  EXPECT_EQ(out, Bytes(30, 'a'));
}

TEST(Codec, ShortInputsNeverCompress) {
  Bytes stream;
  for (size_t n = 2; n <= 23; n++) EXPECT_FALSE(Pack(Bytes(n, 'a'), stream, 64)) << n;
  EXPECT_FALSE(Pack({}, stream, 64));
}

TEST(Codec, RunsUseTheEntryBeingDefined) {
  for (size_t n : {100, 1000, 70000}) {
    Bytes in(n, 0x33), stream, out;
    ASSERT_TRUE(Pack(in, stream, n)) << n;
    EXPECT_LE(stream.size(), n - 4);
    ASSERT_TRUE(Unpack(stream, out, n)) << n;
    EXPECT_EQ(out, in);
  }
}

TEST(Codec, LongDataWidensToTwelveBitsAndClears) {
  for (uint32_t seed : {1u, 2u}) {
    Bytes in = GameLike(120000, seed), stream, out;
    ASSERT_TRUE(Pack(in, stream, in.size()));
    EXPECT_EQ(U32(stream, 8), stream.size());
    EXPECT_EQ(U32(stream, 12), in.size());
    Walk w = WalkCodes(stream);
    EXPECT_TRUE(w.consistent);
    EXPECT_EQ(w.widest, 12u);
    EXPECT_GE(w.clears, 2);
    ASSERT_TRUE(Unpack(stream, out, in.size()));
    EXPECT_EQ(out, in);
  }
}

TEST(Codec, RefusesWhenTheRoomIsTooSmall) {
  Bytes in = GameLike(5000, 3), stream, out;
  ASSERT_TRUE(Pack(in, stream, in.size()));
  EXPECT_FALSE(Pack(in, out, stream.size() - 1));
  EXPECT_TRUE(Pack(in, out, stream.size()));
  EXPECT_EQ(out, stream);
  // Decoding into less room than the header's length fails without writing past it.
  uint32_t length = 0;
  EXPECT_FALSE(Unpack(stream, out, in.size() - 1, &length));
  EXPECT_EQ(length, in.size());
}

TEST(Codec, HeaderOnlyStreams) {
  Bytes header(16, 0), out;
  header[8] = 16;
  EXPECT_TRUE(Unpack(header, out, 0));  // announces 0 bytes, produces 0 bytes
  header[12] = 5;
  EXPECT_FALSE(Unpack(header, out, 5));  // announces 5, produces none
  for (size_t n = 0; n < 16; n++)
    EXPECT_FALSE(Unpack(Bytes(header.begin(), header.begin() + n), out, 64)) << n;
}

TEST(Codec, TruncatedStreamsFail) {
  Bytes in = GameLike(20000, 4), stream, out;
  ASSERT_TRUE(Pack(in, stream, in.size()));
  for (size_t n = 16; n < stream.size(); n += (n < 64 ? 1 : 97)) {
    Bytes cut(stream.begin(), stream.begin() + n);
    EXPECT_FALSE(Unpack(cut, out, in.size())) << n;
  }
  Bytes last(stream.begin(), stream.end() - 1);
  EXPECT_FALSE(Unpack(last, out, in.size()));
}

TEST(Codec, WrongLengthsAndGarbageNeverSucceedOrOverflow) {
  Bytes in = GameLike(8000, 5), stream, out;
  ASSERT_TRUE(Pack(in, stream, in.size()));
  // A header announcing fewer bytes than the codes produce.
  Bytes lying = stream;
  lying[12] = static_cast<uint8_t>(in.size() - 100);
  lying[13] = static_cast<uint8_t>((in.size() - 100) >> 8);
  EXPECT_FALSE(Unpack(lying, out, in.size() - 100));
  // ... and more than they produce.
  lying = stream;
  lying[12] = static_cast<uint8_t>(in.size() + 1);
  lying[13] = static_cast<uint8_t>((in.size() + 1) >> 8);
  EXPECT_FALSE(Unpack(lying, out, in.size() + 1));

  std::mt19937 rng(99);
  int successes = 0;
  for (int i = 0; i < 300; i++) {
    Bytes junk(16 + rng() % 300);
    for (auto& b : junk) b = static_cast<uint8_t>(rng());
    uint32_t announced = 1 + rng() % 4000;
    std::memcpy(junk.data() + 12, &announced, 4);
    std::memcpy(junk.data() + 8, &announced, 4);
    successes += Unpack(junk, out, announced);
  }
  EXPECT_EQ(successes, 0);
  // Bit flips in a valid stream: whatever comes out stays inside the buffer.
  for (size_t at = 16; at < stream.size(); at += 13) {
    Bytes flipped = stream;
    flipped[at] ^= 0x5A;
    Unpack(flipped, out, in.size());
  }
}

TEST(Codec, BytesAfterTheStreamAreIgnored) {
  Bytes in = GameLike(3000, 6), stream, out;
  ASSERT_TRUE(Pack(in, stream, in.size()));
  Bytes padded = stream;
  padded.insert(padded.end(), 40, 0xFF);
  ASSERT_TRUE(Unpack(padded, out, in.size()));
  EXPECT_EQ(out, in);
}

TEST(Codec, StreamsMatchThePlainEncoder) {
  struct Case {
    const char* name;
    Bytes data;
  };
  std::vector<Case> cases = {
      {"game-like", GameLike(90000, 7)},
      {"game-like short", GameLike(700, 8)},
      {"one-byte run", Bytes(50000, 0x5C)},
      {"noise", {}},
      {"ramp", {}},
      {"long period", {}},
      {"text", {}},
      // Long enough to fill the dictionary and clear it several times.
      {"game-like long", GameLike(150000, 1)},
      {"game-like long, another seed", GameLike(150000, 3)},
      {"game-like, noise, then a run", GameLike(40000, 5)},
  };
  std::mt19937 rng(11);
  for (int i = 0; i < 4000; i++) cases[3].data.push_back(static_cast<uint8_t>(rng()));
  for (int i = 0; i < 30000; i++) cases[4].data.push_back(static_cast<uint8_t>(i + i / 256));
  // A 300-byte pattern repeated: phrases grow to the 191-byte lookup limit and past it.
  Bytes pattern;
  for (int i = 0; i < 300; i++) pattern.push_back(static_cast<uint8_t>(rng() % 7));
  for (int i = 0; i < 120; i++)
    cases[5].data.insert(cases[5].data.end(), pattern.begin(), pattern.end());
  const std::string words = "the block falls, the row clears, the level rises; ";
  for (int i = 0; i < 2000; i++)
    cases[6].data.push_back(static_cast<uint8_t>(words[(i * 7 + i / 50) % words.size()]));
  for (int i = 0; i < 5000; i++) cases[9].data.push_back(static_cast<uint8_t>(rng()));
  cases[9].data.insert(cases[9].data.end(), 30000, 0x5A);
  for (const Case& c : cases) {
    Bytes want = ReferencePack(c.data), got, out;
    bool ok = Pack(c.data, got, c.data.size());
    ASSERT_EQ(ok, !want.empty()) << c.name;
    if (!ok) continue;
    EXPECT_EQ(got, want) << c.name;
    ASSERT_TRUE(Unpack(got, out, c.data.size())) << c.name;
    EXPECT_EQ(out, c.data) << c.name;
    if (c.data.size() >= 150000) {
      EXPECT_GE(WalkCodes(got).clears, 3) << c.name;
    }
  }
}

}  // namespace
