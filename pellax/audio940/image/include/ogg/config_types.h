/* The Ogg library's integer types for the second core, as its configure writes them for a
   32-bit ARM: plain int for 32 bits. (The bare-metal compiler's int32_t is long; the decoder
   passes int pointers where it declares ogg_int32_t ones, so the two must be one type.) */
#ifndef __CONFIG_TYPES_H__
#define __CONFIG_TYPES_H__
#include <stdint.h>
typedef short ogg_int16_t;
typedef unsigned short ogg_uint16_t;
typedef int ogg_int32_t;
typedef unsigned int ogg_uint32_t;
typedef long long ogg_int64_t;
typedef unsigned long long ogg_uint64_t;
#endif
