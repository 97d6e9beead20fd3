// The falling-block rules driven frame by frame with scripted random numbers and input
// events, as the level screen runs them.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/core/zmod_input.h"
#include "engine/core/zolt_records.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_sound.h"
#include "kolvo2/level.h"
#include "tests/kolvo2/kolvo2_fixtures.h"

namespace {

using Field = std::vector<std::string>;  // the well's 24 rows, '.' empty, else filled

constexpr uint8_t PIECE_O = 0;  // the square in rows 2-3, columns 1-2 of its matrix
constexpr uint8_t PIECE_T = 1;
constexpr uint8_t PIECE_I = 2;  // upright in matrix column 1, lying in row 2

class Rules : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCfg(cfg, nullptr);
    zcd.input = &input;
    data.stats = &stats;
    data.cfg = &cfg;
    data.zcd = &zcd;
    data.random = &random;
    level.maindata = &data;
    for (uint8_t a = 0; a < GAME_ACTIONS; ++a) input.AddKeyMapping(a, CfgKey(cfg, a));
  }

  // A game whose first pieces are these (Classic draws R % 7).
  void Start(std::initializer_list<uint32_t> pieces) {
    random.script.assign(pieces.begin(), pieces.end());
    level.NewGame();
  }
  // The current piece placed by hand.
  void Place(uint8_t piece, uint8_t orientation, uint8_t column, uint8_t row) {
    level.piece = piece;
    level.orientation = orientation;
    level.TurnBlock(piece, orientation);
    level.column = column;
    level.row = row;
    level.falltimer = 0;
  }
  // Queues presses of an action; each release queues an up event the rules must skip.
  void Press(uint8_t action, int times = 1) {
    for (int i = 0; i < times; ++i) {
      input.OnKeyDown(CfgKey(cfg, action));
      input.OnKeyUp(CfgKey(cfg, action));
    }
  }
  // One frame as the framework runs it: the rules, then the events are gone.
  void Frame(uint32_t elapsed) {
    level.ProcessAI(elapsed);
    input.ResetEvents();
  }
  void SetRow(uint32_t row, const std::string& ten) {
    for (uint32_t c = 0; c < 10; ++c) level.field[row][4 + c] = ten[c] == '.' ? 0 : 3;
  }
  void SetWell(const Field& rows) {  // the bottom rows of the well, top first
    for (size_t i = 0; i < rows.size(); ++i) SetRow(24 - rows.size() + i, rows[i]);
  }
  Field Well() const {
    Field rows;
    for (uint32_t r = 0; r < 24; ++r) {
      std::string s;
      for (uint32_t c = 4; c < 14; ++c) s += level.field[r][c] ? '#' : '.';
      rows.push_back(s);
    }
    return rows;
  }
  // The well after full rows vanish and the rows above come down, worked out from the
  // rows alone.
  static Field Collapsed(const Field& well) {
    Field kept;
    for (const std::string& r : well)
      if (r != "##########") kept.push_back(r);
    Field out(24 - kept.size(), "..........");
    out.insert(out.end(), kept.begin(), kept.end());
    return out;
  }
  uint32_t EffectsOf(uint8_t kind) const {
    uint32_t n = 0;
    for (const LEVELEFFECT& e : level.effects) n += e.kind == kind;
    return n;
  }

  GAMECONFIG cfg;
  GAMESTATS stats{};
  ClassZInput input;
  ZCD zcd{};
  ScriptedRandom random;
  MAINDATA data{};
  ClassLevel level;
};

// ---- choosing pieces ----

struct NextStep {
  std::vector<uint32_t> draws;  // the numbers this choice takes, in order
  uint8_t piece;
  uint32_t counter, phase;  // Maniac state after it
};

struct NextCase {
  const char* name;
  uint8_t mode;
  std::vector<NextStep> steps;
};

void PrintTo(const NextCase& c, std::ostream* os) { *os << c.name; }

class RulesNext : public Rules, public ::testing::WithParamInterface<NextCase> {};

