// Pixel formats of engine surfaces, the colour word and the conversions between them,
// the blit flags, the halving masks and opacity weights shared by every blitter family,
// and the result codes of the graphics operations.
//
// The colour word is 0x00BBGGRR (red in the low byte). Pack turns it into a stored pixel,
// expand turns a stored pixel back into a colour word with the freed low bits left 0.
#pragma once

#include <cstdint>
#include <cstddef>
#include <cstring>

// Engine pixel formats (the surface's format byte).
enum : uint8_t {
  ZFMT_INDEX8 = 1,    // 8-bit palette index
  ZFMT_RGB444 = 2,    // 16-bit, red 8-11, green 4-7, blue 0-3
  ZFMT_RGB555 = 3,    // 16-bit, red 10-14, green 5-9, blue 0-4
  ZFMT_RGB565 = 4,    // 16-bit, red 11-15, green 5-10, blue 0-4
  ZFMT_RGB888 = 5,    // 24-bit, bytes blue, green, red
  ZFMT_XRGB8888 = 6,  // 32-bit word 0x00RRGGBB
};

// Blit flags: the low byte of the flags argument of every drawing operation.
enum : uint32_t {
  ZBLT_COLORKEY = 0x01,
  ZBLT_COLORIZE = 0x02,
  ZBLT_TINT = 0x04,
  ZBLT_OPACITY = 0x08,
  ZBLT_ADD = 0x10,
  ZBLT_SUB = 0x20,
};

// The blit flags of a flags argument: its low byte, add and subtract dropped when both
// are asked for.
inline uint32_t ZSurf_BltFlags(int32_t flags) {
  const uint32_t f = uint32_t(flags) & 0xFF;
  return (f & (ZBLT_ADD | ZBLT_SUB)) == (ZBLT_ADD | ZBLT_SUB) ? f & ~(ZBLT_ADD | ZBLT_SUB) : f;
}

// The opacity a property gives: its top byte when colorize or tint take the colour from
// its low bytes, the whole word otherwise.
inline uint32_t ZSurf_Opacity(uint32_t flags, uint32_t property) {
  return (flags & (ZBLT_COLORIZE | ZBLT_TINT)) ? property >> 24 : property;
}

// Result codes of the graphics operations.
enum : int {
  Z2D_OK = 0,
  Z2D_FAILED = 1,
  Z2D_NOMEMORY = 2,
  Z2D_NOTHANDLED = 3,
  Z2D_BADARG = 4,
  Z2D_NOTHING = 10,
  Z2D_FORMATS = 11,
  Z2D_NOBUFFER = 12,
};

// Bits per pixel of a format; 0 for an unknown one.
inline uint8_t ZSurf_FormatBits(uint32_t format) {
  switch (format) {
    case ZFMT_INDEX8: return 8;
    case ZFMT_RGB444:
    case ZFMT_RGB555:
    case ZFMT_RGB565: return 16;
    case ZFMT_RGB888: return 24;
    case ZFMT_XRGB8888: return 32;
    default: return 0;
  }
}

