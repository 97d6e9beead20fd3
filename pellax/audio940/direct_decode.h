// The plain integer decoder (its own copy, with the system allocator and names of its own)
// over a stream in memory, read 2,048 bytes at a time as the audio program reads: for tests
// and measurements that compare the program's decoding with a direct one. The decoder's
// types stay inside, so this header goes with the program's own.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace audio940 {

class DirectDecoder {
 public:
  // Opens the stream (kept by reference: it must outlive the decoder).
  explicit DirectDecoder(const std::vector<uint8_t>& stream);
  ~DirectDecoder();
  bool opened() const;
  // Up to `n` bytes of 16-bit interleaved samples into out, damaged stretches skipped;
  // 0 at the end of the stream or on an error.
  long read(char* out, int n);
  // Opens the stream again from its start.
  void restart();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Every sample the stream decodes to; *opened (when given) tells whether it opened.
std::vector<int16_t> direct_decode(const std::vector<uint8_t>& stream, bool* opened = nullptr);

}  // namespace audio940
