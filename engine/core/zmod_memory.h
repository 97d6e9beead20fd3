// The engine's memory service: allocation, copies and fills, a tracked allocation list,
// the engine's own LZW-style codec and one-shot zlib wrappers.
//
// Codec stream (little-endian): bytes 0-7 reserved (zero), 8-11 the total stream length,
// 12-15 the unpacked length, then codes packed most significant bit first. Codes below 256
// are literal bytes, 256 + i names dictionary entry i; codes start 9 bits wide and widen
// to 12, and the dictionary clears after 3745 entries.
#pragma once

#include <cstdint>

// The largest decoded image or pack entry the engine allocates: the console's whole memory.
// A file that asks for more is refused with the out-of-memory result before anything is
// allocated (a small hostile file can claim hundreds of megabytes).
constexpr uint32_t ZMEMORY_LARGEST_BLOCK = 64u << 20;

class ClassZMemory {
 public:
  enum : uint32_t {
    CODEC_HEADER = 16,       // bytes before the first code
    CODEC_ENTRIES = 4096,    // dictionary array slots
    CODEC_MAXPHRASE = 192,   // longest phrase recorded; 191 is the longest looked up
  };

  ClassZMemory() = default;
  ~ClassZMemory();
  ClassZMemory(const ClassZMemory&) = delete;
  ClassZMemory& operator=(const ClassZMemory&) = delete;

  // --- plain helpers -------------------------------------------------------------------
  // A new block of bytes; null for 0 bytes or when memory runs out. Free with DeAlloc.
  static void* Alloc(uint32_t bytes);
  // Frees a block from Alloc; null is ignored.
  static void DeAlloc(void* block);
  // Copies bytes from src to dst; overlapping ranges are always handled (the flag is kept
  // for callers). Nothing happens for bytes <= 0 or equal pointers.
  static void Copy(void* dst, const void* src, int bytes, bool overlap);
  // Fills bytes with value; nothing for bytes <= 0.
  static void Set(void* dst, uint8_t value, int bytes);
  // Writes count 16-, 24- (low, middle, high byte) or 32-bit values.
  static void Set16(void* dst, uint16_t value, uint32_t count);
  static void Set24(void* dst, uint32_t value, uint32_t count);
  static void Set32(void* dst, uint32_t value, uint32_t count);
  // 0 when equal (or bytes <= 0); else a's first differing byte minus b's, as unsigned.
  static int Compare(const void* a, const void* b, int bytes);

  // --- tracked allocation list ---------------------------------------------------------
  // A block recorded in the lowest free slot (the list grows by 256 slots); null for 0
  // bytes or when memory runs out.
  void* AllocList(uint32_t bytes);
  // Releases a block from this object's AllocList; null and pointers the list does not
  // hold are ignored.
  void DeAllocList(void* block);
  // Bytes held by the list: capacity * 8 + the sum of (request + 4); 0 with no list.
  uint32_t InUse() const;

  // --- LZW-style codec -----------------------------------------------------------------
  // length: in, the room at dst; out, the stream length. 1 on success; 0 for empty input,
  // no memory, a stream that would not be shorter than the input (inputs of 2 bytes or
  // more) or one that does not fit the room. A 1-byte input makes an 18-byte stream.
  int Compress(void* dst, uint32_t& length, const void* src, uint32_t srclength);
  // length: in, the room at dst; out, the unpacked length. 1 only when the stream is
  // whole, its unpacked length fits the room and exactly that many bytes decode; never
  // writes past the room.
  int UnCompress(void* dst, uint32_t& length, const void* src, uint32_t srclength);

  // Dictionary steps of the codec, usable only while a codec call holds the dictionary.
  // FindString: 0 for length 0, byte + 1 for length 1, 257 + i for the first entry i that
  // matches phrase (entries read from base), 0 when none.
  uint32_t FindString(const uint8_t* base, const uint8_t* phrase, uint32_t length) const;
  // Copies the phrase of code into dst. length: in, the room at dst; out, the phrase
  // length (0 for an undefined code or one that does not fit).
  void GetString(const uint8_t* base, uint8_t* dst, uint32_t& length, uint32_t code) const;
  // Adds an entry ending at position (offset position - length + 1) while there is room.
  void AddCmpString(const uint8_t* base, uint32_t position, uint32_t length);
  void AddUCmpString(const uint8_t* base, uint32_t position, uint32_t length);

  // --- zlib ----------------------------------------------------------------------------
  // One-shot deflate at the default level / inflate. length: in, the room at dst; out,
  // the bytes produced. 1 only for a complete stream, else 0.
  static int CompressZLib(void* dst, uint32_t& length, const void* src, uint32_t srclength);
  static int UnCompressZLib(void* dst, uint32_t& length, const void* src, uint32_t srclength);

 private:
  bool OpenDictionary();
  void CloseDictionary();
  void AddEntry(uint32_t offset, uint32_t length);

  void** listblocks_ = nullptr;
  uint32_t* listsizes_ = nullptr;
  uint32_t* dictoffsets_ = nullptr;
  uint8_t* dictlengths_ = nullptr;
  uint32_t listcapacity_ = 0;
  uint32_t listfree_ = 0;  // no slot below this one is free
  uint32_t dictcount_ = 0;
};

// Fills bytes with a repeating 4-byte pattern in native order (a tail shorter than four
// bytes takes the pattern's first bytes).
void ZMemory_Set(void* dst, uint32_t pattern, uint32_t bytes);
