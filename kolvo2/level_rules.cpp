// The rules half of the level screen: everything that happens in the well.
#include <cstring>

#include "engine/core/zmod_input.h"
#include "engine/core/zolt_records.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_random.h"
#include "kolvo2/game_sound.h"
#include "kolvo2/level.h"

namespace {

enum : uint16_t { SFX_TURN = 1, SFX_HARDDROP = 2, SFX_ROWS = 3, SFX_LOCK = 4 };

// Score for the rows one lock completes (no piece spans more than four).
constexpr uint32_t kRowBonus[] = {0, 10, 40, 100, 200, 250};
constexpr uint32_t kLockBonusMax = 10;
constexpr uint32_t kLinesPerLevel = 20;
constexpr uint32_t kFastestLevel = 10;
constexpr uint32_t kFastestInterval = 140;

// Stylus geometry: a field cell (column c, row r) covers x 14c - 26 .. 14c - 13 and
// y 14r - 98 .. 14r - 85.
constexpr int32_t kCell = 14;
constexpr int32_t kLeftEdge = -26;
constexpr int32_t kTopEdge = -98;
constexpr uint32_t kStylusFirst = 300;  // ms: the step after the first
constexpr uint32_t kStylusSideRepeat = 150;
constexpr uint32_t kStylusMaxSteps = 5;
constexpr uint32_t kStylusDownFastest = 40;
constexpr uint32_t kStylusDownFaster = 50;  // each down step comes this much sooner

uint32_t AddCapped(uint32_t a, uint32_t b) { return b > UINT32_MAX - a ? UINT32_MAX : a + b; }

}  // namespace

ClassLevel::ClassLevel() {
  for (uint8_t p = 0; p < PIECES; ++p) TurnBlock(p, 0);
  std::memset(rowclear, ROW_IDLE, sizeof(rowclear));
}

uint32_t ClassLevel::FallInterval(uint32_t level) {
  if (level >= kFastestLevel) return kFastestInterval;
  return 1000 / (level ? level : 1) + kFastestInterval;
}

uint32_t ClassLevel::Random() {
  return maindata && maindata->random ? maindata->random->Next() : 0;
}

void ClassLevel::PlaySfx(uint16_t effect) {
  if (maindata && maindata->sound) maindata->sound->PlaySfx(effect);
}

void ClassLevel::NewGame() {
  redraw = 1;
  for (uint32_t r = 0; r < FIELD_ROWS; ++r)
    for (uint32_t c = 0; c < FIELD_COLUMNS; ++c)
      field[r][c] = r < PLAY_ROWS && c >= PLAY_LEFT && c < PLAY_LEFT + PLAY_WIDTH ? 0 : 1;
  std::memset(rowclear, ROW_IDLE, sizeof(rowclear));
  std::memset(effects, 0, sizeof(effects));
  GAMESTATS& stats = *maindata->stats;
  stats.level = maindata->cfg->startlevel;
  stats.score = 0;
  stats.lines = 0;
  row = NO_PIECE;
  column = piece = orientation = 0;
  statetimer = 0;
  falltimer = 0;
  maniaccounter = maniacphase = 0;
  nextpiece = GetNext();
}

bool ClassLevel::BlockCollide() const {
  const uint8_t* m = matrix[piece];
  for (uint32_t i = 0; i < PIECE_SIZE; ++i)
    for (uint32_t j = 0; j < PIECE_SIZE; ++j) {
      if (!m[i * PIECE_SIZE + j]) continue;
      const uint32_t r = row + i, c = column + j;
      // Outside the field counts as solid, like the walls around it.
      if (r >= FIELD_ROWS || c >= FIELD_COLUMNS || field[r][c]) return true;
    }
  return false;
}

void ClassLevel::TurnBlock(uint8_t which, uint8_t turn) {
  if (which >= PIECES) return;
  std::memcpy(matrix[which], tblockmtx[which][turn & 3].data(), sizeof(matrix[which]));
}

uint8_t ClassLevel::GetNext() {
  // Every draw is a call of its own, in the order written.
  switch (maindata->cfg->mode) {
    case 0:
      return static_cast<uint8_t>(Random() % CLASSIC_PIECES);
    case 1: {
      maniaccounter += (Random() / 100) % 3 + 1;
      if (maniacphase == 0 && maniaccounter > 7) {
        maniacphase = 1;
        maniaccounter = 0;
      } else if (maniacphase == 1 && maniaccounter > 2) {
        maniacphase = 0;
        maniaccounter = 0;
      }
      if (maniacphase == 0) return static_cast<uint8_t>(Random() % CLASSIC_PIECES);
      if (Random() % 100 >= 50) return static_cast<uint8_t>(15 + Random() % 20);
      return static_cast<uint8_t>(7 + Random() % 8);
    }
    default:
      return static_cast<uint8_t>(Random() % PIECES);
  }
}

bool ClassLevel::PressedKey(uint8_t action, bool repeat) {
  return TakePress(InputOf(maindata), action, repeat);
}

