// The fixed arrangements some levels start with: barriers, blocks, turrets, pick-ups and
// bosses at set points of the arena, placed before the director trickles enemies in. A
// spawn that finds the pool full places nothing and the rest of the list still runs.
#include <initializer_list>

#include "pellax/base/random.h"
#include "pellax/game/enemies/enemy_kinds.h"
#include "pellax/game/enemies/kind_steps.h"
#include "pellax/game/enemies/stage_director.h"

namespace {

struct point {
  int32_t x, y;  // pixels
};

void place(int32_t kind, int32_t x, int32_t y) { spawn_kind(kind, x * 256, y * 256); }

void place(int32_t kind, std::initializer_list<point> points) {
  for (const point& p : points) place(kind, p.x, p.y);
}

// A slider with its travel in pixels: an x range given as left-right, a y range as
// top-bottom; zeros for an axis it does not travel.
void slider(int32_t x, int32_t y, int32_t y_top, int32_t y_bottom, int32_t x_left, int32_t x_right) {
  spawn_kind109(x * 256, y * 256, y_top * 256, y_bottom * 256, x_right * 256, x_left * 256);
}

// The random point of a formation: x drawn first, then y.
point random_point(int32_t x_lo, int32_t x_hi, int32_t y_lo, int32_t y_hi) {
  const int32_t x = random_range(x_lo, x_hi);
  const int32_t y = random_range(y_lo, y_hi);
  return {x, y};
}

void place_random(int32_t kind, int32_t x_lo, int32_t x_hi, int32_t y_lo, int32_t y_hi) {
  const point p = random_point(x_lo, x_hi, y_lo, y_hi);
  place(kind, p.x, p.y);
}

// Bars and rocks of levels 13 and 28.
void station_debris() {
  place(kLyingBar, 352, 208);
  place(kUprightBar, {{500, 164}, {527, 318}, {418, 479}});
  place(kLyingBar, {{168, 280}, {248, 280}});
  place(kUprightBar, 275, 308);
  place(kRock, {{600, 306}, {620, 326}, {640, 346}, {320, 480}, {440, 480}, {300, 306}, {320, 326}, {280, 346}});
  place(kSmallRock, {{290, 336}, {600, 606}});
  place(kRock, 620, 626);
  place(kSmallRock, 580, 616);
  place(kRock, 580, 610);
  place(kSmallRock, 170, 606);
  place(kRock, {{172, 626}, {168, 616}});
  place(kSmallRock, 168, 606);
}

}  // namespace

