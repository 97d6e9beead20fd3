// 3DS mesh reader. Every chunk is checked against its parent before it is entered or
// skipped, so a length of 0-5 or one past the data ends the load instead of looping, and
// every list is read only as far as its chunk holds it.
#include "engine/graphics/zldr_3ds.h"

#include <cstring>

#include "engine/core/zmod_math.h"
#include "engine/graphics/zsurf_3d.h"

namespace {

constexpr uint16_t kMain = 0x4D4D;
constexpr uint16_t kEditor = 0x3D3D;
constexpr uint16_t kObject = 0x4000;
constexpr uint16_t kTriMesh = 0x4100;
constexpr uint16_t kVertexList = 0x4110;
constexpr uint16_t kFaceList = 0x4120;
constexpr uint16_t kMappingList = 0x4140;

constexpr uint32_t kVertexBatch = 85;
constexpr uint32_t kFaceBatch = 64;

}  // namespace

// Calls f(id, body, end) for each chunk in [begin, end); 1 on a bad length, else 0 or the
// first non-zero result of f.
template <class F>
static int ForEachChunk(const uint8_t* data, uint32_t begin, uint32_t end, F f) {
  uint32_t pos = begin;
  while (end - pos >= 6 && pos < end) {
    const uint16_t id = ZLoader_Le16(data + pos);
    const uint32_t len = ZLoader_Le32(data + pos + 2);
    if (len < 6 || len > end - pos) return 1;
    const int r = f(id, pos + 6, pos + len);
    if (r) return r;
    pos += len;
  }
  return 0;
}

int ZLoader_3DS::LoadObjectMeshInfo(uint32_t begin, uint32_t end, MeshInfo* m) {
  return ForEachChunk(data_, begin, end, [&](uint16_t id, uint32_t body, uint32_t stop) {
    if (id == kVertexList && !m->vertices) {
      m->vertices = body;
      m->verticesend = stop;
    } else if (id == kFaceList && !m->faces) {
      m->faces = body;
      m->facesend = stop;
    } else if (id == kMappingList && !m->mapping) {
      m->mapping = body;
      m->mappingend = stop;
    }
    return 0;
  });
}

int ZLoader_3DS::LoadObjectInfo(uint32_t begin, uint32_t end, MeshInfo* m) {
  // The object's name: zero-terminated, inside the chunk.
  uint32_t pos = begin;
  while (pos < end && data_[pos]) ++pos;
  if (pos >= end) return 1;
  return ForEachChunk(data_, pos + 1, end, [&](uint16_t id, uint32_t body, uint32_t stop) {
    return id == kTriMesh ? LoadObjectMeshInfo(body, stop, m) : 0;
  });
}

int ZLoader_3DS::LoadObjectData(uint32_t begin, uint32_t end, MeshInfo* m) {
  bool taken = false;
  return ForEachChunk(data_, begin, end, [&](uint16_t id, uint32_t body, uint32_t stop) {
    if (id != kObject || taken) return 0;
    taken = true;
    std::memset(m, 0, sizeof(*m));  // a later editor chunk's object replaces an earlier one
    return LoadObjectInfo(body, stop, m);
  });
}

int ZLoader_3DS::Start(Z3DSurface* mesh, const void* data, uint32_t size) {
  LinkData(data, size);
  SetByteOrder(false);
  uint16_t magic = 0;
  if (!Read16(&magic) || magic != kMain) return 3;
  if (!mesh) return 4;
  if (size < 16) return 1;
  MeshInfo m;
  std::memset(&m, 0, sizeof(m));
  int r = ForEachChunk(data_, 16, size, [&](uint16_t id, uint32_t body, uint32_t stop) {
    return id == kEditor ? LoadObjectData(body, stop, &m) : 0;
  });
  if (r) return r;

  // Counts, each checked against what its chunk holds.
  uint32_t nv = 0, nf = 0, nm = 0;
  if (m.vertices) {
    if (m.verticesend - m.vertices < 2) return 1;
    nv = ZLoader_Le16(data_ + m.vertices);
    if (2 + 12ull * nv > m.verticesend - m.vertices) return 1;
  }
  if (m.faces) {
    if (m.facesend - m.faces < 2) return 1;
    nf = ZLoader_Le16(data_ + m.faces);
    if (2 + 8ull * nf > m.facesend - m.faces) return 1;
  }
  if (m.mapping) {
    if (m.mappingend - m.mapping < 2) return 1;
    nm = ZLoader_Le16(data_ + m.mapping);
    if (2 + 8ull * nm > m.mappingend - m.mapping) return 1;
  }

  ZLDR_3DCALLBACKINFO info;
  std::memset(&info, 0, sizeof(info));
  info.vertexcount = nv;
  info.polygoncount = nf;
  r = mesh->LdrOnCreate(&info);
  if (r) return r;

  int32_t batch[kVertexBatch * 3];
  for (uint32_t i = 0; i < nv && r == 0; i += kVertexBatch) {
    const uint32_t n = nv - i < kVertexBatch ? nv - i : kVertexBatch;
    for (uint32_t j = 0; j < n; ++j) {
      const uint8_t* p = data_ + m.vertices + 2 + 12 * (i + j);
      const int32_t x = ClassZMath::FloatToFixed(ZLoader_Le32(p), 0);
      const int32_t y = ClassZMath::FloatToFixed(ZLoader_Le32(p + 4), 0);
      const int32_t z = ClassZMath::FloatToFixed(ZLoader_Le32(p + 8), 0);
      batch[3 * j] = x;
      batch[3 * j + 1] = z == INT32_MIN ? INT32_MAX : -z;
      batch[3 * j + 2] = y;
    }
    info.data = batch;
    info.size = n * 12;
    r = mesh->LdrOnVertexStream(&info);
  }
  uint32_t faces[kFaceBatch * 4];
  for (uint32_t i = 0; i < nf && r == 0; i += kFaceBatch) {
    const uint32_t n = nf - i < kFaceBatch ? nf - i : kFaceBatch;
    for (uint32_t j = 0; j < n; ++j) {
      const uint8_t* p = data_ + m.faces + 2 + 8 * (i + j);
      faces[4 * j] = ZLoader_Le16(p + 4);
      faces[4 * j + 1] = ZLoader_Le16(p + 2);
      faces[4 * j + 2] = ZLoader_Le16(p);
      faces[4 * j + 3] = 0xFFFFFF;
    }
    info.data = faces;
    info.size = n * 16;
    r = mesh->LdrOnPolygonStream(&info);
  }
  if (m.mapping) {
    // One record per vertex: the list's own entries as far as they go, zeros after.
    info.texellayout = 1;
    for (uint32_t i = 0; i < nv && r == 0; i += kVertexBatch) {
      const uint32_t n = nv - i < kVertexBatch ? nv - i : kVertexBatch;
      for (uint32_t j = 0; j < n; ++j) {
        int32_t u = 0, v = 0;
        if (i + j < nm) {
          const uint8_t* p = data_ + m.mapping + 2 + 8 * (i + j);
          u = ClassZMath::FloatToFixed(ZLoader_Le32(p), 8);
          v = ClassZMath::FloatToFixed(ZLoader_Le32(p + 4), 8);
        }
        batch[3 * j] = u;
        batch[3 * j + 1] = v;
        batch[3 * j + 2] = 1;
      }
      info.data = batch;
      info.size = n * 12;
      r = mesh->LdrOnTexelStream(&info);
    }
  }
  return r;
}
