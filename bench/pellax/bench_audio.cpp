// The second core's audio program on this PC: the cost of one 8,192-byte PCM block (46.4 ms
// of sound) in steady play, decoding the music into the ring and mixing it with five voices
// and the loop sound, as a real-time factor (x_realtime: seconds of sound per CPU second) and
// as a share of the block's own 46.4 ms. Beside it the plain integer decoder decodes the same
// file directly (the same library, its own allocator, no ring or mix), so the program's
// decoding rate can be read against it; and the mixer alone.
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "pellax/audio940/command_block.h"
#include "pellax/audio940/core.h"
#include "pellax/audio940/direct_decode.h"
#include "pellax/audio940/mixer.h"
#include "pellax/audio940/program_image.h"
#include "host/host_emulated_arm.h"

namespace {

using namespace audio940;

constexpr double kBlockSeconds = kBlockSamples / 2 / 44100.0;

std::vector<uint8_t> read_file(const char* path) {
  std::vector<uint8_t> bytes;
  if (std::FILE* f = std::fopen(path, "rb")) {
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
  }
  return bytes;
}

const std::vector<uint8_t>& music() {
  static const std::vector<uint8_t> bytes = read_file(PELLAX_DATA "/level1.ogg");
  return bytes;
}

// The block as the game leaves it in play: music and the loop sound on, the music file
// loaded, both PCM blocks with the thread.
void load_music_playing(uint8_t* memory) {
  CommandBlock& blk = *block_at(memory);
  blk.master_volume = kInitialVolume;
  blk.sfx_enable = 1;
  blk.music_enable = 1;
  blk.music_level = kInitialMusicLevel;
  blk.music_offset = kMusicAddress;
  blk.loop_enable = 1;
  blk.loop_level = 64;
  std::memcpy(memory + kMusicAddress, music().data(), music().size());
  blk.music_length = uint32_t(music().size());
  blk.music_data_ready = 1;
  blk.pcm_a_full = blk.pcm_b_full = 1;
}

// A core with the music loaded and primed, five effect voices and the loop sound playing.
struct Core {
  std::vector<uint8_t> memory = std::vector<uint8_t>(kMemorySize, 0);
  CommandBlock& b() { return *block_at(memory.data()); }

  bool start() {
    if (music().empty()) return false;
    load_music_playing(memory.data());
    arm940_start(kBlockAddress, memory.data());
    while (arm940_service()) {
    }
    return arm940_state().music_primed != 0;
  }
  void keep_voices() {
    CoreState& st = arm940_state();
    for (uint32_t v = st.voice_count; v < uint32_t(kVoices); ++v)
      st.voices[st.voice_count++] = {kEffectPcm[1 + v], 40000, 0, 70, 1 + v};
  }
};

void BM_CoreBlock(benchmark::State& state) {
  Core core;
  if (!core.start()) return state.SkipWithError("no music: build the pellax_music target");
  CommandBlock& b = core.b();
  int due = 0;
  for (auto _ : state) {
    core.keep_voices();
    // The audio thread hands a block back; the core mixes it and refills the ring.
    (due ? b.pcm_b_full : b.pcm_a_full) = 0;
    due ^= 1;
    while (arm940_service()) {
    }
  }
  state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()) * kBlockSeconds, benchmark::Counter::kIsRate);
  // Per cent of the block's 46.4 ms that making it takes.
  state.counters["pct_of_block"] = benchmark::Counter(double(state.iterations()) * kBlockSeconds / 100.0,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CoreBlock)->Unit(benchmark::kMicrosecond);

// The same on the game's own path: the second core's image on the emulated ARM core, with
// no voices or five (the argument). Reported: the emulation's speed (x_realtime) and, with
// the instructions counted (a slower run, the argument's second value 1), the instructions
// the core executes per block and their share of the block's 9.29 M cycles at 200 MHz.
struct ImageCore {
  uint8_t* memory = static_cast<uint8_t*>(
      ::mmap(nullptr, kMemorySize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  gp2x::host::EmulatedArm arm;
  ~ImageCore() { ::munmap(memory, kMemorySize); }
  CommandBlock& b() { return *block_at(memory); }
  CoreState& st() { return *reinterpret_cast<CoreState*>(memory + kStateAddress); }
  void until_idle() {
    while (arm.run_pass() == gp2x::host::EmulatedArm::Pass::kWorked) {
    }
  }
  bool start() {
    if (music().empty() || memory == MAP_FAILED) return false;
    std::memcpy(memory, arm940_program, arm940_program_length);
    load_music_playing(memory);
    if (!arm.open(memory, kMemorySize)) return false;
    until_idle();
    return st().music_primed != 0;
  }
  void keep_voices(uint32_t voices) {
    for (uint32_t v = st().voice_count; v < voices; ++v)
      st().voices[st().voice_count++] = {kEffectPcm[1 + v], 40000, 0, 70, 1 + v};
  }
};

void BM_ImageBlock(benchmark::State& state) {
  ImageCore core;
  if (!core.start()) return state.SkipWithError("no music (build pellax_music) or no emulated core");
  const bool counting = state.range(1) != 0;
  core.arm.count_instructions(counting);
  const uint64_t counted_from = core.arm.instructions();
  int due = 0;
  for (auto _ : state) {
    core.keep_voices(uint32_t(state.range(0)));
    (due ? core.b().pcm_b_full : core.b().pcm_a_full) = 0;
    due ^= 1;
    core.until_idle();
  }
  if (counting) {
    const double per_block = double(core.arm.instructions() - counted_from) / double(state.iterations());
    state.counters["instr_per_block"] = per_block;
    state.counters["pct_of_9_29M"] = 100.0 * per_block / 9.29e6;
  } else {
    state.counters["x_realtime"] =
        benchmark::Counter(double(state.iterations()) * kBlockSeconds, benchmark::Counter::kIsRate);
  }
}
BENCHMARK(BM_ImageBlock)->ArgNames({"voices", "count"})->Args({0, 0})->Args({5, 0})->Args({0, 1})->Args({5, 1})
    ->Unit(benchmark::kMicrosecond);

void BM_MixOnly(benchmark::State& state) {
  Core core;
  if (!core.start()) return state.SkipWithError("no music: build the pellax_music target");
  std::vector<int16_t> out(kBlockSamples);
  for (auto _ : state) {
    core.keep_voices();
    CoreState& st = arm940_state();
    st.ring_read = st.ring_write = 0;  // the mix itself, with silence for music
    arm940_mix(out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()) * kBlockSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MixOnly)->Unit(benchmark::kMicrosecond);

void BM_DirectDecode(benchmark::State& state) {
  if (music().empty()) return state.SkipWithError("no music: build the pellax_music target");
  DirectDecoder decoder(music());
  if (!decoder.opened()) return state.SkipWithError("the music does not open");
  char chunk[2048];
  for (auto _ : state) {
    // 8,192 bytes of PCM, starting over at the end as the program's music does.
    for (long got = 0; got < kBlockBytes;) {
      const long n = decoder.read(chunk, sizeof chunk);
      if (n > 0) got += n;
      else decoder.restart();
    }
    benchmark::DoNotOptimize(chunk);
  }
  state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()) * kBlockSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DirectDecode)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
