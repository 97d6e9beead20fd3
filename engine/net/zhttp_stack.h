// ZHTTPStack: collects one HTTP response as it arrives, finds the end of the header
// (CR LF CR LF, also across chunks), parses a few header fields and hands out the body.
// The body is never decoded (chunked or gzip bodies come back as received).
#pragma once

#include <cstdint>

struct ZHTTPRESPONSE_INFO {
  char contentEncoding[16];
  char contentType[128];
  char server[256];
  char location[1024];
  char date[48];
  int32_t contentLength;
  uint16_t status;
};

class ZHTTPStack {
 public:
  ZHTTPStack();
  ~ZHTTPStack();
  ZHTTPStack(const ZHTTPStack&) = delete;
  ZHTTPStack& operator=(const ZHTTPStack&) = delete;

  // Frees an old buffer, allocates size bytes and resets the whole response state.
  // 1 ok; 0 out of memory (then no buffer, capacity 0).
  int Alloc(uint32_t size);
  void DeAlloc();
  // Forgets the response (every parsed field too); keeps the buffer.
  void Clear();

  // Appends a received chunk. 0 when there is no buffer or the chunk does not fit: the
  // response is then marked overflowed for good (until Alloc or Clear), since a hole in
  // the data must never read as a complete reply. Else 1.
  int Push(const void* data, uint32_t length);

  // Once the header has ended (and no chunk was lost): the bytes after it. Else 0.
  uint32_t BodySize() const;
  // Copies the body. length: in, the room in out; out, the body size. false before the
  // header end, after an overflow, or when the room is too small (length = size needed).
  bool GetBody(void* out, uint32_t& length) const;
  // The parsed record; 0 before the header end or after an overflow.
  int GetResponseInfo(ZHTTPRESPONSE_INFO* out) const;
  // The header text (its last line end followed by two zero bytes); 0 before the header
  // end, after an overflow, or when size is smaller than the header.
  int GetResponseInfo(char* out, uint32_t size) const;

  bool HeaderComplete() const { return headerEnd != 0; }
  bool Overflowed() const { return overflow; }
  bool IsGzip() const { return gzip != 0; }
  uint32_t Used() const { return used; }
  uint32_t Capacity() const { return capacity; }

  // Parses the header text held in the buffer; run by Push at the header end.
  void ParseHeader();

 private:
  void ResetResponse();

  ZHTTPRESPONSE_INFO info;
  uint8_t* buffer = nullptr;
  uint32_t capacity = 0;
  uint32_t used = 0;
  uint32_t headerEnd = 0;  // position of the first body byte; 0 while the header runs
  uint8_t match = 0;       // bytes of CR LF CR LF matched so far
  uint8_t gzip = 0;
  bool overflow = false;
};
