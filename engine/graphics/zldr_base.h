// The image and mesh loader base: a bounded cursor over the caller's bytes and the two
// Start entries the display's loader slots are asked through. The display owns registered
// loaders and deletes them through this class.
#pragma once

#include <cstdint>

class Z2DSurfaceBase;
class Z3DSurface;

// Words of a fixed byte order at p, for loaders that read their bytes in place.
inline uint16_t ZLoader_Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t ZLoader_Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint32_t ZLoader_Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Cursor and loader entries. Reads never go past the block: a read that does not fit
// fails without moving.
class ClassZLoaderBase {
 public:
  ClassZLoaderBase() = default;
  virtual ~ClassZLoaderBase() = default;
  ClassZLoaderBase(const ClassZLoaderBase&) = delete;
  ClassZLoaderBase& operator=(const ClassZLoaderBase&) = delete;

  // 2D image into a surface: 3 when the data are not this loader's format (the base
  // takes no format).
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
