// The device seam on a PC: device paths go to the emulated devices, everything else to the
// real system calls; time comes from the layer's one clock.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "seam/gp2x_seam.h"
#include "host/host_registers.h"
#include "host/host_runtime.h"

namespace gp2x {

using host::runtime;

int open(const char* path, int flags, int mode) {
  if (!path) {
    errno = EFAULT;
    return -1;
  }
  bool is_device = false;
  auto device = host::open_device(path, flags, &is_device);
  if (!is_device) return ::open(path, flags, mode);
  host::take_quit_signals();
  if (!device) return -1;
  const int fd = runtime().devices.add(device);
  if (fd < 0) device->closed();  // no descriptor: the device is free for the next open
  return fd;
}

int close(int fd) {
  if (runtime().devices.remove(fd)) return 0;
  return ::close(fd);
}

int ioctl(int fd, unsigned long request, void* arg) {
  if (auto device = runtime().devices.find(fd)) return device->ioctl(request, arg);
  return ::ioctl(fd, request, arg);
}

void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
  if (fd >= 0) {
    if (auto device = runtime().devices.find(fd)) {
      void* p = device->mmap(length, offset);
      return p ? p : MAP_FAILED;
    }
  }
  return ::mmap(addr, length, prot, flags, fd, offset);
}

int munmap(void* addr, size_t length) {
  // Emulated memory lives as long as the program: unmapping it only ends the caller's use.
  if (host::is_emulated_memory(addr, length)) return 0;
  return ::munmap(addr, length);
}

ssize_t read(int fd, void* buffer, size_t count) {
  if (auto device = runtime().devices.find(fd)) return device->read(buffer, count);
  return ::read(fd, buffer, count);
}

ssize_t write(int fd, const void* buffer, size_t count) {
  if (auto device = runtime().devices.find(fd)) return device->write(buffer, count);
  return ::write(fd, buffer, count);
}

int gettimeofday(struct timeval* tv) {
  host::Runtime& rt = runtime();
  if (!rt.clock.is_virtual()) return ::gettimeofday(tv, nullptr);
  if (!tv) {
    errno = EFAULT;
    return -1;
  }
  const uint64_t us = rt.clock.now_ns() / 1000;
  tv->tv_sec = static_cast<time_t>(rt.settings.epoch_seconds + static_cast<int64_t>(us / 1000000));
  tv->tv_usec = static_cast<suseconds_t>(us % 1000000);
  return 0;
}

int usleep(uint32_t microseconds) {
  runtime().sleep_ns(static_cast<uint64_t>(microseconds) * 1000);
  return 0;
}

int nanosleep(const struct timespec* request, struct timespec* remain) {
  if (!request) {
    errno = EFAULT;
    return -1;
  }
  if (request->tv_sec < 0 || request->tv_nsec < 0 || request->tv_nsec >= 1000000000) {
    errno = EINVAL;
    return -1;
  }
  runtime().sleep_ns(static_cast<uint64_t>(request->tv_sec) * 1000000000ull +
                     static_cast<uint64_t>(request->tv_nsec));
  if (remain) *remain = timespec{0, 0};
  return 0;
}

time_t time(time_t* out) {
  host::Runtime& rt = runtime();
  time_t t = rt.clock.is_virtual()
                 ? static_cast<time_t>(rt.settings.epoch_seconds +
                                       static_cast<int64_t>(rt.clock.now_ns() / 1000000000ull))
                 : ::time(nullptr);
  if (out) *out = t;
  return t;
}

int chdir(const char* path) {
  if (!path) {
    errno = EFAULT;
    return -1;
  }
  // The console's own folders are not on this machine: the change is kept, not made.
  if (!std::strcmp(path, "/usr/gp2x") || !std::strncmp(path, "/usr/gp2x/", 10)) {
    host::Runtime& rt = runtime();
    std::lock_guard<std::mutex> lock(rt.handover_mutex);
    rt.chdir_recorded = path;
    return 0;
  }
  return ::chdir(path);
}

int execl(const char* path, const char* arg0, ...) {
  std::vector<char*> argv{const_cast<char*>(arg0)};
  va_list args;
  va_start(args, arg0);
  while (const char* a = va_arg(args, const char*)) argv.push_back(const_cast<char*>(a));
  va_end(args);
  argv.push_back(nullptr);

  host::Runtime& rt = runtime();
  std::fprintf(stderr, "gp2x host: program hands over to \"%s\"\n", path ? path : "");
  if (rt.settings.exec_program.empty()) rt.end_run(0);
  rt.finish();
  std::fflush(nullptr);
  const std::string& program = rt.settings.exec_program;
  argv[0] = const_cast<char*>(program.c_str());
  ::execv(program.c_str(), argv.data());
  std::fprintf(stderr, "gp2x host: cannot start \"%s\": %s\n", program.c_str(), std::strerror(errno));
  return -1;
}

bool quit_requested() { return host::quit_requested(); }

uint16_t peek16(const volatile void* address) { return host::hw_read16(address); }
uint32_t peek32(const volatile void* address) { return host::hw_read32(address); }
void poke16(volatile void* address, uint16_t value) { host::hw_write16(address, value); }
void poke32(volatile void* address, uint32_t value) { host::hw_write32(address, value); }

}  // namespace gp2x
