#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "pellax/base/random.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/particles.h"
#include "pellax/game/render/score_popups.h"
#include "tests/pellax/game/pool_fixture.h"

namespace {

// Checks both lists of a pool: links agree both ways, no cycles, every record on exactly
// one list, in_use matching the list it is on. Returns the used list in order.
template <typename Rec>
std::vector<uint16_t> check_pool(Rec* recs, int count, pool_head used, pool_head free_head) {
  std::vector<uint16_t> used_list;
  std::vector<int> seen(count, 0);
  for (pool_head h : {used, free_head}) {
    uint16_t prev = kNoRecord;
    int steps = 0;
    for (uint16_t i = object_pool->heads[h]; i != kNoRecord; i = recs[i].link.next) {
      EXPECT_LT(i, count);
      EXPECT_EQ(recs[i].link.prev, prev);
      EXPECT_EQ(recs[i].link.in_use, h == used ? 1 : 0);
      EXPECT_EQ(seen[i]++, 0) << "record " << i << " on a list twice";
      if (h == used) used_list.push_back(i);
      prev = i;
      if (++steps > count) {
        ADD_FAILURE() << "cycle";
        return used_list;
      }
    }
  }
  for (int i = 0; i < count; ++i) EXPECT_EQ(seen[i], 1) << "record " << i << " lost";
  return used_list;
}

std::vector<uint16_t> check_objects() {
  return check_pool(object_pool->objects, kObjectCount, kObjectUsed, kObjectFree);
}

}  // namespace

TEST_F(PoolTest, RandomAllocAndFreeKeepEveryPoolConsistent) {
  mt_seed_array(42);
  std::vector<uint16_t> held;
  for (int step = 0; step < 3000; ++step) {
    if (held.empty() || random_range(0, 100) < 55) {
      const uint16_t i = alloc_object();
      if (i != kNoRecord) {
        held.insert(held.begin(), i);
      } else {
        EXPECT_EQ(held.size(), size_t(kObjectCount));
      }
    } else {
      const size_t k = size_t(random_range(0, int32_t(held.size())));
      free_object(held[k]);
      held.erase(held.begin() + long(k));
    }
    if (step % 50 == 0) {
      EXPECT_EQ(check_objects(), held);  // most recent first
    }
  }
  EXPECT_EQ(check_objects(), held);
  for (int step = 0; step < 5000; ++step) {
    if (random_range(0, 2)) alloc_particle();
    else free_particle(uint16_t(random_range(0, kParticleCount)));
  }
  check_pool(object_pool->particles, kParticleCount, kParticleUsed, kParticleFree);
}

TEST_F(PoolTest, AFullPoolGivesNoneAndChangesNothing) {
  for (int i = 0; i < kPopupCount; ++i) ASSERT_NE(alloc_score_popup(), kNoRecord);
  const uint16_t used = object_pool->heads[kPopupUsed];
  EXPECT_EQ(alloc_score_popup(), kNoRecord);
  EXPECT_EQ(object_pool->heads[kPopupUsed], used);
  EXPECT_EQ(object_pool->heads[kPopupFree], kNoRecord);
  check_pool(object_pool->popups, kPopupCount, kPopupUsed, kPopupFree);
}

TEST_F(PoolTest, FreeingTheHeadTheTailOrATwiceFreedRecordKeepsTheListsValid) {
  const uint16_t a = alloc_object(), b = alloc_object(), c = alloc_object();
  object_at(c).flags = 7;
  free_object(c);  // the used head
  EXPECT_EQ(object_at(c).flags, 0);
  EXPECT_EQ(object_pool->heads[kObjectUsed], b);
  free_object(a);  // the last record
  EXPECT_EQ(check_objects(), std::vector<uint16_t>{b});
  const uint16_t free_head = object_pool->heads[kObjectFree];
  free_object(a);  // not in use: nothing happens
  free_object(kNoRecord);
  free_object(kObjectCount);
  EXPECT_EQ(object_pool->heads[kObjectFree], free_head);
  EXPECT_EQ(check_objects(), std::vector<uint16_t>{b});
}

TEST_F(PoolTest, AllocationClearsTheScoreOnlyAndStartsAtTheFreeHead) {
  const uint16_t i = alloc_object();
  EXPECT_EQ(i, 0);
  object_at(i).score = 50;
  object_at(i).kind = 9;
  free_object(i);
  EXPECT_EQ(alloc_object(), i);
  EXPECT_EQ(object_at(i).score, 0);
  EXPECT_EQ(object_at(i).kind, 9);  // the caller fills what it uses
}

