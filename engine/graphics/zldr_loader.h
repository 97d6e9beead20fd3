// The loader interface: a bounded cursor over the caller's bytes, the two Start entries the
// display's loader slots are asked through, the record a 2D loader hands to the surface
// callbacks, the load flags, the ordered-dither tables, and the dispatch over the slots.
//
// Protocol of a 2D load: the loader recognises its format (else it answers 3 and touches
// nothing), checks the headers, then calls LdrOnCreate once, LdrOnPaletteStream zero or
// more times and LdrOnPixelStream once per image row. A non-zero callback result ends the
// load with that result. A loader never reports success for an image it did not deliver
// whole.
#pragma once

#include <cstdint>

#include "engine/graphics/zldr_base.h"

class Z2DSurfaceBase;
class Z3DSurface;
class ClassZDisplayBase;
struct ZCD;

// Load flags (LoadImage's flags; the low nibble is the surface's creation kind, bits 8-15
// a format override at creation).
enum : uint32_t {
  LDR_DITHER = 0x10,         // ordered dithering into 16-bit formats
  LDR_PREMULTIPLIED = 0x20,  // premultiplied storage on RGBA surfaces
  LDR_REMAP_PALETTE = 0x40,  // 8-bit targets: nearest entries of the display palette
};

// What a 2D loader passes to every surface callback.
struct ZLDR_2DCALLBACKINFO {
  uint32_t width;
  uint32_t height;
  uint8_t indexed;      // 1: data are u8 palette indices; 0: u32 words 0xAABBGGRR
  const void* data;     // palette words or pixels of this call
  uint32_t size;        // bytes at data
  uint8_t format;       // target format asked for by the caller
  uint32_t flags;       // load flags asked for by the caller
  uint32_t palettepos;  // next palette entry to fill
  uint32_t pixelpos;    // next pixel: x = pos % width, y = pos / width (image coordinates)
};

// Ordered dither steps, row (x + y) & (n - 1), column the bits the target drops from an
// 8-bit channel: 4-bit channels, 5-bit channels, the 6-bit green of 5:6:5.
extern const int zdithertable16[16][16];
extern const int zdithertable8[8][8];
extern const int zdithertable4[4][4];

// The three channels of a colour word dithered for a 16-bit target format (2, 3 or 4) at
// image position (x, y); other formats and the alpha byte are left as they are.
uint32_t ZLoader_Dither(uint32_t colour, uint8_t format, uint32_t x, uint32_t y);

// Cursor and loader entries. Reads never go past the block: a read that does not fit
// fails without moving.
class ClassZLoader : public ClassZLoaderBase {
 public:
  ClassZLoader() = default;
  ~ClassZLoader() override = default;

  // 2D image into a surface: 3 when the data are not this loader's format.
  virtual int Start(Z2DSurfaceBase* surface, const void* data, uint32_t size, uint8_t format,
                    uint32_t flags);
  // Mesh: 3 when the data are not this loader's format.
  virtual int Start(Z3DSurface* mesh, const void* data, uint32_t size);

  void LinkData(const void* data, uint32_t size);
  // true: most significant byte first.
  void SetByteOrder(bool msbfirst) { msbfirst_ = msbfirst; }
  // 1, or 0 with the output and the position unchanged when too few bytes remain.
  int Read8(uint8_t* out);
  int Read16(uint16_t* out);
  int Read32(uint32_t* out);
  // 0 at or past the end; else copies min(n, remaining) bytes, advances, 1.
  int ReadStream(void* dst, uint32_t n);
  void SeekSet(uint32_t position) { position_ = position; }
  void SeekRelative(int32_t delta) { position_ = uint32_t(int64_t(position_) + delta); }
  uint32_t Tell() const { return position_; }
  int HaveData() const { return position_ < size_ ? 1 : 0; }
  uint32_t Size() const { return size_; }
  // Bytes left from the position (0 when past the end).
  uint32_t Remaining() const { return position_ < size_ ? size_ - position_ : 0; }

 protected:
  // n bytes at the position in the selected order; false when they are not all there.
  bool Fetch(uint32_t n, uint32_t* out);

  const uint8_t* data_ = nullptr;
  uint32_t position_ = 0;
  uint32_t size_ = 0;
  bool msbfirst_ = false;
};

// Offers data to the display's loader slots 0-15 in order; the first result other than 3
// is returned; 3 when no loader takes it (or there is no display).
int ZLoader_Dispatch(ClassZDisplayBase* display, Z2DSurfaceBase* surface, const void* data,
                     uint32_t size, uint8_t format, uint32_t flags);
int ZLoader_Dispatch(ClassZDisplayBase* display, Z3DSurface* mesh, const void* data,
                     uint32_t size);

class ClassZFile;
// Points a file object of the caller's at the shared file object's current folder, so
// relative names resolve as everywhere else while a file or pack that the shared object
// holds stays open.
void ZLoader_FollowFolder(ZCD* zcd, ClassZFile& file);

// Reads a whole file into a block from the memory service's list (free with DeAllocList):
// 0; 1 when the file is missing, empty or unreadable; 2 without memory.
int ZLoader_ReadFile(ZCD* zcd, const uint16_t* filename, uint8_t*& block, uint32_t& size);
