// What must hold after every frame of a headless game: the pools' lists whole, every live
// object's floats finite and its counts in range, drawn objects inside the world, nothing
// drawn outside the canvas, and no kind counted below zero in a zone's first wave.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "pellax/game/enemy_kinds.h"
#include "pellax/game/game_flow.h"
#include "pellax/game/object_pool.h"
#include "pellax/game/render_lines.h"
#include "pellax/game/run_state.h"
#include "pellax/game/stage_director.h"

// Pool lists whole: used + free = capacity, no cycle, links agree, flags only on used.
template <typename Rec>
inline void check_pool(const Rec* recs, int capacity, pool_head used, pool_head free_head, const char* name) {
  int n = 0;
  uint16_t prev = kNoRecord;
  for (uint16_t i = object_pool->heads[used]; i != kNoRecord; i = recs[i].link.next) {
    ASSERT_LT(i, capacity) << name;
    ASSERT_EQ(recs[i].link.prev, prev) << name;
    ASSERT_TRUE(recs[i].link.in_use) << name;
    prev = i;
    ASSERT_LE(++n, capacity) << name << ": a cycle";
  }
  for (uint16_t i = object_pool->heads[free_head]; i != kNoRecord; i = recs[i].link.next) {
    ASSERT_FALSE(recs[i].link.in_use) << name;
    ASSERT_LE(++n, capacity) << name << ": a cycle";
  }
  ASSERT_EQ(n, capacity) << name;
}

inline void check_invariants() {
  ASSERT_NE(object_pool, nullptr);
  check_pool(object_pool->particles, kParticleCount, kParticleUsed, kParticleFree, "particles");
  check_pool(object_pool->objects, kObjectCount, kObjectUsed, kObjectFree, "objects");
  check_pool(object_pool->popups, kPopupCount, kPopupUsed, kPopupFree, "popups");
  walk_objects([](uint16_t i) {
    const game_object& o = object_at(i);
    for (float f : {o.vx, o.vy, o.angle, o.mass, o.spin}) ASSERT_TRUE(std::isfinite(f)) << o.kind;
    ASSERT_LE(o.segment_count, kMaxSegments);
    ASSERT_LE(o.hit_count, kMaxSegments);
    if (o.flags & kObjDrawn) {
      ASSERT_GT(o.x, 0);
      ASSERT_LT(o.x, 768 * 256);
      ASSERT_GT(o.y, 0);
      ASSERT_LT(o.y, 768 * 256);
    }
  });
  // A level starts its counts afresh while the last level's survivors fly on, so their
  // later deaths can take a count below 0; the zone's first wave starts from an empty pool
  // (its counts cleared as the run begins: until then they are the last run's).
  // Two kinds go below 0 by design: the heavy spinner dies as a counter (103) without
  // having been counted as one, and the turning boss counts its fade as five kills (104).
  if (level_number == zone_first_level && (game_state == kStateGetReady || game_state == kStatePlaying)) {
    for (int k = 0; k < kKindCount; ++k) {
      if (k != 103 && k != 104) {
        ASSERT_GE(kind_alive[k], 0) << k;
      }
    }
  }
  ASSERT_EQ(clipped_draws, 0) << "something was drawn outside the canvas";
}
