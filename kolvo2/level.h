// ClassLevel: the level screen. Its rules half (level_rules.cpp) is the falling-block game
// itself: the field with its walls and floor, the current and next piece, moving, turning
// with wall kicks, gravity, soft and hard drops, locking, row clearing, scoring, level
// advance and the stylus control, run one frame at a time by ProcessAI. It reads the
// statistics, the configuration (start level, mode), the input object and the random
// source through MAINDATA and plays its effects through ClassSound.
//
// The field is 28 rows by 18 columns; rows 0-23 and columns 4-13 are the well, every
// other cell is wall or floor (1). A locked cell holds the piece's colour value minus one
// (1 to 7). A field cell (column c, row r) is drawn at x = 14c - 26, y = 14r - 98.
#pragma once

#include <cstdint>

#include "kolvo2/game_records.h"
#include "kolvo2/piece_table.h"

// An effect the screen draws over the field: a hard drop's trail or a lock flash.
enum : uint8_t { LEVELFX_FREE = 0, LEVELFX_TRAIL = 1, LEVELFX_FLASH = 2 };

struct LEVELEFFECT {
  uint32_t remaining;  // ms
  uint32_t column;
  uint32_t row;
  uint32_t piece;
  uint32_t orientation;
  uint8_t kind;  // LEVELFX_*
};

// Level screen states.
enum : uint32_t {
  LEVEL_PLAY = 0,
  LEVEL_FADEIN = 1,
  LEVEL_GAMEOVER = 2,
  LEVEL_PAUSE = 3,
  LEVEL_NAMEENTRY = 4,
  LEVEL_FADEOUT = 5,
};

class ClassLevel {
 public:
  static constexpr uint32_t FIELD_ROWS = 28;
  static constexpr uint32_t FIELD_COLUMNS = 18;
  static constexpr uint32_t PLAY_ROWS = 24;
  static constexpr uint32_t PLAY_LEFT = 4;  // columns 4 to 13
  static constexpr uint32_t PLAY_WIDTH = 10;
  static constexpr uint32_t EFFECT_SLOTS = 32;
  static constexpr uint8_t ROW_IDLE = 255;
  static constexpr uint32_t ROW_CLEAR_MS = 250;
  static constexpr uint8_t NO_PIECE = 100;  // the row while no piece is in play
  static constexpr uint8_t SPAWN_COLUMN = 7;
  static constexpr uint8_t SPAWN_ROW = 5;
  static constexpr uint32_t FLASH_MS = 384;
  static constexpr uint32_t TRAIL_STEP_MS = 32;
  static constexpr uint32_t STAT_MAX = 999999;

  ClassLevel();

  // ---- rules ----
  // Starts a game: an empty well, no clearing rows, no effects, statistics at the start
  // level with no score and lines, no piece in play, the Maniac run reset, and the first
  // next piece chosen. (The screen's entry does this, then fades in.)
  void NewGame();
  // Whether any filled cell of the current piece's matrix lies on an occupied field cell.
  bool BlockCollide() const;
  // Makes orientation (orientation & 3) of the table the piece's current matrix.
  void TurnBlock(uint8_t piece, uint8_t orientation);
  // A newly chosen piece for the configured mode: Classic 0-6; Maniac runs of four-cell
  // pieces alternating with short runs of the larger and odd shapes; any other mode 0-34.
  uint8_t GetNext();
  // Takes the action's queued events one by one; true at the first down (or, with
  // repeat, repeat) event, false when none is left.
  bool PressedKey(uint8_t action, bool repeat);
  // A quarter turn in place, else one column left (not from column 0), else one column
  // right; a turn that fits nowhere is undone silently, one that stands plays effect 1.
  void TryRotate(bool clockwise);
  // One frame of play.
  void ProcessAI(uint32_t elapsed);
  // Milliseconds between gravity steps: 1000 / level + 140 up to level 9, then 140.
  static uint32_t FallInterval(uint32_t level);
  const uint8_t* CurrentMatrix() const { return matrix[piece]; }
  bool PieceInPlay() const { return row != NO_PIECE; }

