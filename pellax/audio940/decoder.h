// The integer Ogg Vorbis decoder the program links: a copy of the system's static
// libvorbisidec and libogg in which every symbol carries the prefix "a940_" and whose
// memory calls go to the program's arena (arena.h). The copy lives beside any other use of
// the library in the same binary (tests compare against the plain one). Include this
// header, not the library's, so the calls below reach the copy.
#pragma once

#define ov_open_callbacks a940_ov_open_callbacks
#define ov_read a940_ov_read
#define ov_clear a940_ov_clear
#include <tremor/ivorbisfile.h>
