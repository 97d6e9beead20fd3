// Display base: rotation mapping, loader registry, palette, suspend.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include "engine/core/zmod_devptr.h"
#include "engine/graphics/zldr_base.h"
#include "gfx_test_engine.h"
#include "host/gp2x_host.h"
#include "seam/gp2x_seam.h"
#include "host/host_settings.h"
#include "tests/engine/rect_expect.h"

namespace {

struct Pos {
  int32_t x, y;
};

// Logical corners of a 320x240 framebuffer in each rotation, mapped to buffer positions.
TEST(DisplayMapping, VirtualPosCornersInEachRotation) {
  struct Case {
    uint8_t rotation;
    Pos logical, buffer;
  } cases[] = {
      {0, {0, 0}, {0, 0}},      {0, {319, 239}, {319, 239}},
      {1, {0, 0}, {0, 239}},    {1, {239, 319}, {319, 0}},
      {2, {0, 0}, {319, 239}},  {2, {319, 239}, {0, 0}},
      {3, {0, 0}, {319, 0}},    {3, {239, 319}, {0, 239}},
  };
  for (const Case& c : cases) {
    ClassZDisplay d;
    d.SetRotation(c.rotation);
    int32_t x = c.logical.x, y = c.logical.y;
    d.VirtualPos(x, y, 320, 240);
    EXPECT_EQ(x, c.buffer.x) << int(c.rotation);
    EXPECT_EQ(y, c.buffer.y) << int(c.rotation);
  }
}

TEST(DisplayMapping, RotationTable) {
  const struct {
    uint8_t exchange;
    int32_t xs, ys;
  } expect[4] = {{0, 1, 1}, {1, 1, -1}, {0, -1, -1}, {1, -1, 1}};
  for (uint8_t r = 0; r < 4; ++r) {
    ClassZDisplay d;
    d.SetRotation(r);
    EXPECT_EQ(d.axisexchange, expect[r].exchange);
    EXPECT_EQ(d.xstep, expect[r].xs);
    EXPECT_EQ(d.ystep, expect[r].ys);
  }
}

TEST(DisplayMapping, VirtualRectAndItsInverse) {
  ClassZDisplay d;
  d.SetRotation(2);
  tagRECT r = {0, 0, 10, 5};
  d.VirtualRect(&r, 320, 240);
  EXPECT_EQ(r, (tagRECT{310, 235, 320, 240}));
  for (uint8_t rot = 0; rot < 4; ++rot) {
    d.SetRotation(rot);
    const uint32_t w = d.axisexchange ? 240 : 320, h = d.axisexchange ? 320 : 240;
    tagRECT q = {3, 7, 50, 21};
    d.VirtualRect(&q, w, h);
    d.ReVirtualRect(&q, w, h);
    EXPECT_EQ(q, (tagRECT{3, 7, 50, 21}));
  }
}

// The mapped position names the first buffer pixel of the mapped rectangle: the logical
// top-left source pixel lands on the logical target position.
TEST(DisplayMapping, VirtualRectPosKeepsTheScreenPlace) {
  for (uint8_t rot = 0; rot < 4; ++rot) {
    ClassZDisplay d;
    d.SetRotation(rot);
    const bool ex = d.axisexchange;
    const uint32_t W = ex ? 240 : 320, H = ex ? 320 : 240;  // destination buffer
    const uint32_t RW = ex ? 5 : 10, RH = ex ? 10 : 5;      // 10x5 source buffer
    int32_t x = 20, y = 30;
    tagRECT r = {0, 0, 10, 5};
    d.VirtualRectPos(x, y, &r, W, H, RW, RH);
    // Logical source (0,0) maps to a buffer pixel of the source; its offset inside the
    // mapped rectangle added to the blit position must equal logical (20,30) mapped.
    int32_t sx = 0, sy = 0, tx = 20, ty = 30;
    d.VirtualPos(sx, sy, RW, RH);
    d.VirtualPos(tx, ty, W, H);
    EXPECT_EQ(x + (sx - r.left), tx) << int(rot);
    EXPECT_EQ(y + (sy - r.top), ty) << int(rot);
  }
}

TEST(DisplayMapping, VirtualRotation) {
  ClassZDisplay d;
  d.SetRotation(1);
  uint16_t a = 100;
  d.VirtualRotation(a);
  EXPECT_EQ(a, 3172);
  d.SetRotation(0);
  a = 5000;
  d.VirtualRotation(a);
  EXPECT_EQ(a, 5000 & 0xFFF);
}

TEST(DisplayMapping, VirtualDPadTurnsDirectionsOnly) {
  ZBUTTONLIST list;
  ZRecord_ButtonDefaults(&list);
  const uint32_t up = ZBUTTON_UP, down = ZBUTTON_DOWN, left = ZBUTTON_LEFT, right = ZBUTTON_RIGHT;
  struct Case {
    uint8_t rotation;
    uint32_t in, out;
  } cases[] = {
      {0, up, up},      {1, up, right},   {1, right, down}, {1, down, left}, {1, left, up},
      {2, up, down},    {2, left, right}, {3, up, left},    {3, left, down}, {3, right, up},
      {2, ZBUTTON_A, ZBUTTON_A},
  };
  for (const Case& c : cases) {
    ClassZDisplay d;
    d.SetRotation(c.rotation);
    uint32_t code = c.in;
    d.VirtualDPad(code, &list);
    EXPECT_EQ(code, c.out) << int(c.rotation) << " " << c.in;
  }
}

TEST(DisplayMapping, MouseAndTilt) {
  ClassZDisplay d;
  d.fbwidth = 320;
  d.fbheight = 240;
  d.virtualwidth = 320;
  d.virtualheight = 240;
  d.SetRotation(1);
  int32_t x = 10, y = 20;
  d.VirtualMouse(x, y);
  EXPECT_EQ(x, 220);
  EXPECT_EQ(y, 10);
  x = 3;
  y = 4;
  d.VirtualTilt(x, y);
  EXPECT_EQ(x, -4);
  EXPECT_EQ(y, 3);
}

struct CountingLoader : ClassZLoaderBase {
  explicit CountingLoader(int* deleted) : deleted_(deleted) {}
  ~CountingLoader() override { ++*deleted_; }
  int* deleted_;
};

TEST(DisplayLoaders, SixteenSlotsOwnedByTheDisplay) {
  int deleted = 0;
  CountingLoader* extra = new CountingLoader(&deleted);
  CountingLoader stranger(&deleted);
  {
    ClassZDisplay d;
    CountingLoader* first = nullptr;
    for (int i = 0; i < 16; ++i) {
      auto* l = new CountingLoader(&deleted);
      if (!first) first = l;
      EXPECT_EQ(d.RegisterLoader(l), 1);
    }
    EXPECT_EQ(d.RegisterLoader(extra), 0);
    EXPECT_EQ(d.RegisterLoader(nullptr), 0);
    // Registering a held loader again takes no second slot (nor a second delete).
    EXPECT_EQ(d.RegisterLoader(first), 1);
    EXPECT_EQ(d.loaders[0], first);
    EXPECT_EQ(d.loaders[15] != first, true);
    EXPECT_EQ(d.UnRegisterLoader(&stranger), 0);
    EXPECT_EQ(d.UnRegisterLoader(nullptr), 0);
    // A freed slot is the next one taken; the unregistered loader is the caller's again.
    EXPECT_EQ(d.UnRegisterLoader(first), 1);
    EXPECT_EQ(d.loaders[0], nullptr);
    EXPECT_EQ(d.RegisterLoader(extra), 1);
    EXPECT_EQ(d.loaders[0], extra);
    delete first;
    EXPECT_EQ(deleted, 1);
  }
  EXPECT_EQ(deleted, 17);
}

TEST(DisplayDevices, NotOpenIsMinusOneAndClosingTouchesNoOtherDescriptor) {
  EXPECT_EQ(zdeviceptr[0], -1);
  EXPECT_EQ(zdeviceptr[1], -1);
  EXPECT_EQ(zdevicereg_ptr, nullptr);
  // Closing with nothing open leaves descriptor 0 (standard input) alone.
  const bool stdin_open = fcntl(0, F_GETFD) != -1;
  EXPECT_EQ(HandleDevicePtr(true), 0);
  EXPECT_EQ(fcntl(0, F_GETFD) != -1, stdin_open);
  EXPECT_EQ(zdeviceptr[0], -1);
  EXPECT_EQ(zdeviceptr[1], -1);
}

size_t OpenDescriptors() {
  size_t n = 0;
  for (int fd = 0; fd < 1024; ++fd) n += fcntl(fd, F_GETFD) != -1;
  return n;
}

// The open form through the host's emulated devices: both descriptors and the register
// window, read through the seam; opening again first closes what is open, so nothing
// leaks; the close form leaves everything "not open".
TEST(DisplayDevices, OpenMapsTheRegisterWindowAndCloseReleasesIt) {
  gp2x::host::configure(gp2x::host::Settings{});
  ASSERT_EQ(HandleDevicePtr(false), 1);
  const int32_t mem = zdeviceptr[0], fb = zdeviceptr[1];
  EXPECT_GE(mem, 0);
  EXPECT_GE(fb, 0);
  EXPECT_NE(mem, fb);
  ASSERT_NE(zdevicereg_ptr, nullptr);
  EXPECT_EQ(static_cast<volatile void*>(zdevicereg_ptr16), static_cast<volatile void*>(zdevicereg_ptr));
  // No button held: the active-low button register reads all ones in its high byte.
  EXPECT_EQ(gp2x::peek16(reinterpret_cast<volatile uint8_t*>(zdevicereg_ptr16) + 0x1184) & 0xFF00, 0xFF00);
  const size_t open_fds = OpenDescriptors();
  ASSERT_EQ(HandleDevicePtr(false), 1);
  EXPECT_EQ(OpenDescriptors(), open_fds);
  const int32_t mem2 = zdeviceptr[0], fb2 = zdeviceptr[1];
  EXPECT_EQ(HandleDevicePtr(true), 0);
  EXPECT_EQ(zdeviceptr[0], -1);
  EXPECT_EQ(zdeviceptr[1], -1);
  EXPECT_EQ(zdevicereg_ptr, nullptr);
  EXPECT_EQ(zdevicereg_ptr16, nullptr);
  EXPECT_EQ(fcntl(mem2, F_GETFD), -1);
  EXPECT_EQ(fcntl(fb2, F_GETFD), -1);
  gp2x::host::configure(gp2x::host::Settings{});
}

// The lowest descriptor free now: the one the next open gets.
int LowestFreeDescriptor() {
  const int fd = open("/dev/null", O_RDONLY);
  if (fd >= 0) close(fd);
  return fd;
}

// Limits the process to `spare` more descriptors for the life of the object, so that the
// opens after those fail as on a system out of descriptors.
class DescriptorLimit {
 public:
  explicit DescriptorLimit(int spare) {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = rlim_t(LowestFreeDescriptor() + spare);
    setrlimit(RLIMIT_NOFILE, &lowered);
  }
  ~DescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }

