// The game's audio commands, audio_init and audio_shutdown. Each command writes a word or
// two of the second core's command block; the audio thread (audio_thread.cpp) and the core
// do the rest.
#include "pellax/platform/audio.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <thread>
#include <vector>

#include "seam/gp2x_seam.h"
#include "pellax/platform/audio_driver.h"
#include "pellax/platform/sound_effects.h"
#include "pellax/platform/video.h"
#include "seam/regular_file.h"

using namespace audio940;

int32_t master_volume_copy = 0;
uint8_t* arm940_mem = nullptr;
CommandBlock* audio_cmd_block = nullptr;
std::atomic<int32_t> audio_stop_flag{0};
std::atomic<int32_t> audio_thread_running{0};
std::atomic<int32_t> loop_level_target{0};

namespace {

std::thread audio_thread_id;
// How long audio_init waits for the thread to publish the block (real time, ms).
constexpr int kReadyWaitMs = 2000;
constexpr uint32_t kFileChunk = 100000;

// The block, or null while commands are to do nothing.
CommandBlock* ready_block() { return audio_block_ready() ? audio_cmd_block : nullptr; }

// What the stream's first page says it is: its channels and rate from the Vorbis
// identification header, or false when the first page holds none.
bool stream_format(std::FILE* f, uint32_t* channels, uint32_t* rate) {
  uint8_t page[27 + 255 + 30];
  const size_t n = std::fread(page, 1, sizeof page, f);
  if (n < 27 || std::memcmp(page, "OggS", 4) != 0) return false;
  const size_t body = 27 + size_t(page[26]);
  if (body + 16 > n || page[body] != 1 || std::memcmp(page + body + 1, "vorbis", 6) != 0) return false;
  *channels = page[body + 11];
  *rate = uint32_t(page[body + 12]) | uint32_t(page[body + 13]) << 8 | uint32_t(page[body + 14]) << 16 |
          uint32_t(page[body + 15]) << 24;
  return true;
}

}  // namespace

int32_t audio_map() {
  if (arm940_mem) return 0;
  if (mem_fd < 0) return -1;
  void* p = gp2x::mmap(nullptr, kMemorySize, PROT_READ | PROT_WRITE, MAP_SHARED, mem_fd, off_t(kMemoryPhys));
  if (p == MAP_FAILED || !p) return -1;
  arm940_mem = static_cast<uint8_t*>(p);
  audio_cmd_block = block_at(arm940_mem);
  return 0;
}

void audio_unmap() {
  if (arm940_mem) gp2x::munmap(arm940_mem, kMemorySize);
  arm940_mem = nullptr;
  audio_cmd_block = nullptr;
}

void audio_init() {
  if (audio_thread_id.joinable()) return;
  // An earlier start's flag would let commands reach the block before this start's thread
  // has initialised it.
  audio_thread_retract_block();
  arm940_halt();
  if (audio_map() != 0) {
    std::fprintf(stderr, "pellax: cannot map the second core's memory: no sound\n");
    return;
  }
  audio_stop_flag.store(0);
  audio_thread_expect_start();
  audio_thread_id = std::thread(audio_thread_main);
  // The thread publishes the block once it is initialised and the core started, or gives
  // up when the device does not open. Until it does, commands do nothing.
  audio_thread_wait_start(kReadyWaitMs);
}

void audio_shutdown() {
  audio_thread_retract_block();
  audio_stop_flag.store(1);
  if (audio_thread_id.joinable()) {
    // The thread notices within one device write (46 ms); the sleeps keep a virtual clock
    // moving in step with it.
    for (int i = 0; i < 300 && audio_thread_running.load(); ++i) gp2x::usleep(10000);
    audio_thread_id.join();
  }
  audio_unmap();
}

