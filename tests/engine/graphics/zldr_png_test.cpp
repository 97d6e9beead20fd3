// PNG reader: pixels of every colour type, depth, filter and interlace against the values
// the test encoder put in; chunk handling; header and structure errors; and a cross-check
// against an independent PNG library when the system has one.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include "engine/graphics/zldr_png.h"
#include "tests/engine/graphics/ldr_test_images.h"

using namespace ldrtest;

namespace {

int Load(const Bytes& png, RecordingSurface& rec) {
  ZLoader_PNG loader;
  return loader.Start(&rec, png.data(), uint32_t(png.size()), 6, 1);
}

void ExpectDecoded(const PngPicture& s, const RecordingSurface& rec, const char* what) {
  ASSERT_EQ(rec.width, s.width) << what;
  ASSERT_EQ(rec.height, s.height) << what;
  EXPECT_EQ(rec.indexed, s.colourtype == 3 ? 1u : 0u) << what;
  for (uint32_t y = 0; y < s.height; ++y)
    for (uint32_t x = 0; x < s.width; ++x)
      ASSERT_EQ(rec.pixels[size_t(y) * s.width + x], ExpectedPng(s, x, y))
          << what << " at " << x << "," << y;
}

struct Case {
  uint8_t type, depth;
};
const Case kValid[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                       {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

}  // namespace

TEST(PngLoader, EveryColourTypeDepthAndInterlace) {
  const uint32_t sizes[][2] = {{1, 1}, {3, 2}, {9, 7}, {17, 5}};
  for (const Case& c : kValid)
    for (uint8_t interlace = 0; interlace < 2; ++interlace)
      for (auto& sz : sizes) {
        PngPicture s;
        s.width = sz[0];
        s.height = sz[1];
        s.colourtype = c.type;
        s.depth = c.depth;
        s.interlace = interlace;
        FillSamples(s, c.type * 100 + c.depth + interlace);
        RecordingSurface rec;
        const std::string what = "type " + std::to_string(c.type) + " depth " +
                                 std::to_string(c.depth) + " interlace " + std::to_string(interlace) +
                                 " " + std::to_string(sz[0]) + "x" + std::to_string(sz[1]);
        ASSERT_EQ(Load(MakePng(s), rec), 0) << what;
        EXPECT_EQ(rec.creates, 1u);
        EXPECT_EQ(rec.rowsdelivered, s.height) << what;
        ExpectDecoded(s, rec, what.c_str());
      }
}

TEST(PngLoader, EachFilterTypeOnEveryRow) {
  // Byte-wide pixels and packed ones (the left neighbour is one byte back below 8 bits).
  const Case cases[] = {{2, 8}, {6, 16}, {0, 2}, {3, 4}, {4, 8}};
  for (const Case& c : cases)
    for (int f = 0; f < 5; ++f) {
      PngPicture s;
      s.width = 13;
      s.height = 6;
      s.colourtype = c.type;
      s.depth = c.depth;
      s.filter = f;
      FillSamples(s, 7 + f);
      RecordingSurface rec;
      ASSERT_EQ(Load(MakePng(s), rec), 0);
      ExpectDecoded(s, rec, ("filter " + std::to_string(f)).c_str());
    }
}

TEST(PngLoader, PaethTiesPickLeftThenAbove) {
  // Left a, above b, upper-left c: distances |b - c|, |a - c|, |a + b - 2c|.
  // (a, b, c) = (10, 30, 20): all at 10/10/0 -> c; (20, 20, 10): pa = pb -> a;
  // (10, 20, 20): pb = pc = 10 > pa = 0 -> a; (20, 10, 20): pa = 10, pb = 0 -> b.
  PngPicture s;
  s.width = 2;
  s.height = 2;
  s.colourtype = 0;
  s.depth = 8;
  s.filter = 4;
  const uint16_t tops[][4] = {{20, 30, 10, 99}, {20, 20, 10, 99}, {20, 20, 10, 20}, {20, 10, 20, 55}};
  for (auto& t : tops) {
    s.samples = {t[0], t[1], t[2], t[3]};
    RecordingSurface rec;
    ASSERT_EQ(Load(MakePng(s), rec), 0);
    ExpectDecoded(s, rec, "paeth");
  }
}

TEST(PngLoader, Adam7WidthsOneToNine) {
  for (uint32_t w = 1; w <= 9; ++w)
    for (uint32_t h = 1; h <= 9; h += 4) {
      PngPicture s;
      s.width = w;
      s.height = h;
      s.colourtype = 0;
      s.depth = 4;
      s.interlace = 1;
      FillSamples(s, w * 10 + h);
      RecordingSurface rec;
      ASSERT_EQ(Load(MakePng(s), rec), 0) << w << "x" << h;
      ExpectDecoded(s, rec, "adam7");
    }
}

TEST(PngLoader, ChunkLayoutVariants) {
  PngPicture base;
  base.width = 21;
  base.height = 11;
  base.colourtype = 6;
  base.depth = 8;
  FillSamples(base, 3);
  struct Variant {
    const char* name;
    uint32_t split;
    bool foreign, afteriend;
  } const variants[] = {{"split IDAT", 7, false, false},
                        {"foreign chunk between IDATs", 16, true, false},
                        {"chunk after IEND", 0, false, true}};
  for (const Variant& v : variants) {
    PngPicture s = base;
    s.idatsplit = v.split;
    s.foreignbetween = v.foreign;
    s.afteriend = v.afteriend;
    RecordingSurface rec;
    ASSERT_EQ(Load(MakePng(s), rec), 0) << v.name;
    ExpectDecoded(s, rec, v.name);
  }
  // A wrong CRC is not checked.
  Bytes png = MakePng(base);
  png[8 + 8 + 13] ^= 0xFF;  // IHDR's CRC
  RecordingSurface rec;
  EXPECT_EQ(Load(png, rec), 0);
}

TEST(PngLoader, PaletteAndTransparency) {
  PngPicture s;
  s.width = 6;
  s.height = 2;
  s.colourtype = 3;
  s.depth = 8;
  s.samples = {0, 1, 2, 3, 4, 5, 5, 4, 3, 2, 1, 0};
  for (int i = 0; i < 6; ++i) s.plte.insert(s.plte.end(), {uint8_t(10 * i), uint8_t(20 * i), uint8_t(30 * i)});
  s.trns = {255, 255, 255, 255, 128, 0};
  RecordingSurface rec;
  ASSERT_EQ(Load(MakePng(s), rec), 0);
  ExpectDecoded(s, rec, "palette");
  EXPECT_EQ(rec.palette[2], 0xFF000000u | 60u << 16 | 40u << 8 | 20u);
  EXPECT_EQ(rec.palette[4] >> 24, 128u);
  EXPECT_EQ(rec.palette[5] >> 24, 0u);

  // A tRNS of 300 alpha bytes is bounded by the 256 entries.
  s.trns.assign(300, 7);
  RecordingSurface longer;
  ASSERT_EQ(Load(MakePng(s), longer), 0);
  EXPECT_EQ(longer.palette[255] >> 24, 7u);
}

TEST(PngLoader, ColourAndGreyKeys) {
  struct KeyCase {
    uint8_t type, depth;
    Bytes trns;
    std::vector<uint16_t> samples;  // two pixels: the first matches the key
  } const cases[] = {
      {2, 8, {0, 10, 0, 20, 0, 30}, {10, 20, 30, 10, 20, 31}},
      {2, 16, {0x0A, 0x99, 0x14, 0x00, 0x1E, 0xFF}, {0x0A00, 0x1401, 0x1E02, 0x0B00, 0x1400, 0x1E00}},
      {0, 2, {0, 2}, {2, 1}},
      {0, 2, {0xFF, 0xFE}, {2, 3}},  // the key is masked to the depth: 0xFFFE & 3 = 2
      {0, 16, {0x80, 0x00}, {0x80FF, 0x7FFF}},
      {0, 8, {0, 200}, {200, 201}},
  };
  for (const KeyCase& c : cases) {
    PngPicture s;
    s.width = 2;
    s.height = 1;
    s.colourtype = c.type;
    s.depth = c.depth;
    s.trns = c.trns;
    s.samples = c.samples;
    RecordingSurface rec;
    ASSERT_EQ(Load(MakePng(s), rec), 0);
    EXPECT_EQ(rec.pixels[0], ExpectedPng(s, 0, 0) & 0xFFFFFFu) << int(c.type) << "/" << int(c.depth);
    EXPECT_EQ(rec.pixels[1], ExpectedPng(s, 1, 0)) << int(c.type) << "/" << int(c.depth);
  }
  // A colour tRNS shorter than its three samples is ignored.
  PngPicture s;
  s.width = 1;
  s.colourtype = 2;
  s.samples = {1, 2, 3};
  s.trns = {0, 1, 0, 2};
  RecordingSurface rec;
  ASSERT_EQ(Load(MakePng(s), rec), 0);
  EXPECT_EQ(rec.pixels[0] >> 24, 255u);
}

namespace {

// A valid RGB PNG with its IHDR fields replaced.
Bytes WithHeader(uint32_t w, uint32_t h, uint8_t depth, uint8_t type, uint8_t comp, uint8_t filt) {
  PngPicture s;
  s.width = 2;
  s.height = 2;
  FillSamples(s);
  Bytes png = MakePng(s);
  Bytes ihdr;
  Be32(ihdr, w);
  Be32(ihdr, h);
  ihdr.insert(ihdr.end(), {depth, type, comp, filt, 0});
  std::copy(ihdr.begin(), ihdr.end(), png.begin() + 16);
  return png;
}

// Chunks rebuilt from (type, body) pairs after the signature.
Bytes FromChunks(const std::vector<std::pair<const char*, Bytes>>& chunks) {
  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  for (auto& c : chunks) PngChunk(out, c.first, c.second);
  return out;
}

Bytes Ihdr(uint32_t w, uint32_t h, uint8_t depth, uint8_t type) {
  Bytes b;
  Be32(b, w);
  Be32(b, h);
  b.insert(b.end(), {depth, type, 0, 0, 0});
  return b;
}

Bytes Deflate(const Bytes& raw) {
  uLongf n = compressBound(uLong(raw.size()));
  Bytes z(n);
  compress2(z.data(), &n, raw.data(), uLong(raw.size()), 6);
  z.resize(n);
  return z;
}

}  // namespace

TEST(PngLoader, BadFilesAreRefusedBeforeTheSurfaceIsCreated) {
  const Bytes rgb2x1 = Deflate({0, 1, 2, 3, 4, 5, 6});
  Bytes longlen = FromChunks({{"IHDR", Ihdr(2, 1, 8, 2)}, {"IDAT", rgb2x1}, {"IEND", {}}});
  longlen[8 + 25 + 0] = 0xFF;  // IDAT length 0xFF......
  Bytes wrapping = longlen;
  wrapping[33] = 0xFF, wrapping[34] = 0xFF, wrapping[35] = 0xFF, wrapping[36] = 0xF4;
  Bytes pastend = longlen;
  pastend[33] = 0, pastend[34] = 0, pastend[35] = 1, pastend[36] = 0;
  struct Bad {
    const char* name;
    Bytes png;
    int result;
  } const cases[] = {
      {"signature", Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0B, 0, 0, 0, 0}, 3},
      {"too short for a signature", Bytes{0x89, 'P', 'N'}, 3},
      {"compression method 1", WithHeader(2, 2, 8, 2, 1, 0), 3},
      {"filter method 1", WithHeader(2, 2, 8, 2, 0, 1), 3},
      {"width 0", WithHeader(0, 2, 8, 2, 0, 0), 1},
      {"height 0", WithHeader(2, 0, 8, 2, 0, 0), 1},
      {"colour at depth 1", WithHeader(2, 2, 1, 2, 0, 0), 1},
      {"palette at depth 16", WithHeader(2, 2, 16, 3, 0, 0), 1},
      {"grey at depth 3", WithHeader(2, 2, 3, 0, 0, 0), 1},
      {"colour type 1", WithHeader(2, 2, 8, 1, 0, 0), 1},
      {"colour type 5", WithHeader(2, 2, 8, 5, 0, 0), 1},
      {"colour type 7", WithHeader(2, 2, 8, 7, 0, 0), 1},
      {"huge size, few bytes", WithHeader(30000, 30000, 8, 6, 0, 0), 1},
      {"no IHDR", FromChunks({{"IDAT", rgb2x1}, {"IEND", {}}}), 1},
      {"short IHDR", FromChunks({{"IHDR", Bytes(12, 1)}, {"IDAT", rgb2x1}}), 1},
      {"repeated IHDR", FromChunks({{"IHDR", Ihdr(2, 1, 8, 2)}, {"IHDR", Ihdr(2, 1, 8, 2)}, {"IDAT", rgb2x1}}), 1},
      {"no IDAT", FromChunks({{"IHDR", Ihdr(2, 1, 8, 2)}, {"IEND", {}}}), 1},
      {"PLTE not a multiple of 3", FromChunks({{"IHDR", Ihdr(2, 1, 8, 3)}, {"PLTE", Bytes(5, 0)}, {"IDAT", rgb2x1}}), 1},
      {"palette image without PLTE", FromChunks({{"IHDR", Ihdr(2, 1, 8, 3)}, {"IDAT", rgb2x1}}), 1},
      {"PLTE over 256 entries", FromChunks({{"IHDR", Ihdr(2, 1, 8, 3)}, {"PLTE", Bytes(771, 0)}, {"IDAT", rgb2x1}}), 1},
      {"length past the data", longlen, 1},
      {"length that wraps the position", wrapping, 1},
      {"length just past the data", pastend, 1},
      // Within what the compressed bytes could expand to, but more than the console could
      // hold: out of memory, before anything is allocated.
      {"image beyond 64 MB", FromChunks({{"IHDR", Ihdr(4097, 4096, 8, 0)}, {"IDAT", Bytes(20000, 0)}}), 2},
      {"16-bit rows beyond 64 MB", FromChunks({{"IHDR", Ihdr(2900, 2900, 16, 6)}, {"IDAT", Bytes(70000, 0)}}), 2},
  };
  for (const Bad& b : cases) {
    RecordingSurface rec;
    EXPECT_EQ(Load(b.png, rec), b.result) << b.name;
    EXPECT_EQ(rec.creates, 0u) << b.name;
  }
  // An image of exactly 64 MB decoded is taken (its garbage data then fails).
  RecordingSurface rec;
  EXPECT_EQ(Load(FromChunks({{"IHDR", Ihdr(4096, 4096, 8, 0)}, {"IDAT", Bytes(20000, 0)}}), rec), 1);
  EXPECT_EQ(rec.creates, 1u);
}

TEST(PngLoader, CompressedDataMustInflateToExactlyTheImage) {
  const Bytes row = {0, 1, 2, 3, 4, 5, 6};
  Bytes shortraw(row.begin(), row.end() - 1), longraw = row;
  longraw.push_back(9);
  Bytes corrupt = Deflate(row);
  corrupt[corrupt.size() - 1] ^= 1;  // the Adler checksum
  const Bytes variants[] = {Deflate(shortraw), Deflate(longraw), corrupt, Bytes{0x78, 0x9C, 0xFF}};
  for (const Bytes& z : variants) {
    RecordingSurface rec;
    EXPECT_EQ(Load(FromChunks({{"IHDR", Ihdr(2, 1, 8, 2)}, {"IDAT", z}, {"IEND", {}}}), rec), 1);
  }
  // The same interlaced: a 1 x 1 image has only pass 1, one filter byte and one sample.
  RecordingSurface rec;
  Bytes ih = Ihdr(1, 1, 8, 0);
  ih[12] = 1;
  EXPECT_EQ(Load(FromChunks({{"IHDR", ih}, {"IDAT", Deflate({0, 7, 9})}}), rec), 1);
  RecordingSurface ok;
  EXPECT_EQ(Load(FromChunks({{"IHDR", ih}, {"IDAT", Deflate({0, 7})}}), ok), 0);
  EXPECT_EQ(ok.pixels[0], 0xFF070707u);
}

TEST(PngLoader, CallbackResultsEndTheLoad) {
  PngPicture s;
  s.width = 3;
  s.height = 3;
  s.colourtype = 3;
  s.depth = 8;
  s.plte = Bytes(9, 1);
  FillSamples(s);
  for (auto& v : s.samples) v %= 3;
  const Bytes png = MakePng(s);
  RecordingSurface create, palette, pixels;
  create.createresult = 4;
  palette.paletteresult = 10;
  pixels.pixelresult = 2;
  EXPECT_EQ(Load(png, create), 4);
  EXPECT_EQ(Load(png, palette), 10);
  EXPECT_EQ(Load(png, pixels), 2);
  EXPECT_EQ(pixels.rowsdelivered, 1u);
}

// ---- cross-check against the system's PNG library, loaded at run time ----------------

namespace {

// The library's simplified interface, declared here so that no header is needed.
struct PngImage {
  void* opaque;
  uint32_t version, width, height, format, flags, colormap_entries, warning_or_error;
  char message[64];
};
constexpr uint32_t kImageVersion = 1;
constexpr uint32_t kFormatRGBA = 3;  // colour | alpha

struct LibPng {
  void* handle = nullptr;
  int (*write_to_memory)(PngImage*, void*, size_t*, int, const void*, int32_t, const void*) = nullptr;
  int (*begin_read_from_memory)(PngImage*, const void*, size_t) = nullptr;
  int (*finish_read)(PngImage*, const void*, void*, int32_t, void*) = nullptr;
  void (*free_image)(PngImage*) = nullptr;
  LibPng() {
    handle = dlopen("libpng16.so.16", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return;
    write_to_memory = reinterpret_cast<decltype(write_to_memory)>(dlsym(handle, "png_image_write_to_memory"));
    begin_read_from_memory = reinterpret_cast<decltype(begin_read_from_memory)>(dlsym(handle, "png_image_begin_read_from_memory"));
    finish_read = reinterpret_cast<decltype(finish_read)>(dlsym(handle, "png_image_finish_read"));
    free_image = reinterpret_cast<decltype(free_image)>(dlsym(handle, "png_image_free"));
  }
  ~LibPng() {
    if (handle) dlclose(handle);
  }
  bool Ok() const { return write_to_memory && begin_read_from_memory && finish_read && free_image; }
};

}  // namespace

TEST(PngLoader, AgreesWithAnIndependentLibrary) {
  LibPng lib;
  if (!lib.Ok()) GTEST_SKIP() << "no system PNG library";
  // Formats: grey, grey+alpha, RGB, RGBA; the library picks its own filters.
  const uint32_t formats[] = {0, 1, 2, 3};
  for (uint32_t format : formats) {
    const uint32_t w = 37, h = 23, ch = (format & 2 ? 3 : 1) + (format & 1);
    Bytes pixels(size_t(w) * h * ch);
    uint32_t r = 99 + format;
    for (size_t i = 0; i < pixels.size(); ++i) {
      r = r * 1103515245u + 12345;
      // Smooth areas with noise, so that every filter type is worth choosing.
      pixels[i] = uint8_t((i / ch % w) * 3 + (i / ch / w) * 5 + ((r >> 16) & 7));
    }
    PngImage img{};
    img.version = kImageVersion;
    img.width = w;
    img.height = h;
    img.format = format;
    size_t size = 0;
    ASSERT_TRUE(lib.write_to_memory(&img, nullptr, &size, 0, pixels.data(), 0, nullptr));
    Bytes png(size);
    ASSERT_TRUE(lib.write_to_memory(&img, png.data(), &size, 0, pixels.data(), 0, nullptr));
    png.resize(size);

    PngImage rd{};
    rd.version = kImageVersion;
    ASSERT_TRUE(lib.begin_read_from_memory(&rd, png.data(), png.size()));
    rd.format = kFormatRGBA;
    Bytes theirs(size_t(w) * h * 4);
    ASSERT_TRUE(lib.finish_read(&rd, nullptr, theirs.data(), 0, nullptr));
    lib.free_image(&rd);

    RecordingSurface rec;
    ASSERT_EQ(Load(png, rec), 0) << format;
    for (size_t i = 0; i < size_t(w) * h; ++i) {
      const uint32_t want = theirs[4 * i] | theirs[4 * i + 1] << 8 | theirs[4 * i + 2] << 16 |
                            uint32_t(theirs[4 * i + 3]) << 24;
      ASSERT_EQ(rec.pixels[i], want) << "format " << format << " pixel " << i;
    }
  }
}
