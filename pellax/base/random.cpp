#include "pellax/base/random.h"

namespace {

constexpr int kN = 624;
constexpr int kM = 397;
constexpr uint32_t kMatrixA = 0x9908B0DFu;
constexpr uint32_t kUpperMask = 0x80000000u;
constexpr uint32_t kLowerMask = 0x7FFFFFFFu;

uint32_t mt_state[kN];
int mt_index = kN + 1;  // never seeded

void mt_generate() {
  static const uint32_t mag01[2] = {0u, kMatrixA};
  int k = 0;
  for (; k < kN - kM; ++k) {
    const uint32_t y = (mt_state[k] & kUpperMask) | (mt_state[k + 1] & kLowerMask);
    mt_state[k] = mt_state[k + kM] ^ (y >> 1) ^ mag01[y & 1u];
  }
  for (; k < kN - 1; ++k) {
    const uint32_t y = (mt_state[k] & kUpperMask) | (mt_state[k + 1] & kLowerMask);
    mt_state[k] = mt_state[k + (kM - kN)] ^ (y >> 1) ^ mag01[y & 1u];
  }
  const uint32_t y = (mt_state[kN - 1] & kUpperMask) | (mt_state[0] & kLowerMask);
  mt_state[kN - 1] = mt_state[kM - 1] ^ (y >> 1) ^ mag01[y & 1u];
  mt_index = 0;
}

}  // namespace

void mt_seed(uint32_t s) {
  mt_state[0] = s;
  for (int i = 1; i < kN; ++i) {
    mt_state[i] = 1812433253u * (mt_state[i - 1] ^ (mt_state[i - 1] >> 30)) + uint32_t(i);
  }
  mt_index = kN;
}

void mt_seed_array(uint32_t seed) {
  const uint32_t key[4] = {seed & 0xFFFFu, 0x234u, 0x345u, 0x456u};
  const int key_length = 4;
  mt_seed(19650218u);
  int i = 1, j = 0;
  for (int k = (kN > key_length ? kN : key_length); k; --k) {
    mt_state[i] = (mt_state[i] ^ ((mt_state[i - 1] ^ (mt_state[i - 1] >> 30)) * 1664525u)) +
                  key[j] + uint32_t(j);
    ++i;
    ++j;
    if (i >= kN) {
      mt_state[0] = mt_state[kN - 1];
      i = 1;
    }
    if (j >= key_length) j = 0;
  }
  for (int k = kN - 1; k; --k) {
    mt_state[i] = (mt_state[i] ^ ((mt_state[i - 1] ^ (mt_state[i - 1] >> 30)) * 1566083941u)) -
                  uint32_t(i);
    ++i;
    if (i >= kN) {
      mt_state[0] = mt_state[kN - 1];
      i = 1;
    }
  }
  mt_state[0] = 0x80000000u;
  mt_index = kN;
}

uint32_t mt_next() {
  if (mt_index >= kN) {
    if (mt_index == kN + 1) mt_seed(5489u);
    mt_generate();
  }
  uint32_t y = mt_state[mt_index++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

int32_t random_range(int32_t lo, int32_t hi) {
  if (hi <= lo) return lo;  // an empty range would divide by zero
  const uint32_t span = uint32_t(hi) - uint32_t(lo);
  return int32_t(uint32_t(lo) + mt_next() % span);
}

uint16_t random_below(uint16_t n) {
  if (n == 0) return 0;
  return uint16_t(mt_next() % n);
}

void mt_reset() { mt_index = kN + 1; }
