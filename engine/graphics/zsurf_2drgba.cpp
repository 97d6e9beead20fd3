// The RGBA surface: storage, pixels, clipping, mask, loading.
#include "engine/graphics/zsurf_2drgba.h"

#include <cstring>

#include "engine/core/zmod_memory.h"
#include "engine/graphics/zdsp_base.h"

Z2DSurfaceRGBA::~Z2DSurfaceRGBA() { Free(); }

Z2DSurfaceRGBA* Z2DSurfaceRGBA::LinkZCD(ZCD* context) {
  zcd = context;
  return this;
}

uint32_t Z2DSurfaceRGBA::ToTarget(uint32_t colour) const {
  return targetformat == ZFMT_INDEX8 ? colour & 0xFFFFFF : ZSurf_Pack(targetformat, colour);
}

uint32_t Z2DSurfaceRGBA::FromTarget(uint32_t stored) const {
  stored &= 0xFFFFFF;
  return targetformat == ZFMT_INDEX8 ? stored : ZSurf_Expand(targetformat, stored);
}

int Z2DSurfaceRGBA::Create(uint32_t width, uint32_t height, uint8_t fmt, uint32_t flags) {
  const uint32_t effective = (flags & ~0xFu) | 1;
  if (width == 0 || height == 0 || width > Z2D_MAXSIZE || height > Z2D_MAXSIZE || !zcd || !zcd->memory)
    return Z2D_BADARG;
  const uint8_t target = (flags >> 8 & 0xFF) ? uint8_t(flags >> 8) : fmt;
  if (ZSurf_FormatBits(target) == 0) return Z2D_FAILED;
  if (target == ZFMT_INDEX8 && (flags & SURF_PREMULTIPLIED)) return Z2D_FAILED;
  if (Created() && effective == createflags && target == targetformat && width == GetWidth() &&
      height == GetHeight()) {
    Clear();
    return Z2D_OK;
  }
  Free();
  const bool exchanged = zcd->display && zcd->display->axisexchange;
  rowlength = int32_t(exchanged ? height : width);
  rows = int32_t(exchanged ? width : height);
  stride = (rowlength + 3) & ~3;
  buffer = static_cast<uint32_t*>(zcd->memory->AllocList(uint32_t(stride) * uint32_t(rows) * 4));
  if (!buffer) {
    rowlength = rows = stride = 0;
    return Z2D_NOMEMORY;
  }
  createflags = effective;
  targetformat = target;
  format = target;
  bits = 32;
  state = uint8_t(effective);
  clip = {0, 0, rowlength, rows};
  firstchar = 0;
  Clear();
  return Z2D_OK;
}

void Z2DSurfaceRGBA::Clear(uint32_t) {
  if (!Created() || !buffer) return;
  const uint32_t n = uint32_t(stride) * uint32_t(rows);
  const uint32_t v = Empty();
  for (uint32_t i = 0; i < n; ++i) buffer[i] = v;
  if (zcd && zcd->memory) {
    if (masktable) zcd->memory->DeAllocList(masktable);
    if (fonttable) zcd->memory->DeAllocList(fonttable);
  }
  masktable = nullptr;
  fonttable = nullptr;
}

void Z2DSurfaceRGBA::Free() {
  if (zcd && zcd->memory) {
    void* tables[] = {buffer, masktable, fonttable};
    for (void* t : tables)
      if (t) zcd->memory->DeAllocList(t);
  }
  buffer = nullptr;
  masktable = nullptr;
  fonttable = nullptr;
  lockcount = 0;
  state = 0;
  createflags = 0;
  rowlength = rows = stride = 0;
}

uint32_t* Z2DSurfaceRGBA::Lock(Z2DSURFACEINFO* info) {
  if (!Created() || !buffer) return nullptr;
  if (info) GetInfo(info);
  ++lockcount;
  return buffer;
}

void Z2DSurfaceRGBA::Unlock() {
  if (lockcount > 0) --lockcount;
}

int Z2DSurfaceRGBA::GetInfo(Z2DSURFACEINFO* info) const { return FillInfo(info, 32, targetformat); }

void Z2DSurfaceRGBA::SetClipper(tagRECT* rect) {
  if (!Created()) return;
  if (!rect) {
    clip = {0, 0, rowlength, rows};
    return;
  }
  tagRECT r = *rect;
  if (zcd && zcd->display) zcd->display->VirtualRect(&r, uint32_t(rowlength), uint32_t(rows));
  if (r.left < 0) r.left = 0;
  if (r.top < 0) r.top = 0;
  if (r.right > rowlength) r.right = rowlength;
  if (r.bottom > rows) r.bottom = rows;
  clip = r;
  *rect = r;
}

void Z2DSurfaceRGBA::PutPixel(int32_t x, int32_t y, uint32_t colour, uint8_t alpha) {
  if (!Created() || !buffer) return;
  int64_t bx = x, by = y;
  MapPos(bx, by);
  if (bx < clip.left || bx >= clip.right || by < clip.top || by >= clip.bottom) return;
  buffer[by * stride + bx] = ToTarget(colour) | uint32_t(alpha) << 24;
}

void Z2DSurfaceRGBA::GetPixelV(int32_t x, int32_t y, uint32_t& colour, uint8_t& alpha) const {
  colour = 0;
  alpha = 0;
  if (!Created() || !buffer) return;
  if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom) return;
  const uint32_t w = buffer[int64_t(y) * stride + x];
  const uint32_t c = FromTarget(w);
  if (!Premultiplied()) {
    colour = c;
    alpha = uint8_t(w >> 24);
    return;
  }
  alpha = uint8_t(255 - (w >> 24));
  if (alpha == 0) return;
  uint32_t out = 0;
  for (int s = 0; s < 24; s += 8) {
    uint32_t ch = (c >> s & 0xFF) * 256 / (uint32_t(alpha) + 1);
    out |= (ch & 0xFF) << s;
  }
  colour = out;
}

