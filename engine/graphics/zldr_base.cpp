// The loader cursor, the dispatch over the display's loader slots, whole-file reading and
// the ordered-dither tables shared by the loaders' surface callbacks and the gouraud fill.
#include "engine/graphics/zldr_loader.h"

#include <cstring>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_memory.h"
#include "engine/core/zolt_records.h"
#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zsurf_format.h"

const int zdithertable16[16][16] = {
    {0, 0, 0, 0, 0, 0, 16, 0, 16, 16, 0, 16, 16, 16, 16, 16},
    {0, 0, 0, 0, 16, 0, 0, 16, 0, 0, 16, 16, 0, 16, 16, 16},
    {0, 0, 0, 0, 0, 16, 0, 0, 16, 16, 16, 0, 16, 16, 16, 16},
    {0, 0, 16, 0, 0, 0, 16, 16, 0, 0, 0, 16, 16, 16, 0, 16},
    {0, 0, 0, 0, 0, 0, 0, 0, 16, 16, 16, 16, 16, 16, 16, 16},
    {0, 0, 0, 16, 16, 0, 0, 16, 0, 0, 16, 16, 0, 0, 16, 16},
    {0, 0, 0, 0, 0, 16, 16, 0, 16, 16, 0, 0, 16, 16, 16, 16},
    {0, 16, 0, 0, 0, 0, 0, 16, 0, 0, 16, 16, 16, 16, 16, 0},
    {0, 0, 0, 0, 0, 0, 16, 0, 16, 16, 0, 16, 16, 16, 16, 16},
    {0, 0, 0, 0, 16, 16, 0, 0, 0, 16, 16, 0, 0, 16, 16, 16},
    {0, 0, 0, 16, 0, 0, 0, 16, 16, 0, 16, 16, 16, 0, 16, 16},
    {0, 0, 16, 0, 0, 0, 16, 0, 0, 16, 0, 16, 16, 16, 0, 16},
    {0, 0, 0, 0, 0, 16, 0, 16, 16, 0, 16, 0, 16, 16, 16, 16},
    {0, 0, 0, 0, 16, 0, 0, 0, 0, 16, 16, 16, 0, 16, 16, 16},
    {0, 0, 0, 0, 0, 0, 16, 16, 16, 0, 0, 16, 16, 16, 16, 16},
    {0, 0, 0, 16, 0, 16, 0, 0, 0, 16, 16, 0, 16, 0, 16, 16},
};
const int zdithertable8[8][8] = {
    {0, 0, 0, 0, 8, 8, 8, 8}, {0, 0, 0, 8, 0, 0, 8, 8}, {0, 0, 0, 0, 8, 8, 8, 8},
    {0, 0, 8, 0, 0, 8, 0, 8}, {0, 0, 0, 8, 8, 0, 8, 8}, {0, 8, 0, 0, 0, 8, 8, 0},
    {0, 0, 0, 0, 8, 8, 8, 8}, {0, 0, 8, 8, 0, 0, 0, 8},
};
const int zdithertable4[4][4] = {
    {0, 0, 4, 4},
    {0, 0, 0, 4},
    {0, 4, 4, 0},
    {0, 0, 0, 4},
};

uint32_t ZLoader_Dither(uint32_t colour, uint8_t format, uint32_t x, uint32_t y) {
  const uint32_t d = x + y;
  uint32_t c[3] = {colour & 0xFF, colour >> 8 & 0xFF, colour >> 16 & 0xFF};
  for (int i = 0; i < 3; ++i) {
    if (format == ZFMT_RGB444) {
      if (c[i] < 0xF0) c[i] = (c[i] & 0xF0) + uint32_t(zdithertable16[d & 15][c[i] & 15]);
    } else if (format == ZFMT_RGB565 && i == 1) {
      if (c[i] < 0xFC) c[i] = (c[i] & 0xFC) + uint32_t(zdithertable4[d & 3][c[i] & 3]);
    } else if (format == ZFMT_RGB555 || format == ZFMT_RGB565) {
      if (c[i] < 0xF8) c[i] = (c[i] & 0xF8) + uint32_t(zdithertable8[d & 7][c[i] & 7]);
    }
  }
  return (colour & 0xFF000000u) | c[2] << 16 | c[1] << 8 | c[0];
}

