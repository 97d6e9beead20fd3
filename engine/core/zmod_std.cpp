#include "engine/core/zmod_std.h"

#include <cstring>

// Each routine is written once as a template over the character types; the overloads of
// ClassZStd only pick the instance.
namespace {

inline uint32_t Ch(char c) { return static_cast<unsigned char>(c); }
inline uint32_t Ch(uint16_t c) { return c; }

inline uint32_t Fold(uint32_t c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

template <class C>
uint32_t Len(const C* s, uint32_t max) {
  if (s == nullptr) return 0;
  uint32_t n = 0;
  while (n < max && s[n] != 0) n++;
  return n;
}

// The copy-limit rule: 1..65536 as given, above (as unsigned) the maximum string size,
// 0 nothing.
inline uint32_t Limit(int32_t limit) {
  uint32_t l = static_cast<uint32_t>(limit);
  return l > 65536u ? ZSTD_MAXLEN : l;
}

template <class D, class S>
void Cpy(D* dst, const S* src, int32_t limit) {
  uint32_t l = Limit(limit);
  if (dst == nullptr || l == 0) return;
  uint32_t n = Len(src, ZSTD_MAXLEN);
  if (n > l - 1) n = l - 1;
  for (uint32_t i = 0; i < n; i++) dst[i] = static_cast<D>(Ch(src[i]));
  dst[n] = 0;
}

template <class D, class S>
void Cat(D* dst, const S* src) {
  if (dst == nullptr) return;
  uint32_t d = Len(dst, ZSTD_MAXLEN);
  uint32_t n = Len(src, ZSTD_MAXLEN);
  for (uint32_t i = 0; i < n && d < ZSTD_MAXLEN - 1; i++) dst[d++] = static_cast<D>(Ch(src[i]));
  dst[d] = 0;
}

// Formats into a 34-character buffer (32 binary digits, a sign, the terminator); false
// for a bad base.
bool Format(char* out, int32_t value, uint8_t base, bool sign) {
  if (base < 2 || base > 36) return false;
  uint32_t magnitude = static_cast<uint32_t>(value);
  char* p = out;
  if (sign && value < 0) {
    *p++ = '-';
    magnitude = 0u - magnitude;  // exact for the most negative value too
  }
  char digits[33];
  int n = 0;
  do {
    uint32_t d = magnitude % base;
    digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10);
    magnitude /= base;
  } while (magnitude != 0);
  while (n > 0) *p++ = digits[--n];
  *p = 0;
  return true;
}

template <class C>
int32_t ToInt(const C* s, uint8_t base) {
  if (base < 2 || base > 36 || s == nullptr) return 0;
  uint32_t n = Len(s, ZSTD_MAXLEN);
  if (n == 0) return 0;
  uint32_t i = 0;
  bool negative = false;
  if (Ch(s[0]) == '-') {
    negative = true;
    i = 1;
  }
  uint32_t result = 0;
  for (; i < n; i++) {
    uint32_t c = Ch(s[i]);
    uint32_t d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'Z') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'z') d = c - 'a' + 10;
    else return 0;
    if (d >= base) return 0;
    result = result * base + d;
  }
  return static_cast<int32_t>(negative ? 0u - result : result);
}

template <class A, class B>
int Equal(const A* a, const B* b, bool casesensitive) {
  uint32_t n = Len(a, ZSTD_MAXLEN);
  if (n != Len(b, ZSTD_MAXLEN)) return 0;
  for (uint32_t i = 0; i < n; i++) {
    uint32_t x = Ch(a[i]), y = Ch(b[i]);
    if (!casesensitive) {
      x = Fold(x);
      y = Fold(y);
    }
    if (x != y) return 0;
  }
  return 1;
}

template <class C>
int32_t FindChar(const C* s, C c) {
  uint32_t n = Len(s, ZSTD_MAXLEN);
  for (uint32_t i = 0; i < n; i++)
    if (s[i] == c) return static_cast<int32_t>(i);
  return -1;
}

