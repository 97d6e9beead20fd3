// Pass-through seam: the plain system calls, as on the console.
#include "host/gp2x_seam.h"

#include <cstdarg>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace gp2x {

int open(const char* path, int flags, int mode) { return ::open(path, flags, mode); }
int close(int fd) { return ::close(fd); }
int ioctl(int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); }
void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
  return ::mmap(addr, length, prot, flags, fd, offset);
}
int munmap(void* addr, size_t length) { return ::munmap(addr, length); }
ssize_t read(int fd, void* buffer, size_t count) { return ::read(fd, buffer, count); }
ssize_t write(int fd, const void* buffer, size_t count) { return ::write(fd, buffer, count); }

int gettimeofday(struct timeval* tv) { return ::gettimeofday(tv, nullptr); }
int usleep(uint32_t microseconds) { return ::usleep(microseconds); }
int nanosleep(const struct timespec* request, struct timespec* remain) {
  return ::nanosleep(request, remain);
}
time_t time(time_t* out) { return ::time(out); }

int chdir(const char* path) { return ::chdir(path); }
int execl(const char* path, const char* arg0, ...) {
  std::vector<char*> argv{const_cast<char*>(arg0)};
  va_list args;
  va_start(args, arg0);
  while (const char* a = va_arg(args, const char*)) argv.push_back(const_cast<char*>(a));
  va_end(args);
  argv.push_back(nullptr);
  return ::execv(path, argv.data());
}

uint16_t peek16(const volatile void* a) { return *static_cast<const volatile uint16_t*>(a); }
uint32_t peek32(const volatile void* a) { return *static_cast<const volatile uint32_t*>(a); }
void poke16(volatile void* a, uint16_t v) { *static_cast<volatile uint16_t*>(a) = v; }
void poke32(volatile void* a, uint32_t v) { *static_cast<volatile uint32_t*>(a) = v; }

}  // namespace gp2x
