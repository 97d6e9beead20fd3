// The program-wide device handles: the descriptors of the memory and framebuffer devices
// and the console's register window mapped through the first. The display, the framework
// and the games' shells read them; nothing here knows what the registers mean.
#pragma once

#include <cstdint>

// Descriptors of "/dev/mem" [0] and "/dev/fb0" [1]; -1 when not open.
extern int32_t zdeviceptr[2];
// The mapped register window (65536 bytes from physical 0xC0000000), as 32-bit and as
// 16-bit registers; null when not mapped. Register offsets are byte offsets.
extern volatile uint32_t* zdevicereg_ptr;
extern volatile uint16_t* zdevicereg_ptr16;

enum : uint32_t {
  ZDEVICE_REGBASE = 0xC0000000u,
  ZDEVICE_REGSIZE = 0x10000u,
};

// close false: opens "/dev/mem" and "/dev/fb0" and maps the register window; when either
// device cannot be opened or the window cannot be mapped, everything is closed again.
// close true: unmaps the window and closes both descriptors. Returns 1 when the devices
// are open and mapped (open form) or 0.
int HandleDevicePtr(bool close);
