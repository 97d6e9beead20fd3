#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <linux/soundcard.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/host/host_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace gp2x;  // host:: controls

constexpr uint32_t kStereo16Rate = 176400;

uint64_t ns_for_bytes(uint64_t bytes, uint64_t rate) { return (bytes * 1000000000ull + rate - 1) / rate; }

class DspTest : public HostTest {
 protected:
  void TearDown() override {
    if (dsp_ > 0) gp2x::close(dsp_);
    HostTest::TearDown();
  }
  // Opens "/dev/dsp" as both games do: 44,100 Hz, signed 16-bit, stereo.
  void open_cd_quality(int fragment_request = 0) {
    dsp_ = gp2x::open("/dev/dsp", O_WRONLY);
    ASSERT_GT(dsp_, 0);
    int v = 44100;
    ASSERT_EQ(gp2x::ioctl(dsp_, SNDCTL_DSP_SPEED, &v), 0);
    v = AFMT_S16_LE;
    ASSERT_EQ(gp2x::ioctl(dsp_, SNDCTL_DSP_SETFMT, &v), 0);
    v = 1;
    ASSERT_EQ(gp2x::ioctl(dsp_, SNDCTL_DSP_STEREO, &v), 0);
    if (fragment_request) {
      ASSERT_EQ(gp2x::ioctl(dsp_, SNDCTL_DSP_SETFRAGMENT, &fragment_request), 0);
    }
  }

 public:
  audio_buf_info space() {
    audio_buf_info info{};
    EXPECT_EQ(gp2x::ioctl(dsp_, SNDCTL_DSP_GETOSPACE, &info), 0);
    return info;
  }
  int dsp() const { return dsp_; }
  void close_dsp() {
    gp2x::close(dsp_);
    dsp_ = 0;
  }

 protected:
  int dsp_ = 0;
};

TEST_F(DspTest, IoctlsAnswerTheValuesInForce) {
  dsp_ = gp2x::open("/dev/dsp", O_WRONLY);
  ASSERT_GT(dsp_, 0);
  struct Case {
    unsigned long request;
    int asked, answered;
  };
  const Case cases[] = {
      {SNDCTL_DSP_SETFMT, AFMT_QUERY, AFMT_U8},    // the device opens unsigned 8-bit
      {SNDCTL_DSP_SPEED, 44100, 44100},            {SNDCTL_DSP_SPEED, 1, 4000},
      {SNDCTL_DSP_SPEED, 22050, 22050},            {SNDCTL_DSP_SETFMT, AFMT_S16_LE, AFMT_S16_LE},
      {SNDCTL_DSP_SETFMT, AFMT_MU_LAW, AFMT_S16_LE}, {SNDCTL_DSP_STEREO, 1, 1},
      {SNDCTL_DSP_STEREO, 0, 0},                   {SNDCTL_DSP_CHANNELS, 2, 2},
      {SNDCTL_DSP_SETFRAGMENT, 0x2000B, 0x2000B},  {SNDCTL_DSP_SETFRAGMENT, 0x7FFF0003, 0x01000004},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.request << " " << c.asked);
    int v = c.asked;
    EXPECT_EQ(gp2x::ioctl(dsp_, c.request, &v), 0);
    EXPECT_EQ(v, c.answered);
  }
  int v = 0;
  EXPECT_EQ(gp2x::ioctl(dsp_, SNDCTL_DSP_GETISPACE, &v), -1);
}

TEST_F(DspTest, FragmentRequestSetsTheBufferThatGetOSpaceReports) {
  open_cd_quality(0x2000B);  // 2 fragments of 2048 bytes
  audio_buf_info info = space();
  EXPECT_EQ(info.fragsize, 2048);
  EXPECT_EQ(info.fragstotal, 2);
  EXPECT_EQ(info.fragments, 2);
  EXPECT_EQ(info.bytes, 4096);
  std::vector<uint8_t> block(4096, 1);
  EXPECT_EQ(gp2x::write(dsp_, block.data(), block.size()), 4096);
  EXPECT_EQ(host::now_ns(), 0u);  // it fitted: no wait
  EXPECT_EQ(space().bytes, 0);
  host::advance_ns(ns_for_bytes(2048, kStereo16Rate));
  info = space();
  EXPECT_EQ(info.bytes, 2048);
  EXPECT_EQ(info.fragments, 1);
}