TEST_F(PoolTest, ObjectsStartAtTheArenaCentreOrTheLevel13Corner) {
  EXPECT_EQ(object_at(5).x, 0x12C00);
  level_number = 13;
  init_object_pools();
  EXPECT_EQ(object_at(5).x, 0x9600);
  EXPECT_EQ(object_at(5).y, 0xBE00);
}

// A walk whose visits free and allocate: who gets visited.
struct walk_case {
  const char* name;
  int victim_offset;  // record freed while visiting record 2 (relative to it, in list order)
  bool allocate;      // also allocate a record during that visit
  bool nested_clear;  // free the victim through a nested walk
  int also_offset = 0;  // a second record freed in that visit (0: none)
};

class PoolWalkTest : public PoolTest, public ::testing::WithParamInterface<walk_case> {};

TEST_P(PoolWalkTest, RecordsFreedDuringAWalkAreSkippedAndTheRestVisitedOnce) {
  const walk_case& wc = GetParam();
  std::vector<uint16_t> order;  // list order, most recent first
  for (int i = 0; i < 6; ++i) order.insert(order.begin(), alloc_object());
  for (uint16_t i : order) object_at(i).flags = kObjActive;
  const uint16_t trigger = order[2];
  const uint16_t victim = order[size_t(2 + wc.victim_offset)];
  const uint16_t also = wc.also_offset ? order[size_t(2 + wc.also_offset)] : kNoRecord;
  std::vector<uint16_t> visited;
  walk_objects([&](uint16_t i) {
    visited.push_back(i);
    if (i != trigger) return;
    if (wc.nested_clear) {
      object_at(victim).kind = 77;
      walk_objects([&](uint16_t j) {
        if (object_at(j).kind == 77) free_object(j);
      });
    } else {
      free_object(victim);
    }
    free_object(also);
    if (wc.allocate) object_at(alloc_object()).kind = 5;
  });
  std::vector<uint16_t> expected;
  for (size_t k = 0; k < order.size(); ++k)
    if ((order[k] != victim && order[k] != also) || k <= 2) expected.push_back(order[k]);
  EXPECT_EQ(visited, expected);
  check_objects();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PoolWalkTest,
    ::testing::Values(walk_case{"itself", 0, false, false}, walk_case{"successor", 1, false, false},
                      walk_case{"later", 3, false, false}, walk_case{"earlier", -2, false, false},
                      walk_case{"itself_then_alloc", 0, true, false},
                      walk_case{"successor_then_alloc", 1, true, false},
                      walk_case{"successor_nested", 1, false, true},
                      walk_case{"itself_and_successor", 0, false, false, 1},
                      walk_case{"itself_and_successor_then_alloc", 0, true, false, 1}),
    [](const ::testing::TestParamInfo<walk_case>& i) { return std::string(i.param.name); });

// Walks whose visits free and allocate at random: every record in use when the walk
// starts is visited once unless it was freed before its turn, in list order; records
// allocated during the walk are not visited.
TEST_F(PoolTest, RandomFreesAndAllocationsDuringWalks) {
  mt_seed_array(2024);
  for (int round = 0; round < 200; ++round) {
    init_object_pools();
    const int start = random_range(1, kObjectCount + 1);
    for (int i = 0; i < start; ++i) alloc_object();
    std::vector<uint16_t> order = check_objects();
    std::vector<int> state(kObjectCount, 0);  // 1 waiting, 2 visited, 3 freed first, 4 new
    for (uint16_t i : order) state[i] = 1;
    std::vector<uint16_t> visited;
    walk_objects([&](uint16_t i) {
      ASSERT_EQ(state[i], 1) << "round " << round << " record " << i;
      state[i] = 2;
      visited.push_back(i);
      const int frees = random_range(0, 4);
      for (int k = 0; k < frees; ++k) {
        const uint16_t j = uint16_t(random_range(0, kObjectCount));
        if (object_at(j).link.in_use && state[j] != 2) state[j] = 3;
        free_object(j);
      }
      const int allocs = random_range(0, 3);
      for (int k = 0; k < allocs; ++k) {
        const uint16_t j = alloc_object();
        if (j != kNoRecord) state[j] = 4;
      }
    });
    std::vector<bool> was_visited(kObjectCount, false);
    for (uint16_t i : visited) was_visited[i] = true;
    std::vector<uint16_t> expected;  // in list order, whatever became of them afterwards
    for (uint16_t i : order)
      if (was_visited[i]) expected.push_back(i);
    EXPECT_EQ(visited, expected) << "round " << round;
    for (uint16_t i : order)
      EXPECT_TRUE(was_visited[i] || state[i] == 3 || state[i] == 4)
          << "round " << round << " skipped " << i;
    check_objects();
  }
}