template <class A, class B>
int32_t FindIn(const A* s, uint32_t n, const B* sub, uint32_t m, bool casesensitive) {
  if (m == 0 || m > n) return -1;
  for (uint32_t i = 0; i + m <= n; i++) {
    uint32_t j = 0;
    for (; j < m; j++) {
      uint32_t x = Ch(s[i + j]), y = Ch(sub[j]);
      if (!casesensitive) {
        x = Fold(x);
        y = Fold(y);
      }
      if (x != y) break;
    }
    if (j == m) return static_cast<int32_t>(i);
  }
  return -1;
}

template <class A, class B>
int32_t Find(const A* s, const B* sub, bool casesensitive) {
  return FindIn(s, Len(s, ZSTD_MAXLEN), sub, Len(sub, ZSTD_MAXLEN), casesensitive);
}

template <class C>
void New(C* s, const C* src, uint32_t n) {
  if (s == nullptr) return;
  uint32_t slen = Len(s, ZSTD_MAXLEN);
  if (n > slen) n = slen;
  uint32_t m = Len(src, ZSTD_MAXLEN);
  // The tail with its terminator moves first, then the new text goes in front of it.
  std::memmove(s + m, s + n, (slen - n + 1) * sizeof(C));
  if (m > 0) std::memmove(s, src, m * sizeof(C));
}

template <class C>
int32_t Replace(C* s, const C* find, const C* repl, bool casesensitive, int32_t count) {
  if (s == nullptr || count == 0 || count < -1) return 0;
  uint32_t m = Len(find, ZSTD_MAXLEN);
  uint32_t r = Len(repl, ZSTD_MAXLEN);
  int32_t done = 0;
  uint32_t at = 0;
  while (count == -1 || done < count) {
    uint32_t n = Len(s, ZSTD_MAXLEN);
    if (at >= n) break;
    int32_t hit = FindIn(s + at, n - at, find, m, casesensitive);
    if (hit < 0) break;
    at += static_cast<uint32_t>(hit);
    New(s + at, repl, m);
    at += r;  // the inserted text is never searched again
    done++;
  }
  return done;
}

template <class C>
C* Upper(C* s) {
  uint32_t n = Len(s, ZSTD_MAXLEN);
  for (uint32_t i = 0; i < n; i++)
    if (s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<C>(s[i] - 32);
  return s;
}

template <class C>
C* Lower(C* s) {
  uint32_t n = Len(s, ZSTD_MAXLEN);
  for (uint32_t i = 0; i < n; i++)
    if (s[i] >= 'A' && s[i] <= 'Z') s[i] = static_cast<C>(s[i] + 32);
  return s;
}

template <class C>
C* TrimLeft(C* s) {
  uint32_t n = Len(s, ZSTD_MAXLEN);
  uint32_t k = 0;
  while (k < n && ClassZStd::IsWhiteSpace(static_cast<int>(Ch(s[k])))) k++;
  if (k > 0) std::memmove(s, s + k, (n - k + 1) * sizeof(C));
  return s;
}

template <class C>
C* TrimRight(C* s) {
  uint32_t n = Len(s, ZSTD_MAXLEN);
  while (n > 0 && ClassZStd::IsWhiteSpace(static_cast<int>(Ch(s[n - 1])))) n--;
  if (s != nullptr) s[n] = 0;
  return s;
}

}  // namespace

uint32_t ClassZStd::StrLen(const char* s, uint32_t max) { return Len(s, max); }
uint32_t ClassZStd::StrLen(const uint16_t* s, uint32_t max) { return Len(s, max); }

int ClassZStd::IsWhiteSpace(int c) { return (c >= 9 && c <= 13) || c == 32; }

void ClassZStd::StrCpy(char* d, const char* s, int32_t l) { Cpy(d, s, l); }
void ClassZStd::StrCpy(uint16_t* d, const char* s, int32_t l) { Cpy(d, s, l); }
void ClassZStd::StrCpy(char* d, const uint16_t* s, int32_t l) { Cpy(d, s, l); }
void ClassZStd::StrCpy(uint16_t* d, const uint16_t* s, int32_t l) { Cpy(d, s, l); }

