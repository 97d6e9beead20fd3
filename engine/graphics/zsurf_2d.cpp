// Surface core: lifecycle, geometry, clipping, colour key, single pixels and the pixel rule.
#include "engine/graphics/zsurf_2d.h"

#include <cstddef>
#include <cstring>

#include "engine/core/zmod_memory.h"
#include "engine/graphics/zdsp_base.h"

Z2DSurface::~Z2DSurface() { Free(); }

ClassZMemory* Z2DSurface::Memory() const { return zcd ? zcd->memory : nullptr; }

void Z2DSurface::MapRect(tagRECT* rect) const {
  if (const ClassZDisplay* d = Display()) d->VirtualRect(rect, uint32_t(rowlength), uint32_t(rows));
}

void Z2DSurface::ReleaseTable(void* pointer) {
  if (pointer && Memory()) Memory()->DeAllocList(pointer);
}

Z2DSurface* Z2DSurface::LinkZCD(ZCD* context) {
  zcd = context;
  return this;
}

int Z2DSurface::Create(uint32_t width, uint32_t height, uint8_t fmt, uint32_t flags) {
  if (!zcd || !zcd->memory) return Z2D_BADARG;
  if ((flags & 0xF) == 0 && zcd->config) flags = (flags & ~0xFu) + zcd->config->surfaceflags;
  const uint32_t kind = flags & 0xF;
  if (kind == 0 || kind > 3 || !width || !height || width > Z2D_MAXSIZE || height > Z2D_MAXSIZE)
    return Z2D_BADARG;
  const uint8_t newformat = (flags >> 8 & 0xFF) ? uint8_t(flags >> 8 & 0xFF) : fmt;
  const uint8_t newbits = ZSurf_FormatBits(newformat);
  if (!newbits) return Z2D_FAILED;

  if (Created()) {
    if (flags == createflags && newformat == format && width == GetWidth() && height == GetHeight()) {
      Clear(0);
      return Z2D_OK;
    }
    Free();
  }
  createflags = flags;
  format = newformat;
  bits = newbits;
  const ClassZDisplay* display = Display();
  const bool exchanged = display && display->axisexchange;
  rowlength = int32_t(exchanged ? height : width);
  rows = int32_t(exchanged ? width : height);
  stride = (rowlength + 3) & ~3;
  const uint64_t bytes = uint64_t(stride) * uint64_t(rows) * (bits / 8);
  if (bytes > 0xFFFFFF00u) return Z2D_NOMEMORY;
  buffer = static_cast<uint8_t*>(zcd->memory->AllocList(uint32_t(bytes)));
  if (!buffer) return Z2D_NOMEMORY;
  // Row padding too, so that block copies never carry stale bytes.
  std::memset(buffer, 0, size_t(bytes));
  state = (state & 0xF0) | 1;
  const int result = Init();
  if (result != Z2D_OK) {
    Free();
    return result;
  }
  Clear(0);
  return Z2D_OK;
}

int Z2DSurface::Init() {
  ClassZMemory* memory = Memory();
  if (!buffer || !memory) return Z2D_FAILED;
  const ClassZDisplay* display = Display();
  const int32_t n = (display && display->axisexchange && stride > rows) ? stride : rows;
  std::memset(palette, 0, sizeof(palette));
  clip = {0, 0, rowlength, rows};
  firstchar = 0;
  lastchar = 127;
  glyphcount = 128;
  padx = 0;
  pady = 0;
  void** tables[] = {reinterpret_cast<void**>(&masktable), reinterpret_cast<void**>(&vwftable),
                     reinterpret_cast<void**>(&spanleft), reinterpret_cast<void**>(&spanright),
                     reinterpret_cast<void**>(&spanleftrec), reinterpret_cast<void**>(&spanrightrec)};
  for (void** t : tables) {
    ReleaseTable(*t);
    *t = nullptr;
  }
  spanleft = static_cast<int16_t*>(memory->AllocList(uint32_t(n) * 2));
  spanright = static_cast<int16_t*>(memory->AllocList(uint32_t(n) * 2));
  spanleftrec = static_cast<int32_t*>(memory->AllocList(uint32_t(n) * 16));
  spanrightrec = static_cast<int32_t*>(memory->AllocList(uint32_t(n) * 16));
  if (!spanleft || !spanright || !spanleftrec || !spanrightrec) {
    for (int i = 2; i < 6; ++i) {
      ReleaseTable(*tables[i]);
      *tables[i] = nullptr;
    }
    return Z2D_NOMEMORY;
  }
  return Z2D_OK;
}

