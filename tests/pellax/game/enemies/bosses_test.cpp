// The bosses: the hunters' cadence, the turning boss's fade, the deaths with their music,
// debris and sweep, and the chain: its links, how it unfolds, fires and splits.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "pellax/game/enemies/kind_steps.h"
#include "tests/pellax/game/game_fixture.h"

namespace {

using BossTest = GameTest;

int count_used(int kind) {
  int n = 0;
  walk_objects([&](uint16_t i) { n += object_at(i).kind == kind; });
  return n;
}

std::vector<std::string> tracks() {
  std::vector<std::string> t;
  for (const audio_event& e : audio_events())
    if (e.name == "music_load") t.push_back(e.path);
  return t;
}

TEST_F(BossTest, SpawnValues) {
  struct row {
    int32_t kind, base;
    bool moves;
  };
  for (const row& r : {row{25, 44, true}, row{27, 50, true}, row{104, 50, false}}) {
    SCOPED_TRACE(r.kind);
    game_object* o = spawn_at(r.kind, 300, 300);
    EXPECT_EQ(o->segment_count, 3 * r.base);
    EXPECT_EQ(o->hit_count, r.base);
    EXPECT_EQ(o->hit_points, 30);
    EXPECT_EQ(o->score, 1500);
    EXPECT_EQ(o->flags, kObjDrawn | kObjActive | kObjWarping);
    EXPECT_EQ(r.moves, o->vx != 0.0f || o->vy != 0.0f);
    EXPECT_EQ(kind_alive[r.kind], 1);
  }
}

// The spawn's draws in their order: the spin, the angle, then (the hunters) the velocity's
// factors, x before y.
TEST_F(BossTest, SpawnDrawsInTheListedOrder) {
  for (int32_t kind : {25, 27, 104}) {
    SCOPED_TRACE(kind);
    mt_seed(11);
    const int32_t r = random_range(0, 100);
    const float a = float(random_range(0, 1000)) * 6.283f / 1000.0f;
    const int32_t fx = random_range(80, 150), fy = random_range(80, 150);
    const bool moves = kind != 104;
    mt_seed(11);
    const game_object* o = spawn_at(kind, 300, 300);
    EXPECT_FLOAT_EQ(o->spin, float(r) / 2500.0f - 0.02f);
    EXPECT_FLOAT_EQ(o->angle, a);
    EXPECT_NEAR(o->vx, moves ? speed_scale(0.8f, 0.2f) * std::sin(a) * float(fx) / 256.0f : 0.0f, 1e-6f);
    EXPECT_NEAR(o->vy, moves ? speed_scale(0.8f, 0.2f) * std::cos(a) * float(fy) / 256.0f : 0.0f, 1e-6f);
  }
}

// Each frame a hunter accelerates toward the ship by s(0.35, 0.1) x 0.032 on each axis,
// both components lose 1 % when either is beyond s(0.5, 0.09) x 0.4, and a keep-apart
// object within 20 px pushes it away by 0.05.
TEST_F(BossTest, HuntersSteerAndKeepApart) {
  const float accel = speed_scale(0.35f, 0.1f) * 0.032f;
  struct row {
    float vx;
    int32_t neighbour_dx;  // pixels right of the hunter; 0 for none
    float want_vx, want_vy;
  };
  const row rows[] = {{0.0f, 0, accel, accel},
                      {1.0f, 0, (1.0f + accel) * 0.99f, accel * 0.99f},
                      {0.0f, 15, accel - 0.05f, accel},
                      {0.0f, -15, accel + 0.05f, accel},
                      {0.0f, 21, accel, accel}};
  for (int32_t kind : {25, 27}) {
    for (const row& r : rows) {
      SCOPED_TRACE(kind * 100 + r.neighbour_dx);
      free_objects_with_flags(kObjActive);
      game_object* o = spawn_settled(kind, 200, 200);
      o->x = o->y = 200 * 256;  // the ship is below and right of it
      if (r.neighbour_dx != 0) {
        game_object* n = spawn_settled(5, 200, 200);
        n->x = (200 + r.neighbour_dx) * 256;
        n->y = 200 * 256;
      }
      o->vx = r.vx;
      o->vy = 0.0f;
      enemy_update(o, 256);
      EXPECT_NEAR(o->vx, r.want_vx, 1e-6f);
      EXPECT_NEAR(o->vy, r.want_vy, 1e-6f);
    }
  }
}

// Counted in updates, during the warp-in and while the ship is dead too: a shot every 28
// (the first on the 29th) or a mine every 15 (the first on the 16th).
TEST_F(BossTest, HuntersFireByUpdateCount) {
  struct row {
    int32_t kind, missile;
    std::vector<int> on;
  };
  for (const row& r : {row{25, 18, {29, 57}}, row{27, 28, {16, 31, 46}}}) {
    SCOPED_TRACE(r.kind);
    free_objects_with_flags(kObjActive);
    player_dead = 1;
    game_object* o = spawn_at(r.kind, 300, 300);
    std::vector<int> on;
    for (int u = 1; u <= 60; ++u) {
      const int before = count_used(r.missile);
      enemy_update(o, u < 20 ? 256 : 2000);
      if (count_used(r.missile) > before) on.push_back(u);
    }
    EXPECT_EQ(on, r.on);
    player_dead = 0;
  }
}

// Below level 30, once under 10 hit points: its music, a swell to 404 and a shrink to 4
// with its hit points held at 8, five kills counted on the way down, then the music off.
TEST_F(BossTest, TheTurningBossFadesOut) {
  level_number = 25;
  game_object* o = spawn_settled(104, 355, 300);
  o->hit_points = 9;
  audio_events().clear();
  std::vector<int32_t> scales;
  int counted = 0, peak = 0;
  for (int u = 0; u < 200 && o->counters[0] != 2; ++u) {
    const int32_t before = kind_killed[104];
    enemy_update(o, 256);
    counted += kind_killed[104] - before;
    peak = std::max(peak, o->scale);
    EXPECT_EQ(o->hit_points, 8);
    if (kind_killed[104] != before) scales.push_back(o->scale);
  }
  EXPECT_EQ(peak, 404);
  EXPECT_EQ(scales, (std::vector<int32_t>{36, 28, 20, 12, 4}));
  EXPECT_EQ(counted, 5);
  EXPECT_EQ(tracks(), std::vector<std::string>{"lft.lvl"});
  EXPECT_EQ(audio_event_names().back(), "music_off");
  // Done: it stays, tiny, until nine more hits end it.
  for (int u = 0; u < 20; ++u) enemy_update(o, 256);
  EXPECT_EQ(o->scale, 4);
  EXPECT_TRUE(o->link.in_use);
  EXPECT_EQ(tracks().size(), 1u);
  // From level 30 on it never fades.
  level_number = 30;
  game_object* late = spawn_settled(104, 300, 300);
  late->hit_points = 1;
  for (int u = 0; u < 50; ++u) enemy_update(late, 256);
  EXPECT_EQ(late->scale, 0);
  EXPECT_EQ(late->hit_points, 1);
}

// The turning boss stays where it is, turns at a quarter of its spin and steps its
// variant every 15 ticks, twice as often while it fades.
TEST_F(BossTest, TheTurningBossTurnsSlowlyInPlace) {
  level_number = 25;
  for (int32_t hit_points : {30, 9}) {
    SCOPED_TRACE(hit_points);
    free_objects_with_flags(kObjActive);
    game_object* o = spawn_settled(104, 355, 300);
    o->hit_points = hit_points;
    const float angle = o->angle;
    std::vector<int> steps;
    for (int u = 1; u <= 32; ++u) {
      const int32_t before = o->variant;
      enemy_update(o, 256);
      if (o->variant != before) steps.push_back(u);
    }
    EXPECT_EQ(steps, (hit_points == 30 ? std::vector<int>{16, 31} : std::vector<int>{8, 16, 23, 31}));
    EXPECT_NEAR(o->angle - angle, 32.0f * o->spin / 4.0f, 1e-4f);
    EXPECT_EQ(o->x, 355 * 256);
    EXPECT_EQ(o->y, 300 * 256);
  }
}

TEST_F(BossTest, DeathMusicByKindAndLevel) {
  struct row {
    int32_t kind, level;
    std::vector<std::string> tracks;
    int hits_sound;  // sfx 3 played by the death itself
  };
  const row rows[] = {{25, 9, {"shs.lvl"}, 0}, {25, 10, {}, 0}, {27, 4, {}, 10}, {104, 12, {"bety.lvl"}, 0}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.kind * 100 + r.level);
    free_objects_with_flags(kObjActive);
    level_number = r.level;
    kind_killed[r.kind] = 0;
    game_object* o = spawn_settled(r.kind, 300, 300);
    audio_events().clear();
    kill_kind(r.kind, object_index(o));
    EXPECT_EQ(tracks(), r.tracks);
    EXPECT_EQ(audio_event_count("sfx_play", 3), r.hits_sound);
    EXPECT_EQ(kind_killed[r.kind], 1);
  }
}