void ClassZStd::StrCat(char* d, const char* s) { Cat(d, s); }
void ClassZStd::StrCat(char* d, const uint16_t* s) { Cat(d, s); }
void ClassZStd::StrCat(uint16_t* d, const uint16_t* s) { Cat(d, s); }
void ClassZStd::StrCat(uint16_t* d, const char* s) { Cat(d, s); }

void ClassZStd::StrCat(char* dst, int32_t value, uint8_t base, bool sign) {
  char text[34];
  if (Format(text, value, base, sign)) Cat(dst, text);
}

void ClassZStd::StrCat(uint16_t* dst, int32_t value, uint8_t base, bool sign) {
  char text[34];
  if (Format(text, value, base, sign)) Cat(dst, text);
}

void ClassZStd::IntToStr(char* dst, int32_t value, uint8_t base, bool sign) {
  char text[34];
  if (dst != nullptr && Format(text, value, base, sign)) Cpy(dst, text, -1);
}

void ClassZStd::IntToStr(uint16_t* dst, int32_t value, uint8_t base, bool sign) {
  char text[34];
  if (dst != nullptr && Format(text, value, base, sign)) Cpy(dst, text, -1);
}

int32_t ClassZStd::StrToInt(const char* s, uint8_t base) { return ToInt(s, base); }
int32_t ClassZStd::StrToInt(const uint16_t* s, uint8_t base) { return ToInt(s, base); }

int ClassZStd::StrEqual(const char* a, const char* b, bool cs) { return Equal(a, b, cs); }
int ClassZStd::StrEqual(const uint16_t* a, const char* b, bool cs) { return Equal(a, b, cs); }
int ClassZStd::StrEqual(const char* a, const uint16_t* b, bool cs) { return Equal(a, b, cs); }
int ClassZStd::StrEqual(const uint16_t* a, const uint16_t* b, bool cs) { return Equal(a, b, cs); }

int32_t ClassZStd::StrFind(const char* s, char c) { return FindChar(s, c); }
int32_t ClassZStd::StrFind(const uint16_t* s, uint16_t c) { return FindChar(s, c); }
int32_t ClassZStd::StrFind(const char* s, const char* sub, bool cs) { return Find(s, sub, cs); }
int32_t ClassZStd::StrFind(const uint16_t* s, const char* sub, bool cs) { return Find(s, sub, cs); }
int32_t ClassZStd::StrFind(const char* s, const uint16_t* sub, bool cs) { return Find(s, sub, cs); }
int32_t ClassZStd::StrFind(const uint16_t* s, const uint16_t* sub, bool cs) {
  return Find(s, sub, cs);
}

int32_t ClassZStd::StrReplace(char* s, const char* find, const char* repl, bool cs,
                              int32_t count) {
  return Replace(s, find, repl, cs, count);
}
int32_t ClassZStd::StrReplace(uint16_t* s, const uint16_t* find, const uint16_t* repl, bool cs,
                              int32_t count) {
  return Replace(s, find, repl, cs, count);
}

void ClassZStd::StrNew(char* s, const char* src, uint32_t n) { New(s, src, n); }
void ClassZStd::StrNew(uint16_t* s, const uint16_t* src, uint32_t n) { New(s, src, n); }

char* ClassZStd::StrUpper(char* s) { return Upper(s); }
uint16_t* ClassZStd::StrUpper(uint16_t* s) { return Upper(s); }
char* ClassZStd::StrLower(char* s) { return Lower(s); }
uint16_t* ClassZStd::StrLower(uint16_t* s) { return Lower(s); }
char* ClassZStd::StrTrimLeft(char* s) { return TrimLeft(s); }
uint16_t* ClassZStd::StrTrimLeft(uint16_t* s) { return TrimLeft(s); }
char* ClassZStd::StrTrimRight(char* s) { return TrimRight(s); }
uint16_t* ClassZStd::StrTrimRight(uint16_t* s) { return TrimRight(s); }
char* ClassZStd::StrTrim(char* s) { return TrimLeft(TrimRight(s)); }
uint16_t* ClassZStd::StrTrim(uint16_t* s) { return TrimLeft(TrimRight(s)); }
