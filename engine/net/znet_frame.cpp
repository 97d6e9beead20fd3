#include "engine/net/znet_frame.h"

#include <cstring>

#include "engine/core/zmod_memory.h"

const uint8_t ZNET_PING_REQUEST[10] = {0xFF, 0xFA, 0x0A, 0x00, 0xFF, 0xFC, 0xF7, 0x04, 0xFF, 0xFB};
const uint8_t ZNET_PING_REPLY[10] = {0xFF, 0xFA, 0x0A, 0x00, 0xFF, 0xFD, 0xF9, 0x03, 0xFF, 0xFB};

namespace {

// Walks the payload as the encoder escapes it; calls emit(bytes, n, escaped) for each
// plain run and each escape header.
template <typename Emit>
void WalkEscapes(const uint8_t* payload, uint32_t length, Emit emit) {
  uint32_t i = 0;
  uint32_t runStart = 0;
  while (i < length) {
    const void* ff = std::memchr(payload + i, 0xFF, length - i);
    if (!ff) break;
    i = static_cast<uint32_t>(static_cast<const uint8_t*>(ff) - payload);
    if (i > runStart) emit(payload + runStart, i - runStart);
    uint32_t n = length - i;
    if (n > 255) n = 255;
    const uint8_t escape[3] = {0xFF, 0xFF, static_cast<uint8_t>(n)};
    emit(escape, 3);
    emit(payload + i, n);
    i += n;
    runStart = i;
  }
  if (length > runStart) emit(payload + runStart, length - runStart);
}

}  // namespace

int32_t ZNet_FrameLength(const uint8_t* payload, uint32_t length) {
  if (length > ZNET_FRAME_MAX) return -1;
  uint32_t total = ZNET_FRAME_OVERHEAD;
  WalkEscapes(payload, length, [&](const uint8_t*, uint32_t n) { total += n; });
  return total > ZNET_FRAME_MAX ? -1 : static_cast<int32_t>(total);
}

void ZNet_FrameCheckBytes(const uint8_t* wire, uint32_t length, uint8_t& c1, uint8_t& c2) {
  uint32_t weighted = 0, low = 0;
  for (uint32_t i = 0; i < length; ++i) {
    weighted += wire[i] * (i + 1);
    low += wire[i] & 0x7F;
  }
  c1 = static_cast<uint8_t>(weighted);
  c2 = static_cast<uint8_t>(~low & 0x7F);
}

uint32_t ZNet_FrameEncode(uint8_t* out, const uint8_t* payload, uint32_t length) {
  const int32_t total = ZNet_FrameLength(payload, length);
  if (total < 0) return 0;
  out[0] = 0xFF;
  out[1] = 0xFA;
  out[2] = static_cast<uint8_t>(total);
  out[3] = static_cast<uint8_t>(total >> 8);
  uint32_t at = 4;
  WalkEscapes(payload, length, [&](const uint8_t* bytes, uint32_t n) {
    ClassZMemory::Copy(out + at, bytes, static_cast<int32_t>(n), true);
    at += n;
  });
  ZNet_FrameCheckBytes(out + 4, at - 4, out[at], out[at + 1]);
  out[at + 2] = 0xFF;
  out[at + 3] = 0xFB;
  return static_cast<uint32_t>(total);
}
