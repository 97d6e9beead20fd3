// The cost of presenting a frame: one framework frame (lock, poll, empty hook, flip) and a
// flip with and without format conversion, against a plain memcpy of the frame, all on
// the host's headless framebuffer.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "engine/app/zolt.h"
#include "engine/core/zmod_devptr.h"
#include "host/gp2x_host.h"
#include "host/host_settings.h"

namespace {

constexpr size_t kFrameBytes = 320 * 240 * 2;

// A fresh host with the given framebuffer depth, devices open, and an engine whose display
// is open with the given back-buffer format.
struct Bench {
  ClassZolt zolt;
  bool ok = false;
  Bench(int bpp, int green, uint8_t backbufferformat) {
    HandleDevicePtr(true);
    gp2x::host::Settings s;
    s.poll_ns = 0;
    s.fb_bpp = bpp;
    s.fb_green_length = green;
    gp2x::host::configure(s);
    HandleDevicePtr(false);
    zolt.config.width = 320;
    zolt.config.height = 240;
    zolt.config.backbufferformat = backbufferformat;
    ok = zolt.display.Open(nullptr, &zolt.zcd, 32, 320, 240, true) == 0;
    zolt.display.backbuffer.Clear(0x00336699);
  }
  ~Bench() { HandleDevicePtr(true); }
};

void BM_Memcpy(benchmark::State& state) {
  std::vector<uint8_t> src(kFrameBytes, 0x5A), dst(kFrameBytes);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), kFrameBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}
BENCHMARK(BM_Memcpy);

void BM_Flip(benchmark::State& state, int bpp, int green, uint8_t backbufferformat) {
  Bench b(bpp, green, backbufferformat);
  if (!b.ok) {
    state.SkipWithError("display did not open");
    return;
  }
  for (auto _ : state) {
    b.zolt.display.Flip(false);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
}
// Same format: one memcpy per row.
BENCHMARK_CAPTURE(BM_Flip, rgb565, 16, 6, uint8_t(32));
// A 32-bit back buffer converted to 5:6:5, and 5:6:5 converted to a 5:5:5 screen.
BENCHMARK_CAPTURE(BM_Flip, xrgb8888_to_rgb565, 16, 6, uint8_t(6));
BENCHMARK_CAPTURE(BM_Flip, rgb565_to_rgb555, 16, 5, uint8_t(32));

void BM_FrameworkFrame(benchmark::State& state) {
  Bench b(16, 6, 32);
  if (!b.ok) {
    state.SkipWithError("display did not open");
    return;
  }
  b.zolt.config.fps = 0;  // no frame-rate wait: the cost of the frame itself
  b.zolt.config.shortsleep = 0;
  b.zolt.vtimer.Reset();
  b.zolt.ChangeAppStatus(ZSTATUS_RUNNING);
  for (auto _ : state) b.zolt.MainLoop(false);
}
BENCHMARK(BM_FrameworkFrame);

}  // namespace

BENCHMARK_MAIN();
