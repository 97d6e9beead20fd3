#include "pellax/game/flow/data_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "pellax/base/canvas.h"
#include "pellax/base/random.h"
#include "pellax/game/render/world_image.h"
#include "pellax/platform/audio.h"

int32_t music_file_size_bytes = 0;

namespace {

// Whether a missing picture of this name was reported before (and now is): the zones ask
// for the same pictures again and again. A fixed table, so nothing is allocated in play;
// the game has fewer names than it holds, and any beyond it are simply told again.
bool reported_before(const char* name) {
  static char names[32][64];
  for (char* n : names) {
    if (std::strncmp(n, name, sizeof names[0]) == 0) return true;
    if (n[0] == '\0') {
      std::snprintf(n, sizeof names[0], "%s", name);
      return false;
    }
  }
  return false;
}

}  // namespace

int32_t load_image_file(const char* name, int32_t slot) {
  uint16_t* target = image_slot(slot);
  if (!target) return -1;
  std::FILE* f = std::fopen(name, "rb");
  if (!f) {
    const int error = errno;
    // Black rather than the last zone's picture, which would look like a wrong level.
    std::memset(target, 0, kCanvasPixels * sizeof(uint16_t));
    if (!reported_before(name))
      std::fprintf(stderr, "pellax: cannot open picture %s: %s\n", name, std::strerror(error));
    return -1;
  }
  const size_t got = std::fread(target, sizeof(uint16_t), kCanvasPixels, f);
  std::fclose(f);
  if (got != size_t(kCanvasPixels)) {
    std::fprintf(stderr, "pellax: picture %s is short: %zu of %d pixels\n", name, got,
                 kCanvasPixels);
    return -1;
  }
  return 0;
}

int32_t create_marker_file(const char* name) {
  std::FILE* f = std::fopen(name, "wb");
  if (!f) {
    std::fprintf(stderr, "pellax: cannot create %s: %s\n", name, std::strerror(errno));
    return -1;
  }
  // Flush just this file rather than every file system.
  const bool synced = std::fflush(f) == 0 && fsync(fileno(f)) == 0;
  const bool closed = std::fclose(f) == 0;
  if (!synced || !closed) {
    std::fprintf(stderr, "pellax: cannot write %s: %s\n", name, std::strerror(errno));
    return -1;
  }
  return 0;
}

int32_t play_random_custom_music() {
  // A track can vanish after the caller's probe: bound the draws rather than loop forever.
  for (int attempt = 0; attempt < 100; ++attempt) {
    char path[32];
    std::snprintf(path, sizeof path, "custommusic/%d.ogg", int(random_range(0, 10)) + 1);
    if (std::FILE* f = std::fopen(path, "r")) {
      std::fclose(f);
      music_load(path);
      return 1;
    }
  }
  return 0;
}

void music_file_size() {
  std::FILE* f = std::fopen("music.dat", "rb");
  if (!f) return;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long size = std::ftell(f);
    if (size >= 0) music_file_size_bytes = int32_t(size);
  }
  std::fclose(f);
}
