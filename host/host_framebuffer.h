// The two framebuffers behind "/dev/fb0" and "/dev/fb1": their memory, the format the
// ioctls report, and the conversion of a buffer into 8-bit RGB for pictures and windows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gp2x::host {

constexpr int kScreenWidth = 320;
constexpr int kScreenHeight = 240;
constexpr int kFramebuffers = 2;
// Room for the widest format a test can ask for: 640 pixels a line of 32 bits.
constexpr size_t kFramebufferCapacity = 640 * 4 * kScreenHeight;

struct FbFormat {
  int bpp = 16;
  int green_length = 6;
  int xres_virtual = kScreenWidth;
  uint32_t line_length() const { return static_cast<uint32_t>(xres_virtual * bpp / 8); }
  uint32_t size() const { return line_length() * kScreenHeight; }
};

// Memory and physical address of framebuffer 0 or 1 (fixed for the life of the program).
uint8_t* framebuffer_memory(int index);
uint32_t framebuffer_phys_address(int index);
// The framebuffer holding physical address phys, or -1.
int framebuffer_at_phys(uint32_t phys);

// FBIOGET_VSCREENINFO and FBIOGET_FSCREENINFO for framebuffer index; -1 with errno for
// any other request.
int framebuffer_ioctl(int index, const FbFormat& format, unsigned long request, void* arg);

// The visible 320x240 picture of a framebuffer as RGB bytes (320 * 240 * 3).
void framebuffer_to_rgb(const uint8_t* fb, const FbFormat& format, uint8_t* rgb);

}  // namespace gp2x::host
