// The screen half of the level: the fade-in, the play picture, the pause menu, the
// game-over picture, the entry of a new high score and the fade back to the title.
#include <cstdio>
#include <cstring>

#include "engine/core/zmod_input.h"
#include "engine/core/zolt_records.h"
#include "kolvo2/console.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_sound.h"
#include "kolvo2/graphics.h"
#include "kolvo2/level.h"

namespace {

constexpr uint32_t kFadeMs = ClassGraphics::FADE_MS;
constexpr uint32_t kGameOverMs = 1000;
constexpr uint32_t kCursorBlinkMs = 1000;  // the name's "_" shows for the first half

// The well on the screen; a field cell (column c, row r) lies at 14c - 26, 14r - 98.
constexpr int32_t kWellLeft = 30, kWellRight = 170, kWellBottom = 238;
constexpr int32_t kCellX0 = -26, kCellY0 = -98;
constexpr uint32_t TILE = ClassGraphics::TILE;

constexpr int32_t kPauseX = 52, kPauseY = 70, kPauseItems = 4;
constexpr uint32_t kGrey = 0x808080;

enum : uint8_t { kResume = 0, kMusic = 1, kSound = 2, kQuit = 3 };

int32_t CellX(uint32_t column) { return ClassGraphics::TILE * column + kCellX0; }
int32_t CellY(uint32_t row) { return ClassGraphics::TILE * row + kCellY0; }

}  // namespace

void ClassLevel::Manage(Z2DSurface& bb, uint32_t* next, uint32_t* status, int32_t* keys,
                        uint32_t elapsed) {
  switch (*status) {
    case MODULE_ATTACH:
      maindata = reinterpret_cast<MAINDATA*>(keys);
      return;
    case MODULE_ENTER:
      NewGame();
      state = LEVEL_FADEIN;
      pauseselection = 0;
      hsposition = NOT_PLACED;
      namecursor = 0;
      maindata->gfx->LoadBackDrop("hud.bmp");
      *status = MODULE_RUN;
      return;
    case MODULE_RESTORE:
      if (state == LEVEL_PLAY) Pause(bb);
      return;
    case MODULE_RUN:
      break;
    default:
      return;
  }
  switch (state) {
    case LEVEL_FADEIN:
      if (ProcessFadeIn(bb, elapsed)) state = LEVEL_PLAY;
      break;
    case LEVEL_PLAY:
      ProcessAI(elapsed);
      RenderAll(bb);
      // Only a game still in play pauses: a press queued in the frame that ended the
      // game must not bring a finished game back.
      if (state == LEVEL_PLAY && PressedKey(ACTION_PAUSE, true)) Pause(bb);
      break;
    case LEVEL_PAUSE:
      ProcessPause(bb, elapsed);
      break;
    case LEVEL_GAMEOVER:
      if (ProcessGameOver(bb, elapsed)) {
        hsposition = NOT_PLACED;
        state = LEVEL_NAMEENTRY;
        statetimer = 0;
      }
      break;
    case LEVEL_NAMEENTRY:
      statetimer += elapsed;  // blinks the name's cursor
      if (ProcessHighscore(bb)) {
        state = LEVEL_FADEOUT;
        statetimer = 0;
      }
      break;
    case LEVEL_FADEOUT:
      if (ProcessFadeOut(bb, elapsed)) {
        *next = 1;
        maindata->saverequest = 1;
        *status = MODULE_ENTER;
      }
      break;
    default:
      break;
  }
}

bool ClassLevel::ProcessFadeIn(Z2DSurface& bb, uint32_t elapsed) {
  return maindata->gfx->FadeInBackDrop(bb, statetimer, elapsed);
}

bool ClassLevel::ProcessFadeOut(Z2DSurface& bb, uint32_t elapsed) {
  return maindata->gfx->FadeOutBackDrop(bb, statetimer, elapsed);
}

