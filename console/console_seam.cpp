// The device seam on the console: every call is the plain system call, and the registers
// are plain volatile loads and stores into the caller's mapping of "/dev/mem". The only
// thing added is the quit request, which the system delivers as a signal.
#include <alloca.h>
#include <csignal>
#include <cstdarg>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "seam/gp2x_seam.h"

namespace gp2x {

namespace {

volatile std::sig_atomic_t g_quit_request = 0;
std::once_flag g_signals_taken;

void take_quit_request(int) { g_quit_request = 1; }

// From the first open of a device a program is a console program: SIGINT and SIGTERM then
// ask it to quit through its own quit path. The handler is taken once only, so a second
// signal ends a program that does not get there.
void take_quit_signals() {
  std::call_once(g_signals_taken, [] {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    action.sa_handler = take_quit_request;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
  });
}

}  // namespace

int open(const char* path, int flags, int mode) {
  if (path && !std::strncmp(path, "/dev/", 5)) take_quit_signals();
  return ::open(path, flags, mode);
}

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
  // As the C library's own execl: the arguments up to the null one become the new
  // program's argv.
  va_list args;
  va_start(args, arg0);
  size_t count = 1;
  while (va_arg(args, const char*)) ++count;
  va_end(args);
  char** argv = static_cast<char**>(alloca((count + 1) * sizeof(char*)));
  argv[0] = const_cast<char*>(arg0);
  va_start(args, arg0);
  for (size_t i = 1; i <= count; ++i) argv[i] = const_cast<char*>(va_arg(args, const char*));
  va_end(args);
  return ::execv(path, argv);
}

bool quit_requested() { return g_quit_request != 0; }

uint16_t peek16(const volatile void* address) { return *static_cast<const volatile uint16_t*>(address); }
uint32_t peek32(const volatile void* address) { return *static_cast<const volatile uint32_t*>(address); }
void poke16(volatile void* address, uint16_t value) { *static_cast<volatile uint16_t*>(address) = value; }
void poke32(volatile void* address, uint32_t value) { *static_cast<volatile uint32_t*>(address) = value; }

}  // namespace gp2x
