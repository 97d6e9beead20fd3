#include "pellax/game/flow/data_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "pellax/base/canvas.h"
#include "pellax/base/random.h"
#include "pellax/game/render/world_image.h"
#include "pellax/platform/audio.h"
#include "seam/regular_file.h"

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
  std::FILE* f = fopen_regular_file(name, "rb");
  if (!f) {
    const int error = errno;
    // Black rather than the last zone's picture, which would look like a wrong level.
    std::memset(target, 0, kCanvasPixels * sizeof(uint16_t));
    if (!reported_before(name))
      std::fprintf(stderr, "pellax: cannot open picture %s: %s\n", name, regular_file_error(error));
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
  std::FILE* f = fopen_regular_file(name, "wb");
  if (!f) {
    std::fprintf(stderr, "pellax: cannot create %s: %s\n", name, regular_file_error(errno));
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
    if (data_file_present(path)) {
      music_load(path);
      return 1;
    }
  }
  return 0;
}

void music_file_size() {
  std::FILE* f = fopen_regular_file("music.dat", "rb");
  if (!f) return;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long size = std::ftell(f);
    if (size >= 0) music_file_size_bytes = int32_t(size);
  }
  std::fclose(f);
}

bool data_file_present(const char* name) {
  const int fd = open_regular_file(name, O_RDONLY);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  // A missing file is the usual answer (a zone not yet opened); something else of that name
  // is a mistake the player should hear of, once.
  const int error = errno;
  if (error != EISDIR && error != ENXIO) return false;
  char seen[64];  // a name is said again when what stands there changes
  std::snprintf(seen, sizeof seen, "%s|%d", name, error);
  if (!reported_before(seen))
    std::fprintf(stderr, "pellax: %s: %s: not used\n", name, regular_file_error(error));
  return false;
}
