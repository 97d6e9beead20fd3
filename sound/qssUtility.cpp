#include "sound/qssUtility.h"

#include <cstring>

#include "seam/gp2x_seam.h"

bool qssUtility::fullPathName(char* dst, const char* src, size_t dstSize) {
  if (!dst || !src || dstSize == 0) return false;
  size_t n = strlen(src);
  if (n >= dstSize) {
    dst[0] = 0;
    return false;
  }
  memcpy(dst, src, n + 1);
  return true;
}

uint16_t qssUtility::btol16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }

uint32_t qssUtility::btol32(uint32_t v) {
  return ((v & 0x00FF00FFu) << 8) | ((v >> 8) & 0x00FF00FFu);
}

int qssUtility::getDigit(signed char c) { return (c >= '0' && c <= '9') ? c - '0' : -1; }

int qssUtility::getUpAlpha(signed char c) { return (c >= 'A' && c <= 'Z') ? c : -1; }

uint32_t qssUtility::speedOf(uint32_t frequency, uint32_t baseRate) {
  if (baseRate == 0) return 0;
  return static_cast<uint32_t>(((static_cast<uint64_t>(frequency) << 16) / baseRate) >> 9);
}

uint32_t qssUtility::frequencyOf(uint32_t baseRate, uint32_t speed) {
  return static_cast<uint32_t>((static_cast<uint64_t>(baseRate) * speed * 512) >> 16);
}

int qssUtility::opendev(const char* path, int flags) { return gp2x::open(path, flags); }

int qssUtility::devclose(int fd) { return gp2x::close(fd); }
