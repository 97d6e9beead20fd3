/* tests/support/alloc_count.c: a library that a test preloads into a program it runs
 * (LD_PRELOAD) to count the program's heap allocations. Every malloc, calloc, realloc and
 * aligned allocation, from any thread, adds one (C++'s new comes through malloc); when the
 * program ends, by exit or by _exit, the count is written as a decimal number to the file
 * that GP2X_ALLOC_COUNT names. GP2X_ALLOC_NOT_FROM may name a shared library (a part of
 * its file name, "libunicorn" say) whose allocations are left out, those it makes and those
 * made for it (a function of it among the last few callers): a library that allocates as it
 * works, beside a program that is to allocate nothing. Only for programs linked
 * against the C library dynamically, and not beside a sanitizer, which brings an allocator
 * of its own. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <fcntl.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

/* The C library's own allocator, under the names it exports for just this use. */
extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t n, size_t size);
extern void* __libc_realloc(void* p, size_t size);
extern void* __libc_memalign(size_t alignment, size_t size);

static atomic_ulong count;

/* The left-out library's loaded segments, found once it is loaded. */
enum { kMaxSegments = 8, kCallers = 12 };
static uintptr_t segment_start[kMaxSegments], segment_end[kMaxSegments];
static atomic_int segments;

static int find_segments(struct dl_phdr_info* info, size_t size, void* name) {
  (void)size;
  if (!info->dlpi_name || !strstr(info->dlpi_name, (const char*)name)) return 0;
  int n = 0;
  for (int i = 0; i < info->dlpi_phnum && n < kMaxSegments; ++i) {
    if (info->dlpi_phdr[i].p_type != PT_LOAD) continue;
    segment_start[n] = info->dlpi_addr + info->dlpi_phdr[i].p_vaddr;
    segment_end[n] = segment_start[n] + info->dlpi_phdr[i].p_memsz;
    ++n;
  }
  atomic_store(&segments, n);
  return 1;
}

static int in_skipped_library(void* address) {
  const uintptr_t a = (uintptr_t)address;
  for (int i = 0; i < atomic_load(&segments); ++i)
    if (a >= segment_start[i] && a < segment_end[i]) return 1;
  return 0;
}

/* Counts one allocation, unless one of its last few callers is in the library left out.
 * The unwinder that finds them may allocate the first time it runs: those are counted. */
static void note(void* caller) {
  static __thread int unwinding;
  const char* skip = getenv("GP2X_ALLOC_NOT_FROM");
  if (skip && *skip && !unwinding) {
    if (!atomic_load(&segments)) dl_iterate_phdr(find_segments, (void*)skip);
    /* The library's own calls, by far the most, without unwinding. */
    if (in_skipped_library(caller)) return;
    unwinding = 1;
    void* callers[kCallers];
    const int n = backtrace(callers, kCallers);
    unwinding = 0;
    for (int i = 0; i < n; ++i)
      if (in_skipped_library(callers[i])) return;
  }
  atomic_fetch_add_explicit(&count, 1, memory_order_relaxed);
}

void* malloc(size_t size) {
  note(__builtin_return_address(0));
  return __libc_malloc(size);
}
void* calloc(size_t n, size_t size) {
  note(__builtin_return_address(0));
  return __libc_calloc(n, size);
}
void* realloc(void* p, size_t size) {
  note(__builtin_return_address(0));
  return __libc_realloc(p, size);
}
void* memalign(size_t alignment, size_t size) {
  note(__builtin_return_address(0));
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
  note(__builtin_return_address(0));
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
  note(__builtin_return_address(0));
  void* p = __libc_memalign(alignment, size);
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
