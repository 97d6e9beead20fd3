// A thin object over one zlib stream, and the allocation callbacks the engine hands to
// every zlib stream it opens.
#pragma once

#include <cstdint>
#include <zlib.h>

// items * size zero-filled bytes; null on overflow or when memory runs out.
voidpf zcalloc(voidpf opaque, uInt items, uInt size);
void zcfree(voidpf opaque, voidpf block);

class CZLib {
 public:
  CZLib();
  // Deletes the stream record without ending the stream (call InflateEnd/DeflateEnd).
  ~CZLib();
  CZLib(const CZLib&) = delete;
  CZLib& operator=(const CZLib&) = delete;

  // Input and output buffers.
  void SetupInput(const void* buffer, uInt length);
  void SetupInputBuffer(const void* buffer);
  void SetupInputLength(uInt length);
  const Bytef* NextInput() const;
  uInt AvailableInput() const;
  uLong TotalInput() const;
  void SetupOutput(void* buffer, uInt length);
  void SetupOutputBuffer(void* buffer);
  void SetupOutputLength(uInt length);
  Bytef* NextOutput() const;
  uInt AvailableOutput() const;
  uLong TotalOutput() const;
  int DataType() const;
  uLong Adler() const;

  // Inflate and deflate: zlib's result codes.
  int InflateInit(int windowbits);
  int Inflate(int flush);
  int InflateEnd();
  int InflateSetDictionary(const void* data, uInt length);
  int InflateSync();
  int InflateReset();
  int DeflateInit(int level, int method, int windowbits, int memlevel, int strategy);
  int Deflate(int flush);
  int DeflateEnd();
  int DeflateSetDictionary(const void* data, uInt length);
  int DeflateCopy(CZLib* source);
  int DeflateReset();
  int DeflateParams(int level, int strategy);

  // One-shot calls on a stream record of their own. length: in, the room at dst; out, the
  // bytes produced. Z_OK after a complete stream, Z_BUF_ERROR when it stopped short, else
  // the initialiser's code.
  static int Compress(void* dst, uLong& length, const void* src, uLong srclength, int level);
  static int Uncompress(void* dst, uLong& length, const void* src, uLong srclength);

  static uLong Adler32(uLong start, const void* data, uInt length);
  static uLong Crc32(uLong start, const void* data, uInt length);

 private:
  z_stream* stream_;
};
