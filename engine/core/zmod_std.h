// Text, number, date and MD5 routines of the engine, for 8-bit strings (char) and 16-bit
// character strings (uint16_t). None allocates: the caller provides every buffer.
//
// Strings are measured to at most ZSTD_MAXLEN characters. A copy limit counts characters
// including the terminator: 1..65536 is used as given, anything above (as unsigned, so -1
// too) means ZSTD_MAXLEN, and 0 copies nothing. White space is 9-13 and 32; case folding
// touches only ASCII letters; 8-bit characters widen as unsigned, 16-bit ones narrow to
// their low byte.
#pragma once

#include <cstdint>

class ClassZFile;

enum : uint32_t { ZSTD_MAXLEN = 0x4000 };

// A calendar date and time (no time zone).
struct Z_DATETIME {
  uint32_t year;
  uint8_t month;   // 1..12
  uint8_t day;     // 1..31
  uint8_t hour;
  uint8_t minute;
  uint8_t second;
};

// An MD5 computation in progress (RFC 1321).
struct ZMD5CONTEXT {
  uint8_t buffer[64];
  uint32_t count[2];  // bits hashed, low word first
  uint32_t state[4];
};

class ClassZStd {
 public:
  // Characters before the terminator, at most max (null counts 0).
  static uint32_t StrLen(const char* s, uint32_t max = ZSTD_MAXLEN);
  static uint32_t StrLen(const uint16_t* s, uint32_t max = ZSTD_MAXLEN);
  // 1 for tab, line feed, 11, 12, carriage return and space.
  static int IsWhiteSpace(int c);

  // Copies at most limit - 1 characters and terminates (limit rules above; 0: untouched).
  static void StrCpy(char* dst, const char* src, int32_t limit = -1);
  static void StrCpy(uint16_t* dst, const char* src, int32_t limit = -1);
  static void StrCpy(char* dst, const uint16_t* src, int32_t limit = -1);
  static void StrCpy(uint16_t* dst, const uint16_t* src, int32_t limit = -1);

  // Appends src (dst must have room), the result at most ZSTD_MAXLEN - 1 characters.
  static void StrCat(char* dst, const char* src);
  static void StrCat(char* dst, const uint16_t* src);
  static void StrCat(uint16_t* dst, const uint16_t* src);
  static void StrCat(uint16_t* dst, const char* src);
  // Appends IntToStr of value.
  static void StrCat(char* dst, int32_t value, uint8_t base, bool sign);
  static void StrCat(uint16_t* dst, int32_t value, uint8_t base, bool sign);

  // value in base 2..36, upper-case digits; signed: a "-" for negative values, else the
  // 32 bits as unsigned. dst needs 34 characters; a bad base leaves dst untouched.
  static void IntToStr(char* dst, int32_t value, uint8_t base = 10, bool sign = true);
  static void IntToStr(uint16_t* dst, int32_t value, uint8_t base = 10, bool sign = true);
  // The whole string as an integer: optional leading "-", digits below base; any other
  // character, an empty string or a bad base gives 0. Wraps at 32 bits.
  static int32_t StrToInt(const char* s, uint8_t base = 10);
  static int32_t StrToInt(const uint16_t* s, uint8_t base = 10);

  // 1 when a and b have the same length and characters (casesensitive false: letters
  // compared after folding).
  static int StrEqual(const char* a, const char* b, bool casesensitive = true);
  static int StrEqual(const uint16_t* a, const char* b, bool casesensitive = true);
  static int StrEqual(const char* a, const uint16_t* b, bool casesensitive = true);
  static int StrEqual(const uint16_t* a, const uint16_t* b, bool casesensitive = true);

  // Index of the first c in s, -1 when absent.
  static int32_t StrFind(const char* s, char c);
  static int32_t StrFind(const uint16_t* s, uint16_t c);
  // Index of the first sub in s; -1 when sub is empty, longer than s, or absent.
  static int32_t StrFind(const char* s, const char* sub, bool casesensitive = true);
  static int32_t StrFind(const uint16_t* s, const char* sub, bool casesensitive = true);
  static int32_t StrFind(const char* s, const uint16_t* sub, bool casesensitive = true);
  static int32_t StrFind(const uint16_t* s, const uint16_t* sub, bool casesensitive = true);

  // Replaces up to count occurrences of find by repl in place (count -1: all; 0 or below
  // -1: none) and returns how many; inserted text is never searched again. s must have
  // room for the growth.
  static int32_t StrReplace(char* s, const char* find, const char* repl, bool casesensitive,
                            int32_t count = -1);
  static int32_t StrReplace(uint16_t* s, const uint16_t* find, const uint16_t* repl,
                            bool casesensitive, int32_t count = -1);
  // Replaces the first n characters of s (at most its length) by the whole of src,
  // moving the rest of s; s must have room for the growth.
  static void StrNew(char* s, const char* src, uint32_t n);
  static void StrNew(uint16_t* s, const uint16_t* src, uint32_t n);

  // In place; each returns s.
  static char* StrUpper(char* s);
  static uint16_t* StrUpper(uint16_t* s);
  static char* StrLower(char* s);
  static uint16_t* StrLower(uint16_t* s);
  static char* StrTrimLeft(char* s);
  static uint16_t* StrTrimLeft(uint16_t* s);
  static char* StrTrimRight(char* s);
  static uint16_t* StrTrimRight(uint16_t* s);
  static char* StrTrim(char* s);
  static uint16_t* StrTrim(uint16_t* s);

  // Seconds since 1970-01-01 00:00:00 of a Gregorian date, wrapping at 32 bits; years
  // before 1970 give 0.
  static uint32_t DateTimeToTimestamp(const Z_DATETIME* dt);
  static void TimestampToDateTime(Z_DATETIME* dt, uint32_t timestamp);

  // Digests as 32 lower-case hexadecimal digits and a terminator (out: 33 bytes).
  static void MD5Data(char* out, const void* data, uint32_t size);
  static void MD5Str(char* out, const char* s);
  // A 16-bit string is hashed two bytes per character, low byte first.
  static void MD5Str(char* out, const uint16_t* s);
  // The bytes of an open file from its position to its end (as many as could be read).
  static void MD5File(char* out, ClassZFile* file);
  // A file by name; one that cannot be opened gives the digest of empty data.
  static void MD5File(char* out, const char* name);

  // The RFC 1321 steps on a caller's context.
  static void MD5Init(ZMD5CONTEXT* context);
  static void MD5Update(ZMD5CONTEXT* context, const void* data, uint32_t size);
  static void MD5Transform(uint32_t state[4], const uint8_t block[64]);
  // Pads, appends the bit count and writes the 16-byte digest.
  static void MD5Finalize(uint8_t digest[16], ZMD5CONTEXT* context);
  // Little-endian conversion of size bytes between 32-bit words and bytes.
  static void MD5Encode(uint8_t* bytes, const uint32_t* words, uint32_t size);
  static void MD5Decode(uint32_t* words, const uint8_t* bytes, uint32_t size);
};
