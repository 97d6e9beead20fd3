// The submission code: the game's pattern and constant, one code worked out by hand, the
// round trip for every score a code can carry, and what the check value catches.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "kolvo2/game_random.h"
#include "kolvo2/highscore_code.h"

namespace {

std::string Encode(uint32_t t, uint32_t score, const char* pattern = HIGHSCORE_PATTERN,
                   uint32_t k0 = HIGHSCORE_K0) {
  char out[32] = "unchanged";
  return EncodeHighscore(pattern, k0, t, score, out, sizeof out) ? out : "";
}

// The score server relies on these: every score the game keeps (up to 999,999) fits,
// every table value (44-47) fits, and no value is wider than 32 bits.
TEST(HighscoreCode, TheGamesPatternCarriesEveryScoreAndTable) {
  CODEPATTERN p;
  ASSERT_TRUE(ReadCodePattern(HIGHSCORE_PATTERN, p));
  EXPECT_EQ(p.length, 40u);
  EXPECT_GE(p.ns, 20u);
  EXPECT_LE(p.ns, 32u);
  EXPECT_GE(p.nt, 6u);
  EXPECT_LE(p.nc, 32u);
  EXPECT_GE(p.nc, 12u) << "a check of a few bits would pass most forged codes";
  EXPECT_EQ(Encode(44, 999999).size(), 10u);
}

// Pattern "Sstc TsuC sS" (blanks and case do not count): s s t c t s u c s s, so n_s = 5,
// n_t = 2, n_c = 2. K0 = 5, t = 2, score 7: K = 15, r = 15 mod 5 = 0, taken as 1;
// 7 rotated left by 1 in 5 bits = 14; h = 15 xor 14 = 1; check = (15 + 7 * 15 + 1) mod 4 = 1.
// Bits by letter: s h0=1, s h1=0, t t0=0, c c0=1 | t t1=1, s h2=0, u 0, c c1=0 | s h3=0,
// s h4=0; four to a digit, the first the lowest: 1001 = 9, 0001 = 1, 00 = 0.
TEST(HighscoreCode, AHandWorkedCodePinsTheBitAndDigitOrder) {
  EXPECT_EQ(Encode(2, 7, "Sstc TsuC sS", 5), "910");
  uint32_t t = 0, score = 0;
  EXPECT_TRUE(DecodeHighscore("Sstc TsuC sS", 5, t, score, "910"));
  EXPECT_EQ(t, 2u);
  EXPECT_EQ(score, 7u);
}

TEST(HighscoreCode, EveryScoreUpToTheLimitComesBack) {
  CODEPATTERN p;
  ASSERT_TRUE(ReadCodePattern(HIGHSCORE_PATTERN, p));
  const uint32_t limit = (1u << p.ns) - 1;
  char code[32];
  uint32_t wrong = 0;
  for (uint32_t score = 0; score <= limit; ++score) {
    const uint32_t table = 44 + score % 4;
    uint32_t t = 0, back = 0;
    if (!EncodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, table, score, code, sizeof code) ||
        !DecodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, t, back, code) || t != table || back != score)
      ++wrong;
  }
  EXPECT_EQ(wrong, 0u);
  char kept[32] = "kept";
  EXPECT_FALSE(EncodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, 44, limit + 1, kept, sizeof kept));
  EXPECT_FALSE(EncodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, 44, 0xFFFFFFFFu, kept, sizeof kept));
  EXPECT_FALSE(EncodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, 44, 1, kept, 10)) << "no room";
}

TEST(HighscoreCode, TheTablesOfOneScoreGetDifferentCodes) {
  for (uint32_t score : {0u, 1u, 100u, 300u, 4096u, 999999u}) {
    EXPECT_NE(Encode(44, score), Encode(45, score)) << score;
    EXPECT_NE(Encode(46, score), Encode(47, score)) << score;
  }
}

// A digit typed wrong is mostly caught. The check value covers the score's low n_c bits
// only, so a change of h that moves only the score's high bits can pass.
TEST(HighscoreCode, AChangedDigitIsAlmostAlwaysCaught) {
  GameRandom random(7);
  uint32_t changes = 0, passed = 0;
  for (int n = 0; n < 500; ++n) {
    const uint32_t score = random.Next() % 1000000, table = 44 + random.Next() % 2;
    const std::string code = Encode(table, score);
    for (size_t d = 0; d < code.size(); ++d)
      for (const char digit : std::string("0123456789ABCDEF")) {
        if (digit == code[d]) continue;
        std::string changed = code;
        changed[d] = digit;
        uint32_t t, s;
        ++changes;
        if (DecodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, t, s, changed.c_str()) && (t != table || s != score))
          ++passed;
      }
  }
  EXPECT_LT(passed * 10, changes) << passed << " of " << changes;
}

TEST(HighscoreCode, DecodingTakesEitherCaseAndRefusesMalformedCodes) {
  const std::string code = Encode(45, 123456);
  std::string lower = code;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  ASSERT_NE(lower, code) << "the code should hold a letter";
  uint32_t t = 0, score = 0;
  EXPECT_TRUE(DecodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, t, score, lower.c_str()));
  EXPECT_EQ(score, 123456u);
  EXPECT_EQ(t, 45u);
  for (const std::string& bad : {code.substr(1), code + "0", std::string(""), code.substr(0, 9) + "G",
                                 code.substr(0, 4) + " " + code.substr(5)})
    EXPECT_FALSE(DecodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, t, score, bad.c_str())) << bad;
  EXPECT_FALSE(DecodeHighscore(HIGHSCORE_PATTERN, HIGHSCORE_K0, t, score, nullptr));
  // A pattern without score letters makes no code at all.
  EXPECT_EQ(Encode(44, 0, "tttt cccc uuuu"), "");
}

}  // namespace
