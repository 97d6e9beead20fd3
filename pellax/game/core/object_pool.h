// The three fixed pools of the game (particles, game objects, score popups), allocated
// once at start in one block. Records are handed out as u16 indices, 0xFFFF for none;
// each pool keeps a used list and a free list, the most recently allocated record first.
#pragma once

#include <cstdint>

constexpr uint16_t kNoRecord = 0xFFFF;
constexpr int kParticleCount = 4000;
constexpr int kObjectCount = 200;
constexpr int kPopupCount = 60;
constexpr int kMaxSegments = 150;

// Object flag bits.
constexpr uint16_t kObjDrawn = 0x01;
constexpr uint16_t kObjActive = 0x02;
constexpr uint16_t kObjWarping = 0x04;
constexpr uint16_t kObjBarrier = 0x08;
constexpr uint16_t kObjKeptApart = 0x20;

// Bookkeeping every record carries: the list links, whether the record is in use (the
// flags cannot tell: the hidden ship is in use with flags 0) and its allocation serial.
// Records enter the used list only at its head, so the list is ordered by falling serial;
// walks use that to resume correctly whatever a visit frees or allocates.
struct pool_links {
  uint16_t next;
  uint16_t prev;
  uint8_t in_use;
  uint64_t serial;
};

struct particle {
  pool_links link;
  uint16_t flags;      // bit 0: glow at the tail, bit 1: glow at the head
  uint16_t type;       // 1: the colour fades
  int32_t delay;       // 8.8 ticks before it moves
  int32_t head_time;   // 8.8 ticks during which only the head moves
  int32_t life;        // 8.8 ticks during which both ends move
  int32_t vx, vy;      // 1/256 pixel per tick
  uint16_t tail_glow, head_glow;
  uint16_t colour;
  int32_t tail_x, tail_y, head_x, head_y;  // 24.8
};

struct game_object {
  pool_links link;
  uint16_t flags;
  uint16_t kind;
  int32_t variant;
  int32_t work_a, work_b;
  int32_t score;
  int32_t timer;  // 8.8 ticks
  int32_t x, y;   // 24.8
  int32_t scale;  // 8.8, 0 = no scaling
  float vx, vy;   // pixels per 10 ms
  float angle;
  float work_f;
  float mass;
  float spin;
  int32_t min_x, min_y, max_x, max_y;
  int32_t segment_count;
  int32_t model_x1[kMaxSegments], model_y1[kMaxSegments];
  int32_t model_x2[kMaxSegments], model_y2[kMaxSegments];
  int32_t world_x1[kMaxSegments], world_y1[kMaxSegments];
  int32_t world_x2[kMaxSegments], world_y2[kMaxSegments];
  int32_t hit_count;
  int32_t hit_list[kMaxSegments];
  uint16_t colour_a[kMaxSegments], colour_b[kMaxSegments];
  int32_t hit_points;
  int32_t counters[6];
};

struct score_popup {
  pool_links link;
  int32_t size;
  int32_t grow_time;
  int32_t grow_rate;
  int32_t hold_time;
  int32_t shrink_rate;
  int32_t x, y;  // 24.8
  char text[4];  // up to 4 characters, NUL-ended when shorter
  uint16_t colour, shadow_colour;
};

enum pool_head {
  kParticleUsed, kParticleFree, kObjectUsed, kObjectFree, kPopupUsed, kPopupFree, kHeadCount
};

struct object_pool_block {
  particle particles[kParticleCount];
  game_object objects[kObjectCount];
  score_popup popups[kPopupCount];
  uint16_t heads[kHeadCount];
};

extern object_pool_block* object_pool;

// Returns 0, or -1 when the block cannot be allocated.
int init_object_pools();
void free_object_pools();

uint16_t alloc_particle();
uint16_t alloc_object();
uint16_t alloc_object_slot();
uint16_t alloc_score_popup();
// Freeing a record that is not in use (or an out-of-range index) does nothing.
void free_particle(uint16_t index);
void free_object(uint16_t index);
void free_score_popup(uint16_t index);

void clear_particles();
void free_objects_with_flags(uint16_t mask);
void clear_object_shots();
void clear_enemies();

inline particle& particle_at(uint16_t i) { return object_pool->particles[i]; }
inline game_object& object_at(uint16_t i) { return object_pool->objects[i]; }
inline score_popup& popup_at(uint16_t i) { return object_pool->popups[i]; }
inline uint16_t object_index(const game_object* o) { return uint16_t(o - object_pool->objects); }

// Walks a pool's used list, most recent first, calling visit(index). Records freed during
// the walk are not visited, records allocated during it neither; every other record is
// visited exactly once, whatever visit() frees or allocates (walks may nest).
template <typename Rec, typename Visit>
void walk_pool(Rec* recs, pool_head used, Visit visit) {
  if (!object_pool) return;
  uint16_t i = object_pool->heads[used];
  while (i != kNoRecord) {
    const uint64_t last = recs[i].link.serial;
    const uint16_t after = recs[i].link.next;
    visit(i);
    if (recs[i].link.in_use && recs[i].link.serial == last) {
      i = recs[i].link.next;
    } else if (after != kNoRecord && recs[after].link.in_use && recs[after].link.serial < last) {
      // The record freed itself (the common case: a spark whose life ran out); the one
      // that followed it is untouched and still the newest not yet visited.
      i = after;
    } else {
      // Both gone, or reused: their links lead into the free list or back to newer
      // records. Go back to the used head and pass over what was already visited.
      i = object_pool->heads[used];
      while (i != kNoRecord && recs[i].link.serial >= last) i = recs[i].link.next;
    }
  }
}

template <typename Visit>
void walk_particles(Visit visit) {
  if (object_pool) walk_pool(object_pool->particles, kParticleUsed, visit);
}
template <typename Visit>
void walk_objects(Visit visit) {
  if (object_pool) walk_pool(object_pool->objects, kObjectUsed, visit);
}
template <typename Visit>
void walk_popups(Visit visit) {
  if (object_pool) walk_pool(object_pool->popups, kPopupUsed, visit);
}
