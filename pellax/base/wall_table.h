// The walls of levels 11 to 35: up to ten boxes (x, y, width, height) in pixels from the
// arena's corner at (128, 128); a box with x 999 ends a shorter list.
#pragma once

#include <cstdint>

struct wall_box {
  int32_t x, y, width, height;
};

constexpr int kFirstWallLevel = 11;
constexpr int kLastWallLevel = 35;
constexpr int kMaxWalls = 10;
constexpr int32_t kWallEnd = 999;

// Boxes of level 11 + i.
inline constexpr wall_box wall_table[kLastWallLevel - kFirstWallLevel + 1][kMaxWalls] = {
    /* 11 */ {{192, 192, 128, 128}, {kWallEnd, 0, 0, 0}},
    /* 12 */ {{kWallEnd, 0, 0, 0}},
    /* 13 */ {{100, 0, 100, 100}, {0, 220, 80, 100}, {140, 220, 160, 100}, {390, 220, 122, 100},
              {250, 60, 50, 160}, {300, 60, 112, 101}, {100, 382, 300, 81}, {256, 463, 100, 50},
              {kWallEnd, 0, 0, 0}},
    /* 14 */ {{220, 211, 120, 40}, {220, 253, 40, 80}, {300, 253, 40, 80}, {kWallEnd, 0, 0, 0}},
    /* 15 */ {{128, 0, 50, 468}, {304, 50, 50, 464}, {kWallEnd, 0, 0, 0}},
    /* 16 */ {{kWallEnd, 0, 0, 0}},
    /* 17 */ {{kWallEnd, 0, 0, 0}},
    /* 18 */ {{kWallEnd, 0, 0, 0}},
    /* 19 */ {{108, 98, 40, 40}, {236, 98, 40, 40}, {364, 98, 40, 40},
              {108, 236, 40, 40}, {236, 236, 40, 40}, {364, 236, 40, 40},
              {108, 374, 40, 40}, {236, 374, 40, 40}, {364, 374, 40, 40}, {kWallEnd, 0, 0, 0}},
    /* 20 */ {{kWallEnd, 0, 0, 0}},
    /* 21 */ {{kWallEnd, 0, 0, 0}},
    /* 22 */ {{128, 0, 30, 55}, {190, 9, 30, 46}, {250, 9, 30, 46}, {309, 0, 30, 55},
              {0, 100, 460, 30}, {60, 175, 454, 30}, {256, 305, 30, 210}, {158, 0, 151, 9},
              {43, 0, 15, 100}, {kWallEnd, 0, 0, 0}},
    /* 23 */ {{128, 0, 73, 32}, {128, 80, 73, 44}, {0, 124, 430, 30}, {0, 260, 70, 30},
              {110, 260, 400, 30}, {201, 0, 309, 8}, {330, 330, 70, 30}, {300, 330, 30, 160},
              {370, 360, 30, 130}, {330, 460, 40, 30}},
    /* 24 */ {{kWallEnd, 0, 0, 0}},
    /* 25 */ {{220, 0, 30, 240}, {220, 360, 30, 152}, {80, 240, 310, 11}, {185, 350, 101, 10},
              {70, 240, 10, 120}, {390, 0, 12, 512}, {272, 251, 14, 99}, {0, 161, 114, 11},
              {379, 251, 11, 110}, {kWallEnd, 0, 0, 0}},
    /* 26 */ {{kWallEnd, 0, 0, 0}},
    /* 27 */ {{kWallEnd, 0, 0, 0}},
    /* 28 */ {{100, 0, 100, 100}, {0, 220, 80, 100}, {140, 220, 160, 100}, {390, 220, 122, 100},
              {250, 60, 50, 160}, {300, 60, 112, 101}, {100, 382, 300, 81}, {256, 463, 100, 50},
              {kWallEnd, 0, 0, 0}},
    /* 29 */ {{kWallEnd, 0, 0, 0}},
    /* 30 */ {{kWallEnd, 0, 0, 0}},
    /* 31 */ {{kWallEnd, 0, 0, 0}},
    /* 32 */ {{kWallEnd, 0, 0, 0}},
    /* 33 */ {{kWallEnd, 0, 0, 0}},
    /* 34 */ {{kWallEnd, 0, 0, 0}},
    /* 35 */ {{kWallEnd, 0, 0, 0}},
};

// Calls visit(box) for each wall of a level (none outside 11..35); at most ten, since
// level 23 fills all ten without an end marker.
template <typename Visit>
void for_each_wall(int32_t level, Visit visit) {
  if (level < kFirstWallLevel || level > kLastWallLevel) return;
  for (const wall_box& b : wall_table[level - kFirstWallLevel]) {
    if (b.x == kWallEnd) return;
    visit(b);
  }
}