void ClassLevel::TryRotate(bool clockwise) {
  if (!PieceInPlay()) return;
  const uint8_t oldcolumn = column, oldorientation = orientation;
  orientation = (orientation + (clockwise ? 1 : 3)) & 3;
  TurnBlock(piece, orientation);
  if (BlockCollide()) {
    bool fits = false;
    if (oldcolumn > 0) {
      column = oldcolumn - 1;
      fits = !BlockCollide();
      if (!fits) {
        column = oldcolumn + 1;
        fits = !BlockCollide();
      }
    }
    if (!fits) {
      column = oldcolumn;
      orientation = oldorientation;
      TurnBlock(piece, orientation);
      return;
    }
  }
  PlaySfx(SFX_TURN);
}

void ClassLevel::Spawn() {
  piece = nextpiece;
  column = SPAWN_COLUMN;
  row = SPAWN_ROW;
  orientation = 0;
  TurnBlock(piece, 0);
  nextpiece = GetNext();
  falltimer = 0;
  redraw = 1;
  // The piece stays where it is, over the stack.
  if (BlockCollide()) {
    state = LEVEL_GAMEOVER;
    statetimer = 0;
  }
}

void ClassLevel::Shift(int direction) {
  if (direction < 0) {
    if (column == 0) return;
    --column;
    if (BlockCollide()) ++column;
  } else {
    if (column > 12) return;
    ++column;
    if (BlockCollide()) --column;
  }
}

void ClassLevel::AddEffect(uint8_t kind, uint32_t remaining) {
  for (LEVELEFFECT& e : effects) {
    if (e.kind != LEVELFX_FREE) continue;
    e = LEVELEFFECT{remaining, column, row, piece, orientation, kind};
    return;
  }
}

bool ClassLevel::Drop() {
  falltimer = 0;
  ++row;
  if (!BlockCollide()) return true;
  --row;
  AddEffect(LEVELFX_FLASH, FLASH_MS);
  Lock(false);
  return false;
}

void ClassLevel::HardDrop() {
  falltimer = 0;
  for (uint32_t n = 1;; ++n) {
    ++row;
    if (BlockCollide()) break;
    AddEffect(LEVELFX_TRAIL, TRAIL_STEP_MS * n);
  }
  --row;
  Lock(true);
}

void ClassLevel::Lock(bool harddrop) {
  GAMESTATS& stats = *maindata->stats;
  const uint8_t* m = matrix[piece];
  for (uint32_t i = 0; i < PIECE_SIZE; ++i)
    for (uint32_t j = 0; j < PIECE_SIZE; ++j) {
      const uint32_t r = row + i, c = column + j;
      if (m[i * PIECE_SIZE + j] && r < FIELD_ROWS && c < FIELD_COLUMNS && !field[r][c])
        field[r][c] = m[i * PIECE_SIZE + j] - 1;
    }
  stats.score += stats.level < kLockBonusMax ? stats.level : kLockBonusMax;
  row = NO_PIECE;
  redraw = 1;

  uint32_t completed = 0;
  for (uint32_t r = 0; r < PLAY_ROWS; ++r) {
    bool full = true;
    for (uint32_t c = PLAY_LEFT; c < PLAY_LEFT + PLAY_WIDTH && full; ++c) full = field[r][c] != 0;
    if (!full) continue;
    rowclear[r] = 0;
    ++stats.lines;
    ++completed;
  }
  const uint32_t last = sizeof(kRowBonus) / sizeof(kRowBonus[0]) - 1;
  stats.score += kRowBonus[completed < last ? completed : last];
  // One level per 20 lines counted from the start level, at most one per lock.
  if (static_cast<int64_t>(stats.level) - maindata->cfg->startlevel + 1 <
      static_cast<int64_t>(stats.lines / kLinesPerLevel) + 1)
    ++stats.level;
  PlaySfx(completed ? SFX_ROWS : harddrop ? SFX_HARDDROP : SFX_LOCK);
}

void ClassLevel::AgeEffects(uint32_t elapsed) {
  for (LEVELEFFECT& e : effects) {
    if (e.kind != LEVELFX_TRAIL && e.kind != LEVELFX_FLASH) continue;
    if (e.remaining > elapsed)
      e.remaining -= elapsed;
    else
      e.kind = LEVELFX_FREE;
  }
}

bool ClassLevel::AgeRows(uint32_t elapsed) {
  bool clearing = false;
  // Top first: a row that collapses moves only the rows above it, so a lower full row is
  // still where it was when its turn comes.
  for (uint32_t r = 0; r < PLAY_ROWS; ++r) {
    if (rowclear[r] >= ROW_CLEAR_MS) continue;
    clearing = true;
    if (elapsed < ROW_CLEAR_MS - rowclear[r]) {
      rowclear[r] = static_cast<uint8_t>(rowclear[r] + elapsed);
      continue;
    }
    rowclear[r] = ROW_IDLE;
    std::memset(&field[r][PLAY_LEFT], 0, PLAY_WIDTH);
    // Row 0 keeps its cells: no piece ever reaches that high.
    for (uint32_t above = r; above >= 1; --above)
      std::memcpy(&field[above][PLAY_LEFT], &field[above - 1][PLAY_LEFT], PLAY_WIDTH);
  }
  return clearing;
}

