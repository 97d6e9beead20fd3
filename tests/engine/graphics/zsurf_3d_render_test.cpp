// Rendering meshes: a cube and a 3DS-loaded model in every mode, as golden checksums, and
// the simple facts a reader can check by hand.
#include <algorithm>

#include <gtest/gtest.h>

#include "engine/graphics/zldr_3ds.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_3d.h"
#include "tests/engine/graphics/gfx_test_engine.h"
#include "tests/engine/graphics/ldr_test_images.h"

namespace {

// A cube of side 2 * half around the origin, 8 vertices, 12 triangles, outward faces
// clockwise on the screen as the culling wants them.
void Cube(Z3DSurface& m, int32_t half) {
  ASSERT_EQ(m.Create(8, 12), 0);
  m.StartList();
  for (uint32_t i = 0; i < 8; ++i)
    m.SetVertex(i, i & 1 ? half : -half, i & 2 ? half : -half, i & 4 ? half : -half);
  const uint32_t faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                 {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
  const uint32_t colours[6] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00};
  for (uint32_t i = 0; i < 12; ++i) m.SetPolygon(i, faces[i][0], faces[i][1], faces[i][2], colours[i / 2]);
  m.EndList();
}

}  // namespace

TEST(Render, CubeShowsAtMostThreeFacesAndStaysOnTheSurface) {
  TestEngine e;
  e.display.rendersize = 240;
  Z2DSurface s;
  MakeSurface(e, s, 96, 72, ZFMT_RGB565);
  Z3DSurface cube;
  cube.LinkZCD(&e.zcd);
  Cube(cube, 40);
  cube.SetLightSource(0, 0, 1, 64, 128);
  cube.Rotate(300, 500, 100);
  const uint32_t n = cube.PrepareRender(96, 72, true);
  EXPECT_EQ(n, 6u);  // three faces of two triangles each
  // Sorted farthest first.
  for (uint32_t i = 1; i < n; ++i) EXPECT_GE(cube.drawlist[i - 1]->depth, cube.drawlist[i]->depth);
  // Wireframe skips the culling.
  EXPECT_EQ(cube.PrepareRender(96, 72, false), 12u);
}

TEST(Render, GoldenFrames) {
  // Flat, lit flat, gouraud, dithered gouraud, wireframe and textured frames of the cube at
  // a few angles, on two surface formats.
  const uint32_t golden[2] = {1023013037u, 991229459u};
  const uint8_t formats[2] = {ZFMT_RGB565, ZFMT_XRGB8888};
  for (int fi = 0; fi < 2; ++fi) {
    TestEngine e;
    e.display.rendersize = 240;
    Z2DSurface s, texture;
    MakeSurface(e, s, 80, 60, formats[fi]);
    MakeSurface(e, texture, 64, 64, formats[fi]);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) texture.PutPixel(x, y, ((x / 8 + y / 8) & 1) ? 0xFFFFFF : uint32_t(x * 4) << 8, 0, 0);
    Z3DSurface cube;
    cube.LinkZCD(&e.zcd);
    Cube(cube, 30);
    for (uint32_t i = 0; i < 12; ++i)
      cube.BindTexture(i, 0, 0, 256, 0, 0, 256, &texture);
    cube.SetLightSource(1, -1, 2, 48, 160);
    uint32_t h = 2166136261u;
    const uint32_t modes[] = {0, RENDER_FLAT, RENDER_GOURAUD, RENDER_GOURAUD | 0x40, RENDER_WIREFRAME,
                              RENDER_WIREFRAME | RENDER_FLAT, RENDER_TEXTURED, RENDER_TEXTURED | 0x10};
    for (int32_t t : {1, 1536, 2048, 3000}) {
      cube.Reset();
      cube.Rotate(t / 3, t, t / 2);
      for (uint32_t mode : modes) {
        s.Clear(0);
        s.Render(0, 0, &cube, mode, 0);
        h = (h ^ LogicalChecksum(s)) * 16777619u;
      }
    }
    EXPECT_EQ(h, golden[fi]) << int(formats[fi]);
  }
}

TEST(Render, LoadedModelFacingTheViewerIsDrawn) {
  TestEngine e;
  e.display.rendersize = 240;
  e.display.RegisterLoader(new ZLoader_3DS);
  ldrtest::Mesh3ds m;
  // In file axes (x, y, z), delivered as (x, -z, y): a triangle in the file's x-z plane.
  m.xyz = {-50, 0, -50, 50, 0, -50, 0, 0, 50};
  m.faces = {0, 1, 2};
  const ldrtest::Bytes file = ldrtest::Make3ds({ldrtest::ObjectChunk("tri", m)});
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  ASSERT_EQ(mesh.LoadModel(file.data(), uint32_t(file.size())), 0);
  Z2DSurface s;
  MakeSurface(e, s, 64, 64, ZFMT_RGB565);
  s.Render(0, 0, &mesh, 0, 0);
  const uint32_t facing = s.GetPixel(32, 32);
  // Its mirror image (turned half about y) faces away and is culled.
  mesh.Rotate(0, 2048, 0);
  s.Clear(0);
  s.Render(0, 0, &mesh, 0, 0);
  const uint32_t away = s.GetPixel(32, 32);
  EXPECT_NE(facing == 0, away == 0);
}

TEST(Render, LoadedPyramidGolden) {
  // A pyramid written as a 3DS file (with a mapping list), loaded, turned, lit and drawn
  // flat, lit, gouraud and textured.
  ldrtest::Mesh3ds m;
  m.xyz = {-60, -60, -40, 60, -60, -40, 60, 60, -40, -60, 60, -40, 0, 0, 70};
  m.faces = {0, 1, 4, 1, 2, 4, 2, 3, 4, 3, 0, 4, 0, 2, 1, 0, 3, 2};
  m.uv = {0, 0, 1, 0, 1, 1, 0, 1, 0.5f, 0.5f};
  const ldrtest::Bytes file = ldrtest::Make3ds({ldrtest::ObjectChunk("pyramid", m)});
  TestEngine e;
  e.display.rendersize = 240;
  e.display.RegisterLoader(new ZLoader_3DS);
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  ASSERT_EQ(mesh.LoadModel(file.data(), uint32_t(file.size())), 0);
  Z2DSurface s, texture;
  MakeSurface(e, s, 64, 48, ZFMT_RGB565);
  MakeSurface(e, texture, 16, 16, ZFMT_RGB565);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) texture.PutPixel(x, y, uint32_t(x * 16) | uint32_t(y * 16) << 16, 0, 0);
  mesh.BindTexture(0u, &texture);  // the loader's id 1 is bound by id 0
  mesh.SetColor(0x40C0FF);
  mesh.SetLightSource(0, 1, 1, 40, 200);
  uint32_t h = 2166136261u;
  for (int32_t t : {0, 700, 1900}) {
    mesh.Reset();
    mesh.Rotate(t, t * 2, 0);
    for (uint32_t mode : {0u, uint32_t(RENDER_FLAT), uint32_t(RENDER_GOURAUD), uint32_t(RENDER_TEXTURED)}) {
      s.Clear(0);
      s.Render(0, 0, &mesh, mode, 0);
      const std::vector<uint32_t> px = LogicalPixels(s);
      EXPECT_GT(std::count_if(px.begin(), px.end(), [](uint32_t p) { return p != 0; }), 100) << t << " " << mode;
      h = (h ^ LogicalChecksum(s)) * 16777619u;
    }
  }
  EXPECT_EQ(h, 2159102361u);
}
