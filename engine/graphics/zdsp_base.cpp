#include "engine/graphics/zdsp_base.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <cstring>
#include <utility>

#include "engine/core/zmod_memory.h"
#include "engine/graphics/zldr_base.h"
#include "engine/graphics/zsurf_format.h"
#include "seam/gp2x_seam.h"

int RegisterDisplayLoaders(ClassZDisplay*) { return 1; }

// ---------------------------------------------------------------------------------------
// ClassZDisplayBase

ClassZDisplayBase::ClassZDisplayBase()
    : loaders{}, xstep(1), ystep(1), axisexchange(0), fullscreen(0), suspended(0) {}

ClassZDisplayBase::~ClassZDisplayBase() {
  for (ClassZLoaderBase*& loader : loaders) {
    delete loader;
    loader = nullptr;
  }
}

void ClassZDisplayBase::Suspend() { suspended = 1; }
void ClassZDisplayBase::Resume() { suspended = 0; }

int ClassZDisplayBase::RegisterLoader(ClassZLoaderBase* loader) {
  if (!loader) return 0;
  // A loader held twice would be deleted twice.
  for (ClassZLoaderBase* slot : loaders)
    if (slot == loader) return 1;
  for (ClassZLoaderBase*& slot : loaders) {
    if (!slot) {
      slot = loader;
      return 1;
    }
  }
  return 0;
}

int ClassZDisplayBase::UnRegisterLoader(ClassZLoaderBase* loader) {
  if (!loader) return 0;
  for (ClassZLoaderBase*& slot : loaders) {
    if (slot == loader) {
      slot = nullptr;
      return 1;
    }
  }
  return 0;
}

// ---------------------------------------------------------------------------------------
// ClassZDisplay: state, palette, suspend (opening and presentation: zdsp_2d.cpp)

ClassZDisplay::ClassZDisplay()
    : window(nullptr),
      fliprect{0, 0, 0, 0},
      zcd(nullptr),
      palette{},
      palettecache{},
      palettecacheformat(0),
      palettelookup(nullptr),
      framebuffer(nullptr),
      fbwidth(0),
      fbheight(0),
      virtualwidth(0),
      virtualheight(0),
      wipeposition(0),
      rendersize(0),
      bitsperpixel(0),
      fbformat(0),
      backbufferformat(0),
      rotation(0),
      systemrotation(0),
      palettechanged(0) {}

ClassZDisplay::~ClassZDisplay() {
  Close();
  // OpenGP2X maps without opening, which Close leaves alone.
  UnmapFramebuffer();
  ClassZMemory::DeAlloc(palettelookup);
  palettelookup = nullptr;
}

void ClassZDisplay::Suspend() {
  if (backbufferformat && !suspended) suspended = 1;
}

void ClassZDisplay::Resume() {
  if (!backbufferformat || !suspended) return;
  virtualwidth = fbwidth;
  virtualheight = fbheight;
  suspended = 0;
  systemrotation = 0;
}

void ClassZDisplay::SetRotation(uint8_t r) {
  static const struct {
    uint8_t exchange;
    int8_t xstep, ystep;
  } table[4] = {{0, 1, 1}, {1, 1, -1}, {0, -1, -1}, {1, -1, 1}};
  rotation = r < 4 ? r : 0;
  axisexchange = table[rotation].exchange;
  xstep = table[rotation].xstep;
  ystep = table[rotation].ystep;
}