TEST_F(DspTest, AskingForRoomAgainAndAgainMovesTime) {
  settings_.poll_ns = 2000;
  reconfigure();
  open_cd_quality(0x2000B);
  std::vector<uint8_t> block(4096, 1);
  ASSERT_EQ(gp2x::write(dsp_, block.data(), block.size()), 4096);
  const uint64_t start = host::now_ns();
  for (int asked = 0; asked < 100000 && space().fragments == 0; ++asked) {
  }
  EXPECT_GE(host::now_ns() - start, ns_for_bytes(2048, kStereo16Rate));
  EXPECT_LE(host::now_ns() - start, ns_for_bytes(2048, kStereo16Rate) + 2000);
}

TEST_F(DspTest, WritesBlockUntilTheDeviceHasPlayedEnough) {
  open_cd_quality(0x2000B);
  std::vector<uint8_t> block(8192, 1);
  // The first 4096 bytes fill the buffer; the rest goes in as the device drains.
  EXPECT_EQ(gp2x::write(dsp_, block.data(), block.size()), 8192);
  EXPECT_EQ(host::now_ns(), ns_for_bytes(4096, kStereo16Rate));
  EXPECT_EQ(gp2x::write(dsp_, block.data(), block.size()), 8192);
  EXPECT_EQ(host::now_ns(), ns_for_bytes(12288, kStereo16Rate));
}

TEST_F(DspTest, WriterThreadIsPacedAtTheByteRate) {
  open_cd_quality(0x2000B);
  std::atomic<uint64_t> bytes{0};
  std::atomic<bool> ended{false};
  const int fd = dsp_;  // the fixture's copy is cleared below while the writer still runs
  std::thread writer([&bytes, &ended, fd] {
    std::vector<uint8_t> block(8192, 3);
    while (gp2x::write(fd, block.data(), block.size()) == 8192) bytes += 8192;
    ended = true;
  });
  // Time moves in 1 ms steps, each once the writer has filled the buffer and waits for a
  // whole fragment to come free.
  auto wait_for_full_buffer = [&] {
    while (space().fragments > 0) std::this_thread::yield();
  };
  wait_for_full_buffer();
  const uint64_t start = host::now_ns();
  while (host::now_ns() - start < 1000000000u) {
    gp2x::usleep(1000);
    wait_for_full_buffer();
    const uint64_t played = (host::now_ns() - start) * kStereo16Rate / 1000000000u;
    EXPECT_LE(bytes.load(), played + 4096);  // never ahead of the device
    EXPECT_GE(bytes.load() + 8192 + 2048, played);  // never starved
  }
  // Closing the device ends a write that waits.
  gp2x::close(dsp_);
  dsp_ = 0;
  writer.join();
  EXPECT_TRUE(ended.load());
}

TEST_F(DspTest, WriterGoesOnWhileTheMainThreadWaitsOutsideTheSeam) {
  settings_.stall_ms = 60000;  // far longer than the test may take: the main thread sleeps
  reconfigure();
  open_cd_quality(0x2000B);
  std::thread writer([&] {
    std::vector<uint8_t> block(8192, 5);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(gp2x::write(dsp_, block.data(), block.size()), 8192);
  });
  writer.join();  // as a driver that joins its thread before closing the device
  // The writer moved time as far as the device needed to take 24 KB into a 4 KB buffer.
  EXPECT_EQ(host::now_ns(), ns_for_bytes(3 * 8192 - 4096, kStereo16Rate));
}

