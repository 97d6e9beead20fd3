// Costs of the host layer's per-frame paths, each beside a plain memcpy of the same bytes:
// presenting a framebuffer in the window (texture upload and scaled draw, SDL's dummy
// video driver with its software renderer), turning it into RGB (screenshots, formats
// other than 16 bits) and the 2D engine's full-screen fill started through the registers.
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <vector>

#include "host/gp2x_host.h"
#include "seam/gp2x_seam.h"
#include "host/host_frontend.h"
#include "host/host_settings.h"

namespace {

constexpr size_t kFrameBytes = 320 * 240 * 2;

void BM_MemcpyFrame(benchmark::State& state) {
  std::vector<uint8_t> src(kFrameBytes, 7), dst(kFrameBytes);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), kFrameBytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
}
BENCHMARK(BM_MemcpyFrame);

void BM_PresentToWindow(benchmark::State& state) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  std::string error;
  auto window = gp2x::host::make_sdl_window(static_cast<int>(state.range(0)), &error);
  if (!window) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::vector<uint8_t> fb(kFrameBytes, 0x5A);
  gp2x::host::FbFormat format;
  // Every frame differs from the one before (the window passes over a frame it shows
  // already), unless the second argument asks for the same frame again and again.
  const bool same = state.range(1) != 0;
  for (auto _ : state) {
    if (!same) ++fb[0];
    window->present(fb.data(), format);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
}
BENCHMARK(BM_PresentToWindow)->Args({1, 0})->Args({3, 0})->Args({3, 1});

void BM_FramebufferToRgb(benchmark::State& state) {
  std::vector<uint8_t> fb(kFrameBytes, 0x5A), rgb(320 * 240 * 3);
  gp2x::host::FbFormat format;
  for (auto _ : state) {
    gp2x::host::framebuffer_to_rgb(fb.data(), format, rgb.data());
    benchmark::DoNotOptimize(rgb.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
}
BENCHMARK(BM_FramebufferToRgb);

void BM_BlitterFillScreen(benchmark::State& state) {
  gp2x::host::Settings settings;
  settings.poll_ns = 0;
  gp2x::host::configure(settings);
  const int mem = gp2x::open("/dev/mem", O_RDWR);
  auto* regs = static_cast<uint8_t*>(gp2x::mmap(nullptr, 0x10000, PROT_READ | PROT_WRITE, MAP_SHARED, mem, 0xC0000000));
  auto* blit = static_cast<uint8_t*>(gp2x::mmap(nullptr, 0x100, PROT_READ | PROT_WRITE, MAP_SHARED, mem, 0xE0020000));
  gp2x::poke16(regs + 0x0904, 0x400);
  const uint32_t phys = gp2x::host::framebuffer_phys(0);
  uint16_t colour = 0;
  for (auto _ : state) {
    while (gp2x::peek32(blit + 0x34) & 1) {
    }
    gp2x::poke32(blit + 0x00, 0x20);
    gp2x::poke32(blit + 0x04, phys);
    gp2x::poke32(blit + 0x08, 640);
    gp2x::poke32(blit + 0x24, ++colour);
    gp2x::poke32(blit + 0x2C, 240u << 16 | 320u);
    gp2x::poke32(blit + 0x34, 1);
    benchmark::DoNotOptimize(gp2x::host::framebuffer(0));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
  gp2x::close(mem);
}
BENCHMARK(BM_BlitterFillScreen);

}  // namespace

BENCHMARK_MAIN();
