// Writes the shoot-em-up's ".lvl" pictures (raw 768x768 RGB565, little-endian, no
// header) into a folder. Each file is written under a temporary name and renamed, so a
// failed run never leaves a short picture behind.
// Usage: pellax_make_lvl FOLDER
#include <cstdio>
#include <string>
#include <vector>

#include "assets/pellax/procedural_art.h"
#include "pellax/game/program_usage.h"

int main(int argc, char** argv) {
  if (argc != 2 || wants_help(argc, argv) || argv[1][0] == '-')
    return print_usage("usage: pellax_make_lvl FOLDER\nWrites pellax's \".lvl\" pictures into FOLDER, which must exist.\n",
                       wants_help(argc, argv));
  const int n = pellax_art::kPictureSize;
  std::vector<uint16_t> pixels(size_t(n) * n);
  std::vector<unsigned char> bytes(pixels.size() * 2);
  for (int i = 0; i < pellax_art::kLvlPictureCount; ++i) {
    const char* name = pellax_art::kLvlPictureNames[i];
    pellax_art::lvl_picture(name, pixels.data());
    for (size_t k = 0; k < pixels.size(); ++k) {
      bytes[2 * k] = static_cast<unsigned char>(pixels[k] & 0xFF);
      bytes[2 * k + 1] = static_cast<unsigned char>(pixels[k] >> 8);
    }
    const std::string path = std::string(argv[1]) + "/" + name;
    const std::string temp = path + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
      std::perror(temp.c_str());
      return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written || std::rename(temp.c_str(), path.c_str()) != 0) {
      std::perror(path.c_str());
      std::remove(temp.c_str());
      return 1;
    }
  }
  return 0;
}
