// Small helpers of the sound library: path copying, byte order, character classes and the
// two device wrappers the output driver uses.
#pragma once

#include <cstddef>
#include <cstdint>

class qssUtility {
 public:
  // Copies src into dst (dstSize bytes, always terminated). False when it does not fit.
  static bool fullPathName(char* dst, const char* src, size_t dstSize);
  // Swaps the two bytes.
  static uint16_t btol16(uint16_t v);
  // Swaps the bytes inside each 16-bit half (b0 b1 b2 b3 -> b1 b0 b3 b2): not a 32-bit
  // byte-order conversion.
  static uint32_t btol32(uint32_t v);
  // '0'..'9' give 0..9, anything else -1.
  static int getDigit(signed char c);
  // 'A'..'Z' give themselves, anything else -1 (lower case is not folded).
  static int getUpAlpha(signed char c);
  // Playback speed (128 = normal) of a frequency over a base rate, and back; 0 for a base
  // rate of 0.
  static uint32_t speedOf(uint32_t frequency, uint32_t baseRate);
  static uint32_t frequencyOf(uint32_t baseRate, uint32_t speed);
  static int getPlatform() { return 1; }
  static int getOSVersion() { return 0; }
  // The device open and close calls.
  static int opendev(const char* path, int flags);
  static int devclose(int fd);
};
