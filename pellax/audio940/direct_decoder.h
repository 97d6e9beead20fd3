// The plain integer decoder (system allocator) under names of its own, beside the
// program's copy and any other Vorbis library in the same binary: for tests and
// measurements that decode a stream directly. Include it instead of the library's header.
#pragma once

#define ov_open_callbacks direct_ov_open_callbacks
#define ov_read direct_ov_read
#define ov_clear direct_ov_clear
#include <tremor/ivorbisfile.h>
