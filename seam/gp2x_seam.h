// The device seam: every call the console code makes to the operating system for its
// devices, clock and program hand-over goes through these functions. On the console they
// are the plain system calls (console/); on a PC the host layer (host/) routes "/dev/fb0",
// "/dev/fb1", "/dev/mem", "/dev/dsp" and "/dev/batt" to emulated devices and passes every
// other path to the real calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <sys/time.h>
#include <sys/types.h>

namespace gp2x {

int open(const char* path, int flags, int mode = 0);
int close(int fd);
int ioctl(int fd, unsigned long request, void* arg);
void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset);
int munmap(void* addr, size_t length);
ssize_t read(int fd, void* buffer, size_t count);
ssize_t write(int fd, const void* buffer, size_t count);

// Time: one clock for everything (virtual when headless).
int gettimeofday(struct timeval* tv);
int usleep(uint32_t microseconds);
int nanosleep(const struct timespec* request, struct timespec* remain);
time_t time(time_t* out);

// Program hand-over ("/usr/gp2x/gp2xmenu", the ending programs).
int chdir(const char* path);
int execl(const char* path, const char* arg0, ...);

// True once the system asked the program to end (SIGINT, SIGTERM; on a PC also the window
// closed). The program leaves through its own quit path at its next frame, saving what it
// keeps, and ends as it always does (the hand-over to the menu).
bool quit_requested();

// Hardware registers: on the console plain volatile accesses into a mapping of "/dev/mem";
// on a PC reads are live and writes act on the emulated hardware.
uint16_t peek16(const volatile void* address);
uint32_t peek32(const volatile void* address);
void poke16(volatile void* address, uint16_t value);
void poke32(volatile void* address, uint32_t value);

}  // namespace gp2x
