#include "assets/kolvo2/models.h"

#include "assets/kolvo2/bytes_out.h"
#include "kolvo2/logo_faces.h"

#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace k2art {

namespace {

constexpr double kPi = 3.14159265358979323846;

void Put16(std::vector<uint8_t>& out, uint32_t v) { k2data::PutLe(out, v, 2); }
void Put32(std::vector<uint8_t>& out, uint32_t v) { k2data::PutLe(out, v, 4); }
void PutFloat(std::vector<uint8_t>& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  Put32(out, bits);
}
// A chunk: id, length including its 6-byte header, body.
std::vector<uint8_t> Chunk(uint16_t id, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out;
  Put16(out, id);
  Put32(out, static_cast<uint32_t>(body.size() + 6));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}
void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) { out.insert(out.end(), more.begin(), more.end()); }

using Vec = std::array<double, 3>;

Vec Sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec Cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Builds a mesh in the view frame of the logo's key moment (x right, y down, z away from
// the viewer) and turns it into the file's frame.
struct Builder {
  std::vector<Vec> points;
  std::vector<std::array<int, 3>> red, white;

  int Point(double x, double y, double z) {
    points.push_back({x, y, z});
    return static_cast<int>(points.size()) - 1;
  }
  // A triangle wound counter-clockwise around the side `outward` points to.
  void Face(int a, int b, int c, const Vec& outward, bool isRed) {
    const Vec n = Cross(Sub(points[b], points[a]), Sub(points[c], points[a]));
    std::array<int, 3> f = Dot(n, outward) >= 0 ? std::array<int, 3>{a, b, c} : std::array<int, 3>{a, c, b};
    (isRed ? red : white).push_back(f);
  }
  void Quad(int a, int b, int c, int d, const Vec& outward, bool isRed) {
    Face(a, b, c, outward, isRed);
    Face(a, c, d, outward, isRed);
  }
};

// Ear clipping of a simple polygon (x, y pairs); triangles as index triples.
std::vector<std::array<int, 3>> Triangulate(const std::vector<double>& xy) {
  const int n = static_cast<int>(xy.size() / 2);
  double area = 0;
  for (int i = 0, j = n - 1; i < n; j = i++) area += xy[2 * j] * xy[2 * i + 1] - xy[2 * i] * xy[2 * j + 1];
  const double sign = area > 0 ? 1 : -1;
  std::vector<int> left;
  for (int i = 0; i < n; ++i) left.push_back(i);
  auto cross = [&](int a, int b, int c) {
    return (xy[2 * b] - xy[2 * a]) * (xy[2 * c + 1] - xy[2 * a + 1]) -
           (xy[2 * b + 1] - xy[2 * a + 1]) * (xy[2 * c] - xy[2 * a]);
  };
  std::vector<std::array<int, 3>> out;
  while (left.size() > 3) {
    bool clipped = false;
    for (size_t k = 0; k < left.size() && !clipped; ++k) {
      const int a = left[(k + left.size() - 1) % left.size()], b = left[k], c = left[(k + 1) % left.size()];
      if (cross(a, b, c) * sign <= 0) continue;  // a reflex corner
      bool empty = true;
      for (int p : left) {
        if (p == a || p == b || p == c) continue;
        if (cross(a, b, p) * sign >= 0 && cross(b, c, p) * sign >= 0 && cross(c, a, p) * sign >= 0) empty = false;
      }
      if (!empty) continue;
      out.push_back({a, b, c});
      left.erase(left.begin() + static_cast<long>(k));
      clipped = true;
    }
    if (!clipped) throw std::runtime_error("the logo's outline does not triangulate");
  }
  out.push_back({left[0], left[1], left[2]});
  return out;
}

