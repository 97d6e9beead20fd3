// The built-in font: a compressed 708 x 14 glyph strip, two pixels a byte (high nibble
// first), expanded into a surface in the display's back-buffer format.
#include "engine/core/zmod_memory.h"
#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zsurf_2d.h"

uint32_t ZDisplay_InternalFontKey(uint8_t format) {
  return format == ZFMT_INDEX8 ? 0x000001 : 0xFF00FF;
}

int ZDisplay_CreateInternalFont(ClassZDisplay* display, Z2DSurface* surface, ClassZMemory* memory,
                                uint32_t flags) {
  return ZDisplay_CreateInternalFont(display, surface, memory, flags, zinternalfont, zinternalfont_size);
}

int ZDisplay_CreateInternalFont(ClassZDisplay* display, Z2DSurface* surface, ClassZMemory* memory,
                                uint32_t flags, const uint8_t* stream, uint32_t size) {
  if (!display || !surface || !memory || !stream) return Z2D_BADARG;
  uint8_t* strip = static_cast<uint8_t*>(ClassZMemory::Alloc(ZINTERNALFONT_UNPACKED));
  if (!strip) return Z2D_NOMEMORY;
  surface->LinkZCD(display->zcd);
  int result = surface->Create(ZINTERNALFONT_WIDTH, ZINTERNALFONT_HEIGHT, display->backbufferformat, flags);
  if (result == Z2D_OK) {
    uint32_t length = ZINTERNALFONT_UNPACKED;
    if (!memory->UnCompress(strip, length, stream, size) ||
        length != ZINTERNALFONT_UNPACKED) {
      result = Z2D_FAILED;
    } else {
      const uint32_t key = ZDisplay_InternalFontKey(surface->format);
      for (uint32_t y = 0; y < ZINTERNALFONT_HEIGHT; ++y) {
        for (uint32_t x = 0; x < ZINTERNALFONT_WIDTH; ++x) {
          const uint8_t byte = strip[y * (ZINTERNALFONT_WIDTH / 2) + x / 2];
          const uint8_t nibble = x & 1 ? byte & 0xF : byte >> 4;
          const uint32_t colour = nibble == 1 ? 0xFFFFFF : nibble == 2 ? 0 : key;
          surface->PutPixel(int32_t(x), int32_t(y), colour, 0, 0);
        }
      }
    }
  }
  ClassZMemory::DeAlloc(strip);
  return result;
}
