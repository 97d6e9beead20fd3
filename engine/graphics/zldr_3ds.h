// 3DS mesh reader: the triangle mesh of the first named object of the editor chunk
// (vertex list, face list, mapping list); materials, lights, cameras, the keyframer and
// further objects are skipped.
//
// Results: 3 when the data do not start with the main chunk id 0x4D4D; 1 for a chunk
// whose length is below its 6-byte header or runs past its parent, a list whose count
// does not fit its chunk, or a missing vertex or face list; else the mesh callbacks'.
#pragma once

#include <cstdint>

#include "engine/graphics/zldr_loader.h"

class ZLoader_3DS : public ClassZLoaderBase {
 public:
  using ClassZLoaderBase::Start;
  int Start(Z3DSurface* mesh, const void* data, uint32_t size) override;

  // Where the lists of the mesh lie (offset of the count, chunk end); 0 when absent.
  struct MeshInfo {
    uint32_t vertices, verticesend;
    uint32_t faces, facesend;
    uint32_t mapping, mappingend;
  };

  // The walks: each reads the chunks in [begin, end) and fails (1) on a bad length.
  int LoadObjectData(uint32_t begin, uint32_t end, MeshInfo* mesh);  // editor chunk
  int LoadObjectInfo(uint32_t begin, uint32_t end, MeshInfo* mesh);  // named object
  int LoadObjectMeshInfo(uint32_t begin, uint32_t end, MeshInfo* mesh);  // triangle mesh
};