// A writer thread, started right after the open as the sound drivers start theirs, that
// naps and writes as they do, or only writes, while the main thread at once sleeps through
// a second, in 1 ms steps as fast as it can or in one go: what the device received.
struct Recording {
  bool naps;        // the writer naps before each write, else its writes alone pace it
  uint32_t step_us; // the main thread's sleeps
};
std::vector<uint8_t> record_a_second(DspTest& t, const Recording& how) {
  const int fd = t.dsp();
  std::atomic<bool> quit{false};
  std::thread writer([fd, &quit, naps = how.naps] {
    std::vector<uint8_t> block(2048, 7);
    const timespec nap{0, 50000};
    while (!quit) {
      if (naps) gp2x::nanosleep(&nap, nullptr);
      gp2x::write(fd, block.data(), block.size());
    }
  });
  for (uint32_t us = 0; us < 1000000; us += how.step_us) gp2x::usleep(how.step_us);
  std::vector<uint8_t> got = host::take_captured_audio().bytes;
  quit = true;
  t.close_dsp();  // ends the write that waits
  writer.join();
  return got;
}

TEST_F(DspTest, WriterKeepsUpHoweverFastTheMainThreadRuns) {
  settings_.audio = "capture";
  const Recording cases[] = {{true, 1000}, {true, 1000000}, {false, 1000}, {false, 1000000}};
  for (const Recording& how : cases) {
    SCOPED_TRACE(testing::Message() << "naps " << how.naps << ", sleeps of " << how.step_us);
    std::vector<std::vector<uint8_t>> runs;
    for (int run = 0; run < 3; ++run) {
      reconfigure();
      open_cd_quality(0x2000B);
      runs.push_back(record_a_second(*this, how));
      const std::vector<uint8_t>& got = runs.back();
      // Never a gap of silence: the writer wrote each block when the device had room for it,
      // from the very start.
      EXPECT_EQ(std::count(got.begin(), got.end(), 7), static_cast<long>(got.size()));
      EXPECT_GE(got.size(), kStereo16Rate);
      EXPECT_LE(got.size(), kStereo16Rate + 4096u);  // a second played, and a buffer's worth
    }
    // The same run, the same sound, however the threads were scheduled.
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_EQ(runs[0], runs[2]);
  }
}

double real_seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(DspTest, ThreadThatNeverComesToTheDeviceHoldsTimeUpOnce) {
  settings_.stall_ms = 50;
  reconfigure();
  open_cd_quality();
  // Started after the open, as a writer would be, but it waits for something else.
  std::promise<void> release;
  std::thread other([done = release.get_future()] { done.wait(); });
  auto start = std::chrono::steady_clock::now();
  gp2x::usleep(1000);
  EXPECT_GE(real_seconds_since(start), 0.05);  // it waited for the thread, as long as allowed
  EXPECT_EQ(host::now_ns(), 1000000u);
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < 100; ++i) gp2x::usleep(1000);
  EXPECT_LT(real_seconds_since(start), 10 * 0.05);  // and not again: 100 waits would take 5 s
  EXPECT_EQ(host::now_ns(), 101000000u);
  release.set_value();
  other.join();
}

// A writer that comes late because it is still at work, or waits for a processor on a
// loaded machine, is waited for however long that takes.
TEST_F(DspTest, ThreadAtWorkBeforeItComesToTheDeviceIsWaitedFor) {
  settings_.stall_ms = 50;
  reconfigure();
  open_cd_quality();
  std::atomic<bool> came{false};
  const int fd = dsp_;
  std::thread writer([fd, &came] {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    volatile uint64_t n = 0;
    while (std::chrono::steady_clock::now() < until) n = n + 1;
    came = true;
    const std::vector<uint8_t> block(64, 1);
    gp2x::write(fd, block.data(), block.size());
  });
  gp2x::usleep(1000);
  EXPECT_TRUE(came.load());
  EXPECT_EQ(host::now_ns(), 1000000u);
  writer.join();
}

