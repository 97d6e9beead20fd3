// The submission code: a short upper-case hexadecimal text that packs a high-score
// table's value t and its best score with a check value, so that the score server can
// test a score typed in or posted by the player.
//
// The deployment's pattern (40 letters u, s, t or c, blanks and case ignored) says which
// bit of the code carries which bit: s the mixed score h, t the table value, c the check,
// u a zero. With K = K0 (1 + t) (32-bit), r = K mod n_s (0 becomes 1):
//   h     = (K xor (score rotated left by r within n_s bits)) within n_s bits
//   check = (K + score K + h) within n_c bits
// The bits are taken four at a time, the first one the digit's least significant.
// The score server holds the same pattern and constant.
#pragma once

#include <cstdint>

// The pattern and constant of this game's score server; table n has the value 44 + n.
extern const char* const HIGHSCORE_PATTERN;
constexpr uint32_t HIGHSCORE_K0 = 0x5A3C96E1u;
constexpr uint32_t HIGHSCORE_TABLE_BASE = 44;

// The letters of a pattern without blanks, folded to lower case, counted.
struct CODEPATTERN {
  char letters[64];
  uint32_t length;
  uint32_t ns, nt, nc;
};
// false when the pattern has more than 63 letters once its blanks are gone.
bool ReadCodePattern(const char* pattern, CODEPATTERN& out);

// Writes the code into out (size bytes, terminator included): true; false when the score
// does not fit into n_s bits, the pattern has no s letter or the code does not fit.
bool EncodeHighscore(const char* pattern, uint32_t k0, uint32_t t, uint32_t score, char* out,
                     uint32_t size);
// The inverse: the table value and the score, true when the check value agrees. Takes
// digits in either case; false for a code of the wrong length or a character that is no
// hexadecimal digit.
bool DecodeHighscore(const char* pattern, uint32_t k0, uint32_t& t, uint32_t& score,
                     const char* code);
