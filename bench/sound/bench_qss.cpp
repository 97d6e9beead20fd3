// Mixing and decoding cost of the sound library, side by side with what a user would pick
// instead: libxmp for module rendering, SDL2 for mixing sounds and decoding MS-ADPCM.
// "x_realtime" is seconds of audio rendered per second of CPU.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstring>
#include <vector>

#include "tests/sound/fake_driver.h"
#include "tests/sound/qss_fixtures.h"

#ifdef QSS_BENCH_XMP
#include <xmp.h>
#endif

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 60;
constexpr int kFragment = 3528;  // 20 ms of 16-bit stereo
constexpr int kFragments = kSeconds * 50;

void reportRealtime(benchmark::State& state) {
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kSeconds, benchmark::Counter::kIsRate);
}

void BM_QssModule(benchmark::State& state) {
  const uint32_t tracks = static_cast<uint32_t>(state.range(0));
  std::vector<uint8_t> image = demoModule(tracks, 4);
  FakeSpeaker speaker;
  speaker.open(kRate, 16, true, 1, 8);
  qssMusic music;
  music.load(image.data(), image.size(), false);
  music.loop(true);
  std::vector<unsigned char> buffer(kFragment);
  for (auto _ : state) {
    speaker.stopMusics();
    speaker.playMusic(&music, QSS_ANY_CHANNEL);
    for (int i = 0; i < kFragments; ++i) speaker.updateModSFX(buffer.data(), kFragment);
    benchmark::DoNotOptimize(buffer.data());
  }
  reportRealtime(state);
}
BENCHMARK(BM_QssModule)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

#ifdef QSS_BENCH_XMP
void BM_XmpModule(benchmark::State& state) {
  const uint32_t tracks = static_cast<uint32_t>(state.range(0));
  const int interpolation = static_cast<int>(state.range(1));
  std::vector<uint8_t> image = demoModule(tracks, 4);
  xmp_context ctx = xmp_create_context();
  if (xmp_load_module_from_memory(ctx, image.data(), static_cast<long>(image.size())) != 0) {
    state.SkipWithError("libxmp refused the module");
    xmp_free_context(ctx);
    return;
  }
  std::vector<unsigned char> buffer(kFragment);
  for (auto _ : state) {
    xmp_start_player(ctx, kRate, 0);
    xmp_set_player(ctx, XMP_PLAYER_INTERP, interpolation);
    for (int i = 0; i < kFragments; ++i) xmp_play_buffer(ctx, buffer.data(), kFragment, 0);
    xmp_end_player(ctx);
    benchmark::DoNotOptimize(buffer.data());
  }
  xmp_release_module(ctx);
  xmp_free_context(ctx);
  reportRealtime(state);
}
BENCHMARK(BM_XmpModule)
    ->Args({4, XMP_INTERP_NEAREST})
    ->Args({8, XMP_INTERP_NEAREST})
    ->Args({4, XMP_INTERP_LINEAR})
    ->Args({8, XMP_INTERP_LINEAR})
    ->Unit(benchmark::kMillisecond);
#endif

// 32 looping sounds of different rates and formats.
struct SoundSet {
  std::vector<std::vector<uint8_t>> images;
  std::vector<qssSound> sounds;
  SoundSet() : images(32), sounds(32) {
    for (int i = 0; i < 32; ++i) {
      WavBuilder w;
      w.channels = static_cast<uint16_t>(1 + i % 2);
      w.bits = i % 3 == 0 ? 8 : 16;
      w.rate = i % 4 == 0 ? 22050 : 44100;
      w.appendPcm(testSignal(20000, w.channels, static_cast<uint32_t>(i)));
      images[i] = w.build();
      sounds[i].load(images[i].data(), images[i].size(), false);
      sounds[i].loop(true);
      sounds[i].pan(static_cast<uint32_t>(i * 8));
      sounds[i].volume(8);
    }
  }
};

void BM_Qss32Sounds(benchmark::State& state) {
  SoundSet set;
  FakeSpeaker speaker;
  speaker.open(kRate, 16, true, 1, 32);
  for (auto& s : set.sounds) speaker.playSound(&s, QSS_ANY_CHANNEL);
  std::vector<unsigned char> buffer(kFragment);
  for (auto _ : state) {
    for (int i = 0; i < kFragments; ++i) speaker.updateModSFX(buffer.data(), kFragment);
    benchmark::DoNotOptimize(buffer.data());
  }
  reportRealtime(state);
}
BENCHMARK(BM_Qss32Sounds)->Unit(benchmark::kMillisecond);

// SDL2's mixing: each source already converted to the output format (as SDL_LoadWAV and an
// SDL_AudioStream leave it), then SDL_MixAudioFormat once per source and fragment.
void BM_Sdl32Sounds(benchmark::State& state) {
  std::vector<std::vector<int16_t>> sources(32);
  for (int i = 0; i < 32; ++i) sources[i] = testSignal(20000, 2, static_cast<uint32_t>(i));
  std::vector<unsigned char> buffer(kFragment);
  const int frames = kFragment / 4;
  for (auto _ : state) {
    size_t at = 0;
    for (int f = 0; f < kFragments; ++f) {
      memset(buffer.data(), 0, kFragment);
      for (auto& s : sources) {
        size_t from = (at % (20000 - frames)) * 2;
        SDL_MixAudioFormat(buffer.data(), reinterpret_cast<const Uint8*>(s.data() + from),
                           AUDIO_S16LSB, kFragment, SDL_MIX_MAXVOLUME / 8);
      }
      at += frames;
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  reportRealtime(state);
}
BENCHMARK(BM_Sdl32Sounds)->Unit(benchmark::kMillisecond);

std::vector<uint8_t> adpcmFile() {
  return encodeAdpcmWav(testSignal(10 * 22050, 2, 7), 2, 22050, 2048);
}

void BM_QssAdpcmDecode(benchmark::State& state) {
  auto image = adpcmFile();
  for (auto _ : state) {
    qssSound s;
    s.load(image.data(), image.size(), false);
    benchmark::DoNotOptimize(s.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(image.size()));
}
BENCHMARK(BM_QssAdpcmDecode)->Unit(benchmark::kMillisecond);

void BM_SdlAdpcmDecode(benchmark::State& state) {
  auto image = adpcmFile();
  for (auto _ : state) {
    SDL_AudioSpec spec;
    Uint8* pcm = nullptr;
    Uint32 length = 0;
    SDL_LoadWAV_RW(SDL_RWFromConstMem(image.data(), static_cast<int>(image.size())), 1, &spec,
                   &pcm, &length);
    benchmark::DoNotOptimize(pcm);
    SDL_FreeWAV(pcm);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(image.size()));
}
BENCHMARK(BM_SdlAdpcmDecode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
