#include "host/host_framebuffer.h"

#include <cerrno>
#include <cstring>
#include <linux/fb.h>

namespace gp2x::host {
namespace {

alignas(4096) uint8_t g_memory[kFramebuffers][kFramebufferCapacity];
// Physical addresses well away from the register window and the second core's memory.
constexpr uint32_t kPhys[kFramebuffers] = {0x01000000, 0x01100000};

fb_bitfield field(uint32_t offset, uint32_t length) {
  fb_bitfield f{};
  f.offset = offset;
  f.length = length;
  return f;
}

}  // namespace

uint8_t* framebuffer_memory(int index) { return g_memory[index]; }
uint32_t framebuffer_phys_address(int index) { return kPhys[index]; }

int framebuffer_at_phys(uint32_t phys) {
  for (int i = 0; i < kFramebuffers; ++i)
    if (phys >= kPhys[i] && phys - kPhys[i] < kFramebufferCapacity) return i;
  return -1;
}

int framebuffer_ioctl(int index, const FbFormat& f, unsigned long request, void* arg) {
  if (!arg) {
    errno = EFAULT;
    return -1;
  }
  if (request == FBIOGET_VSCREENINFO) {
    fb_var_screeninfo v{};
    v.xres = kScreenWidth;
    v.yres = kScreenHeight;
    v.xres_virtual = static_cast<uint32_t>(f.xres_virtual);
    v.yres_virtual = kScreenHeight;
    v.bits_per_pixel = static_cast<uint32_t>(f.bpp);
    if (f.bpp == 16 && f.green_length == 5) {
      v.red = field(10, 5), v.green = field(5, 5), v.blue = field(0, 5);
    } else if (f.bpp == 16) {
      v.red = field(11, 5), v.green = field(5, 6), v.blue = field(0, 5);
    } else if (f.bpp >= 24) {
      v.red = field(16, 8), v.green = field(8, 8), v.blue = field(0, 8);
      if (f.bpp == 32) v.transp = field(24, 8);
    } else {
      v.red = v.green = v.blue = field(0, static_cast<uint32_t>(f.bpp));
    }
    v.height = v.width = static_cast<uint32_t>(-1);
    std::memcpy(arg, &v, sizeof v);
    return 0;
  }
  if (request == FBIOGET_FSCREENINFO) {
    fb_fix_screeninfo x{};
    std::strncpy(x.id, index ? "host fb1" : "host fb0", sizeof x.id - 1);
    x.smem_start = kPhys[index];
    x.smem_len = f.size();
    x.type = FB_TYPE_PACKED_PIXELS;
    x.visual = f.bpp == 8 ? FB_VISUAL_PSEUDOCOLOR : FB_VISUAL_TRUECOLOR;
    x.line_length = f.line_length();
    std::memcpy(arg, &x, sizeof x);
    return 0;
  }
  errno = EINVAL;
  return -1;
}

void framebuffer_to_rgb(const uint8_t* fb, const FbFormat& f, uint8_t* rgb) {
  const uint32_t line = f.line_length();
  for (int y = 0; y < kScreenHeight; ++y) {
    const uint8_t* src = fb + y * line;
    uint8_t* out = rgb + y * kScreenWidth * 3;
    for (int x = 0; x < kScreenWidth; ++x, out += 3) {
      uint32_t r, g, b;
      if (f.bpp == 16) {
        uint16_t p;
        std::memcpy(&p, src + x * 2, 2);
        if (f.green_length == 5) {
          r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
          r = r << 3 | r >> 2, g = g << 3 | g >> 2, b = b << 3 | b >> 2;
        } else {
          r = p >> 11, g = (p >> 5) & 63, b = p & 31;
          r = r << 3 | r >> 2, g = g << 2 | g >> 4, b = b << 3 | b >> 2;
        }
      } else if (f.bpp == 24 || f.bpp == 32) {
        const uint8_t* p = src + x * (f.bpp / 8);
        b = p[0], g = p[1], r = p[2];
      } else {  // 8 bits: no palette on the host, shown as grey levels
        r = g = b = src[x];
      }
      out[0] = static_cast<uint8_t>(r), out[1] = static_cast<uint8_t>(g), out[2] = static_cast<uint8_t>(b);
    }
  }
}

}  // namespace gp2x::host
