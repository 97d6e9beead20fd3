// The 3D mesh: 3DS loading, normals, transforms, lighting, projection, culling and the
// depth sort.
#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>

#include <gtest/gtest.h>

#include "engine/graphics/zldr_3ds.h"
#include "engine/graphics/zsurf_3d.h"
#include "tests/engine/graphics/gfx_test_engine.h"
#include "tests/engine/graphics/ldr_test_images.h"

using namespace ldrtest;

namespace {

struct MeshEngine : TestEngine {
  MeshEngine() { display.RegisterLoader(new ZLoader_3DS); display.rendersize = 240; }
};

Mesh3ds Grid(uint32_t vertices) {
  Mesh3ds m;
  for (uint32_t i = 0; i < vertices; ++i) m.xyz.insert(m.xyz.end(), {float(i), float(i % 7), float(i % 3) + 0.75f});
  for (uint32_t i = 0; i + 2 < vertices; i += 3) m.faces.insert(m.faces.end(), {uint16_t(i), uint16_t(i + 1), uint16_t(i + 2)});
  return m;
}

}  // namespace

TEST(ThreeDs, LoadsTheFirstObjectOnly) {
  Mesh3ds first;
  first.xyz = {1, 2, 3, 4, 5, 6, 7, 8, 9.9f};
  first.faces = {0, 1, 2};
  Mesh3ds second = Grid(12);
  MeshEngine e;
  const Bytes file = Make3ds({ObjectChunk("first", first), ObjectChunk("second", second)});
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  ASSERT_EQ(mesh.LoadModel(file.data(), uint32_t(file.size())), 0);
  EXPECT_EQ(mesh.vertexcapacity, 3u);
  EXPECT_EQ(mesh.polygoncapacity, 1u);
  ZVERTEX3D v{};
  mesh.GetVertex(&v, 2);
  // (x, -z, y) in whole units (truncated), x 256.
  EXPECT_EQ(v.bx, 7 * 256);
  EXPECT_EQ(v.by, -9 * 256);
  EXPECT_EQ(v.bz, 8 * 256);
  // Faces come reversed: (c, b, a).
  EXPECT_EQ(mesh.polygons[0].a, mesh.vertices + 2);
  EXPECT_EQ(mesh.polygons[0].c, mesh.vertices + 0);
  EXPECT_EQ(mesh.polygons[0].colour, 0xFFFFFFu);
  EXPECT_EQ(mesh.listmode, 0);
}

TEST(ThreeDs, TwoHundredVerticesAndAShortMappingList) {
  const Mesh3ds m = Grid(200);
  Mesh3ds mapped = m;
  for (uint32_t i = 0; i < 150; ++i) mapped.uv.insert(mapped.uv.end(), {0.5f, 0.25f});  // fewer than the vertices
  const Bytes file = Make3ds({ObjectChunk("grid", mapped)});
  MeshEngine e;
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  ZLoader_3DS loader;
  ASSERT_EQ(loader.Start(&mesh, file.data(), uint32_t(file.size())), 0);
  EXPECT_EQ(mesh.VerticesInUse(), 200u);
  EXPECT_EQ(mesh.PolygonsInUse(), 66u);
  // Texels: the 150 entries of the list, then zeros; id 1.
  const ZPOLYGON3D& early = mesh.polygons[0];
  EXPECT_EQ(early.tu[0], 128);
  EXPECT_EQ(early.tv[0], 64);
  EXPECT_EQ(early.textureid, 1);
  const ZPOLYGON3D& late = mesh.polygons[60];  // vertices 180-182
  EXPECT_EQ(late.tu[1], 0);
}

