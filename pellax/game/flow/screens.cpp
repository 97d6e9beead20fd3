#include "pellax/game/flow/screens.h"

#include <algorithm>
#include <cstdio>

#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/player_ship.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/flow/game_flow.h"
#include "pellax/game/play/high_scores.h"
#include "pellax/game/play/messages.h"
#include "pellax/game/play/play_update.h"
#include "pellax/game/render/draw_passes.h"
#include "pellax/game/render/render_lines.h"
#include "pellax/game/render/score_popups.h"
#include "pellax/game/render/stroke_font.h"
#include "pellax/game/render/world_image.h"
#include "pellax/platform/video.h"

int32_t zone_open[5];
int32_t ending_open = 0;
int32_t perfect_ending_open = 0;

namespace {

constexpr uint16_t kText = 0xF650;

void glow3(uint16_t* s, const char* text, int32_t x, int32_t y, uint16_t colour = kText) {
  draw_text_glow(s, text, x, y, 0x300, 1, 0x78, colour);
}
void glow4(uint16_t* s, const char* text, int32_t x, int32_t y, uint16_t colour = kText) {
  draw_text_glow(s, text, x, y, 0x400, 2, 0x50, colour);
}

void outlines4(uint16_t* s, int32_t x, int32_t y, int32_t w, int32_t h) {
  const uint16_t colours[4] = {0x8410, 0xFFFF, 0xFFFF, 0x8410};
  for (int k = 0; k < 4; ++k) draw_rect_outline(s, x + k, y + k, w - 2 * k, h - 2 * k, colours[k]);
}

void draw_title(uint16_t* s, int32_t cx, int32_t cy) {
  if (transition_step == 9) {
    clear_particles();
    transition_step = 11;
  } else {
    draw_particles(s);
  }
  draw_objects(s);
  draw_text_fx(s, "A VECTOR SHOOTER FOR THE HANDHELD", cx + 20, cy + 20, 0x300, 0x660C);
  draw_text_glow(s, "PELLAX", cx + 23, cy + 80, 0x1000, 6, 0x50, 0x32D0);
  draw_text_fx(s, "V1.0", cx + 11, cy + 224, 0x2BC, 0x8410);
  if (transition_step != 3) draw_text_fx(s, "I N S E R T  C O I N", cx + 72, cy + 175, 0x300, 0xFFFF);
}

void draw_level_select(uint16_t* s, int32_t cx, int32_t cy) {
  if (transition_step != 0) {
    if (screen_phase != 4) glow3(s, "LOADING", cx + 128, cy + 114);
    return;
  }
  draw_objects(s);
  if (game_mode != 1)
    for (int32_t z = 0; z < 5; ++z) outlines4(s, cx + 15 + 60 * z, cy + 100 - 20 * z, 50, 100 + 20 * z);
  glow3(s, "OPEN", cx + 24, cy + 204);
  static const char* const markers[5] = {nullptr, "spangels", "oranges", "beach", "openfire"};
  for (int32_t z = 1; z < 5; ++z) {
    if (file_exists(markers[z])) {
      glow3(s, "OPEN", cx + 24 + 60 * z, cy + 204);
      zone_open[z] = 1;
    } else {
      glow3(s, "LOCKED", cx + 15 + 60 * z, cy + 204);
    }
  }
  if (file_exists("totalled")) {
    glow3(s, "ONE", cx + 7, cy + 46);
    ending_open = 1;
    draw_rect_outline(s, cx + 2, cy + 43, 34, 20, 0xFFFF);
    draw_rect_outline(s, cx + 3, cy + 42, 32, 20, 0x8410);
  }
  bool all_timed = true;
  for (int32_t t : timed_trophy) all_timed = all_timed && t == 1;
  if (file_exists("wilvatip") && all_timed) {
    glow3(s, "TWO", cx + 46, cy + 46);
    perfect_ending_open = 1;
    draw_rect_outline(s, cx + 42, cy + 43, 34, 20, 0xFFFF);
    draw_rect_outline(s, cx + 43, cy + 42, 32, 20, 0x8410);
  }
  const int32_t z = selected_zone;
  if (z >= 0 && z < 5) {
    draw_rect_outline(s, cx + 16 + 60 * z, cy + 101 - 20 * z, 48, 98 + 20 * z, 0xF821);
    draw_rect_outline(s, cx + 17 + 60 * z, cy + 102 - 20 * z, 46, 96 + 20 * z, 0xF821);
  } else if (z == 5 || z == 6) {
    const int32_t x = z == 5 ? 2 : 42;
    draw_rect_outline(s, cx + x, cy + 43, 34, 20, 0xF821);
    draw_rect_outline(s, cx + x + 1, cy + 42, 32, 20, 0xF021);
  }
  glow3(s, "SELECT YOUR LEVEL", cx + 10, cy + 7);
  static const char* const lines[7] = {"VESTA - 4 WAVES", "ARES - 5 WAVES",  "KRONOS - 6 WAVES",
                                       "TITAN - 7 WAVES", "HADES - 8 WAVES", "ENDING SEQUENCE",
                                       "PERFECT ENDING"};
  if (z >= 0 && z < 7) glow3(s, lines[z], cx + 45, cy + 28);
  if (game_mode == 1) {
    glow3(s, "NORMAL", cx + 134, cy + 110, mode_cursor == 0 ? 0xB800 : 0x000A);
    glow3(s, "DOWNTIME", cx + 124, cy + 128, mode_cursor == 1 ? 0xB800 : 0x000A);
  }
}

struct story_line {
  int32_t x, y;
  const char* text;
};
struct story {
  int32_t level;
  const char* heading;
  story_line lines[6];
};

const story kStories[] = {
    {5, "ZONE 1 COMPLETE",
     {{2, 140, "   WITH THE DEMON SHEEP EXPLODING   "},
      {2, 155, "   INTO A MILLION PIECES, YOU FLY "},
      {6, 170, "  ON LOOKING FOR THE SPACE EMPIRE"},
      {2, 185, "       BEHIND THIS ABSURDITY..."}}},
    {11, "ZONE 2 COMPLETE",
     {{2, 140, " WELL... AT LEAST THE CAT IS DEAD. "},
      {2, 155, "    BUT WHAT THE HELL WAS THAT     "},
      {6, 170, "       STRANGE DISTANT SKULL     "},
      {2, 185, "             ALL ABOUT?             "},
      {6, 205, "      TIME TO TAKE ON THE NEXT      "},
      {2, 220, "        SECTOR AND FIND OUT!           "}}},
    {18, "ZONE 3 COMPLETE",
     {{6, 140, "  THAT SNAKE IS SMASHED TO PIECES!  "},
      {2, 155, "    NO SIGN OF THE SKULL THOUGH.    "},
      {0, 185, " TIME TO PUT THIS SHIP IN OVERDRIVE  "},
      {0, 205, " AND HUNT DOWN SOME SKELETON ACTION! "}}},
    {26, "ZONE 4 COMPLETE",
     {{6, 140, "   WOW... HE GOT AWAY. LOOKS LIKE  "},
      {2, 155, "  THERE WILL BE ONE LAST BATTLE...    "},
      {4, 185, "NOW TO FIGHT THROUGH THE FINAL ZONE "},
      {4, 205, "     AND TO VICTORY OVER DEATH! "}}},
    {35, "ZONE 5 COMPLETE",
     {{6, 140, "    TURNS OUT THAT THE SKULL WAS    "},
      {4, 155, "    ACTUALLY THE GHOST OF MORVAX."},
      {6, 185, "    WELL... THAT WAS UNEXPECTED."},
      {20, 220, "............HIT FIRE..........."}}},
};

void draw_bonus(uint16_t* s, int32_t cx, int32_t cy) {
  draw_objects(s);
  char figure[24];
  format_score(figure, sizeof figure, bonus_points);
  for (const story& st : kStories) {
    if (st.level != level_number) continue;
    const uint16_t colour = st.level == 5 ? 0x32D0 : kText;
    for (const story_line& l : st.lines)
      if (l.text) glow3(s, l.text, cx + l.x, cy + l.y, colour);
    draw_text_glow(s, st.heading, cx + 5, cy + 30, 0x700, 2, 0x50, 0x32D0);
  }
  glow4(s, figure, cx + 128, cy + 75);
  glow4(s, " BONUS      POINTS", cx + 50, cy + 75);
  if (level_number < 34) glow4(s, "NEXT ZONE UNLOCKED!", cx + 54, cy + 105);
  else if (level_number == 35) glow4(s, "ENDING SEQUENCE AWAITS...", cx + 24, cy + 105);
}

void draw_quit(uint16_t* s, int32_t cx, int32_t cy) {
  draw_objects(s);
  glow3(s, "QUITTING ALREADY?", cx + 10, cy + 20);
  if (select_blink <= 1) glow3(s, parting_line(select_blink), cx + 10, cy + 80);
  else draw_text_glow(s, parting_line(select_blink), cx + 10, cy + 80, 0x300, 1, 0x64, kText);
  glow3(s, "PRESS Y TO QUIT - B TO RETURN", cx + 10, cy + 140);
}

// A model value v placed at v / 4 pixels from the origin, y up (the icons stand nose up).
void draw_icon(uint16_t* s, const int32_t (*rows)[4], int32_t n, int32_t x0, int32_t y0, uint16_t colour) {
  for (int32_t i = 0; i < n; ++i)
    draw_line(s, x0 + rows[i][0] * 64, y0 + rows[i][1] * 64, x0 + rows[i][2] * 64, y0 + rows[i][3] * 64, colour);
}

const int32_t kCounterIcon[6][4] = {{-14, 0, 14, 0},  {0, 14, 0, -5},   {0, -5, 10, -16},
                                    {0, -3, -10, -16}, {1, -4, 1, -6},  {-1, -4, -1, -6}};

}  // namespace

