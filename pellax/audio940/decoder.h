// The integer Ogg Vorbis decoder the program links. In the second core's image it is the
// decoder compiled from its own sources with the image's runtime (image/). On a PC (tests,
// measurements) it is a copy of the system's static libvorbisidec and libogg in which
// every symbol carries the prefix "a940_" and whose memory calls go to the program's arena
// (arena.h), so that the copy lives beside any other use of the library in the same binary.
// Include this header, not the library's, so the calls below reach the right one.
#pragma once

#ifdef PX940_FREESTANDING
#include "ivorbisfile.h"
#else
#define ov_open_callbacks a940_ov_open_callbacks
#define ov_read a940_ov_read
#define ov_clear a940_ov_clear
#include <tremor/ivorbisfile.h>
#endif
