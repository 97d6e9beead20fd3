// The plain integer decoder on the same music file, 2,048 bytes per read as the program
// reads: its cost per 8,192 bytes of PCM, for comparison with the program's block.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "pellax/audio940/direct_decoder.h"

namespace {

struct Source {
  const std::vector<uint8_t>* bytes;
  size_t position;
};
size_t read_cb(void* out, size_t size, size_t count, void* h) {
  Source& s = *static_cast<Source*>(h);
  size_t n = size * count;
  if (s.position >= s.bytes->size()) return 0;
  n = std::min(n, s.bytes->size() - s.position);
  std::memcpy(out, s.bytes->data() + s.position, n);
  s.position += n;
  return n;
}
int seek_cb(void* h, ogg_int64_t offset, int whence) {
  Source& s = *static_cast<Source*>(h);
  const int64_t size = int64_t(s.bytes->size());
  const int64_t p = whence == SEEK_SET ? offset : whence == SEEK_CUR ? int64_t(s.position) + offset : size;
  s.position = size_t(std::max<int64_t>(0, std::min(p, size)));
  return 0;
}
int close_cb(void*) { return 0; }
long tell_cb(void* h) { return long(static_cast<Source*>(h)->position); }

double g_block_seconds = 0;
const std::vector<uint8_t>& (*g_music)() = nullptr;

void BM_DirectDecode(benchmark::State& state) {
  const std::vector<uint8_t>& music = g_music();
  if (music.empty()) return state.SkipWithError("no music: build the pellax_music target");
  Source source{&music, 0};
  OggVorbis_File file;
  const ov_callbacks callbacks = {read_cb, seek_cb, close_cb, tell_cb};
  if (ov_open_callbacks(&source, &file, nullptr, 0, callbacks) != 0) return state.SkipWithError("does not open");
  char chunk[2048];
  int bitstream = 0;
  for (auto _ : state) {
    // 8,192 bytes of PCM, starting over at the end as the program's music does.
    for (int got = 0; got < 8192;) {
      const long n = ov_read(&file, chunk, sizeof chunk, &bitstream);
      if (n > 0) {
        got += int(n);
      } else if (n == 0) {
        ov_clear(&file);
        source.position = 0;
        ov_open_callbacks(&source, &file, nullptr, 0, callbacks);
      }
    }
    benchmark::DoNotOptimize(chunk);
  }
  ov_clear(&file);
  state.counters["x_realtime"] =
      benchmark::Counter(double(state.iterations()) * g_block_seconds, benchmark::Counter::kIsRate);
}

}  // namespace

void register_direct_decode(double block_seconds, const std::vector<uint8_t>& (*music)()) {
  g_block_seconds = block_seconds;
  g_music = music;
  benchmark::RegisterBenchmark("BM_DirectDecode", BM_DirectDecode)->Unit(benchmark::kMicrosecond);
}
