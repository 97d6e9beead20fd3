// The audio thread: it starts the second core and hands each PCM block the core mixed to
// "/dev/dsp"; the second core's control; the log printer.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/soundcard.h>
#include <mutex>

#include "seam/gp2x_seam.h"
#include "pellax/audio940/program_image.h"
#include "pellax/platform/audio_driver.h"
#include "pellax/platform/mmsp2_regs.h"
#include "pellax/platform/video.h"

using namespace audio940;

namespace {

constexpr uint32_t kResetControl = 0x3B48;
constexpr uint32_t kDualInterruptEnable = 0x3B46, kDualPending0 = 0x3B40, kDualPending1 = 0x3B42,
                   kDualInterruptMode = 0x3B44;
constexpr int kFragmentSetting = 0x2000B;  // two fragments of 2,048 bytes
constexpr int32_t kLoopStep = 16;

int dsp_fd = -1;
int due_block = 0;  // the block the thread writes next: 0 A, 1 B

// The start's hand-over to audio_init: 0 pending, 1 the block is ready, -1 no device.
std::mutex start_mutex;
std::condition_variable start_changed;
int start_state = 0;
std::atomic<bool> block_ready{false};
std::atomic<bool> loop_reset_requested{false};

void publish_start(int state) {
  {
    std::lock_guard<std::mutex> lock(start_mutex);
    start_state = state;
  }
  if (state > 0) block_ready.store(true, std::memory_order_release);
  start_changed.notify_all();
}

void init_block(CommandBlock& b) {
  word_set(b.log_write, 0);
  word_set(b.log_read, 0);
  word_set(b.master_volume, kInitialVolume);
  word_set(b.stop_940, 0);
  word_set(b.music_enable, 0);
  word_set(b.music_data_ready, 0);
  word_set(b.music_rewind, 0);
  word_set(b.effects_ready, 0);
  word_set(b.sfx_enable, 1);
  for (uint32_t& t : b.sfx_trigger) word_set(t, 0);
  word_set(b.music_level, kInitialMusicLevel);
  word_set(b.music_offset, kMusicAddress);
  word_set(b.effects_to_decode, kInitialEffectsToDecode);
  word_set(b.loop_enable, 0);
  word_set(b.loop_level, 0);
  word_set(b.music_length, 0);
  word_set(b.music_busy, 0);
}

// The effect streams back to back from 0x300000, each offset the previous one plus its
// length. A stream that would run past the streams' region is left out (length 0).
void place_effects(CommandBlock& b) {
  uint32_t offset = kStreamsAddress, at = 0;
  for (int i = 0; i < kEffects; ++i) {
    uint32_t length = 0;
    if (at + 4 <= sfx_streams_size) {
      length = uint32_t(sfx_streams[at]) | uint32_t(sfx_streams[at + 1]) << 8 |
               uint32_t(sfx_streams[at + 2]) << 16 | uint32_t(sfx_streams[at + 3]) << 24;
      at += 4;
      if (length > sfx_streams_size - at || length > kMusicScratch - offset) length = 0;
      std::memcpy(arm940_mem + offset, sfx_streams + at, length);
      at += length;
    }
    word_set(b.sfx_offset[i], offset);
    word_set(b.sfx_length[i], length);
    if (i >= 1) word_set(b.sfx_volume[i], kEffectVolume[i]);
    offset += length;
  }
}

void ramp_loop_level(CommandBlock& b) {
  int32_t level = int32_t(word_get(b.loop_level));
  if (loop_reset_requested.exchange(false)) level = 0;
  const int32_t target = loop_level_target.load();
  if (level < target) level = target - level > kLoopStep - 1 ? level + kLoopStep : target;
  else if (level > target) level = level - target > kLoopStep - 1 ? level - kLoopStep : target;
  word_set(b.loop_level, uint32_t(level));
}

uint8_t log_byte(const CommandBlock& b, uint32_t i) { return b.log_ring[i % kLogBytes]; }

}  // namespace

bool audio_block_ready() { return block_ready.load(std::memory_order_acquire) && audio_cmd_block; }

void audio_thread_expect_start() {
  std::lock_guard<std::mutex> lock(start_mutex);
  start_state = 0;
}

void audio_thread_wait_start(int ms) {
  std::unique_lock<std::mutex> lock(start_mutex);
  start_changed.wait_for(lock, std::chrono::milliseconds(ms), [] { return start_state != 0; });
}

void audio_thread_retract_block() { block_ready.store(false); }

void audio_thread_request_loop_reset() { loop_reset_requested.store(true); }

void arm940_reset(int32_t on) {
  if (io_regs) mmsp2::write16(io_regs, kResetControl, uint16_t(((on & 1) << 7) | 3));
}

void arm940_pause(int32_t on) {
  if (!io_regs) return;
  const uint16_t clocks = mmsp2::read16(io_regs, mmsp2::kSysClockEnable);
  mmsp2::write16(io_regs, mmsp2::kSysClockEnable, on ? uint16_t(clocks & ~1u) : uint16_t(clocks | 1u));
}

