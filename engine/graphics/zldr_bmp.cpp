// BMP reader and writer. The reader checks that the header and every row lie inside the
// data before it creates the surface, so a cut file never yields a half image reported as
// loaded; the writer goes row by row and never holds the whole image.
#include "engine/graphics/zldr_bmp.h"

#include <cstring>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_memory.h"
#include "engine/graphics/zsurf_2d.h"

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

}  // namespace

int ZLoader_BMP::Start(Z2DSurfaceBase* surface, const void* data, uint32_t size,
                       uint8_t format, uint32_t flags) {
  LinkData(data, size);
  SetByteOrder(false);
  uint16_t magic = 0;
  if (!Read16(&magic) || magic != 0x4D42) return Z2D_NOTHANDLED;
  if (!surface) return Z2D_BADARG;
  if (Size() < 14 + 40) return Z2D_FAILED;
  uint32_t filesize, reserved, dataoffset, headersize, width, height, compression;
  uint16_t planes, bitcount;
  Read32(&filesize);
  Read32(&reserved);
  Read32(&dataoffset);
  Read32(&headersize);
  Read32(&width);
  Read32(&height);
  Read16(&planes);
  Read16(&bitcount);
  Read32(&compression);
  // Older and smaller headers lay out their fields differently.
  if (headersize < 40) return Z2D_NOTHANDLED;
  if (compression != 0 || planes != 1) return Z2D_NOTHANDLED;
  if (bitcount != 1 && bitcount != 4 && bitcount != 8 && bitcount != 24) return Z2D_NOTHANDLED;
  // Rows stored top-down: not supported (read as unsigned they would be 4 billion rows).
  if (int32_t(height) < 0) return Z2D_NOTHANDLED;
  // No rows is no image either: and a row buffer as wide as the header says is never made
  // for one.
  if (int32_t(width) <= 0 || height == 0) return Z2D_FAILED;

  const uint64_t stride = (uint64_t(bitcount) * width + 31) / 32 * 4;
  const uint32_t entries = bitcount == 24 ? 0 : 1u << bitcount;
  const uint64_t paletteat = 14 + uint64_t(headersize);
  if (paletteat > size) return Z2D_FAILED;  // the header itself runs past the data
  // Entries read from the data; a small image saved with only the colours it uses ends
  // before the full palette would, and its missing entries (which no pixel names) come
  // out opaque black.
  const uint64_t inside = (size - paletteat) / 4;
  const uint32_t present = inside < entries ? uint32_t(inside) : entries;
  if (uint64_t(dataoffset) + stride * height > size) return Z2D_FAILED;
  if (ZLoader_TooLarge(width, height)) return Z2D_NOMEMORY;

  const uint32_t pixelbytes = bitcount == 24 ? 4 : 1;
  uint8_t* pixels = static_cast<uint8_t*>(ClassZMemory::Alloc(width * pixelbytes));
  if (!pixels) return Z2D_NOMEMORY;

  ZLDR_2DCALLBACKINFO info;
  std::memset(&info, 0, sizeof(info));
  info.width = width;
  info.height = height;
  info.indexed = bitcount < 24;
  info.format = format;
  info.flags = flags;
  int r = surface->LdrOnCreate(&info);
  if (r == Z2D_OK && entries) {
    uint32_t pal[256];
    for (uint32_t i = 0; i < entries; ++i) {
      pal[i] = 0xFF000000u;
      if (i >= present) continue;
      const uint8_t* q = data_ + paletteat + 4 * i;
      pal[i] |= uint32_t(q[0]) << 16 | uint32_t(q[1]) << 8 | q[2];
    }
    info.palettepos = 0;
    info.data = pal;
    info.size = entries * 4;
    r = surface->LdrOnPaletteStream(&info);
  }
  for (uint32_t i = 0; i < height && r == Z2D_OK; ++i) {
    const uint8_t* row = data_ + dataoffset + i * stride;
    if (bitcount == 24) {
      uint32_t* out = reinterpret_cast<uint32_t*>(pixels);
      for (uint32_t x = 0; x < width; ++x, row += 3)
        out[x] = 0xFF000000u | uint32_t(row[0]) << 16 | uint32_t(row[1]) << 8 | row[2];
    } else if (bitcount == 8) {
      std::memcpy(pixels, row, width);
    } else {
      const uint32_t perbyte = 8 / bitcount, mask = (1u << bitcount) - 1;
      for (uint32_t x = 0; x < width; ++x)
        pixels[x] = uint8_t(row[x / perbyte] >> (8 - bitcount * (x % perbyte + 1)) & mask);
    }
    info.data = pixels;
    info.size = width * pixelbytes;
    info.pixelpos = width * (height - 1 - i);
    r = surface->LdrOnPixelStream(&info);
  }
  ClassZMemory::DeAlloc(pixels);
  return r;
}

int ZLoader_BMP::WriteHeader(ClassZFile* file, uint32_t width, uint32_t height) {
  const uint64_t stride = (3 * uint64_t(width) + 3) / 4 * 4;
  const uint64_t image = stride * height;
  if (image + HEADER_SIZE > 0xFFFFFFFFu) return 0;
  std::memset(header, 0, sizeof(header));
  header[0] = 'B';
  header[1] = 'M';
  Put32(header + 2, uint32_t(HEADER_SIZE + image));
  Put32(header + 10, HEADER_SIZE);
  Put32(header + 14, 40);
  Put32(header + 18, width);
  Put32(header + 22, height);
  Put16(header + 26, 1);
  Put16(header + 28, 24);
  Put32(header + 34, uint32_t(image));
  Put32(header + 38, 2834);
  Put32(header + 42, 2834);
  return file && file->Write(header, HEADER_SIZE) ? 1 : 0;
}

int ZLoader_BMP::WritePixelData(ClassZFile* file, const Z2DSurface* surface,
                                const tagRECT* rect) {
  const uint32_t width = ZLoader_Le32(header + 18), height = ZLoader_Le32(header + 22);
  const uint32_t stride = (3 * width + 3) / 4 * 4;  // WriteHeader kept the file under 4 GB
  if (!file || !surface || !rect) return Z2D_FAILED;
  if (height == 0 || stride == 0) return Z2D_OK;
  uint8_t* row = static_cast<uint8_t*>(ClassZMemory::Alloc(stride));
  if (!row) return Z2D_NOMEMORY;
  std::memset(row, 0, stride);  // the padding stays 0
  int r = Z2D_OK;
  for (uint32_t i = 0; i < height && r == Z2D_OK; ++i) {
    const int64_t y = int64_t(rect->bottom) - 1 - i;
    uint8_t* p = row;
    for (uint32_t j = 0; j < width; ++j, p += 3) {
      const int64_t x = int64_t(rect->left) + j;
      const bool inside = x >= INT32_MIN && x <= INT32_MAX && y >= INT32_MIN && y <= INT32_MAX;
      const uint32_t c = inside ? surface->GetPixel(int32_t(x), int32_t(y)) : 0;
      p[0] = uint8_t(c >> 16);
      p[1] = uint8_t(c >> 8);
      p[2] = uint8_t(c);
    }
    if (!file->Write(row, stride)) r = Z2D_FAILED;
  }
  ClassZMemory::DeAlloc(row);
  return r;
}
