#include "pellax/audio940/ogg_mem.h"

#include <cstdio>
#include <cstring>

#include "pellax/audio940/arena.h"
#include "pellax/audio940/core_state.h"

namespace audio940 {
namespace {

// The callbacks read one global data source: the handle only has to be non-null.
char g_handle_token;

}  // namespace

size_t mem_read(void* buffer, size_t size, size_t count, void* /*handle*/) {
  Core& core = current_core();
  core.probe_at(PassPoint::kStreamRead);
  DataSource& s = core.state->source;
  if (s.position >= s.length || size == 0) return 0;
  const uint64_t want = count > UINT64_MAX / size ? UINT64_MAX : uint64_t(size) * count;
  const uint32_t n = static_cast<uint32_t>(want < s.length - s.position ? want : s.length - s.position);
  std::memcpy(buffer, core.base + s.base + s.position, n);
  s.position += n;
  return n;
}

int mem_seek(void* /*handle*/, ogg_int64_t offset, int whence) {
  DataSource& s = current_core().state->source;
  // Positions stay within the stream, so a later read never starts outside it.
  auto clamp = [&s](int64_t p) { return static_cast<uint32_t>(p < 0 ? 0 : p > s.length ? s.length : p); };
  switch (whence) {
    case SEEK_SET:
      s.position = clamp(offset);
      return static_cast<int>(s.position);
    case SEEK_END:
      s.position = s.length;
      return static_cast<int>(s.length);
    case SEEK_CUR:
      s.position = clamp(int64_t(s.position) + offset);
      return static_cast<int>(s.position);
    default:
      return -1;
  }
}

int mem_close(void* /*handle*/) { return 0; }

long mem_tell(void* /*handle*/) { return static_cast<long>(current_core().state->source.position); }

int ogg_mem_open(uint32_t data, uint32_t length, uint32_t output, uint32_t output_limit, uint32_t arena) {
  Core& core = current_core();
  CoreState& st = *core.state;
  if (data > kMemorySize) data = kMemorySize;
  if (length > kMemorySize - data) length = kMemorySize - data;
  st.source = {data, length, 0};
  ogg_mem_set_output(output, output_limit);
  arena_reset(st.arena, arena, kArenaEnd);
  std::memset(&st.decoder_file, 0, sizeof st.decoder_file);
  const ov_callbacks callbacks = {mem_read, mem_seek, mem_close, mem_tell};
  const int result = ov_open_callbacks(&g_handle_token, &st.decoder_file, nullptr, 0, callbacks);
  st.stream_failed = result != 0;
  return result;
}

uint32_t ogg_mem_decode() {
  Core& core = current_core();
  CoreState& st = *core.state;
  if (st.stream_failed || st.output.count >= st.output.limit) return 0;
  int bitstream = 0;
  long n;
  do {
    n = ov_read(&st.decoder_file, reinterpret_cast<char*>(st.scratch), kDecodeChunk, &bitstream);
  } while (n == OV_HOLE);
  if (n <= 0) return 0;
  uint32_t bytes = static_cast<uint32_t>(n);
  if (bytes > st.output.limit - st.output.count) bytes = st.output.limit - st.output.count;
  std::memcpy(core.base + st.output.address + st.output.count, st.scratch, bytes);
  st.output.count += bytes;
  return bytes;
}

void ogg_mem_set_output(uint32_t output, uint32_t output_limit) {
  CoreState& st = *current_core().state;
  if (output > kMemorySize) output = kMemorySize;
  if (output_limit > kMemorySize - output) output_limit = kMemorySize - output;
  st.output = {output, 0, output_limit};
}

uint32_t ogg_mem_output_count() { return current_core().state->output.count; }

void ogg_mem_close() {
  CoreState& st = *current_core().state;
  if (!st.stream_failed) ov_clear(&st.decoder_file);
  st.stream_failed = 0;
  std::memset(&st.decoder_file, 0, sizeof st.decoder_file);
  arena_reset(st.arena, st.arena.base, kArenaEnd);
}

}  // namespace audio940