TEST_F(PoolTest, ClearingHelpersFreeWhatTheyName) {
  struct object_kind {
    uint16_t kind, flags;
  };
  const object_kind objects[] = {{1, 0}, {2, 3}, {18, 3}, {5, 3}, {0, 2}, {20, 1}, {7, 0x20}};
  for (const object_kind& s : objects) {
    game_object& o = object_at(alloc_object());
    o.kind = s.kind;
    o.flags = s.flags;
  }
  auto kinds = [] {
    std::multiset<int> k;
    for (uint16_t i = object_pool->heads[kObjectUsed]; i != kNoRecord; i = object_at(i).link.next)
      k.insert(object_at(i).kind);
    return k;
  };
  clear_object_shots();
  EXPECT_EQ(kinds(), (std::multiset<int>{1, 5, 0, 20, 7}));
  clear_enemies();  // flag bit 1 and a kind
  EXPECT_EQ(kinds(), (std::multiset<int>{1, 0, 20, 7}));
  free_objects_with_flags(0x21);
  EXPECT_EQ(kinds(), (std::multiset<int>{1, 0}));
  check_objects();
}

TEST_F(PoolTest, ParticleDelayThenHeadThenBothEnds) {
  particle& p = particle_at(alloc_particle());
  p = particle{p.link, 0, 0, 30, 10, 100, 256, -512, 0, 0, 0xFFFF, 1000, 2000, 1000, 2000};
  tick_step = 20;
  update_particles();
  EXPECT_EQ(p.delay, 10);
  EXPECT_EQ(p.head_x, 1000);
  update_particles();  // 10 of delay, then 10 of head time
  EXPECT_EQ(p.delay, 0);
  EXPECT_EQ(p.head_x, 1010);
  EXPECT_EQ(p.head_y, 1980);
  EXPECT_EQ(p.tail_x, 1000);
  update_particles();  // both ends
  EXPECT_EQ(p.tail_x, 1020);
  EXPECT_EQ(p.head_x, 1030);
  EXPECT_EQ(p.life, 80);
  tick_step = 500;
  update_particles();
  EXPECT_EQ(p.life, 0);
  EXPECT_EQ(p.tail_x, 1100);
  EXPECT_EQ(p.link.in_use, 1);  // drawn once more, freed at the next update
  update_particles();
  EXPECT_EQ(p.link.in_use, 0);
}

TEST_F(PoolTest, FadeTakesBlueFirstThenGreenThenRed) {
  particle& p = particle_at(alloc_particle());
  p.type = 1;
  p.colour = 0xFFFF;
  p.delay = p.head_time = 0;
  p.life = 100000;
  p.vx = p.vy = 0;
  tick_step = 896;  // a fade of 14
  struct step {
    int r, g, b;
  };
  const step expected[] = {{31, 63, 17}, {31, 63, 3}, {31, 49, 0}, {31, 35, 0}, {31, 21, 0},
                           {31, 7, 0},   {17, 0, 0},  {3, 0, 0},  {0, 0, 0}};
  for (const step& e : expected) {
    update_particles();
    EXPECT_EQ(p.colour >> 11, e.r);
    EXPECT_EQ((p.colour >> 5) & 63, e.g);
    EXPECT_EQ(p.colour & 31, e.b);
  }
  // A fade larger than a channel empties it and passes on whole.
  EXPECT_EQ(fade_colour(0x0821, 2), 0x0000);
}

TEST_F(PoolTest, ScorePopupGrowsHoldsAndShrinksAway) {
  score_popup& p = popup_at(alloc_score_popup());
  p.size = 1;
  p.grow_time = 12800;
  p.grow_rate = 14;
  p.hold_time = 25600;
  p.shrink_rate = 14;
  tick_step = 256;  // one tick a step
  int ticks = 0;
  while (p.link.in_use && ticks < 1000) {
    update_score_popups();
    ++ticks;
  }
  EXPECT_GE(ticks, 195);
  EXPECT_LE(ticks, 205);
}
