#include "sound/qssData.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "sound/qssBytes.h"
#include "sound/qssUtility.h"
#include "seam/regular_file.h"

namespace {

// Reads a whole file into a new[] buffer. 0, -200 cannot open, -300 empty, -10 no memory.
int readFile(const char* path, uint8_t** out, size_t* size) {
  char full[4096];
  if (!path || !qssUtility::fullPathName(full, path, sizeof full)) return QSS_ERR_CANNOT_OPEN_FILE;
  // A FIFO or a device of the name would hold the caller in the open or the first read.
  FILE* f = fopen_regular_file(full, "rb");
  if (!f) return QSS_ERR_CANNOT_OPEN_FILE;
  long n = -1;
  if (fseek(f, 0, SEEK_END) == 0) n = ftell(f);
  if (n <= 0 || fseek(f, 0, SEEK_SET) != 0) {
    fclose(f);
    return QSS_ERR_BAD_STRUCTURE;
  }
  uint8_t* buffer = new (std::nothrow) uint8_t[static_cast<size_t>(n)];
  if (!buffer) {
    fclose(f);
    return QSS_ERR_NO_MEMORY;
  }
  // A file that shrank under us keeps the bytes actually read.
  size_t got = fread(buffer, 1, static_cast<size_t>(n), f);
  fclose(f);
  if (got == 0) {
    delete[] buffer;
    return QSS_ERR_BAD_STRUCTURE;
  }
  *out = buffer;
  *size = got;
  return 0;
}

constexpr uint32_t kModSongLength = 950;
constexpr uint32_t kModOrders = 952;
constexpr uint32_t kModSignature = 1080;
constexpr uint32_t kMaxOrders = 128;

}  // namespace

// ---- qssPlayable ----

void qssPlayable::volume(uint32_t v) { volume_ = std::min<uint32_t>(v, 64); }
void qssPlayable::pan(uint32_t p) { pan_ = std::min<uint32_t>(p, 255); }
void qssPlayable::frequency(uint32_t f) {
  frequency_ = f;
  speed_ = static_cast<int32_t>(qssUtility::speedOf(f, rate_));
}
void qssPlayable::speed(uint32_t s) {
  speed_ = static_cast<int32_t>(s);
  frequency_ = qssUtility::frequencyOf(rate_, s);
}

// ---- qssMusic ----

qssMusic::qssMusic() : qssPlayable(255, 44100, 44100) {}

qssMusic::~qssMusic() { destroy(); }

void qssMusic::destroy() {
  if (owned_) delete[] image_;
  image_ = nullptr;
  owned_ = false;
  size_ = 0;
  tracks_ = patterns_ = songLength_ = 0;
}

uint32_t qssMusic::translatePTSign(const signed char* s) {
  if (qssUtility::getUpAlpha(s[0]) == 'M' && qssUtility::getUpAlpha(s[2]) == 'K') return 4;
  if (qssUtility::getUpAlpha(s[1]) != 'C' && qssUtility::getUpAlpha(s[2]) != 'C') return 0;
  int d = std::max(qssUtility::getDigit(s[0]), 0);
  int second = qssUtility::getDigit(s[1]);
  return static_cast<uint32_t>(second >= 0 ? d * 10 + second : d);
}

uint32_t qssMusic::getNumPattern(const uint8_t* header, uint32_t songLength) {
  uint32_t highest = 0;
  for (uint32_t i = 0; i < std::min(songLength, kMaxOrders); ++i)
    highest = std::max<uint32_t>(highest, header[kModOrders + i]);
  return highest + 1;
}

size_t qssMusic::moduleSize(const uint8_t* h) {
  uint32_t tracks = translatePTSign(reinterpret_cast<const signed char*>(h + kModSignature));
  if (tracks == 0) return 0;
  size_t size = QSS_MOD_HEADER + static_cast<size_t>(tracks) * getNumPattern(h, h[kModSongLength]) * 256;
  for (int k = 0; k < 31; ++k) size += static_cast<size_t>(qssBe16(h + 20 + 30 * k + 22)) * 2;
  return size;
}

int qssMusic::load(const void* image, size_t size, bool copy) {
  destroy();
  if (!image) return QSS_ERR_NO_MEMORY;
  const uint8_t* h = static_cast<const uint8_t*>(image);
  if (size < QSS_MOD_HEADER) return QSS_ERR_BAD_STRUCTURE;
  uint32_t tracks = translatePTSign(reinterpret_cast<const signed char*>(h + kModSignature));
  if (tracks == 0) return QSS_ERR_UNSUPPORTED;
  uint32_t songLength = std::min<uint32_t>(h[kModSongLength], kMaxOrders);
  if (songLength == 0) return QSS_ERR_BAD_STRUCTURE;
  uint32_t patterns = getNumPattern(h, songLength);
  size_t patternEnd = QSS_MOD_HEADER + static_cast<size_t>(tracks) * patterns * 256;
  if (size < patternEnd) return QSS_ERR_BAD_STRUCTURE;
  // Keep only what the module uses; samples cut short at the end are clamped when bound.
  size_t keep = std::min(size, moduleSize(h));
  keep = std::max(keep, patternEnd);
  if (copy) {
    uint8_t* own = new (std::nothrow) uint8_t[keep];
    if (!own) return QSS_ERR_NO_MEMORY;
    memcpy(own, h, keep);
    image_ = own;
    owned_ = true;
  } else {
    image_ = h;
  }
  size_ = keep;
  tracks_ = tracks;
  patterns_ = patterns;
  songLength_ = songLength;
  resetRate(44100);
  return 0;
}

