// zimg: decodes an image with the engine's registered loaders and writes it as a BMP.
//
//   zimg IN OUT.bmp [--format N]      N: surface format 1-6 (default 6, 32-bit)
//
// A failed load prints the loader's result code and exits with 1; a failed write exits
// with 1; bad usage exits with 2.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/graphics/zdsp_standalone.h"
#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_png.h"
#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zsurf_2d.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: zimg IN OUT.bmp [--format 1-6]\n");
  return 2;
}

const char* Meaning(int code) {
  switch (code) {
    case 1: return "bad or damaged data";
    case 2: return "out of memory";
    case 3: return "not a format any loader reads";
    case 4: return "bad argument";
    case 10: return "palette full";
    default: return "error";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) return Usage();
  int format = ZFMT_XRGB8888;
  if (argc == 5) {
    if (std::strcmp(argv[3], "--format") != 0) return Usage();
    format = std::atoi(argv[4]);
    if (format < 1 || format > 6) return Usage();
  }
  std::FILE* f = std::fopen(argv[1], "rb");
  if (!f) {
    std::fprintf(stderr, "zimg: cannot open %s\n", argv[1]);
    return 1;
  }
  std::vector<uint8_t> data;
  uint8_t chunk[65536];
  for (size_t n; (n = std::fread(chunk, 1, sizeof(chunk), f)) > 0;) data.insert(data.end(), chunk, chunk + n);
  std::fclose(f);
  if (data.size() > 0xFFFFFFFFu) {
    std::fprintf(stderr, "zimg: %s is too large\n", argv[1]);
    return 1;
  }

  ZStandaloneDisplay engine(0, uint8_t(format));
  engine.display.RegisterLoader(new ZLoader_BMP);
  engine.display.RegisterLoader(new ZLoader_PNG);

  Z2DSurface surface;
  surface.LinkZCD(&engine.zcd);
  const int r = surface.LoadImage(data.data(), uint32_t(data.size()), uint8_t(format), 1);
  if (r != 0) {
    std::fprintf(stderr, "zimg: %s: result %d (%s)\n", argv[1], r, Meaning(r));
    return 1;
  }
  const int w = surface.WriteBmp(argv[2], nullptr);
  if (w != 0) {
    std::fprintf(stderr, "zimg: cannot write %s: result %d\n", argv[2], w);
    return 1;
  }
  std::printf("%s: %ux%u, format %d\n", argv[1], surface.GetWidth(), surface.GetHeight(), format);
  return 0;
}
