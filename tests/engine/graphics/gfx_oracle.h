// One-pixel-at-a-time oracles for the blit and fill tests, written from the rules field by
// field (no masks, no pairs), independent of the production workers.
#pragma once

#include <cstdint>
#include <vector>

namespace oracle {

struct Field {
  int shift, width;
};

struct Layout {
  Field f[3];  // red, green, blue of the stored pixel
  int ws;      // opacity weight shift: w = a >> ws
  int div;     // divisor of the opacity blend, as a shift
};

inline Layout LayoutOf(int format) {
  switch (format) {
    case 2: return {{{8, 4}, {4, 4}, {0, 4}}, 4, 4};
    case 3: return {{{10, 5}, {5, 5}, {0, 5}}, 3, 5};
    case 4: return {{{11, 5}, {5, 6}, {0, 5}}, 3, 5};
    default: return {{{16, 8}, {8, 8}, {0, 8}}, 0, 8};
  }
}

inline uint32_t Get(uint32_t p, Field f) { return p >> f.shift & ((1u << f.width) - 1); }
inline uint32_t Max(Field f) { return (1u << f.width) - 1; }

// Colour word (0x00BBGGRR) channel c: 0 red, 1 green, 2 blue.
inline uint32_t Ch(uint32_t w, int c) { return w >> (8 * c) & 0xFF; }
inline uint32_t Word(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16; }

// Opacity pre-scale of a colour word as the rule writes it: red and blue in one product,
// green in another. For opacities up to 255 it is each channel times a / 256; larger
// property words spill red into blue exactly as the formula does.
inline uint32_t ScaleWord(uint32_t c, uint64_t a) {
  if (a <= 255) return Word(uint32_t(Ch(c, 0) * a >> 8), uint32_t(Ch(c, 1) * a >> 8), uint32_t(Ch(c, 2) * a >> 8));
  return uint32_t((uint64_t(c & 0xFF00FF) * a >> 8) & 0xFF00FF) | uint32_t((uint64_t(c & 0xFF00) * a >> 8) & 0xFF00);
}

// Pack written from the field table: top bits of each channel.
inline uint32_t Pack(int format, uint32_t w) {
  if (format == 1) return w & 0xFF;
  const Layout l = LayoutOf(format);
  uint32_t p = 0;
  for (int c = 0; c < 3; ++c) p |= (Ch(w, c) >> (8 - l.f[c].width)) << l.f[c].shift;
  return p;
}
inline uint32_t Expand(int format, uint32_t p) {
  if (format == 1) return p & 0xFF;
  const Layout l = LayoutOf(format);
  uint32_t w = 0;
  for (int c = 0; c < 3; ++c) w |= (Get(p, l.f[c]) << (8 - l.f[c].width)) << (8 * c);
  return w;
}

inline uint32_t Quantise(int format, uint32_t a) {
  if (format == 2) return a & ~0xFu;
  if (format == 3 || format == 4) return a & ~7u;
  return a;
}

inline int PlusShift(uint32_t a) {
  switch (a) {
    case 128: return 1;
    case 64: case 192: return 2;
    case 32: case 224: return 3;
    case 16: case 240: return 4;
    default: return 0;
  }
}

// Applies fn(field value d, field value s, field) to each field and assembles the result.
template <class Fn>
uint32_t PerField(int format, uint32_t d, uint32_t s, Fn fn) {
  const Layout l = LayoutOf(format);
  uint32_t out = 0;
  for (int c = 0; c < 3; ++c) out |= fn(Get(d, l.f[c]), Get(s, l.f[c]), l.f[c], l) << l.f[c].shift;
  return out;
}

// The same-format blit of one non-key pixel: stored d and s, the flags after BltFast's
// normalisation, the property (opacity already replaced by its quantised value in the top
// byte when colorize or tint is set).
inline uint32_t SameFormatPixel(int format, uint32_t d, uint32_t s, uint32_t f, uint32_t prop) {
  if (format == 1) return s;
  const bool col = f & 2, tint = f & 4, opac = f & 8, add = f & 16, sub = f & 32;
  const uint32_t a = (col || tint) ? prop >> 24 : prop;
  const Layout L = LayoutOf(format);
  // Specialised workers first, as the dispatch picks them.
  if (!col && tint && !opac && !add && !sub) {  // out = H + s/2 per field, H = C/2
    const uint32_t C = Pack(format, prop & 0xFFFFFF);
    return PerField(format, C, s, [](uint32_t c, uint32_t v, Field, Layout) { return c / 2 + v / 2; });
  }
  if (col && !tint && !opac && !add && !sub) return Pack(format, prop & 0xFFFFFF);
  if (!col && !tint && opac && !add && !sub) {
    const int sh = PlusShift(a);
    if (sh) {
      return PerField(format, d, s, [&](uint32_t dv, uint32_t sv, Field, Layout) {
        return a <= 128 ? dv + (sv >> sh) - (dv >> sh) : sv + (dv >> sh) - (sv >> sh);
      });
    }
    const uint32_t w = a >> L.ws, iw = (256 - a) >> L.ws;
    return PerField(format, d, s, [&](uint32_t dv, uint32_t sv, Field, Layout l) {
      return (iw * dv + w * sv) >> l.div;
    });
  }
  // Everything else: the generic rule.
  uint32_t out = s;
  if (col && tint) {
    const uint32_t C = Pack(format, prop & 0xFFFFFF);
    uint32_t m = 0;
    for (int c = 0; c < 3; ++c) {
      uint32_t v = Get(s, L.f[c]);
      if (L.f[c].width == 6) v >>= 1;  // 5:6:5 green counts with its top five bits
      if (v > m) m = v;
    }
    out = PerField(format, C, 0, [&](uint32_t cv, uint32_t, Field, Layout l) { return cv * m >> l.div; });
  } else if (col) {
    out = Pack(format, prop & 0xFFFFFF);
  } else if (tint) {
    const uint32_t C = Pack(format, prop >> 1 & 0x7F7F7F);
    out = PerField(format, C, s, [](uint32_t c, uint32_t v, Field, Layout) { return c + v / 2; });
  }
  bool blend = opac;
  if (opac && (add || sub)) {
    const uint32_t w = a >> L.ws;
    out = PerField(format, out, 0, [&](uint32_t v, uint32_t, Field, Layout l) { return v * w >> l.div; });
    blend = false;
  }
  if (blend) {
    const uint32_t w = a >> L.ws, iw = (256 - a) >> L.ws;
    return PerField(format, d, out, [&](uint32_t dv, uint32_t sv, Field, Layout l) {
      return (iw * dv + w * sv) >> l.div;
    });
  }
  if (add)
    return PerField(format, d, out, [](uint32_t dv, uint32_t sv, Field fl, Layout) {
      return dv + sv > Max(fl) ? Max(fl) : dv + sv;
    });
  if (sub)
    return PerField(format, d, out, [](uint32_t dv, uint32_t sv, Field, Layout) { return sv > dv ? 0 : dv - sv; });
  return out;
}

// The pixel rule on colour words: destination word d, colour c. Returns false when the
// pixel is not drawn.
inline bool PixelRule(int format, uint32_t d, uint32_t c, uint32_t f, uint32_t prop, uint32_t& out) {
  f &= 0xFF;
  if ((f & 0x30) == 0x30) f &= ~0x30u;
  const uint64_t a = (f & 6) ? prop >> 24 : prop;
  if ((f & 6) == 6) {
    uint32_t m = 0;
    for (int k = 0; k < 3; ++k) m = Ch(c, k) > m ? Ch(c, k) : m;
    c = Word(Ch(prop, 0) * m >> 8, Ch(prop, 1) * m >> 8, Ch(prop, 2) * m >> 8);
  } else if (f & 2) {
    c = prop & 0xFFFFFF;
  } else if (f & 4) {
    c = Word(Ch(c, 0) / 2 + Ch(prop, 0) / 2, Ch(c, 1) / 2 + Ch(prop, 1) / 2, Ch(c, 2) / 2 + Ch(prop, 2) / 2);
  }
  c &= 0xFFFFFF;
  if (f & 8) {
    if (f & 0x30) {
      c = ScaleWord(c, a);
    } else if (a <= 254) {
      if (Quantise(format, uint32_t(a)) == 0) return false;
      c = Word((Ch(d, 0) * (256 - a) >> 8) + (Ch(c, 0) * a >> 8), (Ch(d, 1) * (256 - a) >> 8) + (Ch(c, 1) * a >> 8),
               (Ch(d, 2) * (256 - a) >> 8) + (Ch(c, 2) * a >> 8));
    }
  }
  if (f & 0x10) {
    c = Word(Ch(d, 0) + Ch(c, 0) > 255 ? 255 : Ch(d, 0) + Ch(c, 0),
             Ch(d, 1) + Ch(c, 1) > 255 ? 255 : Ch(d, 1) + Ch(c, 1),
             Ch(d, 2) + Ch(c, 2) > 255 ? 255 : Ch(d, 2) + Ch(c, 2));
  } else if (f & 0x20) {
    c = Word(Ch(c, 0) > Ch(d, 0) ? 0 : Ch(d, 0) - Ch(c, 0), Ch(c, 1) > Ch(d, 1) ? 0 : Ch(d, 1) - Ch(c, 1),
             Ch(c, 2) > Ch(d, 2) ? 0 : Ch(d, 2) - Ch(c, 2));
  }
  out = Pack(format, c);
  return true;
}

// The rectangle fill of one pixel with the fill's flags and property: stored d in, stored
// pixel out (returns d when nothing is drawn).
inline uint32_t FillPixel(int format, uint32_t d, uint32_t colour, uint32_t f, uint32_t prop) {
  f &= 0xFF;
  if ((f & 0x30) == 0x30) f &= ~0x30u;
  const uint64_t a = (f & 6) ? prop >> 24 : prop;
  if ((f & 6) == 6) {
    uint32_t m = 0;
    for (int k = 0; k < 3; ++k) m = Ch(colour, k) > m ? Ch(colour, k) : m;
    colour = Word(Ch(prop, 0) * m >> 8, Ch(prop, 1) * m >> 8, Ch(prop, 2) * m >> 8);
  } else if (f & 2) {
    colour = prop & 0xFFFFFF;
  } else if (f & 4) {
    colour = Word(Ch(colour, 0) / 2 + Ch(prop, 0) / 2, Ch(colour, 1) / 2 + Ch(prop, 1) / 2,
                  Ch(colour, 2) / 2 + Ch(prop, 2) / 2);
  }
  auto scale = [&](uint32_t c) { return ScaleWord(c, a); };
  bool opac = f & 8;
  if (opac) {
    if (f & 0x30) {
      colour = scale(colour);
      opac = false;
    } else if (a > 254) {
      opac = false;
    } else if (Quantise(format, uint32_t(a)) == 0) {
      return d;
    }
  }
  if (opac) colour = scale(colour);
  const uint32_t P = Pack(format, colour);
  if (format == 1) return P;
  if (opac) {
    const int sh = PlusShift(uint32_t(a));
    const Layout L = LayoutOf(format);
    if (sh)
      return PerField(format, d, P, [&](uint32_t dv, uint32_t pv, Field, Layout) {
        return a >= 128 ? pv + (dv >> sh) : dv + pv - (dv >> sh);
      });
    const uint32_t iw = uint32_t(256 - a) >> L.ws;
    return PerField(format, d, P, [&](uint32_t dv, uint32_t pv, Field, Layout l) { return pv + (dv * iw >> l.div); });
  }
  if (f & 0x10)
    return PerField(format, d, P, [](uint32_t dv, uint32_t pv, Field fl, Layout) {
      return dv + pv > Max(fl) ? Max(fl) : dv + pv;
    });
  if (f & 0x20)
    return PerField(format, d, P, [](uint32_t dv, uint32_t pv, Field, Layout) { return pv > dv ? 0 : dv - pv; });
  return P;
}

}  // namespace oracle
