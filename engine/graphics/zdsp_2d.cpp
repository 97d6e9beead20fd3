#include "engine/graphics/zdsp_base.h"

#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <sys/mman.h>

#include <cstring>

#include "engine/core/zmod_devptr.h"
#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_platform.h"
#include "engine/core/zmod_std.h"
#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_lock.h"
#include "seam/gp2x_seam.h"

namespace {

enum : uint32_t {
  kVBlankRegister = 0x1182,
  kVBlankBusy = 0x10,
  // The blank comes 50-60 times a second; a register that never clears must not hang the
  // frame loop. The read count bounds the wait where reading costs no time.
  kVBlankWaitMicros = 20000,
  kVBlankMaxReads = 1u << 20,
};

uint8_t FormatOfDepth(uint32_t bits, uint32_t greenlength) {
  switch (bits) {
    case 8: return ZFMT_INDEX8;
    case 16: return greenlength == 6 ? ZFMT_RGB565 : ZFMT_RGB555;
    case 24: return ZFMT_RGB888;
    case 32: return ZFMT_XRGB8888;
    default: return 0;
  }
}

void WaitVerticalBlank() {
  if (!zdevicereg_ptr16) return;
  const volatile uint8_t* reg = reinterpret_cast<const volatile uint8_t*>(zdevicereg_ptr16);
  const uint64_t start = ZPlatform_NowMicros();
  for (uint32_t reads = 0; reads < kVBlankMaxReads; ++reads) {
    if (!(gp2x::peek16(reg + kVBlankRegister) & kVBlankBusy)) return;
    if ((reads & 63) == 63 && ZPlatform_NowMicros() - start > kVBlankWaitMicros) return;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Open and close

int ClassZDisplay::MapFramebuffer() {
  UnmapFramebuffer();
  const int fd = zdeviceptr[1];
  fb_var_screeninfo var{};
  fb_fix_screeninfo fix{};
  if (fd < 0 || gp2x::ioctl(fd, FBIOGET_VSCREENINFO, &var) != 0 ||
      gp2x::ioctl(fd, FBIOGET_FSCREENINFO, &fix) != 0)
    return 1;
  const uint8_t format = FormatOfDepth(var.bits_per_pixel, var.green.length);
  if (!format) return 3;
  const uint64_t rowbytes = uint64_t(var.xres) * (var.bits_per_pixel / 8);
  const uint64_t mapsize = uint64_t(fix.line_length) * var.yres;
  if (!var.xres || !var.yres || var.xres > Z2D_MAXSIZE || var.yres > Z2D_MAXSIZE ||
      fix.line_length < rowbytes || mapsize > 0x7FFFFFFFu)
    return 1;
  void* map = gp2x::mmap(nullptr, size_t(mapsize), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED || !map) return 1;
  framebuffer = static_cast<uint8_t*>(map);
  fbmapsize = uint32_t(mapsize);
  fbstride = fix.line_length;
  fbwidth = var.xres;
  fbheight = var.yres;
  bitsperpixel = uint8_t(var.bits_per_pixel);
  fbformat = format;
  return 0;
}

void ClassZDisplay::UnmapFramebuffer() {
  if (framebuffer) gp2x::munmap(framebuffer, fbmapsize);
  framebuffer = nullptr;
  fbmapsize = 0;
  fbstride = 0;
}

int ClassZDisplay::Open(int* win, ZCD* context, uint8_t, uint32_t width, uint32_t height,
                        bool) {
  if (backbufferformat) Close();
  if (!width || !height) return 4;
  if (!context || !context->config) return 4;
  zcd = context;
  ZOLTCONFIG* config = context->config;
  config->surfaceflags &= 0x0F;
  fullscreen = config->fullscreen;
  xstep = ystep = 1;
  axisexchange = 0;
  suspended = 0;
  const int mapped = MapFramebuffer();
  if (mapped) return mapped;
  SetRotation(config->rotation);
  systemrotation = 0;
  uint8_t format = config->backbufferformat == 32 ? fbformat : config->backbufferformat;
  if (format == ZFMT_RGB555) format = ZFMT_RGB565;
  if (format == ZFMT_RGB888) format = ZFMT_XRGB8888;
  if (!format) {
    // Nothing would mark the display open: undo the mapping here.
    UnmapFramebuffer();
    return 1;
  }
  backbufferformat = format;
  return Initialize(win);
}

int ClassZDisplay::OpenGP2X() {
  const int mapped = MapFramebuffer();
  if (mapped) return mapped;
  SetRotation(zcd && zcd->config ? zcd->config->rotation : 0);
  systemrotation = 0;
  return 0;
}

int ClassZDisplay::Initialize(int* win) {
  const uint32_t w = axisexchange ? fbheight : fbwidth;
  const uint32_t h = axisexchange ? fbwidth : fbheight;
  const uint32_t surfaceflags = zcd && zcd->config ? zcd->config->surfaceflags : 1;
  const uint32_t flags = zcd && zcd->config ? zcd->config->flags : 0;
  // Surfaces link the context so that they draw through this display's rotation.
  convsurface.LinkZCD(zcd);
  backbuffer.LinkZCD(zcd);
  bool ok;
  if (backbufferformat == fbformat) {
    convsurface.Free();
    ok = backbuffer.Create(w, h, backbufferformat, uint32_t(fbformat) << 8) == Z2D_OK;
  } else {
    ok = convsurface.Create(w, h, fbformat, uint32_t(fbformat) << 8) == Z2D_OK &&
         convsurface.Created() && convsurface.format == fbformat &&
         backbuffer.Create(w, h, backbufferformat, surfaceflags) == Z2D_OK;
  }
  // A creation can answer 0 without a surface (kind 0 with no configured kind): look.
  ok = ok && backbuffer.Created() && backbuffer.buffer && backbuffer.format == backbufferformat &&
       uint32_t(backbuffer.rowlength) == fbwidth && uint32_t(backbuffer.rows) == fbheight;
  if (!ok) {
    Close();
    return 1;
  }
  if (flags & ZCONFIG_NOFONT) {
    font.Free();
  } else {
    ClassZMemory* memory = zcd ? zcd->memory : nullptr;
    if (ZDisplay_CreateInternalFont(this, &font, memory, surfaceflags) != Z2D_OK ||
        !font.Created()) {
      Close();
      return 1;
    }
    font.SetColorKey(ZDisplay_InternalFontKey(font.format));
    font.BuildTableVwf(128);
    font.SetFontCharacters(32, 127);
  }
  virtualwidth = fbwidth;
  virtualheight = fbheight;
  fliprect = {0, 0, int32_t(fbwidth), int32_t(fbheight)};
  rendersize = fbwidth < fbheight ? fbwidth : fbheight;
  window = win;
  if (flags & ZCONFIG_BACKFLIP) BackFlip();
  palettecacheformat = 0;
  return 0;
}

void ClassZDisplay::Close() {
  if (!backbufferformat) return;
  if (suspended) Resume();
  UnmapFramebuffer();
  ClassZMemory::DeAlloc(palettelookup);
  palettelookup = nullptr;
  backbufferformat = 0;
}

void ClassZDisplay::FreeSurfaces() {
  Z2DSurface* surfaces[] = {&convsurface, &backbuffer, &font};
  for (Z2DSurface* s : surfaces) {
    s->Free();
    s->LinkZCD(nullptr);
  }
}

// ---------------------------------------------------------------------------------------
// Presentation

Z2DSurface* ClassZDisplay::PresentedSurface() {
  Z2DSurface* s = backbufferformat == fbformat ? &backbuffer : &convsurface;
  if (!s->Created() || s->format != fbformat || uint32_t(s->rowlength) != fbwidth ||
      uint32_t(s->rows) != fbheight)
    return nullptr;
  if (s == &convsurface && (!backbuffer.Created() || backbuffer.format != backbufferformat))
    return nullptr;
  return s;
}

void ClassZDisplay::Flip(bool) {
  if (suspended || !backbufferformat || !framebuffer) return;
  Z2DSurface* source = PresentedSurface();
  if (!source) return;
  if (source == &convsurface) convsurface.BltFast(0, 0, &backbuffer, nullptr, 0, 0);
  Z2DSURFACEINFO info{};
  const ZSurfLock<Z2DSurface> lock(source, &info);
  const uint8_t* pixels = lock.Pixels();
  // Asked every frame as on the console; the device learns here that the previous frame
  // is complete. The stride stays the one the mapping was made with.
  fb_var_screeninfo var{};
  gp2x::ioctl(zdeviceptr[1], FBIOGET_VSCREENINFO, &var);
  if (!pixels) return;
  if (zcd && zcd->config && (zcd->config->flags & ZCONFIG_VBLANK)) WaitVerticalBlank();
  const tagRECT& r = fliprect;
  if (r.left < r.right && r.top < r.bottom) {
    const uint32_t bytes = bitsperpixel / 8u;
    FlipCopy(framebuffer + size_t(r.top) * fbstride + size_t(r.left) * bytes,
             pixels + size_t(r.top) * uint32_t(info.pitch) + size_t(r.left) * bytes,
             int32_t(bytes), int32_t(fbstride), int32_t(bytes), info.pitch,
             uint32_t(r.right - r.left), uint32_t(r.bottom - r.top));
  }
}

void ClassZDisplay::BackFlip() {
  if (suspended || !backbufferformat || !framebuffer) return;
  if (!backbuffer.Created() || backbuffer.format != backbufferformat) return;
  Z2DSurface* target = PresentedSurface();
  if (!target) return;
  {
    Z2DSURFACEINFO info{};
    const ZSurfLock<Z2DSurface> lock(target, &info);
    uint8_t* pixels = lock.Pixels();
    if (!pixels) return;
    const tagRECT& r = fliprect;
    if (r.left < r.right && r.top < r.bottom) {
      const uint32_t bytes = bitsperpixel / 8u;
      FlipCopy(pixels + size_t(r.top) * uint32_t(info.pitch) + size_t(r.left) * bytes,
               framebuffer + size_t(r.top) * fbstride + size_t(r.left) * bytes, int32_t(bytes),
               info.pitch, int32_t(bytes), int32_t(fbstride), uint32_t(r.right - r.left),
               uint32_t(r.bottom - r.top));
    }
  }
  if (target == &convsurface) backbuffer.BltFast(0, 0, &convsurface, nullptr, 0, 0);
}

void ClassZDisplay::SetFlipRect(const tagRECT* rect) {
  const int32_t w = backbuffer.Created() ? backbuffer.rowlength : 0;
  const int32_t h = backbuffer.Created() ? backbuffer.rows : 0;
  if (!rect) {
    fliprect = {0, 0, w, h};
    return;
  }
  tagRECT r = *rect;
  VirtualRect(&r, uint32_t(w), uint32_t(h));
  if (r.left < 0) r.left = 0;
  if (r.top < 0) r.top = 0;
  if (r.right > w) r.right = w;
  if (r.bottom > h) r.bottom = h;
  // Clamping each side alone can leave left past right: that presents nothing.
  if (r.left >= r.right || r.top >= r.bottom) r = {0, 0, 0, 0};
  fliprect = r;
}

void ClassZDisplay::FlipCopy(void* dst, const void* src, int32_t dxstep, int32_t dystep,
                             int32_t sxstep, int32_t systep, uint32_t width,
                             uint32_t height) const {
  const uint32_t bytes = bitsperpixel / 8u;
  if (!dst || !bytes || !width || !height) return;
  uint8_t* d = static_cast<uint8_t*>(dst);
  const uint8_t* s = static_cast<const uint8_t*>(src);
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* drow = d + ptrdiff_t(y) * dystep;
    if (dxstep == int32_t(bytes) && (!s || sxstep == int32_t(bytes))) {
      if (s)
        std::memcpy(drow, s + ptrdiff_t(y) * systep, size_t(width) * bytes);
      else
        std::memset(drow, 0, size_t(width) * bytes);
      continue;
    }
    const uint8_t* srow = s ? s + ptrdiff_t(y) * systep : nullptr;
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* dp = drow + ptrdiff_t(x) * dxstep;
      if (srow)
        std::memcpy(dp, srow + ptrdiff_t(x) * sxstep, bytes);
      else
        std::memset(dp, 0, bytes);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Surfaces bound to the engine context

namespace {

// An 8-bit file name as the 16-bit name the loaders take.
struct WideName {
  explicit WideName(const char* name) {
    if (name) ClassZStd::StrCpy(text, name, int32_t(sizeof text / sizeof text[0]));
  }
  uint16_t text[512] = {};
};

}  // namespace

int ClassZDisplay::CreateSurface(Z2DSurface* surface, uint32_t width, uint32_t height,
                                 uint32_t flags) {
  if (!surface) return Z2D_BADARG;
  return surface->LinkZCD(zcd)->Create(width, height, backbufferformat, flags);
}

int ClassZDisplay::CreateSurface(Z2DSurface* surface, const void* data, uint32_t size,
                                 uint32_t loadflags) {
  if (!surface) return Z2D_BADARG;
  return surface->LinkZCD(zcd)->LoadImage(data, size, backbufferformat, loadflags);
}

int ClassZDisplay::CreateSurface(Z2DSurface* surface, const char* filename, uint32_t loadflags) {
  return CreateSurface(surface, filename ? WideName(filename).text : nullptr, loadflags);
}

int ClassZDisplay::CreateSurface(Z2DSurface* surface, const uint16_t* filename,
                                 uint32_t loadflags) {
  if (!surface) return Z2D_BADARG;
  return surface->LinkZCD(zcd)->LoadImage(filename, backbufferformat, loadflags);
}

int ClassZDisplay::CreateSurface(Z2DSurfaceRGBA* surface, uint32_t width, uint32_t height,
                                 uint32_t flags) {
  if (!surface) return Z2D_BADARG;
  return surface->LinkZCD(zcd)->Create(width, height, backbufferformat, flags);
}

int ClassZDisplay::CreateSurface(Z2DSurfaceRGBA* surface, const void* data, uint32_t size,
                                 uint32_t loadflags) {
  if (!surface) return Z2D_BADARG;
  return surface->LinkZCD(zcd)->LoadImage(data, size, backbufferformat, loadflags);
}

int ClassZDisplay::CreateSurface(Z2DSurfaceRGBA* surface, const char* filename,
                                 uint32_t loadflags) {
  return CreateSurface(surface, filename ? WideName(filename).text : nullptr, loadflags);
}

int ClassZDisplay::CreateSurface(Z2DSurfaceRGBA* surface, const uint16_t* filename,
                                 uint32_t loadflags) {
  if (!surface) return Z2D_BADARG;
  return surface->LinkZCD(zcd)->LoadImage(filename, backbufferformat, loadflags);
}

int ClassZDisplay::CreateSurface(Z3DSurface* mesh, uint32_t vertices, uint32_t polygons) {
  if (!mesh) return Z2D_BADARG;
  return mesh->LinkZCD(zcd)->Create(vertices, polygons);
}

int ClassZDisplay::CreateSurface(Z3DSurface* mesh, const void* data, uint32_t size) {
  if (!mesh) return Z2D_BADARG;
  return mesh->LinkZCD(zcd)->LoadModel(data, size);
}

int ClassZDisplay::CreateSurface(Z3DSurface* mesh, const char* filename) {
  return CreateSurface(mesh, filename ? WideName(filename).text : nullptr);
}

int ClassZDisplay::CreateSurface(Z3DSurface* mesh, const uint16_t* filename) {
  if (!mesh) return Z2D_BADARG;
  return mesh->LinkZCD(zcd)->LoadModel(filename);
}
