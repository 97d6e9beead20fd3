#include "engine/core/zmod_platform.h"

#include <fcntl.h>

#include "seam/gp2x_seam.h"

namespace {

uint64_t DefaultNow() {
  struct timeval tv {};
  gp2x::gettimeofday(&tv);
  return static_cast<uint64_t>(tv.tv_sec) * 1000000u + static_cast<uint64_t>(tv.tv_usec);
}

void DefaultSleep(uint32_t microseconds) { gp2x::usleep(microseconds); }

int DefaultBattery(uint16_t* value) {
  int fd = gp2x::open("/dev/batt", O_RDONLY);
  if (fd < 0) return 0;
  uint16_t reading = 0;
  ssize_t got = gp2x::read(fd, &reading, sizeof(reading));
  gp2x::close(fd);
  if (got != static_cast<ssize_t>(sizeof(reading))) return 0;
  *value = reading;
  return 1;
}

ZPlatformNowFn g_now = DefaultNow;
ZPlatformSleepFn g_sleep = DefaultSleep;
ZPlatformBatteryFn g_battery = DefaultBattery;

}  // namespace

uint64_t ZPlatform_NowMicros() { return g_now(); }

void ZPlatform_Sleep(uint32_t microseconds) { g_sleep(microseconds); }

int ZPlatform_ReadBattery(uint16_t* value) {
  if (value == nullptr) return 0;
  return g_battery(value);
}

void ZPlatform_SetClock(ZPlatformNowFn now, ZPlatformSleepFn sleep) {
  g_now = now != nullptr ? now : DefaultNow;
  g_sleep = sleep != nullptr ? sleep : DefaultSleep;
}

void ZPlatform_SetBattery(ZPlatformBatteryFn read) {
  g_battery = read != nullptr ? read : DefaultBattery;
}