// The single bosses absorb 30 hits and die on the 31st; the turning boss below level 30
// begins its fade in the frame of the 21st, holds its hit points at 8 through the fade and
// afterwards, tiny, dies on the ninth further hit.
TEST_F(BossTest, HitsToKillTheBosses) {
  // Real shots at the middle of the boss's first hit segment, one a frame, until it dies
  // or the limit is reached: the hits it took to die, or -1 while it lives. A hunter is
  // held at its fire count, so that no shot or mine of its own gets in the way.
  auto shoot_until_dead = [](game_object* o, int limit) {
    const uint64_t serial = o->link.serial;
    auto alive = [&] { return o->link.in_use && o->link.serial == serial; };
    int hits = 0;
    while (hits < limit && alive()) {
      if (o->kind != 104) o->counters[0] = 0;
      const int32_t mx = o->x + (o->world_x1[0] + o->world_x2[0]) / 2;
      const int32_t my = o->y + (o->world_y1[0] + o->world_y2[0]) / 2;
      shot_at(mx / 256, my / 256);
      update_play();
      ++hits;
    }
    return alive() ? -1 : hits;
  };
  struct row {
    int32_t kind, level;
  };
  for (const row& r : {row{25, 9}, row{27, 10}, row{104, 30}}) {
    SCOPED_TRACE(r.kind * 100 + r.level);
    free_objects_with_flags(kObjActive);
    level_number = r.level;
    game_object* o = spawn_settled(r.kind, 384, 300);
    o->vx = o->vy = o->spin = 0.0f;
    EXPECT_EQ(shoot_until_dead(o, 40), 31);
  }
  free_objects_with_flags(kObjActive);
  level_number = 25;
  game_object* o = spawn_settled(104, 384, 300);
  o->spin = 0.0f;
  EXPECT_EQ(shoot_until_dead(o, 21), -1);
  EXPECT_EQ(o->counters[1], 1) << "the fade began";
  for (int u = 0; u < 200 && o->counters[0] != 2; ++u) update_play();
  ASSERT_EQ(o->counters[0], 2);
  EXPECT_EQ(o->hit_points, 8);
  EXPECT_EQ(shoot_until_dead(o, 20), 9);
}

