// Device data: battery level and state, the date and time (local or UTC), the local time
// offset and the device's fixed identity texts. The object keeps no state.
#pragma once

#include <cstdint>

class ClassZDevice {
 public:
  enum : uint8_t { BATTERY_DRAINING = 4, BATTERY_FULL = 5 };

  // One battery reading gives both: readings of 900 and more are level 255, state 5;
  // 600..899 scale to 0..254, state 4; below 600 (or unreadable) level 0, state 4.
  void GetBatteryInfo(uint8_t& level, uint8_t& state);
  uint8_t GetBatteryLevel();
  uint8_t GetBatteryStatus();

  // The clock's time of day and date, local or UTC.
  void CurrentTime(uint8_t& hour, uint8_t& minute, uint8_t& second, bool local);
  void CurrentDate(uint32_t& year, uint8_t& month, uint8_t& day, bool local);
  // The current local or UTC date and time as seconds since 1970.
  uint32_t TimestampNow(bool local);
  // Seconds to add to UTC for local time, as in effect now.
  int32_t LocalTimeOffset();

  int GetModelID();
  // The texts below are copied into out, which the caller sizes: the model name needs 22
  // characters, the others 1. Each returns out.
  uint16_t* GetModelName(uint16_t* out);
  char* GetModelName(char* out);
  uint16_t* GetOwnerName(uint16_t* out);
  char* GetOwnerName(char* out);
  uint16_t* GetIMEI(uint16_t* out);
  char* GetIMEI(char* out);
};
