#include "pellax/game/game_standins.h"

#include <cstring>

#include "pellax/game/draw_passes.h"
#include "pellax/game/frame_loop.h"
#include "pellax/game/game_states.h"
#include "pellax/game/object_helpers.h"
#include "pellax/game/object_pool.h"
#include "pellax/game/particles.h"
#include "pellax/game/run_state.h"
#include "pellax/game/score_popups.h"
#include "pellax/game/stroke_font.h"
#include "pellax/game/world_image.h"
#include "pellax/platform/audio.h"
#include "pellax/platform/input.h"
#include "pellax/platform/video.h"

namespace {

void camera_home() {
  camera_x = 0xE000;
  camera_y = 0x10800;
}

// A segment of a model with one colour.
void add_segment(game_object& o, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint16_t c) {
  if (o.segment_count >= kMaxSegments) return;
  const int32_t i = o.segment_count++;
  o.model_x1[i] = x1 * 256;
  o.model_y1[i] = y1 * 256;
  o.model_x2[i] = x2 * 256;
  o.model_y2[i] = y2 * 256;
  o.colour_a[i] = o.colour_b[i] = c;
}

}  // namespace

void enemy_update(game_object* obj, int32_t) {
  // A decoration turns; everything else stands still until its kind is built.
  if (obj->kind == 20) {
    obj->angle += obj->spin * frame_time;
    transform_object(obj);
  }
}

void spawn_kind20(int32_t x, int32_t y, uint16_t colour, float spin) {
  const uint16_t i = alloc_object();
  if (i == kNoRecord) return;
  game_object& o = object_at(i);
  o.flags = kObjDrawn | kObjActive;
  o.kind = 20;
  o.x = x;
  o.y = y;
  o.scale = 0;
  o.angle = 0.0f;
  o.spin = spin;
  o.vx = o.vy = 0.0f;
  o.mass = 1.0f;
  o.segment_count = 0;
  o.hit_count = 0;
  add_segment(o, -12, -12, 12, -12, colour);
  add_segment(o, 12, -12, 12, 12, colour);
  add_segment(o, 12, 12, -12, 12, colour);
  add_segment(o, -12, 12, -12, -12, colour);
  transform_object(&o);
}

void stage_reset() {}

void create_player_ship() {
  const uint16_t i = alloc_object();
  if (i == kNoRecord) return;
  game_object& o = object_at(i);
  o.flags = kObjDrawn;
  o.kind = 1;
  o.scale = 0;
  o.angle = 0.0f;
  o.spin = 0.0f;
  o.vx = o.vy = 0.0f;
  o.mass = 10.0f;
  o.segment_count = 0;
  o.hit_count = 0;
  add_segment(o, 0, -20, 12, 12, 0x07FF);
  add_segment(o, 12, 12, 0, 4, 0x07FF);
  add_segment(o, 0, 4, -12, 12, 0x07FF);
  add_segment(o, -12, 12, 0, -20, 0x07FF);
  transform_object(&o);
  player_object = &o;
}

void place_player_ship() {
  if (!player_object) return;
  player_object->x = camera_x + 160 * 256;
  player_object->y = camera_y + 150 * 256;
  player_object->flags |= kObjDrawn;
}

void shield_step(uint32_t buttons) {
  if (!(buttons & kButtonY) || shield_energy <= 0) return;
  shield_on = 1;
  const int32_t cost = tick_step * 4 / 3;
  shield_energy = shield_energy > cost ? shield_energy - cost : 0;
}

void explode_big() {}
void show_message(const char*) {}
void load_high_scores() {}
void run_high_score_screen(uint16_t*, int32_t) {}

void draw_pause_menu(uint16_t* surface) {
  draw_text_glow(surface, "PAUSED", px(camera_x) + 124, px(camera_y) + 100, 0x300, 1, 0x78, 0xF650);
}

void draw_frame() {
  uint16_t* s = video_play_surface();
  if (!s) return;
  const int32_t cx = px(camera_x), cy = px(camera_y);
  if (screen_phase == 4) fade_canvas_to_world(s, cx, cy);
  else draw_world(s, cx, cy);
  switch (game_state) {
    case kStateTitle:
      draw_particles(s);
      draw_objects(s);
      draw_text_glow(s, "PELLAX", cx + 23, cy + 80, 0x1000, 6, 0x50, 0x32D0);
      draw_text_fx(s, "I N S E R T  C O I N", cx + 72, cy + 175, 0x300, 0xFFFF);
      break;
    case kStatePlaying:
      draw_score_popups(s);
      draw_objects(s);
      draw_particles(s);
      break;
    case kStateQuitScreen:
      draw_objects(s);
      draw_text_glow(s, "QUITTING ALREADY?", cx + 10, cy + 20, 0x300, 1, 0x78, 0xF650);
      draw_text_glow(s, "PRESS Y TO QUIT - B TO RETURN", cx + 10, cy + 140, 0x300, 1, 0x78, 0xF650);
      break;
    default:
      draw_particles(s);
      draw_objects(s);
      break;
  }
}

// --- the level flow's steps --------------------------------------------------------

void step_title(uint32_t) {
  camera_home();
  if (read_buttons() & kButtonX) {
    game_state = kStateQuitScreen;
    return;
  }
  update_objects();
  update_particles();
}

void step_level_select(uint32_t) { update_objects(); }
void step_get_ready(uint32_t) {}

void step_playing(uint32_t) {
  update_particles();
  update_score_popups();
  update_objects();
}

void step_end_of_run(uint32_t) {
  update_particles();
  update_score_popups();
  read_new_buttons();
}

void step_high_scores(uint32_t) { update_particles(); }
void step_wave_popups(uint32_t) {}
void step_zone_complete(uint32_t) {}

void step_quit_screen(uint32_t) {
  camera_home();
  music_off();
  music_restart();
  loop_sound_stop();
  clear_particles();
  clear_object_shots();
  clear_enemies();
  const uint32_t n = read_new_buttons();
  if (n & kButtonY) {
    quit_requested = 1;
  } else if (n & kButtonB) {
    game_state = kStateTitle;
    world_image_mode = 1;
    build_world_image(0, 0);
    world_image_mode = 0;
    place_player_ship();
    screen_phase = 0;
    spawn_kind20(camera_x + 0x2B00, camera_y + 0xB600, 0xFFF4, 0.04f);
    spawn_kind20(camera_x + 0x11700, camera_y + 0xB600, 0xFFF4, -0.04f);
    music_on();
  }
  player_dead = 0;
  update_objects();
}