int ClassZLoaderBase::Start(Z2DSurfaceBase*, const void*, uint32_t, uint8_t, uint32_t) {
  return Z2D_NOTHANDLED;
}

int ClassZLoaderBase::Start(Z3DSurface*, const void*, uint32_t) { return Z2D_NOTHANDLED; }

void ClassZLoaderBase::LinkData(const void* data, uint32_t size) {
  data_ = static_cast<const uint8_t*>(data);
  size_ = data ? size : 0;
  position_ = 0;
}

bool ClassZLoaderBase::Fetch(uint32_t n, uint32_t* out) {
  // Compared as "remaining < n", never "size - position < n" alone: a position past the
  // end must not wrap into a huge remainder.
  if (Remaining() < n) return false;
  const uint8_t* p = data_ + position_;
  uint32_t v = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t b = msbfirst_ ? p[i] : p[n - 1 - i];
    v = v << 8 | b;
  }
  *out = v;
  position_ += n;
  return true;
}

int ClassZLoaderBase::Read8(uint8_t* out) {
  uint32_t v;
  if (!Fetch(1, &v)) return 0;
  *out = uint8_t(v);
  return 1;
}

int ClassZLoaderBase::Read16(uint16_t* out) {
  uint32_t v;
  if (!Fetch(2, &v)) return 0;
  *out = uint16_t(v);
  return 1;
}

int ClassZLoaderBase::Read32(uint32_t* out) {
  uint32_t v;
  if (!Fetch(4, &v)) return 0;
  *out = v;
  return 1;
}

int ClassZLoaderBase::ReadStream(void* dst, uint32_t n) {
  const uint32_t left = Remaining();
  if (left == 0) return 0;
  const uint32_t k = n < left ? n : left;
  if (k) std::memcpy(dst, data_ + position_, k);
  position_ += k;
  return 1;
}

int ZLoader_Dispatch(ClassZDisplayBase* display, Z2DSurfaceBase* surface, const void* data,
                     uint32_t size, uint8_t format, uint32_t flags) {
  if (!display) return Z2D_NOTHANDLED;
  for (ClassZLoaderBase* loader : display->loaders) {
    if (!loader) continue;
    const int r = loader->Start(surface, data, size, format, flags);
    if (r != Z2D_NOTHANDLED) return r;
  }
  return Z2D_NOTHANDLED;
}

int ZLoader_Dispatch(ClassZDisplayBase* display, Z3DSurface* mesh, const void* data,
                     uint32_t size) {
  if (!display) return Z2D_NOTHANDLED;
  for (ClassZLoaderBase* loader : display->loaders) {
    if (!loader) continue;
    const int r = loader->Start(mesh, data, size);
    if (r != Z2D_NOTHANDLED) return r;
  }
  return Z2D_NOTHANDLED;
}

int ZLoader_StorePalette(ZLDR_2DCALLBACKINFO* info, uint32_t* palette) {
  const uint32_t p = info->palettepos;
  if (p > 255) return Z2D_NOTHING;
  uint32_t n = info->size / 4;
  if (n > 256 - p) n = 256 - p;
  if (n && info->data) std::memcpy(palette + p, info->data, n * 4);
  info->palettepos = p + n;
  return Z2D_OK;
}

void ZLoader_FollowFolder(ZCD* zcd, ClassZFile& file) {
  if (zcd && zcd->file) file.SetCurrentFolder(zcd->file->GetCurrentFolder());
}

int ZLoader_ReadFile(ZCD* zcd, const uint16_t* filename, uint8_t*& block, uint32_t& size) {
  block = nullptr;
  size = 0;
  if (!zcd || !zcd->memory || !filename) return Z2D_FAILED;
  ClassZFile file;
  ZLoader_FollowFolder(zcd, file);
  if (!file.Open(filename, ZFILE_MODE_READ)) return Z2D_FAILED;
  const uint32_t n = file.Size();
  if (n == 0) {
    file.Close();
    return Z2D_FAILED;
  }
  uint8_t* p = static_cast<uint8_t*>(zcd->memory->AllocList(n));
  if (!p) {
    file.Close();
    return Z2D_NOMEMORY;
  }
  const int ok = file.Read(p, n);
  file.Close();
  if (!ok) {
    zcd->memory->DeAllocList(p);
    return Z2D_FAILED;
  }
  block = p;
  size = n;
  return Z2D_OK;
}
