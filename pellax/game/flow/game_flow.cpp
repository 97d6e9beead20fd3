#include "pellax/game/flow/game_flow.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "seam/gp2x_seam.h"
#include "pellax/base/canvas.h"
#include "pellax/game/core/kind_census.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/particles.h"
#include "pellax/game/core/player_ship.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/enemies/enemy_kinds.h"
#include "pellax/game/enemies/kind_steps.h"
#include "pellax/game/enemies/menu_square.h"
#include "pellax/game/enemies/stage_director.h"
#include "pellax/game/flow/button_latch.h"
#include "pellax/game/flow/data_files.h"
#include "pellax/game/flow/game_states.h"
#include "pellax/game/flow/screens.h"
#include "pellax/game/play/high_scores.h"
#include "pellax/game/play/messages.h"
#include "pellax/game/play/play_update.h"
#include "pellax/game/render/score_popups.h"
#include "pellax/game/render/world_image.h"
#include "pellax/platform/audio.h"
#include "pellax/platform/input.h"
#include "pellax/platform/video.h"

int32_t zone_first_level = 0;
int32_t mode_cursor = 0;
int32_t stick_latch = 0;
int32_t transition_step = 0;
int32_t transition_active = 0;
int32_t attract_timer = 0;
int32_t select_blink = 0;
int32_t reveal_index = 0;
int32_t saved_volume = 0;
int32_t get_ready_timer = 0;
int32_t bonus_points = 0;
int32_t cheat_latch = 0;
int32_t cheat_wait = 0;
int32_t custom_music = 0;
int32_t image_set = 0;
int32_t timed_trophy[kZoneCount];
int32_t ending_devices_closed = 0;

const zone_info kZones[kZoneCount] = {
    {"VESTA", 0, 165, {"./onespace.lvl"}, "level1.ogg"},
    {"ARES", 5, 280, {"skulltease.lvl"}, "level2.ogg"},
    {"KRONOS", 11, 340, {"station.lvl", "smallblock.lvl", "bluewalls.lvl", "quilt.lvl"}, "level3.ogg"},
    {"TITAN", 18, 450, {"prisonwalls.lvl", "sixlost.lvl", "thegauntlet.lvl", "skullboss.lvl"}, "level4.ogg"},
    {"HADES", 26, 950,
     {"station.lvl", "green5.lvl", "dark5.lvl", "streak5.lvl", nullptr, "planetfinal.lvl"}, "level5.ogg"},
};