TEST(ThreeDs, StructureErrors) {
  MeshEngine e;
  Mesh3ds m = Grid(6);
  const Bytes good = Make3ds({ObjectChunk("o", m)});
  auto at = [&](uint16_t id) {  // offset of the first chunk with this id
    for (size_t i = 16; i + 6 <= good.size(); ++i)
      if (good[i] == (id & 0xFF) && good[i + 1] == id >> 8) return i;
    return size_t(0);
  };
  auto setlen = [&](size_t off, uint32_t len) {
    Bytes b = good;
    for (int k = 0; k < 4; ++k) b[off + 2 + k] = uint8_t(len >> (8 * k));
    return b;
  };
  auto setcount = [&](size_t off, uint16_t n) {
    Bytes b = good;
    b.at(off + 6) = uint8_t(n);
    b.at(off + 7) = uint8_t(n >> 8);
    return b;
  };
  Mesh3ds novertices = m;
  novertices.xyz.clear();
  struct Bad {
    const char* name;
    Bytes data;
    int result;
  } const cases[] = {
      {"not a 3DS file", Bytes{0x4C, 0x4D, 0, 0, 0, 0}, 3},
      {"editor length 0", setlen(at(0x3D3D), 0), 1},
      {"editor length 5", setlen(at(0x3D3D), 5), 1},
      {"editor past the data", setlen(at(0x3D3D), 0x7FFFFFFF), 1},
      {"mesh past its object", setlen(at(0x4100), 0xFFFF), 1},
      {"more vertices than the chunk holds", setcount(at(0x4110), 7), 1},
      {"more faces than the chunk holds", setcount(at(0x4120), 3), 1},
      {"no vertices", Make3ds({ObjectChunk("o", novertices)}), 1},
      {"no object", Make3ds({}), 1},
  };
  for (const Bad& b : cases) {
    Z3DSurface mesh;
    mesh.LinkZCD(&e.zcd);
    EXPECT_EQ(mesh.LoadModel(b.data.data(), uint32_t(b.data.size())), b.result) << b.name;
  }
}

// Any triangle a 3DS file can hold gets a unit normal along its true cross product, at
// once: edges of a million units and more made the squares overflow (a normal of the
// wrong length, or a root search of 2^31 steps for one face).
TEST(ThreeDs, HugeTrianglesGetUnitNormalsAlongTheirCrossProduct) {
  struct Shape {
    const char* name;
    std::vector<float> xyz;
  } const shapes[] = {
      // The squared length just under 2^64: a leg of 2^20 - 1 by one of 2^20 + 1.
      {"square just under 2^64", {0, 0, -1048575, 0, 0, 0, 0, 1048577, 0}},
      {"legs of a million", {0, 0, 0, 1e6f, 0, 0, 0, 1e6f, 0}},
      {"sides of four million", {0, 0, 0, 4e6f, 0, 0, 0, 0, 4e6f}},
      {"a sliver across the range", {-8388607, 5, 0, 8388607, -5, 1, 0, 0, 8388607}},
      {"coordinates past the range", {-1e30f, -1e30f, 5, 1e30f, 0, -1e30f, 3e6f, 1e30f, 1e30f}},
      {"an ordinary triangle", {0, 0, 0, 1000, 0, 0, 0, 0, 1000}},
  };
  MeshEngine e;
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    Mesh3ds m;
    m.xyz = shape.xyz;
    m.faces = {0, 1, 2};
    const Bytes file = Make3ds({ObjectChunk("big", m)});
    Z3DSurface mesh;
    mesh.LinkZCD(&e.zcd);
    ASSERT_EQ(mesh.LoadModel(file.data(), uint32_t(file.size())), 0);
    const ZPOLYGON3D& p = mesh.polygons[0];
    // The face normal's direction from its definition, v x u of u = a - b, v = c - b in
    // whole units, in long double.
    auto whole = [](int32_t from, int32_t to) { return (long double)((int64_t(from) - to) >> 8); };
    const long double ux = whole(p.a->bx, p.b->bx), uy = whole(p.a->by, p.b->by),
                      uz = whole(p.a->bz, p.b->bz);
    const long double vx = whole(p.c->bx, p.b->bx), vy = whole(p.c->by, p.b->by),
                      vz = whole(p.c->bz, p.b->bz);
    const long double n[3] = {uz * vy - vz * uy, vz * ux - uz * vx, vx * uy - ux * vy};
    const long double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    ASSERT_GT(length, 0.0L);
    const int32_t got[3] = {p.nx, p.ny, p.nz};
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(double(got[i]), double(65536 * n[i] / length), 40.0) << i;
    // The vertex normals average the one face: the same.
    EXPECT_EQ(p.a->nx, p.nx);
    EXPECT_EQ(p.c->nz, p.nz);
  }
  // The light direction from the ends of the 32-bit range is a unit vector too.
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  ASSERT_EQ(mesh.Create(3, 1), 0);
  mesh.SetLightSource(INT32_MAX, INT32_MIN, INT32_MAX, 64, 64);
  const double unit = 65536 / std::sqrt(3.0);
  EXPECT_NEAR(mesh.lightx, -unit, 4);
  EXPECT_NEAR(mesh.lighty, -unit, 4);
  EXPECT_NEAR(mesh.lightz, -unit, 4);
}

