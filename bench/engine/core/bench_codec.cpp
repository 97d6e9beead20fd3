// The engine's LZW-style codec against zlib on the same megabyte of game-like data.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>
#include <zlib.h>

#include "engine/core/zmod_memory.h"

namespace {

// A megabyte shaped like game data: 16-bit tile maps with runs, 8-bit sprite pixels
// around a colour key, and level text.
const std::vector<uint8_t>& GameData() {
  static const std::vector<uint8_t> data = [] {
    std::mt19937 rng(2024);
    std::vector<uint8_t> out;
    out.reserve(1 << 20);
    const char* text = "LEVEL 07 SPEED 3 LINES 0040 NEXT TBLOCK HOLD NONE ";
    while (out.size() < (1u << 20)) {
      switch (rng() % 4) {
        case 0:  // a tile map row: tiles repeated in runs
          for (int x = 0; x < 40;) {
            uint16_t tile = static_cast<uint16_t>(rng() % 24);
            for (int n = 1 + rng() % 6; n > 0 && x < 40; n--, x++) {
              out.push_back(static_cast<uint8_t>(tile));
              out.push_back(static_cast<uint8_t>(tile >> 8));
            }
          }
          break;
        case 1:  // a sprite row: key colour around a few shades
          for (int x = 0; x < 32; x++)
            out.push_back(x < 6 || x > 25 ? 0xE3 : static_cast<uint8_t>(0x40 + rng() % 8));
          break;
        case 2:
          for (const char* p = text; *p; p++) out.push_back(static_cast<uint8_t>(*p));
          break;
        default:  // noise: sample data, checksums
          for (int i = 0; i < 16; i++) out.push_back(static_cast<uint8_t>(rng()));
      }
    }
    out.resize(1u << 20);
    return out;
  }();
  return data;
}

void BM_CodecCompress(benchmark::State& state) {
  const auto& data = GameData();
  std::vector<uint8_t> out(data.size());
  ClassZMemory memory;
  uint32_t n = 0;
  for (auto _ : state) {
    n = static_cast<uint32_t>(out.size());
    if (!memory.Compress(out.data(), n, data.data(), static_cast<uint32_t>(data.size())))
      state.SkipWithError("compress failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * data.size());
  state.counters["ratio%"] = 100.0 * n / data.size();
}

void BM_CodecUnCompress(benchmark::State& state) {
  const auto& data = GameData();
  std::vector<uint8_t> packed(data.size()), out(data.size());
  ClassZMemory memory;
  uint32_t n = static_cast<uint32_t>(packed.size());
  memory.Compress(packed.data(), n, data.data(), static_cast<uint32_t>(data.size()));
  for (auto _ : state) {
    uint32_t m = static_cast<uint32_t>(out.size());
    if (!memory.UnCompress(out.data(), m, packed.data(), n))
      state.SkipWithError("uncompress failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * data.size());
}

void BM_ZlibCompress(benchmark::State& state) {
  const auto& data = GameData();
  std::vector<uint8_t> out(compressBound(static_cast<uLong>(data.size())));
  uLongf n = 0;
  for (auto _ : state) {
    n = static_cast<uLongf>(out.size());
    if (compress2(out.data(), &n, data.data(), static_cast<uLong>(data.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
      state.SkipWithError("compress2 failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * data.size());
  state.counters["ratio%"] = 100.0 * n / data.size();
}

void BM_ZlibUncompress(benchmark::State& state) {
  const auto& data = GameData();
  std::vector<uint8_t> packed(compressBound(static_cast<uLong>(data.size()))), out(data.size());
  uLongf n = static_cast<uLongf>(packed.size());
  compress2(packed.data(), &n, data.data(), static_cast<uLong>(data.size()),
            Z_DEFAULT_COMPRESSION);
  for (auto _ : state) {
    uLongf m = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &m, packed.data(), n) != Z_OK)
      state.SkipWithError("uncompress failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * data.size());
}

BENCHMARK(BM_CodecCompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibCompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CodecUnCompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMillisecond);

}  // namespace
