// BMP reader and writer.
//
// Reads "BM" files with an information header of 40 bytes or more (the palette follows the
// header), uncompressed, bottom-up, at 1, 4, 8 or 24 bits per pixel. Results: 3 not "BM",
// a header under 40 bytes, compression, planes not 1, another bit count, or a top-down
// (negative height) file; 1 a width of 0 or below, or data that do not hold every row;
// 2 no memory; else the first non-zero callback result. Palette entries past the end of
// the data (small files saved with only the colours they use) are opaque black.
//
// Writes 24-bit files with rows padded to 4 bytes.
#pragma once

#include <cstdint>

#include "engine/graphics/zldr_loader.h"
#include "engine/core/zolt_records.h"

class ClassZFile;
class Z2DSurface;

class ZLoader_BMP : public ClassZLoaderBase {
 public:
  enum : uint32_t { HEADER_SIZE = 54 };

  using ClassZLoaderBase::Start;
  int Start(Z2DSurfaceBase* surface, const void* data, uint32_t size, uint8_t format,
            uint32_t flags) override;

  // The 54-byte header of a 24-bit width x height image, kept in header: 1, or 0 when the
  // image cannot be described (a file over 4 GB) or the write fails.
  int WriteHeader(ClassZFile* file, uint32_t width, uint32_t height);
  // The rows of rect (logical, not clipped; pixels outside the surface are black) bottom
  // row first, from the sizes of the kept header: 0, 1 write failed, 2 no memory.
  int WritePixelData(ClassZFile* file, const Z2DSurface* surface, const tagRECT* rect);

  uint8_t header[HEADER_SIZE] = {};
};