void Z2DSurfaceRGBA::GetPixel(int32_t x, int32_t y, uint32_t& colour, uint8_t& alpha) const {
  int64_t bx = x, by = y;
  MapPos(bx, by);
  if (bx < INT32_MIN || bx > INT32_MAX || by < INT32_MIN || by > INT32_MAX) {
    colour = 0;
    alpha = 0;
    return;
  }
  GetPixelV(int32_t(bx), int32_t(by), colour, alpha);
}

void Z2DSurfaceRGBA::BuildTableMask(uint8_t threshold) {
  if (!Created() || !buffer || !zcd || !zcd->memory) return;
  if (masktable) zcd->memory->DeAllocList(masktable);
  const uint32_t words = (uint32_t(rowlength) + 31) / 32;
  masktable = static_cast<uint32_t*>(zcd->memory->AllocList(words * uint32_t(rows) * 4));
  if (!masktable) return;
  std::memset(masktable, 0, size_t(words) * uint32_t(rows) * 4);
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < rowlength; ++x) {
      uint32_t c;
      uint8_t a;
      GetPixelV(x, y, c, a);
      if (a >= threshold) masktable[size_t(y) * words + size_t(x / 32)] |= 0x80000000u >> (x % 32);
    }
}

int Z2DSurfaceRGBA::ReplaceColor(uint32_t colour, uint32_t match, bool invert) {
  if (!Created() || !buffer || Premultiplied()) return 0;
  const uint32_t c = ToTarget(colour), m = ToTarget(match);
  for (int32_t y = clip.top; y < clip.bottom; ++y)
    for (int32_t x = clip.left; x < clip.right; ++x) {
      uint32_t& w = buffer[size_t(y) * stride + x];
      if (((w & 0xFFFFFF) == m) != invert) w = (w & 0xFF000000u) | c;
    }
  return 1;
}

uint32_t Z2DSurfaceRGBA::GetFontWidth(const char* text) const {
  if (!Created() || !text) return 0;
  uint32_t best = 0, line = 0;
  for (uint32_t i = 0; i < 0x4000u && text[i]; ++i) {
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    if (ch == '\r' || ch == '\n') {
      best = line > best ? line : best;
      line = 0;
    } else if (ch >= 16) {
      line += fonttable ? fonttable[ch - firstchar] : GetWidth() / 128;
    }
  }
  return line > best ? line : best;
}

int Z2DSurfaceRGBA::LoadImage(const void* data, uint32_t size, uint8_t fmt, uint32_t flags) {
  if (!zcd) return Z2D_BADARG;
  return ZLoader_Dispatch(zcd->display, this, data, size, fmt, flags);
}

int Z2DSurfaceRGBA::LoadImage(const uint16_t* filename, uint8_t fmt, uint32_t flags) {
  if (!zcd) return Z2D_BADARG;
  return ZLoader_LoadFile(zcd, filename, [&](const uint8_t* block, uint32_t size) {
    return LoadImage(block, size, fmt, flags);
  });
}

int Z2DSurfaceRGBA::LdrOnCreate(ZLDR_2DCALLBACKINFO* info) {
  if (!info) return Z2D_BADARG;
  return Create(info->width, info->height, info->format, info->flags);
}

int Z2DSurfaceRGBA::LdrOnPaletteStream(ZLDR_2DCALLBACKINFO* info) {
  if (!info) return Z2D_BADARG;
  return ZLoader_StorePalette(info, palette);
}

int Z2DSurfaceRGBA::LdrOnPixelStream(ZLDR_2DCALLBACKINFO* info) {
  if (!info) return Z2D_BADARG;
  if (!Created() || !buffer) return Z2D_FAILED;
  const uint32_t width = info->width;
  const uint32_t count = info->indexed ? info->size : info->size / 4;
  if (!width || !info->data) {
    info->pixelpos += count;
    return Z2D_OK;
  }
  const bool dither = (info->flags & LDR_DITHER) && ZSurf_FormatBits(targetformat) == 16;
  const bool premultiply = info->flags & SURF_PREMULTIPLIED;
  const uint8_t* bytes = static_cast<const uint8_t*>(info->data);
  uint32_t x = info->pixelpos % width, y = info->pixelpos / width;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t w;
    if (info->indexed) w = palette[bytes[i]];
    else w = ZSurf_Load32(bytes + 4 * size_t(i));
    if (dither) w = ZLoader_Dither(w, targetformat, x, y);
    const uint32_t a = w >> 24;
    uint32_t colour = w & 0xFFFFFF, stored = a;
    if (premultiply) {
      colour = ((w & 0xFF) * a / 256) | ((w >> 8 & 0xFF) * a / 256) << 8 | ((w >> 16 & 0xFF) * a / 256) << 16;
      stored = 255 - a;
    }
    // Bounded by the buffer, not the clip: a reload into a narrowed clip is still whole.
    int64_t bx = x, by = y;
    MapPos(bx, by);
    if (bx >= 0 && by >= 0 && bx < rowlength && by < rows)
      buffer[by * stride + bx] = ToTarget(colour) | stored << 24;
    if (++x == width) {
      x = 0;
      ++y;
    }
  }
  info->pixelpos += count;
  return Z2D_OK;
}
