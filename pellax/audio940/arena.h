// The decoder's memory: an arena in the second core's memory with LIFO free lists for five
// size classes (64, 256, 1,024, 4,096 and 16,384 bytes) and large blocks of their exact size.
// Freed large blocks are served again, first fit in address order, merged with free
// neighbours and given back to the top when they reach it: the decoder grows a packet that
// spans many pages one reallocation a page.
//
// Each block has a 16-byte header (a pad word, the free-list link, the class 0..4 or a large
// block's byte size, and the guard 0x13578642 while allocated, 0 once freed) so that the
// data after it is 16-byte aligned. The calls work on the arena of this thread's core and
// are the decoder's malloc, calloc, realloc and free.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pellax/audio940/core_state.h"

namespace audio940 {

constexpr uint32_t kArenaHeader = 16;
constexpr uint32_t kArenaGuard = 0x13578642;

// Empties the arena: top = base, no free blocks; it may grow up to limit.
void arena_reset(Arena& arena, uint32_t base, uint32_t limit);
// The largest request the arena of this thread's core could serve now without a class's
// free block: the room above the top or the biggest freed large block.
uint32_t arena_largest_free(const Arena& arena);

// Runs fn(context) with the arena's escape armed: an allocation (or a calloc or realloc)
// the arena cannot serve while fn runs returns to here at once instead of handing the
// decoder a null pointer it would write through. Returns true when fn ran to its end; false
// after an escape, when whatever fn was building in the arena is unusable and only a reset
// of the arena clears it. Calls do not nest.
bool arena_guarded(void (*fn)(void* context), void* context);

}  // namespace audio940

extern "C" {
// A block of at least n bytes; when the arena has no room left for it, the escape of
// arena_guarded if armed, else null.
void* arm940_alloc(size_t n);
// count x size bytes set to 0; no room, or a product that overflows, as for arm940_alloc.
void* arm940_calloc(size_t count, size_t size);
// A new block of n bytes holding p's data (as much as both hold); p is freed. Null p is an
// alloc; no room as for arm940_alloc; null back (no room, or p is not a block of the
// arena) leaves p as it was.
void* arm940_realloc(void* p, size_t n);
// Frees p's block; null, a pointer outside the arena or one without the guard (freed
// already) is ignored.
void arm940_free(void* p);
}
