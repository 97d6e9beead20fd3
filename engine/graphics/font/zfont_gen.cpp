// Writes the built-in font as a source file: the strip of zfont_design.h compressed with
// the engine's codec. Usage: zfont_gen <output.cpp>
#include <cstdio>
#include <string>

#include "engine/core/zmod_memory.h"
#include "engine/graphics/font/zfont_design.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zfont_gen <output.cpp>\n");
    return 2;
  }
  static uint8_t strip[zfont::kBytes];
  if (!zfont::RenderStrip(strip)) {
    std::fprintf(stderr, "zfont_gen: the glyphs do not fit the strip\n");
    return 1;
  }
  static uint8_t packed[zfont::kBytes + 64];
  uint32_t length = sizeof(packed);
  ClassZMemory memory;
  if (!memory.Compress(packed, length, strip, sizeof(strip))) {
    std::fprintf(stderr, "zfont_gen: compression failed\n");
    return 1;
  }
  // Written aside and renamed, so that a failed run leaves no half file for the build.
  const std::string part = std::string(argv[1]) + ".part";
  FILE* out = std::fopen(part.c_str(), "w");
  if (!out) {
    std::perror(part.c_str());
    return 1;
  }
  std::fprintf(out,
               "// Generated at build time by engine/graphics/font/zfont_gen from engine/graphics/font/zfont_design.h.\n"
               "#include \"engine/graphics/zdsp_base.h\"\n\n"
               "const uint32_t zinternalfont_size = %u;\n"
               "const uint8_t zinternalfont[] = {",
               unsigned(length));
  for (uint32_t i = 0; i < length; ++i)
    std::fprintf(out, "%s0x%02X,", i % 16 ? " " : "\n    ", packed[i]);
  std::fprintf(out, "\n};\n");
  const bool written = std::ferror(out) == 0;
  const bool ok = std::fclose(out) == 0 && written && std::rename(part.c_str(), argv[1]) == 0;
  if (!ok) {
    std::perror(argv[1]);
    std::remove(part.c_str());
  }
  return ok ? 0 : 1;
}
