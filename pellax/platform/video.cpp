#include "pellax/platform/video.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fb.h>
#include <sys/mman.h>

#include "pellax/platform/mmsp2_regs.h"

int fb_fd[2] = {-1, -1};
int mem_fd = -1;
volatile uint8_t* io_regs = nullptr;
volatile uint8_t* blitter_regs = nullptr;
uint32_t fb_phys[2] = {0, 0};
uint16_t* fb_virt[2] = {nullptr, nullptr};
uint16_t* play_surface = nullptr;
uint16_t draw_index = 0;

namespace {

constexpr size_t kFramebufferBytes = 0x25800;  // 320 x 240 x 2
constexpr size_t kCanvasBytes = 0x120000;      // 768 x 768 x 2

void* map_or_null(size_t length, int prot, int fd, off_t offset) {
  void* p = gp2x::mmap(nullptr, length, prot, MAP_SHARED, fd, offset);
  return p == MAP_FAILED ? nullptr : p;
}

int fail(const char* what) {
  std::fprintf(stderr, "pellax: %s failed: %s\n", what, std::strerror(errno));
  video_close();
  return -1;
}

}  // namespace

int video_open() {
  video_close();  // a second open starts over rather than leak the first
  static const char* const kFramebuffers[2] = {"/dev/fb0", "/dev/fb1"};
  for (int i = 0; i < 2; ++i) {
    fb_fd[i] = gp2x::open(kFramebuffers[i], O_RDWR);
    if (fb_fd[i] < 0) return fail(kFramebuffers[i]);
  }
  mem_fd = gp2x::open("/dev/mem", O_RDWR);
  if (mem_fd < 0) return fail("/dev/mem");
  io_regs = static_cast<volatile uint8_t*>(
      map_or_null(mmsp2::kIoSize, PROT_READ | PROT_WRITE, mem_fd, off_t(mmsp2::kIoPhys)));
  if (!io_regs) return fail("mapping the register window");
  for (int i = 0; i < 2; ++i) {
    fb_fix_screeninfo fix;
    std::memset(&fix, 0, sizeof fix);
    if (gp2x::ioctl(fb_fd[i], FBIOGET_FSCREENINFO, &fix) < 0) return fail("FBIOGET_FSCREENINFO");
    fb_phys[i] = uint32_t(fix.smem_start);
    fb_virt[i] = static_cast<uint16_t*>(map_or_null(kFramebufferBytes, PROT_WRITE, fb_fd[i], 0));
    if (!fb_virt[i]) return fail("mapping a framebuffer");
  }
  play_surface = static_cast<uint16_t*>(std::malloc(kCanvasBytes));
  if (!play_surface) return fail("allocating the canvas");
  std::memset(play_surface, 0, kCanvasBytes);
  if (blitter_map(mem_fd, io_regs) != 0) return fail("mapping the 2D engine");
  mmsp2::write16(io_regs, mmsp2::kLineStride, 640);
  mmsp2::write16(io_regs, mmsp2::kLayerControl, 0x04AB);
  return 0;
}

void video_close() {
  if (io_regs) gp2x::munmap(const_cast<uint8_t*>(io_regs), mmsp2::kIoSize);
  io_regs = nullptr;
  for (uint16_t*& fb : fb_virt) {
    if (fb) gp2x::munmap(fb, kFramebufferBytes);
    fb = nullptr;
  }
  blitter_unmap();
  for (int& fd : fb_fd) {
    if (fd >= 0) gp2x::close(fd);
    fd = -1;
  }
  if (mem_fd >= 0) gp2x::close(mem_fd);
  mem_fd = -1;
  std::free(play_surface);
  play_surface = nullptr;
  draw_index = 0;
}

void video_flip() {
  const uint16_t i = draw_index;
  const uint32_t p = fb_phys[i < 2 ? i : 0];
  draw_index = i == 0 ? 1 : 0;
  if (!io_regs) return;
  mmsp2::write16(io_regs, mmsp2::kDisplayA_High, uint16_t(p >> 16));
  mmsp2::write16(io_regs, mmsp2::kDisplayA_Low, uint16_t(p & 0xFFFF));
  mmsp2::write16(io_regs, mmsp2::kDisplayB_Low, uint16_t(p & 0xFFFF));
  mmsp2::write16(io_regs, mmsp2::kDisplayB_High, uint16_t(p >> 16));
}

