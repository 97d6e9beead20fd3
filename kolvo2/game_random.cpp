#include "kolvo2/game_random.h"

// A permuted congruential generator (64-bit state, 32-bit output): small, fast on the
// console's core, and its low bits are as good as its high ones, which matters because
// the pieces are chosen by remainders.

namespace {
constexpr uint64_t kMultiplier = 6364136223846793005ull;
constexpr uint64_t kIncrement = 1442695040888963407ull;
}  // namespace

void GameRandom::Seed(uint32_t seed) {
  state_ = 0;
  Next();
  state_ += seed;
  Next();
}

uint32_t GameRandom::Next() {
  const uint64_t old = state_;
  state_ = old * kMultiplier + kIncrement;
  const uint32_t xorshifted = static_cast<uint32_t>(((old >> 18) ^ old) >> 27);
  const uint32_t rot = static_cast<uint32_t>(old >> 59);
  const uint32_t out = (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
  return out >> 1;
}
