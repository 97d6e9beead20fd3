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

// The arena cannot serve a request of n bytes: back to arena_guarded when it waits, else
// null.
void* no_room(uint64_t n) {
  CoreState* st = current_core().state;
  if (st) st->arena.refused = n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
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

// The arena bytes a block of that capacity takes, its header included.
uint64_t footprint(uint64_t bytes) { return kArenaHeader + ((bytes + 15) & ~uint64_t(15)); }

// A free large block split off the end of one taken for less is kept only when it can hold
// at least this much; a smaller rest stays with the block taken.
constexpr uint32_t kSmallestRest = 1024;

// A large block of n bytes from the freed ones, the first in address order that holds it
// (the rest of a much bigger one stays free in its place), or null.
Header* reuse_large(Core& core, Arena& a, uint32_t n) {
  for (uint32_t* link = &a.large_free; *link;) {
    Header* f = core.at<Header>(*link);
    if (f->size_class < n) {
      link = &f->link;
      continue;
    }
    const uint64_t whole = footprint(f->size_class), taken = footprint(n);
    if (whole - taken >= footprint(kSmallestRest)) {
      const uint32_t rest_address = *link + static_cast<uint32_t>(taken);
      Header* rest = core.at<Header>(rest_address);
      rest->pad = 0;
      rest->link = f->link;
      rest->size_class = static_cast<uint32_t>(whole - taken - kArenaHeader);
      rest->guard = 0;
      *link = rest_address;
      f->size_class = n;
    } else {
      *link = f->link;
    }
    return f;
  }
  return nullptr;
}

// Puts the freed large block at `address` among the free ones, merged with a free neighbour
// on either side; a free block that then reaches the top goes back to the top. Without this
// a packet that grows by reallocation, a block a step, uses the arena up many times over.
void release_large(Core& core, Arena& a, uint32_t address) {
  uint32_t* link = &a.large_free;
  uint32_t before = 0;
  while (*link && *link < address) {
    before = *link;
    link = &core.at<Header>(*link)->link;
  }
  Header* h = core.at<Header>(address);
  h->link = *link;
  *link = address;
  const auto end_of = [&core](uint32_t at) {
    return at + static_cast<uint32_t>(footprint(core.at<Header>(at)->size_class));
  };
  if (h->link && end_of(address) == h->link) {
    const Header* next = core.at<Header>(h->link);
    h->size_class = static_cast<uint32_t>(footprint(h->size_class) + footprint(next->size_class) - kArenaHeader);
    h->link = next->link;
  }
  if (before && end_of(before) == address) {
    Header* prev = core.at<Header>(before);
    prev->size_class = static_cast<uint32_t>(footprint(prev->size_class) + footprint(h->size_class) - kArenaHeader);
    prev->link = h->link;
    address = before;
  }
  if (end_of(address) != a.top) return;
  // The last free block: unlink it (it is the list's last) and lower the top.
  for (link = &a.large_free; *link != address;) link = &core.at<Header>(*link)->link;
  *link = 0;
  a.top = address;
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
  arena.large_free = 0;
  arena.refused = 0;
}

uint32_t arena_largest_free(const Arena& arena) {
  const Core& core = current_core();
  uint32_t most = arena.limit - arena.top >= kArenaHeader ? (arena.limit - arena.top - kArenaHeader) & ~15u : 0;
  for (uint32_t at = arena.large_free; at;) {
    const Header* h = core.at<Header>(at);
    if (h->size_class > most) most = h->size_class;
    at = h->link;
  }
  return most;
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
  } else if (size_class == kArenaClasses && n <= a.limit - a.base) {
    h = reuse_large(core, a, static_cast<uint32_t>(n));
  }
  if (!h) {
    const uint64_t bytes = size_class < kArenaClasses ? kArenaClassBytes[size_class] : n;
    if (bytes > a.limit - a.top) return no_room(n);
    const uint64_t need = footprint(bytes);
    if (need > a.limit - a.top) return no_room(n);
    h = core.at<Header>(a.top);
    a.top += static_cast<uint32_t>(need);
    h->pad = 0;
    h->size_class = size_class < kArenaClasses ? size_class : static_cast<uint32_t>(n);
  }
  h->link = 0;
  h->guard = kArenaGuard;
  core.state->work += static_cast<uint32_t>(n);
  return h + 1;
}

void* arm940_calloc(size_t count, size_t size) {
  if (size && count > SIZE_MAX / size) return no_room(UINT64_MAX);
  void* p = arm940_alloc(count * size);
  if (p) std::memset(p, 0, count * size);
  return p;
}

void* arm940_realloc(void* p, size_t n) {
  if (!p) return arm940_alloc(n);
  Header* old = header_of(p);
  if (!old) return nullptr;
  const uint32_t old_bytes = capacity(*old);
  // The last block carved grows where it is into a large one: no copy, and no hole left
  // behind it.
  Core& core = current_core();
  Arena& a = core.state->arena;
  const uint32_t at = core.address_of(old);
  if (n > kArenaClassBytes[kArenaClasses - 1] && n > old_bytes && at + footprint(old_bytes) == a.top &&
      footprint(n) <= a.limit - at) {
    a.top = at + static_cast<uint32_t>(footprint(n));
    old->size_class = static_cast<uint32_t>(n);
    core.state->work += static_cast<uint32_t>(n);
    return p;
  }
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
  Core& core = current_core();
  Arena& a = core.state->arena;
  if (h->size_class < kArenaClasses) {
    h->link = a.free_list[h->size_class];
    a.free_list[h->size_class] = core.address_of(h);
  } else {
    release_large(core, a, core.address_of(h));
  }
}
