#include "pellax/game/play/high_scores.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "pellax/game/core/run_state.h"
#include "pellax/game/play/messages.h"
#include "pellax/game/render/stroke_font.h"
#include "pellax/platform/audio.h"
#include "pellax/platform/input.h"
#include "seam/regular_file.h"

high_score_table_t high_score_table;
int32_t initials_cursor = 0;
int32_t initials_tick = 0;
int32_t hiscore_music_pending = 1;

namespace {

constexpr const char* kScoreFile = "pellax.dat";
constexpr const char* kScoreTemp = "pellax.dat.new";
constexpr char kCycle[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-. ";
constexpr int kCycleLength = sizeof kCycle - 1;

void set_entry(int i, const char* initials, int32_t score) {
  std::memset(high_score_table.initials[i], 0, 4);
  for (int k = 0; k < 3 && initials[k]; ++k) high_score_table.initials[i][k] = initials[k];
  high_score_table.scores[i] = score;
}

void put32(unsigned char* p, int32_t v) {
  const uint32_t u = uint32_t(v);
  for (int k = 0; k < 4; ++k) p[k] = uint8_t(u >> (8 * k));
}

int32_t get32(const unsigned char* p) {
  uint32_t u = 0;
  for (int k = 0; k < 4; ++k) u |= uint32_t(p[k]) << (8 * k);
  return int32_t(u);
}

bool write_all(int fd, const unsigned char* data, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    n -= size_t(w);
  }
  return true;
}

}  // namespace

int32_t score_qualifies(int32_t score) {
  if (high_score_table.count <= 5) return 1;
  return score > high_score_table.scores[5] ? 1 : 0;
}

int32_t insert_high_score(const char* initials, int32_t score) {
  high_score_table_t& t = high_score_table;
  if (t.count < 0) t.count = 0;
  if (t.count > kScoreEntries) t.count = kScoreEntries;
  // A score that does not make the table would overwrite its last entry: it is refused.
  if (!score_qualifies(score)) return -1;
  int s = -1;
  for (int i = 0; i < t.count; ++i) {
    if (t.scores[i] < score) {
      s = i;
      break;
    }
  }
  if (s < 0) {
    if (t.count <= 5) {
      s = t.count++;
    } else {
      s = 5;
    }
    set_entry(s, initials, score);
    return s;
  }
  if (s == 5) {
    set_entry(5, initials, score);
    return 5;
  }
  for (int i = 5; i > s; --i) {
    std::memcpy(t.initials[i], t.initials[i - 1], 4);
    t.scores[i] = t.scores[i - 1];
  }
  set_entry(s, initials, score);
  if (t.count <= 5) ++t.count;
  return s;
}

void load_high_scores() {
  high_score_table_t& t = high_score_table;
  std::FILE* f = fopen_regular_file(kScoreFile, "rb");
  if (!f) {
    // Only a missing file is the first run's; anything else there is said, and replaced by
    // the next save.
    if (errno != ENOENT)
      std::fprintf(stderr, "pellax: cannot read the high scores (%s): %s; the default table is used\n",
                   kScoreFile, regular_file_error(errno));
    static const char* const names[kScoreEntries] = {"KWO", "TAM", "RUV", "LIB", "NOX", "FEP"};
    t.count = kScoreEntries;
    for (int i = 0; i < kScoreEntries; ++i) set_entry(i, names[i], 60000 - 10000 * i);
    return;
  }
  unsigned char word[4];
  const bool got_count = std::fread(word, 1, 4, f) == 4;
  const int32_t count = got_count ? get32(word) : 0;
  if (count < 1 || count > kScoreEntries) {
    t.count = 1;
    set_entry(0, "KWO", 100000);
  } else {
    t.count = count;
    for (int i = 0; i < count; ++i) {
      unsigned char entry[8];
      const size_t n = std::fread(entry, 1, 8, f);
      // A short file leaves what it does not hold as it was.
      if (n >= 4) std::memcpy(t.initials[i], entry, 4);
      if (n == 8) t.scores[i] = get32(entry + 4);
      if (n < 8) break;
    }
    for (int i = 0; i < kScoreEntries; ++i) t.initials[i][3] = '\0';
  }
  std::fclose(f);
}