void ClassZDisplay::SetPalette(const uint32_t* colours, uint8_t first, uint32_t count) {
  if (colours) {
    const uint32_t end = uint32_t(first) + count < 256 ? uint32_t(first) + count : 256;
    for (uint32_t i = first; i < end; ++i) {
      const uint32_t c = colours[i];
      palette[i] = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
  }
  palettechanged = 1;
  palettecacheformat = 0;
}

int ClassZDisplay::GetVideoMemory(uint32_t& total, uint32_t& free) {
  total = 0;
  free = 0;
  return 3;
}

// ---------------------------------------------------------------------------------------
// Mapping. Results beyond the 32-bit range stop at its ends, so that a rectangle or a
// position far off the buffer stays off it on the same side.

namespace {

// The steps of the rectangle mapping, on 64-bit sides (left, top, right, bottom).
inline void ExchangeAxes(int64_t* r) {
  std::swap(r[0], r[1]);
  std::swap(r[2], r[3]);
}
// Mirrors the sides lo and hi (left and right, or top and bottom) in a length of n.
inline void Mirror(int64_t& lo, int64_t& hi, uint32_t n) {
  const int64_t nl = int64_t(n) - hi;
  hi = int64_t(n) - lo;
  lo = nl;
}
inline void Store(tagRECT* rect, const int64_t* r) {
  rect->left = ZSurf_Clamp32(r[0]);
  rect->top = ZSurf_Clamp32(r[1]);
  rect->right = ZSurf_Clamp32(r[2]);
  rect->bottom = ZSurf_Clamp32(r[3]);
}
// A 64-bit position mapping on a 32-bit position.
template <class Map>
inline void Map32(int32_t& x, int32_t& y, Map map) {
  int64_t x64 = x, y64 = y;
  map(x64, y64);
  x = ZSurf_Clamp32(x64);
  y = ZSurf_Clamp32(y64);
}

}  // namespace

void ClassZDisplay::VirtualPos(int64_t& x, int64_t& y, uint32_t w, uint32_t h) const {
  if (axisexchange) {
    const int64_t t = x;
    x = y;
    y = t;
  }
  if (xstep < 0) x = int64_t(w) - x - 1;
  if (ystep < 0) y = int64_t(h) - y - 1;
}

void ClassZDisplay::VirtualPos(int32_t& x, int32_t& y, uint32_t w, uint32_t h) const {
  Map32(x, y, [&](int64_t& x64, int64_t& y64) { VirtualPos(x64, y64, w, h); });
}

void ClassZDisplay::VirtualRect(tagRECT* rect, uint32_t w, uint32_t h) const {
  if (!rect) return;
  int64_t r[4] = {rect->left, rect->top, rect->right, rect->bottom};
  if (axisexchange) ExchangeAxes(r);
  if (xstep < 0) Mirror(r[0], r[2], w);
  if (ystep < 0) Mirror(r[1], r[3], h);
  Store(rect, r);
}

void ClassZDisplay::ReVirtualRect(tagRECT* rect, uint32_t w, uint32_t h) const {
  if (!rect) return;
  int64_t r[4] = {rect->left, rect->top, rect->right, rect->bottom};
  if (ystep < 0) Mirror(r[1], r[3], h);
  if (xstep < 0) Mirror(r[0], r[2], w);
  if (axisexchange) ExchangeAxes(r);
  Store(rect, r);
}

void ClassZDisplay::VirtualRectPos(int64_t& x, int64_t& y, tagRECT* rect, uint32_t w,
                                   uint32_t h, uint32_t rw, uint32_t rh) const {
  VirtualPos(x, y, w, h);
  if (!rect) return;
  VirtualRect(rect, rw, rh);
  if (xstep < 0) x += int64_t(rect->left) - rect->right + 1;
  if (ystep < 0) y += int64_t(rect->top) - rect->bottom + 1;
}

void ClassZDisplay::VirtualRectPos(int32_t& x, int32_t& y, tagRECT* rect, uint32_t w,
                                   uint32_t h, uint32_t rw, uint32_t rh) const {
  Map32(x, y, [&](int64_t& x64, int64_t& y64) { VirtualRectPos(x64, y64, rect, w, h, rw, rh); });
}

void ClassZDisplay::VirtualRotation(uint16_t& angle) const {
  if (xstep < 0) angle = uint16_t(4096 - (angle & 0xFFF));
  if (ystep < 0) angle = uint16_t(2048 - (angle & 0xFFF));
  if (axisexchange) angle = uint16_t(1024 - (angle & 0xFFF));
  angle &= 0xFFF;
}

void ClassZDisplay::VirtualDPad(uint32_t& code, const ZBUTTONLIST* list) const {
  if (!list) return;
  const uint32_t up = list->button[ZBUTTONLIST_UP], down = list->button[ZBUTTONLIST_DOWN];
  const uint32_t left = list->button[ZBUTTONLIST_LEFT], right = list->button[ZBUTTONLIST_RIGHT];
  // Clockwise order: a quarter turn moves each direction one place on.
  const uint32_t ring[4] = {up, right, down, left};
  const int r = (int(rotation) - int(systemrotation) + 4) % 4;
  if (r == 0) return;
  for (int i = 0; i < 4; ++i) {
    if (code == ring[i]) {
      code = ring[(i + r) % 4];
      return;
    }
  }
}

void ClassZDisplay::VirtualMouse(int32_t& x, int32_t& y) const {
  const int64_t vw = virtualwidth, vh = virtualheight, W = fbwidth, H = fbheight;
  int64_t px = x, py = y, t;
  switch (systemrotation) {
    case 1: t = py; py = vw - px; px = t; break;
    case 2: px = vw - px; py = vh - py; break;
    case 3: t = vh - py; py = px; px = t; break;
  }
  switch (rotation) {
    case 1: t = H - py; py = px; px = t; break;
    case 2: px = W - px; py = H - py; break;
    case 3: t = py; py = W - px; px = t; break;
  }
  x = ZSurf_Clamp32(px);
  y = ZSurf_Clamp32(py);
}

void ClassZDisplay::VirtualTilt(int32_t& x, int32_t& y) const {
  const int64_t px = x, py = y;
  switch (rotation) {
    case 1: x = ZSurf_Clamp32(-py); y = ZSurf_Clamp32(px); break;
    case 2: x = ZSurf_Clamp32(-px); y = ZSurf_Clamp32(-py); break;
    case 3: x = ZSurf_Clamp32(py); y = ZSurf_Clamp32(-px); break;
  }
}
