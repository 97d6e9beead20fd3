#include "tests/pellax/audio940/ogg_oracle.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include "pellax/audio940/direct_decoder.h"

#include "assets/pellax/ogg_encode.h"

namespace ogg_oracle {

std::vector<uint8_t> tone_stream(double seconds, double left_hz, double right_hz, float amplitude,
                                 uint32_t serial) {
  pxsynth::Stereo s(size_t(seconds * pxsynth::kRate));
  for (size_t i = 0; i < s.frames(); ++i) {
    const double t = double(i) / pxsynth::kRate;
    s.l[i] = amplitude * float(std::sin(2 * pxsynth::kPi * left_hz * t));
    s.r[i] = amplitude * float(std::sin(2 * pxsynth::kPi * right_hz * t));
  }
  return pxsynth::encode_ogg(s, 0.3f, serial);
}

namespace {

struct Source {
  const std::vector<uint8_t>* bytes;
  size_t position;
};

size_t read_cb(void* out, size_t size, size_t count, void* handle) {
  Source& s = *static_cast<Source*>(handle);
  size_t n = size * count;
  if (s.position >= s.bytes->size()) return 0;
  n = std::min(n, s.bytes->size() - s.position);
  std::memcpy(out, s.bytes->data() + s.position, n);
  s.position += n;
  return n;
}
int seek_cb(void* handle, ogg_int64_t offset, int whence) {
  Source& s = *static_cast<Source*>(handle);
  const int64_t size = int64_t(s.bytes->size());
  int64_t p = whence == SEEK_SET ? offset : whence == SEEK_CUR ? int64_t(s.position) + offset : size;
  s.position = size_t(std::max<int64_t>(0, std::min(p, size)));
  return 0;
}
int close_cb(void*) { return 0; }
long tell_cb(void* handle) { return long(static_cast<Source*>(handle)->position); }

}  // namespace

std::vector<int16_t> decode(const std::vector<uint8_t>& stream, bool* opened) {
  std::vector<int16_t> out;
  Source source{&stream, 0};
  OggVorbis_File file;
  const ov_callbacks callbacks = {read_cb, seek_cb, close_cb, tell_cb};
  const bool ok = ov_open_callbacks(&source, &file, nullptr, 0, callbacks) == 0;
  if (opened) *opened = ok;
  if (!ok) return out;
  char chunk[2048];
  int bitstream = 0;
  for (;;) {
    const long n = ov_read(&file, chunk, sizeof chunk, &bitstream);
    if (n == OV_HOLE) continue;
    if (n <= 0) break;
    const size_t at = out.size();
    out.resize(at + size_t(n) / 2);
    std::memcpy(out.data() + at, chunk, size_t(n));
  }
  ov_clear(&file);
  return out;
}

}  // namespace ogg_oracle