void Z2DSurface::Free() {
  lockcount = 0;
  if (zcd) {
    if ((state & 0xF) == 1) ReleaseTable(buffer);
    buffer = nullptr;
    void* tables[] = {charset, masktable, vwftable, spanleft, spanright, spanleftrec, spanrightrec,
                      palettelookup};
    for (void* t : tables) ReleaseTable(t);
    charset = nullptr;
    masktable = nullptr;
    vwftable = nullptr;
    spanleft = spanright = nullptr;
    spanleftrec = spanrightrec = nullptr;
    palettelookup = nullptr;
  }
  state &= 0xF0;
}

int Z2DSurface::GetInfo(Z2DSURFACEINFO* info) const { return FillInfo(info, bits, format); }

uint8_t* Z2DSurface::Lock(Z2DSURFACEINFO* info) {
  if (!Created() || !buffer) return nullptr;
  if (info) GetInfo(info);
  ++lockcount;
  return buffer;
}

void Z2DSurface::Unlock() {
  if (lockcount > 0) --lockcount;
}

void Z2DSurface::SetClipper(const tagRECT* rect) {
  if (!Created()) return;
  if (!rect) {
    clip = {0, 0, rowlength, rows};
    return;
  }
  tagRECT r = *rect;
  MapRect(&r);
  clip.left = r.left < 0 ? 0 : r.left;
  clip.top = r.top < 0 ? 0 : r.top;
  clip.right = r.right > rowlength ? rowlength : r.right;
  clip.bottom = r.bottom > rows ? rows : r.bottom;
}

int Z2DSurface::ClipRect(tagRECT* rect) const {
  if (!rect || rect->left >= rect->right || rect->top >= rect->bottom) return 0;
  if (clip.left >= clip.right || clip.top >= clip.bottom) return 0;
  if (rect->left >= clip.right || rect->top >= clip.bottom) return 0;
  if (rect->left < clip.left) rect->left = clip.left;
  if (rect->top < clip.top) rect->top = clip.top;
  if (rect->right > clip.right) rect->right = clip.right;
  if (rect->bottom > clip.bottom) rect->bottom = clip.bottom;
  return rect->left < rect->right && rect->top < rect->bottom;
}

int Z2DSurface::PrepareBlitRect(int64_t& x, int64_t& y, tagRECT* src, int64_t sw, int64_t sh) const {
  if (!src || x >= clip.right || y >= clip.bottom) return 0;
  int64_t l = src->left, t = src->top, r = src->right, b = src->bottom;
  if (l >= r || t >= b || r < 0 || b < 0 || l >= sw || t >= sh) return 0;
  if (l < 0) {
    x -= l;
    l = 0;
  }
  if (t < 0) {
    y -= t;
    t = 0;
  }
  if (x < clip.left) {
    l += clip.left - x;
    x = clip.left;
  }
  if (y < clip.top) {
    t += clip.top - y;
    y = clip.top;
  }
  if (r > sw) r = sw;
  if (b > sh) b = sh;
  if (x + (r - l) > clip.right) r = l + (clip.right - x);
  if (y + (b - t) > clip.bottom) b = t + (clip.bottom - y);
  if (l >= r || t >= b) return 0;
  // Everything is now inside both buffers.
  src->left = int32_t(l);
  src->top = int32_t(t);
  src->right = int32_t(r);
  src->bottom = int32_t(b);
  return 1;
}

