/* tests/support/alloc_count.c: a library that a test preloads into a program it runs
 * (LD_PRELOAD) to count the program's heap allocations. Every malloc, calloc, realloc and
 * aligned allocation, from any thread, adds one (C++'s new comes through malloc); when the
 * program ends, by exit or by _exit, the count is written as a decimal number to the file
 * that GP2X_ALLOC_COUNT names. Only for programs linked against the C library dynamically,
 * and not beside a sanitizer, which brings an allocator of its own. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

/* The C library's own allocator, under the names it exports for just this use. */
extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t n, size_t size);
extern void* __libc_realloc(void* p, size_t size);
extern void* __libc_memalign(size_t alignment, size_t size);

static atomic_ulong count;

void* malloc(size_t size) {
  atomic_fetch_add_explicit(&count, 1, memory_order_relaxed);
  return __libc_malloc(size);
}
void* calloc(size_t n, size_t size) {
  atomic_fetch_add_explicit(&count, 1, memory_order_relaxed);
  return __libc_calloc(n, size);
}
void* realloc(void* p, size_t size) {
  atomic_fetch_add_explicit(&count, 1, memory_order_relaxed);
  return __libc_realloc(p, size);
}
void* memalign(size_t alignment, size_t size) {
  atomic_fetch_add_explicit(&count, 1, memory_order_relaxed);
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size) {
  void* p = memalign(alignment, size);
  if (!p) return 12; /* ENOMEM */
  *out = p;
  return 0;
}

/* Written with plain calls: the stream functions would allocate. */
static void write_count(void) {
  const char* path = getenv("GP2X_ALLOC_COUNT");
  if (!path) return;
  char text[32];
  const int n = snprintf(text, sizeof text, "%lu\n", atomic_load(&count));
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  if (write(fd, text, (size_t)n) != n) {
  }
  close(fd);
}

__attribute__((destructor)) static void at_exit(void) { write_count(); }

void _exit(int status) {
  write_count();
  syscall(SYS_exit_group, status);
  for (;;) {
  }
}
