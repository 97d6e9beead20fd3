/* Sizes and the byte order (little-endian, as the second core runs): the decoder's headers
   include this for them. */
#ifndef PX940_SYS_TYPES_H
#define PX940_SYS_TYPES_H
#include <stddef.h>
#include <stdint.h>
typedef long ssize_t;
typedef long off_t;
#define LITTLE_ENDIAN 1234
#define BIG_ENDIAN 4321
#define BYTE_ORDER LITTLE_ENDIAN
#endif
