// The memory behind "/dev/mem": the 64 KB register window at physical 0xC0000000 with its
// live registers, the 2D engine's 256-byte window at 0xE0020000 with its solid fill, the
// second core's memory at 0x3000000, and the framebuffers at their physical addresses.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gp2x::host {

constexpr uint32_t kRegisterPhys = 0xC0000000, kRegisterSize = 0x10000;
constexpr uint32_t kBlitterPhys = 0xE0020000, kBlitterSize = 0x100;
constexpr uint32_t kSecondCorePhys = 0x3000000, kSecondCoreSize = 0xF80000;

// Register offsets the layer acts on.
namespace reg {
constexpr uint32_t kClockEnable = 0x0904, kVideoClockEnable = 0x090A, kTimer = 0x0A00;
constexpr uint32_t kPortB = 0x1182, kPortC = 0x1184, kPortD = 0x1186, kPortM = 0x1198;
constexpr uint32_t kLayerControl = 0x28DA, kLineStride = 0x290C;
constexpr uint32_t kAddr1Low = 0x290E, kAddr1High = 0x2910, kAddr2Low = 0x2912, kAddr2High = 0x2914;
constexpr uint32_t kSecondCoreFirst = 0x3B40, kSecondCoreLast = 0x3B48;
constexpr uint32_t kBlitDstControl = 0x00, kBlitDstAddress = 0x04, kBlitDstStride = 0x08,
                   kBlitColour = 0x24, kBlitSize = 0x2C, kBlitRun = 0x34;
}  // namespace reg

constexpr uint32_t kTimerRate = 7372800;  // counts a second
constexpr uint32_t kVsyncBit = 0x10;      // port B: 0 during vertical blank
constexpr uint64_t kVblankNs = 1400000;            // the blank at the end of each refresh

// Power-on state: every register bit 1 except the clock enables, engine idle; the second
// core's memory (when mapped already) filled with `fill`.
void registers_reset(uint8_t fill);

// The mapping of a physical range of "/dev/mem", or null (errno set) when it is none of ours.
void* physical_map(uint64_t phys, size_t length);
// True when [address, address + length) lies in memory the layer gave out.
bool is_emulated_memory(const void* address, size_t length);
uint8_t* second_core_memory_base();

// Reads and writes through the seam's accessors. Addresses outside the two register
// windows are plain memory.
uint16_t hw_read16(const volatile void* address);
uint32_t hw_read32(const volatile void* address);
void hw_write16(volatile void* address, uint16_t value);
void hw_write32(volatile void* address, uint32_t value);

// Live register state, also for tests.
uint32_t timer_count();
bool in_vblank();
// The first time after `now` (ns) at which in_vblank() changes.
uint64_t next_vblank_edge(uint64_t now);

// The 2D engine's solid fill with the values now in its registers.
void blitter_fill();

}  // namespace gp2x::host