namespace {

const zone_markers kMarkers[] = {
    {5, "spangels", "miner", "pelmore"},  {11, "oranges", "mayhem", "dovrin"},
    {18, "beach", "wizkid", "tov"},       {26, "openfire", "drunken", "quab"},
    {35, "totalled", "poker", "wilvatip"},
};

const char* const kWaveNames[34] = {
    "- SIMPLE -",        "- SHIELD UP! -",  "- RAZORS -",         "- SHEEPIE! -",
    "",                  "- WILD RED -",    "- NOVA -",           "- LONE STARS -",
    "- CHAOS -",         "- MEOW -",        "",                   "- TITANIC -",
    "- THE STATION -",   "- CLEAN UP -",    "- TOWERS -",         "- SPINDIZZY -",
    "- SERPENTINE -",    "- LOW STAR -",    "- THE PRISON -",     "- ALICE -",
    "- THE PIT -",       "- SIX LOST MEN -", "- THE GAUNTLET -",  "- HIERARCHY -",
    "- SKULLDUGGERY -",  "- NO -",          "- SLIDERS -",        "- DEJA VU -",
    "- SKYLAB -",        "- OLD FRIENDS -", "- PROTECTION -",     "- TURN ON ME -",
    "- TAKE ON ME -",    "- SKULLS -",
};

struct trophy_file {
  const char* name;
  int32_t kind;
  int32_t* flag;
  int32_t dx, dy;
};

// Starts an ending program; when it does not start, the devices are closed already and
// the game takes its normal way out.
void start_ending(const char* program) {
  music_off();
  loop_sound_stop();
  audio_shutdown();
  video_close();
  ending_devices_closed = 1;
  gp2x::execl(program, program, static_cast<const char*>(nullptr));
  std::fprintf(stderr, "pellax: cannot start \"%s\"; leaving the game\n", program);
  quit_requested = 1;
}

void enter_level_select() {
  game_state = kStateLevelSelect;
  clear_particles();
  hide_player_ship();
  transition_step = 0;
  for (int32_t& t : zone_trophy) t = 0;
  free_objects_with_flags(kObjActive);
  const trophy_file files[] = {
      {"miner", 111, &zone_trophy[0], 0x2800, 0xE400},    {"mayhem", 119, &zone_trophy[1], 0x6400, 0xE400},
      {"wizkid", 120, &zone_trophy[2], 0xA000, 0xE400},   {"drunken", 121, &zone_trophy[3], 0xDC00, 0xE400},
      {"poker", 122, &zone_trophy[4], 0x11800, 0xE400},   {"pelmore", 112, &timed_trophy[0], 0x2800, 0x5800},
      {"dovrin", 112, &timed_trophy[1], 0x6400, 0x4400},  {"tov", 112, &timed_trophy[2], 0xA000, 0x3000},
      {"quab", 112, &timed_trophy[3], 0xDC00, 0x1C00},    {"wilvatip", 112, &timed_trophy[4], 0x11800, 0x800},
  };
  for (const trophy_file& f : files) {
    if (!file_exists(f.name)) continue;
    *f.flag = 1;
    spawn_kind(f.kind, camera_x + f.dx, camera_y + f.dy);
  }
  struct deco {
    int32_t dx, dy;
    uint16_t colour;
    float spin;
  };
  const deco decos[] = {{0x2D00, 0x1400, 0xFD6A, 0.03f},   {0x5500, 0x3200, 0x5EB4, -0.02f},
                        {0xDC00, 0x1600, 0xF142, -0.035f}, {0x10E00, 0x500, 0x29FF, 0.014f},
                        {0x2300, 0x4600, 0xF788, -0.025f}, {0xFA00, 0xDC00, 0xF788, -0.025f},
                        {0xBE00, 0xD200, 0xF788, -0.025f}, {0xB800, 0xA00, 0xF788, -0.025f}};
  for (const deco& d : decos) spawn_kind20(camera_x + d.dx, camera_y + d.dy, d.colour, d.spin);
  player_dead = 0;
}

void start_zone() {
  screen_phase = 2;
  transition_timer = 0;
  transition_active = 1;
  transition_step = 2;
}

bool zone_is_open(int32_t z) { return z == 0 || (z >= 1 && z <= 4 && zone_open[z] == 1); }

void reveal_picture() {
  const uint16_t* slot = image_slot(5);  // finishes a world being built
  if (!slot || !world_image) return;
  for (int pass = 0; pass < 4; ++pass) {
    for (int32_t k = 0; k < 768; ++k) {
      const int32_t i = reveal_index;
      int32_t zone = -1;
      bool write = true;
      if (k >= 1 && k <= 69) zone = 4;
      else if (k >= 71 && k <= 129) zone = 3;
      else if (k >= 131 && k <= 189) zone = 2;
      else if (k >= 191 && k <= 249) zone = 1;
      else if (k < 256) write = false;
      if (write && i >= 0) {
        const bool open = zone < 0 || zone_open[zone] == 1;
        const int32_t source = open ? i : 581 * 768 + i;
        const int32_t target = 284 * 768 + i;
        if (source < kCanvasPixels && target < kCanvasPixels && slot[source] != 0) {
          const uint16_t v = slot[source];
          world_image[target] = uint16_t((v & 0xFFC0) | ((v >> 1) & 0x1F));
        }
      }
      if (reveal_index > 0) --reveal_index;
    }
  }
}

void set_up_zone() {
  difficulty_level = 2;
  if (selected_zone == 5 || selected_zone == 6) {
    fade_world_image();
    start_ending(selected_zone == 5 ? "./ora.lvl" : "./orca.lvl");
    return;
  }
  const zone_info& z = kZones[selected_zone];
  zone_first_level = level_number = z.first_level;
  time_left = z.time_limit;
  music_off();
  custom_music = file_exists("custommusic/1.ogg") ? 1 : 0;
  // The slots keep their pictures: reload only another zone's set (ARES and HADES always).
  const int32_t set = selected_zone + 1;
  if (image_set != set || selected_zone == 1 || selected_zone == 4) {
    for (int s = 0; s < 6; ++s)
      if (z.pictures[s]) load_image_file(z.pictures[s], s + 1);
    image_set = set;
  }
  if (!custom_music || play_random_custom_music() == 0) music_load(z.music);
  // The camera stays home while the new world fades in: the rest is made in the next frames.
  fade_and_build_world_window(difficulty_level, level_number, px(camera_x), px(camera_y));
  screen_phase = 4;
  transition_step = 4;
}

void begin_run() {
  show_message("GET READY");
  game_state = kStateGetReady;
  stage_begin();
  set_game_speed(2.0f);
  free_objects_with_flags(kObjActive);
  music_on();
  loop_sound_start();
  get_ready_timer = 0;
  run_score_entered = 0;
}

void zone_end() {
  lives = 0;
  if (player_object) player_object->flags &= ~kObjDrawn;
  next_life_score = 0;
  player_dead = 1;
  loop_sound_stop();
  clear_particles();
  clear_object_shots();
  clear_enemies();
  bonus_points = 0;
  camera_home();
  spawn_kind20(0x10B00, 0x16200, 0xFFF4, 0.04f);
  spawn_kind20(camera_x + 0x11700, camera_y + 0x5A00, 0xFFF4, -0.04f);
  world_image_mode = 2;
  game_state = kStateZoneComplete;
  build_world_image(0, 0);
  world_image_mode = 0;
  music_load("zonecomplete.ogg");
  music_on();
  // A game over in this same frame has entered the score already: it stays entered once.
  enter_run_score();
}

}  // namespace

