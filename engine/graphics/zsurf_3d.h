// Z3DSurface: a small software 3D mesh. A fixed-capacity table of vertices and one of
// triangles, filled from a 3DS file or point by point, moved by translate / rotate /
// scale, lit by one directional light, projected, culled and sorted far to near for
// drawing onto a Z2DSurface (Z2DSurface::Render, zsurf_3d_render.cpp).
//
// Fixed point: positions 24.8, normals and the light 16.16 (unit 65536), projected
// positions 16.16 pixels, scale factors 16.16, angles 4096 steps a turn, light levels
// 0-256, texture coordinates from callers and files 8.8 of the texture's size (256 = the
// whole side). Products of two fixed-point values are (a >> 8) * (b >> 8), formed in 64
// bits. Colours 0x00BBGGRR.
#pragma once

#include <cstdint>

#include "engine/core/zolt_records.h"

class Z2DSurface;

struct ZVECTOR3D {
  int32_t x, y, z;
};

struct ZVERTEX3D {
  int32_t nx, ny, nz;     // base normal, from the polygons
  int32_t cnx, cny, cnz;  // current (rotated) normal
  int32_t bx, by, bz;     // base position, as loaded or set
  int32_t x, y, z;        // current position
  int32_t light;          // 0-256, from PrepareRender
  int32_t px, py;         // projected, 16.16 pixels
  uint32_t colour;        // gouraud corner colour, from Render
};

struct ZPOLYGON3D {
  Z2DSurface* texture;  // not owned
  uint8_t textureid;    // 0 none; the 3DS loader gives 1
  int32_t u[3];         // corners a, b, c in texture pixels (22.10) once bound
  int32_t v[3];
  ZVERTEX3D* a;
  ZVERTEX3D* b;
  ZVERTEX3D* c;
  int32_t nx, ny, nz;     // base normal
  int32_t cnx, cny, cnz;  // current normal
  uint32_t colour;
  uint32_t litcolour;
  int32_t depth;
  int32_t tu[3];  // the 8.8 coordinates as given: every bind scales from these
  int32_t tv[3];
};

// What ZLoader_3DS passes to the mesh callbacks.
struct ZLDR_3DCALLBACKINFO {
  uint32_t vertexcount;
  uint32_t polygoncount;
  uint8_t texellayout;  // 1: one (u, v, id) record per vertex; 0: (ua, va, ub, vb, uc, vc, id) per polygon
  const void* data;
  uint32_t size;        // bytes at data
  uint32_t verticesdelivered;
  uint32_t polygonsdelivered;
  uint32_t texelsdelivered;
};

// Render flags (the whole value also reaches the fillers as their blit flags).
enum : uint32_t {
  RENDER_WIREFRAME = 0x100,
  RENDER_FLAT = 0x200,
  RENDER_GOURAUD = 0x400,
  RENDER_TEXTURED = 0x800,
};

class Z3DSurface {
 public:
  Z3DSurface() = default;
  ~Z3DSurface();
  Z3DSurface(const Z3DSurface&) = delete;
  Z3DSurface& operator=(const Z3DSurface&) = delete;

  Z3DSurface* LinkZCD(ZCD* context);
  // 0; 1 for a zero count; 2 without memory (nothing kept); 4 without a context.
  int Create(uint32_t vertices, uint32_t polygons);
  void Free();

  // Whole units; indices beyond the capacity are ignored.
  void SetVertex(uint32_t index, int32_t x, int32_t y, int32_t z);
  void GetVertex(ZVERTEX3D* out, uint32_t index) const;
  void SetPolygon(uint32_t polygon, uint32_t a, uint32_t b, uint32_t c, uint32_t colour);
  // Corners by whole-unit position: an used vertex at exactly that position (the last
  // match) or the lowest unused slot; nothing when no slot is free.
  void SetPolygon(uint32_t polygon, int32_t ax, int32_t ay, int32_t az, int32_t bx, int32_t by,
                  int32_t bz, int32_t cx, int32_t cy, int32_t cz, uint32_t colour);
  void SetColor(uint32_t polygon, uint32_t colour);
  void SetColor(uint32_t colour);
  // Scales each polygon's 8.8 coordinates to the texture's pixels (22.10). Null clears the
  // texture. The id form binds polygons whose id is non-zero and equals id + 1.
  void BindTexture(Z2DSurface* texture);
  void BindTexture(uint32_t id, Z2DSurface* texture);
  void BindTexture(uint32_t polygon, int32_t ua, int32_t va, int32_t ub, int32_t vb, int32_t uc,
                   int32_t vc, Z2DSurface* texture);

