// The puzzle game's two meshes, from the built graphics pack: what the engine's 3DS reader
// makes of them, whether they are closed and wound so that back-face culling keeps the
// right side, and how large they come out where the game draws them.
#include <cmath>
#include <functional>
#include <map>

#include "assets/kolvo2/models.h"
#include "kolvo2/logo_faces.h"
#include "tests/assets/kolvo2_packs.h"

namespace {

uint32_t Le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

// The face list of a 3DS file, found by walking its chunks (independently of the engine).
std::vector<uint32_t> Faces(const std::vector<uint8_t>& b) {
  std::vector<uint32_t> faces;
  // Containers to enter: main, editor, object (after its name), triangle mesh.
  std::function<void(size_t, size_t)> walk = [&](size_t at, size_t end) {
    while (at + 6 <= end) {
      const uint32_t id = Le16(b, at), len = Le32(b, at + 2);
      if (len < 6 || at + len > end) return;
      size_t body = at + 6;
      if (id == 0x4000)
        while (body < at + len && b[body++] != 0) {
        }
      if (id == 0x4D4D || id == 0x3D3D || id == 0x4000 || id == 0x4100) walk(body, at + len);
      if (id == 0x4120) {
        const uint32_t n = Le16(b, body);
        for (uint32_t i = 0; i < n; ++i)
          for (int k = 0; k < 3; ++k) faces.push_back(Le16(b, body + 2 + 8 * i + 2 * k));
      }
      at += len;
    }
  };
  walk(0, b.size());
  return faces;
}

// Every edge of a closed, consistently wound mesh is crossed once each way.
void ExpectClosed(const std::vector<uint32_t>& faces) {
  std::map<std::pair<uint32_t, uint32_t>, int> edges;
  for (size_t f = 0; f < faces.size(); f += 3)
    for (int k = 0; k < 3; ++k) ++edges[{faces[f + k], faces[f + (k + 1) % 3]}];
  for (const auto& [edge, count] : edges) {
    EXPECT_EQ(count, 1) << edge.first << "-" << edge.second;
    const auto back = edges.find({edge.second, edge.first});
    EXPECT_TRUE(back != edges.end() && back->second == 1) << edge.first << "-" << edge.second << " has no partner";
  }
}

// The extent of the projected mesh on a 320 x 240 screen, in pixels.
int ProjectedWidth(Z3DSurface& m) {
  m.PrepareRender(320, 240, true);
  int lo = 1 << 30, hi = -(1 << 30);
  for (uint32_t i = 0; i < m.VerticesInUse(); ++i) {
    lo = std::min(lo, m.vertices[i].px >> 16);
    hi = std::max(hi, m.vertices[i].px >> 16);
  }
  return hi - lo;
}

TEST(Kolvo2Models, EngineLogoLoadsWithItsFacesAndFacesTheViewerMidFlight) {
  const std::vector<uint8_t> data = PackEntry("gfx.zpk", "zoltlogo.3ds");
  const std::vector<uint32_t> faces = Faces(data);
  ExpectClosed(faces);
  GameDisplay display;
  Z3DSurface logo;
  ASSERT_EQ(display.Load(logo, data), 0);
  EXPECT_EQ(logo.PolygonsInUse(), faces.size() / 3);
  EXPECT_GE(logo.PolygonsInUse(), 120u);
  double radius = 0;
  for (uint32_t i = 0; i < logo.VerticesInUse(); ++i) {
    const ZVERTEX3D& v = logo.vertices[i];
    radius = std::max(radius, std::sqrt(double(v.bx) * v.bx + double(v.by) * v.by + double(v.bz) * v.bz) / 256);
  }
  EXPECT_GE(radius, 380);
  EXPECT_LE(radius, 430);

  // The game's colours and the turn it gives the logo in the middle of its flight.
  for (uint32_t i = 0; i < 120; ++i) logo.SetColor(i, LogoFaceIsRed(i) ? 0x0000FF : 0xFFFFFF);
  logo.SetLightSource(128, 128, -128, 48, 32);
  logo.Reset();
  logo.Rotate(2488, 1536, 0);
  const uint32_t shown = logo.PrepareRender(320, 240, true);
  uint32_t red = 0, white = 0, brightWhite = 0;
  for (uint32_t i = 0; i < shown; ++i) {
    const ZPOLYGON3D* p = logo.drawlist[i];
    if (p->colour == 0x0000FF) ++red;
    if (p->colour == 0xFFFFFF) {
      ++white;
      if ((p->litcolour & 0xFF) >= 160) ++brightWhite;
    }
  }
  // Facing the viewer: the whole ring face (36) and the bolt's face (10) show, lit.
  EXPECT_GE(white, 36u);
  EXPECT_GE(red, 10u);
  EXPECT_GE(brightWhite, 36u);
  // About 0.234 pixels a unit: close to 190 pixels across.
  const int width = ProjectedWidth(logo);
  EXPECT_GE(width, 170);
  EXPECT_LE(width, 210);
}

TEST(Kolvo2Models, MenuCubeIsAClosedCubeOfThirteenPixels) {
  const std::vector<uint8_t> data = PackEntry("gfx.zpk", "menu.3ds");
  const std::vector<uint32_t> faces = Faces(data);
  ASSERT_EQ(faces.size(), 36u);
  ExpectClosed(faces);
  GameDisplay display;
  Z3DSurface cube;
  ASSERT_EQ(display.Load(cube, data), 0);
  ASSERT_EQ(cube.VerticesInUse(), 8u);
  for (uint32_t i = 0; i < 8; ++i)
    for (int32_t c : {cube.vertices[i].bx, cube.vertices[i].by, cube.vertices[i].bz}) EXPECT_EQ(std::abs(c), 150 * 256);
  // As the menus turn it: three sides seen, a marker about 13 pixels wide.
  cube.Reset();
  cube.Scale(0x3000, 0x3000, 0x3000);
  cube.Rotate(0, 1024, 3072);
  cube.Rotate(512, 40 * 32, 0);
  EXPECT_EQ(cube.PrepareRender(320, 240, true), 6u);
  const int width = ProjectedWidth(cube);
  EXPECT_GE(width, 10);
  EXPECT_LE(width, 18);
}

}  // namespace
