#include "pellax/audio940/ogg_mem.h"

#include <cstdio>
#include <cstring>

#include "pellax/audio940/arena.h"
#include "pellax/audio940/core.h"
#include "pellax/audio940/core_state.h"

namespace audio940 {
namespace {

// The callbacks read one global data source: the handle only has to be non-null.
char g_handle_token;

// Appends v in decimal at *at.
void append_number(char*& at, uint32_t v) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = char('0' + v % 10);
    v /= 10;
  } while (v);
  while (n) *at++ = digits[--n];
}

void append_text(char*& at, const char* text) {
  while (*text) *at++ = *text++;
}

// The decoder ran out of arena: the stream ends here as on a decoder error. What the
// decoder built is unusable, so the close skips the decoder's own clean-up and only resets
// the arena. (A stream whose headers or links need more than the arena holds does this.)
// Said once, with the request that failed and what the arena had for it.
void ran_out_of_memory(CoreState& st) {
  st.stream_failed = 1;
  if (st.out_of_memory_told) return;
  st.out_of_memory_told = 1;
  char text[160];
  char* at = text;
  append_text(at, "decoder out of memory: the stream ends; it asked for ");
  append_number(at, st.arena.refused);
  append_text(at, " bytes, the arena had ");
  append_number(at, arena_largest_free(st.arena));
  append_text(at, " free in one piece of ");
  append_number(at, st.arena.limit - st.arena.base);
  *at = 0;
  arm940_log_text(text);
}

struct OpenCall {
  OggVorbis_File* file;
  int result;
};
void open_call(void* context) {
  OpenCall& call = *static_cast<OpenCall*>(context);
  const ov_callbacks callbacks = {mem_read, mem_seek, mem_close, mem_tell};
  call.result = ov_open_callbacks(&g_handle_token, call.file, nullptr, 0, callbacks);
}

struct ReadCall {
  OggVorbis_File* file;
  char* out;
  long result;
};
void read_call(void* context) {
  ReadCall& call = *static_cast<ReadCall*>(context);
  int bitstream = 0;
  do {
    call.result = ov_read(call.file, call.out, kDecodeChunk, &bitstream);
  } while (call.result == OV_HOLE);
}

constexpr uint32_t kPageHeader = 27;
// How far past bytes that are no page the walk looks for the next page. Pages of sound are
// a few KB (encoders close a page at 4 KB); only tags, at a stream's start, make pages up
// to 64 KB. A page with a damaged header is passed over when the next one starts within
// this, and a tail of other bytes costs no more than this to look through.
constexpr uint32_t kResyncBytes = 16384;

// The length of the whole page at p (with `left` bytes from p on), or 0 when p holds no
// page header or the page runs past the end.
uint32_t page_length(const uint8_t* p, uint32_t left) {
  if (left < kPageHeader || p[0] != 'O' || p[1] != 'g' || p[2] != 'g' || p[3] != 'S' || p[4] != 0 || p[5] > 7)
    return 0;
  const uint32_t segments = p[26];
  if (left < kPageHeader + segments) return 0;
  uint32_t n = kPageHeader + segments;
  for (uint32_t i = 0; i < segments; ++i) n += p[kPageHeader + i];
  return n <= left ? n : 0;
}

}  // namespace

uint32_t ogg_pages_end(uint32_t data, uint32_t length) {
  if (data > kMemorySize) data = kMemorySize;
  if (length > kMemorySize - data) length = kMemorySize - data;
  const uint8_t* s = current_core().base + data;
  uint32_t at = 0, end = 0;
  while (at < length) {
    if (const uint32_t n = page_length(s + at, length - at)) {
      at = end = at + n;
      continue;
    }
    // Not a page here: the next one within kResyncBytes, looking at every fourth byte
    // where it can.
    if (length - at <= kPageHeader) break;
    const uint32_t stop = length - at > kResyncBytes + 3 ? at + kResyncBytes : length - 3;
    uint32_t next = at + 1;
    while (next < stop) {
      const uint8_t c = s[next + 3];
      if (c == 'S' && s[next] == 'O' && s[next + 1] == 'g' && s[next + 2] == 'g') break;
      next += c == 'g' ? 1 : c == 'O' ? 3 : 4;
    }
    if (next >= stop) break;
    at = next;
  }
  return end;
}

size_t mem_read(void* buffer, size_t size, size_t count, void* /*handle*/) {
  Core& core = current_core();
  core.probe_at(PassPoint::kStreamRead);
  DataSource& s = core.state->source;
  if (s.position >= s.length || size == 0) return 0;
  const uint64_t want = count > UINT64_MAX / size ? UINT64_MAX : uint64_t(size) * count;
  const uint32_t n = static_cast<uint32_t>(want < s.length - s.position ? want : s.length - s.position);
  std::memcpy(buffer, core.base + s.base + s.position, n);
  s.position += n;
  core.state->work += n;
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
  OpenCall call = {&st.decoder_file, OV_EFAULT};
  if (!arena_guarded(open_call, &call)) {
    ran_out_of_memory(st);
    return OV_EFAULT;
  }
  st.stream_failed = call.result != 0;
  return call.result;
}

uint32_t ogg_mem_decode() {
  Core& core = current_core();
  CoreState& st = *core.state;
  if (st.stream_failed || st.output.count >= st.output.limit) return 0;
  ReadCall call = {&st.decoder_file, reinterpret_cast<char*>(st.scratch), 0};
  if (!arena_guarded(read_call, &call)) {
    ran_out_of_memory(st);
    return 0;
  }
  const long n = call.result;
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
