// Transformed drawing: a full-screen rotated and scaled blit and a textured mesh frame of
// about 1,000 triangles, next to a full-screen BltFast copy as the floor.
#include <benchmark/benchmark.h>

#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_3d.h"
#include "engine/graphics/zx_polygon.h"
#include "tests/engine/graphics/gfx_test_engine.h"

namespace {

void Pattern(Z2DSurface& s) {
  for (uint32_t y = 0; y < s.GetHeight(); ++y)
    for (uint32_t x = 0; x < s.GetWidth(); ++x) s.PutPixel(int32_t(x), int32_t(y), x * 0x010305u ^ y * 0x030107u, 0, 0);
}

void CopyFullScreen(benchmark::State& state) {
  TestEngine e;
  Z2DSurface src, dst;
  MakeSurface(e, src, 320, 240, ZFMT_RGB565);
  MakeSurface(e, dst, 320, 240, ZFMT_RGB565);
  Pattern(src);
  if (dst.BltFast(0, 0, &src, nullptr, 0, 0) != 0) return state.SkipWithError("blit failed");
  for (auto _ : state) {
    dst.BltFast(0, 0, &src, nullptr, 0, 0);
    benchmark::DoNotOptimize(dst.buffer);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * 320 * 240);
}

// A 320 x 240 source turned by about 26 degrees at scale 1.25 over the whole screen; arg 1
// takes a 256 x 256 source (the power-of-two path).
void RotateScaleFullScreen(benchmark::State& state) {
  TestEngine e;
  Z2DSurface src, dst;
  const bool square = state.range(0) != 0;
  MakeSurface(e, src, square ? 256 : 320, square ? 256 : 240, ZFMT_RGB565);
  MakeSurface(e, dst, 320, 240, ZFMT_RGB565);
  Pattern(src);
  for (auto _ : state) {
    dst.Blt(160, 120, &src, nullptr, 300, 0x14000, 0, 0, 0);
    benchmark::DoNotOptimize(dst.buffer);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * 320 * 240);
}

// A 32 x 16 grid of quads bent into a bowl (1,024 triangles) with a 64 x 64 texture, rotated a
// little each frame and drawn textured.
void TexturedMeshFrame(benchmark::State& state) {
  TestEngine e;
  e.display.rendersize = 240;
  Z2DSurface dst, texture;
  MakeSurface(e, dst, 320, 240, ZFMT_RGB565);
  MakeSurface(e, texture, 64, 64, ZFMT_RGB565);
  Pattern(texture);
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  const int n = 33, rows = 17;
  mesh.Create(n * rows, 1024);
  mesh.StartList();
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < n; ++i)
      mesh.SetVertex(uint32_t(j * n + i), (i - 16) * 20, (j - 8) * 30, ((i - 16) * (i - 16) + (j - 8) * (j - 8)) * 2);
  uint32_t p = 0;
  for (int j = 0; j + 1 < rows; ++j)
    for (int i = 0; i + 1 < n; ++i) {
      const uint32_t v = uint32_t(j * n + i);
      mesh.SetPolygon(p, v, v + 1, v + uint32_t(n), 0xFFFFFF);
      mesh.BindTexture(p++, 0, 0, 256, 0, 0, 256, &texture);
      mesh.SetPolygon(p, v + 1, v + uint32_t(n) + 1, v + uint32_t(n), 0xFFFFFF);
      mesh.BindTexture(p++, 256, 0, 256, 256, 0, 256, &texture);
    }
  mesh.EndList();
  int32_t t = 0;
  for (auto _ : state) {
    mesh.Reset();
    mesh.Rotate(t, t / 2, 0);
    t += 7;
    dst.Clear(0);
    dst.Render(0, 0, &mesh, RENDER_TEXTURED | RENDER_WIREFRAME, 0);
    benchmark::DoNotOptimize(dst.buffer);
  }
  state.counters["triangles"] = double(p);
}

// Building a 512-triangle mesh polygon by polygon: outside list mode every SetPolygon
// recomputes all vertex normals (O(V * P)); in list mode they are computed once at the end.
void BuildMesh(benchmark::State& state) {
  TestEngine e;
  const bool list = state.range(0) != 0;
  for (auto _ : state) {
    Z3DSurface mesh;
    mesh.LinkZCD(&e.zcd);
    mesh.Create(17 * 17, 512);
    if (list) mesh.StartList();
    for (int j = 0; j < 17; ++j)
      for (int i = 0; i < 17; ++i) mesh.SetVertex(uint32_t(j * 17 + i), i * 10, j * 10, (i * j) % 7);
    uint32_t p = 0;
    for (int j = 0; j < 16; ++j)
      for (int i = 0; i < 16; ++i) {
        const uint32_t v = uint32_t(j * 17 + i);
        mesh.SetPolygon(p++, v, v + 1, v + 17, 0xFFFFFF);
        mesh.SetPolygon(p++, v + 1, v + 18, v + 17, 0xFFFFFF);
      }
    if (list) mesh.EndList();
    benchmark::DoNotOptimize(mesh.vertices);
  }
}

}  // namespace

BENCHMARK(BuildMesh)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyFullScreen);
BENCHMARK(RotateScaleFullScreen)->Arg(0)->Arg(1);
BENCHMARK(TexturedMeshFrame);