TEST_F(DspTest, NoWaitWhenNoThreadIsLeftToComeToTheDevice) {
  settings_.stall_ms = 60000;  // a wait for a writer would outlast the test
  // A runtime that starts a helper thread of its own with the program's first thread (as
  // ThreadSanitizer's does) does so before the opens below, not as one expected.
  std::thread([] {}).join();
  const std::vector<uint8_t> block(64, 1);
  struct Case {
    const char* what;
    std::function<void(DspTest&)> after_open;
  };
  const Case cases[] = {
      {"the main thread writes",
       [&](DspTest& t) { EXPECT_EQ(gp2x::write(t.dsp(), block.data(), block.size()), 64); }},
      {"the device is closed", [](DspTest& t) { t.close_dsp(); }},
      {"no thread is started", [](DspTest&) {}},
      {"the thread started ends without coming", [](DspTest&) { std::thread([] {}).join(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reconfigure();
    open_cd_quality();
    c.after_open(*this);
    const auto start = std::chrono::steady_clock::now();
    gp2x::usleep(1000);
    EXPECT_LT(real_seconds_since(start), 30.0);
    EXPECT_EQ(host::now_ns(), 1000000u);
  }
}

// True when the main thread sleeps in the kernel (waits on a lock, a condition, a join).
bool main_thread_sleeps() {
  std::ifstream in("/proc/self/task/" + std::to_string(getpid()) + "/stat");
  const std::string stat((std::istreambuf_iterator<char>(in)), {});
  const size_t end = stat.rfind(')');
  return end != std::string::npos && end + 2 < stat.size() && stat[end + 2] == 'S';
}

// A thread that opens the device itself, new to the clock, is the one expected, as one
// started after the open; one that already takes part in the lock-step is not waited for.
TEST_F(DspTest, ThreadThatOpensTheDeviceIsWaitedForUntilItTakesPart) {
  settings_.audio = "capture";
  settings_.stall_ms = 60000;  // a needless wait would outlast the test
  for (const bool sleeps_first : {false, true}) {
    SCOPED_TRACE(sleeps_first ? "it slept before the open" : "new to the clock");
    reconfigure();
    std::atomic<bool> opened{false}, quit{false};
    std::thread writer([&, sleeps_first] {
      if (sleeps_first) gp2x::usleep(1000);
      open_cd_quality(0x2000B);
      const int fd = dsp();  // the fixture's copy is cleared below while this thread still runs
      opened = true;
      // Late to the device: the main thread has gone to sleep (waiting for it, or, should
      // time not wait, for it to end).
      while (!main_thread_sleeps()) std::this_thread::yield();
      const std::vector<uint8_t> block(2048, 7);
      const timespec nap{0, 50000};
      while (!quit) {
        gp2x::nanosleep(&nap, nullptr);
        gp2x::write(fd, block.data(), block.size());
      }
    });
    if (sleeps_first) {
      while (host::waiting_threads() == 0) std::this_thread::yield();  // it takes part
    }
    while (!opened) gp2x::usleep(100);
    const auto start = std::chrono::steady_clock::now();
    gp2x::usleep(100000);
    EXPECT_LT(real_seconds_since(start), 30.0);
    const std::vector<uint8_t> got = host::take_captured_audio().bytes;
    quit = true;
    close_dsp();
    writer.join();
    EXPECT_EQ(std::count(got.begin(), got.end(), 7), static_cast<long>(got.size()));
    EXPECT_GE(got.size(), kStereo16Rate / 10);
  }
}

TEST_F(DspTest, WriterGoesOnWhileTheMainThreadIsBusyOutsideTheSeam) {
  settings_.stall_ms = 20;
  reconfigure();
  open_cd_quality(0x2000B);
  std::atomic<bool> done{false};
  const int fd = dsp_;
  std::thread writer([fd, &done] {
    std::vector<uint8_t> block(8192, 5);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(gp2x::write(fd, block.data(), block.size()), 8192);
    done = true;
  });
  while (!done) std::this_thread::yield();  // never asleep, never in the seam
  writer.join();
  EXPECT_EQ(host::now_ns(), ns_for_bytes(3 * 8192 - 4096, kStereo16Rate));
}

TEST_F(DspTest, OneOpenAtATimeAndNoRecording) {
  dsp_ = gp2x::open("/dev/dsp", O_WRONLY);
  ASSERT_GT(dsp_, 0);
  EXPECT_EQ(gp2x::open("/dev/dsp", O_WRONLY), -1);
  EXPECT_EQ(errno, EBUSY);
  EXPECT_EQ(gp2x::open("/dev/dsp", O_RDONLY), -1);
  gp2x::close(dsp_);
  dsp_ = gp2x::open("/dev/dsp", O_WRONLY);
  EXPECT_GT(dsp_, 0);
  settings_.dsp = false;
  reconfigure();
  dsp_ = 0;
  EXPECT_EQ(gp2x::open("/dev/dsp", O_WRONLY), -1);
}

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}
uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST_F(DspTest, WavRecordingKeepsTheSoundAndItsGaps) {
  const TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string path = dir / "out.wav";
  settings_.wav_path = path;
  reconfigure();
  open_cd_quality();
  std::vector<uint8_t> first(4000, 0x11), second(400, 0x22);
  ASSERT_EQ(gp2x::write(dsp_, first.data(), first.size()), 4000);
  // 4000 bytes play in ~22.7 ms; 10 ms more of nothing is silence in the recording.
  gp2x::usleep(static_cast<uint32_t>(ns_for_bytes(4000, kStereo16Rate) / 1000) + 10000);
  ASSERT_EQ(gp2x::write(dsp_, second.data(), second.size()), 400);

  const std::vector<uint8_t> wav = read_file(path);  // complete after every write
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(le32(wav, 24), 44100u);
  EXPECT_EQ(le32(wav, 28), kStereo16Rate);
  EXPECT_EQ(wav[22], 2);
  EXPECT_EQ(wav[34], 16);
  const uint32_t data = le32(wav, 40);
  EXPECT_EQ(le32(wav, 4), 36 + data);
  ASSERT_EQ(wav.size(), 44u + data);
  const uint32_t silence = data - 4400;
  EXPECT_NEAR(silence, 1764, 8);  // 10 ms at 176,400 bytes a second
  EXPECT_EQ(silence % 4, 0u);     // whole frames
  EXPECT_EQ(wav[44], 0x11);
  EXPECT_EQ(wav[44 + 3999], 0x11);
  EXPECT_EQ(wav[44 + 4000], 0);
  EXPECT_EQ(wav[44 + 4000 + silence], 0x22);
  EXPECT_EQ(wav.back(), 0x22);
  gp2x::close(dsp_);
  dsp_ = 0;
  host::configure(quiet_settings());  // finishes the recording
}

TEST_F(DspTest, CaptureHandsTestsWhatWasWritten) {
  settings_.audio = "capture";
  reconfigure();
  open_cd_quality();
  const std::vector<uint8_t> first(100, 0x33), second(8, 0x44);
  ASSERT_EQ(gp2x::write(dsp_, first.data(), first.size()), 100);
  host::CapturedAudio got = host::take_captured_audio();
  EXPECT_EQ(got.rate, 44100u);
  EXPECT_EQ(got.bits, 16);
  EXPECT_EQ(got.channels, 2);
  EXPECT_EQ(got.bytes, first);
  gp2x::usleep(1000);  // 100 bytes play in 0.57 ms: the device then runs dry
  ASSERT_EQ(gp2x::write(dsp_, second.data(), second.size()), 8);
  got = host::take_captured_audio();
  ASSERT_GE(got.bytes.size(), 8u);
  // Dry from 0.567 ms to 1 ms: 76.4 bytes of time, whole frames of silence.
  EXPECT_EQ(got.bytes.size() - 8, 76u);
  EXPECT_EQ(got.bytes.back(), 0x44);
}

TEST_F(DspTest, UnwritableRecordingStopsTheRun) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  settings_.wav_path = "/nonexistent/folder/out.wav";
  EXPECT_EXIT(host::configure(settings_), testing::ExitedWithCode(2),
              "cannot write the audio recording \"/nonexistent/folder/out.wav\"");
}

}  // namespace