void ClassLevel::Pause(Z2DSurface& bb) {
  ClassGraphics& gfx = *maindata->gfx;
  redraw = 1;
  if (ClassZInput* input = InputOf(maindata)) input->ResetState();
  // Drawn where it is shown and then copied: a row sliding out passes through a strip of
  // the back surface, so the picture cannot be drawn into the back surface itself.
  RenderAll(bb);
  Z2DSurface* back = nullptr;
  gfx.GetBackSurface(back);
  back->BltFast(0, 0, &bb, nullptr, 0, 0);
  gfx.ScreenAlpha(*back, 0x400000, 128);
  state = LEVEL_PAUSE;
  pauseselection = 0;
}

void ClassLevel::PauseSelect(uint8_t item) {
  ClassSound& sound = *maindata->sound;
  sound.PlaySfx(1);
  switch (item) {
    case kResume:
      state = LEVEL_PLAY;
      if (ClassZInput* input = InputOf(maindata)) input->ResetState();
      sound.PlaySfx(1);
      break;
    case kMusic:
      ChangeVolume(*maindata, true, 0);
      break;
    case kSound:
      ChangeVolume(*maindata, false, 0);
      sound.PlaySfx(1);
      break;
    case kQuit:
      statetimer = 0;
      state = LEVEL_GAMEOVER;
      sound.PlaySfx(1);
      break;
    default:
      break;
  }
}

void ClassLevel::ProcessPause(Z2DSurface& bb, uint32_t elapsed) {
  ClassGraphics& gfx = *maindata->gfx;
  GAMECONFIG& cfg = *maindata->cfg;
  ClassSound& sound = *maindata->sound;
  ClassZInput* input = InputOf(maindata);
  auto move = [&](int d) {
    pauseselection = static_cast<uint8_t>((pauseselection + d + kPauseItems) % kPauseItems);
    sound.PlaySfx(1);
  };
  statetimer += elapsed;

  for (bool moved = true; moved;) {
    moved = false;
    if (TakePress(input, MENU_UP, true)) move(-1), moved = true;
    if (TakePress(input, MENU_DOWN, true)) move(1), moved = true;
  }
  if (input) {
    const int32_t wheel = input->GetWheelScroll();
    if (wheel) move(wheel < 0 ? 1 : -1);
  }
  for (const int direction : {-1, 1}) {
    if (!TakePress(input, direction < 0 ? MENU_LEFT : MENU_RIGHT, true)) continue;
    if (pauseselection == kMusic) {
      ChangeVolume(*maindata, true, direction);
    } else if (pauseselection == kSound) {
      ChangeVolume(*maindata, false, direction);
      sound.PlaySfx(1);
    }
  }
  if (TakePress(input, MENU_SELECT, true)) PauseSelect(pauseselection);
  // The stylus on an item selects it; a tap takes it.
  if (input && state == LEVEL_PAUSE) {
    auto item = [](int32_t y) { return y >= kPauseY && y < kPauseY + 20 * kPauseItems ? (y - kPauseY) / 20 : -1; };
    int32_t x, y;
    input->GetClickPosition(x, y);
    if (input->ClickHold(0) && item(y) >= 0 && item(y) != pauseselection) {
      pauseselection = static_cast<uint8_t>(item(y));
      sound.PlaySfx(1);
    }
    Z_INPUTEVENT e;
    while (state == LEVEL_PAUSE && input->GetClickEvent(&e)) {
      if (e.type < ZINPUT_DOWN || e.type > ZINPUT_REPEAT || item(e.y) < 0) continue;
      if (item(e.y) != pauseselection) sound.PlaySfx(1);
      pauseselection = static_cast<uint8_t>(item(e.y));
      if (e.type == ZINPUT_DOWN) PauseSelect(pauseselection);
    }
  }

  gfx.DrawBackSurface(bb);
  const int32_t h = static_cast<int32_t>(gfx.GetFontHeight());
  gfx.DrawCube(bb, -128, 20 * pauseselection + h / 2 - 50, static_cast<int32_t>(statetimer / 16));
  char music[32], sfx[32];
  VolumeText(music, sizeof music, "Music: ", cfg.musicvolume);
  VolumeText(sfx, sizeof sfx, "Sound: ", cfg.sfxvolume);
  const char* items[kPauseItems] = {"Resume", music, sfx, "Quit"};
  for (int32_t i = 0; i < kPauseItems; ++i) {
    if (i == pauseselection)
      gfx.DrawGameFont(bb, kPauseX, kPauseY + 20 * i, items[i]);
    else
      gfx.DrawGameFontColor(bb, kPauseX, kPauseY + 20 * i, items[i], kGrey);
  }
  if (state != LEVEL_PAUSE) redraw = 1;
}