TEST(Mesh, ProjectionAndCulling) {
  MeshEngine e;
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  ASSERT_EQ(mesh.Create(3, 1), 0);
  ZVECTOR3D v{0, 0, 0};
  tagPOINT p{};
  EXPECT_EQ(mesh.GetPerspective(&v, &p), 256);
  v.z = -0x80000;
  EXPECT_EQ(mesh.GetPerspective(&v, &p), 0x8000000);
  // Facing the viewer (clockwise on the screen): drawn; its mirror: culled, unless
  // wireframe asks for every side; side-on (zero area): culled.
  mesh.SetVertex(0, 0, 0, 0);
  mesh.SetVertex(1, 10, 0, 0);
  mesh.SetVertex(2, 0, 10, 0);
  mesh.SetPolygon(0, 0, 1, 2, 0xFFFFFF);
  EXPECT_EQ(mesh.PrepareRender(320, 240, true), 1u);
  mesh.SetPolygon(0, 0, 2, 1, 0xFFFFFF);
  EXPECT_EQ(mesh.PrepareRender(320, 240, true), 0u);
  EXPECT_EQ(mesh.PrepareRender(320, 240, false), 1u);
  mesh.SetVertex(2, 20, 0, 0);
  mesh.SetPolygon(0, 0, 1, 2, 0xFFFFFF);
  EXPECT_EQ(mesh.PrepareRender(320, 240, true), 0u);
  // A corner behind the eye takes its polygon out.
  mesh.SetVertex(2, 0, 10, -0x900);
  mesh.SetPolygon(0, 0, 2, 1, 0xFFFFFF);
  EXPECT_EQ(mesh.PrepareRender(320, 240, false), 0u);
}

TEST(Mesh, TransformsAndReset) {
  MeshEngine e;
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  ASSERT_EQ(mesh.Create(4, 2), 0);
  mesh.StartList();
  mesh.SetVertex(0, 1, 2, 3);
  mesh.SetVertex(1, 40, -5, 7);
  mesh.SetVertex(2, -9, 30, 11);
  mesh.SetVertex(3, 5, 5, 5);
  mesh.SetPolygon(0, 0, 1, 2, 1);
  mesh.SetPolygon(1, 1, 2, 3, 2);
  mesh.EndList();
  std::vector<ZVERTEX3D> before(mesh.vertices, mesh.vertices + 4);
  mesh.Rotate(0, 0, 700);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(mesh.vertices[i].z, before[size_t(i)].z);
  mesh.Rotate(100, 2000, 3);
  mesh.Translate(256, -512, 77);
  mesh.Scale(0x18000, 0x8000, 0x10000);
  mesh.Reset();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(mesh.vertices[i].x, before[size_t(i)].x);
    EXPECT_EQ(mesh.vertices[i].cny, before[size_t(i)].cny);
  }
}

TEST(Mesh, SharedPositionsShareTheAveragedNormal) {
  MeshEngine e;
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  ASSERT_EQ(mesh.Create(6, 2), 0);
  // Two faces meeting at (0, 0, 0) through two different vertex slots (0 and 3).
  mesh.SetPolygon(0, 0, 0, 0, 256, 0, 0, 0, 256, 0, 1);
  mesh.SetPolygon(1, 0, 0, 0, 0, 0, 256, 256, 0, 0, 1);
  EXPECT_EQ(mesh.VerticesInUse(), 4u);  // (0, 0, 0) and (100, 0, 0) were merged
  const ZPOLYGON3D& a = mesh.polygons[0];
  const ZPOLYGON3D& b = mesh.polygons[1];
  const ZVERTEX3D& shared = mesh.vertices[0];
  EXPECT_EQ(shared.nx, (a.nx + b.nx) / 2);
  EXPECT_EQ(shared.nz, (a.nz + b.nz) / 2);
  // Unit normals are 65536 long (exactly so for a face whose cross product is a multiple
  // of 256; smaller faces come out slightly longer).
  EXPECT_EQ(std::abs(a.nz), 65536);
}

