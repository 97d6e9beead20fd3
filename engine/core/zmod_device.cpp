#include "engine/core/zmod_device.h"

#include <ctime>

#include "engine/core/zmod_platform.h"
#include "engine/core/zmod_std.h"

namespace {

const char kModelName[] = "Embedded Linux device";

// The clock's broken-down time now, local or UTC.
struct tm Now(bool local) {
  time_t now = static_cast<time_t>(ZPlatform_NowMicros() / 1000000u);
  struct tm t {};
  if (local) {
    tzset();  // localtime_r need not pick up a changed zone by itself
    localtime_r(&now, &t);
  }
  else gmtime_r(&now, &t);
  return t;
}

}  // namespace

void ClassZDevice::GetBatteryInfo(uint8_t& level, uint8_t& state) {
  uint16_t reading = 0;
  if (!ZPlatform_ReadBattery(&reading)) reading = 0;
  if (reading >= 900) {
    level = 255;
    state = BATTERY_FULL;
  } else if (reading >= 600) {
    level = static_cast<uint8_t>((reading * 255u - 153000u) / 300u);
    state = BATTERY_DRAINING;
  } else {
    level = 0;
    state = BATTERY_DRAINING;
  }
}

uint8_t ClassZDevice::GetBatteryLevel() {
  uint8_t level, state;
  GetBatteryInfo(level, state);
  return level;
}

uint8_t ClassZDevice::GetBatteryStatus() {
  uint8_t level, state;
  GetBatteryInfo(level, state);
  return state;
}

void ClassZDevice::CurrentTime(uint8_t& hour, uint8_t& minute, uint8_t& second, bool local) {
  struct tm t = Now(local);
  hour = static_cast<uint8_t>(t.tm_hour);
  minute = static_cast<uint8_t>(t.tm_min);
  second = static_cast<uint8_t>(t.tm_sec);
}

void ClassZDevice::CurrentDate(uint32_t& year, uint8_t& month, uint8_t& day, bool local) {
  struct tm t = Now(local);
  year = static_cast<uint32_t>(t.tm_year + 1900);
  month = static_cast<uint8_t>(t.tm_mon + 1);
  day = static_cast<uint8_t>(t.tm_mday);
}

uint32_t ClassZDevice::TimestampNow(bool local) {
  struct tm t = Now(local);
  Z_DATETIME dt;
  dt.year = static_cast<uint32_t>(t.tm_year + 1900);
  dt.month = static_cast<uint8_t>(t.tm_mon + 1);
  dt.day = static_cast<uint8_t>(t.tm_mday);
  dt.hour = static_cast<uint8_t>(t.tm_hour);
  dt.minute = static_cast<uint8_t>(t.tm_min);
  dt.second = static_cast<uint8_t>(t.tm_sec);
  return ClassZStd::DateTimeToTimestamp(&dt);
}

int32_t ClassZDevice::LocalTimeOffset() {
  // The offset in effect now, summer or winter, under today's rules for the zone.
  struct tm t = Now(true);
  return static_cast<int32_t>(t.tm_gmtoff);
}

int ClassZDevice::GetModelID() { return 0; }

uint16_t* ClassZDevice::GetModelName(uint16_t* out) {
  ClassZStd::StrCpy(out, kModelName);
  return out;
}

char* ClassZDevice::GetModelName(char* out) {
  ClassZStd::StrCpy(out, kModelName);
  return out;
}

uint16_t* ClassZDevice::GetOwnerName(uint16_t* out) {
  if (out != nullptr) out[0] = 0;
  return out;
}

char* ClassZDevice::GetOwnerName(char* out) {
  if (out != nullptr) out[0] = 0;
  return out;
}

uint16_t* ClassZDevice::GetIMEI(uint16_t* out) { return GetOwnerName(out); }

char* ClassZDevice::GetIMEI(char* out) { return GetOwnerName(out); }
