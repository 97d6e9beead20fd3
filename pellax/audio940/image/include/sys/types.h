/* Sizes only: the decoder's headers include this for them. */
#ifndef PX940_SYS_TYPES_H
#define PX940_SYS_TYPES_H
#include <stddef.h>
#include <stdint.h>
typedef long ssize_t;
typedef long off_t;
#endif