 private:
  rlimit saved_{};
};

// Neither device, or "/dev/mem" without "/dev/fb0": a failure, with nothing left open (the
// descriptor that did open is closed again) and every handle "not open".
TEST(DisplayDevices, DevicesThatCannotBeOpenedReportFailureAndLeaveNothingOpen) {
  for (int spare : {0, 1}) {
    SCOPED_TRACE(spare);
    gp2x::host::configure(gp2x::host::Settings{});
    // One open and close first, with descriptors to spare: the sanitizer build checks the
    // type of an object the first time it sees it, and that check needs a descriptor.
    ASSERT_EQ(HandleDevicePtr(false), 1);
    HandleDevicePtr(true);
    const int lowest = LowestFreeDescriptor();
    const size_t open_fds = OpenDescriptors();
    {
      DescriptorLimit limit(spare);
      EXPECT_EQ(HandleDevicePtr(false), 0);
    }
    EXPECT_EQ(zdeviceptr[0], -1);
    EXPECT_EQ(zdeviceptr[1], -1);
    EXPECT_EQ(zdevicereg_ptr, nullptr);
    EXPECT_EQ(zdevicereg_ptr16, nullptr);
    EXPECT_EQ(OpenDescriptors(), open_fds);
    EXPECT_EQ(LowestFreeDescriptor(), lowest);
    // Nothing is held that keeps the next attempt from succeeding.
    EXPECT_EQ(HandleDevicePtr(false), 1);
    EXPECT_EQ(HandleDevicePtr(true), 0);
  }
  gp2x::host::configure(gp2x::host::Settings{});
}