const char* parting_line(int32_t blink) {
  static const char* const lines[13] = {"GRUBLEN WOULD BE ASHAMED!",  "TOO DIFFICULT FOR YOU WAS IT?",
                                        "ANOTHER DORWICK PLUMBEN!",   "SAME TIME TOMORROW?",
                                        "I CAN COOL THE CPU DOWN NOW!", "BACK TO BITTORRENT?",
                                        "ANOTHER DORWICK PLUMBEN!",   "GO ON! SEE IF I CARE! WEAK!",
                                        "COME BACK SOON!",            "RUN AWAY! RUN AWAY!",
                                        "BRING ME BACK A HERRING!",   "I LOVE BATTERIES.",
                                        "DUDE. THOSE COLOURS! WHOA."};
  if (blink < 0) blink = 0;
  return lines[blink > 12 ? 12 : blink];
}

void draw_lives(uint16_t* s, int32_t count) {
  const int32_t cx = px(camera_x), cy = px(camera_y);
  const int32_t x0 = (cx + 10) * 256, y0 = (cy + 230) * 256;
  int32_t icons = 0, remaining = count;
  while (icons < 8 && remaining > 0) {
    const bool six = remaining > 5;
    draw_icon(s, kShipModel, 14, x0 + icons * 12 * 256, y0, six ? 0x47E8 : 0xFFE0);
    remaining -= six ? 6 : 1;
    ++icons;
  }
  static const uint16_t kCounterColours[4] = {0x47E8, 0xA568, 0x42E8, 0xF928};
  for (int32_t k = 0; k < pickup40_count; ++k) {
    draw_icon(s, kCounterIcon, 6, x0 + k * 8 * 256, y0 - 20 * 256, kCounterColours[k < 3 ? k : 3]);
    if (icons + k + 1 >= 8) break;
  }
}

