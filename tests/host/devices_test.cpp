#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <linux/fb.h>
#include <string>
#include <unistd.h>

#include "tests/host/host_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace gp2x;  // host:: and the register accessors

TEST_F(HostTest, FramebuffersAnswerTheirScreenQueries) {
  for (int i = 0; i < 2; ++i) {
    const int fd = gp2x::open(i ? "/dev/fb1" : "/dev/fb0", O_RDWR);
    ASSERT_GT(fd, 0);
    fb_var_screeninfo v{};
    ASSERT_EQ(gp2x::ioctl(fd, FBIOGET_VSCREENINFO, &v), 0);
    EXPECT_EQ(v.xres, 320u);
    EXPECT_EQ(v.yres, 240u);
    EXPECT_EQ(v.xres_virtual, 320u);
    EXPECT_EQ(v.bits_per_pixel, 16u);
    EXPECT_EQ(v.green.length, 6u);
    EXPECT_EQ(v.red.offset, 11u);
    fb_fix_screeninfo f{};
    ASSERT_EQ(gp2x::ioctl(fd, FBIOGET_FSCREENINFO, &f), 0);
    EXPECT_EQ(f.smem_start, host::framebuffer_phys(i));
    EXPECT_EQ(f.line_length, 640u);
    EXPECT_EQ(f.smem_len, 153600u);
    EXPECT_EQ(gp2x::ioctl(fd, FBIOPUT_VSCREENINFO, &v), -1);
    EXPECT_EQ(errno, EINVAL);

    void* p = gp2x::mmap(nullptr, 153600, PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_EQ(p, host::framebuffer(i));
    EXPECT_EQ(gp2x::mmap(nullptr, 2 * 153600, PROT_WRITE, MAP_SHARED, fd, 0), MAP_FAILED);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(gp2x::munmap(p, 153600), 0);
    EXPECT_EQ(gp2x::close(fd), 0);
    EXPECT_EQ(gp2x::close(fd), -1);
    EXPECT_EQ(errno, EBADF);
  }
}

TEST_F(HostTest, FramebufferFormatIsSettableForTests) {
  settings_.fb_bpp = 32;
  settings_.fb_xres_virtual = 400;
  reconfigure();
  const int fd = gp2x::open("/dev/fb0", O_RDWR);
  fb_var_screeninfo v{};
  ASSERT_EQ(gp2x::ioctl(fd, FBIOGET_VSCREENINFO, &v), 0);
  EXPECT_EQ(v.bits_per_pixel, 32u);
  EXPECT_EQ(v.xres_virtual, 400u);
  fb_fix_screeninfo f{};
  ASSERT_EQ(gp2x::ioctl(fd, FBIOGET_FSCREENINFO, &f), 0);
  EXPECT_EQ(f.line_length, 1600u);
  uint8_t* p = static_cast<uint8_t*>(gp2x::mmap(nullptr, 1600 * 240, PROT_WRITE, MAP_SHARED, fd, 0));
  ASSERT_NE(p, MAP_FAILED);
  p[1600 * 239 + 319 * 4 + 1] = 0xFF;  // green at the last visible pixel
  const auto rgb = host::screen_rgb();
  EXPECT_EQ(rgb[(239 * 320 + 319) * 3 + 1], 0xFF);
  gp2x::close(fd);
}

TEST_F(HostTest, PhysicalMemoryMapsTheKnownRangesOnly) {
  struct Case {
    uint32_t phys;
    size_t length;
    bool ok;
  };
  const Case cases[] = {
      {0xC0000000, 0x10000, true},   {0xC0000000, 0x10001, false}, {0xC0008000, 0x1000, true},
      {0xE0020000, 0x100, true},     {0x03000000, 0xF80000, true}, {0x03000000, 0xF80001, false},
      {0x01000000, 153600, true},    {0x00001000, 0x1000, false},  {0xC0000000, 0, false},
  };
  const int fd = gp2x::open("/dev/mem", O_RDWR);
  ASSERT_GT(fd, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.phys << " " << c.length);
    errno = 0;
    void* p = gp2x::mmap(nullptr, c.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, c.phys);
    EXPECT_EQ(p != MAP_FAILED, c.ok);
    if (!c.ok) {
      EXPECT_NE(errno, 0);
    }
  }
  uint8_t* core = static_cast<uint8_t*>(gp2x::mmap(nullptr, 0xF80000, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0x3000000));
  EXPECT_EQ(core, host::second_core_memory());
  core[0xF7FFFF] = 7;
  EXPECT_EQ(gp2x::munmap(core, 0xF80000), 0);
  EXPECT_EQ(host::second_core_memory()[0xF7FFFF], 7);
  EXPECT_EQ(gp2x::close(fd), 0);
}

TEST_F(HostTest, BatteryReadsTheSetValue) {
  for (uint16_t value : {uint16_t{1000}, uint16_t{750}, uint16_t{0}}) {
    if (value != 1000) host::set_battery(value);
    const int fd = gp2x::open("/dev/batt", O_RDONLY);
    ASSERT_GT(fd, 0);
    uint16_t reading = 1;
    EXPECT_EQ(gp2x::read(fd, &reading, 2), 2);
    EXPECT_EQ(reading, value);
    gp2x::close(fd);
  }
}

TEST_F(HostTest, DevicesNeverGetTheDescriptorOfStandardInput) {
  const int saved = dup(0);
  ASSERT_GE(saved, 0);
  ::close(0);
  const int fd = gp2x::open("/dev/batt", O_RDONLY);
  dup2(saved, 0);
  ::close(saved);
  EXPECT_GT(fd, 2);  // 0 would read as a failed open
  EXPECT_EQ(gp2x::close(fd), 0);
}

TEST_F(HostTest, OtherPathsAreRealFiles) {
  const TempDir dir;
  const std::string name = dir / "file";
  ASSERT_TRUE(WriteWholeFile(name, {}));
  const int fd = gp2x::open(name.c_str(), O_RDWR | O_TRUNC);
  ASSERT_GT(fd, 0);
  EXPECT_EQ(gp2x::write(fd, "console", 7), 7);
  EXPECT_EQ(::lseek(fd, 0, SEEK_SET), 0);
  char back[8] = {};
  EXPECT_EQ(gp2x::read(fd, back, 7), 7);
  EXPECT_STREQ(back, "console");
  void* p = gp2x::mmap(nullptr, 7, PROT_READ, MAP_SHARED, fd, 0);
  ASSERT_NE(p, MAP_FAILED);
  EXPECT_EQ(std::string(static_cast<char*>(p), 7), "console");
  EXPECT_EQ(gp2x::munmap(p, 7), 0);
  EXPECT_EQ(gp2x::close(fd), 0);
  EXPECT_EQ(gp2x::open("/nonexistent/file", O_RDONLY), -1);
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
