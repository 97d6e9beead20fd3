// Image loading into Z2DSurface (the loader callbacks) and the BMP writer.
#include "engine/graphics/zsurf_2d.h"

#include <algorithm>
#include <cstring>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_std.h"
#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zx_pixel.h"

int Z2DSurface::LoadImage(const void* data, uint32_t size, uint8_t format, uint32_t flags) {
  if ((flags & 0xF) > 3) return Z2D_BADARG;
  if (!zcd) return Z2D_BADARG;
  return ZLoader_Dispatch(zcd->display, this, data, size, format, flags);
}

int Z2DSurface::LoadImage(const uint16_t* filename, uint8_t format, uint32_t flags) {
  if (!zcd) return Z2D_BADARG;
  return ZLoader_LoadFile(zcd, filename, [&](const uint8_t* block, uint32_t size) {
    return LoadImage(block, size, format, flags);
  });
}

int Z2DSurface::LdrOnCreate(ZLDR_2DCALLBACKINFO* info) {
  if (!info) return Z2D_BADARG;
  const int r = Create(info->width, info->height, info->format, info->flags);
  if (r) return r;
  // A creation kind of 0 with a configuration default of 0 creates nothing.
  if (!Created()) return Z2D_FAILED;
  SetColorKey(0);
  loadpaletteready_ = false;
  return Z2D_OK;
}

int Z2DSurface::LdrOnPaletteStream(ZLDR_2DCALLBACKINFO* info) {
  if (!info) return Z2D_BADARG;
  const int r = ZLoader_StorePalette(info, palette);
  if (r) return r;
  loadpaletteready_ = false;
  if (palettelookup) {
    if (zcd && zcd->memory) zcd->memory->DeAllocList(palettelookup);
    palettelookup = nullptr;
  }
  return Z2D_OK;
}

namespace {

// Stored value of one loaded colour word on a surface of more than 8 bits: 0 for a
// transparent pixel, the replacement for an opaque pixel that would pack to 0.
inline uint32_t PackOpaque(uint8_t format, uint32_t w, uint32_t replacement) {
  if (w < 0xFF000000u) return 0;
  const uint32_t p = ZSurf_Pack(format, w & 0xFFFFFF);
  return p ? p : replacement;
}

// One 8-bit channel in the field of mask M: its top bits, as packing a colour word keeps.
template <uint32_t M>
constexpr uint32_t FieldOf(uint32_t c) {
  return c >> (8 - __builtin_popcount(M)) << __builtin_ctz(M);
}

// m pixels of 8-bit samples, N bytes each, packed straight into format F with the rules of
// PackOpaque.
template <int F, int N>
void StoreSamples(uint8_t* out, const uint8_t* p, uint32_t m, uint32_t replacement) {
  using L = ZxFmt<F>;
  for (uint32_t k = 0; k < m; ++k, out += L::Bytes, p += N) {
    const uint32_t g = p[N == 1 ? 0 : 1];
    uint32_t v = FieldOf<L::RM>(p[0]) | FieldOf<L::GM>(g) | FieldOf<L::BM>(p[N == 1 ? 0 : 2]);
    if (v == 0) v = replacement;
    if (N == 4 && p[N - 1] != 255) v = 0;
    ZxStore<L::Bytes>(out, v);
  }
}

// Colour words, samples or palette indices (through the packed palette) of one run stored
// row by row at unrotated positions: one tight loop per format and layout, bounded by the
// buffer.
template <int F>
void StoreRowsT(Z2DSurface* s, const ZLDR_2DCALLBACKINFO* info, uint32_t count,
                uint32_t replacement, const uint32_t* packed) {
  constexpr int Bytes = ZxFmt<F>::Bytes;
  const uint32_t width = info->width;
  const uint8_t* data = static_cast<const uint8_t*>(info->data);
  uint32_t x = info->pixelpos % width, y = info->pixelpos / width;
  for (uint32_t i = 0; i < count;) {
    const uint32_t n = std::min(count - i, width - x);
    if (y < uint32_t(s->rows) && x < uint32_t(s->rowlength)) {
      const uint32_t m = std::min(n, uint32_t(s->rowlength) - x);
      uint8_t* out = s->buffer + (size_t(y) * size_t(s->stride) + x) * Bytes;
      if (info->indexed) {
        const uint8_t* idx = data + i;
        for (uint32_t k = 0; k < m; ++k, out += Bytes) ZxStore<Bytes>(out, packed[idx[k]]);
      } else if (info->samples == LDR_SAMPLES_RGB) {
        StoreSamples<F, 3>(out, data + 3 * size_t(i), m, replacement);
      } else if (info->samples == LDR_SAMPLES_RGBA) {
        StoreSamples<F, 4>(out, data + 4 * size_t(i), m, replacement);
      } else if (info->samples == LDR_SAMPLES_GREY) {
        StoreSamples<F, 1>(out, data + i, m, replacement);
      } else {
        const uint8_t* w = data + 4 * size_t(i);
        for (uint32_t k = 0; k < m; ++k, out += Bytes, w += 4)
          ZxStore<Bytes>(out, PackOpaque(F, ZSurf_Load32(w), replacement));
      }
    }
    i += n;
    x = 0;
    ++y;
  }
}

void StoreRows(Z2DSurface* s, const ZLDR_2DCALLBACKINFO* info, uint32_t count,
               uint32_t replacement, const uint32_t* packed) {
  switch (s->format) {
    case ZFMT_RGB444: return StoreRowsT<ZFMT_RGB444>(s, info, count, replacement, packed);
    case ZFMT_RGB555: return StoreRowsT<ZFMT_RGB555>(s, info, count, replacement, packed);
    case ZFMT_RGB565: return StoreRowsT<ZFMT_RGB565>(s, info, count, replacement, packed);
    case ZFMT_RGB888: return StoreRowsT<ZFMT_RGB888>(s, info, count, replacement, packed);
    default: return StoreRowsT<ZFMT_XRGB8888>(s, info, count, replacement, packed);
  }
}

}  // namespace