// The engine's rotations in its own convention (angles in 4096ths of a turn), used to
// carry the view frame back to the mesh's frame.
void RotateX(double angle, Vec& v) {
  const double a = angle * 2 * kPi / 4096, c = std::cos(a), s = std::sin(a);
  const double y = v[1] * c - v[2] * s, z = v[2] * c + v[1] * s;
  v[1] = y, v[2] = z;
}
void RotateY(double angle, Vec& v) {
  const double a = angle * 2 * kPi / 4096, c = std::cos(a), s = std::sin(a);
  const double x = v[0] * c - v[2] * s, z = v[2] * c + v[0] * s;
  v[0] = x, v[2] = z;
}

Mesh Finish(const Builder& b, const std::vector<std::array<int, 3>>& order, double ax, double ay) {
  Mesh m;
  for (Vec v : b.points) {
    // Undo the turn the game gives the mesh (about y, then about x) ...
    RotateX(-ax, v);
    RotateY(-ay, v);
    // ... and go from the engine's frame (y down, z away) to the file's (z up, y away).
    m.vertices.push_back(static_cast<float>(v[0]));
    m.vertices.push_back(static_cast<float>(v[2]));
    m.vertices.push_back(static_cast<float>(-v[1]));
  }
  for (const auto& f : order)
    for (int i : f) m.faces.push_back(static_cast<uint16_t>(i));
  return m;
}

}  // namespace

std::vector<uint8_t> Encode3ds(const Mesh& mesh, const std::string& objectName) {
  const uint32_t nv = static_cast<uint32_t>(mesh.vertices.size() / 3);
  const uint32_t nf = static_cast<uint32_t>(mesh.faces.size() / 3);
  if (nv > 0xFFFF || nf > 0xFFFF) throw std::runtime_error("mesh too large for 3DS");
  std::vector<uint8_t> vertices, faces, mapping;
  Put16(vertices, nv);
  float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
  for (uint32_t i = 0; i < nv; ++i)
    for (int k = 0; k < 3; ++k) {
      const float v = mesh.vertices[3 * i + k];
      PutFloat(vertices, v);
      lo[k] = std::fmin(lo[k], v);
      hi[k] = std::fmax(hi[k], v);
    }
  Put16(faces, nf);
  for (uint32_t i = 0; i < nf; ++i) {
    for (int k = 0; k < 3; ++k) Put16(faces, mesh.faces[3 * i + k]);
    Put16(faces, 7);  // edge visibility flags of all three edges
  }
  // A planar mapping over the front (x, z), one coordinate per vertex.
  Put16(mapping, nv);
  for (uint32_t i = 0; i < nv; ++i) {
    PutFloat(mapping, (mesh.vertices[3 * i] - lo[0]) / std::fmax(hi[0] - lo[0], 1.f));
    PutFloat(mapping, (mesh.vertices[3 * i + 2] - lo[2]) / std::fmax(hi[2] - lo[2], 1.f));
  }
  std::vector<uint8_t> trimesh = Chunk(0x4110, vertices);
  Append(trimesh, Chunk(0x4120, faces));
  Append(trimesh, Chunk(0x4140, mapping));
  std::vector<uint8_t> object(objectName.begin(), objectName.end());
  object.push_back(0);
  Append(object, Chunk(0x4100, trimesh));
  std::vector<uint8_t> version;
  Put32(version, 3);
  std::vector<uint8_t> editor = Chunk(0x3D3E, version);  // mesh version
  Append(editor, Chunk(0x4000, object));
  std::vector<uint8_t> main = Chunk(0x0002, version);  // 10 bytes: the reader skips it
  Append(main, Chunk(0x3D3D, editor));
  return Chunk(0x4D4D, main);
}