bool ClassLevel::ProcessGameOver(Z2DSurface& bb, uint32_t elapsed) {
  ClassGraphics& gfx = *maindata->gfx;
  Z2DSurface* back = nullptr;
  gfx.GetBackSurface(back);
  if (statetimer == 0) {
    // The last picture shown, kept plain in the backdrop and tinted in the back surface.
    gfx.CaptureBackDrop(bb);
    back->BltFast(0, 0, &bb, nullptr, 0x06, 255);
    statetimer = 1;
  }
  if (statetimer >= kFadeMs) {
    gfx.DrawBackSurface(bb);
  } else {
    gfx.DrawBackDrop(bb);
    bb.BltFast(0, 0, back, nullptr, 0x08, statetimer * 255 / kFadeMs);
  }
  const char* text = "GAME OVER";
  gfx.DrawGameFont(bb, 160 - static_cast<int32_t>(gfx.GetFontWidth(text)) / 2,
                   120 - static_cast<int32_t>(gfx.GetFontHeight()) / 2, text);
  statetimer += elapsed;
  return statetimer >= kGameOverMs;
}

bool ClassLevel::ProcessHighscore(Z2DSurface& bb) {
  ClassGraphics& gfx = *maindata->gfx;
  GAMECONFIG& cfg = *maindata->cfg;
  ClassConsole& console = *maindata->console;
  const uint32_t table = cfg.mode < CFG_TABLES ? cfg.mode : 0;
  const uint32_t score = maindata->stats->score;

  if (hsposition == NOT_PLACED) {
    gfx.DrawBackSurface(bb);
    gfx.CaptureBackDrop(bb);
    uint32_t place = 0;
    while (place < CFG_ROWS && cfg.scores[table][place] >= score) ++place;
    if (place == CFG_ROWS) return true;
    for (uint32_t r = CFG_ROWS - 1; r > place; --r) {
      cfg.scores[table][r] = cfg.scores[table][r - 1];
      std::memcpy(cfg.names[table][r], cfg.names[table][r - 1], CFG_NAME_CHARS + 1);
    }
    std::memset(cfg.names[table][place], 0, CFG_NAME_CHARS + 1);
    cfg.scores[table][place] = score;
    console.ShowInput();
    namecursor = 0;
    hsposition = place;
    return false;
  }

  char* name = cfg.names[table][hsposition];
  const int32_t h = static_cast<int32_t>(gfx.GetKBHeight());
  const int32_t T = (240 - h) / 2;
  const int32_t x = 92 + static_cast<int32_t>(gfx.GetFontWidth("Score:"));
  gfx.DrawBackDrop(bb);
  gfx.DrawGameFont(bb, 84, T - 30, "New highscore!");
  gfx.DrawGameFont(bb, 84, T - 10, "Score:");
  gfx.DrawGameFont(bb, 84, T + 10, "Name:");
  char scoretext[16];
  std::snprintf(scoretext, sizeof scoretext, "%u", score);  // unsigned, as the tables show it
  gfx.DrawGameFont(bb, x, T - 10, scoretext);
  // The name as typed so far (at most 8 characters) and the blinking cursor.
  char shown[CFG_NAME_CHARS + 2];
  size_t n = strnlen(name, CFG_NAME_CHARS);
  std::memcpy(shown, name, n);
  if (statetimer % kCursorBlinkMs < kCursorBlinkMs / 2) shown[n++] = '_';
  shown[n] = 0;
  gfx.DrawGameFont(bb, x, T + 10, shown);

  const uint8_t c = static_cast<uint8_t>(console.GetC());
  bool done = false;
  if (c >= 32 && c <= 127) {
    if (namecursor < CFG_NAME_CHARS) {
      name[namecursor++] = static_cast<char>(c);
      name[namecursor] = 0;
    }
  } else if (c == 8) {
    if (namecursor > 0) name[--namecursor] = 0;
  } else if (c == 13 && namecursor > 0) {
    done = true;
  } else if (c == 13 || c == KB_CANCEL) {
    std::memset(name, 0, CFG_NAME_CHARS + 1);
    std::memcpy(name, "...", 3);
    done = true;
  }
  if (done) console.HideInput();
  return done;
}

