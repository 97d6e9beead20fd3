// The display service, second half: opening the framebuffer ("/dev/fb0" through the device
// handles of HandleDevicePtr), the surfaces the display keeps (back buffer, conversion
// surface, built-in font), presenting the back buffer with Flip, and creating surfaces bound
// to the engine context.
//
// The application draws every frame into `backbuffer`, in the back-buffer format it chose
// (ZOLTCONFIG::backbufferformat; 32 means the framebuffer's own format). When that format
// differs from the framebuffer's, Flip first converts the whole back buffer into
// `convsurface` with one BltFast and copies from there.
//
// Rotation costs nothing here: surfaces already hold their pixels in buffer coordinates,
// which are the framebuffer's, so Flip is a straight copy of the flip rectangle, one
// memcpy per row.
//
// The framebuffer is mapped and addressed with one stride: its line length as the device
// reports it (FBIOGET_FSCREENINFO), which may be wider than the visible width.
#pragma once

#include <cstdint>

#include "engine/core/zdsp_base.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_2drgba.h"
#include "engine/graphics/zsurf_3d.h"

class ClassZDisplay2D : public ClassZDisplay {
 public:
  ClassZDisplay2D() = default;
  // Closes the display; the surfaces go with the object.
  ~ClassZDisplay2D() override;

  // Opens the framebuffer and creates the surfaces. Only a zero width or height is refused
  // (4); the back buffer always has the framebuffer's size. 3: the framebuffer's depth is
  // not 8, 16, 24 or 32 (nothing mapped). 1: the device cannot be queried or mapped, or a
  // surface cannot be created; the display is closed again in every failure case. An open
  // display is closed first.
  int Open(int* window, ZCD* zcd, uint8_t depth, uint32_t width, uint32_t height,
           bool fullscreen) override;
  // Unmaps the framebuffer (resuming a suspended display first) and frees the palette
  // lookup. The surfaces stay; the next Open creates them again.
  void Close() override;
  // The second half of Open: creates the surfaces for the mapped framebuffer, sets the flip
  // rectangle to the whole screen. 0, or 1 (display closed) when a surface does not exist
  // afterwards.
  int Initialize(int* window);
  // Queries and maps the framebuffer and sets the rotation, as Open does before it creates
  // its surfaces: 0, 1 (query or map failed) or 3 (unsupported depth).
  int OpenGP2X();

  // Presents the flip rectangle of the back buffer (converted when the formats differ).
  // Nothing while closed or suspended or when the surface to copy does not exist. With
  // configuration flag 0x04 it first waits, a bounded time, for the vertical blank.
  void Flip(bool wait = false);
  // The reverse: copies the flip rectangle of the screen into the back buffer.
  void BackFlip();
  // A logical rectangle of the back buffer to present (null: all of it), mapped into
  // buffer coordinates and limited to the buffer. A rectangle that lies outside the buffer
  // presents nothing.
  void SetFlipRect(const tagRECT* rect);
  // Copies width x height pixels of the framebuffer's depth, pixel (x, y) from
  // src + x * sxstep + y * systep to dst + x * dxstep + y * dystep (byte steps). A null src
  // writes zero bytes instead.
  void FlipCopy(void* dst, const void* src, int32_t dxstep, int32_t dystep, int32_t sxstep,
                int32_t systep, uint32_t width, uint32_t height) const;

  // The CreateSurface family: link the context into the target, then create or load it in
  // the back-buffer format and return that call's own result (4 for a null target). Image
  // and model data go through the loaders registered with this display; the data stays
  // the caller's. 8-bit file names are widened (at most 511 characters).
  int CreateSurface(Z2DSurface* surface, uint32_t width, uint32_t height, uint32_t flags);
  int CreateSurface(Z2DSurface* surface, const void* data, uint32_t size, uint32_t loadflags);
  int CreateSurface(Z2DSurface* surface, const char* filename, uint32_t loadflags);
  int CreateSurface(Z2DSurface* surface, const uint16_t* filename, uint32_t loadflags);
  int CreateSurface(Z2DSurfaceRGBA* surface, uint32_t width, uint32_t height, uint32_t flags);
  int CreateSurface(Z2DSurfaceRGBA* surface, const void* data, uint32_t size, uint32_t loadflags);
  int CreateSurface(Z2DSurfaceRGBA* surface, const char* filename, uint32_t loadflags);
  int CreateSurface(Z2DSurfaceRGBA* surface, const uint16_t* filename, uint32_t loadflags);
  int CreateSurface(Z3DSurface* mesh, uint32_t vertices, uint32_t polygons);
  int CreateSurface(Z3DSurface* mesh, const void* data, uint32_t size);
  int CreateSurface(Z3DSurface* mesh, const char* filename);
  int CreateSurface(Z3DSurface* mesh, const uint16_t* filename);

  // Frees the three surfaces and unlinks them from the context. The framework calls it
  // before the services the surfaces allocate from are destroyed.
  void FreeSurfaces();

  // Bytes between two framebuffer rows, and the size of the mapping (0 when closed).
  uint32_t FramebufferStride() const { return fbstride; }
  uint32_t FramebufferMapSize() const { return fbmapsize; }

  Z2DSurface convsurface;  // in the framebuffer's format, only when the formats differ
  Z2DSurface backbuffer;   // the application draws here
  Z2DSurface font;         // the built-in font: 708 x 14, characters 32-127

 private:
  // Reads the screen information and maps the framebuffer: 0, 1 or 3.
  int MapFramebuffer();
  void UnmapFramebuffer();
  // The surface Flip copies from, or null when it does not exist in the expected format.
  Z2DSurface* PresentedSurface();

  uint32_t fbstride = 0;
  uint32_t fbmapsize = 0;
};
