#include "pellax/audio940/direct_decode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#define ov_open_callbacks direct_ov_open_callbacks
#define ov_read direct_ov_read
#define ov_clear direct_ov_clear
#include <tremor/ivorbisfile.h>

namespace audio940 {

struct DirectDecoder::Impl {
  const std::vector<uint8_t>* bytes;
  size_t position = 0;
  OggVorbis_File file;
  bool open = false;

  static size_t read_cb(void* out, size_t size, size_t count, void* handle) {
    Impl& s = *static_cast<Impl*>(handle);
    if (s.position >= s.bytes->size() || size == 0) return 0;
    const size_t n = std::min(size * count, s.bytes->size() - s.position);
    std::memcpy(out, s.bytes->data() + s.position, n);
    s.position += n;
    return n;
  }
  static int seek_cb(void* handle, ogg_int64_t offset, int whence) {
    Impl& s = *static_cast<Impl*>(handle);
    const int64_t size = int64_t(s.bytes->size());
    const int64_t p = whence == SEEK_SET ? offset : whence == SEEK_CUR ? int64_t(s.position) + offset : size;
    s.position = size_t(std::max<int64_t>(0, std::min(p, size)));
    return 0;
  }
  static int close_cb(void*) { return 0; }
  static long tell_cb(void* handle) { return long(static_cast<Impl*>(handle)->position); }

  void open_stream() {
    position = 0;
    const ov_callbacks callbacks = {read_cb, seek_cb, close_cb, tell_cb};
    open = ov_open_callbacks(this, &file, nullptr, 0, callbacks) == 0;
  }
  void close_stream() {
    if (open) ov_clear(&file);
    open = false;
  }
};

DirectDecoder::DirectDecoder(const std::vector<uint8_t>& stream) : impl_(new Impl) {
  impl_->bytes = &stream;
  impl_->open_stream();
}

DirectDecoder::~DirectDecoder() { impl_->close_stream(); }

bool DirectDecoder::opened() const { return impl_->open; }

long DirectDecoder::read(char* out, int n) {
  if (!impl_->open) return 0;
  int bitstream = 0;
  long got;
  do {
    got = ov_read(&impl_->file, out, n, &bitstream);
  } while (got == OV_HOLE);
  return got > 0 ? got : 0;
}

void DirectDecoder::restart() {
  impl_->close_stream();
  impl_->open_stream();
}

std::vector<int16_t> direct_decode(const std::vector<uint8_t>& stream, bool* opened) {
  DirectDecoder decoder(stream);
  if (opened) *opened = decoder.opened();
  std::vector<int16_t> out;
  char chunk[2048];
  for (long n; (n = decoder.read(chunk, sizeof chunk)) > 0;) {
    const size_t at = out.size();
    out.resize(at + size_t(n) / 2);
    std::memcpy(out.data() + at, chunk, size_t(n));
  }
  return out;
}

}  // namespace audio940
