// Bitmap fonts: a surface holding all glyphs side by side in one strip, fixed-width or
// with glyph widths read from marker runs on its top row, drawn glyph by glyph through
// BltFast.
#include <type_traits>

#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_std.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_lock.h"

namespace {

constexpr uint32_t kMaxText = 0x4000;  // engine strings are counted at most this far
constexpr uint32_t kMaxGlyphs = 65536;
constexpr uint32_t LF = 10, CR = 13;

template <class Char>
inline uint32_t Code(Char c) {
  return uint32_t(static_cast<std::make_unsigned_t<Char>>(c));
}

}  // namespace

Z2DSurface* Z2DSurface::SetFontCharacters(uint16_t first, uint16_t last) {
  firstchar = first;
  lastchar = last < first ? first : last;
  if (vwftable && glyphcount > 0 && int32_t(lastchar) > int32_t(first) + glyphcount - 1)
    lastchar = uint16_t(int32_t(first) + glyphcount - 1);
  return this;
}

void Z2DSurface::SetCharset(const uint16_t* set, uint32_t length) {
  ReleaseTable(charset);
  charset = nullptr;
  if (!set || !Memory()) return;
  charset = static_cast<uint16_t*>(Memory()->AllocList((length + 1) * 2));
  if (!charset) return;
  for (uint32_t i = 0; i < length; ++i) charset[i] = set[i];
  charset[length] = 0;
}

void Z2DSurface::SetFontCharacterSet(const uint16_t* set) {
  uint32_t n = 0;
  if (set)
    while (n < kMaxText && set[n]) ++n;
  SetCharset(set, n);
}

void Z2DSurface::SetFontCharacterSet(const char* set) {
  if (!set) return SetCharset(nullptr, 0);
  uint16_t wide[kMaxText + 1];
  uint32_t n = 0;
  while (n < kMaxText && set[n]) {
    wide[n] = uint16_t(Code(set[n]));
    ++n;
  }
  SetCharset(wide, n);
}

Z2DSurface* Z2DSurface::SetFontPadding(int32_t x, int32_t y) {
  padx = x;
  pady = y;
  return this;
}

int Z2DSurface::BuildTableVwf(uint32_t count) {
  if (!Created() || !buffer || !Memory()) return 0;
  if (count > kMaxGlyphs) count = kMaxGlyphs;
  const ZSurfLock<Z2DSurface> lock(this);
  ReleaseTable(vwftable);
  vwftable = nullptr;
  glyphcount = int32_t(count);
  vwftable = count ? static_cast<uint16_t*>(Memory()->AllocList(count * 4)) : nullptr;
  if (!vwftable) return 0;
  for (uint32_t i = 0; i < count * 2; ++i) vwftable[i] = 0;
  uint16_t* start = vwftable;
  uint16_t* width = vwftable + count;
  const uint32_t marker = GetColorKey();
  const int32_t w = int32_t(GetWidth());
  uint32_t j = 0, run = 0;
  bool inglyph = false;
  for (int32_t x = 0; x < w && j < count; ++x) {
    const bool key = GetPixel(x, 0) == marker;
    if (!inglyph) {
      if (!key) {
        start[j] = uint16_t(x);
        run = 1;
        inglyph = true;
      }
    } else if (key) {
      width[j++] = uint16_t(run);
      inglyph = false;
    } else {
      ++run;
    }
  }
  const int64_t last = int64_t(firstchar) + count - 1;
  lastchar = uint16_t(last > 0xFFFF ? 0xFFFF : last < 0 ? 0 : last);
  return 1;
}

// Glyph index of a character code, or -1 when the font has none for it.
int Z2DSurface::GlyphIndex(uint32_t c) const {
  if (charset) {
    for (int32_t i = 0; i < glyphcount && charset[i]; ++i)
      if (charset[i] == c) return i;
    return -1;
  }
  if (c < firstchar || c > lastchar) return -1;
  return int(c - firstchar);
}

namespace {

// Geometry of one font surface: glyph rectangles in logical strip coordinates.
struct FontGeometry {
  const Z2DSurface* font;
  int32_t fixedwidth;  // 0: no glyph can be drawn
  int32_t height;

  explicit FontGeometry(const Z2DSurface* f) : font(f), fixedwidth(0), height(0) {
    const int32_t sh = int32_t(f->GetHeight());
    height = f->vwftable ? sh - 2 : sh;
    int64_t n = 0;
    if (f->charset) {
      while (n < kMaxText && f->charset[n]) ++n;
    } else {
      n = int64_t(f->lastchar) - f->firstchar + 1;
    }
    if (n > 0) fixedwidth = int32_t(f->GetWidth() / uint64_t(n));
  }
  bool Usable() const { return font->vwftable || fixedwidth > 0; }
  // Width of glyph i (its advance without padding).
  int32_t Width(int i) const {
    if (font->vwftable) return i < font->glyphcount ? font->vwftable[font->glyphcount + i] : 0;
    return fixedwidth;
  }
  tagRECT Rect(int i) const {
    if (font->vwftable) {
      const int32_t s = i < font->glyphcount ? font->vwftable[i] : 0;
      return {s, 2, s + Width(i), int32_t(font->GetHeight())};
    }
    return {i * fixedwidth, 0, (i + 1) * fixedwidth, int32_t(font->GetHeight())};
  }
};

}  // namespace