// 0x00BBGGRR <-> 0x00RRGGBB (the top byte is dropped).
inline uint32_t ZSurf_SwapRB(uint32_t c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// 0x00RRGGBB (the stored channel order) to a stored pixel of a true-colour format: the
// top bits of each channel; 24 and 32 bits take the value as it is.
inline uint32_t ZSurf_PackRGB(uint32_t format, uint32_t v) {
  switch (format) {
    case ZFMT_RGB444: return (v >> 12 & 0xF00) | (v >> 8 & 0xF0) | (v >> 4 & 0xF);
    case ZFMT_RGB555: return (v >> 9 & 0x7C00) | (v >> 6 & 0x3E0) | (v >> 3 & 0x1F);
    case ZFMT_RGB565: return (v >> 8 & 0xF800) | (v >> 5 & 0x7E0) | (v >> 3 & 0x1F);
    default: return v;
  }
}

// Colour word to stored pixel.
inline uint32_t ZSurf_Pack(uint32_t format, uint32_t colour) {
  if (format == ZFMT_INDEX8) return colour & 0xFF;
  return ZSurf_PackRGB(format, ZSurf_SwapRB(colour));
}

// Stored pixel to colour word; low bits of narrow fields stay 0 (5:6:5 white -> 0xF8FCF8).
inline uint32_t ZSurf_Expand(uint32_t format, uint32_t p) {
  switch (format) {
    case ZFMT_INDEX8: return p & 0xFF;
    case ZFMT_RGB444: return (p >> 4 & 0xF0) | (p << 8 & 0xF000) | (p << 20 & 0xF00000);
    case ZFMT_RGB555: return (p >> 7 & 0xF8) | (p << 6 & 0xF800) | (p << 19 & 0xF80000);
    case ZFMT_RGB565: return (p >> 8 & 0xF8) | (p << 5 & 0xFC00) | (p << 19 & 0xF80000);
    default: return ZSurf_SwapRB(p);
  }
}

// The packed colour the colorize and tint workers take from a property: its colour for
// colorize, half of it for tint alone, 0 for neither.
inline uint32_t ZSurf_EffectColour(uint32_t format, uint32_t flags, uint32_t property) {
  if (flags & ZBLT_COLORIZE) return ZSurf_Pack(format, property & 0xFFFFFF);
  if (flags & ZBLT_TINT) return ZSurf_Pack(format, property >> 1 & 0x7F7F7F);
  return 0;
}

// The colour effects of the blit flags on a colour word: colorize and tint together scale
// the property colour by the colour's largest channel; colorize alone takes the property
// colour; tint alone mixes both half and half.
inline uint32_t ZSurf_ColourEffects(uint32_t colour, uint32_t flags, uint32_t property) {
  if ((flags & (ZBLT_COLORIZE | ZBLT_TINT)) == (ZBLT_COLORIZE | ZBLT_TINT)) {
    uint32_t m = colour & 0xFF;
    if ((colour >> 8 & 0xFF) > m) m = colour >> 8 & 0xFF;
    if ((colour >> 16 & 0xFF) > m) m = colour >> 16 & 0xFF;
    return ((property & 0xFF) * m >> 8) | ((property & 0xFF00) * m >> 8 & 0xFF00) |
           uint32_t(uint64_t(property & 0xFF0000) * m >> 8 & 0xFF0000);
  }
  if (flags & ZBLT_COLORIZE) return property & 0xFFFFFF;
  if (flags & ZBLT_TINT) return (colour >> 1 & 0x7F7F7F) + (property >> 1 & 0x7F7F7F);
  return colour;
}

// Each channel of a colour word times a / 256 (red and blue in one product, green in
// another), wide enough for any property word.
inline uint32_t ZSurf_ScaleColour(uint32_t c, uint64_t a) {
  return uint32_t((uint64_t(c & 0xFF00FF) * a >> 8) & 0xFF00FF) |
         uint32_t((uint64_t(c & 0xFF00) * a >> 8) & 0xFF00);
}

// Opacity quantised to what the format can show; 0 means nothing is drawn.
inline uint32_t ZSurf_QuantiseOpacity(uint32_t format, uint32_t a) {
  if (format == ZFMT_RGB444) return a & ~0xFu;
  if (format == ZFMT_RGB555 || format == ZFMT_RGB565) return a & ~7u;
  return a;
}

// M_s: after a shift right by s, keeps only the bits that stay inside their own field.
inline uint32_t ZSurf_HalfMask(uint32_t format, int s) {
  static const uint32_t m444[5] = {0xFFF, 0x777, 0x333, 0x111, 0};
  static const uint32_t m555[5] = {0x7FFF, 0x3DEF, 0x1CE7, 0x0C63, 0x0421};
  static const uint32_t m565[5] = {0xFFFF, 0x7BEF, 0x39E7, 0x18E3, 0x0861};
  static const uint32_t m888[5] = {0xFFFFFF, 0x7F7F7F, 0x3F3F3F, 0x1F1F1F, 0x0F0F0F};
  switch (format) {
    case ZFMT_RGB444: return m444[s];
    case ZFMT_RGB555: return m555[s];
    case ZFMT_RGB565: return m565[s];
    default: return m888[s];
  }
}

// Shift of the opacity-by-shift paths for the seven common opacities; 0 for any other.
inline int ZSurf_OpacityShift(uint32_t a) {
  switch (a) {
    case 128: return 1;
    case 64:
    case 192: return 2;
    case 32:
    case 224: return 3;
    case 16:
    case 240: return 4;
    default: return 0;
  }
}

// A 64-bit coordinate or size limited to the 32-bit range, so that a result far off a
// buffer stays off it on the same side.
inline int32_t ZSurf_Clamp32(int64_t v) {
  return int32_t(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}

// Unaligned, alias-safe loads and stores for the pixel loops. A core without unaligned
// access (the ARMv4T) gets a call to memcpy for each of them, some 30 instructions a
// pixel: there they go byte by byte, which the compiler cannot turn into a call.
#if defined(__arm__) && !defined(__ARM_FEATURE_UNALIGNED) && \
    __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
inline uint16_t ZSurf_Load16(const void* p) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  return uint16_t(b[0] | b[1] << 8);
}
inline uint32_t ZSurf_Load32(const void* p) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
inline void ZSurf_Store16(void* p, uint16_t v) {
  uint8_t* b = static_cast<uint8_t*>(p);
  b[0] = uint8_t(v);
  b[1] = uint8_t(v >> 8);
}
inline void ZSurf_Store32(void* p, uint32_t v) {
  uint8_t* b = static_cast<uint8_t*>(p);
  b[0] = uint8_t(v);
  b[1] = uint8_t(v >> 8);
  b[2] = uint8_t(v >> 16);
  b[3] = uint8_t(v >> 24);
}
#else
inline uint16_t ZSurf_Load16(const void* p) { uint16_t v; std::memcpy(&v, p, 2); return v; }
inline uint32_t ZSurf_Load32(const void* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
inline void ZSurf_Store16(void* p, uint16_t v) { std::memcpy(p, &v, 2); }
inline void ZSurf_Store32(void* p, uint32_t v) { std::memcpy(p, &v, 4); }
#endif
inline uint32_t ZSurf_Load24(const void* p) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16;
}
inline void ZSurf_Store24(void* p, uint32_t v) {
  uint8_t* b = static_cast<uint8_t*>(p);
  b[0] = uint8_t(v);
  b[1] = uint8_t(v >> 8);
  b[2] = uint8_t(v >> 16);
}

// Raw stored pixel at a byte address, by bits per pixel (24-bit: blue | green << 8 | red << 16).
inline uint32_t ZSurf_LoadPixel(const uint8_t* p, uint32_t bits) {
  switch (bits) {
    case 8: return *p;
    case 16: return ZSurf_Load16(p);
    case 24: return ZSurf_Load24(p);
    default: return ZSurf_Load32(p);
  }
}
inline void ZSurf_StorePixel(uint8_t* p, uint32_t bits, uint32_t v) {
  switch (bits) {
    case 8: *p = uint8_t(v); break;
    case 16: ZSurf_Store16(p, uint16_t(v)); break;
    case 24: ZSurf_Store24(p, v); break;
    default: ZSurf_Store32(p, v); break;
  }
}
