// The object step of a playing frame: hits on the ship and by the shots, kills, pick-ups,
// lives and the end of the game; then every object moves and bounces off the level's walls
// and the arena's border. Also the collision test between two objects and the bursts.
#pragma once

#include <cstdint>

struct game_object;

extern int32_t pickup40_count;     // kind-40 pick-ups toward the next life (0..4)
extern int32_t time_left;          // the timed mode's clock

void update_play();
int objects_overlap(const game_object* a, const game_object* b);
int segments_intersect(int32_t ax, int32_t ay, int32_t bx, int32_t by, int32_t cx, int32_t cy,
                       int32_t dx, int32_t dy);
// Squared closeness (24.8 units squared / 256) of a point to a segment's ends and midpoint.
int64_t point_segment_distance(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t px,
                               int32_t py);
void explode_big();
void explode_medium(uint16_t index);
// Ends the run (the last life lost or the time run out): the ship hidden and dead, the
// music stopped, the message shown, the state 6 and the score entered once.
void end_run(const char* message);
// Enters the run's score as "AAA" when it qualifies and the lives cheat was not used; a run
// enters its score at most once (run_score_entered, cleared when a run starts).
extern int32_t run_score_entered;
void enter_run_score();
