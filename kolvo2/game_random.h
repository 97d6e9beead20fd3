// The game's one source of random numbers. The shell seeds it once from the real-time
// clock; tests and headless runs seed it themselves, or derive from it and hand out the
// numbers they want, so a game replays exactly.
#pragma once

#include <cstdint>

class GameRandom {
 public:
  explicit GameRandom(uint32_t seed = 1) { Seed(seed); }
  virtual ~GameRandom() = default;

  void Seed(uint32_t seed);
  // The next number, 0 to 0x7FFFFFFF.
  virtual uint32_t Next();

 private:
  uint64_t state_ = 0;
};
