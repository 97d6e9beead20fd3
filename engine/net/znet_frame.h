// Framed messages between engine instances.
//
// A frame on the wire: FF FA, the total frame length (u16 little-endian, header and
// trailer included), the escaped payload, two check bytes c1 c2, FF FB.
//
// Escaping: a payload byte FF outside an escaped run is preceded by FF FF n, where
// n = min(payload bytes from this FF to the end, 255); those n bytes follow unchanged.
// So a frame never holds FF FA or FF FB outside a run, and c2 <= 0x7F keeps the trailer
// from forming a marker.
//
// Check bytes over the escaped payload (bytes numbered from 1):
//   c1 = low byte of sum(byte * number), c2 = ~sum(byte & 0x7F) & 0x7F.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t {
  ZNET_FRAME_OVERHEAD = 8,       // header (4) + check bytes and end marker (4)
  ZNET_FRAME_MAX = 0xFFFF,       // the length field has 16 bits
};

// Ping payloads travel unescaped; a data payload with the same bytes is escaped on the
// wire and so never reads as a ping.
extern const uint8_t ZNET_PING_REQUEST[10];  // FF FA 0A 00 FF FC F7 04 FF FB
extern const uint8_t ZNET_PING_REPLY[10];    // FF FA 0A 00 FF FD F9 03 FF FB

// Total length of the frame for this payload, or -1 when it would not fit 16 bits.
int32_t ZNet_FrameLength(const uint8_t* payload, uint32_t length);

// Writes the frame into out (ZNet_FrameLength bytes); returns the bytes written, 0 when
// the frame would not fit 16 bits (nothing written).
uint32_t ZNet_FrameEncode(uint8_t* out, const uint8_t* payload, uint32_t length);

// Check bytes of the escaped payload bytes (as they are on the wire).
void ZNet_FrameCheckBytes(const uint8_t* wire, uint32_t length, uint8_t& c1, uint8_t& c2);
