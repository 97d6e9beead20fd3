// The program's start-up on a PC. On the console the start-up code sets the stack and the
// protection unit and calls arm940_main; on a PC the host layer's second core runs the
// program, so here it is installed there under its image, entered in its two halves.
#include <cstring>

#include "host/host_second_core.h"
#include "pellax/audio940/core.h"
#include "pellax/audio940/program_image.h"

namespace {

const bool installed = [] {
  gp2x::host::SecondCoreProgram program;
  program.name = arm940_program.image.name;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&arm940_program.image);
  program.image.assign(bytes, bytes + arm940_program.length);
  program.start = [](uint8_t* memory) { audio940::arm940_start(audio940::kBlockAddress, memory); };
  program.pass = [] { return audio940::arm940_service(); };
  program.stopped = [] { return audio940::arm940_stop_requested(); };
  gp2x::host::install_second_core_program(std::move(program));
  return true;
}();

}  // namespace
