// Builders of small PNG, BMP and 3DS files for the loader tests, so that every expected
// pixel is known by construction, and a surface stand-in that records what a loader
// delivers.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include <zlib.h>

#include <gtest/gtest.h>

#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zsurf_2dbase.h"

namespace ldrtest {

using Bytes = std::vector<uint8_t>;

inline void Be32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}
inline void Le16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void Le32(Bytes& b, uint32_t v) {
  Le16(b, v);
  Le16(b, v >> 16);
}

// ---- PNG ------------------------------------------------------------------------------

inline void PngChunk(Bytes& out, const char* type, const Bytes& body) {
  Be32(out, uint32_t(body.size()));
  const size_t at = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  Be32(out, uint32_t(crc32(0, out.data() + at, uInt(out.size() - at))));
}

struct PngPicture {
  uint32_t width = 1, height = 1;
  uint8_t colourtype = 2, depth = 8, interlace = 0;
  // samples[(y * width + x) * channels + c], each below 2^depth
  std::vector<uint16_t> samples;
  int filter = -1;           // -1: filter (row index % 5), else this type for every row
  uint32_t idatsplit = 0;    // 0: one IDAT, else chunks of at most this many bytes
  bool foreignbetween = false;  // a private chunk between two IDATs
  Bytes plte, trns;          // emitted when not empty
  bool afteriend = false;    // a tEXt chunk after IEND
};

inline uint32_t PngChannels(uint8_t type) {
  switch (type) {
    case 0: return 1;
    case 2: return 3;
    case 3: return 1;
    case 4: return 2;
    default: return 4;
  }
}

