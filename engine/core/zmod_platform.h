// The engine's one narrow path to the clock and the battery. Every time stamp, sleep and
// battery reading of the engine comes from here; by default these call the device seam
// (gettimeofday, usleep, "/dev/batt"), and a test or a host can install its own source.
#pragma once

#include <cstdint>

// Microseconds since 1970 (the time of day); the engine's millisecond counters are derived
// from it and wrap as 32-bit values.
uint64_t ZPlatform_NowMicros();

// Blocks the calling thread for the given microseconds.
void ZPlatform_Sleep(uint32_t microseconds);

// Reads the battery device's native 16-bit value; 1 when two bytes were read, else 0.
int ZPlatform_ReadBattery(uint16_t* value);

using ZPlatformNowFn = uint64_t (*)();
using ZPlatformSleepFn = void (*)(uint32_t microseconds);
using ZPlatformBatteryFn = int (*)(uint16_t* value);

// Installs a time source and a sleep; null restores the default for that function.
void ZPlatform_SetClock(ZPlatformNowFn now, ZPlatformSleepFn sleep);

// Installs a battery reader; null restores the default.
void ZPlatform_SetBattery(ZPlatformBatteryFn read);