void music_load(const char* path) {
  CommandBlock* b = ready_block();
  if (!b) return;
  // A FIFO or a device of the name would hold the game in the open or the first read.
  std::FILE* f = fopen_regular_file(path, "r");
  if (!f) {
    // What was playing goes on; the user learns which file is missing or unusable.
    std::fprintf(stderr, "pellax: cannot open music %s: %s\n", path, regular_file_error(errno));
    return;
  }
  long size = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  if (size <= 0 || size > long(kMusicLimit) || std::fseek(f, 0, SEEK_SET) != 0) {
    std::fprintf(stderr, "pellax: music %s is empty, larger than %u bytes or unreadable: not loaded\n", path,
                 unsigned(kMusicLimit));
    std::fclose(f);
    return;
  }
  // The second core plays what it decodes as 44,100 Hz stereo: anything else would play at
  // the wrong speed, so it is refused and the music playing goes on.
  uint32_t channels = 0, rate = 0;
  if (!stream_format(f, &channels, &rate)) {
    std::fprintf(stderr, "pellax: music %s is not an Ogg Vorbis stream: not loaded\n", path);
    std::fclose(f);
    return;
  }
  if (channels != 2 || rate != 44100) {
    std::fprintf(stderr, "pellax: music %s is %u Hz with %u channel%s, not 44,100 Hz stereo: not loaded\n", path,
                 unsigned(rate), unsigned(channels), channels == 1 ? "" : "s");
    std::fclose(f);
    return;
  }
  if (std::fseek(f, 0, SEEK_SET) != 0) {
    std::fprintf(stderr, "pellax: music %s is unreadable: not loaded\n", path);
    std::fclose(f);
    return;
  }
  // The core stops opening and decoding the music before its bytes change: once it has seen
  // the flag cleared, or has finished the one read it was in when the flag changed (well
  // under a millisecond; a core that is not running reads nothing).
  word_fenced_set(b->music_data_ready, 0);
  // A core that stopped in the file (it faulted) never clears the word: after a second the
  // load goes ahead, as nothing reads the file any more. A second of the program's own
  // time (the clock it sleeps on, so that a slow machine waits as long as a fast one) and
  // of the machine's (a clock that moves only as the program sleeps can pass a second at
  // once while a core on a thread of its own is still in the file).
  const auto real_start = std::chrono::steady_clock::now();
  for (int waited_ms = 0; word_fenced_get(b->music_busy); ++waited_ms) {
    if (waited_ms >= 1000 && std::chrono::steady_clock::now() - real_start >= std::chrono::seconds(1)) break;
    gp2x::usleep(1000);
  }
  static std::vector<uint8_t> chunk(kFileChunk);
  uint32_t total = 0;
  while (total < kMusicLimit) {
    size_t n = std::fread(chunk.data(), 1, kFileChunk, f);
    if (n == 0) break;
    if (n > kMusicLimit - total) n = kMusicLimit - total;  // a file that grew meanwhile
    std::memcpy(arm940_mem + kMusicAddress + total, chunk.data(), n);
    total += uint32_t(n);
  }
  std::fclose(f);
  // The length before the rewind, and both before the data is declared ready.
  word_set(b->music_length, total);
  word_set(b->music_rewind, 1);
  word_release(b->music_data_ready, 1);
}

void music_on() {
  if (CommandBlock* b = ready_block()) word_set(b->music_enable, 1);
}
void music_off() {
  if (CommandBlock* b = ready_block()) word_set(b->music_enable, 0);
}
void music_restart() {
  if (CommandBlock* b = ready_block()) word_set(b->music_rewind, 1);
}
void sfx_on() {
  if (CommandBlock* b = ready_block()) word_set(b->sfx_enable, 1);
}
void sfx_off() {
  if (CommandBlock* b = ready_block()) word_set(b->sfx_enable, 0);
}

void sfx_play(int32_t n) {
  // The effect is chosen before looking at the block: a hit's draw is made with or without
  // sound.
  const int32_t effect = sound_effect_for(n);
  if (effect < 0) return;
  if (CommandBlock* b = ready_block()) word_set(b->sfx_trigger[effect], 1);
}

void loop_sound_start() {
  if (!ready_block()) return;
  loop_level_target.store(0);
  audio_thread_request_loop_reset();
  word_set(audio_cmd_block->loop_enable, 1);
}

void loop_sound_stop() {
  if (CommandBlock* b = ready_block()) word_set(b->loop_enable, 0);
}

void loop_sound_level(int32_t level) {
  if (ready_block()) loop_level_target.store(level);
}

void volume_up() {
  CommandBlock* b = ready_block();
  if (!b) return;
  word_set(b->master_volume, volume_raised(word_get(b->master_volume)));
}

int32_t volume_down() {
  CommandBlock* b = ready_block();
  if (!b) return 0;
  const uint32_t down = volume_lowered(word_get(b->master_volume));
  word_set(b->master_volume, down);
  master_volume_copy = int32_t(down);
  return 0;
}

int32_t volume_level() {
  CommandBlock* b = ready_block();
  return b ? int32_t(word_get(b->master_volume)) : 0;
}
