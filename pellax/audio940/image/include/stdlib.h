/* What the decoder uses of <stdlib.h>: its memory calls are the program's arena
   (arm940_alloc and friends), alloca the compiler's own, abs an inline. */
#ifndef PX940_STDLIB_H
#define PX940_STDLIB_H
#include <stddef.h>
#ifdef __cplusplus
extern "C" {
#endif
void *arm940_alloc(size_t n);
void *arm940_calloc(size_t count, size_t size);
void *arm940_realloc(void *p, size_t n);
void arm940_free(void *p);
/* An in-place heap sort (runtime.c): the decoder sorts its codebook and floor tables. */
void qsort(void *base, size_t count, size_t size, int (*compare)(const void *, const void *));
#ifdef __cplusplus
}
#endif
#define malloc(n) arm940_alloc(n)
#define calloc(c, s) arm940_calloc(c, s)
#define realloc(p, n) arm940_realloc(p, n)
#define free(p) arm940_free(p)
#define alloca(n) __builtin_alloca(n)
static inline int abs(int v) { return v < 0 ? -v : v; }
static inline long labs(long v) { return v < 0 ? -v : v; }
#endif
