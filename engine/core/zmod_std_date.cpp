#include "engine/core/zmod_std.h"

namespace {

// Month lengths by month number; December is whatever is left of the year.
const uint8_t kMonthDays[12] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30};

bool IsLeap(uint64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Leap years in 1..year.
uint64_t LeapsThrough(uint64_t year) { return year / 4 - year / 100 + year / 400; }

}  // namespace

uint32_t ClassZStd::DateTimeToTimestamp(const Z_DATETIME* dt) {
  if (dt == nullptr || dt->year < 1970) return 0;
  // Counted directly rather than year by year: a garbage year must not cost billions of
  // steps. The result wraps at 32 bits like the stored value.
  uint64_t year = dt->year;
  uint64_t days = 365 * (year - 1970) + LeapsThrough(year - 1) - LeapsThrough(1969);
  if (IsLeap(year) && dt->month >= 3) days++;
  uint32_t months = dt->month > 12 ? 12 : (dt->month == 0 ? 1 : dt->month);
  for (uint32_t m = 1; m < months; m++) days += kMonthDays[m];
  days += dt->day == 0 ? 0 : dt->day - 1u;
  uint64_t seconds = days * 86400 + dt->hour * 3600u + dt->minute * 60u + dt->second;
  return static_cast<uint32_t>(seconds);
}

void ClassZStd::TimestampToDateTime(Z_DATETIME* dt, uint32_t timestamp) {
  if (dt == nullptr) return;
  uint32_t s = timestamp % 86400;
  uint32_t days = timestamp / 86400;
  dt->hour = static_cast<uint8_t>(s / 3600);
  dt->minute = static_cast<uint8_t>(s / 60 % 60);
  dt->second = static_cast<uint8_t>(s % 60);
  uint32_t year = 1970;
  for (;;) {
    uint32_t length = IsLeap(year) ? 366 : 365;
    if (days < length) break;
    days -= length;
    year++;
  }
  uint8_t month = 1;
  while (month < 12) {
    uint32_t length = kMonthDays[month] + (month == 2 && IsLeap(year) ? 1 : 0);
    if (days < length) break;
    days -= length;
    month++;
  }
  dt->year = year;
  dt->month = month;
  dt->day = static_cast<uint8_t>(1 + days);
}
