#include "pellax/audio940/arena.h"

#include <cstring>

#ifdef PX940_FREESTANDING
// The image's own (start.S): the callee-saved registers, the stack and the return address.
extern "C" int px940_setjmp(uint32_t* env) __attribute__((returns_twice));
extern "C" [[noreturn]] void px940_longjmp(uint32_t* env, int value);
#else
#include <csetjmp>
#endif

namespace audio940 {
namespace {

// Armed while the core's escape_armed is set.
struct Escape {
#ifdef PX940_FREESTANDING
  uint32_t env[10];
#else
  std::jmp_buf env;
#endif
};
PX940_PER_CORE Escape t_escape;

// The arena cannot serve a request: back to arena_guarded when it waits, else null.
void* no_room() {
  CoreState* st = current_core().state;
  if (st && st->escape_armed) {
    st->escape_armed = 0;
#ifdef PX940_FREESTANDING
    px940_longjmp(t_escape.env, 1);
#else
    std::longjmp(t_escape.env, 1);
#endif
  }
  return nullptr;
}

struct Header {
  uint32_t pad;
  uint32_t link;
  uint32_t size_class;  // 0..4, or a large block's byte size
  uint32_t guard;
};
static_assert(sizeof(Header) == kArenaHeader);

uint32_t capacity(const Header& h) {
  return h.size_class < kArenaClasses ? kArenaClassBytes[h.size_class] : h.size_class;
}

// The header of an allocated block of this thread's arena, or null.
Header* header_of(const void* p) {
  Core& core = current_core();
  if (!p || !core.state) return nullptr;
  const uint8_t* bytes = static_cast<const uint8_t*>(p);
  const Arena& a = core.state->arena;
  if (bytes < core.base + a.base + kArenaHeader || bytes >= core.base + a.top) return nullptr;
  if ((core.address_of(p) - a.base) % 16) return nullptr;
  Header* h = core.at<Header>(core.address_of(p) - kArenaHeader);
  return h->guard == kArenaGuard ? h : nullptr;
}

}  // namespace

void arena_reset(Arena& arena, uint32_t base, uint32_t limit) {
  arena.base = arena.top = base;
  arena.limit = limit;
  for (uint32_t& head : arena.free_list) head = 0;
}

bool arena_guarded(void (*fn)(void* context), void* context) {
  if (!current_core().state) return false;
#ifdef PX940_FREESTANDING
  if (px940_setjmp(t_escape.env)) return false;
#else
  if (setjmp(t_escape.env)) return false;
#endif
  CoreState& st = *current_core().state;
  st.escape_armed = 1;
  fn(context);
  st.escape_armed = 0;
  return true;
}

}  // namespace audio940

using namespace audio940;

void* arm940_alloc(size_t n) {
  Core& core = current_core();
  if (!core.state) return nullptr;
  Arena& a = core.state->arena;
  uint32_t size_class = kArenaClasses;
  for (uint32_t c = 0; c < kArenaClasses; ++c) {
    if (n <= kArenaClassBytes[c]) {
      size_class = c;
      break;
    }
  }
  Header* h = nullptr;
  if (size_class < kArenaClasses && a.free_list[size_class]) {
    h = core.at<Header>(a.free_list[size_class]);
    a.free_list[size_class] = h->link;
  } else {
    const uint64_t bytes = size_class < kArenaClasses ? kArenaClassBytes[size_class] : n;
    if (bytes > a.limit - a.top) return no_room();
    const uint64_t need = kArenaHeader + ((bytes + 15) & ~uint64_t(15));
    if (need > a.limit - a.top) return no_room();
    h = core.at<Header>(a.top);
    a.top += static_cast<uint32_t>(need);
    h->pad = 0;
    h->size_class = size_class < kArenaClasses ? size_class : static_cast<uint32_t>(n);
  }
  h->link = 0;
  h->guard = kArenaGuard;
  return h + 1;
}

void* arm940_calloc(size_t count, size_t size) {
  if (size && count > SIZE_MAX / size) return no_room();
  void* p = arm940_alloc(count * size);
  if (p) std::memset(p, 0, count * size);
  return p;
}

void* arm940_realloc(void* p, size_t n) {
  if (!p) return arm940_alloc(n);
  Header* old = header_of(p);
  if (!old) return nullptr;
  const uint32_t old_bytes = capacity(*old);
  void* q = arm940_alloc(n);
  if (!q) return nullptr;
  std::memcpy(q, p, old_bytes < n ? old_bytes : n);
  arm940_free(p);
  return q;
}

void arm940_free(void* p) {
  Header* h = header_of(p);
  if (!h) return;
  h->guard = 0;
  if (h->size_class < kArenaClasses) {
    Arena& a = current_core().state->arena;
    h->link = a.free_list[h->size_class];
    a.free_list[h->size_class] = current_core().address_of(h);
  }
}