Mesh EngineLogoMesh() {
  Builder b;
  // The ring: white face, back and inside, red rim; 18 segments.
  constexpr int kSegments = 18;
  constexpr double kOuter = 400, kInner = 320, kRingFront = -40, kRingBack = 40;
  int ring[kSegments][4];  // outer front, outer back, inner front, inner back
  for (int i = 0; i < kSegments; ++i) {
    const double a = 2 * kPi * i / kSegments, c = std::cos(a), s = std::sin(a);
    ring[i][0] = b.Point(kOuter * c, kOuter * s, kRingFront);
    ring[i][1] = b.Point(kOuter * c, kOuter * s, kRingBack);
    ring[i][2] = b.Point(kInner * c, kInner * s, kRingFront);
    ring[i][3] = b.Point(kInner * c, kInner * s, kRingBack);
  }
  for (int i = 0; i < kSegments; ++i) {
    const int j = (i + 1) % kSegments;
    const double a = 2 * kPi * (i + 0.5) / kSegments;
    const Vec radial{std::cos(a), std::sin(a), 0};
    b.Quad(ring[i][0], ring[j][0], ring[j][2], ring[i][2], {0, 0, -1}, false);   // face
    b.Quad(ring[i][1], ring[j][1], ring[j][3], ring[i][3], {0, 0, 1}, false);    // back
    b.Quad(ring[i][0], ring[j][0], ring[j][1], ring[i][1], radial, true);        // rim
    b.Quad(ring[i][2], ring[j][2], ring[j][3], ring[i][3], {-radial[0], -radial[1], 0}, false);  // inside
  }
  // The bolt: a zig-zag of twelve corners, red on its face and sides, white behind.
  const double outline[] = {-40, -300, 150, -300, 60, -120, 150, -120, 30, 60,  120, 60,
                            20,  170,  -120, 300, -30, 110, -120, 110, -10, -70, -100, -70};
  std::vector<double> xy;
  for (double v : outline) xy.push_back(v * 0.85);
  constexpr double kBoltFront = -75, kBoltBack = 25;
  const int n = static_cast<int>(xy.size() / 2);
  std::vector<int> front, back;
  for (int i = 0; i < n; ++i) {
    front.push_back(b.Point(xy[2 * i], xy[2 * i + 1], kBoltFront));
    back.push_back(b.Point(xy[2 * i], xy[2 * i + 1], kBoltBack));
  }
  for (const auto& t : Triangulate(xy)) {
    b.Face(front[t[0]], front[t[1]], front[t[2]], {0, 0, -1}, true);
    b.Face(back[t[0]], back[t[1]], back[t[2]], {0, 0, 1}, false);
  }
  double area = 0;
  for (int i = 0, j = n - 1; i < n; j = i++) area += xy[2 * j] * xy[2 * i + 1] - xy[2 * i] * xy[2 * j + 1];
  for (int i = 0; i < n; ++i) {
    const int j = (i + 1) % n;
    // The edge's outward normal in the plane, from the outline's winding.
    const double ex = xy[2 * j] - xy[2 * i], ey = xy[2 * j + 1] - xy[2 * i + 1];
    const Vec outward = area > 0 ? Vec{ey, -ex, 0} : Vec{-ey, ex, 0};
    b.Quad(front[i], front[j], back[j], back[i], outward, true);
  }
  if (b.red.size() != 70) throw std::runtime_error("the logo needs exactly 70 red faces");
  // Red faces into the red positions of the game's table, white ones around them.
  std::vector<std::array<int, 3>> order;
  size_t r = 0, w = 0;
  for (int i = 0; i < 120; ++i) order.push_back(LogoFaceIsRed(static_cast<uint32_t>(i)) ? b.red[r++] : b.white[w++]);
  while (w < b.white.size()) order.push_back(b.white[w++]);
  // The game turns the logo by (2488, 1536, 0) at the middle of its animation.
  return Finish(b, order, 2488, 1536);
}

Mesh MenuCubeMesh() {
  Builder b;
  constexpr double h = 150;
  int corner[8];
  for (int i = 0; i < 8; ++i) corner[i] = b.Point(i & 1 ? h : -h, i & 2 ? h : -h, i & 4 ? h : -h);
  // Each side: its four corners in order around it, and its outward direction.
  const int sides[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
  const Vec out[6] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
  for (int s = 0; s < 6; ++s)
    b.Quad(corner[sides[s][0]], corner[sides[s][1]], corner[sides[s][2]], corner[sides[s][3]], out[s], false);
  return Finish(b, b.white, 0, 0);
}

}  // namespace k2art