int32_t save_high_scores() {
  const high_score_table_t& t = high_score_table;
  const int32_t count = t.count < 1 ? 1 : t.count > kScoreEntries ? kScoreEntries : t.count;
  unsigned char data[4 + 8 * kScoreEntries];
  put32(data, count);
  for (int i = 0; i < count; ++i) {
    std::memcpy(data + 4 + 8 * i, t.initials[i], 4);
    data[4 + 8 * i + 3] = 0;
    put32(data + 8 + 8 * i, t.scores[i]);
  }
  const size_t size = size_t(4 + 8 * count);
  const int fd = open_regular_file(kScoreTemp, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "pellax: cannot save the high scores (%s): %s\n", kScoreTemp, regular_file_error(errno));
    return -1;
  }
  const bool written = write_all(fd, data, size) && ::fsync(fd) == 0;
  const int saved_errno = errno;
  if (::close(fd) != 0 || !written) {
    std::fprintf(stderr, "pellax: cannot save the high scores (%s): %s\n", kScoreTemp,
                 std::strerror(written ? errno : saved_errno));
    ::unlink(kScoreTemp);
    return -1;
  }
  if (std::rename(kScoreTemp, kScoreFile) != 0) {
    std::fprintf(stderr, "pellax: cannot save the high scores (%s): %s\n", kScoreFile, std::strerror(errno));
    ::unlink(kScoreTemp);
    return -1;
  }
  return 0;
}

char step_initial(char c, int32_t direction) {
  for (int i = 0; i < kCycleLength; ++i) {
    if (kCycle[i] != c) continue;
    return kCycle[(i + direction + kCycleLength) % kCycleLength];
  }
  return c;
}

void reset_initials_entry() {
  initials_cursor = 0;
  initials_tick = 0;
}

void run_high_score_screen(uint16_t* surface, int32_t show_prompt) {
  const int32_t vx = px(camera_x), vy = px(camera_y);
  draw_text_glow(surface, "HIGH SCORES", vx + 77, vy + 10, 1280, 1, 120, 0xF650);
  high_score_table_t& t = high_score_table;
  const int32_t count = t.count < 0 ? 0 : t.count > kScoreEntries ? kScoreEntries : t.count;
  for (int32_t i = 0; i < count; ++i) {
    char text[24];
    format_score(text, sizeof text, t.scores[i]);
    int32_t w, h;
    text_extent_fx(text, 1024, &w, &h);
    const int32_t y = vy + 50 + (h + 8) * i;
    if (i != new_score_slot) {
      char initials[4];
      std::memcpy(initials, t.initials[i], 4);
      initials[3] = '\0';
      draw_text_glow(surface, initials, vx + 60, y, 1024, 1, 120, 0xF650);
      draw_text_glow(surface, text, vx + 260 - w, y, 1024, 1, 120, 0xF650);
      continue;
    }
    if (hiscore_music_pending == 1) {
      music_off();
      music_load("qss.lvl");
      music_on();
      hiscore_music_pending = 0;
    }
    if (++initials_tick % 8 == 0) {
      const int32_t code = read_stick_direction();
      char& c = t.initials[i][initials_cursor];
      switch (code) {
        case 1: case 2: case 16: c = step_initial(c, -1); break;
        case 8: case 9: case 10: c = step_initial(c, 1); break;
        case 4: case 5: case 6: initials_cursor = (initials_cursor + 2) % 3; break;
        case 12: case 13: case 14: initials_cursor = (initials_cursor + 1) % 3; break;
        default: break;
      }
    }
    for (int k = 0; k < 3; ++k) {
      const char letter[2] = {t.initials[i][k], '\0'};
      draw_text_glow(surface, letter, vx + 60 + 12 * k, y, 1024, 1, 120, k == initials_cursor ? 0xF09E : 0x378A);
    }
    draw_text_glow(surface, text, vx + 260 - w, y, 1024, 1, 120, 0x378A);
  }
  if (show_prompt && new_score_slot >= 0) {
    draw_text_glow(surface, "CONGRATULATIONS!", vx + 10, vy + 200, 768, 1, 120, 0x378A);
    draw_text_glow(surface, "SELECT INITIALS WITH JOYSTICK", vx + 10, vy + 220, 768, 1, 120, 0x378A);
  }
}