inline uint8_t PaethPredict(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Packed, filtered rows of a w x h sub-image whose pixel (i, j) is source (x(i), y(j)).
template <class PixelAt>
void PngRows(const PngPicture& s, uint32_t w, uint32_t h, PixelAt at, Bytes& raw, uint32_t& rowcounter) {
  const uint32_t ch = PngChannels(s.colourtype), bits = ch * s.depth;
  const uint32_t rowbytes = (w * bits + 7) / 8, bpp = bits < 8 ? 1 : bits / 8;
  Bytes prev(rowbytes, 0), cur(rowbytes);
  for (uint32_t j = 0; j < h; ++j) {
    std::fill(cur.begin(), cur.end(), 0);
    uint32_t bit = 0;
    for (uint32_t i = 0; i < w; ++i)
      for (uint32_t c = 0; c < ch; ++c) {
        const uint32_t v = at(i, j, c);
        if (s.depth == 16) {
          cur[bit / 8] = uint8_t(v >> 8);
          cur[bit / 8 + 1] = uint8_t(v);
        } else {
          cur[bit / 8] |= uint8_t(v << (8 - s.depth - bit % 8));
        }
        bit += s.depth;
      }
    const uint8_t f = uint8_t(s.filter >= 0 ? s.filter : rowcounter % 5);
    ++rowcounter;
    raw.push_back(f);
    for (uint32_t k = 0; k < rowbytes; ++k) {
      const int a = k >= bpp ? cur[k - bpp] : 0, b = prev[k], c = k >= bpp ? prev[k - bpp] : 0;
      int pred = 0;
      switch (f) {
        case 1: pred = a; break;
        case 2: pred = b; break;
        case 3: pred = (a + b) / 2; break;
        case 4: pred = PaethPredict(a, b, c); break;
        default: break;
      }
      raw.push_back(uint8_t(cur[k] - pred));
    }
    prev = cur;
  }
}

inline Bytes MakePng(const PngPicture& s) {
  const uint32_t ch = PngChannels(s.colourtype);
  auto sample = [&](uint32_t x, uint32_t y, uint32_t c) { return s.samples[(size_t(y) * s.width + x) * ch + c]; };
  Bytes raw;
  uint32_t counter = 0;
  if (!s.interlace) {
    PngRows(s, s.width, s.height, sample, raw, counter);
  } else {
    static const uint32_t p[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                     {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (auto& q : p) {
      const uint32_t pw = s.width > q[0] ? (s.width - q[0] + q[2] - 1) / q[2] : 0;
      const uint32_t ph = s.height > q[1] ? (s.height - q[1] + q[3] - 1) / q[3] : 0;
      if (!pw || !ph) continue;
      PngRows(s, pw, ph, [&](uint32_t i, uint32_t j, uint32_t c) {
        return sample(q[0] + i * q[2], q[1] + j * q[3], c);
      }, raw, counter);
    }
  }
  uLongf zlen = compressBound(uLong(raw.size()));
  Bytes z(zlen);
  compress2(z.data(), &zlen, raw.data(), uLong(raw.size()), 9);
  z.resize(zlen);

  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes ihdr;
  Be32(ihdr, s.width);
  Be32(ihdr, s.height);
  ihdr.insert(ihdr.end(), {s.depth, s.colourtype, 0, 0, s.interlace});
  PngChunk(out, "IHDR", ihdr);
  if (!s.plte.empty()) {
    PngChunk(out, "PLTE", s.plte);
  } else if (s.colourtype == 3) {  // a palette image needs one: grey steps
    Bytes plte;
    for (uint32_t i = 0; i < (1u << s.depth); ++i) plte.insert(plte.end(), 3, uint8_t(i * 255 / ((1u << s.depth) - 1)));
    PngChunk(out, "PLTE", plte);
  }
  if (!s.trns.empty()) PngChunk(out, "tRNS", s.trns);
  const size_t step = s.idatsplit ? s.idatsplit : z.size();
  for (size_t at = 0; at < z.size(); at += step) {
    PngChunk(out, "IDAT", Bytes(z.begin() + at, z.begin() + std::min(z.size(), at + step)));
    if (s.foreignbetween && at == 0) PngChunk(out, "prVt", Bytes(40, 0xAB));
  }
  PngChunk(out, "IEND", {});
  if (s.afteriend) PngChunk(out, "tEXt", Bytes{'k', 0, 'v'});
  return out;
}

// Deterministic samples for a spec (every value of the depth appears).
inline void FillSamples(PngPicture& s, uint32_t seed = 1) {
  const uint32_t ch = PngChannels(s.colourtype), max = (1u << s.depth) - 1;
  s.samples.resize(size_t(s.width) * s.height * ch);
  uint32_t r = seed * 2654435761u + 12345;
  for (auto& v : s.samples) {
    r = r * 1103515245u + 12345;
    v = uint16_t((r >> 8) % (max + 1));
  }
}

// Expected colour word / index of pixel (x, y) of a spec (no key applied).
inline uint32_t ExpectedPng(const PngPicture& s, uint32_t x, uint32_t y) {
  const uint32_t ch = PngChannels(s.colourtype);
  const uint16_t* p = &s.samples[(size_t(y) * s.width + x) * ch];
  auto eight = [&](uint32_t v) -> uint32_t {
    if (s.depth == 16) return v >> 8;
    if (s.depth == 8) return v;
    return v * 255 / ((1u << s.depth) - 1);
  };
  switch (s.colourtype) {
    case 3: return p[0];
    case 0: return 0xFF000000u | eight(p[0]) * 0x010101u;
    case 4: return eight(p[1]) << 24 | eight(p[0]) * 0x010101u;
    case 2: return 0xFF000000u | eight(p[2]) << 16 | eight(p[1]) << 8 | eight(p[0]);
    default: return eight(p[3]) << 24 | eight(p[2]) << 16 | eight(p[1]) << 8 | eight(p[0]);
  }
}

// ---- BMP ------------------------------------------------------------------------------

// A bottom-up BMP whose pixel (x, y) (top-left origin) is index(x, y) (palette depths) or
// the colour word colour(x, y) (24 bits). used: a palette of only that many entries, as
// the header's count of colours used says (0: the full palette, count 0).
template <class F>
Bytes MakeBmp(uint32_t w, int32_t h, uint16_t bits, F value, uint32_t headersize = 40, uint32_t used = 0) {
  const uint32_t stride = (bits * w + 31) / 32 * 4;
  const uint32_t rows = uint32_t(h < 0 ? -h : h);
  const uint32_t entries = bits == 24 ? 0 : used ? used : 1u << bits;
  const uint32_t offset = 14 + headersize + 4 * entries;
  Bytes b = {'B', 'M'};
  Le32(b, offset + stride * rows);
  Le32(b, 0);
  Le32(b, offset);
  Le32(b, headersize);
  Le32(b, w);
  Le32(b, uint32_t(h));
  Le16(b, 1);
  Le16(b, bits);
  Le32(b, 0);
  Le32(b, stride * rows);
  Le32(b, 2835);
  Le32(b, 2835);
  Le32(b, used);
  Le32(b, 0);
  b.resize(14 + headersize, 0);
  for (uint32_t i = 0; i < entries; ++i) {  // B, G, R, 0 of colour i * 0x010203
    const uint32_t c = (i * 0x010203u) & 0xFFFFFF;
    b.insert(b.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 0});
  }
  for (uint32_t r = 0; r < rows; ++r) {
    const uint32_t y = h < 0 ? r : rows - 1 - r;
    Bytes row(stride, 0);
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t v = value(x, y);
      if (bits == 24) {
        row[3 * x] = uint8_t(v >> 16);
        row[3 * x + 1] = uint8_t(v >> 8);
        row[3 * x + 2] = uint8_t(v);
      } else {
        const uint32_t bit = x * bits;
        row[bit / 8] |= uint8_t(v << (8 - bits - bit % 8));
      }
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

// ---- 3DS ------------------------------------------------------------------------------

inline Bytes Chunk3ds(uint16_t id, const Bytes& body) {
  Bytes b;
  Le16(b, id);
  Le32(b, uint32_t(body.size() + 6));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

inline void PutFloat(Bytes& b, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  Le32(b, v);
}

struct Mesh3ds {
  std::vector<float> xyz;            // 3 per vertex
  std::vector<uint16_t> faces;       // 3 per face
  std::vector<float> uv;             // 2 per mapping entry; empty: no mapping list
};

inline Bytes ObjectChunk(const char* name, const Mesh3ds& m) {
  Bytes v, f, t;
  Le16(v, uint32_t(m.xyz.size() / 3));
  for (float x : m.xyz) PutFloat(v, x);
  Le16(f, uint32_t(m.faces.size() / 3));
  for (size_t i = 0; i < m.faces.size(); i += 3) {
    Le16(f, m.faces[i]);
    Le16(f, m.faces[i + 1]);
    Le16(f, m.faces[i + 2]);
    Le16(f, 7);
  }
  Bytes mesh = Chunk3ds(0x4110, v);
  const Bytes fc = Chunk3ds(0x4120, f);
  mesh.insert(mesh.end(), fc.begin(), fc.end());
  if (!m.uv.empty()) {
    Le16(t, uint32_t(m.uv.size() / 2));
    for (float x : m.uv) PutFloat(t, x);
    const Bytes tc = Chunk3ds(0x4140, t);
    mesh.insert(mesh.end(), tc.begin(), tc.end());
  }
  Bytes obj(name, name + std::strlen(name) + 1);
  const Bytes tri = Chunk3ds(0x4100, mesh);
  obj.insert(obj.end(), tri.begin(), tri.end());
  return Chunk3ds(0x4000, obj);
}

// Main chunk with a version chunk, an editor chunk holding the objects, and a keyframer.
inline Bytes Make3ds(const std::vector<Bytes>& objects) {
  Bytes editor;
  const Bytes material = Chunk3ds(0xAFFF, Bytes(12, 1));
  editor.insert(editor.end(), material.begin(), material.end());
  for (const Bytes& o : objects) editor.insert(editor.end(), o.begin(), o.end());
  Bytes version;
  Le32(version, 3);
  Bytes body = Chunk3ds(0x0002, version);
  const Bytes ed = Chunk3ds(0x3D3D, editor), kf = Chunk3ds(0xB000, Bytes(8, 0));
  body.insert(body.end(), ed.begin(), ed.end());
  body.insert(body.end(), kf.begin(), kf.end());
  return Chunk3ds(0x4D4D, body);
}

// ---- a surface stand-in ----------------------------------------------------------------

// Records what a loader delivers, checking the protocol on the way.
struct RecordingSurface : Z2DSurfaceBase {
  uint32_t width = 0, height = 0, indexed = 0, creates = 0, rowsdelivered = 0;
  std::vector<uint32_t> palette = std::vector<uint32_t>(256, 0);
  std::vector<uint32_t> pixels;  // words, or indices
  int createresult = 0, paletteresult = 0, pixelresult = 0;

  int LdrOnCreate(ZLDR_2DCALLBACKINFO* info) override {
    ++creates;
    width = info->width;
    height = info->height;
    indexed = info->indexed;
    pixels.assign(size_t(width) * height, 0xDEADBEEFu);
    return createresult;
  }
  int LdrOnPaletteStream(ZLDR_2DCALLBACKINFO* info) override {
    EXPECT_EQ(creates, 1u);
    const uint32_t n = std::min<uint32_t>(info->size / 4, 256 - std::min<uint32_t>(info->palettepos, 256));
    std::memcpy(&palette[info->palettepos], info->data, n * 4);
    info->palettepos += n;
    return paletteresult;
  }
  int LdrOnPixelStream(ZLDR_2DCALLBACKINFO* info) override {
    EXPECT_EQ(creates, 1u);
    const uint32_t n = indexed ? info->size : info->size / 4;
    EXPECT_LE(uint64_t(info->pixelpos) + n, pixels.size());
    if (uint64_t(info->pixelpos) + n > pixels.size()) return 1;
    const uint8_t* d = static_cast<const uint8_t*>(info->data);
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t v;
      if (indexed) v = d[i];
      else std::memcpy(&v, d + 4 * i, 4);
      pixels[info->pixelpos + i] = v;
    }
    info->pixelpos += n;
    ++rowsdelivered;
    return pixelresult;
  }
};

}  // namespace ldrtest