int Z2DSurface::LdrOnPixelStream(ZLDR_2DCALLBACKINFO* info) {
  if (!info) return Z2D_BADARG;
  if (!Created() || !buffer) return Z2D_FAILED;
  ClassZDisplay* display = zcd ? zcd->display : nullptr;
  const bool remap = format == ZFMT_INDEX8 && (info->flags & LDR_REMAP_PALETTE);
  const uint8_t* lookup = nullptr;
  if (remap && info->indexed) {
    if (!palettelookup) {
      if (!display || !zcd->memory) return Z2D_FAILED;
      uint8_t* table = static_cast<uint8_t*>(zcd->memory->AllocList(256));
      if (!table) return Z2D_NOMEMORY;
      display->BuildPaletteLookupIndex(table, palette);
      palettelookup = table;
    }
    lookup = palettelookup;
  } else if (remap) {
    if (!display || !display->BuildPaletteLookup() || !display->palettelookup) return Z2D_FAILED;
    lookup = display->palettelookup;
  }
  const uint32_t replacement = ZSurf_Pack(
      format, format == ZFMT_RGB444 ? 0x101010u
              : (format == ZFMT_RGB555 || format == ZFMT_RGB565) ? 0x080808u : 0x010101u);
  const bool dither = (info->flags & LDR_DITHER) && bits == 16;

  const uint32_t width = info->width;
  const uint32_t pixelbytes = info->indexed ? 1 : info->samples ? info->samples : 4;
  const uint32_t count = info->size / pixelbytes;
  const uint8_t* indices = static_cast<const uint8_t*>(info->data);
  const uint8_t* words = static_cast<const uint8_t*>(info->data);
  if (!width || !info->data) {
    info->pixelpos += count;
    return Z2D_OK;
  }
  const bool plain = !display || (!display->axisexchange && display->xstep > 0 && display->ystep > 0);
  if (plain && !dither && format != ZFMT_INDEX8) {
    if (info->indexed && !loadpaletteready_) {
      for (uint32_t i = 0; i < 256; ++i) loadpalette_[i] = PackOpaque(format, palette[i], replacement);
      loadpaletteready_ = true;
    }
    StoreRows(this, info, count, replacement, loadpalette_);
    info->pixelpos += count;
    return Z2D_OK;
  }
  const uint32_t bytes = bits / 8;
  uint32_t x = info->pixelpos % width, y = info->pixelpos / width;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t v;
    if (format == ZFMT_INDEX8) {
      if (info->indexed) {
        uint32_t k = indices[i];
        if ((palette[k] >> 24) < 255) k = 0;
        v = lookup ? lookup[k] : k;
      } else {
        uint32_t w;
        if (info->samples) w = ZLoader_SampleWord(info->samples, words + size_t(pixelbytes) * i);
        else w = ZSurf_Load32(words + 4 * size_t(i));
        if (w < 0xFF000000u) v = 0;
        else if (lookup) v = lookup[(w >> 19 & 0x1F) << 10 | (w >> 11 & 0x1F) << 5 | (w >> 3 & 0x1F)];
        else v = w & 0xFF;  // the red channel stands as the index
      }
    } else {
      uint32_t w;
      if (info->indexed)
        w = palette[indices[i]];
      else if (info->samples)
        w = ZLoader_SampleWord(info->samples, words + size_t(pixelbytes) * i);
      else w = ZSurf_Load32(words + 4 * size_t(i));
      if (dither) w = ZLoader_Dither(w, format, x, y);
      v = PackOpaque(format, w, replacement);
    }
    int64_t bx = x, by = y;
    if (!plain) display->VirtualPos(bx, by, uint32_t(rowlength), uint32_t(rows));
    if (bx >= 0 && by >= 0 && bx < rowlength && by < rows)
      ZSurf_StorePixel(buffer + (size_t(by) * size_t(stride) + size_t(bx)) * bytes, bits, v);
    if (++x == width) {
      x = 0;
      ++y;
    }
  }
  info->pixelpos += count;
  return Z2D_OK;
}

