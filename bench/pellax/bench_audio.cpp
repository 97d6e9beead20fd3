// The second core's audio program on this PC: the cost of one 8,192-byte PCM block (46.4 ms
// of sound) in steady play, decoding the music into the ring and mixing it with five voices
// and the loop sound, as a real-time factor (x_realtime: seconds of sound per CPU second) and
// as a share of the block's own 46.4 ms. Beside it the plain integer decoder decodes the same
// file directly (the same library, its own allocator, no ring or mix), so the program's
// decoding rate can be read against it; and the mixer alone.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "pellax/audio940/command_block.h"
#include "pellax/audio940/core.h"
#include "pellax/audio940/direct_decode.h"
#include "pellax/audio940/mixer.h"

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

// A core with the music loaded and primed, five effect voices and the loop sound playing.
struct Core {
  std::vector<uint8_t> memory = std::vector<uint8_t>(kMemorySize, 0);
  CommandBlock& b() { return *block_at(memory.data()); }

  bool start() {
    if (music().empty()) return false;
    CommandBlock& blk = b();
    blk.master_volume = kInitialVolume;
    blk.sfx_enable = 1;
    blk.music_enable = 1;
    blk.music_level = kInitialMusicLevel;
    blk.music_offset = kMusicAddress;
    blk.loop_enable = 1;
    blk.loop_level = 64;
    std::memcpy(memory.data() + kMusicAddress, music().data(), music().size());
    blk.music_length = uint32_t(music().size());
    blk.music_data_ready = 1;
    blk.pcm_a_full = blk.pcm_b_full = 1;
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