void ClassLevel::DrawTile(Z2DSurface& bb, uint32_t column, uint32_t r, uint8_t tile) {
  maindata->gfx->DrawStdSprite(bb, CellX(column), CellY(r), 4, 4, tile);
}

void ClassLevel::RenderAll(Z2DSurface& bb) {
  ClassGraphics& gfx = *maindata->gfx;
  const GAMECONFIG& cfg = *maindata->cfg;
  if (redraw) {
    gfx.DrawBackDrop(bb);
    RenderHud(bb);
    redraw = 0;
  } else {
    Z2DSurface* backdrop = nullptr;
    gfx.GetBackDrop(backdrop);
    tagRECT well;
    SetRect(&well, kWellLeft, 0, kWellRight, kWellBottom);
    bb.BltFast(kWellLeft, 0, backdrop, &well, 0, 0);
    if (cfg.showfps) {
      tagRECT corner;
      SetRect(&corner, 0, 0, 32, 20);
      bb.BltFast(0, 0, backdrop, &corner, 0, 0);
    }
  }

  for (uint32_t r = 0; r < PLAY_ROWS; ++r) {
    if (rowclear[r] < ROW_CLEAR_MS) continue;
    for (uint32_t c = PLAY_LEFT; c < PLAY_LEFT + PLAY_WIDTH; ++c)
      if (field[r][c]) DrawTile(bb, c, r, static_cast<uint8_t>(field[r][c] + 16));
  }

  if (PieceInPlay()) {
    const uint8_t* m = matrix[piece];
    const uint8_t here = row;
    while (!BlockCollide()) ++row;
    const uint8_t landing = static_cast<uint8_t>(row - 1);
    row = here;
    for (uint32_t i = 0; i < PIECE_SIZE; ++i)
      for (uint32_t j = 0; j < PIECE_SIZE; ++j) {
        if (!m[i * PIECE_SIZE + j]) continue;
        if (cfg.shadow) {
          tagRECT shadow;
          const int32_t x = CellX(column + j) + 2, y = CellY(landing + i) + 2;
          SetRect(&shadow, x, y, x + 11, y + 11);
          bb.FillRect(&shadow, 0x404040, 0x20, 0);
        }
      }
    for (uint32_t i = 0; i < PIECE_SIZE; ++i)
      for (uint32_t j = 0; j < PIECE_SIZE; ++j)
        if (m[i * PIECE_SIZE + j])
          DrawTile(bb, column + j, row + i, static_cast<uint8_t>(m[i * PIECE_SIZE + j] + 15));
  }

  // A clearing row slides out to the right through a strip of the back surface.
  Z2DSurface* back = nullptr;
  gfx.GetBackSurface(back);
  for (uint32_t r = 0; r < PLAY_ROWS; ++r) {
    if (rowclear[r] >= ROW_CLEAR_MS) continue;
    for (uint32_t c = 0; c < PLAY_WIDTH; ++c)
      gfx.DrawStdSprite(*back, static_cast<int32_t>(TILE * c), 0, 4, 4,
                        static_cast<uint16_t>(field[r][PLAY_LEFT + c] + 16));
    const int32_t s = static_cast<int32_t>(rowclear[r] * (TILE * PLAY_WIDTH) / ROW_CLEAR_MS);
    tagRECT strip;
    SetRect(&strip, 0, 0, static_cast<int32_t>(TILE * PLAY_WIDTH) - s, TILE);
    bb.BltFast(kWellLeft + s, CellY(r), back, &strip, 0, 0);
  }

  for (const LEVELEFFECT& e : effects) {
    if (e.kind == LEVELFX_TRAIL) {
      const PIECEMATRIX& m = tblockmtx[e.piece % PIECES][e.orientation & 3];
      const uint32_t opacity = e.remaining / 2 < 255 ? e.remaining / 2 : 255;
      for (uint32_t i = 0; i < PIECE_SIZE; ++i)
        for (uint32_t j = 0; j < PIECE_SIZE; ++j)
          if (m[i * PIECE_SIZE + j])
            gfx.DrawStdSprite(bb, CellX(e.column + j), CellY(e.row + i), 4, 4,
                              static_cast<uint16_t>(m[i * PIECE_SIZE + j] + 15),
                              static_cast<uint8_t>(opacity));
    } else if (e.kind == LEVELFX_FLASH) {
      // Brightens to 96 halfway through and fades out again.
      const uint32_t opacity = e.remaining < FLASH_MS / 2 ? e.remaining / 2 : (FLASH_MS - e.remaining) / 2;
      const PIECEMATRIX& m = tblockmtx[e.piece % PIECES][e.orientation & 3];
      for (uint32_t i = 0; i < PIECE_SIZE; ++i)
        for (uint32_t j = 0; j < PIECE_SIZE; ++j)
          if (m[i * PIECE_SIZE + j])
            gfx.DrawAlphaBar(bb, CellX(e.column + j), CellY(e.row + i), CellX(e.column + j) + TILE,
                             CellY(e.row + i) + TILE, 0xFFFFFF, static_cast<uint8_t>(opacity));
    }
  }
}

