// Byte offsets of the MMSP2 registers and 2D engine registers this program uses, and the
// accessors that reach them through the device seam.
#pragma once

#include <cstdint>

#include "seam/gp2x_seam.h"

namespace mmsp2 {

// Register window (physical 0xC0000000, 64 KB), 16-bit unless noted.
constexpr uint32_t kIoPhys = 0xC0000000u;
constexpr uint32_t kIoSize = 0x10000;
constexpr uint32_t kSysClockEnable = 0x0904;  // bit 10: 2D engine, bit 0: second core
constexpr uint32_t kVideoClockEnable = 0x090A;
constexpr uint32_t kTimerCount = 0x0A00;      // 32-bit, 7,372,800 Hz
constexpr uint32_t kGpioB = 0x1182;           // bit 4: vertical sync, 0 in the blank
constexpr uint32_t kGpioC = 0x1184;           // high byte: eight buttons, active low
constexpr uint32_t kGpioD = 0x1186;           // bits 6, 7, 11: VOL-, VOL+, stick push
constexpr uint32_t kGpioM = 0x1198;           // byte: stick contacts, active low
constexpr uint32_t kLayerControl = 0x28DA;
constexpr uint32_t kLineStride = 0x290C;
constexpr uint32_t kDisplayA_Low = 0x290E, kDisplayA_High = 0x2910;
constexpr uint32_t kDisplayB_Low = 0x2912, kDisplayB_High = 0x2914;

// 2D engine window (physical 0xE0020000, 256 bytes), 32-bit registers.
constexpr uint32_t kBlitPhys = 0xE0020000u;
constexpr uint32_t kBlitSize = 0x100;
constexpr uint32_t kBlitDstControl = 0x00;
constexpr uint32_t kBlitDstAddress = 0x04;
constexpr uint32_t kBlitDstStride = 0x08;
constexpr uint32_t kBlitSrcControl = 0x0C;
constexpr uint32_t kBlitPattern = 0x20;
constexpr uint32_t kBlitForeground = 0x24;
constexpr uint32_t kBlitBackground = 0x28;
constexpr uint32_t kBlitSize_ = 0x2C;
constexpr uint32_t kBlitOperation = 0x30;
constexpr uint32_t kBlitRun = 0x34;  // write 1 to start; bit 0 reads 1 while busy

inline uint16_t read16(volatile uint8_t* window, uint32_t offset) {
  return gp2x::peek16(window + offset);
}
inline uint32_t read32(volatile uint8_t* window, uint32_t offset) {
  return gp2x::peek32(window + offset);
}
inline void write16(volatile uint8_t* window, uint32_t offset, uint16_t value) {
  gp2x::poke16(window + offset, value);
}
inline void write32(volatile uint8_t* window, uint32_t offset, uint32_t value) {
  gp2x::poke32(window + offset, value);
}

}  // namespace mmsp2
