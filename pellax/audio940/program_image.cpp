#include "pellax/audio940/program_image.h"

#ifndef PX940_SOURCE_HASH
#error "the build gives the hash of the program's sources"
#endif

const audio940::EmbeddedImage arm940_program = {
    sizeof(audio940::ProgramImage), {{'P', 'X', '9', '4', '0', 'I', 'M', 'G'}, "pellax audio", 1, PX940_SOURCE_HASH}};
