// Drawing a mesh with the polygon fillers.
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_3d.h"

#include "engine/graphics/zx_polygon.h"
#include "engine/graphics/zx_span.h"

void Z2DSurface::Render(int32_t x, int32_t y, Z3DSurface* mesh, uint32_t flags, uint32_t property) {
  if (!mesh || !mesh->polygoncapacity || !mesh->vertexcapacity) return;
  if (!Created() || !buffer) return;
  const uint32_t n = mesh->PrepareRender(GetWidth(), GetHeight(), !(flags & RENDER_WIREFRAME));
  const int64_t ox = int64_t(x) * 1024, oy = int64_t(y) * 1024;
  auto fx = [&](const ZVERTEX3D* v) { return ZxClamp32(ox + (v->px >> 6)); };
  auto fy = [&](const ZVERTEX3D* v) { return ZxClamp32(oy + (v->py >> 6)); };
  auto px = [&](const ZVERTEX3D* v) { return ZxClamp32(int64_t(x) + (v->px >> 16)); };
  auto py = [&](const ZVERTEX3D* v) { return ZxClamp32(int64_t(y) + (v->py >> 16)); };
  for (uint32_t i = 0; i < n; ++i) {
    ZPOLYGON3D* p = mesh->drawlist[i];
    ZVERTEX3D *a = p->a, *b = p->b, *c = p->c;
    if (flags & RENDER_TEXTURED) {
      if (p->texture)
        TexturePolyV(fx(a), fy(a), p->u[0], p->v[0], fx(b), fy(b), p->u[1], p->v[1], fx(c), fy(c),
                     p->u[2], p->v[2], p->texture, int32_t(flags), property);
    } else if (flags & RENDER_GOURAUD) {
      a->colour = Z3DSurface::LitColour(p->colour, a->light);
      b->colour = Z3DSurface::LitColour(p->colour, b->light);
      c->colour = Z3DSurface::LitColour(p->colour, c->light);
      GradientPolyV(fx(a), fy(a), a->colour, fx(b), fy(b), b->colour, fx(c), fy(c), c->colour,
                    int32_t(flags));
    } else {
      const uint32_t colour = (flags & RENDER_FLAT) ? p->litcolour : p->colour;
      if (flags & RENDER_WIREFRAME) {
        DrawLine(px(a), py(a), px(b), py(b), colour, int32_t(flags), 0);
        DrawLine(px(b), py(b), px(c), py(c), colour, int32_t(flags), 0);
        DrawLine(px(c), py(c), px(a), py(a), colour, int32_t(flags), 0);
      } else {
        FillPolyV(fx(a), fy(a), fx(b), fy(b), fx(c), fy(c), colour, int32_t(flags), property);
      }
    }
  }
}