// The debris lands where the pool has room; whatever of it lies in the first hundred slots
// is swept at once, with every block, square, turret and rock there, each scoring.
TEST_F(BossTest, DebrisAndTheSweep) {
  struct row {
    int fill;  // objects placed in the first slots before the boss
    int debris_left, score;
  };
  // An empty pool: all fourteen land low and are swept (1500 + 7 x 100 + 3 x 150 + 4 x 100).
  // The first hundred slots taken by bars: none is swept, all fourteen stay.
  for (const row& r : {row{0, 0, 3050}, row{100, 14, 1500}}) {
    SCOPED_TRACE(r.fill);
    free_objects_with_flags(0xFFFF);
    create_player_ship();
    while (used_objects() < r.fill) spawn_kind(31, 200 * 256, 200 * 256);
    game_object* o = spawn_settled(25, 300, 300);
    game_score = 0;
    kill_kind(25, object_index(o));
    EXPECT_EQ(count_used(23) + count_used(4) + count_used(3), r.debris_left);
    EXPECT_EQ(game_score, r.score);
  }
  // A turret in the first slots goes too.
  free_objects_with_flags(0xFFFF);
  create_player_ship();
  game_object* turret = spawn_at(21, 200, 200);
  game_object* boss = spawn_at(27, 300, 300);
  kill_kind(27, object_index(boss));
  EXPECT_FALSE(turret->link.in_use);
  EXPECT_EQ(kind_killed[21], 1);
}

struct chain {
  std::vector<game_object*> links;  // tail first
};

// The links of the chain just made, tail first (they are the newest records).
chain chain_of(int links) {
  chain c;
  uint16_t i = object_pool->heads[kObjectUsed];
  for (int k = 0; k < links; ++k, i = object_at(i).link.next) c.links.insert(c.links.begin(), &object_at(i));
  return c;
}

uint16_t ahead(const game_object& o) { return uint16_t(uint32_t(o.variant) >> 16); }
uint16_t behind(const game_object& o) { return uint16_t(uint32_t(o.variant) & 0xFFFF); }

