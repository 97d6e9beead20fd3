// What must hold after every frame of a headless game: the pools' lists whole, every live
// object's floats finite and its counts in range, drawn objects inside the world, nothing
// drawn outside the canvas, and no kind counted below zero in a zone's first wave.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/enemies/enemy_kinds.h"
#include "pellax/game/enemies/stage_director.h"
#include "pellax/game/flow/game_flow.h"
#include "pellax/game/render/render_lines.h"

// Pool lists whole: used + free = capacity, no cycle, links agree, flags only on used.
// Checked every frame over thousands of records: plain tests, one assertion with the
// first fault found, so that the check costs little beside the frame itself.
template <typename Rec>
inline std::string pool_fault(const Rec* recs, int capacity, pool_head used, pool_head free_head) {
  int n = 0;
  uint16_t prev = kNoRecord;
  for (uint16_t i = object_pool->heads[used]; i != kNoRecord; i = recs[i].link.next) {
    if (i >= capacity) return "used record " + std::to_string(i) + " out of range";
    if (recs[i].link.prev != prev) return "used record " + std::to_string(i) + ": prev link disagrees";
    if (!recs[i].link.in_use) return "used record " + std::to_string(i) + " not in use";
    prev = i;
    if (++n > capacity) return "a cycle in the used list";
  }
  for (uint16_t i = object_pool->heads[free_head]; i != kNoRecord; i = recs[i].link.next) {
    if (i >= capacity) return "free record " + std::to_string(i) + " out of range";
    if (recs[i].link.in_use) return "free record " + std::to_string(i) + " in use";
    if (++n > capacity) return "a cycle in the free list";
  }
  if (n != capacity) return std::to_string(n) + " records on the lists";
  return "";
}

inline void check_invariants() {
  ASSERT_NE(object_pool, nullptr);
  ASSERT_EQ(pool_fault(object_pool->particles, kParticleCount, kParticleUsed, kParticleFree), "") << "particles";
  ASSERT_EQ(pool_fault(object_pool->objects, kObjectCount, kObjectUsed, kObjectFree), "") << "objects";
  ASSERT_EQ(pool_fault(object_pool->popups, kPopupCount, kPopupUsed, kPopupFree), "") << "popups";
  std::string object_fault;
  walk_objects([&](uint16_t i) {
    const game_object& o = object_at(i);
    if (!object_fault.empty()) return;
    const char* fault = nullptr;
    for (float f : {o.vx, o.vy, o.angle, o.mass, o.spin})
      if (!std::isfinite(f)) fault = "a float not finite";
    if (o.segment_count > kMaxSegments || o.hit_count > kMaxSegments) fault = "too many segments";
    if ((o.flags & kObjDrawn) && (o.x <= 0 || o.x >= 768 * 256 || o.y <= 0 || o.y >= 768 * 256))
      fault = "drawn outside the world";
    if (fault)
      object_fault = "kind " + std::to_string(o.kind) + " at " + std::to_string(o.x) + ", " + std::to_string(o.y) +
                     ": " + fault;
  });
  ASSERT_EQ(object_fault, "");
  // A level starts its counts afresh while the last level's survivors fly on, so their
  // later deaths can take a count below 0; the zone's first wave starts from an empty pool
  // (its counts cleared as the run begins: until then they are the last run's).
  // Two kinds go below 0 by design: the heavy spinner dies as a counter (103) without
  // having been counted as one, and the turning boss counts its fade as five kills (104).
  if (level_number == zone_first_level && (game_state == kStateGetReady || game_state == kStatePlaying)) {
    for (int k = 0; k < kKindCount; ++k) {
      if (k != 103 && k != 104 && kind_alive[k] < 0) {
        ASSERT_GE(kind_alive[k], 0) << k;
      }
    }
  }
  ASSERT_EQ(clipped_draws, 0) << "something was drawn outside the canvas";
}