int qssMusic::load(const void* image, bool copy) {
  if (!image) {
    destroy();
    return QSS_ERR_NO_MEMORY;
  }
  size_t size = moduleSize(static_cast<const uint8_t*>(image));
  return load(image, size ? size : QSS_MOD_HEADER, copy);
}

int qssMusic::load(const char* path) {
  destroy();
  uint8_t* buffer = nullptr;
  size_t size = 0;
  int r = readFile(path, &buffer, &size);
  if (r != 0) return r;
  r = load(buffer, size, false);
  if (r != 0) {
    delete[] buffer;
    return r;
  }
  owned_ = true;
  return 0;
}

// ---- qssSound ----

qssSound::qssSound() : qssPlayable(128, 0, 1) {}

qssSound::~qssSound() { destroy(); }

void qssSound::destroy() {
  if (owned_) delete[] data_;
  data_ = nullptr;
  owned_ = false;
  frames_ = 0;
}

int qssSound::parse(const uint8_t* img, size_t size, bool copy, uint32_t* dataBytes) {
  if (size < 20 || memcmp(img + 12, "fmt ", 4) != 0) return QSS_ERR_BAD_STRUCTURE;
  uint32_t fmtBytes = qssLe32(img + 16);
  // The fields read below must lie inside the chunk and the image.
  if (fmtBytes < 16 || fmtBytes > size - 20) return QSS_ERR_UNSUPPORTED;
  const uint8_t* body = img + 20;
  uint16_t tag = qssLe16(body + 0);
  uint16_t channels = qssLe16(body + 2);
  uint32_t rate = qssLe32(body + 4);
  uint16_t bits = qssLe16(body + 14);
  if ((bits != 4 && bits != 8 && bits != 16) || (channels != 1 && channels != 2))
    return QSS_ERR_UNSUPPORTED;
  if (rate == 0) return QSS_ERR_UNSUPPORTED;

  // Walk the chunks to "data"; odd-sized chunks are followed by a pad byte.
  uint64_t at = 20 + static_cast<uint64_t>(fmtBytes) + (fmtBytes & 1);
  uint64_t n = 0;
  for (;;) {
    if (at + 8 > size) return QSS_ERR_BAD_STRUCTURE;
    uint32_t chunk = qssLe32(img + at + 4);
    if (memcmp(img + at, "data", 4) == 0) {
      n = std::min<uint64_t>(chunk, size - (at + 8));
      break;
    }
    at += 8 + static_cast<uint64_t>(chunk) + (chunk & 1);
  }
  const uint8_t* bytes = img + at + 8;
  *dataBytes = static_cast<uint32_t>(std::min<uint64_t>(n, UINT32_MAX));

  uint32_t frames = 0;
  if (bits == 4) {
    if (tag != 2 || init_MSADPCM(body, fmtBytes) != 0) return QSS_ERR_UNSUPPORTED;
    uint8_t* pcm = const_cast<uint8_t*>(bytes);
    uint32_t pcmBytes = *dataBytes;
    if (decode_MSADPCM(&pcm, &pcmBytes, false) != 0) return QSS_ERR_UNSUPPORTED;
    data_ = pcm;
    owned_ = true;
    bits8_ = false;
    frames = pcmBytes / 2;
  } else {
    uint64_t count = bits == 8 ? n : n / 2;
    if (count / channels >= QSS_MAX_SOUND_FRAMES) return QSS_ERR_UNSUPPORTED;
    if (copy) {
      uint8_t* own = new (std::nothrow) uint8_t[n ? n : 1];
      if (!own) return QSS_ERR_NO_MEMORY;
      memcpy(own, bytes, n);
      data_ = own;
    } else {
      data_ = bytes;
    }
    owned_ = copy;
    bits8_ = bits == 8;
    frames = static_cast<uint32_t>(count);
  }
  stereo_ = channels == 2;
  if (stereo_) frames /= 2;
  if (frames >= QSS_MAX_SOUND_FRAMES) {
    destroy();
    return QSS_ERR_UNSUPPORTED;
  }
  frames_ = frames;
  resetRate(rate);
  return 0;
}

int qssSound::load(const void* image, size_t size, bool copy) {
  destroy();
  if (!image) return QSS_ERR_NO_MEMORY;
  uint32_t dataBytes = 0;
  int r = parse(static_cast<const uint8_t*>(image), size, copy, &dataBytes);
  if (r != 0) destroy();
  return r;
}

int qssSound::load(const void* image, bool copy) {
  // Trusted image: bound only by the address space.
  size_t room = SIZE_MAX - reinterpret_cast<uintptr_t>(image);
  return load(image, room, copy);
}

int qssSound::load(const char* path) {
  destroy();
  uint8_t* buffer = nullptr;
  size_t size = 0;
  int r = readFile(path, &buffer, &size);
  if (r != 0) return r;
  uint32_t dataBytes = 0;
  r = parse(buffer, size, true, &dataBytes);
  delete[] buffer;
  if (r == 0 && dataBytes == 0) r = QSS_ERR_BAD_STRUCTURE;
  if (r != 0) destroy();
  return r;
}
