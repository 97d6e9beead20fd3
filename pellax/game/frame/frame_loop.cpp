#include "pellax/game/frame/frame_loop.h"

#include <cstdio>

#include "seam/gp2x_seam.h"
#include "pellax/base/random.h"
#include "pellax/game/core/kind_census.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/player_ship.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/enemies/stage_director.h"
#include "pellax/game/flow/button_latch.h"
#include "pellax/game/flow/data_files.h"
#include "pellax/game/flow/game_flow.h"
#include "pellax/game/flow/game_states.h"
#include "pellax/game/flow/screens.h"
#include "pellax/game/play/high_scores.h"
#include "pellax/game/play/messages.h"
#include "pellax/game/play/play_update.h"
#include "pellax/game/render/msg_log.h"
#include "pellax/game/render/render_glow.h"
#include "pellax/game/render/render_lines.h"
#include "pellax/game/render/stroke_font.h"
#include "pellax/game/render/world_image.h"
#include "pellax/platform/audio.h"
#include "pellax/platform/input.h"
#include "pellax/platform/timer.h"
#include "pellax/platform/video.h"

namespace {

constexpr const char* kMenuFolder = "/usr/gp2x";
constexpr const char* kMenuProgram = "/usr/gp2x/gp2xmenu";

// The button word read at the end of the previous frame.
uint32_t frame_buttons = 0;

int hand_over_to_menu() {
  gp2x::chdir(kMenuFolder);
  gp2x::execl(kMenuProgram, kMenuProgram, static_cast<const char*>(nullptr));
  return 0;
}

void loading_screen() {
  clear_screen();
  screen_phase = 0;
  uint16_t* surface = video_play_surface();
  const int32_t cx = px(camera_x), cy = px(camera_y);
  draw_world(surface, cx, cy);
  run_high_score_screen(surface, 0);
  draw_text_glow(surface, "LOADING...", cx + 110, cy + 212, 1024, 2, 80, 0xF506);
  video_copy_view(cx, cy);
  video_flip();
}

}  // namespace

int32_t tick_step_for(uint32_t dt) {
  const float t = float(dt) / 100.0f;
  // The half unit and the scaling in double, as the frame time's formula has them: in
  // float the sum loses its last bit on long frames and the step comes out one higher.
  return int32_t((double(t) + 0.5) * 256.0 + 0.5);
}

void cycle_audio_setting(uint32_t buttons) {
  if (!(buttons & kButtonSelect)) {
    select_latch = 0;
    return;
  }
  if (select_latch) return;
  audio_setting = (audio_setting + 1) & 3;
  switch (audio_setting) {
    case 0: sfx_on(); music_on(); break;
    case 1: sfx_on(); music_off(); break;
    case 2: sfx_off(); music_on(); break;
    default: sfx_off(); music_off(); break;
  }
  select_latch = 1;
}

int game_init() {
  build_glow_sprites();
  if (init_object_pools() != 0) return -1;
  camera_home();
  build_world_image(0, 0);
  shield_energy = 256000;
  lives = 5;
  player_dead = 0;
  game_score = 0;
  lives_cheat_used = 0;
  level_cleared = 0;
  shield_on = 0;
  next_life_score = 0;
  return 0;
}

void game_shutdown() {
  free_object_pools();
  player_object = nullptr;
  free_world_image();
}

void game_step(uint32_t buttons) {
  const uint32_t dt = timer_elapsed_b();
  timer_mark_b();
  if (dt == 0) {
    frame_time = 0.0f;
    tick_step = 0;
    sleep_us(1000);
    return;
  }
  frame_time = float(dt) / 100.0f;
  tick_step = tick_step_for(dt);
  shield_on = 0;
  if (game_state == kStatePlaying) shield_step(buttons);
  run_state_step(game_state, buttons);
}

void run_pause_screen() {
  read_new_buttons();
  music_off();
  game_paused = 1;
  loop_sound_stop();
  for (;;) {
    timer_mark_b();
    // The frame mark too: the particle pass budgets against it, and a stale mark would
    // empty the paused picture of its particles.
    timer_mark();
    draw_frame();
    draw_pause_menu(video_play_surface());
    video_copy_view(px(camera_x), px(camera_y));
    wait_vsync();
    video_flip();
    const uint32_t n = read_new_buttons();
    if (gp2x::quit_requested()) {
      take_quit_request();
      break;
    }
    if (n & kButtonX) {
      quit_requested = 1;
      break;
    }
    if (n & kButtonY) {
      music_off();
      explode_big();
      player_dead = 1;
      if (player_object) player_object->flags &= ~kObjDrawn;
      next_life_score = 0;
      respawn_pause = 1;
      respawn_timer = 0;
      lives = 0;
      music_off();
      music_restart();
      loop_sound_stop();
      show_message("GAME OVER");
      new_score_slot = -1;
      game_state = kStateEndOfRun;
      world_image_mode = 1;
      break;
    }
    if (n & kButtonStart) {
      while (read_buttons() & kButtonStart) {
      }
      break;
    }
  }
  game_paused = 0;
  if (audio_setting == 0 || audio_setting == 2) music_on();
  loop_sound_start();
}