TEST(DisplayPalette, SetPaletteStaysInsideItsEntries) {
  ClassZDisplay d;
  uint32_t colours[300];
  for (uint32_t i = 0; i < 300; ++i) colours[i] = 0x00010203 * (i & 0x3F) + 0x00112233;
  d.palettecacheformat = 4;
  d.SetPalette(colours, 250, 10);
  for (int i = 0; i < 250; ++i) EXPECT_EQ(d.palette[i], 0u);
  for (int i = 250; i < 256; ++i) {
    const uint32_t c = colours[i];
    EXPECT_EQ(d.palette[i], ((c & 0xFF) << 16) | (c & 0xFF00) | (c >> 16 & 0xFF));
  }
  EXPECT_EQ(d.palettechanged, 1);
  EXPECT_EQ(d.palettecacheformat, 0u);
  // A huge count does not wrap the end.
  d.SetPalette(colours, 255, 0xFFFFFFFFu);
  EXPECT_NE(d.palette[255], 0u);
}

TEST(DisplayState, SuspendAndResumeOnlyWhileOpen) {
  ClassZDisplay d;
  d.Suspend();
  EXPECT_EQ(d.suspended, 0);
  d.backbufferformat = 4;
  d.fbwidth = 320;
  d.fbheight = 240;
  d.Suspend();
  EXPECT_EQ(d.suspended, 1);
  d.Resume();
  EXPECT_EQ(d.suspended, 0);
  EXPECT_EQ(d.virtualwidth, 320u);
  EXPECT_EQ(d.virtualheight, 240u);
  uint32_t total = 1, free = 1;
  EXPECT_EQ(d.GetVideoMemory(total, free), 3);
  EXPECT_EQ(total, 0u);
  EXPECT_EQ(free, 0u);
}

TEST(DisplayState, OpenRefusesAZeroSize) {
  TestEngine e;
  e.display.backbufferformat = 0;
  EXPECT_EQ(e.display.Open(nullptr, &e.zcd, 32, 0, 240, false), 4);
  EXPECT_EQ(e.display.Open(nullptr, &e.zcd, 32, 320, 0, false), 4);
  EXPECT_EQ(e.display.backbufferformat, 0);
}

}  // namespace