int Z2DSurface::WriteBmp(const uint16_t* filename, const tagRECT* rect) {
  if (!filename) return Z2D_BADARG;
  if (!Created() || !buffer) return Z2D_FAILED;
  tagRECT r = rect ? *rect : tagRECT{0, 0, int32_t(GetWidth()), int32_t(GetHeight())};
  if (r.right <= r.left || r.bottom <= r.top) return Z2D_BADARG;
  const uint32_t width = uint32_t(int64_t(r.right) - r.left);
  const uint32_t height = uint32_t(int64_t(r.bottom) - r.top);
  ClassZFile file;
  ZLoader_FollowFolder(zcd, file);
  ZLoader_BMP writer;
  if (!file.New(filename)) return Z2D_FAILED;
  int result = writer.WriteHeader(&file, width, height) ? Z2D_OK : Z2D_FAILED;
  if (result == Z2D_OK) result = writer.WritePixelData(&file, this, &r);
  file.Close();
  // Never leave a file that claims to be an image but is not one.
  if (result != Z2D_OK) file.Delete(filename);
  return result;
}

int Z2DSurface::WriteBmp(const char* filename, const tagRECT* rect) {
  if (!filename) return Z2D_BADARG;
  const uint32_t n = ClassZStd::StrLen(filename, ZSTD_MAXLEN + 1);
  // A longer name would have to be cut, and the cut name would be another file.
  if (n > ZSTD_MAXLEN) return Z2D_BADARG;
  uint16_t* wide = static_cast<uint16_t*>(ClassZMemory::Alloc((n + 1) * 2));
  if (!wide) return Z2D_NOMEMORY;
  for (uint32_t i = 0; i < n; ++i) wide[i] = static_cast<unsigned char>(filename[i]);
  wide[n] = 0;
  const int r = WriteBmp(wide, rect);
  ClassZMemory::DeAlloc(wide);
  return r;
}