void draw_shield(uint16_t* s) {
  if (shield_energy <= 0) return;
  const int32_t q = (shield_energy + 128) >> 8;
  const int32_t green = q >= 800 ? 63 : std::max(0, (64 * q - 19200) / 500);
  const int32_t blue = std::min(31, std::max(0, 31 * (q - 800) / 200));
  const uint16_t colour = uint16_t((31 << 11) | (std::min(green, 63) << 5) | blue);
  const int32_t cx = px(camera_x), cy = px(camera_y);
  const int32_t xr = cx * 256 + 0x13600, y = cy * 256 + 0xE900;
  const int32_t xl = xr - int32_t(int64_t(shield_energy) * 25 / 256);
  draw_line(s, xl, y, xr, y, colour);
  draw_line(s, xl, y - 150, xr, y - 200, colour);
  draw_line(s, xl, y + 150, xr, y + 200, colour);
  draw_line(s, xl, y - 300, xr, y - 400, colour);
  draw_line(s, xl, y + 300, xr, y + 400, colour);
}

void draw_frame() {
  uint16_t* s = video_play_surface();
  if (!s) return;
  const int32_t cx = px(camera_x), cy = px(camera_y);
  if (screen_phase == 4) fade_canvas_to_world(s, cx, cy);
  else draw_world(s, cx, cy);
  switch (game_state) {
    case kStateTitle:
      draw_title(s, cx, cy);
      break;
    case kStateLevelSelect:
      draw_level_select(s, cx, cy);
      break;
    case kStateGetReady:
      draw_message(s);
      draw_hud(s);
      draw_lives(s, lives);
      draw_shield(s);
      break;
    case kStatePlaying:
      draw_score_popups(s);
      draw_objects(s);
      draw_hud(s);
      draw_lives(s, lives);
      draw_shield(s);
      draw_particles(s);
      break;
    case kStateEndOfRun:
      screen_phase = 4;
      draw_message(s);
      draw_particles(s);
      draw_score_popups(s);
      draw_objects(s);
      draw_hud(s);
      break;
    case kStateHighScores:
      draw_particles(s);
      draw_score_popups(s);
      draw_objects(s);
      run_high_score_screen(s, 1);
      break;
    case kStateWavePopups:
      if (screen_phase != 4) draw_popups(s);
      draw_hud(s);
      draw_objects(s);
      draw_lives(s, lives);
      draw_shield(s);
      break;
    case kStateZoneComplete:
      draw_bonus(s, cx, cy);
      break;
    case kStateQuitScreen:
      draw_quit(s, cx, cy);
      break;
    default:
      break;
  }
}
