// The display service: the abstract display with its registry of image loaders, and the
// framebuffer display. The framebuffer display keeps the
// state every surface reads while it draws (the rotation, axis exchange and x/y steps, with
// the mapping helpers from logical to buffer coordinates; the 256-colour palette with its
// conversion cache and nearest-colour lookup), wipes and the built-in font, and the
// surfaces it presents: the application draws every frame into `backbuffer`, in the
// back-buffer format it chose (ZOLTCONFIG::backbufferformat; 32 means the framebuffer's own
// format). When that format differs from the framebuffer's, Flip first converts the whole
// back buffer into `convsurface` with one BltFast and copies from there.
//
// Rotation is applied when pixels are drawn, never when they are flipped: surfaces are
// stored in buffer coordinates, which are the framebuffer's, so Flip is a straight copy of
// the flip rectangle, one memcpy per row.
//
// The framebuffer is mapped and addressed with one stride: its line length as the device
// reports it (FBIOGET_FSCREENINFO), which may be wider than the visible width. The mapping
// covers line length x rows bytes, and is unmapped with that same size.
//
// Opening, closing and presentation are in zdsp_2d.cpp; the state, palette and mapping in
// zdsp_base.cpp.
#pragma once

#include <cstdint>

#include "engine/core/zolt_records.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_2drgba.h"
#include "engine/graphics/zsurf_3d.h"

class ClassZLoaderBase;
class ClassZMemory;

// ---------------------------------------------------------------------------------------
// Loader registration hook.

// Hook called before the application's OnPluginLoad; registers nothing, returns 1.
class ClassZDisplay;
int RegisterDisplayLoaders(ClassZDisplay* display);

// Kept for a 3D library this platform lacks.
class ClassZGL {
 public:
  ClassZGL() {}
  ~ClassZGL() {}
  void DrawVertexArray(void*) {}
};

// ---------------------------------------------------------------------------------------
// The abstract display and the loader registry.

enum : uint32_t { ZDISPLAY_LOADERS = 16 };

class ClassZDisplayBase {
 public:
  ClassZDisplayBase();
  // Deletes every registered loader.
  virtual ~ClassZDisplayBase();
  ClassZDisplayBase(const ClassZDisplayBase&) = delete;
  ClassZDisplayBase& operator=(const ClassZDisplayBase&) = delete;

  virtual int Open(int* window, ZCD* zcd, uint8_t depth, uint32_t width, uint32_t height,
                   bool fullscreen) = 0;
  virtual void Close() = 0;
  virtual void Suspend();
  virtual void Resume();

  // Takes ownership in the lowest free slot: 1 (also for a loader already registered,
  // which keeps its one slot); null or all slots taken: 0 (the caller keeps the loader).
  int RegisterLoader(ClassZLoaderBase* loader);
  // Clears the first slot holding the loader (the display no longer owns it): 1; null or
  // not registered: 0.
  int UnRegisterLoader(ClassZLoaderBase* loader);

  ClassZLoaderBase* loaders[ZDISPLAY_LOADERS];
  int32_t xstep;         // +1, or -1 when buffer x is mirrored
  int32_t ystep;         // +1, or -1 when buffer y is mirrored
  uint8_t axisexchange;  // 1 when logical x runs along buffer y
  uint8_t fullscreen;
  uint8_t suspended;
};

// ---------------------------------------------------------------------------------------
// The framebuffer display.

class ClassZDisplay : public ClassZDisplayBase {
 public:
  ClassZDisplay();
  // Closes the display; the surfaces go with the object.
  ~ClassZDisplay() override;

  // Opens the framebuffer and creates the surfaces. Only a zero width or height is refused
  // (4); the back buffer always has the framebuffer's size. 3: the framebuffer's depth is
  // not 8, 16, 24 or 32 (nothing mapped). 1: the device cannot be queried or mapped, or a
  // surface cannot be created; the display is closed again in every failure case. An open
  // display is closed first.
  int Open(int* window, ZCD* zcd, uint8_t depth, uint32_t width, uint32_t height,
           bool fullscreen) override;
  // Unmaps the framebuffer (resuming a suspended display first), frees the palette lookup
  // and marks the display closed. The surfaces stay; the next Open creates them again.
  void Close() override;
  // While suspended nothing is presented.
  void Suspend() override;
  void Resume() override;

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

  // Sets the axis exchange and the two steps for 0-3 quarter turns (others count as 0):
  //   0: no exchange, +1, +1   1: exchange, +1, -1   2: no exchange, -1, -1
  //   3: exchange, -1, +1
  void SetRotation(uint8_t rotation);

  // palette[i] = colours[i] with red and blue exchanged, for i from first while i < 256
  // and i < first + count; marks the palette changed and invalidates the cache.
  void SetPalette(const uint32_t* colours, uint8_t first, uint32_t count);
  // The 32768-entry nearest-colour lookup, built on first use and rebuilt only after a
  // palette change: 1, or 0 when it cannot be allocated.
  int BuildPaletteLookup();
  // out[k] = the palette index nearest to engine colour colours[k], k < 256; out[0] = 0.
  int BuildPaletteLookupIndex(uint8_t* out, const uint32_t* colours);
  void SetRenderSize(uint32_t size) { rendersize = size; }
  // Nothing to report on this platform: both 0, result 3.
  int GetVideoMemory(uint32_t& total, uint32_t& free);
  uint8_t GetSystemRotation() const { return 0; }
  void CheckDisplay() { systemrotation = 0; }