void handle_volume_buttons(uint32_t buttons) {
  if (buttons & kButtonVolUp) volume_up();
  else if (buttons & kButtonVolDown) volume_down();
}

void award_extra_life() {
  if (player_dead || game_score < next_life_score + 30000) return;
  sfx_play(4);
  ++lives;
  next_life_score += 30000;
}

// Never inlined: instruction counts of a frame (bench/frame_cost.sh) leave this wait out
// by its name.
[[gnu::noinline]] void pace_frame() {
  while (timer_elapsed() <= 299) {
  }
  const uint32_t t0 = timer_elapsed();
  const uint32_t limit = t0 <= 354 ? 355 : t0 < 532 ? 533 : 0;
  while (!in_vblank() && timer_elapsed() <= limit) {
  }
}

void reset_frame_loop_state() {
  game_state = 0;
  frame_counter = 0;
  frame_time = 0.0f;
  tick_step = 0;
  quit_requested = 0;
  game_paused = 0;
  previous_buttons = 0;
  select_latch = 0;
  audio_setting = 0;
  screen_phase = 0;
  world_image_mode = 0;
  transition_timer = 0;
  new_score_slot = -1;
  level_number = 0;
  respawn_pause = 0;
  respawn_timer = 0;
  camera_x = camera_y = 0;
  frame_buttons = 0;
  timer_start_a = timer_start_b = 0;
  mt_reset();
  reset_game_flow_state();
  lives = next_life_score = game_score = player_dead = shield_energy = shield_on = 0;
  lives_cheat_used = level_cleared = 0;
}

int pellax_start() {
  world_image_mode = 1;
  if (video_open() != 0) {
    std::fprintf(stderr, "pellax: cannot open the screen; back to the menu\n");
    hand_over_to_menu();
    return 1;
  }
  load_high_scores();
  load_image_file("treelg.lvl", 5);
  if (game_init() != 0) {
    std::fprintf(stderr, "pellax: out of memory for the object pools; back to the menu\n");
    video_close();
    hand_over_to_menu();
    return 1;
  }
  game_state = kStateTitle;
  loading_screen();
  mt_seed_array(timer_raw());
  timer_mark();
  audio_init();
  music_load("title.ogg");
  camera_home();
  draw_world(video_play_surface(), 224, 264);
  world_image_mode = 0;
  music_on();
  stage_reset();
  create_player_ship();
  sleep_us(300 * 2000);
  read_new_buttons();
  game_state = kStateTitle;
  place_player_ship();
  screen_phase = 0;
  start_title_decorations();
  read_new_buttons();
  log_clear();
  timer_mark();
  // The step's own mark too: unset, the first step would last as long as the timer has
  // been running (up to 583 s).
  timer_mark_b();
  frame_buttons = read_buttons();
  cycle_audio_setting(frame_buttons);
  return 0;
}

void take_quit_request() {
  if (quit_requested) return;
  if (game_state == kStateZoneComplete) write_zone_markers(level_number);
  if (new_score_slot >= 0) save_high_scores();
  quit_requested = 1;
}

bool pellax_frame() {
  if (gp2x::quit_requested()) take_quit_request();
  const uint32_t buttons = frame_buttons;
  handle_volume_buttons(buttons);
  ++frame_counter;
  if (game_state == kStatePlaying && (buttons & kButtonStart)) run_pause_screen();
  game_step(buttons);
  award_extra_life();
  if (quit_requested) return false;
  lines_drawn = 0;
  sprites_drawn = 0;
  draw_frame();
  video_copy_view(px(camera_x), px(camera_y));
  pace_frame();
  video_flip();
  log_clear();
  timer_mark();
  frame_buttons = read_buttons();
  cycle_audio_setting(frame_buttons);
  return true;
}

void shut_down_for_hand_over() {
  if (ending_devices_closed) {
    // An ending program that did not start closed the audio and the screen already.
    game_shutdown();
    return;
  }
  music_off();
  loop_sound_stop();
  game_shutdown();
  audio_shutdown();
  video_close();  // after the audio: halting the second core uses the register window
}

int pellax_main() {
  if (pellax_start() != 0) return 1;
  while (pellax_frame()) {
  }
  shut_down_for_hand_over();
  return hand_over_to_menu();
}
