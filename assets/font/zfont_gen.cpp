// Writes the built-in font as a source file: the strip of zfont_design.h compressed with
// the engine's codec. Usage: zfont_gen OUTPUT.cpp; exits with 1 when it cannot, 2 on bad
// usage; --help prints the usage (exit 0).
#include <cstdio>
#include <string>

#include "assets/font/zfont_design.h"
#include "engine/core/zmod_memory.h"
#include "tools/tool_usage.h"

int main(int argc, char** argv) {
  const char usage[] =
      "usage: zfont_gen OUTPUT.cpp\n"
      "Writes the engine's built-in font, compressed with its codec, as a C++ source file.\n";
  if (ToolHelpAsked(argc, argv)) return ToolUsage(usage, true);
  if (argc == 2 && argv[1][0] == '-')
    return ToolMistake("zfont_gen", std::string("unknown option \"") + argv[1] + "\"", usage);
  if (argc != 2) return ToolMistake("zfont_gen", "needs one OUTPUT.cpp", usage);
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
               "// Generated at build time by assets/font/zfont_gen from assets/font/zfont_design.h.\n"
               "#include \"engine/core/zdsp_base.h\"\n\n"
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