bool file_exists(const char* name) {
  // The level select asks six times a frame: a descriptor, without a stream's allocations.
  return data_file_present(name);
}

void camera_home() {
  camera_x = 0xE000;
  camera_y = 0x10800;
}

void start_title_decorations() {
  spawn_kind20(camera_x + 0x2B00, camera_y + 0xB600, 0xFFF4, 0.04f);
  spawn_kind20(camera_x + 0x11700, camera_y + 0xB600, 0xFFF4, -0.04f);
}

const char* wave_name(int32_t level) {
  if (level < 0 || level >= int32_t(sizeof kWaveNames / sizeof kWaveNames[0])) return "";
  return kWaveNames[level];
}

const zone_markers* markers_for(int32_t level) {
  for (const zone_markers& m : kMarkers)
    if (m.level == level) return &m;
  return nullptr;
}

void write_zone_markers(int32_t level) {
  const zone_markers* m = markers_for(level);
  if (!m) return;
  const int32_t zone = int32_t(m - kMarkers);
  create_marker_file(m->zone);
  if (zone_trophy[zone] == 1) create_marker_file(m->trophy);
  if (game_mode == 2) create_marker_file(m->timed);
}

void wave_end() {
  const int32_t l = level_number;
  level_cleared = 0;
  char line1[32];
  std::snprintf(line1, sizeof line1, "WAVE %d COMPLETE", l - zone_first_level + 1);
  const char* name = wave_name(l);
  if (l == 9 || l == 16 || l == 24 || l == 33) {
    add_popup(line1, l == 33 ? "FINAL LEVEL" : "BOSS LEVEL", name);
    clear_enemies();
    clear_particles();
    clear_object_shots();
  } else {
    add_popup(line1, l == 3 ? "BOSS LEVEL" : "NEXT UP", name);
  }
  if (l == 11) clear_enemies();
  switch (l) {
    case 12: case 13: case 14: case 15: case 19: case 20: case 21: case 22: case 23:
    case 26: case 27: case 28: case 30: case 31: case 32: case 33:
      clear_particles();
      clear_object_shots();
      clear_enemies();
      break;
    default:
      break;
  }
  ++level_number;
  if (markers_for(level_number)) {
    zone_end();
    return;
  }
  if (player_dead == 1) return;
  stage_begin();
  if (player_object) player_object->vx = player_object->vy = 0.0f;
  set_game_speed(float(difficulty_level) + float(level_number) / 12.0f);
  loop_sound_level(0);
  game_state = kStateWavePopups;
}

// --- the steps of the states ------------------------------------------------------

