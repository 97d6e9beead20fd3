// The software 3D mesh: tables, transforms, normals, lighting, projection and the depth
// sort. Drawing is in zsurf_3d_render.cpp, the 3DS reader in zldr_3ds.cpp.
#include "engine/graphics/zsurf_3d.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/core/zmod_math.h"
#include "engine/core/zmod_memory.h"
#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zsurf_2d.h"

namespace {

int32_t Clamp32(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

// (a >> 8) * (b >> 8) without 32-bit overflow.
int64_t Mul(int64_t a, int64_t b) { return (a >> 8) * (b >> 8); }

// Components of a normal (after the >> 8) are kept below this, so that the sum of their
// squares stays below 2^62.
constexpr int64_t kNormalLimit = int64_t(1) << 30;

// floor(sqrt(s)) for the squared lengths of normals, s < 2^62: the root is below 2^31, so
// neither square below overflows and the double's root is off by one step at most.
int64_t Sqrt64(uint64_t s) {
  if (s <= uint64_t(INT32_MAX)) return ClassZMath::IntSqrt(int32_t(s));
  uint64_t r = uint64_t(std::sqrt(double(s)));
  while (r * r > s) --r;
  while ((r + 1) * (r + 1) <= s) ++r;
  return int64_t(r);
}

// len = sqrt of the sum of (c >> 8)^2; each component becomes (c << 8) / len, c << 8 when
// len is 0. Unit vectors come out with length 65536 (the light (0, 0, -256) gives
// (0, 0, -65536)); vectors shorter than 256 in every component stay as they are, scaled.
// A vector too long to square (the cross product of edges of a million units or more, which
// a model file can hold) is first shifted down as a whole: its direction is kept, and the
// result is a unit normal as for any other.
void Normalise(int64_t x, int64_t y, int64_t z, int32_t* out) {
  auto fits = [](int64_t v) { return v >> 8 < kNormalLimit && v >> 8 >= -kNormalLimit; };
  while (!fits(x) || !fits(y) || !fits(z)) {
    x >>= 1;
    y >>= 1;
    z >>= 1;
  }
  const int64_t a = x >> 8, b = y >> 8, c = z >> 8;
  const int64_t len = Sqrt64(uint64_t(a * a + b * b + c * c));
  const int64_t v[3] = {x, y, z};
  for (int i = 0; i < 3; ++i) {
    const int64_t s = v[i] * 256;
    out[i] = Clamp32(len ? s / len : s);
  }
}

// The un-normalised v x u of the base positions, u = a - b, v = c - b.
void FaceCross(const ZVERTEX3D* a, const ZVERTEX3D* b, const ZVERTEX3D* c, int64_t* n) {
  const int64_t ux = (int64_t(a->bx) - b->bx) >> 8, uy = (int64_t(a->by) - b->by) >> 8,
                uz = (int64_t(a->bz) - b->bz) >> 8;
  const int64_t vx = (int64_t(c->bx) - b->bx) >> 8, vy = (int64_t(c->by) - b->by) >> 8,
                vz = (int64_t(c->bz) - b->bz) >> 8;
  n[0] = uz * vy - vz * uy;
  n[1] = vz * ux - uz * vx;
  n[2] = vx * uy - ux * vy;
}

void RotateAxis(int32_t& p, int32_t& q, int32_t c, int32_t s) {
  const int64_t np = Mul(p, c) - Mul(q, s);
  const int64_t nq = Mul(q, c) + Mul(p, s);
  p = Clamp32(np);
  q = Clamp32(nq);
}

}  // namespace

Z3DSurface::~Z3DSurface() { Free(); }

uint32_t Z3DSurface::LitColour(uint32_t colour, int32_t level) {
  const uint32_t l = uint32_t(level);
  return ((colour & 0xFF) * l / 256) | ((colour >> 8 & 0xFF) * l / 256) << 8 |
         ((colour >> 16 & 0xFF) * l / 256) << 16;
}

Z3DSurface* Z3DSurface::LinkZCD(ZCD* context) {
  zcd = context;
  return this;
}

int Z3DSurface::Create(uint32_t nv, uint32_t np) {
  if (polygoncapacity || vertexcapacity) Free();
  if (nv == 0 || np == 0) return 1;
  if (!zcd) return 4;
  // Sizes in 64 bits: a count from a file must not wrap the allocation. The tables hold
  // pointers, so they come from the plain allocator (aligned for any type), not the list.
  if (uint64_t(nv) * sizeof(ZVERTEX3D) > 0x7FFFFFFF || uint64_t(np) * sizeof(ZPOLYGON3D) > 0x7FFFFFFF)
    return 2;
  vertices = static_cast<ZVERTEX3D*>(ClassZMemory::Alloc(nv * uint32_t(sizeof(ZVERTEX3D))));
  polygons = static_cast<ZPOLYGON3D*>(ClassZMemory::Alloc(np * uint32_t(sizeof(ZPOLYGON3D))));
  visible = static_cast<ZPOLYGON3D**>(ClassZMemory::Alloc(np * uint32_t(sizeof(void*))));
  drawlist = static_cast<ZPOLYGON3D**>(ClassZMemory::Alloc(np * uint32_t(sizeof(void*))));
  vertexused = static_cast<uint8_t*>(ClassZMemory::Alloc(nv));
  polygonused = static_cast<uint8_t*>(ClassZMemory::Alloc(np));
  if (!vertices || !polygons || !visible || !drawlist || !vertexused || !polygonused) {
    vertexcapacity = nv;  // so that Free releases what was allocated
    polygoncapacity = np;
    Free();
    return 2;
  }
  std::memset(vertices, 0, size_t(nv) * sizeof(ZVERTEX3D));
  std::memset(polygons, 0, size_t(np) * sizeof(ZPOLYGON3D));
  std::memset(vertexused, 0, nv);
  std::memset(polygonused, 0, np);
  for (uint32_t i = 0; i < np; ++i) {
    polygons[i].a = polygons[i].b = polygons[i].c = vertices;
    visible[i] = drawlist[i] = polygons + i;
  }
  vertexcapacity = nv;
  polygoncapacity = np;
  ambient = 64;
  intensity = 64;
  lightx = lighty = lightz = 0;
  listmode = 0;
  verticesinuse = polygonsinuse = 0;
  return 0;
}

void Z3DSurface::Free() {
  void* tables[] = {vertices, polygons, visible, drawlist, vertexused, polygonused};
  for (void* t : tables) ClassZMemory::DeAlloc(t);
  vertices = nullptr;
  polygons = nullptr;
  visible = drawlist = nullptr;
  vertexused = polygonused = nullptr;
  vertexcapacity = polygoncapacity = 0;
  verticesinuse = polygonsinuse = 0;
}

void Z3DSurface::SetVertex(uint32_t index, int32_t x, int32_t y, int32_t z) {
  if (index >= vertexcapacity) return;
  ZVERTEX3D& v = vertices[index];
  v.bx = v.x = Clamp32(int64_t(x) * 256);
  v.by = v.y = Clamp32(int64_t(y) * 256);
  v.bz = v.z = Clamp32(int64_t(z) * 256);
  vertexused[index] = 1;
  if (index + 1 > verticesinuse) verticesinuse = index + 1;
}

void Z3DSurface::GetVertex(ZVERTEX3D* out, uint32_t index) const {
  if (out && index < vertexcapacity && vertexused[index]) *out = vertices[index];
}

void Z3DSurface::ComputePolygonNormal(ZPOLYGON3D* p) {
  int64_t n[3];
  FaceCross(p->a, p->b, p->c, n);
  int32_t o[3];
  Normalise(n[0], n[1], n[2], o);
  p->nx = p->cnx = o[0];
  p->ny = p->cny = o[1];
  p->nz = p->cnz = o[2];
}

void Z3DSurface::SetPolygon(uint32_t polygon, uint32_t a, uint32_t b, uint32_t c, uint32_t colour) {
  if (polygon >= polygoncapacity || a >= vertexcapacity || b >= vertexcapacity || c >= vertexcapacity)
    return;
  ZPOLYGON3D* p = polygons + polygon;
  p->a = vertices + a;
  p->b = vertices + b;
  p->c = vertices + c;
  p->colour = colour;
  ComputePolygonNormal(p);
  polygonused[polygon] = 1;
  if (polygon + 1 > polygonsinuse) polygonsinuse = polygon + 1;
  if (!listmode) PolygonNormals();
}

void Z3DSurface::SetPolygon(uint32_t polygon, int32_t ax, int32_t ay, int32_t az, int32_t bx,
                            int32_t by, int32_t bz, int32_t cx, int32_t cy, int32_t cz,
                            uint32_t colour) {
  if (polygon >= polygoncapacity) return;
  const int32_t pos[3][3] = {{ax, ay, az}, {bx, by, bz}, {cx, cy, cz}};
  uint32_t index[3];
  for (int k = 0; k < 3; ++k) {
    const int32_t x = Clamp32(int64_t(pos[k][0]) * 256), y = Clamp32(int64_t(pos[k][1]) * 256),
                  z = Clamp32(int64_t(pos[k][2]) * 256);
    bool found = false;
    for (uint32_t i = 0; i < verticesinuse; ++i) {
      const ZVERTEX3D& v = vertices[i];
      if (vertexused[i] && v.bx == x && v.by == y && v.bz == z) {
        index[k] = i;
        found = true;
      }
    }
    if (found) continue;
    uint32_t slot = 0;
    while (slot < vertexcapacity && vertexused[slot]) ++slot;
    if (slot == vertexcapacity) return;
    SetVertex(slot, pos[k][0], pos[k][1], pos[k][2]);
    index[k] = slot;
  }
  SetPolygon(polygon, index[0], index[1], index[2], colour);
}

void Z3DSurface::SetColor(uint32_t polygon, uint32_t colour) {
  if (polygon < polygoncapacity) polygons[polygon].colour = colour;
}

void Z3DSurface::SetColor(uint32_t colour) {
  for (uint32_t i = 0; i < polygoncapacity; ++i) polygons[i].colour = colour;
}

void Z3DSurface::BindOne(ZPOLYGON3D* p, Z2DSurface* texture) {
  p->texture = texture;
  if (!texture) return;
  const int64_t w = texture->GetWidth(), h = texture->GetHeight();
  for (int k = 0; k < 3; ++k) {
    p->u[k] = Clamp32(int64_t(p->tu[k]) * w * 4);
    p->v[k] = Clamp32(int64_t(p->tv[k]) * h * 4);
  }
}

void Z3DSurface::BindTexture(Z2DSurface* texture) {
  for (uint32_t i = 0; i < polygoncapacity; ++i) BindOne(polygons + i, texture);
}

void Z3DSurface::BindTexture(uint32_t id, Z2DSurface* texture) {
  for (uint32_t i = 0; i < polygoncapacity; ++i) {
    ZPOLYGON3D* p = polygons + i;
    if (p->textureid != 0 && p->textureid == id + 1) BindOne(p, texture);
  }
}

void Z3DSurface::BindTexture(uint32_t polygon, int32_t ua, int32_t va, int32_t ub, int32_t vb,
                             int32_t uc, int32_t vc, Z2DSurface* texture) {
  if (polygon >= polygoncapacity) return;
  ZPOLYGON3D* p = polygons + polygon;
  if (!texture) {
    p->texture = nullptr;
    return;
  }
  if (texture->GetWidth() == 0 || texture->GetHeight() == 0) return;
  p->tu[0] = ua;
  p->tv[0] = va;
  p->tu[1] = ub;
  p->tv[1] = vb;
  p->tu[2] = uc;
  p->tv[2] = vc;
  BindOne(p, texture);
}

void Z3DSurface::Translate(int32_t dx, int32_t dy, int32_t dz) {
  if (!polygoncapacity) return;
  for (uint32_t i = 0; i < verticesinuse; ++i) {
    ZVERTEX3D& v = vertices[i];
    v.x = Clamp32(int64_t(v.x) + dx);
    v.y = Clamp32(int64_t(v.y) + dy);
    v.z = Clamp32(int64_t(v.z) + dz);
  }
}

void Z3DSurface::Scale(int32_t sx, int32_t sy, int32_t sz) {
  if (!polygoncapacity) return;
  for (uint32_t i = 0; i < verticesinuse; ++i) {
    ZVERTEX3D& v = vertices[i];
    v.x = Clamp32(Mul(sx, v.x));
    v.y = Clamp32(Mul(sy, v.y));
    v.z = Clamp32(Mul(sz, v.z));
  }
}

void Z3DSurface::Rotate(int32_t ax, int32_t ay, int32_t az) {
  if (!polygoncapacity || !zcd || !zcd->math) return;
  const ClassZMath* m = zcd->math;
  auto turn = [&](int32_t& x, int32_t& y, int32_t& z) {
    if (az) RotateAxis(x, y, m->Cos(uint32_t(az)), m->Sin(uint32_t(az)));
    if (ay) RotateAxis(x, z, m->Cos(uint32_t(ay)), m->Sin(uint32_t(ay)));
    if (ax) RotateAxis(y, z, m->Cos(uint32_t(ax)), m->Sin(uint32_t(ax)));
  };
  for (uint32_t i = 0; i < verticesinuse; ++i) {
    ZVERTEX3D& v = vertices[i];
    turn(v.x, v.y, v.z);
    turn(v.cnx, v.cny, v.cnz);
  }
  for (uint32_t i = 0; i < polygonsinuse; ++i) {
    ZPOLYGON3D& p = polygons[i];
    turn(p.cnx, p.cny, p.cnz);
  }
}

void Z3DSurface::Reset() {
  for (uint32_t i = 0; i < verticesinuse; ++i) {
    ZVERTEX3D& v = vertices[i];
    v.x = v.bx;
    v.y = v.by;
    v.z = v.bz;
    v.cnx = v.nx;
    v.cny = v.ny;
    v.cnz = v.nz;
  }
  for (uint32_t i = 0; i < polygonsinuse; ++i) {
    ZPOLYGON3D& p = polygons[i];
    p.cnx = p.nx;
    p.cny = p.ny;
    p.cnz = p.nz;
  }
}

void Z3DSurface::SetLightSource(int32_t x, int32_t y, int32_t z, uint32_t amb, uint32_t inten) {
  ambient = amb;
  intensity = inten;
  int32_t o[3];
  Normalise(-int64_t(x) * 256, int64_t(y) * 256, -int64_t(z) * 256, o);
  lightx = o[0];
  lighty = o[1];
  lightz = o[2];
}

void Z3DSurface::EndList() {
  listmode = 0;
  PolygonNormals();
}

namespace {

bool SamePosition(const ZVERTEX3D* p, const ZVERTEX3D* q) {
  return p->bx == q->bx && p->by == q->by && p->bz == q->bz;
}

bool PositionBefore(const ZVERTEX3D* p, const ZVERTEX3D* q) {
  if (p->bx != q->bx) return p->bx < q->bx;
  if (p->by != q->by) return p->by < q->by;
  return p->bz < q->bz;
}

// A vertex's normal from the face sums of its position (zero without faces).
void SetAverage(ZVERTEX3D& v, int64_t sx, int64_t sy, int64_t sz, int64_t n) {
  if (n) {
    v.nx = v.cnx = int32_t(sx / n);
    v.ny = v.cny = int32_t(sy / n);
    v.nz = v.cnz = int32_t(sz / n);
  } else {
    v.nx = v.ny = v.nz = 0;
  }
}

struct NormalSum {
  int64_t x, y, z, n;
};

}  // namespace

void Z3DSurface::PolygonNormals() {
  // Each vertex takes the average normal of the faces that touch its position, a face
  // counting once however many of its corners lie there. Vertices are grouped by
  // position first, so that a mesh from a file costs (V + P) log V, not V x P (which a
  // file of 65535 vertices turns into minutes).
  const uint32_t nv = verticesinuse;
  if (nv == 0) return;
  uint32_t* order = static_cast<uint32_t*>(ClassZMemory::Alloc(nv * 4));
  uint32_t* group = static_cast<uint32_t*>(ClassZMemory::Alloc(nv * 4));
  NormalSum* sums = static_cast<NormalSum*>(ClassZMemory::Alloc(nv * uint32_t(sizeof(NormalSum))));
  if (!order || !group || !sums) {
    ClassZMemory::DeAlloc(order);
    ClassZMemory::DeAlloc(group);
    ClassZMemory::DeAlloc(sums);
    PolygonNormalsByScan();
    return;
  }
  for (uint32_t i = 0; i < nv; ++i) order[i] = i;
  const ZVERTEX3D* table = vertices;
  std::sort(order, order + nv, [table](uint32_t a, uint32_t b) { return PositionBefore(table + a, table + b); });
  // order[] lists the vertices by position; group[k] is the group of order[k].
  uint32_t groups = 0;
  for (uint32_t k = 0; k < nv; ++k) {
    if (k == 0 || !SamePosition(table + order[k - 1], table + order[k])) sums[groups++] = NormalSum{0, 0, 0, 0};
    group[k] = groups - 1;
  }
  for (uint32_t j = 0; j < polygonsinuse; ++j) {
    const ZPOLYGON3D& p = polygons[j];
    // Slots never set have no face (all corners at vertex 0): they add nothing.
    if (!polygonused[j]) continue;
    const ZVERTEX3D* c[3] = {p.a, p.b, p.c};
    for (int k = 0; k < 3; ++k) {
      if ((k > 0 && SamePosition(c[k], c[0])) || (k > 1 && SamePosition(c[k], c[1]))) continue;
      const uint32_t* at = std::lower_bound(order, order + nv, c[k], [table](uint32_t a, const ZVERTEX3D* q) {
        return PositionBefore(table + a, q);
      });
      if (at == order + nv || !SamePosition(table + *at, c[k])) continue;
      NormalSum& g = sums[group[at - order]];
      g.x += p.nx;
      g.y += p.ny;
      g.z += p.nz;
      ++g.n;
    }
  }
  for (uint32_t k = 0; k < nv; ++k) {
    const NormalSum& g = sums[group[k]];
    SetAverage(vertices[order[k]], g.x, g.y, g.z, g.n);
  }
  ClassZMemory::DeAlloc(order);
  ClassZMemory::DeAlloc(group);
  ClassZMemory::DeAlloc(sums);
}

void Z3DSurface::PolygonNormalsByScan() {
  for (uint32_t i = 0; i < verticesinuse; ++i) {
    ZVERTEX3D& v = vertices[i];
    int64_t sx = 0, sy = 0, sz = 0, n = 0;
    for (uint32_t j = 0; j < polygonsinuse; ++j) {
      const ZPOLYGON3D& p = polygons[j];
      if (!polygonused[j]) continue;
      if (SamePosition(p.a, &v) || SamePosition(p.b, &v) || SamePosition(p.c, &v)) {
        sx += p.nx;
        sy += p.ny;
        sz += p.nz;
        ++n;
      }
    }
    SetAverage(v, sx, sy, sz, n);
  }
}

int32_t Z3DSurface::LightLevel(int32_t nx, int32_t ny, int32_t nz) const {
  const int64_t d = Mul(nx, lightx) + Mul(ny, lighty) + Mul(nz, lightz);
  int64_t level = ambient;
  if (d > 0) level += (d * int64_t(intensity)) >> 13;
  return level > 256 ? 256 : int32_t(level);
}

uint32_t Z3DSurface::CalculateColor(uint32_t polygon, uint32_t colour) {
  if (polygon >= polygoncapacity) return colour;
  const ZPOLYGON3D& p = polygons[polygon];
  return LitColour(colour, LightLevel(p.cnx, p.cny, p.cnz));
}

void Z3DSurface::VertexLighting() {
  for (uint32_t i = 0; i < verticesinuse; ++i) {
    ZVERTEX3D& v = vertices[i];
    v.light = LightLevel(v.cnx, v.cny, v.cnz);
  }
}

namespace {

// k and f of the projection for a current z; D is the render size.
int64_t ProjectionK(int32_t z) {
  int64_t div = int64_t(z) + 0x80000;
  if (div == 0) div = 1;
  return 0x8000000 / div;
}

}  // namespace

int32_t Z3DSurface::GetPerspective(const ZVECTOR3D* v, tagPOINT* point) const {
  if (!v) return 0;
  const int64_t k = ProjectionK(v->z);
  const int64_t d = zcd && zcd->display ? zcd->display->rendersize : 0;
  const int64_t f = (d * k) >> 5;
  if (point) {
    point->x = Clamp32(f * (v->x >> 5));
    point->y = Clamp32(f * (v->y >> 5));
  }
  return Clamp32(k);
}

void Z3DSurface::Perspective(uint32_t width, uint32_t height) {
  const int64_t d = zcd && zcd->display ? zcd->display->rendersize : 0;
  for (uint32_t i = 0; i < verticesinuse; ++i) {
    ZVERTEX3D& v = vertices[i];
    const int64_t f = (d * ProjectionK(v.z)) >> 5;
    v.px = Clamp32(int64_t(width) * 0x8000 + f * (v.x >> 5));
    v.py = Clamp32(int64_t(height) * 0x8000 + f * (v.y >> 5));
  }
}

uint32_t Z3DSurface::PrepareRender(uint32_t width, uint32_t height, bool cull) {
  if (!polygoncapacity) return 0;
  Perspective(width, height);
  uint32_t n = 0;
  for (uint32_t i = 0; i < polygonsinuse; ++i) {
    ZPOLYGON3D* p = polygons + i;
    if (p->a == p->b || p->b == p->c || p->a == p->c) continue;
    // A corner at or behind the eye has no meaningful projection.
    if (int64_t(p->a->z) + 0x80000 <= 0 || int64_t(p->b->z) + 0x80000 <= 0 ||
        int64_t(p->c->z) + 0x80000 <= 0)
      continue;
    const int64_t ax = p->a->px >> 16, ay = p->a->py >> 16, bx = p->b->px >> 16,
                  by = p->b->py >> 16, cx = p->c->px >> 16, cy = p->c->py >> 16;
    const int64_t cross = (ax - bx) * (cy - by) - (ay - by) * (cx - bx);
    if (cull && cross >= 0) continue;
    p->litcolour = LitColour(p->colour, LightLevel(p->cnx, p->cny, p->cnz));
    visible[n++] = p;
  }
  SortPolygons(n);
  std::memcpy(drawlist, visible, size_t(n) * sizeof(ZPOLYGON3D*));
  VertexLighting();
  return n;
}

void Z3DSurface::SortPolygons(uint32_t count) {
  if (count > polygoncapacity) count = polygoncapacity;
  for (uint32_t i = 0; i < count; ++i) {
    ZPOLYGON3D* p = visible[i];
    p->depth = int32_t((int64_t(p->a->z) + p->b->z + p->c->z) / 3);
  }
  Z3D_SortByDepth(visible, count);
}

namespace {

void SiftDown(ZPOLYGON3D** list, uint32_t node, uint32_t n) {
  for (;;) {
    uint32_t child = 2 * node;
    if (child >= n) return;
    if (child + 1 < n && list[child + 1]->depth < list[child]->depth) ++child;
    if (child == node || !(list[child]->depth < list[node]->depth)) return;
    ZPOLYGON3D* t = list[node];
    list[node] = list[child];
    list[child] = t;
    node = child;
  }
}

}  // namespace

void Z3D_SortByDepth(ZPOLYGON3D** list, uint32_t count) {
  if (count < 2) return;
  // With children at 2i and 2i + 1 the last node that has a child is count / 2 (rounded
  // down, for odd counts too); starting below it leaves part of the list unheaped.
  for (uint32_t i = count / 2 + 1; i-- > 0;) SiftDown(list, i, count);
  for (uint32_t i = count - 1; i > 0; --i) {
    ZPOLYGON3D* t = list[i];
    list[i] = list[0];
    list[0] = t;
    SiftDown(list, 0, i);
  }
}

int32_t Z3DSurface::DotProduct(const ZVECTOR3D* a, const ZVECTOR3D* b) {
  return Clamp32(Mul(a->x, b->x) + Mul(a->y, b->y) + Mul(a->z, b->z));
}

void Z3DSurface::CrossProduct(ZVECTOR3D* out, const ZVECTOR3D* u, const ZVECTOR3D* v) {
  const int64_t ux = u->x >> 8, uy = u->y >> 8, uz = u->z >> 8;
  const int64_t vx = v->x >> 8, vy = v->y >> 8, vz = v->z >> 8;
  out->x = Clamp32(uy * vz - uz * vy);
  out->y = Clamp32(uz * vx - ux * vz);
  out->z = Clamp32(ux * vy - uy * vx);
}

void Z3DSurface::Normalize(ZVECTOR3D* v) {
  int32_t o[3];
  Normalise(v->x, v->y, v->z, o);
  v->x = o[0];
  v->y = o[1];
  v->z = o[2];
}

void Z3DSurface::RetrieveNormal(ZVECTOR3D* out, const ZVECTOR3D* a, const ZVECTOR3D* b,
                                const ZVECTOR3D* c) {
  ZVERTEX3D va{}, vb{}, vc{};
  va.bx = a->x, va.by = a->y, va.bz = a->z;
  vb.bx = b->x, vb.by = b->y, vb.bz = b->z;
  vc.bx = c->x, vc.by = c->y, vc.bz = c->z;
  int64_t n[3];
  FaceCross(&va, &vb, &vc, n);
  int32_t o[3];
  Normalise(n[0], n[1], n[2], o);
  out->x = o[0];
  out->y = o[1];
  out->z = o[2];
}

int Z3DSurface::LoadModel(const void* data, uint32_t size, uint8_t) {
  if (!zcd) return 4;
  const int r = ZLoader_Dispatch(zcd->display, this, data, size);
  if (r == 0) {
    listmode = 0;
    PolygonNormals();
  }
  return r;
}

int Z3DSurface::LoadModel(const uint16_t* filename, uint8_t unused) {
  if (!zcd) return 4;
  return ZLoader_LoadFile(zcd, filename, [&](const uint8_t* block, uint32_t size) {
    return LoadModel(block, size, unused);
  });
}

int Z3DSurface::LdrOnCreate(ZLDR_3DCALLBACKINFO* info) {
  if (!info) return 4;
  const int r = Create(info->vertexcount, info->polygoncount);
  if (r == 0) listmode = 1;
  return r;
}

int Z3DSurface::LdrOnVertexStream(ZLDR_3DCALLBACKINFO* info) {
  if (!info || !info->data) return 4;
  const uint32_t records = info->size / 12;
  const uint8_t* d = static_cast<const uint8_t*>(info->data);
  for (uint32_t i = 0; i < records; ++i) {
    int32_t p[3];
    std::memcpy(p, d + 12 * size_t(i), 12);
    const uint64_t index = uint64_t(info->verticesdelivered) + i;
    if (index < vertexcapacity) SetVertex(uint32_t(index), p[0], p[1], p[2]);
  }
  info->verticesdelivered += records;
  return 0;
}

int Z3DSurface::LdrOnPolygonStream(ZLDR_3DCALLBACKINFO* info) {
  if (!info || !info->data) return 4;
  const uint32_t records = info->size / 16;
  const uint8_t* d = static_cast<const uint8_t*>(info->data);
  for (uint32_t i = 0; i < records; ++i) {
    uint32_t p[4];
    std::memcpy(p, d + 16 * size_t(i), 16);
    const uint64_t index = uint64_t(info->polygonsdelivered) + i;
    if (index < polygoncapacity) SetPolygon(uint32_t(index), p[0], p[1], p[2], p[3]);
  }
  info->polygonsdelivered += records;
  return 0;
}

int Z3DSurface::LdrOnTexelStream(ZLDR_3DCALLBACKINFO* info) {
  if (!info || !info->data) return 4;
  const uint8_t* d = static_cast<const uint8_t*>(info->data);
  const uint32_t recbytes = info->texellayout ? 12 : 28;
  const uint32_t records = info->size / recbytes;
  if (info->texellayout == 0) {
    for (uint32_t i = 0; i < records; ++i) {
      const uint64_t index = uint64_t(info->texelsdelivered) + i;
      if (index >= polygoncapacity) continue;
      int32_t r[7];
      std::memcpy(r, d + size_t(recbytes) * i, recbytes);
      ZPOLYGON3D& p = polygons[index];
      for (int k = 0; k < 3; ++k) {
        p.tu[k] = r[2 * k];
        p.tv[k] = r[2 * k + 1];
      }
      p.textureid = uint8_t(r[6]);
    }
  } else if (records) {
    // Each corner takes the record of its vertex when that vertex is in this run, and the
    // polygon the id of the last such record: one pass over the polygons per run, not one
    // per record.
    const uint64_t first = info->texelsdelivered, last = first + records;
    for (uint32_t j = 0; j < polygoncapacity; ++j) {
      ZPOLYGON3D& p = polygons[j];
      const ZVERTEX3D* c[3] = {p.a, p.b, p.c};
      int64_t hit = -1;
      for (int k = 0; k < 3; ++k) {
        const uint64_t index = uint64_t(c[k] - vertices);
        if (index < first || index >= last) continue;
        const uint8_t* rec = d + 12 * size_t(index - first);
        std::memcpy(&p.tu[k], rec, 4);
        std::memcpy(&p.tv[k], rec + 4, 4);
        hit = std::max<int64_t>(hit, int64_t(index - first));
      }
      if (hit >= 0) {
        int32_t id;
        std::memcpy(&id, d + 12 * size_t(hit) + 8, 4);
        p.textureid = uint8_t(id);
      }
    }
  }
  info->texelsdelivered += records;
  return 0;
}
