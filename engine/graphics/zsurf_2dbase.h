// The base of every 2D surface: geometry and its mapping through the display, the clip
// rectangle and the loader callbacks, plus the records the surfaces share (information
// record, transformed-blit record).
#pragma once

#include <cstdint>

#include "engine/core/zolt_records.h"
#include "engine/graphics/zsurf_format.h"

struct ZLDR_2DCALLBACKINFO;
class ClassZDisplay;

// Filled by GetInfo and Lock. Steps are signed byte distances between logical
// neighbours; origin is the byte offset of logical pixel (0, 0).
struct Z2DSURFACEINFO {
  int32_t xstep;
  int32_t ystep;
  int32_t pitch;  // bytes of one buffer row
  int32_t origin;
  uint32_t width, height;    // logical
  uint32_t rowlength, rows;  // buffer
  uint8_t bits;
  uint8_t format;
};

// Argument of the transformed blit: flags and property as for every blit, scale in 16.16
// (0x10000 = 1.0), rotation in 4096 steps a turn, flip bit 0 horizontal, bit 1 vertical.
struct Z2DBLTFX {
  int32_t flags;
  uint32_t property;
  int32_t scalex;
  int32_t scaley;
  uint32_t rotation;
  uint8_t flip;
};

// Largest row length or row count: the span tables hold 16-bit bounds.
enum : uint32_t { Z2D_MAXSIZE = 32767 };

class Z2DSurfaceBase {
 public:
  Z2DSurfaceBase() = default;
  virtual ~Z2DSurfaceBase() = default;
  Z2DSurfaceBase(const Z2DSurfaceBase&) = delete;
  Z2DSurfaceBase& operator=(const Z2DSurfaceBase&) = delete;

  // Loader callbacks; a surface that does not serve a loader answers 3.
  virtual int LdrOnCreate(ZLDR_2DCALLBACKINFO*) { return Z2D_NOTHANDLED; }
  virtual int LdrOnPaletteStream(ZLDR_2DCALLBACKINFO*) { return Z2D_NOTHANDLED; }
  virtual int LdrOnPixelStream(ZLDR_2DCALLBACKINFO*) { return Z2D_NOTHANDLED; }
  // True when LdrOnPixelStream also takes rows of 8-bit samples (info->samples).
  virtual bool LdrTakesSamples() const { return false; }

  bool Created() const { return (state & 0xF) != 0; }
  // Logical size: the buffer's sides, exchanged with the display's axes; 0 when not created.
  uint32_t GetWidth() const;
  uint32_t GetHeight() const;
  // The clip rectangle in logical coordinates.
  void GetClipper(tagRECT* rect) const;

  ZCD* zcd = nullptr;
  tagRECT clip{0, 0, 0, 0};          // buffer coordinates
  uint32_t* masktable = nullptr;     // collision mask table
  int32_t stride = 0;                // pixels per buffer row, a multiple of 4
  int32_t rows = 0;                  // buffer rows
  int32_t rowlength = 0;             // pixels in use per buffer row
  uint32_t createflags = 0;          // as last accepted by Create
  uint8_t format = 0;                // 1-6
  uint8_t bits = 0;                  // 8, 16, 24 or 32
  uint8_t state = 0;                 // low nibble: 0 not created, 1 own pixel buffer

 protected:
  const ClassZDisplay* Display() const;
  // Logical position to buffer position.
  void MapPos(int64_t& x, int64_t& y) const;
  // The information record of this buffer, for pixels of the given depth and format: 1,
  // or 0 for a null record.
  int FillInfo(Z2DSURFACEINFO* info, uint8_t pixelbits, uint8_t pixelformat) const;
};
