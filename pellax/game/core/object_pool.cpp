#include "pellax/game/core/object_pool.h"

#include <cstdlib>

#include "pellax/game/core/run_state.h"

object_pool_block* object_pool = nullptr;

namespace {

uint64_t alloc_serial = 0;

// The list operations, shared by the three pools.
template <typename Rec>
void pool_init(Rec* recs, int count, uint16_t& used, uint16_t& free_head) {
  for (int i = 0; i < count; ++i) {
    recs[i].link.next = i + 1 < count ? uint16_t(i + 1) : kNoRecord;
    recs[i].link.prev = i > 0 ? uint16_t(i - 1) : kNoRecord;
    recs[i].link.in_use = 0;
    recs[i].link.serial = 0;
  }
  free_head = 0;
  used = kNoRecord;
}

template <typename Rec>
uint16_t pool_alloc(Rec* recs, uint16_t& used, uint16_t& free_head) {
  const uint16_t f = free_head;
  if (f == kNoRecord) return kNoRecord;
  Rec& r = recs[f];
  free_head = r.link.next;
  if (free_head != kNoRecord) recs[free_head].link.prev = kNoRecord;
  r.link.prev = kNoRecord;
  r.link.next = used;
  if (used != kNoRecord) recs[used].link.prev = f;
  used = f;
  r.link.in_use = 1;
  r.link.serial = ++alloc_serial;
  return f;
}

template <typename Rec>
bool pool_free(Rec* recs, int count, uint16_t index, uint16_t& used, uint16_t& free_head) {
  if (index >= count || !recs[index].link.in_use) return false;
  Rec& r = recs[index];
  if (r.link.prev != kNoRecord) recs[r.link.prev].link.next = r.link.next;
  else used = r.link.next;
  if (r.link.next != kNoRecord) recs[r.link.next].link.prev = r.link.prev;
  r.link.prev = kNoRecord;
  r.link.next = free_head;
  if (free_head != kNoRecord) recs[free_head].link.prev = index;
  free_head = index;
  r.link.in_use = 0;
  return true;
}

uint16_t& head(pool_head h) { return object_pool->heads[h]; }

template <typename Keep>
void free_objects_where(Keep drop) {
  walk_objects([&](uint16_t i) {
    if (drop(object_at(i))) free_object(i);
  });
}

}  // namespace

int init_object_pools() {
  if (!object_pool) {
    object_pool = static_cast<object_pool_block*>(std::calloc(1, sizeof(object_pool_block)));
    if (!object_pool) return -1;
  }
  pool_init(object_pool->particles, kParticleCount, head(kParticleUsed), head(kParticleFree));
  pool_init(object_pool->objects, kObjectCount, head(kObjectUsed), head(kObjectFree));
  pool_init(object_pool->popups, kPopupCount, head(kPopupUsed), head(kPopupFree));
  for (particle& p : object_pool->particles) p.flags = 0;
  const bool low_start = level_number == 13;
  for (game_object& o : object_pool->objects) {
    o.flags = 0;
    o.kind = 0;
    o.segment_count = 0;
    o.vx = o.vy = 0.0f;
    o.angle = 0.0f;
    o.x = low_start ? 0x9600 : 0x12C00;
    o.y = low_start ? 0xBE00 : 0x12C00;
  }
  return 0;
}

void free_object_pools() {
  std::free(object_pool);
  object_pool = nullptr;
}

uint16_t alloc_particle() {
  if (!object_pool) return kNoRecord;
  return pool_alloc(object_pool->particles, head(kParticleUsed), head(kParticleFree));
}

uint16_t alloc_object() {
  if (!object_pool) return kNoRecord;
  const uint16_t i = pool_alloc(object_pool->objects, head(kObjectUsed), head(kObjectFree));
  if (i != kNoRecord) object_at(i).score = 0;
  return i;
}

uint16_t alloc_object_slot() { return alloc_object(); }

uint16_t alloc_score_popup() {
  if (!object_pool) return kNoRecord;
  return pool_alloc(object_pool->popups, head(kPopupUsed), head(kPopupFree));
}

void free_particle(uint16_t index) {
  if (!object_pool) return;
  if (pool_free(object_pool->particles, kParticleCount, index, head(kParticleUsed),
                head(kParticleFree)))
    particle_at(index).flags = 0;
}

void free_object(uint16_t index) {
  if (!object_pool) return;
  if (pool_free(object_pool->objects, kObjectCount, index, head(kObjectUsed),
                head(kObjectFree)))
    object_at(index).flags = 0;
}

void free_score_popup(uint16_t index) {
  if (!object_pool) return;
  pool_free(object_pool->popups, kPopupCount, index, head(kPopupUsed), head(kPopupFree));
}

void clear_particles() {
  if (!object_pool) return;
  while (head(kParticleUsed) != kNoRecord) free_particle(head(kParticleUsed));
}

void free_objects_with_flags(uint16_t mask) {
  free_objects_where([mask](const game_object& o) { return (o.flags & mask) != 0; });
}

void clear_object_shots() {
  free_objects_where([](const game_object& o) { return o.kind == 2 || o.kind == 18; });
}

void clear_enemies() {
  free_objects_where([](const game_object& o) { return (o.flags & kObjActive) && o.kind != 0; });
}