void arm940_halt() {
  arm940_reset(1);
  arm940_pause(1);
}

void arm940_start_program() {
  arm940_reset(1);
  arm940_pause(1);
  if (io_regs) {
    mmsp2::write16(io_regs, kDualInterruptEnable, 0xFFFF);
    mmsp2::write16(io_regs, kDualPending0, 0);
    mmsp2::write16(io_regs, kDualPending1, 0);
    mmsp2::write16(io_regs, kDualInterruptMode, 0xFFFF);
  }
  const uint32_t length = arm940_program_length;
  if (length > 0 && length <= kMemorySize && arm940_mem)
    std::memcpy(arm940_mem + kImageAddress, arm940_program, length);
  arm940_reset(0);
  arm940_pause(0);
}

int32_t arm940_print_log() {
  if (!audio_cmd_block) return 0;
  CommandBlock& b = *audio_cmd_block;
  const uint32_t w = word_acquire(b.log_write);
  uint32_t r = word_get(b.log_read);
  if (w >= kLogBytes || r >= kLogBytes) {
    if (w < kLogBytes) word_release(b.log_read, w);
    return 0;
  }
  const uint32_t unread = (w + kLogBytes - r) % kLogBytes;
  if (unread == 0) return 0;
  auto consume = [&](uint32_t n) {
    r = (r + n) % kLogBytes;
    word_release(b.log_read, r);
  };
  if (unread < 2) {
    consume(unread);
    return 0;
  }
  const uint8_t type = log_byte(b, r), n = log_byte(b, r + 1);
  if (type == kLogText) {
    if (unread < 2u + n) {
      consume(unread);
      return 0;
    }
    char text[256];
    for (uint32_t i = 0; i < n; ++i) text[i] = char(log_byte(b, r + 2 + i));
    text[n] = '\0';
    std::printf("940: %s\n", text);
    consume(2u + n);
  } else if (type == kLogValue) {
    if (unread < 6) {
      consume(unread);
      return 0;
    }
    uint32_t v = 0;
    for (uint32_t i = 0; i < 4; ++i) v = v << 8 | log_byte(b, r + 2 + i);
    std::printf("940: %d 0x%x\n", int(v), unsigned(v));
    consume(6);
  } else {
    consume(2);
  }
  return r != w ? 1 : 0;
}

int32_t audio_thread_open() {
  dsp_fd = gp2x::open("/dev/dsp", O_WRONLY);
  if (dsp_fd <= 0) {
    if (dsp_fd == 0) gp2x::close(dsp_fd);
    dsp_fd = -1;
    return -1;
  }
  int value = 44100;
  gp2x::ioctl(dsp_fd, SNDCTL_DSP_SPEED, &value);
  value = AFMT_S16_LE;
  gp2x::ioctl(dsp_fd, SNDCTL_DSP_SETFMT, &value);
  value = 1;
  gp2x::ioctl(dsp_fd, SNDCTL_DSP_STEREO, &value);
  value = kFragmentSetting;
  gp2x::ioctl(dsp_fd, SNDCTL_DSP_SETFRAGMENT, &value);
  audio_buf_info info{};
  gp2x::ioctl(dsp_fd, SNDCTL_DSP_GETOSPACE, &info);

  CommandBlock& b = *audio_cmd_block;
  init_block(b);
  place_effects(b);
  word_set(b.pcm_a_full, 0);
  word_set(b.pcm_b_full, 0);
  std::memset(b.pcm_a, 0, sizeof b.pcm_a);
  std::memset(b.pcm_b, 0, sizeof b.pcm_b);
  loop_reset_requested.store(false);
  due_block = 0;
  arm940_start_program();
  // Published before the thread's first sleep, so that the game's first commands and its
  // first music load come while this thread waits.
  publish_start(1);
  gp2x::usleep(10000);
  return 0;
}

void audio_thread_pass() {
  CommandBlock& b = *audio_cmd_block;
  while (arm940_print_log()) {
  }
  ramp_loop_level(b);
  uint32_t& full = due_block ? b.pcm_b_full : b.pcm_a_full;
  if (word_acquire(full)) {
    gp2x::write(dsp_fd, due_block ? b.pcm_b : b.pcm_a, kBlockBytes);
    word_release(full, 0);
    due_block ^= 1;
  } else {
    // The core is late: silence keeps the device paced; the block due stays due.
    static const int16_t silence[kBlockSamples] = {};
    gp2x::write(dsp_fd, silence, kBlockBytes);
  }
}

void audio_thread_close() {
  if (dsp_fd >= 0) gp2x::close(dsp_fd);
  dsp_fd = -1;
  arm940_halt();
  audio_thread_running.store(0);
}

void audio_thread_main() {
  audio_thread_running.store(1);
  if (audio_thread_open() != 0) {
    audio_thread_running.store(0);
    publish_start(-1);
    return;
  }
  while (!audio_stop_flag.load()) audio_thread_pass();
  audio_thread_close();
}