TEST(Mesh, DuplicatedSlotsShareTheNormalAndUnsetSlotsAddNothing) {
  MeshEngine e;
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  ASSERT_EQ(mesh.Create(6, 4), 0);
  mesh.StartList();
  // Slots 3 and 5 repeat the positions of slots 0 and 1.
  const int32_t xyz[6][3] = {{0, 0, 0}, {256, 0, 0}, {0, 256, 0}, {0, 0, 0}, {0, 0, 256}, {256, 0, 0}};
  for (uint32_t i = 0; i < 6; ++i) mesh.SetVertex(i, xyz[i][0], xyz[i][1], xyz[i][2]);
  // Face 0 has the normal (0, 0, 65536), face 3 (0, 65536, 0); slots 1 and 2 are never
  // set and still point at vertex 0, but are no faces and must not dilute its average.
  mesh.SetPolygon(0, 0, 1, 2, 1);
  mesh.SetPolygon(3, 3, 4, 5, 1);
  mesh.EndList();
  ASSERT_EQ(mesh.polygons[0].nz, 65536);
  ASSERT_EQ(mesh.polygons[3].ny, 65536);
  const int32_t want[6][3] = {{0, 32768, 32768}, {0, 32768, 32768}, {0, 0, 65536},
                              {0, 32768, 32768}, {0, 65536, 0},     {0, 32768, 32768}};
  for (int i = 0; i < 6; ++i) {
    const ZVERTEX3D& v = mesh.vertices[i];
    EXPECT_EQ(v.nx, want[i][0]) << i;
    EXPECT_EQ(v.ny, want[i][1]) << i;
    EXPECT_EQ(v.nz, want[i][2]) << i;
    EXPECT_EQ(v.cny, want[i][1]) << i;
  }
}

TEST(Mesh, NormalsAndVertexTexelsMatchTheirDefinitionOnRandomMeshes) {
  // Many vertices share a few positions; some polygon slots stay unset; some polygons have
  // two corners at one position or on one slot. The definitions, written plainly:
  // a vertex's normal averages the faces with any corner at its position (each face once);
  // a vertex texel record goes to every corner on that vertex, the polygon taking the id of
  // its last record.
  uint32_t seed = 7;
  auto rnd = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345;
    return (seed >> 8) % n;
  };
  for (int round = 0; round < 20; ++round) {
    MeshEngine e;
    Z3DSurface mesh;
    mesh.LinkZCD(&e.zcd);
    const uint32_t nv = 40 + rnd(200), np = 30 + rnd(120);
    ASSERT_EQ(mesh.Create(nv, np), 0);
    mesh.StartList();
    for (uint32_t i = 0; i < nv; ++i)
      mesh.SetVertex(i, int32_t(rnd(4)) * 300, int32_t(rnd(3)) * 500, int32_t(rnd(3)) * 700 - 600);
    for (uint32_t j = 0; j < np; ++j)
      if (rnd(5)) mesh.SetPolygon(j, rnd(nv), rnd(nv), rnd(4) ? rnd(nv) : 0, 1);
    mesh.EndList();
    for (uint32_t i = 0; i < nv; ++i) {
      const ZVERTEX3D& v = mesh.vertices[i];
      int64_t sum[3] = {0, 0, 0}, n = 0;
      for (uint32_t j = 0; j < mesh.PolygonsInUse(); ++j) {
        const ZPOLYGON3D& p = mesh.polygons[j];
        if (!mesh.polygonused[j]) continue;
        bool touches = false;
        for (const ZVERTEX3D* c : {p.a, p.b, p.c}) touches |= c->bx == v.bx && c->by == v.by && c->bz == v.bz;
        if (!touches) continue;
        sum[0] += p.nx;
        sum[1] += p.ny;
        sum[2] += p.nz;
        ++n;
      }
      ASSERT_EQ(v.nx, n ? sum[0] / n : 0) << "round " << round << " vertex " << i;
      ASSERT_EQ(v.ny, n ? sum[1] / n : 0) << "round " << round << " vertex " << i;
      ASSERT_EQ(v.nz, n ? sum[2] / n : 0) << "round " << round << " vertex " << i;
    }
    // The fallback without working tables gives the same normals.
    const std::vector<ZVERTEX3D> grouped(mesh.vertices, mesh.vertices + nv);
    mesh.PolygonNormalsByScan();
    for (uint32_t i = 0; i < nv; ++i) {
      ASSERT_EQ(mesh.vertices[i].nx, grouped[i].nx);
      ASSERT_EQ(mesh.vertices[i].ny, grouped[i].ny);
      ASSERT_EQ(mesh.vertices[i].nz, grouped[i].nz);
    }

    std::vector<int32_t> records;
    for (uint32_t i = 0; i < nv; ++i) records.insert(records.end(), {int32_t(rnd(256)), int32_t(rnd(256)), int32_t(1 + rnd(9))});
    ZLDR_3DCALLBACKINFO info{};
    info.texellayout = 1;
    for (uint32_t i = 0; i < nv; i += 85) {  // in runs, as the 3DS reader delivers them
      const uint32_t n = std::min(85u, nv - i);
      info.data = records.data() + 3 * i;
      info.size = n * 12;
      ASSERT_EQ(mesh.LdrOnTexelStream(&info), 0);
    }
    for (uint32_t j = 0; j < np; ++j) {
      const ZPOLYGON3D& p = mesh.polygons[j];
      const ZVERTEX3D* c[3] = {p.a, p.b, p.c};
      uint32_t last = 0;
      for (int k = 0; k < 3; ++k) {
        const uint32_t index = uint32_t(c[k] - mesh.vertices);
        ASSERT_EQ(p.tu[k], records[3 * index]);
        ASSERT_EQ(p.tv[k], records[3 * index + 1]);
        last = std::max(last, index);
      }
      ASSERT_EQ(p.textureid, records[3 * last + 2]) << "polygon " << j;
    }
  }
}

