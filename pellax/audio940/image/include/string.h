/* The image's own byte routines (runtime.c): what the decoder and the program use of
   <string.h>, each working a byte at a time. */
#ifndef PX940_STRING_H
#define PX940_STRING_H
#include <stddef.h>
#ifdef __cplusplus
extern "C" {
#endif
void *memcpy(void *dest, const void *src, size_t n);
void *memmove(void *dest, const void *src, size_t n);
void *memset(void *dest, int c, size_t n);
int memcmp(const void *a, const void *b, size_t n);
void *memchr(const void *s, int c, size_t n);
size_t strlen(const char *s);
int strcmp(const char *a, const char *b);
int strncmp(const char *a, const char *b, size_t n);
#ifdef __cplusplus
}
#endif
#endif
