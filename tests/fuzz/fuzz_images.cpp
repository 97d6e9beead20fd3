// Fuzz targets of the image loaders: PNG and BMP into real surfaces of every format and
// rotation (and RGBA surfaces), 3DS into a mesh that is then transformed and drawn.
#include "engine/graphics/zdsp_standalone.h"
#include "engine/graphics/zldr_3ds.h"
#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_png.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_2drgba.h"
#include "engine/graphics/zsurf_3d.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

// The first byte chooses the target: format 1-6, rotation, dithering, palette remapping,
// premultiplied storage and whether an RGBA surface loads it. The rest is the file.
template <class Loader>
int LoadImage(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t choice = data[0];
  const uint8_t format = uint8_t(1 + choice % 6);
  const uint8_t rotation = choice >> 3 & 3;
  uint32_t flags = 1;
  if (choice & 0x20) flags |= LDR_DITHER;
  if (choice & 0x40) flags |= LDR_REMAP_PALETTE;
  ZStandaloneDisplay engine(rotation, format);
  engine.display.RegisterLoader(new Loader);
  const uint8_t* image = data + 1;
  const uint32_t length = uint32_t(size - 1);
  int r;
  uint32_t width = 0, height = 0;
  if (choice & 0x80) {
    if (choice & 0x20) flags |= LDR_PREMULTIPLIED;
    Z2DSurfaceRGBA surface;
    surface.LinkZCD(&engine.zcd);
    r = surface.LoadImage(image, length, format == 1 ? 6 : format, flags);
    width = surface.GetWidth();
    height = surface.GetHeight();
  } else {
    Z2DSurface surface;
    surface.LinkZCD(&engine.zcd);
    r = surface.LoadImage(image, length, format, flags);
    width = surface.GetWidth();
    height = surface.GetHeight();
    if (r == Z2D_OK) {
      // Something to draw with what was loaded.
      Z2DSurface target;
      target.LinkZCD(&engine.zcd);
      FUZZ_CHECK(target.Create(32, 24, format, 1) == Z2D_OK);
      target.BltFast(-3, -2, &surface, nullptr, 0, 0);
    }
  }
  FUZZ_CHECK(r == Z2D_OK || r == Z2D_FAILED || r == Z2D_NOMEMORY || r == Z2D_NOTHANDLED ||
             r == Z2D_BADARG || r == Z2D_FORMATS);
  // Success means a whole image no larger than the engine ever decodes.
  if (r == Z2D_OK) FUZZ_CHECK(width > 0 && height > 0 && !ZLoader_TooLarge(width, height));
  return 0;
}

}  // namespace

int FuzzPng(const uint8_t* data, size_t size) { return LoadImage<ZLoader_PNG>(data, size); }

int FuzzBmp(const uint8_t* data, size_t size) { return LoadImage<ZLoader_BMP>(data, size); }

// A model loads, or fails with a code; what loads is moved, lit and drawn every way.
int Fuzz3ds(const uint8_t* data, size_t size) {
  ZStandaloneDisplay engine(0, 4);
  engine.display.RegisterLoader(new ZLoader_3DS);
  engine.display.SetRenderSize(64);
  Z3DSurface mesh;
  mesh.LinkZCD(&engine.zcd);
  const int r = mesh.LoadModel(data, uint32_t(size));
  FUZZ_CHECK(r == 0 || r == 1 || r == 2 || r == 3);
  if (r != 0) return 0;
  FUZZ_CHECK(mesh.VerticesInUse() <= mesh.vertexcapacity);
  FUZZ_CHECK(mesh.PolygonsInUse() <= mesh.polygoncapacity);
  Z2DSurface target;
  target.LinkZCD(&engine.zcd);
  FUZZ_CHECK(target.Create(64, 48, 4, 1) == Z2D_OK);
  mesh.SetLightSource(1, -2, 3, 64, 64);
  mesh.Rotate(100, 200, 300);
  mesh.Scale(0x8000, 0x8000, 0x8000);
  for (uint32_t flags : {0x000u, 0x200u, 0x100u, 0x400u}) target.Render(0, 0, &mesh, flags, 0);
  mesh.Reset();
  return 0;
}
