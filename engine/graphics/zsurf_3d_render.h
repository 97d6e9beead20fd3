// Drawing a Z3DSurface onto a Z2DSurface.
#pragma once

#include <cstdint>

#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_3d.h"

// Projects the mesh with its centre at the middle of the surface shifted by (x, y), culls
// back faces (not in wireframe), sorts far to near and draws each polygon: textured
// (RENDER_TEXTURED; polygons without a texture are skipped), else gouraud from the vertex
// light (RENDER_GOURAUD), else three lines (RENDER_WIREFRAME), else filled; RENDER_FLAT
// takes the lit colour for fills and lines. The whole flags value reaches the fillers.
void Z2DSurface_Render(Z2DSurface* s, int32_t x, int32_t y, Z3DSurface* mesh, uint32_t flags,
                       uint32_t property);
