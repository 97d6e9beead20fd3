// zimg: decodes an image with the engine's registered loaders and writes it as a BMP.
//
//   zimg IN OUT.bmp [--format N]      N: surface format 1-6 (default 6, 32-bit)
//
// It writes BMP only and refuses an output name that asks for another kind (out.png).
// A picture with transparency (an alpha below 255 anywhere) is written as a 32-bit BMP
// with its alpha channel, as an RGBA surface of that format holds it, so that partly
// transparent pixels keep their colour and an image viewer shows their alpha; any other
// picture, and every 8-bit one (its surfaces keep no alpha), as the surface's own 24-bit
// BMP. A failed load or write says why in words and exits with 1, leaving no file; bad
// usage exits with 2; --help prints the usage and exits with 0.
#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/graphics/zdsp_standalone.h"
#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_png.h"
#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_2drgba.h"
#include "seam/regular_file.h"
#include "tools/tool_usage.h"

namespace {

const char kUsage[] =
    "usage: zimg IN OUT.bmp [--format 1-6]\n"
    "Reads the picture IN (PNG or BMP) as the engine does and writes it to OUT.bmp, a BMP\n"
    "file (the only kind zimg writes): 24-bit, or 32-bit with an alpha channel when the\n"
    "picture has transparency.\n"
    "  --format N  the engine's surface format the picture is read into, which decides\n"
    "              the colours kept: 1 8-bit palette, 2 16-bit 4:4:4, 3 16-bit 5:5:5,\n"
    "              4 16-bit 5:6:5, 5 24-bit, 6 32-bit (the default, every colour kept)\n";

int Mistake(const std::string& what) { return ToolMistake("zimg", what, kUsage); }

// What a failed read means to the person who gave the file.
const char* Meaning(int code) {
  switch (code) {
    case 1: return "the picture is damaged, cut short, or a kind of PNG or BMP that is not read";
    case 2: return "out of memory";
    case 3: return "not a picture zimg can read (it reads PNG and BMP)";
    case 4: return "the picture is empty or too large";
    case 10: return "too many colours for the 8-bit palette";
    default: return "the picture cannot be read";
  }
}

// True when the name ends in ".bmp", in any case.
bool NamesBmp(const char* name) {
  const size_t n = std::strlen(name);
  return n > 4 && strcasecmp(name + n - 4, ".bmp") == 0;
}

// What the surface's BMP writer's codes mean.
const char* WriteMeaning(int code) {
  switch (code) {
    case 1: return "the file cannot be made or written";
    case 2: return "out of memory";
    case 4: return "the name cannot be used";
    default: return "error";
  }
}

bool HasTransparency(const Z2DSurfaceRGBA& image) {
  for (uint32_t y = 0; y < image.GetHeight(); ++y)
    for (uint32_t x = 0; x < image.GetWidth(); ++x) {
      uint32_t colour = 0;
      uint8_t alpha = 0;
      image.GetPixel(int32_t(x), int32_t(y), colour, alpha);
      if (alpha != 255) return true;
    }
  return false;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A 32-bit BMP with an alpha mask (a version 4 header with bit fields), rows bottom-up,
// each pixel the straight colour and alpha. False with errno set when the file cannot be
// written; no partial file is left.
bool WriteBmpWithAlpha(const Z2DSurfaceRGBA& image, const char* path) {
  const uint32_t w = image.GetWidth(), h = image.GetHeight();
  const uint32_t header = 14 + 108, pixels = w * h * 4;
  std::vector<uint8_t> out;
  out.reserve(header + pixels);
  out.push_back('B');
  out.push_back('M');
  Put32(out, header + pixels);
  Put32(out, 0);
  Put32(out, header);
  Put32(out, 108);  // the version 4 header
  Put32(out, w);
  Put32(out, h);  // positive: bottom-up
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, 3);  // bit fields
  Put32(out, pixels);
  Put32(out, 2835);  // 72 dots an inch
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0x00FF0000u);  // red, green, blue and alpha masks
  Put32(out, 0x0000FF00u);
  Put32(out, 0x000000FFu);
  Put32(out, 0xFF000000u);
  Put32(out, 0x73524742u);  // "sRGB"
  out.resize(header, 0);     // end points and gamma: unused with sRGB
  for (uint32_t y = h; y-- > 0;)
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t colour = 0;  // 0x00BBGGRR
      uint8_t alpha = 0;
      image.GetPixel(int32_t(x), int32_t(y), colour, alpha);
      Put32(out, uint32_t(alpha) << 24 | (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF));
    }
  std::FILE* f = fopen_regular_file(path, "wb");
  if (!f) return false;
  bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  int error = ok ? 0 : errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    std::remove(path);
    errno = error;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (ToolHelpAsked(argc, argv)) return ToolUsage(kUsage, true);
  int format = ZFMT_XRGB8888;
  std::vector<const char*> names;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--format") {
      if (i + 1 >= argc) return Mistake("--format needs a value");
      const std::string v = argv[++i];
      if (v.size() != 1 || v[0] < '1' || v[0] > '6')
        return Mistake("--format " + v + ": the format is a number from 1 to 6");
      format = v[0] - '0';
    } else if (a.size() > 1 && a[0] == '-') {
      return Mistake("unknown option \"" + a + "\"");
    } else {
      names.push_back(argv[i]);
    }
  }
  if (names.size() != 2) return Mistake("needs IN and OUT.bmp, " + std::to_string(names.size()) + " names given");
  const char* in = names[0];
  const char* outname = names[1];
  // A name that asks for another kind of file would get BMP bytes under it.
  if (!NamesBmp(outname))
    return Mistake(std::string(outname) + ": zimg writes BMP files only; name the output *.bmp");
  std::FILE* f = fopen_regular_file(in, "rb");
  if (!f) {
    std::fprintf(stderr, "zimg: cannot open %s: %s\n", in, std::strerror(errno));
    return 1;
  }
  std::vector<uint8_t> data;
  uint8_t chunk[65536];
  for (size_t n; (n = std::fread(chunk, 1, sizeof(chunk), f)) > 0;) data.insert(data.end(), chunk, chunk + n);
  std::fclose(f);
  if (data.size() > 0xFFFFFFFFu) {
    std::fprintf(stderr, "zimg: %s is too large\n", in);
    return 1;
  }

  ZStandaloneDisplay engine(0, uint8_t(format));
  engine.display.RegisterLoader(new ZLoader_BMP);
  engine.display.RegisterLoader(new ZLoader_PNG);

  Z2DSurface surface;
  surface.LinkZCD(&engine.zcd);
  const int r = surface.LoadImage(data.data(), uint32_t(data.size()), uint8_t(format), 1);
  if (r != 0) {
    std::fprintf(stderr, "zimg: %s: %s\n", in, Meaning(r));
    return 1;
  }
  // The same decode with its alpha: a surface stores pixels that are not opaque as its
  // transparent key, black.
  Z2DSurfaceRGBA rgba;
  rgba.LinkZCD(&engine.zcd);
  const bool alpha = format != ZFMT_INDEX8 &&
                     rgba.LoadImage(data.data(), uint32_t(data.size()), uint8_t(format), 0) == 0 &&
                     HasTransparency(rgba);
  if (alpha) {
    if (!WriteBmpWithAlpha(rgba, outname)) {
      std::fprintf(stderr, "zimg: cannot write %s: %s\n", outname, std::strerror(errno));
      return 1;
    }
  } else {
    errno = 0;
    const int w = surface.WriteBmp(outname, nullptr);
    if (w != 0) {
      const int error = errno;
      std::fprintf(stderr, "zimg: cannot write %s: %s%s%s\n", outname, WriteMeaning(w), error ? ": " : "",
                   error ? std::strerror(error) : "");
      return 1;
    }
  }
  std::printf("%s: %ux%u, format %d%s\n", in, surface.GetWidth(), surface.GetHeight(), format,
              alpha ? ", with alpha (32-bit BMP)" : "");
  return 0;
}