void stage_spawn_formation(int32_t level) {
  switch (level) {
    case 4:
      place(kTrophyA, 600, 600);
      break;
    case 7:
      place(kTetherBarrier, {{330, 330}, {360, 360}, {360, 330}, {330, 360}});
      break;
    case 10:
      place(kSquareBlock, {{134, 578}, {160, 578}, {186, 578}, {186, 602}, {186, 626}});
      place(kTrophyB, 156, 600);
      break;
    case 13:
      shape_scale = 160;
      station_debris();
      place(kFixedTurret, {{368, 480}, {268, 480}, {168, 480}, {600, 180}, {520, 620}, {200, 620}});
      place(kTetherBarrier, {{180, 608}, {610, 608}});
      place(kAsterisk, {{369, 342}, {433, 297}});
      break;
    case 14:
      place(
          kFixedTurret,
          {{256, 200}, {384, 200}, {512, 200}, {208, 280}, {208, 380}, {208, 480}, {512, 280}, {512, 380}, {512, 480}});
      break;
    case 15:
      place(kTetherBarrier, {{180, 608}, {610, 608}});
      place(kRock, {{300, 306}, {320, 326}, {280, 346}});
      place(kSmallRock, {{290, 336}, {600, 406}});
      place(kRock, 610, 426);
      place(kSmallRock, 580, 416);
      place(kRock, 580, 410);
      place(kFixedTurret, {{348, 260}, {325, 360}, {168, 280}, {595, 180}});
      place(kTrophyC, 152, 154);
      place(kLyingBar, 161, 192);
      place(kUprightBar, 196, 164);
      break;
    case 19:
      for (int32_t y : {173, 311, 454, 587})
        for (int32_t x : {256, 384, 512}) place(kUprightBar, x, y);
      for (int32_t y : {241, 389, 527})
        for (int32_t x : {180, 318, 446, 584}) place(kLyingBar, x, y);
      place(
          kLifeSpinner,
          {{321, 173}, {449, 173}, {577, 164}, {321, 311}, {449, 311}, {577, 311}, {321, 444}, {449, 444}, {577, 444}});
      break;
    case 20:
      place(kTrophyD, 370, 350);
      place(kSquareBlock, {{320, 330},
                           {320, 350},
                           {320, 370},
                           {330, 340},
                           {330, 360},
                           {420, 330},
                           {420, 350},
                           {420, 370},
                           {410, 340},
                           {410, 360}});
      for (int32_t y : {330, 370})
        for (int32_t x : {350, 360, 370, 380, 390}) place(kSquareBlock, x, y);
      break;
    case 22:
      place(kBouncingBarrier, {{303, 140}, {365, 140}, {425, 140}});
      place(kAsterisk, {{273, 225}, {335, 225}, {395, 225}});
      // Only the heavy spinner waits for the count: after the detour through level 20 the
      // level comes back without it.
      if (pickup108_count == 0) place(kHeavySpinner, 147, 146);
      place(kAsterisk, 194, 217);
      place(kLifeSpinner, {{238, 160}, {198, 160}, {238, 180}, {198, 180}, {218, 200}, {600, 600}});
      for (int32_t x = 250; x <= 550; x += 50) place(kAsterisk, x, 300);
      break;
    case 23:
      place(kBouncingBarrier, {{343, 140}, {405, 140}, {465, 140}});
      place(kTetherBarrier, 645, 180);
      place(kAsterisk, 250, 250);
      place(kBouncingBarrier, {{465, 150}, {557, 148}, {535, 155}, {625, 165}});
      place(kOscillatingBarrier, 365, 300);
      place(kAsterisk, 350, 387);
      place(kOscillatingBarrier, 465, 315);
      place(kAsterisk, 450, 387);
      place(kOscillatingBarrier, 557, 303);
      place(kAsterisk, 544, 387);
      place(kOscillatingBarrier, 435, 325);
      place(kAsterisk, 254, 390);
      place(kOscillatingBarrier, 535, 310);
      place(kAsterisk, {{192, 388}, {175, 388}, {183, 378}, {392, 628}, {375, 628}, {383, 618}});
      place(kTallySpinner, {{505, 160}, {595, 360}, {305, 340}});
      place(kRock, {{275, 360}, {375, 360}, {405, 360}});
      place(kTallySpinner, {{625, 450}, {625, 620}, {175, 620}});
      place(kLifeSpinner, 480, 520);
      break;
    case 25: {
      place(kStarBarrier, 265, 430);
      place(kTurningBoss, 355, 430);
      place(kStarBarrier, {{454, 430}, {425, 560}, {465, 560}});
      place(kHeavySpinner, {{584, 617}, {502, 625}, {391, 354}});
      slider(400, 200, 0, 0, 380, 510);
      slider(450, 240, 0, 0, 380, 510);
      slider(350, 280, 0, 0, 380, 510);
      slider(490, 320, 0, 0, 380, 510);
      slider(560, 134, 132, 640, 0, 0);
      slider(610, 134, 132, 640, 0, 0);
      for (int32_t y = 480; y <= 600; y += 20) {
        for (int32_t x = 544; x <= 624; x += 20) {
          const bool cross = (x == 564 && y == 500) || (x == 584 && y == 520) || (x == 604 && y == 580) ||
                             (x == 604 && y == 600) || (x == 624 && y == 600);
          place(cross ? 29 : 110, x, y);
        }
      }
      place(kCrossBox, {{218, 148}, {218, 168}, {218, 198}, {218, 228}, {218, 258}});
      place(kCrossBox, {{248, 158}, {248, 178}, {248, 208}, {248, 238}, {248, 268}});
      place(kCrossBox, {{268, 168}, {268, 188}, {268, 218}, {268, 248}, {268, 278}});
      place(kTetherBarrier, {{134, 318}, {134, 620}, {234, 620}, {250, 450}, {260, 520}});
      place(kShieldSpinner, 160, 240);
      break;
    }
    case 26:
      slider(400, 200, 0, 0, 250, 530);
      slider(450, 400, 0, 0, 138, 628);
      slider(350, 600, 0, 0, 250, 530);
      for (int32_t x : {230, 550})
        for (int32_t y = 136; y <= 216; y += 20) place(kSquareBlock, x, y);
      for (int32_t x : {230, 550})
        for (int32_t y = 546; y <= 626; y += 20) place(kSquareBlock, x, y);
      break;
    case 27:
      for (int32_t i = 0; i < 20; ++i) {
        place_random(29, 128, 330, 370, 450);
        place_random(29, 260, 340, 450, 630);
      }
      place(kSquareBlock, {{238, 570},
                           {238, 490},
                           {238, 510},
                           {238, 530},
                           {238, 550},
                           {238, 590},
                           {238, 610},
                           {238, 630},
                           {238, 470},
                           {136, 470},
                           {156, 470},
                           {176, 470},
                           {196, 470},
                           {216, 470}});
      place(kShieldSpinner, {{186, 530}, {196, 550}});
      slider(155, 134, 132, 640, 0, 0);
      slider(200, 134, 132, 640, 0, 0);
      place(kLifeSpinner, {{500, 234}, {134, 610}, {300, 300}});
      break;
    case 28: {
      shape_scale = 160;
      station_debris();
      // Each turret but the last shares its point with a life counter.
      const point turrets[] = {{368, 480}, {268, 480}, {168, 480}, {600, 180}, {520, 620}};
      for (const point& p : turrets) {
        place(kFixedTurret, p.x, p.y);
        place(kLifeSpinner, p.x, p.y);
      }
      place(kFixedTurret, 200, 620);
      place(kTetherBarrier, {{180, 608}, {610, 608}});
      place(kAsterisk,
            {{369, 342}, {433, 297}, {527, 297}, {527, 317}, {527, 337}, {418, 461}, {418, 481}, {418, 501}});
      place(kShieldSpinner, 315, 610);
      place(kLifeSpinner, {{134, 134}, {164, 134}, {134, 154}, {164, 154}, {148, 174}});
      place(kShieldSpinner, {{490, 360}, {490, 380}, {490, 400}, {490, 420}, {490, 440}});
      break;
    }
    case 29:
      place(kBigRock, {{300, 300}, {500, 500}, {200, 200}, {200, 400}, {500, 200}});
      place(kArmouredMorpher, {{180, 180}, {580, 180}, {580, 580}, {180, 580}});
      place(kShieldSpinner,
            {{200, 200}, {400, 400}, {194, 134}, {460, 480}, {300, 200}, {190, 500}, {160, 550}, {200, 500}});
      place(kLifeSpinner, {{164, 164}, {230, 530}, {380, 280}, {430, 180}, {590, 580}, {610, 530}});
      break;
    case 30:
      place(kBigRock, {{500, 500}, {400, 400}});
      place(kArmouredMorpher, 180, 580);
      place(kShieldSpinner, {{134, 134},
                             {500, 500},
                             {250, 250},
                             {400, 150},
                             {400, 400},
                             {500, 500},
                             {160, 550},
                             {250, 500},
                             {160, 160},
                             {134, 180},
                             {155, 145}});
      place(kLifeSpinner, {{164, 164},
                           {530, 530},
                           {280, 280},
                           {430, 180},
                           {430, 430},
                           {530, 530},
                           {190, 580},
                           {280, 530},
                           {150, 144},
                           {200, 180}});
      break;
    case 31:
      for (int32_t i = 0; i < 30; ++i) {
        place_random(10, 128, 400, 490, 600);
        if (i <= 5) place_random(103, 134, 400, 490, 600);
        if (i <= 25) place(kSquareBlock, 134 + 20 * i, 400);
        if (i <= 10) place(kSquareBlock, 494, 624 - 20 * i);
      }
      for (int32_t kind : {22, 110, 40})
        for (int32_t y : {550, 570, 590, 610, 530}) place(kind, kind == 40 ? 580 : 560, y);
      break;
    case 32:
      for (int32_t i = 0; i < 8; ++i) place_random(115, 134, 600, 134, 600);
      place(kShieldSpinner, {{194, 194}, {500, 500}, {250, 250}});
      break;
    case 34:
      place(kTurningBoss, 355, 190);
      place(kPatrolSpinner, {{200, 200}, {455, 200}, {200, 250}, {455, 250}});
      for (int32_t x = 140; x <= 500; x += 40) place(kPatrolSpinner, x, 500);
      for (int32_t x = 200; x <= 560; x += 40) place(kPatrolSpinner, x, 400);
      for (int32_t x = 140; x <= 500; x += 40) place(kPatrolSpinner, x, 300);
      break;
    default:
      break;
  }
}