TEST(Mesh, Lighting) {
  MeshEngine e;
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  ASSERT_EQ(mesh.Create(3, 1), 0);
  mesh.SetLightSource(0, 0, 1, 64, 64);
  EXPECT_EQ(mesh.lightx, 0);
  EXPECT_EQ(mesh.lighty, 0);
  EXPECT_EQ(mesh.lightz, -65536);
  mesh.SetPolygon(0, 0, 0, 0, 0, 256, 0, 256, 0, 0, 0x804020);
  ASSERT_EQ(mesh.polygons[0].cnz, -65536);  // facing the light fully
  EXPECT_EQ(mesh.CalculateColor(0, 0x804020), 0x804020u);  // 64 + 512, capped at 256
  mesh.SetLightSource(0, 0, -1, 64, 64);
  EXPECT_EQ(mesh.CalculateColor(0, 0x804020), 0x201008u);  // ambient only: 64 / 256
}

TEST(Mesh, DepthSortOfEveryPermutationUpToEight) {
  for (uint32_t n = 1; n <= 8; ++n) {
    std::vector<int32_t> depths(n);
    std::iota(depths.begin(), depths.end(), 0);
    depths[n / 2] = depths[0];  // a repeated depth too
    std::sort(depths.begin(), depths.end());
    do {
      std::vector<ZPOLYGON3D> polys(n);
      std::vector<ZPOLYGON3D*> list(n);
      for (uint32_t i = 0; i < n; ++i) {
        polys[i].depth = depths[i];
        list[i] = &polys[i];
      }
      Z3D_SortByDepth(list.data(), n);
      for (uint32_t i = 1; i < n; ++i) ASSERT_GE(list[i - 1]->depth, list[i]->depth) << "n " << n;
    } while (std::next_permutation(depths.begin(), depths.end()));
  }
}

TEST(Mesh, TexelStreamsStayInsideTheTables) {
  MeshEngine e;
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  ASSERT_EQ(mesh.Create(3, 2), 0);
  std::vector<int32_t> records(7 * 5, 3);
  ZLDR_3DCALLBACKINFO info{};
  info.texellayout = 0;
  info.data = records.data();
  info.size = uint32_t(records.size() * 4);
  EXPECT_EQ(mesh.LdrOnTexelStream(&info), 0);  // 5 records, 2 polygons: 3 dropped
  EXPECT_EQ(mesh.polygons[1].tu[2], 3);
  info.texellayout = 1;
  info.texelsdelivered = 0xFFFFFFF0u;  // far past the vertices
  EXPECT_EQ(mesh.LdrOnTexelStream(&info), 0);
}

TEST(Mesh, BindingAgainScalesFromTheGivenCoordinates) {
  TestEngine e;
  Z2DSurface tex, big;
  MakeSurface(e, tex, 32, 16, ZFMT_RGB565);
  MakeSurface(e, big, 64, 64, ZFMT_RGB565);
  Z3DSurface mesh;
  mesh.LinkZCD(&e.zcd);
  ASSERT_EQ(mesh.Create(3, 1), 0);
  mesh.SetPolygon(0, 0, 0, 0, 10, 0, 0, 0, 10, 0, 1);
  mesh.BindTexture(0, 128, 64, 256, 0, 0, 256, &tex);
  EXPECT_EQ(mesh.polygons[0].u[0], 128 * 32 * 4);  // half the width, in 22.10 pixels
  EXPECT_EQ(mesh.polygons[0].v[0], 64 * 16 * 4);
  mesh.BindTexture(&tex);
  mesh.BindTexture(&tex);
  EXPECT_EQ(mesh.polygons[0].u[0], 128 * 32 * 4);
  mesh.BindTexture(&big);
  EXPECT_EQ(mesh.polygons[0].u[0], 128 * 64 * 4);
  mesh.BindTexture(nullptr);
  EXPECT_EQ(mesh.polygons[0].texture, nullptr);
}