uint16_t* video_back_buffer() { return fb_virt[draw_index < 2 ? draw_index : 0]; }

uint16_t* video_play_surface() { return play_surface; }

void video_copy_view(int32_t x, int32_t y) {
  uint16_t* dst = video_back_buffer();
  if (!dst || !play_surface) return;
  // The window must lie inside the canvas: hold it there rather than read past it.
  x = x < 0 ? 0 : x > 448 ? 448 : x;
  y = y < 0 ? 0 : y > 528 ? 528 : y;
  const uint16_t* src = play_surface + y * 768 + x;
  for (int row = 0; row < 240; ++row) std::memcpy(dst + row * 320, src + row * 768, 640);
}

void blit_fill_rect(uint32_t dst_phys, int32_t x, int32_t y, int32_t w, int32_t h,
                    uint16_t colour) {
  volatile uint8_t* b = blitter_regs;
  if (!b) return;
  while (mmsp2::read32(b, mmsp2::kBlitRun) & 1) {
  }
  mmsp2::write32(b, mmsp2::kBlitDstControl, (uint32_t(x & 1) << 4) | 0x20);
  mmsp2::write32(b, mmsp2::kBlitDstAddress, (dst_phys + uint32_t(y * 320 + x) * 2) & ~3u);
  mmsp2::write32(b, mmsp2::kBlitDstStride, 640);
  mmsp2::write32(b, mmsp2::kBlitSrcControl, 0);
  mmsp2::write32(b, mmsp2::kBlitPattern, 0x30);
  mmsp2::write32(b, mmsp2::kBlitForeground, colour);
  mmsp2::write32(b, mmsp2::kBlitBackground, colour);
  mmsp2::write32(b, mmsp2::kBlitSize_, (uint32_t(h) << 16) | uint32_t(w & 0xFFFF));
  mmsp2::write32(b, mmsp2::kBlitOperation, 0x7F0);
  mmsp2::write32(b, mmsp2::kBlitRun, 1);
  while (mmsp2::read32(b, mmsp2::kBlitRun) & 1) {
  }
}

void fill_rect(int32_t x, int32_t y, int32_t w, int32_t h, uint16_t colour) {
  // The engine writes wherever it is told: keep the rectangle on the screen.
  if (x < 0) {
    w += x;
    x = 0;
  }
  if (y < 0) {
    h += y;
    y = 0;
  }
  if (x + w > 320) w = 320 - x;
  if (y + h > 240) h = 240 - y;
  if (w <= 0 || h <= 0) return;
  blit_fill_rect(fb_phys[draw_index < 2 ? draw_index : 0], x, y, w, h, colour);
}

void clear_screen() {
  const uint32_t dst = fb_phys[draw_index < 2 ? draw_index : 0];
  blit_fill_rect(dst, 0, 0, 320, 240, 0);
  blit_fill_rect(dst, 0, 0, 0, 0, 0);
}

int blitter_map(int fd, volatile uint8_t* regs) {
  blitter_regs = static_cast<volatile uint8_t*>(
      map_or_null(mmsp2::kBlitSize, PROT_READ | PROT_WRITE, fd, off_t(mmsp2::kBlitPhys)));
  if (!blitter_regs) return -1;
  mmsp2::write16(regs, mmsp2::kVideoClockEnable, 0xFFFF);
  mmsp2::write16(regs, mmsp2::kSysClockEnable,
                 uint16_t(mmsp2::read16(regs, mmsp2::kSysClockEnable) | 0x400));
  return 0;
}

void blitter_unmap() {
  if (blitter_regs) gp2x::munmap(const_cast<uint8_t*>(blitter_regs), mmsp2::kBlitSize);
  blitter_regs = nullptr;
}