void ClassLevel::RenderHud(Z2DSurface& bb) {
  ClassGraphics& gfx = *maindata->gfx;
  const PIECEMATRIX& m = tblockmtx[nextpiece % PIECES][0];
  int32_t cmin = PIECE_SIZE, cmax = -1;
  for (int32_t i = 0; i < static_cast<int32_t>(PIECE_SIZE); ++i)
    for (int32_t j = 0; j < static_cast<int32_t>(PIECE_SIZE); ++j)
      if (m[i * PIECE_SIZE + j]) {
        if (j < cmin) cmin = j;
        if (j > cmax) cmax = j;
      }
  const int32_t w = cmax - cmin + 1;
  for (int32_t i = 0; i < static_cast<int32_t>(PIECE_SIZE); ++i)
    for (int32_t j = 0; j < static_cast<int32_t>(PIECE_SIZE); ++j)
      if (m[i * PIECE_SIZE + j])
        gfx.DrawStdSprite(bb, 210 - 7 * w + 14 * (j - cmin), 47 + 14 * i, 4, 4,
                          static_cast<uint16_t>(m[i * PIECE_SIZE + j] + 15));
  const GAMESTATS& stats = *maindata->stats;
  const uint32_t values[3] = {stats.level, stats.lines, stats.score};
  const int32_t ys[3] = {32, 70, 108};
  for (int k = 0; k < 3; ++k) {
    const int32_t v = static_cast<int32_t>(values[k] > STAT_MAX ? STAT_MAX : values[k]);
    gfx.DrawGameFont(bb, 307 - static_cast<int32_t>(gfx.GetFontWidth(v)), ys[k], v);
  }
}