bool ClassLevel::OnPiece(int32_t x, int32_t y) const {
  if (!PieceInPlay()) return false;
  const uint8_t* m = matrix[piece];
  for (int32_t i = 0; i < static_cast<int32_t>(PIECE_SIZE); ++i)
    for (int32_t j = 0; j < static_cast<int32_t>(PIECE_SIZE); ++j) {
      if (!m[i * PIECE_SIZE + j]) continue;
      const int32_t left = kCell * (column + j) + kLeftEdge;
      const int32_t top = kCell * (row + i) + kTopEdge;
      if (x >= left && x < left + kCell && y >= top && y < top + kCell) return true;
    }
  return false;
}

void ClassLevel::Steer(int32_t x, int32_t y, uint32_t elapsed) {
  for (uint32_t d = MOVE_LEFT; d <= MOVE_DOWN; ++d) {
    if (stylussteps[d] == 0) continue;
    const int32_t col = column, top = row;
    const bool pointed = d == MOVE_LEFT    ? x < kCell * col - 12
                         : d == MOVE_RIGHT ? x >= kCell * col + 16
                                           : y >= kCell * (top + 4) + kTopEdge;
    if (!pointed) {
      stylustimer[d] = kStylusFirst;
      continue;
    }
    stylustimer[d] = stylustimer[d] > elapsed ? stylustimer[d] - elapsed : 0;
    if (stylustimer[d] != 0) continue;
    if (d != MOVE_DOWN) {
      stylustimer[d] = stylussteps[d] == 1 ? kStylusFirst : kStylusSideRepeat;
      if (stylussteps[d] < kStylusMaxSteps) ++stylussteps[d];
      if (PieceInPlay()) Shift(d == MOVE_LEFT ? -1 : 1);
    } else {
      if (stylussteps[d] < kStylusMaxSteps) {
        stylustimer[d] = kStylusFirst - kStylusDownFaster * stylussteps[d];
        ++stylussteps[d];
      } else {
        stylustimer[d] = kStylusDownFastest;
        stylussteps[d] = kStylusMaxSteps + 1;
      }
      stylusdown = true;
    }
  }
}

void ClassLevel::Stylus(uint32_t elapsed) {
  ClassZInput* input = InputOf(maindata);
  if (!input) return;
  // The position held down acts as an event of its own before the queued ones.
  int32_t x, y;
  input->GetClickPosition(x, y);
  if (input->ClickHold(0)) {
    if (!OnPiece(x, y)) Steer(x, y, elapsed);
  } else {
    std::memset(stylustimer, 0, sizeof(stylustimer));
    std::memset(stylussteps, 0, sizeof(stylussteps));
  }
  Z_INPUTEVENT e;
  while (input->GetClickEvent(&e)) {
    if (e.type != ZINPUT_DOWN && e.type != ZINPUT_DOUBLE && e.type != ZINPUT_REPEAT) continue;
    const bool on = OnPiece(e.x, e.y);
    if (e.type == ZINPUT_DOWN) {
      if (on) {
        TryRotate(true);
        continue;
      }
      for (uint32_t& s : stylussteps) s = 1;
      Steer(e.x, e.y, elapsed);
    } else if (!on) {
      Steer(e.x, e.y, elapsed);
    }
  }
}

void ClassLevel::ProcessAI(uint32_t elapsed) {
  GAMESTATS& stats = *maindata->stats;
  stylusdown = false;
  Stylus(elapsed);
  AgeEffects(elapsed);
  // While rows clear nothing else moves: no input, no gravity, no new piece.
  if (AgeRows(elapsed)) return;

  if (!PieceInPlay()) {
    Spawn();
  } else {
    falltimer = AddCapped(falltimer, elapsed);
    const uint32_t interval = FallInterval(stats.level);
    // Every queued press of the frame is served; a gravity step or a lock ends it.
    for (;;) {
      if (PressedKey(ACTION_FASTDROP, true)) {
        HardDrop();
        break;
      }
      if (falltimer >= interval) {
        Drop();
        break;
      }
      if (PressedKey(ACTION_MOVEDOWN, true)) {
        if (!Drop()) break;
        continue;
      }
      if (stylusdown) {
        stylusdown = false;
        if (!Drop()) break;
        continue;
      }
      break;
    }
    if (PieceInPlay()) {
      while (PressedKey(ACTION_MOVELEFT, true)) Shift(-1);
      while (PressedKey(ACTION_MOVERIGHT, true)) Shift(1);
      if (ClassZInput* input = InputOf(maindata)) {
        const int32_t wheel = input->GetWheelScroll();
        if (wheel != 0) Shift(wheel < 0 ? -1 : 1);
      }
      if (PressedKey(ACTION_TURN, true) || PressedKey(ACTION_TURNRIGHT, true))
        TryRotate(true);
      else if (PressedKey(ACTION_TURNLEFT, true))
        TryRotate(false);
    }
  }
  if (stats.level > STAT_MAX) stats.level = STAT_MAX;
  if (stats.score > STAT_MAX) stats.score = STAT_MAX;
  if (stats.lines > STAT_MAX) stats.lines = STAT_MAX;
}
