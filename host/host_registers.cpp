#include "host/host_registers.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/mman.h>

#include "host/gp2x_buttons.h"
#include "host/host_framebuffer.h"
#include "host/host_pacing.h"
#include "host/host_runtime.h"
#include "host/host_second_core.h"

namespace gp2x::host {
namespace {

constexpr size_t kBlitterCapacity = 4096;  // a page: what a mapping of the window spans

alignas(4096) uint16_t g_regs[kRegisterSize / 2];
alignas(4096) uint32_t g_blit[kBlitterCapacity / 4];
std::atomic<uint8_t*> g_second_core{nullptr};
std::mutex g_second_core_mutex;

// Registers and 2D engine words are shared by the game and audio threads: relaxed atomic
// accesses keep them free of data races, as the bus makes them on the console.
template <typename T>
T load(const T& word) {
  return __atomic_load_n(&word, __ATOMIC_RELAXED);
}
template <typename T>
void store(T& word, T value) {
  __atomic_store_n(&word, value, __ATOMIC_RELAXED);
}

bool in_range(uintptr_t p, size_t n, const void* base, size_t size) {
  uintptr_t b = reinterpret_cast<uintptr_t>(base);
  return p >= b && p - b < size && n <= size - (p - b);
}

bool known_register(uint32_t off) {
  switch (off) {
    case reg::kClockEnable: case reg::kVideoClockEnable: case reg::kTimer: case reg::kTimer + 2:
    case reg::kPortB: case reg::kPortC: case reg::kPortD: case reg::kPortM:
    case reg::kLayerControl: case reg::kLineStride:
    case reg::kAddr1Low: case reg::kAddr1High: case reg::kAddr2Low: case reg::kAddr2High:
      return true;
    default:
      return off >= reg::kSecondCoreFirst && off <= reg::kSecondCoreLast;
  }
}

bool known_blitter(uint32_t off) {
  switch (off) {
    case 0x00: case 0x04: case 0x08: case 0x0C: case 0x20: case 0x24: case 0x28: case 0x2C:
    case 0x30: case 0x34:
      return true;
    default:
      return false;
  }
}

void check_known(uint32_t off, bool known, const char* what) {
  if (known) return;
  char key[48], text[96];
  std::snprintf(key, sizeof key, "%s %04X", what, off);
  std::snprintf(text, sizeof text, "%s offset 0x%04X is not emulated (reads what was written)", what, off);
  log_once(key, text);
}

// When the live read under way began (real clock), before the layer's own work in it: the
// window takes in its events every few milliseconds inside a read, and that work is not the
// program's, so it does not end the program's spin.
thread_local uint64_t t_read_began = 0;

// The start of a read of a live register.
void live_read(Runtime& rt) {
  if (!rt.clock.is_virtual()) t_read_began = rt.clock.now_ns();
  rt.poll();
}

// After a read of a live register: on the real clock a read that is part of a spin yields
// (host_pacing.h). `value` is what the read returned; a counter passes a constant, since
// the count the loop waits for is its own. The vertical blank's register says when it
// changes next; the buttons change when a person presses them.
uint16_t paced(uint32_t off, uint16_t value, bool counter = false) {
  Runtime& rt = runtime();
  if (rt.clock.is_virtual()) return value;
  thread_local PollPacer pacer;
  const uint64_t now = rt.clock.now_ns();
  const uint64_t edge = next_vblank_edge(now);
  const uint64_t pause = pacer.yield_ns(off, counter ? 0 : value, now, off == reg::kPortB ? edge : UINT64_MAX, edge,
                                        std::min(t_read_began, now));
  rt.clock.yield_real(pause);
  pacer.done(pause ? rt.clock.now_ns() : now);
  return value;
}

uint16_t reg_read16(uint32_t off) {
  Runtime& rt = runtime();
  // Only the port that carries a button's bit counts as a read of that button.
  auto pressed_now = [&rt](uint32_t bits) { return rt.input.read(bits, rt.clock.now_ns()); };
  switch (off) {
    case reg::kTimer:
      live_read(rt);
      return paced(off, static_cast<uint16_t>(timer_count()), true);
    case reg::kTimer + 2:
      live_read(rt);
      return paced(off, static_cast<uint16_t>(timer_count() >> 16), true);
    case reg::kPortB:
      live_read(rt);
      return paced(off, in_vblank() ? static_cast<uint16_t>(0xFFFF & ~kVsyncBit) : 0xFFFF);
    case reg::kPortC:
      live_read(rt);
      return paced(off, static_cast<uint16_t>(0x00FF | (~pressed_now(buttons::kPortCBits) & 0xFF00)));
    case reg::kPortD: {
      live_read(rt);
      const uint32_t pressed = pressed_now(buttons::kPortDBits);
      uint16_t v = 0xFFFF;
      if (pressed & buttons::kVolDown) v &= ~0x0040;
      if (pressed & buttons::kVolUp) v &= ~0x0080;
      if (pressed & buttons::kPush) v &= ~0x0800;
      return paced(off, v);
    }
    case reg::kPortM:
      live_read(rt);
      return paced(off, static_cast<uint16_t>(0xFF00 | (~pressed_now(buttons::kStick) & 0xFF)));
    default:
      check_known(off, known_register(off), "register");
      return load(g_regs[off / 2]);
  }
}

void latch_display_address() {
  const uint32_t phys = static_cast<uint32_t>(load(g_regs[reg::kAddr1High / 2])) << 16 |
                        load(g_regs[reg::kAddr1Low / 2]);
  const int fb = framebuffer_at_phys(phys);
  if (fb < 0 || phys != framebuffer_phys_address(fb)) {
    char text[80];
    std::snprintf(text, sizeof text, "display address 0x%08X is not the start of a framebuffer", phys);
    log_once("display address", text);
    return;
  }
  Runtime& rt = runtime();
  rt.shown_fb.store(fb);
  rt.frame_done();
}

void record_control(uint32_t off, uint16_t value) {
  Runtime& rt = runtime();
  RegisterObserver observer;
  {
    std::lock_guard<std::mutex> lock(rt.control_mutex);
    if (rt.control_writes.size() < 65536) rt.control_writes.push_back({off, value, rt.clock.now_ns()});
    observer = rt.control_observer;
  }
  if (observer) observer(off, value);
  if (off == reg::kClockEnable || off == reg::kSecondCoreLast)
    second_core_control(load(g_regs[reg::kSecondCoreLast / 2]), load(g_regs[reg::kClockEnable / 2]));
}

void reg_write16(uint32_t off, uint16_t value) {
  store(g_regs[off / 2], value);
  if (off == reg::kAddr2High) latch_display_address();
  else if (off == reg::kClockEnable || (off >= reg::kSecondCoreFirst && off <= reg::kSecondCoreLast))
    record_control(off, value);
  else check_known(off, known_register(off), "register");
}

uint32_t blit_read32(uint32_t off) {
  check_known(off, known_blitter(off), "2D engine");
  uint32_t v = load(g_blit[off / 4]);
  if (off != reg::kBlitRun) return v;
  Runtime& rt = runtime();
  rt.poll();
  int busy = rt.blit_busy.load();
  while (busy > 0 && !rt.blit_busy.compare_exchange_weak(busy, busy - 1)) {
  }
  return busy > 0 ? v | 1 : v & ~1u;
}

void blit_write32(uint32_t off, uint32_t value) {
  check_known(off, known_blitter(off), "2D engine");
  store(g_blit[off / 4], value);
  if (off == reg::kBlitRun && (value & 1)) {
    blitter_fill();
    runtime().blit_busy.store(runtime().settings.blit_busy_polls);
  }
}

}  // namespace

void registers_reset(uint8_t fill) {
  second_core_power_off();
  for (uint16_t& r : g_regs) store(r, static_cast<uint16_t>(0xFFFF));
  store(g_regs[reg::kClockEnable / 2], static_cast<uint16_t>(0));
  store(g_regs[reg::kVideoClockEnable / 2], static_cast<uint16_t>(0));
  for (uint32_t& r : g_blit) store(r, 0u);
  if (uint8_t* mem = g_second_core.load()) std::memset(mem, fill, kSecondCoreSize);
}

uint8_t* second_core_memory_base() {
  uint8_t* mem = g_second_core.load(std::memory_order_acquire);
  if (mem) return mem;
  std::lock_guard<std::mutex> lock(g_second_core_mutex);
  mem = g_second_core.load();
  if (!mem) {
    void* p = ::mmap(nullptr, kSecondCoreSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) fail("cannot allocate the second core's memory");
    mem = static_cast<uint8_t*>(p);
    if (uint8_t fill = runtime().settings.mem940_fill) std::memset(mem, fill, kSecondCoreSize);
    g_second_core.store(mem, std::memory_order_release);
  }
  return mem;
}

void* physical_map(uint64_t phys, size_t length) {
  auto offset_in = [&](uint64_t base, uint64_t size, uint64_t* off) {
    if (phys < base || phys - base >= size || length > size - (phys - base)) return false;
    *off = phys - base;
    return true;
  };
  uint64_t off = 0;
  if (length == 0) {
    errno = EINVAL;
    return nullptr;
  }
  if (offset_in(kRegisterPhys, kRegisterSize, &off)) return reinterpret_cast<uint8_t*>(g_regs) + off;
  if (offset_in(kBlitterPhys, kBlitterCapacity, &off)) return reinterpret_cast<uint8_t*>(g_blit) + off;
  if (offset_in(kSecondCorePhys, kSecondCoreSize, &off)) return second_core_memory_base() + off;
  for (int i = 0; i < kFramebuffers; ++i)
    if (offset_in(framebuffer_phys_address(i), kFramebufferCapacity, &off)) return framebuffer_memory(i) + off;
  errno = ENXIO;
  return nullptr;
}

bool is_emulated_memory(const void* address, size_t length) {
  uintptr_t p = reinterpret_cast<uintptr_t>(address);
  if (in_range(p, length, g_regs, sizeof g_regs) || in_range(p, length, g_blit, sizeof g_blit)) return true;
  if (uint8_t* mem = g_second_core.load(); mem && in_range(p, length, mem, kSecondCoreSize)) return true;
  for (int i = 0; i < kFramebuffers; ++i)
    if (in_range(p, length, framebuffer_memory(i), kFramebufferCapacity)) return true;
  return false;
}

uint32_t timer_count() {
  Runtime& rt = runtime();
  return static_cast<uint32_t>(counts_in(rt.clock.now_ns(), kTimerRate) +
                               static_cast<uint64_t>(rt.timer_offset.load()));
}

namespace {

// Position inside the refresh at time now, scaled by 60 so that 60 refreshes take exactly
// 1 s: a nanosecond moves it by 60.
uint64_t refresh_phase(uint64_t now) { return now % kNsPerSecond * 60 % kNsPerSecond; }
constexpr uint64_t kBlankPhase = kNsPerSecond - kVblankNs * 60;  // where the blank starts

}  // namespace

bool in_vblank() { return refresh_phase(runtime().clock.now_ns()) >= kBlankPhase; }

uint64_t next_vblank_edge(uint64_t now) {
  const uint64_t phase = refresh_phase(now);
  const uint64_t to = phase >= kBlankPhase ? kNsPerSecond : kBlankPhase;
  return now + (to - phase + 59) / 60;
}

namespace {

enum class Window { kNone, kRegisters, kBlitter };

// Which register window an access of n bytes at address falls in, and its offset there. An
// access that starts in a window but runs past its end is refused (reads give all ones).
Window locate(const volatile void* address, size_t n, uint32_t* off, bool* refused) {
  const uintptr_t p = reinterpret_cast<uintptr_t>(address);
  *refused = false;
  struct Span {
    Window window;
    const void* base;
    size_t size;
  };
  const Span spans[] = {{Window::kRegisters, g_regs, sizeof g_regs}, {Window::kBlitter, g_blit, sizeof g_blit}};
  for (const Span& s : spans) {
    const uintptr_t b = reinterpret_cast<uintptr_t>(s.base);
    if (p < b || p - b >= s.size) continue;
    *off = static_cast<uint32_t>(p - b);
    if (!in_range(p, n, s.base, s.size)) {
      log_once("straddle", "a register access runs past the end of its window: refused");
      *refused = true;
    }
    return s.window;
  }
  return Window::kNone;
}

}  // namespace

uint16_t hw_read16(const volatile void* address) {
  uint32_t off = 0;
  bool refused = false;
  switch (locate(address, 2, &off, &refused)) {
    case Window::kRegisters:
      return refused ? 0xFFFF : reg_read16(off & ~1u);
    case Window::kBlitter: {
      if (refused) return 0xFFFF;
      const uint32_t word = blit_read32(off & ~3u);
      return static_cast<uint16_t>(off & 2 ? word >> 16 : word);
    }
    case Window::kNone:
      break;
  }
  return __atomic_load_n(static_cast<const volatile uint16_t*>(address), __ATOMIC_RELAXED);
}

uint32_t hw_read32(const volatile void* address) {
  uint32_t off = 0;
  bool refused = false;
  switch (locate(address, 4, &off, &refused)) {
    case Window::kRegisters:
      if (refused) return 0xFFFFFFFFu;
      off &= ~1u;
      if (off == reg::kTimer) {
        live_read(runtime());
        const uint32_t count = timer_count();
        paced(off, 0, true);
        return count;
      }
      return reg_read16(off) | static_cast<uint32_t>(reg_read16(off + 2)) << 16;
    case Window::kBlitter:
      return refused ? 0xFFFFFFFFu : blit_read32(off & ~3u);
    case Window::kNone:
      break;
  }
  return __atomic_load_n(static_cast<const volatile uint32_t*>(address), __ATOMIC_RELAXED);
}

void hw_write16(volatile void* address, uint16_t value) {
  uint32_t off = 0;
  bool refused = false;
  switch (locate(address, 2, &off, &refused)) {
    case Window::kRegisters:
      if (!refused) reg_write16(off & ~1u, value);
      return;
    case Window::kBlitter: {
      if (refused) return;
      uint32_t word = load(g_blit[off / 4]);
      word = off & 2 ? (word & 0xFFFF) | static_cast<uint32_t>(value) << 16 : (word & 0xFFFF0000u) | value;
      return blit_write32(off & ~3u, word);
    }
    case Window::kNone:
      break;
  }
  __atomic_store_n(static_cast<volatile uint16_t*>(address), value, __ATOMIC_RELAXED);
}

void hw_write32(volatile void* address, uint32_t value) {
  uint32_t off = 0;
  bool refused = false;
  switch (locate(address, 4, &off, &refused)) {
    case Window::kRegisters:
      if (refused) return;
      off &= ~1u;
      reg_write16(off, static_cast<uint16_t>(value));
      reg_write16(off + 2, static_cast<uint16_t>(value >> 16));
      return;
    case Window::kBlitter:
      if (!refused) blit_write32(off & ~3u, value);
      return;
    case Window::kNone:
      break;
  }
  __atomic_store_n(static_cast<volatile uint32_t*>(address), value, __ATOMIC_RELAXED);
}

void blitter_fill() {
  Runtime& rt = runtime();
  if (!(load(g_regs[reg::kClockEnable / 2]) & 0x400)) {
    log_once("2D clock", "2D engine started with its clock off (register 0x0904 bit 10): nothing drawn");
    return;
  }
  const uint32_t control = load(g_blit[reg::kBlitDstControl / 4]);
  const uint32_t start = (load(g_blit[reg::kBlitDstAddress / 4]) & ~3u) + ((control >> 4) & 1) * 2;
  const uint32_t stride = load(g_blit[reg::kBlitDstStride / 4]);
  const uint16_t colour = static_cast<uint16_t>(load(g_blit[reg::kBlitColour / 4]));
  const uint32_t size = load(g_blit[reg::kBlitSize / 4]);
  const uint32_t w = size & 0xFFFF, h = size >> 16;
  if (w == 0 || h == 0) return;
  const int fb = framebuffer_at_phys(start);
  if (fb < 0) {
    char text[96];
    std::snprintf(text, sizeof text, "2D engine fill at 0x%08X is outside the framebuffers: nothing drawn", start);
    log_once("2D stray", text);
    return;
  }
  if (stride % 2) {
    log_once("2D stride", "2D engine fill with an odd stride: nothing drawn");
    return;
  }
  // Rows that touch or overlap (a stride below the row's bytes, 0 too) cover one run of
  // memory: it is filled once, so no size makes the fill cost more than the buffer.
  uint64_t rows = h, row_pixels = w;
  if (stride <= 2ull * w) {
    row_pixels = ((h - 1ull) * stride + 2ull * w) / 2;
    rows = 1;
  }
  // Rows and pixels beyond the framebuffer's memory are dropped, not written elsewhere.
  const uint64_t base = start - framebuffer_phys_address(fb);
  const uint64_t limit = rt.fb_format.size();
  uint8_t* mem = framebuffer_memory(fb);
  bool clipped = false;
  for (uint64_t y = 0; y < rows; ++y) {
    const uint64_t row = base + y * stride;
    if (row >= limit) {
      clipped = true;
      break;
    }
    const uint64_t n = std::min<uint64_t>(row_pixels, (limit - row) / 2);
    clipped |= n < row_pixels;
    uint8_t* p = mem + row;
    for (uint64_t x = 0; x < n; ++x) std::memcpy(p + x * 2, &colour, 2);
  }
  if (clipped) log_once("2D clip", "2D engine fill ran past the end of a framebuffer: clipped");
}

}  // namespace gp2x::host
