// The piece table checked against itself: cell counts and colours, and every orientation
// the clockwise quarter turn of the one before.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "kolvo2/piece_table.h"

namespace {

using Cells = std::set<std::pair<int, int>>;  // (row, column), moved to the top-left corner

Cells CellsOf(uint32_t piece, uint32_t orientation) {
  Cells cells;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (tblockmtx[piece][orientation][r * 4 + c]) cells.insert({r, c});
  return cells;
}

Cells Normalised(const Cells& cells) {
  int top = 99, left = 99;
  for (auto [r, c] : cells) {
    top = std::min(top, r);
    left = std::min(left, c);
  }
  Cells out;
  for (auto [r, c] : cells) out.insert({r - top, c - left});
  return out;
}

// A quarter turn clockwise with screen y pointing down: (row, column) -> (column, -row).
Cells TurnedClockwise(const Cells& cells) {
  Cells out;
  for (auto [r, c] : cells) out.insert({c, -r});
  return Normalised(out);
}

struct PieceFacts {
  uint8_t value;
  uint32_t cells;
};

// Colour value and cell count of every piece, as the game's table lists them.
constexpr PieceFacts kFacts[PIECES] = {
    {2, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 4}, {7, 4}, {8, 4},                  // 0-6
    {2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}, {7, 5}, {8, 5}, {4, 5},          // 7-14
    {5, 6}, {3, 6}, {4, 6}, {2, 6}, {6, 6}, {7, 6}, {8, 6}, {7, 6}, {2, 8},  // 15-23
    {3, 5}, {2, 5}, {4, 5}, {5, 2}, {6, 3}, {7, 7}, {8, 8}, {3, 3}, {5, 9},  // 24-32
    {6, 7}, {8, 2}};                                                          // 33-34

TEST(PieceTable, EveryOrientationHasThePiecesCellsInItsColour) {
  for (uint32_t p = 0; p < PIECES; ++p)
    for (uint32_t o = 0; o < ORIENTATIONS; ++o) {
      uint32_t filled = 0;
      for (uint8_t v : tblockmtx[p][o]) {
        if (!v) continue;
        ++filled;
        EXPECT_EQ(v, kFacts[p].value) << "piece " << p << " orientation " << o;
      }
      EXPECT_EQ(filled, kFacts[p].cells) << "piece " << p << " orientation " << o;
    }
}

TEST(PieceTable, EachOrientationIsTheLastOneTurnedClockwise) {
  for (uint32_t p = 0; p < PIECES; ++p)
    for (uint32_t o = 0; o < ORIENTATIONS; ++o)
      EXPECT_EQ(TurnedClockwise(CellsOf(p, o)), Normalised(CellsOf(p, (o + 1) % 4)))
          << "piece " << p << " from orientation " << o;
}

TEST(PieceTable, RowMajorBytesWithTheLeftmostColumnFirst) {
  // Piece 0 is the square in rows 2-3, columns 1-2; piece 2 starts as the upright bar in
  // column 1 and lies in row 2.
  EXPECT_EQ(CellsOf(0, 0), Cells({{2, 1}, {2, 2}, {3, 1}, {3, 2}}));
  EXPECT_EQ(CellsOf(2, 0), Cells({{0, 1}, {1, 1}, {2, 1}, {3, 1}}));
  EXPECT_EQ(CellsOf(2, 1), Cells({{2, 0}, {2, 1}, {2, 2}, {2, 3}}));
  // The bytes lie piece after piece, orientations in order, 16 each.
  const uint8_t* flat = &tblockmtx[0][0][0];
  EXPECT_EQ(sizeof(tblockmtx), PIECES * ORIENTATIONS * 16u);
  EXPECT_EQ(flat[(2 * 4 + 1) * 16 + 2 * 4 + 3], 4);
  EXPECT_EQ(flat[(34 * 4 + 3) * 16 + 2 * 4 + 2], 8);
}

TEST(PieceTable, Pieces27And34AreOneShapeInTwoColours) {
  for (uint32_t o = 0; o < ORIENTATIONS; ++o) EXPECT_EQ(CellsOf(27, o), CellsOf(34, o));
  EXPECT_NE(tblockmtx[27][0][10], tblockmtx[34][0][10]);
}

}  // namespace
