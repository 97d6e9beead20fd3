// The program's image as the game uploads it to the second core's address 0, stored with
// its 32-bit byte length. On the console the image is the program's code and data. On a PC
// the host layer runs the program linked into the game, and the image is a header naming
// it: a magic, the program's name, the version of the command block protocol and a hash
// of the program's sources, so that an upload that is missing, cut or damaged runs
// nothing.
#pragma once

#include <cstdint>

namespace audio940 {

struct ProgramImage {
  char magic[8];
  char name[16];
  uint32_t version;
  uint32_t source_hash;
};

struct EmbeddedImage {
  uint32_t length;  // bytes of `image`
  ProgramImage image;
};

}  // namespace audio940

extern const audio940::EmbeddedImage arm940_program;
