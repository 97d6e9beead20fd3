#include "kolvo2/highscore_code.h"

#include <cctype>
#include <cstring>

// 20 score bits (scores up to 1,048,575), 6 table bits, 14 check bits.
const char* const HIGHSCORE_PATTERN = "sCsT sCsC sTsC sCsC TsCs CsTs CsCs TsCs sCsT sCsC";

namespace {

uint64_t Mask(uint32_t bits) { return bits >= 64 ? ~0ull : (1ull << bits) - 1; }

struct Keys {
  uint32_t k, r;
  uint64_t masks, maskc;
};

Keys KeysFor(const CODEPATTERN& p, uint32_t k0, uint32_t t) {
  Keys keys;
  keys.k = k0 * (1u + t);
  keys.r = keys.k % p.ns;
  if (keys.r == 0) keys.r = 1;
  keys.masks = Mask(p.ns);
  keys.maskc = Mask(p.nc);
  return keys;
}

uint32_t Check(const Keys& keys, uint32_t score, uint32_t h) {
  return static_cast<uint32_t>((keys.k + score * keys.k + h) & keys.maskc);
}

}  // namespace

bool ReadCodePattern(const char* pattern, CODEPATTERN& out) {
  out = CODEPATTERN{};
  for (const char* c = pattern ? pattern : ""; *c; ++c) {
    if (*c == ' ') continue;
    if (out.length + 1 >= sizeof out.letters) return false;
    const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    out.letters[out.length++] = l;
    out.ns += l == 's';
    out.nt += l == 't';
    out.nc += l == 'c';
  }
  return true;
}

bool EncodeHighscore(const char* pattern, uint32_t k0, uint32_t t, uint32_t score, char* out,
                     uint32_t size) {
  CODEPATTERN p;
  if (!out || !ReadCodePattern(pattern, p) || p.ns == 0 || p.ns > 32 || p.nc > 32) return false;
  const Keys keys = KeysFor(p, k0, t);
  if (score > keys.masks) return false;
  const uint32_t digits = (p.length + 3) / 4;
  if (digits + 1 > size) return false;

  const uint64_t s = score;
  const uint64_t rotated = ((s << keys.r) | (s >> (p.ns - keys.r))) & keys.masks;
  const uint32_t h = static_cast<uint32_t>((keys.k ^ rotated) & keys.masks);
  const uint32_t check = Check(keys, score, h);

  uint32_t sbit = 0, tbit = 0, cbit = 0;
  std::memset(out, 0, digits + 1);
  for (uint32_t i = 0; i < p.length; ++i) {
    uint32_t bit = 0;
    switch (p.letters[i]) {
      case 's': bit = sbit < 32 ? (h >> sbit++) & 1 : 0; break;
      case 't': bit = tbit < 32 ? (t >> tbit++) & 1 : 0; break;
      case 'c': bit = cbit < 32 ? (check >> cbit++) & 1 : 0; break;
      default: break;
    }
    out[i / 4] = static_cast<char>(out[i / 4] | bit << (i % 4));
  }
  for (uint32_t d = 0; d < digits; ++d) out[d] = "0123456789ABCDEF"[static_cast<uint8_t>(out[d])];
  return true;
}

bool DecodeHighscore(const char* pattern, uint32_t k0, uint32_t& t, uint32_t& score,
                     const char* code) {
  CODEPATTERN p;
  if (!code || !ReadCodePattern(pattern, p) || p.ns == 0 || p.ns > 32 || p.nc > 32) return false;
  const uint32_t digits = (p.length + 3) / 4;
  if (strnlen(code, digits + 1) != digits) return false;
  uint32_t check = 0, h = 0;
  t = 0;
  // From the last letter back, so each value is rebuilt most significant bit first.
  for (uint32_t i = p.length; i-- > 0;) {
    const char digit = code[i / 4];
    if (!std::isxdigit(static_cast<unsigned char>(digit))) return false;
    const uint32_t nibble = static_cast<uint32_t>(
        std::isdigit(static_cast<unsigned char>(digit)) ? digit - '0' : std::toupper(digit) - 'A' + 10);
    const uint32_t bit = (nibble >> (i % 4)) & 1;
    switch (p.letters[i]) {
      case 's': h = h << 1 | bit; break;
      case 't': t = t << 1 | bit; break;
      case 'c': check = check << 1 | bit; break;
      default: break;
    }
  }
  const Keys keys = KeysFor(p, k0, t);
  const uint64_t mixed = (keys.k ^ h) & keys.masks;
  score = static_cast<uint32_t>(((mixed >> keys.r) | (mixed << (p.ns - keys.r))) & keys.masks);
  return Check(keys, score, h) == check;
}
