// qssplay: plays a MOD or WAV file through the sound library's speaker to the console's
// OSS device, which the host layer turns into the speakers (window mode) or a WAV file
// (headless, --out).
//
//   qssplay [--rate HZ] [--bits 8|16] [--mono] [--seconds S] [--loop|--no-loop]
//           [--out FILE.wav] FILE
//
// --seconds (fractional ones too) stops it after that long; a recording then holds exactly
// that much sound, or less when the file ends first.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "host/gp2x_seam.h"
#include "sound/qssSpeaker.h"

namespace {

int usage() {
  fprintf(stderr,
          "usage: qssplay [--rate HZ] [--bits 8|16] [--mono] [--seconds S] [--loop|--no-loop]\n"
          "               [--out FILE.wav] FILE\n"
          "Plays a MOD module or a WAV sample. Headless, --out records to a WAV file.\n");
  return 2;
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
// holds what the device still had queued: cuts the recording at path to `frames` frames.
// A file not in the recording's plain layout (44-byte header) is left as it is.
void trimRecording(const char* path, uint64_t frames) {
  FILE* f = fopen(path, "r+b");
  if (!f) return;
  uint8_t h[44];
  if (fread(h, 1, sizeof h, f) == sizeof h && memcmp(h, "RIFF", 4) == 0 &&
      memcmp(h + 8, "WAVE", 4) == 0 && memcmp(h + 36, "data", 4) == 0) {
    const uint32_t frameBytes = h[32] | h[33] << 8;
    const uint32_t bytes = le32(h + 40);
    if (frameBytes && frames < bytes / frameBytes) {
      const uint32_t keep = static_cast<uint32_t>(frames) * frameBytes;
      putLe32(h + 4, 36 + keep);
      putLe32(h + 40, keep);
      if (fseek(f, 0, SEEK_SET) != 0 || fwrite(h, 1, sizeof h, f) != sizeof h || fflush(f) != 0 ||
          ftruncate(fileno(f), static_cast<off_t>(sizeof h + keep)) != 0)
        fprintf(stderr, "qssplay: %s: cannot cut the recording to the time asked\n", path);
    }
  }
  fclose(f);
}

double seconds(const struct timeval& a, const struct timeval& b) {
  return (b.tv_sec - a.tv_sec) + (b.tv_usec - a.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long rate = 44100, bits = 16;
  double limit = 0;
  bool stereo = true, loop = false;
  const char* path = nullptr;
  const char* out = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](unsigned long max, unsigned long* v) {
      return i + 1 < argc && number(argv[++i], max, v);
    };
    if (a == "--rate") {
      if (!value(192000, &rate) || rate < 4000) return usage();
    } else if (a == "--bits") {
      if (!value(16, &bits) || (bits != 8 && bits != 16)) return usage();
    } else if (a == "--seconds") {
      if (i + 1 >= argc || !decimal(argv[++i], 86400, &limit)) return usage();
    } else if (a == "--mono") {
      stereo = false;
    } else if (a == "--loop") {
      loop = true;
    } else if (a == "--no-loop") {
      loop = false;
    } else if (a == "--out") {
      if (i + 1 >= argc) return usage();
      out = argv[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      return usage();
    } else if (!path) {
      path = argv[i];
    } else {
      return usage();
    }
  }
  if (!path) return usage();
  if (out) {
    // The host layer reads these on its first use, which comes below.
    setenv("GP2X_AUDIO", "wav", 1);
    setenv("GP2X_WAV", out, 1);
  }
  // A looping file without a time limit would never end headless.
  if (loop && limit <= 0) limit = 60;

  qssMusic music;
  qssSound sound;
  // A WAV needs "fmt " at byte 12, which a module's name field hardly holds: try it first.
  int soundResult = sound.load(path);
  int musicResult = soundResult == 0 ? -1 : music.load(path);
  if (musicResult != 0 && soundResult != 0) {
    fprintf(stderr, "qssplay: %s: not a module (%d) nor a WAV sample (%d)\n", path, musicResult,
            soundResult);
    return 1;
  }

  qssSpeaker speaker;
  int r = speaker.open(static_cast<uint32_t>(rate), static_cast<uint32_t>(bits), stereo, 1, 8);
  if (r != 0) {
    fprintf(stderr, "qssplay: cannot open the output (%d)\n", r);
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
    fprintf(stderr, "qssplay: cannot play %s (%d)\n", path, channel);
    return 1;
  }

  struct timeval start, now;
  gp2x::gettimeofday(&start);
  for (;;) {
    gp2x::usleep(10000);
    gp2x::gettimeofday(&now);
    if (limit > 0 && seconds(start, now) >= limit) break;
    if (speaker.channel(channel)->stopped()) {
      // Let the last fragments reach the device.
      gp2x::usleep(100000);
      break;
    }
  }
  gp2x::gettimeofday(&now);
  speaker.close();
  if (out && limit > 0) trimRecording(out, static_cast<uint64_t>(llround(limit * static_cast<double>(rate))));
  printf("qssplay: %s: %.2f s at %lu Hz, %lu-bit %s\n", path, seconds(start, now), rate, bits,
         stereo ? "stereo" : "mono");
  return 0;
}
