/* The image's own C runtime: the byte-wise copy, fill, compare, string-length and character
   routines the decoder and the program call (there is no C library on the second core).
   Built with -fno-tree-loop-distribute-patterns so that the loops stay loops rather than
   becoming calls to themselves. */
#include <ctype.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

void *memcpy(void *dest, const void *src, size_t n) {
  unsigned char *d = dest;
  const unsigned char *s = src;
  while (n--) *d++ = *s++;
  return dest;
}

void *memmove(void *dest, const void *src, size_t n) {
  unsigned char *d = dest;
  const unsigned char *s = src;
  if (d < s) {
    while (n--) *d++ = *s++;
  } else {
    while (n--) d[n] = s[n];
  }
  return dest;
}

void *memset(void *dest, int c, size_t n) {
  unsigned char *d = dest;
  while (n--) *d++ = (unsigned char)c;
  return dest;
}

int memcmp(const void *a, const void *b, size_t n) {
  const unsigned char *x = a, *y = b;
  for (; n; --n, ++x, ++y)
    if (*x != *y) return *x - *y;
  return 0;
}

void *memchr(const void *s, int c, size_t n) {
  const unsigned char *p = s;
  for (; n; --n, ++p)
    if (*p == (unsigned char)c) return (void *)p;
  return 0;
}

size_t strlen(const char *s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

int strcmp(const char *a, const char *b) {
  while (*a && *a == *b) ++a, ++b;
  return (unsigned char)*a - (unsigned char)*b;
}

int strncmp(const char *a, const char *b, size_t n) {
  for (; n; --n, ++a, ++b) {
    if (*a != *b || !*a) return (unsigned char)*a - (unsigned char)*b;
  }
  return 0;
}

int toupper(int c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }
int tolower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

/* The core has no out-of-order memory system: the shared words need no barrier. */
void __sync_synchronize(void) {}

/* The decoder clears it before each read of a stream; the program's reads never set it. */
int errno;

static void swap_bytes(unsigned char *a, unsigned char *b, size_t n) {
  while (n--) {
    unsigned char t = *a;
    *a++ = *b;
    *b++ = t;
  }
}

/* Moves element i down the heap of the first n elements until both children are smaller. */
static void sift_down(unsigned char *base, size_t i, size_t n, size_t size,
                      int (*compare)(const void *, const void *)) {
  for (;;) {
    size_t largest = i, left = 2 * i + 1, right = left + 1;
    if (left < n && compare(base + left * size, base + largest * size) > 0) largest = left;
    if (right < n && compare(base + right * size, base + largest * size) > 0) largest = right;
    if (largest == i) return;
    swap_bytes(base + i * size, base + largest * size, size);
    i = largest;
  }
}

void qsort(void *base, size_t count, size_t size, int (*compare)(const void *, const void *)) {
  unsigned char *b = base;
  if (count < 2 || size == 0) return;
  for (size_t i = count / 2; i-- > 0;) sift_down(b, i, count, size, compare);
  for (size_t n = count - 1; n > 0; --n) {
    swap_bytes(b, b + n * size, size);
    sift_down(b, 0, n, size, compare);
  }
}
