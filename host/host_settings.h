// Settings of the host layer: what the environment (GP2X_* variables) or a test asks for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gp2x::host {

constexpr int kMaxScale = 8;  // the window's largest whole scale

struct Settings {
  bool headless = true;        // no window; input from a script, pictures as PNG files
  bool virtual_clock = true;   // time moves only when the program sleeps or polls
  int scale = 0;               // window: whole scale of the 320x240 picture, 1 to kMaxScale;
                               // 0: the largest that fits the display

  uint32_t timer_start = 0;              // hardware timer count at time 0
  int64_t epoch_seconds = 1767225600;    // virtual clock: wall time at time 0 (2026-01-01)
  uint32_t poll_ns = 2000;               // virtual time one spinning register read costs
  uint32_t stall_ms = 1000;              // real time before a waiting thread moves time itself
  uint16_t battery = 1000;               // "/dev/batt" reading (900 and above: full)
  int blit_busy_polls = 2;               // reads of the 2D engine status that see it busy

  int fb_bpp = 16;             // framebuffer format as the ioctls report it
  int fb_green_length = 6;     // 16 bpp: 6 = RGB565, 5 = RGB555
  int fb_xres_virtual = 320;

  bool dsp = true;                    // false: "/dev/dsp" cannot be opened
  uint32_t dsp_fragment_size = 4096;  // OSS buffer when the program asks for none
  uint32_t dsp_fragments = 4;
  std::string audio;           // "sdl", "wav", "null" or (tests) "capture"; empty: sdl with a
                               // window, wav with a wav_path, else null
  std::string wav_path;        // recorded audio (implies audio "wav" unless audio is set)

  std::string script_path;     // headless button script
  std::string shots_dir;       // headless screenshots
  std::vector<uint32_t> shot_at_ms;
  uint32_t shot_every_ms = 0;
  int64_t until_ms = -1;       // end the run at this time (ms), -1: never
  std::string exec_program;    // run this instead of ending on a program hand-over
  uint8_t mem940_fill = 0;     // initial bytes of the second core's memory
  uint32_t core_idle_ms = 50;  // real clock: the longest an idle second core waits before it
                               // looks for work again unprompted; 0: only when prompted
  uint32_t quit_guard_ms = 2000;  // real time a program has to end after a request to
                                  // quit; 0: no limit
};

// Reads the GP2X_* environment variables. On a bad value returns false with a message that
// names the setting as the user gave it (see setting_name) and the values it takes.
bool settings_from_env(Settings* out, std::string* error);

// How the user named a setting: the play.sh option that set the variable (listed in
// GP2X_OPTION_NAMES as "GP2X_SCALE=--scale ..."), else the variable itself.
std::string setting_name(const std::string& variable);

}  // namespace gp2x::host