template <class Char>
uint32_t Z2DSurface::FontHeightT(const Char* text) const {
  const int32_t h = Created() ? FontGeometry(this).height : 0;
  if (!text) return uint32_t(h > 0 ? h : 0);
  if (!text[0]) return 0;
  uint32_t lines = 1;
  for (uint32_t i = 0; i < kMaxText && text[i]; ++i)
    if (Code(text[i]) == LF && i + 1 < kMaxText && text[i + 1]) ++lines;
  return uint32_t(int64_t(lines) * (h > 0 ? h : 0));
}

template <class Char>
uint32_t Z2DSurface::FontWidthT(const Char* text, bool firstline) const {
  if (!text || !Created()) return 0;
  const FontGeometry g(this);
  if (!g.Usable()) return 0;
  int64_t m = 0, c = 0;
  for (uint32_t i = 0; i < kMaxText && text[i]; ++i) {
    const uint32_t code = Code(text[i]);
    if (code == LF || code == CR) {
      if (firstline) break;
      if (c > m) m = c;
      c = 0;
      continue;
    }
    const int glyph = GlyphIndex(code);
    if (glyph >= 0) c += g.Width(glyph) + padx;
  }
  const int64_t r = c > m ? c : m;
  return uint32_t(r < 0 ? 0 : r);
}

uint32_t Z2DSurface::GetFontHeight(const char* text) const { return FontHeightT(text); }
uint32_t Z2DSurface::GetFontHeight(const uint16_t* text) const { return FontHeightT(text); }
uint32_t Z2DSurface::GetFontWidthV(const char* text, bool firstline) const {
  return FontWidthT(text, firstline);
}
uint32_t Z2DSurface::GetFontWidthV(const uint16_t* text, bool firstline) const {
  return FontWidthT(text, firstline);
}

template <class Char>
int Z2DSurface::DrawFontT(int32_t x, int32_t y, Z2DSurface* font, const Char* text, int32_t flags,
                          uint32_t property) {
  if (!font || !text || !zcd) return Z2D_BADARG;
  if (!Created() || !buffer || !font->Created() || !font->buffer) return Z2D_FAILED;
  const FontGeometry g(font);
  if (!g.Usable()) return Z2D_BADARG;
  const ZSurfLock<Z2DSurface> lock(this), fontlock(font);
  int64_t py = y;
  if (flags & 0x400) py -= font->GetFontHeight(text);
  else if (flags & 0x800) py -= font->GetFontHeight(text) / 2;
  auto linestart = [&](const Char* rest) -> int64_t {
    if (flags & 0x100) return int64_t(x) - font->GetFontWidthV(rest, true);
    if (flags & 0x200) return int64_t(x) - font->GetFontWidthV(rest, true) / 2;
    return x;
  };
  int64_t px = linestart(text);
  for (uint32_t i = 0; i < kMaxText && text[i]; ++i) {
    if (i > 0 && Code(text[i - 1]) == LF) {
      px = linestart(text + i);
      py += g.height + font->pady;
    }
    const uint32_t code = Code(text[i]);
    if (code == LF || code == CR) continue;
    const int glyph = font->GlyphIndex(code);
    if (glyph < 0) continue;
    const tagRECT r = g.Rect(glyph);
    if (px >= INT32_MIN && px <= INT32_MAX && py >= INT32_MIN && py <= INT32_MAX)
      BltFast(int32_t(px), int32_t(py), font, &r, flags & 0xFF, property);
    px += g.Width(glyph) + font->padx;
  }
  return Z2D_OK;
}

int Z2DSurface::DrawFont(int32_t x, int32_t y, Z2DSurface* font, const char* text, int32_t flags,
                         uint32_t property) {
  return DrawFontT(x, y, font, text, flags, property);
}

int Z2DSurface::DrawFont(int32_t x, int32_t y, Z2DSurface* font, const uint16_t* text, int32_t flags,
                         uint32_t property) {
  return DrawFontT(x, y, font, text, flags, property);
}

int Z2DSurface::DrawFont(int32_t x, int32_t y, Z2DSurface* font, int32_t number, int32_t flags,
                         uint32_t property) {
  char digits[16];
  ClassZStd::IntToStr(digits, number, 10, true);
  return DrawFontT(x, y, font, static_cast<const char*>(digits), flags, property);
}
