/* The decoder clears errno before a read and looks at it after one (runtime.c holds it). */
#ifndef PX940_ERRNO_H
#define PX940_ERRNO_H
extern int errno;
#endif
