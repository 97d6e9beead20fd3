// qssplay: plays a MOD or WAV file through the sound library's speaker to the console's
// OSS device, which the host layer turns into the PC's sound card, in real time (no window
// needed), or with --out into a WAV file, headless and faster than real time.
//
//   qssplay [--rate HZ] [--bits 8|16] [--mono] [--seconds S] [--loop|--no-loop]
//           [--out FILE.wav] FILE
//
// --seconds (fractional ones too) stops it after that long; a recording then holds exactly
// that much sound, or less when the file ends first. Ctrl+C stops it early. The summary
// line gives the length played or recorded.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "host/gp2x_host.h"
#include "seam/gp2x_seam.h"
#include "seam/regular_file.h"
#include "sound/qssSpeaker.h"
#include "tools/tool_usage.h"

namespace {

const char kUsage[] =
    "usage: qssplay [--rate HZ] [--bits 8|16] [--mono] [--seconds S] [--loop|--no-loop]\n"
    "               [--out FILE.wav] FILE\n"
    "Plays a MOD module or a WAV sample through the sound card; --out records it to a\n"
    "WAV file instead.\n"
    "  --rate HZ          output rate, 4000 to 192000 Hz (default 44100)\n"
    "  --bits 8|16        sample size (default 16)\n"
    "  --mono             one channel (default: stereo)\n"
    "  --seconds S        stop after S seconds, such as 2.5 (default 0: at the file's\n"
    "                     end; a loop recorded with --out stops after 60, one played\n"
    "                     on the sound card at Ctrl+C)\n"
    "  --loop, --no-loop  start the file again at its end, or not (default --no-loop)\n"
    "  --out FILE.wav     record to FILE.wav, faster than real time, instead of playing\n";

int mistake(const std::string& what) { return ToolMistake("qssplay", what, kUsage); }

// What the sound library's result codes mean.
const char* meaning(int code) {
  switch (code) {
    case -2: return "already open";
    case -3: return "not open";
    case -10: return "out of memory";
    case -100: return "unsupported data";
    case -200: return "cannot open the file";
    case -300: return "bad file structure";
    case -1000: return "cannot play";
    default: return "failed";
  }
}

bool number(const char* text, unsigned long max, unsigned long* out) {
  char* end = nullptr;
  unsigned long v = strtoul(text, &end, 10);
  if (!*text || *end || v > max) return false;
  *out = v;
  return true;
}

// A non-negative decimal such as "3" or "2.5", at most max.
bool decimal(const char* text, double max, double* out) {
  int digits = 0, points = 0;
  for (const char* c = text; *c; ++c) {
    if (*c >= '0' && *c <= '9') ++digits;
    else if (*c == '.') ++points;
    else return false;
  }
  if (digits == 0 || points > 1) return false;
  double v = strtod(text, nullptr);
  if (v > max) return false;
  *out = v;
  return true;
}

uint32_t le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The device takes sound ahead of its clock, so a recording stopped when the time was up
// holds what the device still had queued: cuts the recording at path to `frames` frames
// (UINT64_MAX: as it is). Returns the frames the recording holds, or -1 for a file not in
// the recording's plain layout (44-byte header), which is left as it is.
int64_t trimRecording(const char* path, uint64_t frames) {
  FILE* f = fopen_regular_file(path, "r+b");
  if (!f) return -1;
  int64_t held = -1;
  uint8_t h[44];
  if (fread(h, 1, sizeof h, f) == sizeof h && memcmp(h, "RIFF", 4) == 0 &&
      memcmp(h + 8, "WAVE", 4) == 0 && memcmp(h + 36, "data", 4) == 0) {
    const uint32_t frameBytes = h[32] | h[33] << 8;
    const uint32_t bytes = le32(h + 40);
    if (frameBytes) held = bytes / frameBytes;
    if (frameBytes && frames < bytes / frameBytes) {
      const uint32_t keep = static_cast<uint32_t>(frames) * frameBytes;
      putLe32(h + 4, 36 + keep);
      putLe32(h + 40, keep);
      if (fseek(f, 0, SEEK_SET) != 0 || fwrite(h, 1, sizeof h, f) != sizeof h || fflush(f) != 0 ||
          ftruncate(fileno(f), static_cast<off_t>(sizeof h + keep)) != 0)
        fprintf(stderr, "qssplay: %s: cannot cut the recording to the time asked: %s\n", path, strerror(errno));
      else held = static_cast<int64_t>(frames);
    }
  }
  fclose(f);
  return held;
}

// Why the recording cannot be made at path, or "" when it can as far as can be seen. The
// host layer makes the file only when the sound starts and would stop the program in its
// own words, so the place is looked at first.
std::string recordingProblem(const char* path) {
  struct stat st;
  if (stat(path, &st) == 0) {
    if (S_ISDIR(st.st_mode)) return "it is a folder";
    return access(path, W_OK) == 0 ? "" : strerror(errno);
  }
  if (errno != ENOENT) return strerror(errno);
  std::string folder = path;
  const size_t slash = folder.find_last_of('/');
  folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
  return access(folder.c_str(), W_OK | X_OK) == 0 ? "" : strerror(errno);
}

double seconds(const struct timeval& a, const struct timeval& b) {
  return (b.tv_sec - a.tv_sec) + (b.tv_usec - a.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (ToolHelpAsked(argc, argv)) return ToolUsage(kUsage, true);
  unsigned long rate = 44100, bits = 16;
  double limit = 0;
  bool stereo = true, loop = false;
  const char* path = nullptr;
  const char* out = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    // The option's value, or null (after saying so) when it is missing.
    auto next = [&]() -> const char* {
      if (i + 1 < argc) return argv[++i];
      return nullptr;
    };
    if (a == "--rate") {
      const char* v = next();
      if (!v) return mistake(a + " needs a value");
      if (!number(v, 192000, &rate) || rate < 4000)
        return mistake(a + " " + v + ": the rate is a whole number of Hz from 4000 to 192000");
    } else if (a == "--bits") {
      const char* v = next();
      if (!v) return mistake(a + " needs a value");
      if (!number(v, 16, &bits) || (bits != 8 && bits != 16))
        return mistake(a + " " + v + ": the sample size is 8 or 16 bits");
    } else if (a == "--seconds") {
      const char* v = next();
      if (!v) return mistake(a + " needs a value");
      if (!decimal(v, 86400, &limit))
        return mistake(a + " " + v + ": the time is a number of seconds from 0 to 86400, such as 2.5");
    } else if (a == "--mono") {
      stereo = false;
    } else if (a == "--loop") {
      loop = true;
    } else if (a == "--no-loop") {
      loop = false;
    } else if (a == "--out") {
      out = next();
      if (!out) return mistake(a + " needs a file name");
    } else if (a.size() > 1 && a[0] == '-') {
      return mistake("unknown option \"" + a + "\"");
    } else if (!path) {
      path = argv[i];
    } else {
      return mistake("one FILE at a time: \"" + a + "\" comes after \"" + path + "\"");
    }
  }
  if (!path) return mistake("no FILE given");
  if (out) {
    const std::string problem = recordingProblem(out);
    if (!problem.empty()) {
      fprintf(stderr, "qssplay: %s: cannot record to it: %s\n", out, problem.c_str());
      return 1;
    }
  }
  // The host layer reads these on its first use, which comes below.
  if (out) {
    setenv("GP2X_AUDIO", "wav", 1);
    setenv("GP2X_WAV", out, 1);
  } else {
    // The sound card, drained in real time (unless the user's settings say otherwise).
    setenv("GP2X_AUDIO", "sdl", 0);
    setenv("GP2X_CLOCK", "real", 0);
  }
  // A looping file without a time limit would never end headless.
  if (loop && limit <= 0 && out) limit = 60;

  qssMusic music;
  qssSound sound;
  // A WAV needs "fmt " at byte 12, which a module's name field hardly holds: try it first.
  int soundResult = sound.load(path);
  int musicResult = soundResult == 0 ? -1 : music.load(path);
  if (musicResult != 0 && soundResult != 0) {
    if (musicResult == -200 && soundResult == -200)
      fprintf(stderr, "qssplay: %s: cannot open the file: %s\n", path, strerror(errno));
    else
      fprintf(stderr, "qssplay: %s: not a module (%s) nor a WAV sample (%s)\n", path, meaning(musicResult),
              meaning(soundResult));
    return 1;
  }

  if (!out && !gp2x::host::sound_card()) {
    fprintf(stderr, "qssplay: no sound card to play %s on (--out FILE.wav records it instead)\n", path);
    return 1;
  }
  qssSpeaker speaker;
  int r = speaker.open(static_cast<uint32_t>(rate), static_cast<uint32_t>(bits), stereo, 1, 8);
  if (r != 0) {
    fprintf(stderr, "qssplay: cannot open the sound output: %s\n", meaning(r));
    return 1;
  }
  int channel;
  if (soundResult != 0) {
    music.loop(loop);
    channel = speaker.playMusic(&music, QSS_ANY_CHANNEL);
  } else {
    sound.loop(loop);
    channel = speaker.playSound(&sound, QSS_ANY_CHANNEL);
  }
  if (channel < 0) {
    fprintf(stderr, "qssplay: %s: %s\n", path, meaning(channel));
    return 1;
  }

  struct timeval start, now;
  gp2x::gettimeofday(&start);
  bool stopped = false;
  for (;;) {
    gp2x::usleep(10000);
    gp2x::gettimeofday(&now);
    if (limit > 0 && seconds(start, now) >= limit) break;
    if (gp2x::quit_requested()) {  // Ctrl+C: what was played or recorded so far stays
      stopped = true;
      break;
    }
    if (speaker.channel(channel)->stopped()) {
      // Let the last fragments reach the device.
      gp2x::usleep(100000);
      break;
    }
  }
  gp2x::gettimeofday(&now);
  speaker.close();
  const char* format = stereo ? "stereo" : "mono";
  if (out) {
    const uint64_t frames = limit > 0 && !stopped ? static_cast<uint64_t>(llround(limit * static_cast<double>(rate)))
                                                  : UINT64_MAX;
    const int64_t held = trimRecording(out, frames);
    if (held < 0) {
      fprintf(stderr, "qssplay: %s: the recording cannot be read back\n", out);
      return 1;
    }
    printf("qssplay: %s: %.2f s recorded to %s at %lu Hz, %lu-bit %s\n", path,
           static_cast<double>(held) / static_cast<double>(rate), out, rate, bits, format);
  } else {
    printf("qssplay: %s: %.2f s played at %lu Hz, %lu-bit %s\n", path, seconds(start, now), rate, bits, format);
  }
  return 0;
}