TEST_F(BossTest, AChainIsLinkedTailToHead) {
  spawn_kind9(300 * 256, 300 * 256, 3, 0.7f);
  const chain c = chain_of(3);
  EXPECT_EQ(kind_alive[9], 1);
  const uint16_t flags[] = {7, 15, 31};
  const uint16_t colours[] = {0xF904, 0xF91F, 0xFA1F};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(c.links[k]->flags, flags[k]);
    EXPECT_EQ(c.links[k]->colour_a[0], colours[k]);
    EXPECT_EQ(c.links[k]->score, 1000);
    EXPECT_EQ(ahead(*c.links[k]), k == 2 ? 0xFFFF : object_index(c.links[k + 1]));
    EXPECT_EQ(behind(*c.links[k]), k == 0 ? 0xFFFF : object_index(c.links[k - 1]));
  }
  EXPECT_NEAR(std::hypot(c.links[2]->vx, c.links[2]->vy), 0.7f, 1e-6f);
  EXPECT_FLOAT_EQ(c.links[0]->vx, 0.1f);
  // One link: a head alone, worth 150.
  spawn_kind9(300 * 256, 300 * 256, 1, 0.7f);
  game_object& one = object_at(object_pool->heads[kObjectUsed]);
  EXPECT_EQ(one.flags, 23);
  EXPECT_EQ(one.score, 150);
  EXPECT_EQ(kind_alive[9], 2);
}

// A pool with room for two links of eight: the two are a chain, counted once, whose head
// death counts it out again.
TEST_F(BossTest, AChainCutShortByAFullPoolCountsOnce) {
  while (used_objects() < kObjectCount - 2) alloc_object();
  spawn_kind9(300 * 256, 300 * 256, 8, 0.6f);
  EXPECT_EQ(used_objects(), kObjectCount);
  EXPECT_EQ(kind_alive[9], 1);
  const chain c = chain_of(2);
  EXPECT_EQ(ahead(*c.links[1]), 0xFFFF);
  kill_kind(9, object_index(c.links[1]));
  EXPECT_EQ(kind_alive[9], 0);
  EXPECT_EQ(kind_killed[9], 1);
}

// The head moves off; each link waits until the one ahead is 30 px away (at scale 160:
// 18.75 px), then trails 15 px (9.4) behind the end of that one's segment 1.
TEST_F(BossTest, TheChainUnfoldsAndTrails) {
  spawn_kind9(300 * 256, 300 * 256, 3, 0.7f);
  const chain c = chain_of(3);
  for (game_object* l : c.links) settle(l);
  for (int u = 0; u < 80; ++u)
    for (int k = 2; k >= 0; --k) enemy_update(c.links[k], 256);
  for (int k = 0; k < 2; ++k) {
    const game_object& me = *c.links[k];
    const game_object& leader = *c.links[k + 1];
    EXPECT_TRUE(me.flags & 0x10) << k;
    const float tx = float(leader.x + leader.world_x2[1]) / 256.0f, ty = float(leader.y + leader.world_y2[1]) / 256.0f;
    EXPECT_NEAR(std::hypot(tx - me.x / 256.0f, ty - me.y / 256.0f), 15.0f * 160.0f / 256.0f, 0.02f) << k;
  }
  // Not yet released: a follower sits where it was made and turns with its leader.
  spawn_kind9(200 * 256, 200 * 256, 2, 0.7f);
  const chain d = chain_of(2);
  for (game_object* l : d.links) settle(l);
  enemy_update(d.links[1], 256);
  enemy_update(d.links[0], 256);
  EXPECT_FALSE(d.links[0]->flags & 0x10);
  EXPECT_EQ(d.links[0]->x, 200 * 256);
  EXPECT_EQ(d.links[0]->angle, d.links[1]->angle);
}

// The head fires only when it must turn the long way round, every fifth time, never in
// level 20.
TEST_F(BossTest, TheHeadFiresOnALongTurn) {
  struct row {
    int32_t level;
    float angle;  // of the head, the ship straight right of it (heading about 1.57)
    int32_t counter_before;
    bool fires;
  };
  const row rows[] = {{5, 1.2f, 4, false}, {5, 5.5f, 4, true}, {5, 5.5f, 3, false}, {20, 5.5f, 4, false}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.level * 100 + r.counter_before);
    free_objects_with_flags(kObjActive);
    level_number = r.level;
    spawn_kind9(200 * 256, 384 * 256, 1, 0.7f);
    game_object& head = object_at(object_pool->heads[kObjectUsed]);
    settle(&head);
    head.timer = 0;  // weaving off the heading by -1 rad: 0.57
    head.angle = r.angle;
    chain_fire_counter = r.counter_before;
    enemy_update(&head, 256);
    EXPECT_EQ(count_used(18), r.fires ? 1 : 0);
  }
}