  // ---- screen (level_screen.cpp) ----
  // The module entry: attach, enter (a new game, then the fade-in), restore (pauses a
  // game in play) or one frame of the level state.
  void Manage(Z2DSurface& backbuffer, uint32_t* next, uint32_t* status, int32_t* keys,
              uint32_t elapsed);
  // Each true when its state is done.
  bool ProcessFadeIn(Z2DSurface& backbuffer, uint32_t elapsed);
  bool ProcessGameOver(Z2DSurface& backbuffer, uint32_t elapsed);
  bool ProcessHighscore(Z2DSurface& backbuffer);
  bool ProcessFadeOut(Z2DSurface& backbuffer, uint32_t elapsed);
  // The play picture: the well with its pieces, shadow, clearing rows and effects, and
  // the side panel when the redraw flag is set.
  void RenderAll(Z2DSurface& backbuffer);
  void RenderHud(Z2DSurface& backbuffer);
  // Opens the pause menu over the darkened play picture (drawn into the back buffer
  // first, then kept in the back surface).
  void Pause(Z2DSurface& backbuffer);
  static constexpr uint32_t NOT_PLACED = 3;  // the high-score position before name entry
  uint8_t pauseselection = 0;  // 0 Resume, 1 Music, 2 Sound, 3 Quit
  uint32_t hsposition = NOT_PLACED;
  uint8_t namecursor = 0;      // characters of the name typed

  // ---- state: shared by the rules and the screen ----
  MAINDATA* maindata = nullptr;
  LEVELEFFECT effects[EFFECT_SLOTS] = {};
  uint8_t field[FIELD_ROWS][FIELD_COLUMNS] = {};
  // Each piece's current matrix: the orientation it last turned to.
  uint8_t matrix[PIECES][PIECE_SIZE * PIECE_SIZE] = {};
  uint8_t rowclear[PLAY_ROWS] = {};  // ms since the row was completed; ROW_IDLE when not
  uint8_t column = 0;  // the matrix's top-left cell on the field
  uint8_t row = NO_PIECE;
  uint8_t piece = 0;
  uint8_t orientation = 0;
  uint32_t stylustimer[3] = {};  // left, right, down: ms until the next step
  uint32_t stylussteps[3] = {};  // steps made while held (0: direction not steering)
  uint8_t nextpiece = 0;
  uint32_t state = LEVEL_PLAY;  // LEVEL_*; the rules set game over
  uint32_t statetimer = 0;
  uint32_t falltimer = 0;  // ms since the piece last moved down
  uint32_t maniaccounter = 0;
  uint32_t maniacphase = 0;
  uint8_t redraw = 0;  // the field or the next piece changed

 private:
  enum Move : uint8_t { MOVE_LEFT = 0, MOVE_RIGHT = 1, MOVE_DOWN = 2 };

  uint32_t Random();
  void PlaySfx(uint16_t effect);
  void Spawn();
  // Moves one column (left only while above column 0, right only while at most 12);
  // undone when it collides.
  void Shift(int direction);
  // A gravity or soft step: one row down; false when it collided and the piece locked
  // (with a flash) one row up.
  bool Drop();
  void HardDrop();
  void Lock(bool harddrop);
  void AddEffect(uint8_t kind, uint32_t remaining);
  // Row clearing; true when any row was clearing at its start.
  bool AgeRows(uint32_t elapsed);
  void AgeEffects(uint32_t elapsed);
  void Stylus(uint32_t elapsed);
  bool OnPiece(int32_t x, int32_t y) const;
  void Steer(int32_t x, int32_t y, uint32_t elapsed);
  void ProcessPause(Z2DSurface& backbuffer, uint32_t elapsed);
  void PauseSelect(uint8_t item);
  void DrawTile(Z2DSurface& backbuffer, uint32_t column, uint32_t row, uint8_t tile);

  bool stylusdown = false;  // the stylus asked for a soft step this frame
};