  // --- logical <-> buffer mapping; w and h are the target buffer's row length and rows --
  // Exchange x and y when the axes are exchanged; then mirror x and y where the steps are
  // negative (x = w - x - 1).
  void VirtualPos(int32_t& x, int32_t& y, uint32_t w, uint32_t h) const;
  void VirtualPos(int64_t& x, int64_t& y, uint32_t w, uint32_t h) const;
  // The same for a rectangle (left' = w - right, right' = w - left when mirrored).
  void VirtualRect(tagRECT* rect, uint32_t w, uint32_t h) const;
  // The inverse of VirtualRect.
  void ReVirtualRect(tagRECT* rect, uint32_t w, uint32_t h) const;
  // Maps a blit position (on w, h) and its source rectangle (on rw, rh); on a mirrored
  // axis the position then names the mapped rectangle's first buffer pixel.
  void VirtualRectPos(int32_t& x, int32_t& y, tagRECT* rect, uint32_t w, uint32_t h,
                      uint32_t rw, uint32_t rh) const;
  void VirtualRectPos(int64_t& x, int64_t& y, tagRECT* rect, uint32_t w, uint32_t h,
                      uint32_t rw, uint32_t rh) const;
  // An angle of 4096 steps a turn, turned into buffer terms (result & 0xFFF).
  void VirtualRotation(uint16_t& angle) const;
  // Turns a d-pad code (the list's entries 4-7) by (rotation - system rotation) quarter
  // turns; other codes stay.
  void VirtualDPad(uint32_t& code, const ZBUTTONLIST* list) const;
  void VirtualMouse(int32_t& x, int32_t& y) const;
  void VirtualTilt(int32_t& x, int32_t& y) const;

  // --- wipes ----------------------------------------------------------------------------
  // Draws the transition from "from" to "to" at position (0..0x10000, clamped) into dst.
  // Types: 0-3 slide in from the right / left / bottom / top; 4 tiles on a 16 x 16 grid
  // in the order of table (256 bytes, default a clockwise spiral), tile side size (0:
  // max(W, H) / 15); 5 mosaic; 6 cross-fade; 7 per-pixel threshold map (table: W x H
  // bytes). Types 4 and 7 draw incrementally into "from" itself; a null "to" draws
  // colour 0.
  void Wipe(Z2DSurface* dst, Z2DSurface* from, Z2DSurface* to, uint32_t position,
            uint8_t type, const void* table, int32_t size);
  void StartWipe(uint8_t type, Z2DSurface* surface);
  // Type 0: fills width x height bytes with the low bytes of successive rand() values.
  void MapScreenWipe(uint8_t* map, uint32_t width, uint32_t height, uint8_t type);

  // --- state (the framework, surfaces and loaders read these) ----------------------------
  int* window;
  tagRECT fliprect;  // buffer coordinates
  ZCD* zcd;
  uint32_t palette[256];       // 0x00RRGGBB
  uint32_t palettecache[256];  // the palette packed into palettecacheformat
  uint32_t palettecacheformat;  // 0 = invalid
  uint8_t* palettelookup;      // 32768 bytes, null until first built
  uint8_t* framebuffer;
  uint32_t fbwidth, fbheight;
  uint32_t virtualwidth, virtualheight;
  uint32_t wipeposition;
  uint32_t rendersize;
  uint8_t bitsperpixel;
  uint8_t fbformat;
  uint8_t backbufferformat;  // 0 = closed
  uint8_t rotation;
  uint8_t systemrotation;
  uint8_t palettechanged;

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

// ---------------------------------------------------------------------------------------
// Palette lookup and the built-in font.

// Without colours: out[v] (32768 entries) = the nearest palette index to the 15-bit colour
// v (red bits 0-4, green 5-9, blue 10-14). With colours: out[0] = 0 and out[k] for
// k < count the index nearest to engine colour colours[k]. Candidates are entries 1-255
// (first of each distinct colour), ordered by one bubble pass on brightness; the first
// candidate at the smallest Manhattan distance wins.
void ZDisplay_CreatePaletteLookup(const uint32_t* palette, uint8_t* out, const uint32_t* colours,
                                  uint16_t count);

// Expands the built-in glyph strip into surface (708 x 14, the display's back-buffer
// format, the given creation flags): 0, 1 for bad data, 2 for no memory, or the surface's
// own creation result.
int ZDisplay_CreateInternalFont(ClassZDisplay* display, Z2DSurface* surface,
                                ClassZMemory* memory, uint32_t flags);
// The same from another compressed strip (the stream must expand to exactly 4956 bytes).
int ZDisplay_CreateInternalFont(ClassZDisplay* display, Z2DSurface* surface,
                                ClassZMemory* memory, uint32_t flags, const uint8_t* stream,
                                uint32_t size);
// The colour of the built-in font's background, which the display makes its colour key:
// magenta, except on an 8-bit surface, where colours are palette indices and magenta
// would be index 255 like the white glyphs (black outlines are index 0): there it is
// index 1, which the glyphs never use.
uint32_t ZDisplay_InternalFontKey(uint8_t format);

// The compressed strip (engine codec) and the sizes it expands to.
enum : uint32_t {
  ZINTERNALFONT_WIDTH = 708,
  ZINTERNALFONT_HEIGHT = 14,
  ZINTERNALFONT_UNPACKED = ZINTERNALFONT_WIDTH / 2 * ZINTERNALFONT_HEIGHT,  // 4956
};
extern const uint8_t zinternalfont[];
extern const uint32_t zinternalfont_size;

// Default tile order of wipe type 4: a clockwise spiral over 16 x 16 tiles, row by row.
extern const uint8_t zwipespiraltable[256];
