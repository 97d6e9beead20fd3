// The second core on a host thread: released by the reset and clock registers, the image at
// address 0 checked, stopped and parked synchronously at a pass boundary, run in lock-step
// with the sound device on a virtual clock, freely on a real one, and stepped in tests.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "host/host_second_core.h"
#include "host_fixture.h"

namespace host = gp2x::host;

namespace {

constexpr uint32_t kReset = 0x3B48, kClock = 0x0904;

struct FakeProgram {
  std::atomic<int> starts{0}, passes{0}, work_left{0};
  std::atomic<bool> ended{false};
  std::atomic<uint8_t*> memory{nullptr};
  std::thread::id start_thread;
};
FakeProgram* fake = nullptr;

const std::vector<uint8_t> kImage = {'F', 'A', 'K', 'E', 'C', 'O', 'R', 'E', 1, 0, 0, 0};

void install_fake() {
  host::SecondCoreProgram p;
  p.name = "fake";
  p.image = kImage;
  p.start = [](uint8_t* memory) {
    fake->memory = memory;
    fake->start_thread = std::this_thread::get_id();
    ++fake->starts;
  };
  p.pass = [] {
    ++fake->passes;
    return fake->work_left.fetch_sub(1) > 0;
  };
  p.stopped = [] { return fake->ended.load(); };
  host::install_second_core_program(p);
}

class SecondCoreTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    fake = new FakeProgram;
    install_fake();
  }
  void TearDown() override {
    host::second_core_power_off();
    delete fake;
    fake = nullptr;
    HostTest::TearDown();
  }
  void upload(const std::vector<uint8_t>& image) {
    std::memcpy(host::second_core_memory(), image.data(), image.size());
  }
  // The start sequence's register writes: held, clock off, then released and clocked.
  void release() {
    set_reg16(kReset, 0x83);
    set_reg16(kClock, reg16(kClock) & ~1);
    set_reg16(kReset, 0x03);
    set_reg16(kClock, reg16(kClock) | 1);
  }
  void hold() { set_reg16(kReset, 0x83); }
};

TEST_F(SecondCoreTest, OnAVirtualClockTheCoreRunsUntilIdleWhenTheSoundDeviceIsWritten) {
  upload(kImage);
  release();
  EXPECT_TRUE(host::second_core_running());
  fake->work_left = 5;
  host::second_core_catch_up();
  EXPECT_EQ(fake->starts.load(), 1);
  EXPECT_EQ(fake->passes.load(), 6);  // five that worked, one idle
  EXPECT_EQ(fake->memory.load(), host::second_core_memory());
  EXPECT_NE(fake->start_thread, std::this_thread::get_id());
  // A write to "/dev/dsp" catches the core up first.
  const int dsp = gp2x::open("/dev/dsp", O_WRONLY);
  ASSERT_GT(dsp, 0);
  fake->work_left = 2;
  const uint8_t bytes[64] = {};
  ASSERT_EQ(gp2x::write(dsp, bytes, sizeof bytes), 64);
  EXPECT_EQ(fake->passes.load(), 9);
  gp2x::close(dsp);
}

TEST_F(SecondCoreTest, ResetStopsTheCoreBeforeTheWriteReturnsAndAReleaseEntersItAgain) {
  upload(kImage);
  release();
  host::second_core_catch_up();
  hold();
  EXPECT_FALSE(host::second_core_running());
  const int passes = fake->passes.load();
  fake->work_left = 10;
  host::second_core_catch_up();
  EXPECT_EQ(fake->passes.load(), passes);
  release();
  host::second_core_catch_up();
  EXPECT_EQ(fake->starts.load(), 2);
  EXPECT_EQ(fake->passes.load(), passes + 11);
}

TEST_F(SecondCoreTest, ClearingTheClockParksTheCoreAndSettingItResumes) {
  upload(kImage);
  release();
  host::second_core_catch_up();
  set_reg16(kClock, reg16(kClock) & ~1);
  EXPECT_FALSE(host::second_core_running());
  const int passes = fake->passes.load();
  fake->work_left = 3;
  host::second_core_catch_up();
  EXPECT_EQ(fake->passes.load(), passes);
  set_reg16(kClock, reg16(kClock) | 1);
  EXPECT_TRUE(host::second_core_running());
  host::second_core_catch_up();
  EXPECT_EQ(fake->passes.load(), passes + 4);
  EXPECT_EQ(fake->starts.load(), 1);  // resumed, not entered again
}

TEST_F(SecondCoreTest, AMissingOrWrongImageOrBankRunsNothingAndSaysSo) {
  struct image_case {
    const char* name;
    std::vector<uint8_t> image;
    uint16_t released;  // 0x3B48 when released
    bool told;
  };
  std::vector<uint8_t> damaged = kImage;
  damaged.back() ^= 1;
  const image_case cases[] = {{"missing", std::vector<uint8_t>(kImage.size(), 0), 0x03, true},
                              {"damaged", damaged, 0x03, true},
                              {"other bank", kImage, 0x01, false}};
  for (const image_case& c : cases) {
    reconfigure();
    upload(c.image);
    testing::internal::CaptureStderr();
    set_reg16(kReset, 0x83);
    set_reg16(kReset, c.released);
    set_reg16(kClock, 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(host::second_core_running()) << c.name;
    host::second_core_catch_up();
    EXPECT_EQ(fake->starts.load(), 0) << c.name;
    EXPECT_EQ(err.find("runs nothing") != std::string::npos, c.told) << c.name << ": " << err;
  }
}

TEST_F(SecondCoreTest, StepModeEntersAndRunsTheProgramOnTheCallingThread) {
  host::set_second_core_stepping(true);
  upload(kImage);
  EXPECT_FALSE(host::second_core_step());
  release();
  EXPECT_EQ(fake->starts.load(), 1);
  EXPECT_EQ(fake->start_thread, std::this_thread::get_id());
  fake->work_left = 3;
  EXPECT_TRUE(host::second_core_step());
  EXPECT_EQ(host::second_core_step_until_idle(), 3);  // two more that work, then the idle one
  EXPECT_EQ(fake->passes.load(), 4);
  host::second_core_catch_up();  // no thread: nothing to catch up
  EXPECT_EQ(fake->passes.load(), 4);
  hold();
  EXPECT_FALSE(host::second_core_step());
}

TEST_F(SecondCoreTest, OnARealClockTheCoreRunsByItselfUntilHeldOrEnded) {
  settings_.virtual_clock = false;
  reconfigure();
  upload(kImage);
  fake->work_left = 1000;
  release();
  // Wait (bounded) for the thread to have run; this waits for an event, it times nothing.
  for (int i = 0; i < 5000 && fake->passes.load() < 1000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_GE(fake->passes.load(), 1000);
  hold();
  const int passes = fake->passes.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(fake->passes.load(), passes);  // joined: no pass after the write returned
  // A program that ends by itself leaves the core not running.
  release();
  fake->ended = true;
  for (int i = 0; i < 5000 && host::second_core_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(host::second_core_running());
}

TEST_F(SecondCoreTest, StartingTheLayerAgainStopsTheCore) {
  upload(kImage);
  release();
  host::second_core_catch_up();
  reconfigure();
  EXPECT_FALSE(host::second_core_running());
  EXPECT_EQ(fake->starts.load(), 1);
}

}  // namespace