  void Translate(int32_t dx, int32_t dy, int32_t dz);
  // About z, then y, then x; each axis only when its angle is not 0.
  void Rotate(int32_t ax, int32_t ay, int32_t az);
  void Scale(int32_t sx, int32_t sy, int32_t sz);
  // Current positions and normals back to the base values.
  void Reset();

  void SetLightSource(int32_t x, int32_t y, int32_t z, uint32_t ambient, uint32_t intensity);
  void StartList() { listmode = 1; }
  void EndList();
  void PolygonNormals();
  // The same, vertex by vertex over every face (V x P steps): what PolygonNormals falls
  // back on when its working tables cannot be allocated.
  void PolygonNormalsByScan();
  uint32_t VerticesInUse() const { return verticesinuse; }
  uint32_t PolygonsInUse() const { return polygonsinuse; }

  // Projects, culls (when cull), lights and sorts: the number of polygons in the draw
  // list. Polygons with a corner at or behind the eye (z <= -0x80000) are left out.
  uint32_t PrepareRender(uint32_t width, uint32_t height, bool cull);
  void Perspective(uint32_t width, uint32_t height);
  // Projects v without the screen centre; returns k.
  int32_t GetPerspective(const ZVECTOR3D* v, tagPOINT* point) const;
  // Sorts the first count entries of the visible list farthest first.
  void SortPolygons(uint32_t count);
  void VertexLighting();
  uint32_t CalculateColor(uint32_t polygon, uint32_t colour);

  // Each channel of colour times level / 256.
  static uint32_t LitColour(uint32_t colour, int32_t level);
  static int32_t DotProduct(const ZVECTOR3D* a, const ZVECTOR3D* b);
  static void CrossProduct(ZVECTOR3D* out, const ZVECTOR3D* u, const ZVECTOR3D* v);
  static void Normalize(ZVECTOR3D* v);
  // Normalised (c - b) x (a - b).
  static void RetrieveNormal(ZVECTOR3D* out, const ZVECTOR3D* a, const ZVECTOR3D* b,
                             const ZVECTOR3D* c);

  // From memory or a file, through the display's loader slots. 3 when no loader takes it.
  int LoadModel(const void* data, uint32_t size, uint8_t unused = 0);
  int LoadModel(const uint16_t* filename, uint8_t unused = 0);

  int LdrOnCreate(ZLDR_3DCALLBACKINFO* info);
  int LdrOnVertexStream(ZLDR_3DCALLBACKINFO* info);
  int LdrOnPolygonStream(ZLDR_3DCALLBACKINFO* info);
  int LdrOnTexelStream(ZLDR_3DCALLBACKINFO* info);

  // --- state -------------------------------------------------------------------------
  ZCD* zcd = nullptr;
  uint8_t* vertexused = nullptr;
  uint8_t* polygonused = nullptr;
  ZVERTEX3D* vertices = nullptr;
  ZPOLYGON3D* polygons = nullptr;
  ZPOLYGON3D** visible = nullptr;
  ZPOLYGON3D** drawlist = nullptr;
  int32_t lightx = 0, lighty = 0, lightz = 0;
  uint32_t polygoncapacity = 0;
  uint32_t vertexcapacity = 0;
  uint32_t polygonsinuse = 0;
  uint32_t verticesinuse = 0;
  uint32_t ambient = 64;
  uint32_t intensity = 64;
  uint8_t listmode = 0;

 private:
  int32_t LightLevel(int32_t nx, int32_t ny, int32_t nz) const;
  void BindOne(ZPOLYGON3D* p, Z2DSurface* texture);
  void ComputePolygonNormal(ZPOLYGON3D* p);
};

// Sorts count entries farthest first (descending depth) with the mesh's heap sort: a
// min-heap where node i has the children 2i and 2i + 1.
void Z3D_SortByDepth(ZPOLYGON3D** list, uint32_t count);