int Z2DSurface::PrepareBlitRect(int32_t& x, int32_t& y, tagRECT* src, int32_t sw, int32_t sh) const {
  int64_t x64 = x, y64 = y;
  const int result = PrepareBlitRect(x64, y64, src, sw, sh);
  if (result) {
    x = int32_t(x64);
    y = int32_t(y64);
  }
  return result;
}

void Z2DSurface::SetColorKey(uint32_t colour) { colorkey = ZSurf_Pack(format, colour); }

uint32_t Z2DSurface::GetColorKey() const { return ZSurf_Expand(format, colorkey); }

uint32_t Z2DSurface::GetPixelRaw(int32_t x, int32_t y, const uint8_t* buf) const {
  const uint32_t bytes = bits / 8;
  return ZSurf_Expand(format, ZSurf_LoadPixel(buf + (ptrdiff_t(y) * stride + x) * bytes, bits));
}

uint32_t Z2DSurface::GetPixelV(int32_t x, int32_t y) const {
  if (!Created() || !buffer || x < 0 || y < 0 || x >= rowlength || y >= rows) return 0;
  return GetPixelRaw(x, y, buffer);
}

uint32_t Z2DSurface::GetPixel(int32_t x, int32_t y) const {
  if (!Created() || !buffer) return 0;
  int64_t bx = x, by = y;
  MapPos(bx, by);
  if (bx < 0 || by < 0 || bx >= rowlength || by >= rows) return 0;
  return GetPixelRaw(int32_t(bx), int32_t(by), buffer);
}

void Z2DSurface::PutPixel(int32_t x, int32_t y, uint32_t colour, int32_t flags, uint32_t property) {
  if (!Created() || !buffer) return;
  int64_t bx = x, by = y;
  MapPos(bx, by);
  if (bx < clip.left || by < clip.top || bx >= clip.right || by >= clip.bottom) return;
  PutPixelRaw(int32_t(bx), int32_t(by), colour, flags, property, buffer);
}

namespace {

inline uint32_t Ch(uint32_t c, int shift) { return c >> shift & 0xFF; }

}  // namespace

void Z2DSurface::PutPixelRaw(int32_t x, int32_t y, uint32_t colour, int32_t flags,
                             uint32_t property, uint8_t* buf) {
  uint32_t f = ZSurf_BltFlags(flags);
  const uint32_t a = ZSurf_Opacity(f, property);

  colour = ZSurf_ColourEffects(colour, f, property);

  uint8_t* p = buf + (ptrdiff_t(y) * stride + x) * (bits / 8);
  uint32_t out = colour & 0xFFFFFF;
  if (f & ZBLT_OPACITY) {
    if (f & (ZBLT_ADD | ZBLT_SUB)) {
      out = ZSurf_ScaleColour(out, a);
    } else if (a <= 254) {
      if (ZSurf_QuantiseOpacity(format, a) == 0) return;
      const uint32_t d = GetPixelRaw(x, y, buf);
      out = 0;
      for (int s = 0; s <= 16; s += 8)
        out |= ((Ch(d, s) * (256 - a) >> 8) + (Ch(colour, s) * a >> 8)) << s;
    }
  }
  if (f & (ZBLT_ADD | ZBLT_SUB)) {
    const uint32_t d = GetPixelRaw(x, y, buf);
    const uint32_t src = out;
    out = 0;
    for (int s = 0; s <= 16; s += 8) {
      const uint32_t dc = Ch(d, s), sc = Ch(src, s);
      const uint32_t v = (f & ZBLT_ADD) ? (dc + sc > 255 ? 255 : dc + sc) : (sc > dc ? 0 : dc - sc);
      out |= v << s;
    }
  }
  ZSurf_StorePixel(p, bits, ZSurf_Pack(format, out));
}
