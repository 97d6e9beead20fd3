// The 35 piece shapes in four orientations: tblockmtx[piece][orientation][row * 4 + column],
// each byte 0 for an empty cell or the piece's colour value 2 to 8 (every cell of a piece
// has the same value). Orientation o + 1 is orientation o turned a quarter clockwise (up
// to where the shape sits in its 4 x 4 matrix); 3 turned clockwise is 0. Pieces 0-6 are
// the seven four-cell pieces, 7-14 five-cell pieces, 15-34 further shapes of 2 to 9 cells.
#pragma once

#include <array>
#include <cstdint>

constexpr uint32_t PIECES = 35;
constexpr uint32_t CLASSIC_PIECES = 7;
constexpr uint32_t ORIENTATIONS = 4;
constexpr uint32_t PIECE_SIZE = 4;  // a shape is a 4 x 4 matrix

using PIECEMATRIX = std::array<uint8_t, PIECE_SIZE * PIECE_SIZE>;
using PIECETABLE = std::array<std::array<PIECEMATRIX, ORIENTATIONS>, PIECES>;

extern const PIECETABLE tblockmtx;