void step_title(uint32_t) {
  if (hiscore_music_pending == 1) {
    music_off();
    music_load("title.ogg");
    music_on();
    hiscore_music_pending = 0;
  }
  ++attract_timer;
  reveal_index = 138788;
  pickup108_count = 0;
  cheat_latch = 0;
  cheat_wait = 0;
  time_frames = 0;
  time_left = 0;
  game_mode = 0;
  game_paused = 0;
  transition_active = 0;
  pickup40_count = 0;
  if (attract_timer == 15) screen_phase = 0;
  if (attract_timer == 200) {
    game_state = kStateHighScores;
    screen_phase = 4;
    transition_timer = 16;
    attract_timer = 0;
    new_score_slot = -1;
    return;
  }
  camera_home();
  if (read_buttons() & kButtonX) {
    game_state = kStateQuitScreen;
    return;
  }
  if (read_new_buttons() != 0) {
    transition_step = 3;
    screen_phase = 4;
    place_player_ship_low();
    clear_particles();
    clear_object_shots();
    clear_enemies();
    free_objects_with_flags(kObjActive);
    return;
  }
  if (transition_step == 3) enter_level_select();
  if (screen_phase == 0) update_player_ship(1);
  update_objects();
  update_particles();
}

void step_level_select(uint32_t) {
  if (++select_blink > 13) select_blink = 0;
  camera_home();
  const int32_t code = read_stick_direction();
  const bool up_down = (code >= 8 && code <= 10) || code == 1 || code == 2 || code == 16;
  const bool left = (code >= 4 && code <= 6) || (up_down && game_mode != 1);
  const bool right = code >= 12 && code <= 14;
  if (code == 0) {
    stick_latch = 0;
  } else if (up_down && game_mode == 1) {
    if (!stick_latch) {
      stick_latch = 1;
      sfx_play(1);
      mode_cursor = mode_cursor == 0 ? 1 : 0;
    }
  } else if ((left || right) && !stick_latch && transition_active == 0 && game_mode != 1) {
    stick_latch = 1;
    sfx_play(1);
    if (left) {
      if (--selected_zone < 0) selected_zone = 4;
    } else {
      ++selected_zone;
      if ((selected_zone == 5 && ending_open == 0) || (selected_zone == 6 && perfect_ending_open == 0) ||
          selected_zone >= 7)
        selected_zone = 0;
    }
  }
  if (transition_active == 0) reveal_picture();
  const uint32_t n = read_new_buttons();
  if (n & kButtonX) game_state = kStateQuitScreen;
  if ((n & kButtonB) && game_mode == 1) {
    game_mode = mode_cursor == 1 ? 2 : 0;
    start_zone();
    return;
  }
  if (n & kButtonB) {
    stick_latch = 1;
    game_mode = 0;
    if (selected_zone <= 4 && zone_is_open(selected_zone)) {
      if (zone_trophy[selected_zone] == 1) game_mode = 1;
      else start_zone();
    } else if ((selected_zone == 5 || selected_zone == 6) && ending_open == 1) {
      start_zone();
    }
  }
  if (transition_step == 2 && game_mode != 1) {
    ++transition_timer;
    // The volume to come back to in the get-ready state, read before the first step down:
    // after it a volume of 0 and one of 8 would both read 0.
    if (transition_timer == 1) saved_volume = volume_level();
    volume_down();
    if (master_volume_copy > 33) volume_down();
    // The last fade goes with the new world's build (set_up_zone), which overwrites most of it.
    if (transition_timer == 14) transition_step = 1;
    else fade_world_image();
  }
  if (transition_step == 4) continue_world_build();
  if (transition_step == 1) {
    set_up_zone();
    if (quit_requested) return;
  }
  if (transition_step == 4) {
    if (++transition_timer == 25) {
      screen_phase = 5;
      transition_step = 5;
    }
  }
  if (transition_step == 5) {
    transition_step = 0;
    begin_run();
  }
  player_dead = 0;
  update_objects();
}

void step_get_ready(uint32_t) {
  if (++get_ready_timer == 15 && saved_volume > 0)
    for (int32_t k = 0; k < (saved_volume + 7) / 8; ++k) volume_up();
  if (update_message(tick_step) == 0) {
    place_player_ship_centre();
    stage_spawn_formation(level_number);
    game_state = kStatePlaying;
  }
}