// A follower is let go once its leader is more than 30 px away at the default scale
// (at scale 160: 18.75 px); the head turns toward its weave point by s(0.7, 0.3) x 0.0314
// a tick, to the heading less a radian for the first P/2 ticks of P = 200 / s(0.5, 0.05).
TEST_F(BossTest, FollowersWaitForTheirDistanceTheHeadTurnsAtItsRate) {
  spawn_kind9(200 * 256, 300 * 256, 2, 0.7f);
  const chain c = chain_of(2);
  for (game_object* l : c.links) settle(l);
  float at_release = 0.0f, before_release = 0.0f;
  for (int u = 0; u < 60 && !(c.links[0]->flags & 0x10); ++u) {
    before_release = std::hypot(float(c.links[1]->x - c.links[0]->x), float(c.links[1]->y - c.links[0]->y)) / 256.0f;
    enemy_update(c.links[1], 256);
    at_release = std::hypot(float(c.links[1]->x - c.links[0]->x), float(c.links[1]->y - c.links[0]->y)) / 256.0f;
    enemy_update(c.links[0], 256);
  }
  EXPECT_TRUE(c.links[0]->flags & 0x10);
  EXPECT_GT(at_release, 18.75f);
  EXPECT_LE(before_release, 18.75f);
  // The ship is straight right of the head: heading 1.5708, weave point 0.5708 or 2.5708.
  const int32_t period = int32_t(200.0f / speed_scale(0.5f, 0.05f));
  struct row {
    int32_t timer;  // before the update adds its tick
    float angle, turn;
  };
  const row rows[] = {{0, 1.2f, -1.0f}, {0, 0.3f, 1.0f}, {(period / 2 - 1) * 256, 1.2f, 1.0f}, {(period - 1) * 256, 1.2f, -1.0f}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.timer * 10 + int32_t(r.angle * 10));
    free_objects_with_flags(kObjActive);
    spawn_kind9(200 * 256, 384 * 256, 1, 0.7f);
    game_object& head = object_at(object_pool->heads[kObjectUsed]);
    settle(&head);
    head.timer = r.timer;
    head.angle = r.angle;
    enemy_update(&head, 256);
    EXPECT_NEAR(head.angle - r.angle, r.turn * speed_scale(0.7f, 0.3f) * 0.0314f, 1e-5f);
  }
}

// A link's death splits its chain.
TEST_F(BossTest, KillingALinkSplitsTheChain) {
  struct row {
    int32_t victim;  // 0 tail .. 3 head of four
    bool head_death;
  };
  for (const row& r : {row{0, false}, row{1, false}, row{3, true}}) {
    SCOPED_TRACE(r.victim);
    free_objects_with_flags(kObjActive);
    kind_alive[9] = kind_killed[9] = 0;
    spawn_kind9(300 * 256, 300 * 256, 4, 0.7f);
    const chain c = chain_of(4);
    kill_kind(9, object_index(c.links[r.victim]));
    EXPECT_FALSE(c.links[r.victim]->link.in_use);
    EXPECT_EQ(kind_killed[9], r.head_death ? 1 : 0);
    EXPECT_EQ(kind_alive[9], r.head_death ? 0 : 1);
    if (r.victim < 3) {
      // The link ahead is the front piece's tail now.
      const game_object& front = *c.links[r.victim + 1];
      EXPECT_EQ(front.flags, kObjDrawn | kObjActive);
      EXPECT_EQ(front.colour_a[5], 0xF904);
      EXPECT_EQ(behind(front), 0xFFFF);
    }
    if (r.victim > 0) {
      // The link behind leads the back piece; shielded when it still has a tail.
      const game_object& back = *c.links[r.victim - 1];
      EXPECT_EQ(ahead(back), 0xFFFF);
      EXPECT_EQ((back.flags & kObjBarrier) != 0, r.victim > 1);
      EXPECT_EQ(back.colour_a[0] == 0xFA1F, r.victim > 1);
    }
  }
}

// A neighbour's slot that holds another kind by now is left alone.
TEST_F(BossTest, AStaleNeighbourSlotIsNotWritten) {
  spawn_kind9(300 * 256, 300 * 256, 2, 0.7f);
  const chain c = chain_of(2);
  const uint16_t slot = object_index(c.links[1]);
  free_object(slot);
  game_object* other = spawn_at(3, 200, 200);
  ASSERT_EQ(object_index(other), slot);
  const uint16_t flags = other->flags;
  const int32_t variant = other->variant;
  kill_kind(9, object_index(c.links[0]));
  EXPECT_EQ(other->flags, flags);
  EXPECT_EQ(other->variant, variant);
}

}  // namespace
