// The second core's audio program on this PC: the cost of one 8,192-byte PCM block (46.4 ms
// of sound) in steady play, decoding the music into the ring and mixing it with five voices
// and the loop sound, as a real-time factor (x_realtime: seconds of sound per CPU second) and
// as a share of the block's own 46.4 ms. Beside it the plain integer decoder decodes the same
// file directly (the same library, its own allocator, no ring or mix), so the program's
// decoding rate can be read against it; the mixer alone; and the program's image on the
// emulated ARM core, its speed and the instructions it executes per block, with the game's
// track and with a track shorter than the cost of opening it.
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "pellax/audio940/command_block.h"
#include "pellax/audio940/core.h"
#include "pellax/audio940/direct_decode.h"
#include "pellax/audio940/mixer.h"
#include "pellax/audio940/program_image.h"
#include "host/host_emulated_arm.h"
#include "tests/pellax/audio940/ogg_oracle.h"

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
void load_music_playing(uint8_t* memory, const std::vector<uint8_t>& track = music()) {
  CommandBlock& blk = *block_at(memory);
  blk.master_volume = kInitialVolume;
  blk.sfx_enable = 1;
  blk.music_enable = 1;
  blk.music_level = kInitialMusicLevel;
  blk.music_offset = kMusicAddress;
  blk.loop_enable = 1;
  blk.loop_level = 64;
  std::memcpy(memory + kMusicAddress, track.data(), track.size());
  blk.music_length = uint32_t(track.size());
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
// no voices or five (the argument), as the emulation's speed (x_realtime).
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
  bool start(bool loop_sound = true, const std::vector<uint8_t>& track = music()) {
    if (track.empty() || memory == MAP_FAILED) return false;
    std::memcpy(memory, arm940_program, arm940_program_length);
    load_music_playing(memory, track);
    b().loop_enable = loop_sound;
    if (!arm.open(memory, kMemorySize)) return false;
    until_idle();
    return st().music_primed != 0;
  }
  void keep_voices(uint32_t voices) {
    for (uint32_t v = st().voice_count; v < voices; ++v)
      st().voices[st().voice_count++] = {kEffectPcm[1 + v], 40000, 0, 70, 1 + v};
  }
  // One block handed back by the audio thread and made again, as in play.
  void block(uint32_t voices) {
    keep_voices(voices);
    (due ? b().pcm_b_full : b().pcm_a_full) = 0;
    due ^= 1;
    until_idle();
  }
  int due = 0;
};

void BM_ImageBlock(benchmark::State& state) {
  ImageCore core;
  if (!core.start()) return state.SkipWithError("no music (build pellax_music) or no emulated core");
  for (auto _ : state) core.block(uint32_t(state.range(0)));
  state.counters["x_realtime"] =
      benchmark::Counter(double(state.iterations()) * kBlockSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ImageBlock)->ArgNames({"voices"})->Arg(0)->Arg(5)->Unit(benchmark::kMicrosecond);

// The instructions the core executes per block, counted on the emulated core (one iteration
// plays the music once through, half a minute or more): the mean and the worst of the
// steady blocks, and the block at the loop point, where the music file is closed and opened
// again (its headers and codebooks decoded anew), each also as a share of the block's 9.29 M
// cycles at 200 MHz. Music alone, with the loop sound, and with the loop sound and five
// voices (the arguments).
void BM_ImageBlockInstructions(benchmark::State& state) {
  const uint32_t voices = uint32_t(state.range(0));
  double mean = 0, worst = 0, loop_point = 0, blocks = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ImageCore core;
    if (!core.start(state.range(1) != 0)) return state.SkipWithError("no music (build pellax_music) or no emulated core");
    // On only now, so that the priming's opening of the file is not taken for a loop point.
    core.arm.count_instructions(true);
    state.ResumeTiming();
    uint64_t steady = 0, total = 0, most = 0, at_loop = 0;
    // Through the loop point and 200 blocks past it.
    for (uint64_t n = 0, after = 0; !at_loop || after < 200; ++n) {
      const uint64_t before = core.arm.instructions();
      const uint32_t decoded = core.st().music_samples;
      core.block(voices);
      const uint64_t cost = core.arm.instructions() - before;
      if (core.st().music_samples < decoded) {
        at_loop = cost;
      } else {
        ++steady;
        total += cost;
        most = std::max(most, cost);
        if (at_loop) ++after;
      }
      if (n > 100000) return state.SkipWithError("the music never came to its end");
    }
    mean = double(total) / double(steady);
    worst = double(most);
    loop_point = double(at_loop);
    blocks = double(steady + 1);
  }
  state.counters["blocks"] = blocks;
  state.counters["instr_mean"] = mean;
  state.counters["instr_worst"] = worst;
  state.counters["instr_loop"] = loop_point;
  state.counters["pct_mean"] = 100.0 * mean / 9.29e6;
  state.counters["pct_worst"] = 100.0 * worst / 9.29e6;
  state.counters["pct_loop"] = 100.0 * loop_point / 9.29e6;
}
BENCHMARK(BM_ImageBlockInstructions)
    ->ArgNames({"voices", "loop"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({5, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The same count for a track shorter than the cost of opening it: a fraction of a second of
// sound (the argument, in hundredths of a second) behind 150,000 bytes of tags, as cover art
// makes them, made by the audio tests' encoder fixture. Such a track plays with gaps, its
// openings waiting for the blocks mixed to pay for them; it is played alone, as the music
// of "music alone" above, for ten seconds after its first opening: the mean and the worst
// of those blocks (openings included), also as shares of the block's 9.29 M cycles.
void BM_ImageShortTrackInstructions(benchmark::State& state) {
  const std::vector<uint8_t> track = ogg_oracle::tagged_stream(double(state.range(0)) / 100, 150000);
  constexpr int kBlocks = 10 * 22;
  double mean = 0, worst = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ImageCore core;
    if (!core.start(false, track)) return state.SkipWithError("the track does not play, or no emulated core");
    core.arm.count_instructions(true);
    state.ResumeTiming();
    uint64_t total = 0, most = 0;
    for (int n = 0; n < kBlocks; ++n) {
      const uint64_t before = core.arm.instructions();
      core.block(0);
      const uint64_t cost = core.arm.instructions() - before;
      total += cost;
      most = std::max(most, cost);
    }
    mean = double(total) / kBlocks;
    worst = double(most);
  }
  state.counters["blocks"] = kBlocks;
  state.counters["instr_mean"] = mean;
  state.counters["instr_worst"] = worst;
  state.counters["pct_mean"] = 100.0 * mean / 9.29e6;
  state.counters["pct_worst"] = 100.0 * worst / 9.29e6;
}
BENCHMARK(BM_ImageShortTrackInstructions)
    ->ArgNames({"centiseconds"})
    ->Arg(5)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

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