void step_playing(uint32_t) {
  const int32_t s0 = game_score;
  stick_direction = read_stick_direction();
  held_buttons = read_buttons();
  const uint32_t cheat_buttons = kButtonA | kButtonR | kButtonL;
  if ((held_buttons & kButtonA) && (held_buttons & kButtonL) && !(held_buttons & kButtonX) && cheat_latch == 0) {
    lives += 4;
    lives_cheat_used = 1;
    cheat_latch = 1;
    cheat_wait = 1;
  }
  // Play waits, frame by frame, until the cheat's buttons are let go.
  if (cheat_wait) {
    if (held_buttons & cheat_buttons) return;
    cheat_wait = 0;
  }
  if (respawn_pause == 0) stage_director_update(tick_step);
  update_particles();
  update_score_popups();
  update_play();
  update_camera();
  if (level_cleared) wave_end();
  if (shield_energy < 256000) shield_energy += (game_score - s0) * 8;
  if (shield_energy > 512000) shield_energy = 512000;
}

void step_end_of_run(uint32_t) {
  const int32_t lasts = update_message(tick_step);
  update_particles();
  update_score_popups();
  update_play();
  read_new_buttons();
  if (lasts == 0) {
    reset_initials_entry();
    attract_timer = 201;
    game_state = kStateHighScores;
    world_image_mode = 1;
  }
}

void step_high_scores(uint32_t) {
  update_particles();
  update_score_popups();
  update_play();
  if (new_score_slot == -1 && ++attract_timer == 200) {
    game_state = kStateTitle;
    attract_timer = 0;
    return;
  }
  if (read_new_buttons() == 0) return;
  free_objects_with_flags(kObjActive);
  game_state = kStateTitle;
  transition_step = 0;
  attract_timer = 0;
  if (world_image_mode == 1) {
    level_number = 0;
    build_world_image(0, 0);
    world_image_mode = 0;
    music_off();
    music_load("title.ogg");
    music_on();
    attract_timer = 14;
  }
  camera_home();
  lives = 5;
  respawn_pause = 0;
  next_life_score = 0;
  game_score = 0;
  lives_cheat_used = 0;
  level_cleared = 0;
  stage_reset();
  shield_energy = 256000;
  shield_on = 0;
  if (new_score_slot >= 0) save_high_scores();
  place_player_ship();
  start_title_decorations();
}

void step_wave_popups(uint32_t) {
  if (screen_phase != 4) {
    update_camera();
    if (update_popups(tick_step) == 0) {
      build_world_image(difficulty_level, level_number);
      stage_spawn_formation(level_number);
      transition_timer = 0;
      screen_phase = 4;
    }
    if (screen_phase != 4) return;
  }
  if (++transition_timer == 25) {
    screen_phase = 8;
    game_state = kStatePlaying;
  }
}

void step_zone_complete(uint32_t) {
  camera_home();
  const uint32_t n = read_new_buttons();
  if (bonus_points <= 2999) {
    bonus_points += 100;
    sfx_play(4);
  }
  if (n & kButtonX) {
    // Leaving the game from here keeps the zone's unlocks and the score too.
    write_zone_markers(level_number);
    if (new_score_slot >= 0) save_high_scores();
    quit_requested = 1;
  } else if (n & kButtonB) {
    write_zone_markers(level_number);
    if (level_number <= 29) {
      game_state = kStateEndOfRun;
    } else if (level_number == 35) {
      // The ending program never comes back to the score screen: save first.
      if (new_score_slot >= 0) save_high_scores();
      start_ending("./ora.lvl");
    }
    if (quit_requested) return;
  }
  player_dead = 0;
  update_objects();
}

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
    start_title_decorations();
    music_on();
  }
  player_dead = 0;
  update_objects();
}

void reset_game_flow_state() {
  zone_first_level = game_mode = selected_zone = mode_cursor = stick_latch = 0;
  transition_step = transition_active = attract_timer = select_blink = reveal_index = 0;
  saved_volume = get_ready_timer = bonus_points = cheat_latch = cheat_wait = 0;
  custom_music = image_set = ending_devices_closed = 0;
  for (int i = 0; i < kZoneCount; ++i) zone_trophy[i] = timed_trophy[i] = zone_open[i] = 0;
  ending_open = perfect_ending_open = 0;
  hiscore_music_pending = 1;
  time_frames = time_left = 0;
  pickup40_count = pickup103_count = pickup108_count = 0;
  popup_bonus_state = 0;
  chain_fire_counter = 0;
  run_score_entered = 0;
  last_shot_frame = 0;
  difficulty_level = 0;
}
