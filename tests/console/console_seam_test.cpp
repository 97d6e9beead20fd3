// The console's seam passes each call to the system unchanged: results and errors come
// back as the system gives them, mappings are the system's own, and register accesses are
// plain loads and stores. Runs on the PC and, in the cross builds, under the emulator.
#include <fcntl.h>
#include <linux/fb.h>
#include <linux/soundcard.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "seam/gp2x_seam.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  return bytes;
}

TEST(ConsoleSeamTest, FilesAreTheSystemsFiles) {
  TempDir dir;
  const std::string name = dir / "save.dat";
  int fd = gp2x::open(name.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(gp2x::write(fd, "hello", 5), 5);
  char byte = 0;
  errno = 0;
  EXPECT_EQ(gp2x::read(fd, &byte, 1), -1);  // opened write-only
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(gp2x::close(fd), 0);
  errno = 0;
  EXPECT_EQ(gp2x::close(fd), -1);
  EXPECT_EQ(errno, EBADF);

  struct stat info {};
  ASSERT_EQ(stat(name.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);  // the mode reached the system
  EXPECT_EQ(ReadWholeFile(name), (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));

  fd = gp2x::open(name.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  char text[16] = {};
  EXPECT_EQ(gp2x::read(fd, text, sizeof text), 5);
  EXPECT_STREQ(text, "hello");
  EXPECT_EQ(gp2x::read(fd, text, sizeof text), 0);
  EXPECT_EQ(gp2x::close(fd), 0);

  errno = 0;
  EXPECT_EQ(gp2x::open((dir / "missing").c_str(), O_RDONLY), -1);
  EXPECT_EQ(errno, ENOENT);
}

// A shared mapping of a file is the file: the seam's peeks read what the file holds and its
// pokes land in it, at the byte they name, in the machine's little-endian order.
TEST(ConsoleSeamTest, PeeksAndPokesReachAMappedFile) {
  TempDir dir;
  const std::string name = dir / "window";
  const std::vector<uint8_t> bytes = Pattern(8192);
  ASSERT_TRUE(WriteWholeFile(name, bytes));
  const int fd = gp2x::open(name.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  void* map = gp2x::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 4096);
  ASSERT_NE(map, MAP_FAILED);
  volatile uint8_t* window = static_cast<volatile uint8_t*>(map);

  EXPECT_EQ(gp2x::peek16(window + 0x182), bytes[4096 + 0x182] | bytes[4096 + 0x183] << 8);
  EXPECT_EQ(gp2x::peek32(window + 0xA00), uint32_t(bytes[4096 + 0xA00]) | uint32_t(bytes[4096 + 0xA01]) << 8 |
                                              uint32_t(bytes[4096 + 0xA02]) << 16 | uint32_t(bytes[4096 + 0xA03]) << 24);
  gp2x::poke16(window + 0x90E, 0xBEEF);
  gp2x::poke32(window + 0x34, 0x12345678);
  EXPECT_EQ(gp2x::peek16(window + 0x90E), 0xBEEF);
  EXPECT_EQ(gp2x::peek32(window + 0x34), 0x12345678u);
  EXPECT_EQ(gp2x::munmap(map, 4096), 0);

  std::vector<uint8_t> expected = bytes;
  const uint8_t poked[] = {0xEF, 0xBE};
  const uint8_t poked32[] = {0x78, 0x56, 0x34, 0x12};
  std::memcpy(&expected[4096 + 0x90E], poked, 2);
  std::memcpy(&expected[4096 + 0x34], poked32, 4);
  std::vector<uint8_t> now(bytes.size());
  ASSERT_EQ(lseek(fd, 0, SEEK_SET), 0);
  EXPECT_EQ(gp2x::read(fd, now.data(), now.size()), ssize_t(now.size()));
  EXPECT_EQ(now, expected);  // nothing else moved
  EXPECT_EQ(gp2x::close(fd), 0);

  errno = 0;
  EXPECT_EQ(gp2x::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, -1, 0), MAP_FAILED);
  EXPECT_EQ(errno, EBADF);
}

// The register window (0xC0000000) and the 2D engine (0xE0020000) lie past 2 GB of
// "/dev/mem", where an offset in a 32-bit off_t is negative: the programs pass them as
// off_t, and the mapping must still start at that byte. A sparse file stands in for the
// device.
TEST(ConsoleSeamTest, MapsAtTheDevicesOffsetsPastTwoGigabytes) {
  TempDir dir;
  const std::string name = dir / "mem";
  const int fd = gp2x::open(name.c_str(), O_RDWR | O_CREAT | O_LARGEFILE, 0600);
  ASSERT_GE(fd, 0);
  const uint32_t offsets[] = {0xC0000000u, 0xE0020000u};
  for (uint32_t offset : offsets) {
    const uint32_t mark = offset ^ 0x5A5A5A5Au;
    ASSERT_EQ(pwrite64(fd, &mark, sizeof mark, off64_t(offset)), ssize_t(sizeof mark)) << std::strerror(errno);
  }
  for (uint32_t offset : offsets) {
    void* map = gp2x::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, off_t(offset));
    ASSERT_NE(map, MAP_FAILED) << std::hex << offset << ": " << std::strerror(errno);
    EXPECT_EQ(gp2x::peek32(map), offset ^ 0x5A5A5A5Au) << std::hex << offset;
    EXPECT_EQ(gp2x::munmap(map, 4096), 0);
  }
  EXPECT_EQ(gp2x::close(fd), 0);
}

TEST(ConsoleSeamTest, IoctlsReturnTheSystemsResults) {
  TempDir dir;
  const std::string name = dir / "plain";
  ASSERT_TRUE(WriteWholeFile(name, Pattern(5)));
  const int file = gp2x::open(name.c_str(), O_RDONLY);
  const int null = gp2x::open("/dev/null", O_WRONLY);
  ASSERT_GE(file, 0);
  ASSERT_GE(null, 0);

  // A file or a device that is not a framebuffer or a sound card refuses their requests.
  fb_var_screeninfo var{};
  fb_fix_screeninfo fix{};
  int speed = 44100;
  struct Case {
    const char* what;
    int fd;
    unsigned long request;
    void* arg;
    int error;
  } cases[] = {
      {"screen query on a file", file, FBIOGET_VSCREENINFO, &var, ENOTTY},
      {"sound rate on /dev/null", null, SNDCTL_DSP_SPEED, &speed, ENOTTY},
      {"screen query on no descriptor", -1, FBIOGET_FSCREENINFO, &fix, EBADF},
  };
  for (const Case& c : cases) {
    errno = 0;
    EXPECT_EQ(gp2x::ioctl(c.fd, c.request, c.arg), -1) << c.what;
    EXPECT_EQ(errno, c.error) << c.what;
  }
  EXPECT_EQ(speed, 44100);

  // One that the file takes answers through the pointer given.
  int waiting = -1;
  EXPECT_EQ(gp2x::ioctl(file, FIONREAD, &waiting), 0);
  EXPECT_EQ(waiting, 5);
  EXPECT_EQ(gp2x::close(file), 0);
  EXPECT_EQ(gp2x::close(null), 0);
}

TEST(ConsoleSeamTest, TimeIsTheSystemsClock) {
  time_t out = 0;
  const time_t now = gp2x::time(&out);
  EXPECT_EQ(out, now);
  EXPECT_LE(std::abs(now - ::time(nullptr)), 1);

  timeval before{}, after{};
  ASSERT_EQ(gp2x::gettimeofday(&before), 0);
  EXPECT_LE(std::abs(before.tv_sec - ::time(nullptr)), 1);
  const timespec two_ms{0, 2000000};
  EXPECT_EQ(gp2x::nanosleep(&two_ms, nullptr), 0);
  EXPECT_EQ(gp2x::usleep(1000), 0);
  ASSERT_EQ(gp2x::gettimeofday(&after), 0);
  EXPECT_GE((after.tv_sec - before.tv_sec) * 1000000 + (after.tv_usec - before.tv_usec), 3000);

  const timespec bad{0, 1000000000};
  errno = 0;
  EXPECT_EQ(gp2x::nanosleep(&bad, nullptr), -1);
  EXPECT_EQ(errno, EINVAL);
}

// The console's folders and programs are the system's: no change of folder is kept aside,
// and a hand-over replaces the program with the one named, with the arguments given.
TEST(ConsoleSeamTest, FolderChangesAndHandOversAreReal) {
  TempDir dir;
  char before[PATH_MAX], inside[PATH_MAX];
  ASSERT_TRUE(getcwd(before, sizeof before));
  ASSERT_EQ(gp2x::chdir(dir.path().c_str()), 0);
  ASSERT_TRUE(getcwd(inside, sizeof inside));
  EXPECT_EQ(std::string(inside), dir.path());
  errno = 0;
  EXPECT_EQ(gp2x::chdir("/usr/gp2x"), -1);  // not on this machine
  EXPECT_EQ(errno, ENOENT);
  ASSERT_EQ(gp2x::chdir(before), 0);

  errno = 0;
  EXPECT_EQ(gp2x::execl((dir / "no-such-program").c_str(), "no-such-program", nullptr), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EXIT(gp2x::execl("/bin/sh", "sh", "-c", "exit $(($# + $1))", "sh", "4", "3", nullptr),
              testing::ExitedWithCode(6), "");
}

// After a program opens a device, the first SIGINT or SIGTERM asks it to quit and lets it
// run on; a second one ends it.
TEST(ConsoleSeamTest, QuitSignalAsksOnceThenEnds) {
  for (int signal : {SIGINT, SIGTERM}) {
    EXPECT_EXIT(
        {
          const int fd = gp2x::open("/dev/null", O_RDONLY);
          if (fd < 0 || gp2x::quit_requested()) _exit(1);
          std::raise(signal);
          if (!gp2x::quit_requested()) _exit(2);
          std::raise(signal);
          _exit(3);
        },
        testing::KilledBySignal(signal), "")
        << strsignal(signal);
  }
}

}  // namespace
