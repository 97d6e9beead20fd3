// MD5 message digest (RFC 1321).
#include <cstring>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_std.h"

namespace {

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// Per-round shift amounts and the sine-derived additive constants of the RFC.
const int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                        5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                        4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                        6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

const uint32_t kAdd[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391};

void ToHex(char* out, const uint8_t digest[16]) {
  static const char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 16; i++) {
    out[2 * i] = kHex[digest[i] >> 4];
    out[2 * i + 1] = kHex[digest[i] & 15];
  }
  out[32] = 0;
}

void Finish(char* out, ZMD5CONTEXT* context) {
  uint8_t digest[16];
  ClassZStd::MD5Finalize(digest, context);
  ToHex(out, digest);
}

enum : uint32_t { FILE_BLOCK = 8192 };

}  // namespace

void ClassZStd::MD5Init(ZMD5CONTEXT* context) {
  context->count[0] = context->count[1] = 0;
  context->state[0] = 0x67452301;
  context->state[1] = 0xefcdab89;
  context->state[2] = 0x98badcfe;
  context->state[3] = 0x10325476;
}

void ClassZStd::MD5Transform(uint32_t state[4], const uint8_t block[64]) {
  uint32_t x[16];
  MD5Decode(x, block, 64);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  // Four rounds of sixteen steps, each written out so the round function is fixed.
  auto step = [&](uint32_t f, int i, int g) {
    uint32_t t = d;
    d = c;
    c = b;
    b = b + Rotl(a + f + kAdd[i] + x[g], kShift[i]);
    a = t;
  };
  for (int i = 0; i < 16; i++) step((b & c) | (~b & d), i, i);
  for (int i = 16; i < 32; i++) step((b & d) | (c & ~d), i, (5 * i + 1) & 15);
  for (int i = 32; i < 48; i++) step(b ^ c ^ d, i, (3 * i + 5) & 15);
  for (int i = 48; i < 64; i++) step(c ^ (b | ~d), i, (7 * i) & 15);
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

void ClassZStd::MD5Update(ZMD5CONTEXT* context, const void* data, uint32_t size) {
  const uint8_t* input = static_cast<const uint8_t*>(data);
  uint32_t index = (context->count[0] >> 3) & 0x3F;
  uint32_t bits = size << 3;
  context->count[0] += bits;
  if (context->count[0] < bits) context->count[1]++;
  context->count[1] += size >> 29;
  uint32_t part = 64 - index;
  uint32_t i = 0;
  if (size >= part) {
    std::memcpy(context->buffer + index, input, part);
    MD5Transform(context->state, context->buffer);
    for (i = part; i + 63 < size; i += 64) MD5Transform(context->state, input + i);
    index = 0;
  }
  if (size > i) std::memcpy(context->buffer + index, input + i, size - i);
}

void ClassZStd::MD5Finalize(uint8_t digest[16], ZMD5CONTEXT* context) {
  static const uint8_t kPadding[64] = {0x80};
  uint8_t bits[8];
  MD5Encode(bits, context->count, 8);
  uint32_t index = (context->count[0] >> 3) & 0x3F;
  uint32_t padding = index < 56 ? 56 - index : 120 - index;
  MD5Update(context, kPadding, padding);
  MD5Update(context, bits, 8);
  MD5Encode(digest, context->state, 16);
  std::memset(context, 0, sizeof(*context));
}

void ClassZStd::MD5Encode(uint8_t* bytes, const uint32_t* words, uint32_t size) {
  for (uint32_t i = 0, j = 0; j < size; i++, j += 4) {
    bytes[j] = static_cast<uint8_t>(words[i]);
    bytes[j + 1] = static_cast<uint8_t>(words[i] >> 8);
    bytes[j + 2] = static_cast<uint8_t>(words[i] >> 16);
    bytes[j + 3] = static_cast<uint8_t>(words[i] >> 24);
  }
}

void ClassZStd::MD5Decode(uint32_t* words, const uint8_t* bytes, uint32_t size) {
  for (uint32_t i = 0, j = 0; j < size; i++, j += 4)
    words[i] = bytes[j] | (bytes[j + 1] << 8) | (bytes[j + 2] << 16) |
               (static_cast<uint32_t>(bytes[j + 3]) << 24);
}

void ClassZStd::MD5Data(char* out, const void* data, uint32_t size) {
  ZMD5CONTEXT context;
  MD5Init(&context);
  if (data != nullptr) MD5Update(&context, data, size);
  Finish(out, &context);
}

void ClassZStd::MD5Str(char* out, const char* s) { MD5Data(out, s, StrLen(s)); }

void ClassZStd::MD5Str(char* out, const uint16_t* s) {
  ZMD5CONTEXT context;
  MD5Init(&context);
  uint32_t n = StrLen(s);
  uint8_t chunk[256];
  for (uint32_t i = 0; i < n;) {
    uint32_t k = 0;
    for (; k < sizeof(chunk) && i < n; i++, k += 2) {
      chunk[k] = static_cast<uint8_t>(s[i]);
      chunk[k + 1] = static_cast<uint8_t>(s[i] >> 8);
    }
    MD5Update(&context, chunk, k);
  }
  Finish(out, &context);
}

void ClassZStd::MD5File(char* out, ClassZFile* file) {
  ZMD5CONTEXT context;
  MD5Init(&context);
  if (file != nullptr && file->IsOpen()) {
    // Exactly the bytes that were read are hashed: a read that comes up short (the file
    // holds less than its size said) gives what it got, and the digest ends there rather
    // than feeding stale buffer contents.
    uint32_t size = file->Size();
    uint32_t position = file->Tell();
    uint32_t remaining = position < size ? size - position : 0;
    uint8_t block[FILE_BLOCK];
    while (remaining > 0) {
      uint32_t n = remaining < FILE_BLOCK ? remaining : FILE_BLOCK;
      uint32_t got = file->ReadSome(block, n);
      MD5Update(&context, block, got);
      if (got < n) break;
      remaining -= n;
    }
  }
  Finish(out, &context);
}

void ClassZStd::MD5File(char* out, const char* name) {
  ClassZFile file;
  if (name != nullptr && file.Open(name, ZFILE_MODE_READ)) {
    MD5File(out, &file);
    file.Close();
    return;
  }
  MD5File(out, static_cast<ClassZFile*>(nullptr));
}