TEST_P(RulesNext, EachModeDrawsItsPieces) {
  const NextCase& k = GetParam();
  cfg.mode = k.mode;
  for (size_t i = 0; i < k.steps.size(); ++i) {
    const NextStep& s = k.steps[i];
    random.script.assign(s.draws.begin(), s.draws.end());
    random.draws = 0;
    EXPECT_EQ(level.GetNext(), s.piece) << "choice " << i;
    EXPECT_EQ(random.draws, s.draws.size()) << "choice " << i;
    EXPECT_EQ(level.maniaccounter, s.counter) << "choice " << i;
    EXPECT_EQ(level.maniacphase, s.phase) << "choice " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RulesNext,
    ::testing::Values(
        NextCase{"Classic", 0,
                 {{{0}, 0, 0, 0}, {{6}, 6, 0, 0}, {{7}, 0, 0, 0}, {{13}, 6, 0, 0},
                  {{0x7FFFFFFF}, 1, 0, 0}}},
        NextCase{"Mode2", 2, {{{34}, 34, 0, 0}, {{35}, 0, 0, 0}, {{100}, 30, 0, 0}}},
        NextCase{"Mode255", 255, {{{69}, 34, 0, 0}, {{0x7FFFFFFF}, 0x7FFFFFFF % 35, 0, 0}}},
        // Four-cell runs until the counter passes 7, then odd shapes until it passes 2.
        NextCase{"Maniac", 1,
                 {{{0, 3}, 3, 1, 0},          // counter + 1
                  {{250, 5}, 5, 4, 0},        // + 3
                  {{100, 7}, 0, 6, 0},        // + 2
                  {{200, 50, 19}, 34, 0, 1},  // + 3 passes 7: the switch already draws big
                  {{0, 49, 9}, 8, 1, 1},      // below 50: 7 + R % 8
                  {{0, 99, 20}, 15, 2, 1},    // + 1, not past 2 yet
                  {{0, 13}, 6, 0, 0}}},       // passes 2: back to four cells
        // The counter must pass the bounds: 7 and 2 themselves keep the phase.
        NextCase{"ManiacBounds", 1,
                 {{{200, 1}, 1, 3, 0},
                  {{200, 2}, 2, 6, 0},
                  {{0, 3}, 3, 7, 0},
                  {{0, 60, 5}, 20, 0, 1},
                  {{0, 10, 3}, 10, 1, 1},
                  {{0, 10, 4}, 11, 2, 1},
                  {{0, 5}, 5, 0, 0}}}),
    [](const ::testing::TestParamInfo<NextCase>& i) { return i.param.name; });

// ---- a new piece ----

TEST_F(Rules, ANewPieceComesInAtColumn7Row5Unturned) {
  Start({3, 4});
  EXPECT_EQ(level.nextpiece, 3);
  EXPECT_FALSE(level.PieceInPlay());
  level.TurnBlock(3, 2);  // its last appearance left it turned
  level.redraw = 0;
  Frame(16);
  EXPECT_EQ(level.piece, 3);
  EXPECT_EQ(level.column, 7);
  EXPECT_EQ(level.row, 5);
  EXPECT_EQ(level.orientation, 0);
  EXPECT_EQ(0, std::memcmp(level.CurrentMatrix(), tblockmtx[3][0].data(), 16));
  EXPECT_EQ(level.nextpiece, 4);
  EXPECT_EQ(level.redraw, 1);
  EXPECT_EQ(level.state, static_cast<uint32_t>(LEVEL_PLAY));
}

TEST_F(Rules, APieceThatCollidesOnArrivalEndsTheGameWhereItStands) {
  Start({PIECE_O, 5});
  SetRow(7, "....#.....");  // where the square's left half comes in
  level.statetimer = 123;
  Frame(16);
  EXPECT_EQ(level.state, static_cast<uint32_t>(LEVEL_GAMEOVER));
  EXPECT_EQ(level.statetimer, 0u);
  EXPECT_EQ(level.row, 5);
  EXPECT_TRUE(level.BlockCollide());
}

// ---- the drop loop ----

struct DropCase {
  const char* name;
  bool gravitydue;
  int fastdrops, softdrops;
  int rowafter;  // -1: locked
};

void PrintTo(const DropCase& c, std::ostream* os) { *os << c.name; }

class RulesDrop : public Rules, public ::testing::WithParamInterface<DropCase> {};

TEST_P(RulesDrop, HardDropThenGravityThenQueuedSoftDrops) {
  const DropCase& k = GetParam();
  Start({0, 0, 0});
  Place(PIECE_I, 0, 7, 10);  // lands on row 20
  level.falltimer = k.gravitydue ? ClassLevel::FallInterval(1) - 16 : 0;
  Press(ACTION_MOVEDOWN, k.softdrops);
  Press(ACTION_FASTDROP, k.fastdrops);
  Frame(16);
  if (k.rowafter < 0) {
    EXPECT_FALSE(level.PieceInPlay());
    EXPECT_EQ(Well()[23], "....#.....");
  } else {
    EXPECT_EQ(level.row, k.rowafter);
    EXPECT_EQ(level.column, 7) << "no sideways move came with it";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RulesDrop,
    ::testing::Values(DropCase{"Nothing", false, 0, 0, 10},
                      DropCase{"Gravity", true, 0, 0, 11},
                      DropCase{"SoftDrops", false, 0, 3, 13},
                      DropCase{"GravityEndsTheLoop", true, 0, 3, 11},
                      DropCase{"HardDropBeforeGravity", true, 1, 0, -1},
                      DropCase{"HardDropBeforeSoftDrops", false, 1, 3, -1},
                      DropCase{"SoftDropsUntilItLocks", false, 0, 12, -1}),
    [](const ::testing::TestParamInfo<DropCase>& i) { return i.param.name; });

TEST_F(Rules, GravityWaitsForTheFallInterval) {
  Start({0, 0, 0});
  stats.level = 2;  // 640 ms
  Frame(16);        // the piece comes in; its time starts
  const uint8_t start = level.row;
  for (int f = 1; f < 40; ++f) Frame(16);
  EXPECT_EQ(level.row, start);
  Frame(16);  // 40 x 16 = 640
  EXPECT_EQ(level.row, start + 1);
  EXPECT_EQ(level.falltimer, 0u);
}

TEST_F(Rules, FallIntervalTable) {
  const uint32_t expected[] = {1140, 1140, 640, 473, 390, 340, 306, 282, 265, 251, 140, 140};
  for (uint32_t lvl = 0; lvl < 12; ++lvl)
    EXPECT_EQ(ClassLevel::FallInterval(lvl), expected[lvl]) << "level " << lvl;
  EXPECT_EQ(ClassLevel::FallInterval(999999), 140u);
}

TEST_F(Rules, HardDropLeavesATrailPerRowAndNoFlash) {
  Start({0, 0});
  Place(PIECE_I, 0, 7, 5);
  Press(ACTION_FASTDROP);
  Frame(16);
  // Rows 6 to 20 reached: the n-th for 32 n ms.
  ASSERT_EQ(EffectsOf(LEVELFX_TRAIL), 15u);
  EXPECT_EQ(EffectsOf(LEVELFX_FLASH), 0u);
  for (uint32_t n = 1; n <= 15; ++n) {
    const LEVELEFFECT& e = level.effects[n - 1];
    EXPECT_EQ(e.row, 5 + n);
    EXPECT_EQ(e.remaining, 32 * n);
    EXPECT_EQ(e.column, 7u);
    EXPECT_EQ(e.piece, PIECE_I);
  }
  // Effects age with the frames and free their slots.
  Frame(40);
  EXPECT_EQ(EffectsOf(LEVELFX_TRAIL), 14u);
  EXPECT_EQ(level.effects[1].remaining, 24u);
  Frame(24);  // exactly what it had left
  EXPECT_EQ(level.effects[1].kind, LEVELFX_FREE);
  EXPECT_EQ(level.effects[2].remaining, 32u);
}

TEST_F(Rules, AFullEffectListDropsNewEffects) {
  Start({0, 0});
  for (uint32_t i = 2; i < ClassLevel::EFFECT_SLOTS; ++i)
    level.effects[i] = LEVELEFFECT{5000, 0, 0, 0, 0, LEVELFX_FLASH};
  Place(PIECE_I, 0, 7, 5);
  Press(ACTION_FASTDROP);
  Frame(16);
  EXPECT_EQ(EffectsOf(LEVELFX_TRAIL), 2u);
  EXPECT_FALSE(level.PieceInPlay()) << "it still lands";
}

TEST_F(Rules, AGravityLockFlashesWherePieceLocked) {
  Start({0, 0});
  Place(PIECE_T, 1, 6, 20);  // lying in matrix rows 1-2: two steps to the floor
  Frame(ClassLevel::FallInterval(1));
  Frame(ClassLevel::FallInterval(1));
  EXPECT_FALSE(level.PieceInPlay());
  ASSERT_EQ(EffectsOf(LEVELFX_FLASH), 1u);
  const LEVELEFFECT& e = level.effects[0];
  EXPECT_EQ(e.remaining, ClassLevel::FLASH_MS);
  EXPECT_EQ(e.column, 6u);
  EXPECT_EQ(e.row, 21u);
  EXPECT_EQ(e.piece, PIECE_T);
  EXPECT_EQ(e.orientation, 1u);
  // The cells hold the colour value minus one.
  EXPECT_EQ(level.field[22][7], tblockmtx[PIECE_T][1][5] - 1);
}

// ---- locking, scoring and levels ----

struct LockCase {
  const char* name;
  uint8_t startlevel;
  uint32_t level, lines, rows;  // rows completed by the lock
  uint32_t levelafter, scoregain;
};

void PrintTo(const LockCase& c, std::ostream* os) { *os << c.name; }

class RulesLock : public Rules, public ::testing::WithParamInterface<LockCase> {};

TEST_P(RulesLock, ScoreAndLevelOfOneLock) {
  const LockCase& k = GetParam();
  cfg.startlevel = k.startlevel;
  Start({0, 0});
  stats.level = k.level;
  stats.lines = k.lines;
  stats.score = 1000;
  // Rows 23 up to 24 - rows full but for column 8, which the upright bar fills.
  for (uint32_t i = 0; i < k.rows; ++i) SetRow(23 - i, "####.#####");
  Place(PIECE_I, 0, 7, 5);
  Press(ACTION_FASTDROP);
  Frame(16);
  EXPECT_EQ(stats.lines, k.lines + k.rows);
  EXPECT_EQ(stats.level, k.levelafter);
  EXPECT_EQ(stats.score, 1000 + k.scoregain);
  uint32_t clearing = 0;
  for (uint8_t t : level.rowclear) clearing += t == 0;
  EXPECT_EQ(clearing, k.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RulesLock,
    ::testing::Values(LockCase{"NoRows", 1, 1, 0, 0, 1, 1},
                      LockCase{"OneRow", 1, 1, 0, 1, 1, 1 + 10},
                      LockCase{"TwoRows", 1, 1, 0, 2, 1, 1 + 40},
                      LockCase{"ThreeRows", 1, 3, 0, 3, 3, 3 + 100},
                      LockCase{"FourRows", 1, 1, 0, 4, 1, 1 + 200},
                      LockCase{"LockBonusStopsAt10", 1, 12, 200, 0, 12, 10},
                      LockCase{"StartLevel5At20Lines", 5, 5, 19, 1, 6, 5 + 10},
                      LockCase{"StartLevel5At40Lines", 5, 6, 38, 4, 7, 6 + 200},
                      LockCase{"OneLevelPerLockWhenBehind", 5, 5, 38, 4, 6, 5 + 200},
                      LockCase{"BelowTheBoundary", 5, 5, 18, 1, 5, 5 + 10}),
    [](const ::testing::TestParamInfo<LockCase>& i) { return i.param.name; });

TEST_F(Rules, StatisticsStopAt999999) {
  Start({0, 0, 0});
  stats.score = 999995;
  stats.lines = 999999;
  stats.level = 999999;
  SetRow(23, "####.#####");
  Place(PIECE_I, 0, 7, 5);
  Press(ACTION_FASTDROP);
  Frame(16);
  EXPECT_EQ(stats.score, 999999u);
  EXPECT_EQ(stats.lines, 999999u);
  EXPECT_EQ(stats.level, 999999u);
  stats.score = 5000000;  // also held in frames without a lock
  for (int f = 0; f < 5; ++f) Frame(100);
  EXPECT_EQ(stats.score, 999999u);
}

// ---- clearing rows ----

struct ClearCase {
  const char* name;
  Field bottom;  // the lowest rows of the well before the upright bar drops into column 8
  uint32_t scoregain;
};

void PrintTo(const ClearCase& c, std::ostream* os) { *os << c.name; }

class RulesClear : public Rules, public ::testing::WithParamInterface<ClearCase> {};

TEST_P(RulesClear, FullRowsSlideOutThenTheStackComesDown) {
  const ClearCase& k = GetParam();
  Start({5, 0});
  SetWell(k.bottom);
  stats.score = 0;
  Place(PIECE_I, 0, 7, 5);
  Press(ACTION_FASTDROP);
  Frame(16);
  EXPECT_EQ(stats.score, k.scoregain);
  const Field locked = Well();
  const Field expected = Collapsed(locked);
  ASSERT_NE(expected, locked) << "the case completes no row";

  // 250 ms of clearing: nothing comes in, nothing moves, no input is read.
  for (uint32_t t : {100u, 100u, 49u}) {
    Press(ACTION_FASTDROP);
    Frame(t);
    EXPECT_EQ(Well(), locked);
    EXPECT_FALSE(level.PieceInPlay());
  }
  Frame(1);  // 250: the rows go, top first, and that frame ends there
  EXPECT_EQ(Well(), expected);
  EXPECT_FALSE(level.PieceInPlay());
  for (uint8_t t : level.rowclear) EXPECT_EQ(t, ClassLevel::ROW_IDLE);
  Frame(16);
  EXPECT_TRUE(level.PieceInPlay());
  EXPECT_EQ(level.piece, 5);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RulesClear,
    ::testing::Values(
        ClearCase{"OneRow", {"#.#.......", "####.#####"}, 1 + 10},
        ClearCase{"TwoRows", {"##........", "####.#####", "####.#####"}, 1 + 40},
        ClearCase{"ThreeRows", {"####.#####", "####.#####", "####.#####"}, 1 + 100},
        ClearCase{"FourRows",
                  {"###.......", "####.#####", "####.#####", "####.#####", "####.#####"},
                  1 + 200},
        // Rows 20 and 22 complete; 21 and 23 stay, and the one between lands on the stack.
        ClearCase{"PartialRowBetween",
                  {"#.........", "####.#####", "..##.#.##.", "####.#####", "#.##.####."},
                  1 + 40}),
    [](const ::testing::TestParamInfo<ClearCase>& i) { return i.param.name; });

// ---- moving sideways ----

struct ShiftCase {
  const char* name;
  uint8_t piece;
  int lefts, rights, wheel;
  uint8_t columnafter;
  Field blockers;  // rows 8-11 of the well, where the piece stands
};

void PrintTo(const ShiftCase& c, std::ostream* os) { *os << c.name; }

class RulesShift : public Rules, public ::testing::WithParamInterface<ShiftCase> {};

TEST_P(RulesShift, QueuedPressesThenTheWheelStoppedByWallsAndCells) {
  const ShiftCase& k = GetParam();
  Start({0, 0});
  for (size_t i = 0; i < k.blockers.size(); ++i)
    if (!k.blockers[i].empty()) SetRow(8 + i, k.blockers[i]);
  Place(k.piece, 0, 7, 8);
  Press(ACTION_MOVELEFT, k.lefts);
  Press(ACTION_MOVERIGHT, k.rights);
  input.OnWheelScroll(k.wheel);
  Frame(16);
  EXPECT_EQ(level.column, k.columnafter);
  EXPECT_FALSE(level.BlockCollide());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RulesShift,
    ::testing::Values(
        // The upright bar stands in matrix column 1: the walls hold it at columns 3 and 12.
        ShiftCase{"SeveralLeftsInOneFrame", PIECE_I, 3, 0, 0, 4, {}},
        ShiftCase{"LeftWall", PIECE_I, 10, 0, 0, 3, {}},
        ShiftCase{"RightWall", PIECE_I, 0, 10, 0, 12, {}},
        ShiftCase{"LeftsBeforeRights", PIECE_I, 2, 1, 0, 6, {}},
        ShiftCase{"WheelOneStepWhateverItsSize", PIECE_I, 0, 0, -3, 6, {}},
        ShiftCase{"WheelAfterThePresses", PIECE_I, 3, 0, 1, 5, {}},
        ShiftCase{"SquareRightWall", PIECE_O, 0, 10, 0, 11, {}},
        ShiftCase{"SquareLeftWall", PIECE_O, 10, 0, 0, 3, {}},
        ShiftCase{"StoppedByACell", PIECE_I, 10, 0, 0, 5, {"", "", "", ".#........"}}),
    [](const ::testing::TestParamInfo<ShiftCase>& i) { return i.param.name; });

// ---- turning ----

struct TurnCase {
  const char* name;
  uint8_t piece, column;
  std::vector<uint8_t> presses;
  Field blockers;  // rows 10-13 of the well
  uint8_t columnafter, orientationafter;
  uint8_t orientation = 0;  // before the turn
};

void PrintTo(const TurnCase& c, std::ostream* os) { *os << c.name; }

class RulesTurn : public Rules, public ::testing::WithParamInterface<TurnCase> {};

TEST_P(RulesTurn, InPlaceThenLeftThenRightElseRefused) {
  const TurnCase& k = GetParam();
  Start({0, 0});
  for (size_t i = 0; i < k.blockers.size(); ++i)
    if (!k.blockers[i].empty()) SetRow(10 + i, k.blockers[i]);
  Place(k.piece, k.orientation, k.column, 10);
  ASSERT_FALSE(level.BlockCollide());
  for (uint8_t a : k.presses) Press(a);
  Frame(16);
  EXPECT_EQ(level.column, k.columnafter);
  EXPECT_EQ(level.orientation, k.orientationafter);
  EXPECT_EQ(0, std::memcmp(level.CurrentMatrix(), tblockmtx[k.piece][k.orientationafter].data(), 16));
  EXPECT_FALSE(level.BlockCollide());
}

// The upright bar at column 7 stands in well column 4 (field 8), rows 10-13; lying down it
// takes row 12, field columns 7-10.
INSTANTIATE_TEST_SUITE_P(
    Rules, RulesTurn,
    ::testing::Values(
        TurnCase{"InPlace", PIECE_I, 7, {ACTION_TURN}, {}, 7, 1},
        TurnCase{"KickLeft", PIECE_I, 7, {ACTION_TURN}, {"", "", "......#..."}, 6, 1},
        TurnCase{"KickRight", PIECE_I, 7, {ACTION_TURN}, {"", "", "...#......"}, 8, 1},
        TurnCase{"Refused", PIECE_I, 7, {ACTION_TURN}, {"", "", "...#...#.."}, 7, 0},
        // Lying down, turning upright into a cell: both kicks fit, the left one is taken.
        TurnCase{"LeftKickBeforeRight", PIECE_I, 7, {ACTION_TURN}, {"....#....."}, 6, 2, 1},
        TurnCase{"RightWallKicksLeft", PIECE_I, 11, {ACTION_TURN}, {}, 10, 1},
        TurnCase{"AgainstTheRightWallRefused", PIECE_I, 12, {ACTION_TURN}, {}, 12, 0},
        TurnCase{"TurnLeftIsCounterClockwise", PIECE_T, 7, {ACTION_TURNLEFT}, {}, 7, 3},
        TurnCase{"TurnRightIsClockwise", PIECE_T, 7, {ACTION_TURNRIGHT}, {}, 7, 1},
        TurnCase{"TurnBeforeTurnLeft", PIECE_T, 7, {ACTION_TURNLEFT, ACTION_TURN}, {}, 7, 1},
        TurnCase{"TurnRightBeforeTurnLeft", PIECE_T, 7, {ACTION_TURNLEFT, ACTION_TURNRIGHT}, {}, 7, 1},
        TurnCase{"OneTurnPerFrame", PIECE_T, 7, {ACTION_TURN, ACTION_TURN, ACTION_TURNRIGHT}, {}, 7, 1}),
    [](const ::testing::TestParamInfo<TurnCase>& i) { return i.param.name; });

// ---- held keys ----

struct HeldCase {
  const char* name;
  uint8_t action;
  uint8_t columnafter, rowafter, orientationafter;  // row 100: locked
};

void PrintTo(const HeldCase& c, std::ostream* os) { *os << c.name; }

class RulesHeld : public Rules, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(RulesHeld, AKeyHeldDownActsAgainOnItsRepeats) {
  const HeldCase& k = GetParam();
  Start({0, 0});
  Place(PIECE_T, 0, 7, 10);
  // The press was served in an earlier frame; only the input's repeat is queued now.
  input.OnKeyDown(CfgKey(cfg, k.action));
  input.ResetEvents();
  input.CheckRepeat(1000);
  Frame(16);
  EXPECT_EQ(level.row, k.rowafter);
  if (k.rowafter != ClassLevel::NO_PIECE) {
    EXPECT_EQ(level.column, k.columnafter);
    EXPECT_EQ(level.orientation, k.orientationafter);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RulesHeld,
    ::testing::Values(HeldCase{"MoveLeft", ACTION_MOVELEFT, 6, 10, 0},
                      HeldCase{"MoveRight", ACTION_MOVERIGHT, 8, 10, 0},
                      HeldCase{"MoveDown", ACTION_MOVEDOWN, 7, 11, 0},
                      HeldCase{"Turn", ACTION_TURN, 7, 10, 1},
                      HeldCase{"TurnLeft", ACTION_TURNLEFT, 7, 10, 3},
                      HeldCase{"TurnRight", ACTION_TURNRIGHT, 7, 10, 1},
                      HeldCase{"FastDrop", ACTION_FASTDROP, 0, ClassLevel::NO_PIECE, 0}),
    [](const ::testing::TestParamInfo<HeldCase>& i) { return i.param.name; });

// ---- the stylus ----

TEST_F(Rules, StylusBesideThePieceStepsAtOnceThenAfter300ThenEvery150) {
  Start({0, 0});
  Place(PIECE_I, 0, 9, 10);
  level.falltimer = 0;
  stats.level = 1;
  input.OnClickDown(20, 60, 0);  // left of the piece, above its bottom
  std::vector<int> moves;
  for (int f = 0; f < 13; ++f) {
    const uint8_t before = level.column;
    Frame(50);
    level.falltimer = 0;  // keep gravity out of it
    if (level.column != before) moves.push_back(f);
  }
  EXPECT_EQ(moves, std::vector<int>({0, 6, 9, 12}));
  input.OnClickUp(20, 60, 0);
  Frame(50);
  EXPECT_EQ(level.stylussteps[0], 0u);
}

TEST_F(Rules, StylusBelowThePieceAsksForSoftSteps) {
  Start({0, 0});
  Place(PIECE_I, 0, 7, 5);
  input.OnClickDown(100, 230, 0);  // under the piece, between left and right
  std::vector<int> steps;
  for (int f = 0; f < 30; ++f) {
    const uint8_t before = level.row;
    Frame(50);
    level.falltimer = 0;
    if (level.row != before) steps.push_back(f);
  }
  // At once, then after 250, 200, 150 and 100 ms, then every 40 (one step a frame).
  EXPECT_EQ(steps, std::vector<int>({0, 5, 9, 12, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}));
}

TEST_F(Rules, TheStylusStepComesAfterTheQueuedSoftDropsAndNeverAfterGravity) {
  struct Case {
    bool gravitydue;
    int softdrops;
    uint8_t rowafter;
  };
  for (const Case& c : {Case{false, 0, 11}, Case{false, 2, 13}, Case{true, 2, 11}}) {
    Start({0, 0});
    Place(PIECE_I, 0, 7, 10);
    level.falltimer = c.gravitydue ? ClassLevel::FallInterval(1) - 16 : 0;
    Press(ACTION_MOVEDOWN, c.softdrops);
    input.OnClickDown(100, 230, 0);  // below the piece: one soft step at once
    Frame(16);
    input.OnClickUp(100, 230, 0);
    Frame(0);
    EXPECT_EQ(level.row, c.rowafter) << c.gravitydue << " " << c.softdrops;
  }
}

struct TapCase {
  int32_t x, y;
  uint8_t columnafter, rowafter, orientationafter;
};

TEST_F(Rules, StylusTapsAtTheEdgesOfThePieceAndOfTheDirections) {
  // The T at column 7, row 10 fills matrix cells (1,1), (2,1), (2,2), (3,1): x 86-99 in
  // rows y 56-97 and x 100-113 in y 70-83. Left is x < 86, right x >= 114, down y >= 98.
  const TapCase cases[] = {
      {86, 56, 7, 10, 1},    {99, 69, 7, 10, 1},    // the first cell's corners: a turn
      {113, 83, 7, 10, 1},   {99, 97, 7, 10, 1},    // the last pixels of two more cells
      {100, 69, 7, 10, 0},   {110, 97, 7, 10, 0},   // empty matrix cells, nowhere pointed
      {114, 83, 8, 10, 0},   {85, 60, 6, 10, 0},    // right, left
      {86, 40, 7, 10, 0},                           // above: not left any more
      {90, 98, 7, 11, 0},                           // below
  };
  for (const TapCase& c : cases) {
    Start({0, 0});
    Place(PIECE_T, 0, 7, 10);
    input.OnClickDown(c.x, c.y, 0);
    input.OnClickUp(c.x, c.y, 0);
    Frame(16);
    EXPECT_EQ(level.column, c.columnafter) << c.x << "," << c.y;
    EXPECT_EQ(level.row, c.rowafter) << c.x << "," << c.y;
    EXPECT_EQ(level.orientation, c.orientationafter) << c.x << "," << c.y;
  }
}

TEST_F(Rules, StylusPointingElsewhereStartsTheWaitAgain) {
  Start({0, 0});
  Place(PIECE_T, 0, 9, 10);
  input.OnClickDown(20, 60, 0);  // left of the piece: it moves at once, then waits 300 ms
  std::vector<int> moves;
  for (int f = 0; f < 14; ++f) {
    if (f == 5) input.OnClickMove(120, 20);  // above it, pointing nowhere
    if (f == 6) input.OnClickMove(20, 60);   // left again: a whole 300 ms from here
    const uint8_t before = level.column;
    Frame(50);
    level.falltimer = 0;
    if (level.column != before) moves.push_back(f);
  }
  EXPECT_EQ(moves, std::vector<int>({0, 11}));
}

TEST_F(Rules, StylusTapOnThePieceTurnsIt) {
  Start({0, 0});
  Place(PIECE_T, 0, 7, 10);
  // Matrix cell (row 1, column 1) of the piece: x 14 x 8 - 26, y 14 x 11 - 98.
  input.OnClickDown(14 * 8 - 26 + 3, 14 * 11 - 98 + 3, 0);
  input.OnClickUp(14 * 8 - 26 + 3, 14 * 11 - 98 + 3, 0);
  Frame(16);
  EXPECT_EQ(level.orientation, 1);
  EXPECT_EQ(level.column, 7);
}

// ---- the effects the rules play ----

class RulesSound : public Rules {
 protected:
  void SetUp() override {
    Rules::SetUp();
    ASSERT_EQ(sound.Initialize(false, 64, 64, nullptr), 1);
    ASSERT_EQ(sound.LoadSfxFiles(packs.folder.c_str()), 1);
    data.sound = &sound;
    clock.Advance(100);
  }
  // The effects started in one frame, by number.
  std::vector<int> PlayedIn(uint32_t elapsed) {
    Frame(elapsed);
    std::vector<int> played;
    for (uint32_t i = 0; i < speaker.maxChannelSounds(); ++i)
      if (speaker.sounds[i].playing()) played.push_back(ChannelMarker(speaker.sounds[i]) / 1000);
    speaker.stopSounds();
    clock.Advance(100);
    return played;
  }

  FakeClock clock;
  SoundPacks packs;
  FakeSpeaker speaker;
  ClassSound sound{speaker};
};

TEST_F(RulesSound, TurnHardDropRowsAndLockEachHaveTheirEffect) {
  using V = std::vector<int>;
  Start({0, 0, 0, 0, 0, 0});
  Place(PIECE_T, 0, 7, 10);
  Press(ACTION_TURN);
  EXPECT_EQ(PlayedIn(16), V({1}));
  Place(PIECE_O, 0, 7, 10);
  Press(ACTION_TURN);
  EXPECT_EQ(PlayedIn(16), V({1})) << "the square turns too, in place";
  Press(ACTION_MOVELEFT);
  EXPECT_EQ(PlayedIn(16), V());
  Place(PIECE_I, 0, 12, 10);
  Press(ACTION_TURN);
  EXPECT_EQ(PlayedIn(16), V()) << "a refused turn is silent";
  Press(ACTION_FASTDROP);
  EXPECT_EQ(PlayedIn(16), V({2}));
  Place(PIECE_O, 0, 7, 5);  // next to the bar, on the floor
  level.falltimer = 0;
  Press(ACTION_MOVEDOWN, 16);
  EXPECT_EQ(PlayedIn(16), V({4}));
  SetRow(23, "####.#####");
  SetRow(22, "####.#####");
  Place(PIECE_I, 0, 7, 5);
  Press(ACTION_FASTDROP);
  EXPECT_EQ(PlayedIn(16), V({3}));
}

}  // namespace
