// The game's two meshes and the 3DS writer they are stored with: the main chunk, the
// version chunk of 10 bytes, an editor chunk with one named object whose triangle mesh
// holds the vertex list (floats), the face list and one mapping coordinate per vertex.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace k2art {

struct Mesh {
  std::vector<float> vertices;  // x, y, z in the file's frame: z up, the viewer at -y
  std::vector<uint16_t> faces;  // a, b, c, counter-clockwise seen from outside
};

std::vector<uint8_t> Encode3ds(const Mesh& mesh, const std::string& objectName);

// The engine's logo: a white ring with a red rim around a red lightning bolt. The game
// paints faces 0-119 red or white from a fixed table; the red faces (bolt and rim) are
// placed in that table's red positions. Built so that it faces the viewer squarely in
// the middle of the game's logo animation, about 400 units in radius.
Mesh EngineLogoMesh();
// The menu marker: a cube of 300 units.
Mesh MenuCubeMesh();

}  // namespace k2art
