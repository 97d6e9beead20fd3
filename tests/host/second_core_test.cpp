// The second core as an emulated ARM core: released by the reset and clock registers, it
// runs the bytes at its address 0 over the very memory the main program maps; it is stopped
// and parked synchronously between passes, run in lock-step with the sound device on a
// virtual clock, freely on a real one, and stepped in tests. A fault stops it with a message
// naming the address, and the sound device plays silence from then on.
#include <gtest/gtest.h>
#include <linux/fb.h>
#include <unicorn/unicorn.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstring>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "host/host_emulated_arm.h"
#include "host/host_second_core.h"
#include "host_fixture.h"

namespace host = gp2x::host;

namespace {

constexpr uint32_t kReset = 0x3B48, kClock = 0x0904;

// ARM instructions, enough for the little programs below.
uint32_t branch(uint32_t from, uint32_t to, bool link = false, uint32_t cond = 0xE) {
  return cond << 28 | (link ? 0x0B000000u : 0x0A000000u) | (((to - (from + 8)) / 4) & 0xFFFFFF);
}
constexpr uint32_t kNop = 0xE1A00000, kReturn = 0xE12FFF1E;

// The test program's mailbox, past the first page: passes count, work_left passes report
// work (then idle ones), a nonzero `ended` makes it end, starts counts entries at 0.
constexpr uint32_t kMailbox = 0x1000;
struct Mailbox {
  int32_t work_left;
  uint32_t passes, ended, starts;
};

// Vectors to 0x40, the pass-end return at 0x20, then: starts += 1; loop { passes += 1;
// pass_end(work_left > 0 ? (--work_left, 1) : 0); if ended: pass_end(2) for ever }.
std::vector<uint32_t> counting_program() {
  std::vector<uint32_t> w(0x90 / 4, kNop);
  for (uint32_t v = 0; v < 8; ++v) w[v] = branch(v * 4, 0x40);
  w[0x20 / 4] = kReturn;
  const std::vector<uint32_t> body = {
      0xE3A04A01,  // 0x40 mov r4, #0x1000
      0xE594100C,  // ldr r1, [r4, #12]
      0xE2811001,  // add r1, r1, #1
      0xE584100C,  // str r1, [r4, #12]
      0xE5941004,  // 0x50 ldr r1, [r4, #4]
      0xE2811001,  // add r1, r1, #1
      0xE5841004,  // str r1, [r4, #4]
      0xE5940000,  // ldr r0, [r4]
      0xE3500000,  // cmp r0, #0
      0xC2400001,  // subgt r0, r0, #1
      0xC5840000,  // strgt r0, [r4]
      0xC3A00001,  // movgt r0, #1
      0xD3A00000,  // movle r0, #0
      branch(0x74, 0x20, true),
      0xE5941008,  // ldr r1, [r4, #8]
      0xE3510000,  // cmp r1, #0
      branch(0x80, 0x50, false, 0x0),  // beq
      0xE3A00002,  // 0x84 mov r0, #2
      branch(0x88, 0x20, true),
      branch(0x8C, 0x84),
  };
  w.resize(0x40 / 4);
  w.insert(w.end(), body.begin(), body.end());
  return w;
}

// Vectors to 0x40 and `code` there.
std::vector<uint32_t> program_at_0x40(std::initializer_list<uint32_t> code) {
  std::vector<uint32_t> w(0x40 / 4, kNop);
  for (uint32_t v = 0; v < 8; ++v) w[v] = branch(v * 4, 0x40);
  w[0x20 / 4] = kReturn;
  w.insert(w.end(), code);
  return w;
}

// A long pass of loads and stores: `rounds` times over 4,096 words at kData, each word
// added into a sum and the sum into the word; then the sum at kResult, 1 at kDone, and the
// program ends. What it computes shows any instruction run twice or left out.
constexpr uint32_t kRounds = 0x1100, kResult = 0x1104, kDone = 0x1108, kData = 0x10000;
std::vector<uint32_t> long_pass_program() {
  return program_at_0x40({
      0xE3A04C11,  // 0x40 mov r4, #0x1100
      0xE5942000,  // ldr r2, [r4]
      0xE3A00000,  // mov r0, #0
      0xE3A07801,  // 0x4C mov r7, #0x10000
      0xE3A03A01,  // mov r3, #4096
      0xE4976004,  // 0x54 ldr r6, [r7], #4
      0xE0800006,  // add r0, r0, r6
      0xE0866000,  // add r6, r6, r0
      0xE5076004,  // str r6, [r7, #-4]
      0xE2533001,  // subs r3, r3, #1
      branch(0x68, 0x54, false, 0x1),  // bne
      0xE2522001,  // subs r2, r2, #1
      branch(0x70, 0x4C, false, 0x1),  // bne
      0xE5840004,  // str r0, [r4, #4]
      0xE3A00001,  // mov r0, #1
      0xE5840008,  // str r0, [r4, #8]
      0xE3A00002,  // 0x80 mov r0, #2
      branch(0x84, 0x20, true),
      branch(0x88, 0x80),
  });
}

class SecondCoreTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    upload(counting_program());
  }
  void TearDown() override {
    host::second_core_power_off();
    HostTest::TearDown();
  }
  void upload(const std::vector<uint32_t>& words) {
    std::memset(host::second_core_memory(), 0, 0x2000);
    std::memcpy(host::second_core_memory(), words.data(), words.size() * 4);
  }
  Mailbox& box() { return *reinterpret_cast<Mailbox*>(host::second_core_memory() + kMailbox); }
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
  box().work_left = 5;
  release();
  EXPECT_TRUE(host::second_core_running());
  EXPECT_TRUE(host::second_core_catch_up());
  EXPECT_EQ(box().starts, 1u);
  EXPECT_EQ(box().passes, 6u);  // five that worked, one idle
  // A write to "/dev/dsp" catches the core up first.
  const int dsp = gp2x::open("/dev/dsp", O_WRONLY);
  ASSERT_GT(dsp, 0);
  box().work_left = 2;
  const uint8_t bytes[64] = {};
  ASSERT_EQ(gp2x::write(dsp, bytes, sizeof bytes), 64);
  EXPECT_EQ(box().passes, 9u);
  gp2x::close(dsp);
}

TEST_F(SecondCoreTest, ResetStopsTheCoreBeforeTheWriteReturnsAndAReleaseStartsItAtZeroAgain) {
  release();
  host::second_core_catch_up();
  hold();
  EXPECT_FALSE(host::second_core_running());
  const uint32_t passes = box().passes;
  box().work_left = 10;
  host::second_core_catch_up();
  EXPECT_EQ(box().passes, passes);
  release();
  host::second_core_catch_up();
  EXPECT_EQ(box().starts, 2u);
  EXPECT_EQ(box().passes, passes + 11);
}

TEST_F(SecondCoreTest, ClearingTheClockParksTheCoreAndSettingItResumes) {
  release();
  host::second_core_catch_up();
  set_reg16(kClock, reg16(kClock) & ~1);
  EXPECT_FALSE(host::second_core_running());
  const uint32_t passes = box().passes;
  box().work_left = 3;
  host::second_core_catch_up();
  EXPECT_EQ(box().passes, passes);
  set_reg16(kClock, reg16(kClock) | 1);
  EXPECT_TRUE(host::second_core_running());
  host::second_core_catch_up();
  EXPECT_EQ(box().passes, passes + 4);
  EXPECT_EQ(box().starts, 1u);  // resumed, not entered again
}

TEST_F(SecondCoreTest, AnotherBankRunsNothing) {
  set_reg16(kReset, 0x83);
  set_reg16(kReset, 0x01);
  set_reg16(kClock, 1);
  EXPECT_FALSE(host::second_core_running());
  host::second_core_catch_up();
  EXPECT_EQ(box().starts, 0u);
}

TEST_F(SecondCoreTest, AFaultStopsTheCoreNamingTheAddressAndTheSoundGoesSilent) {
  struct fault_case {
    const char* name;
    std::vector<uint32_t> program;
    const char* address;
  };
  const fault_case cases[] = {
      // A write through a null pointer lands in the vectors.
      {"write into the vectors", program_at_0x40({0xE3A00000, 0xE5800000}), "0x00000000"},
      {"read past the memory", program_at_0x40({0xE3A00401, 0xE5901000}), "0x01000000"},
      {"undefined instruction", program_at_0x40({kNop, 0xE7F000F0}), "0x00000044"},
      {"garbage image", std::vector<uint32_t>(16, 0xFFFFFFFF), "0x0000000"},
  };
  settings_.audio = "capture";
  for (const fault_case& c : cases) {
    reconfigure();
    upload(c.program);
    testing::internal::CaptureStderr();
    release();
    const int dsp = gp2x::open("/dev/dsp", O_WRONLY);
    ASSERT_GT(dsp, 0);
    host::take_captured_audio();
    const std::vector<uint8_t> loud(64, 0x55);
    EXPECT_EQ(gp2x::write(dsp, loud.data(), loud.size()), 64) << c.name;
    gp2x::close(dsp);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(host::second_core_faulted()) << c.name;
    EXPECT_FALSE(host::second_core_running()) << c.name;
    EXPECT_NE(err.find("second core stopped"), std::string::npos) << c.name << ": " << err;
    EXPECT_NE(err.find(c.address), std::string::npos) << c.name << ": " << err;
    const std::vector<uint8_t> heard = host::take_captured_audio().bytes;
    ASSERT_GE(heard.size(), 64u) << c.name;
    EXPECT_EQ(std::vector<uint8_t>(heard.begin(), heard.begin() + 64), std::vector<uint8_t>(64, 0)) << c.name;
    // Reset forgets the fault; the core can be started again.
    hold();
    EXPECT_FALSE(host::second_core_faulted()) << c.name;
  }
}

TEST_F(SecondCoreTest, StepModeRunsThePassesOnTheCallingThread) {
  host::set_second_core_stepping(true);
  EXPECT_FALSE(host::second_core_step());
  release();
  EXPECT_EQ(box().starts, 0u);  // nothing runs until stepped
  box().work_left = 3;
  EXPECT_TRUE(host::second_core_step());
  EXPECT_EQ(box().starts, 1u);
  EXPECT_EQ(host::second_core_step_until_idle(), 3);  // two more that work, then the idle one
  EXPECT_EQ(box().passes, 4u);
  host::second_core_catch_up();  // no thread: nothing to catch up
  EXPECT_EQ(box().passes, 4u);
  hold();
  EXPECT_FALSE(host::second_core_step());
}

TEST_F(SecondCoreTest, OnARealClockTheCoreRunsByItselfUntilHeldOrEnded) {
  settings_.virtual_clock = false;
  reconfigure();
  upload(counting_program());
  box().work_left = 1000;
  release();
  // Wait (bounded) for the thread to have run; this waits for an event, it times nothing.
  for (int i = 0; i < 5000 && box().passes < 1000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_GE(box().passes, 1000u);
  hold();
  const uint32_t passes = box().passes;
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(box().passes, passes);  // joined: no pass after the write returned
  // A program that ends by itself leaves the core not running.
  release();
  box().ended = 1;
  for (int i = 0; i < 5000 && host::second_core_running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(host::second_core_running());
}

// Waits (bounded) until the core has made more than `passes` passes; this waits for an
// event, it times nothing.
bool passes_exceed(const Mailbox& box, uint32_t passes) {
  for (int i = 0; i < 5000 && box.passes <= passes; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return box.passes > passes;
}

TEST_F(SecondCoreTest, OnARealClockAnIdleCoreSleepsUntilSomethingMayHaveGivenItWork) {
  settings_.virtual_clock = false;
  settings_.core_idle_ms = 0;  // no look unprompted: every pass below was asked for
  reconfigure();
  upload(counting_program());
  release();
  ASSERT_TRUE(passes_exceed(box(), 0));
  // Idle passes: polled, the core would make hundreds in this time.
  uint32_t passes = box().passes;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(box().passes, passes);
  const int dsp = gp2x::open("/dev/dsp", O_WRONLY);
  const int fb = gp2x::open("/dev/fb0", O_RDWR);
  ASSERT_GT(dsp, 0);
  ASSERT_GT(fb, 0);
  const struct {
    const char* what;
    std::function<void()> prompt;
  } prompts[] = {
      {"a write to the sound device", [dsp] {
         const uint8_t bytes[64] = {};
         EXPECT_EQ(gp2x::write(dsp, bytes, sizeof bytes), 64);
       }},
      {"a frame the program completed", [fb] {
         fb_var_screeninfo v{};
         EXPECT_EQ(gp2x::ioctl(fb, FBIOGET_VSCREENINFO, &v), 0);
       }},
  };
  for (const auto& p : prompts) {
    SCOPED_TRACE(p.what);
    passes = box().passes;
    p.prompt();
    EXPECT_TRUE(passes_exceed(box(), passes));
  }
  gp2x::close(fb);
  gp2x::close(dsp);
  // Left alone, an idle core still looks now and then (a program may give it work some
  // other way), but seldom: a few times over 200 ms.
  settings_.core_idle_ms = 50;
  reconfigure();
  upload(counting_program());
  release();
  ASSERT_TRUE(passes_exceed(box(), 0));
  passes = box().passes;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(passes_exceed(box(), passes));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LE(box().passes - passes, 2 + ms / 50);
}

TEST_F(SecondCoreTest, StartingTheLayerAgainStopsTheCore) {
  release();
  host::second_core_catch_up();
  reconfigure();
  EXPECT_FALSE(host::second_core_running());
}

// The emulator cannot stop a core at any moment and let it go on exactly, so the host
// never does: a park waits for the pass to end, and the long pass computes what it should
// however often the main core parks and releases it meanwhile.
TEST_F(SecondCoreTest, AParkDuringALongPassLeavesWhatItComputesExact) {
  settings_.virtual_clock = false;
  reconfigure();
  upload(long_pass_program());
  uint32_t* words = reinterpret_cast<uint32_t*>(host::second_core_memory());
  const uint32_t rounds = 2000;
  std::vector<uint32_t> data(4096);
  for (uint32_t i = 0; i < data.size(); ++i) data[i] = words[kData / 4 + i] = i * 2654435761u;
  words[kRounds / 4] = rounds;
  uint32_t sum = 0;
  for (uint32_t r = 0; r < rounds; ++r)
    for (uint32_t& w : data) {
      sum += w;
      w += sum;
    }
  release();
  for (int i = 0; i < 40 && !words[kDone / 4]; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    set_reg16(kClock, reg16(kClock) & ~1);
    set_reg16(kClock, reg16(kClock) | 1);
  }
  // Wait (bounded) for the end; this waits for an event, it times nothing.
  for (int i = 0; i < 120000 && !words[kDone / 4]; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(words[kDone / 4], 1u);
  EXPECT_EQ(words[kResult / 4], sum);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), words + kData / 4));
  EXPECT_FALSE(host::second_core_faulted());
}

// A core over its own copy of counting_program's memory, for the tests below that drive
// EmulatedArm directly.
struct CountingCore {
  std::vector<uint8_t> memory = std::vector<uint8_t>(0x2000);
  host::EmulatedArm arm;
  CountingCore() {
    const std::vector<uint32_t> program = counting_program();
    std::memcpy(memory.data(), program.data(), program.size() * 4);
  }
  Mailbox& box() { return *reinterpret_cast<Mailbox*>(memory.data() + kMailbox); }
  void passes(int n) {
    for (int i = 0; i < n; ++i) ASSERT_NE(arm.run_pass(), host::EmulatedArm::Pass::kFault) << arm.fault();
  }
};

// The emulator instruments only code it translates after a hook is added, so a count turned
// on late would miss the loops the core had already run; every instruction of a pass counts
// however long the core ran before.
TEST(EmulatedArmTest, APassCountsTheSameInstructionsWhetherCountingBeganBeforeOrAfterPriming) {
  struct order_case {
    const char* name;
    bool count_from_start;
  };
  const order_case cases[] = {{"counting from the start", true}, {"counting turned on after priming", false}};
  uint64_t counted[2] = {};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(cases[i].name);
    CountingCore core;
    core.box().work_left = 3;
    ASSERT_TRUE(core.arm.open(core.memory.data(), uint32_t(core.memory.size())));
    if (cases[i].count_from_start) core.arm.count_instructions(true);
    core.passes(50);
    core.arm.count_instructions(true);
    const uint64_t before = core.arm.instructions();
    core.passes(1);
    counted[i] = core.arm.instructions() - before;
  }
  // An idle pass from the pass end's return: the `ended` test and its branch back (3), then
  // the loop's ten instructions up to the call that ends the pass, conditional ones counted
  // whether they pass or not.
  EXPECT_EQ(counted[0], 13u);
  EXPECT_EQ(counted[1], counted[0]);
}

// A core run pass by pass (hundreds a second while it idles) must reuse the code it
// translated: translating anew at every pass fills the emulator's code buffer, and the
// process's memory with it, without end.
TEST(EmulatedArmTest, PassAfterPassTranslatesNoNewCode) {
  CountingCore core;
  core.box().work_left = 500;
  ASSERT_TRUE(core.arm.open(core.memory.data(), uint32_t(core.memory.size())));
  core.passes(10);
  uint64_t translated = 0;
  uc_hook hook;
  ASSERT_EQ(uc_hook_add(core.arm.engine(), &hook, UC_HOOK_EDGE_GENERATED,
                        reinterpret_cast<void*>(+[](uc_engine*, uc_tb*, uc_tb*, void* user) {
                          ++*static_cast<uint64_t*>(user);
                        }),
                        &translated, 1, 0),
            UC_ERR_OK);
  core.passes(1000);  // half of them worked, half idle
  EXPECT_EQ(core.box().passes, 1010u);
  EXPECT_EQ(translated, 0u);
}

// A pass that never ends stops the core for good, past its time limit or when abandoned
// from another thread (a reset), naming where it was.
TEST(EmulatedArmTest, APassThatNeverEndsStopsTheCoreForGood) {
  std::vector<uint8_t> memory(0x2000);
  const std::vector<uint32_t> spin = program_at_0x40({branch(0x40, 0x40)});
  std::memcpy(memory.data(), spin.data(), spin.size() * 4);
  using Pass = host::EmulatedArm::Pass;
  {
    host::EmulatedArm arm;
    ASSERT_TRUE(arm.open(memory.data(), uint32_t(memory.size())));
    EXPECT_EQ(arm.run_pass(50000), Pass::kFault);
    EXPECT_NE(arm.fault().find("did not end within 50 ms (instruction at 0x00000040)"), std::string::npos)
        << arm.fault();
    EXPECT_EQ(arm.run_pass(), Pass::kFault);
  }
  host::EmulatedArm arm;
  ASSERT_TRUE(arm.open(memory.data(), uint32_t(memory.size())));
  std::thread reset([&arm] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    arm.abandon();
  });
  EXPECT_EQ(arm.run_pass(), Pass::kFault);
  reset.join();
  EXPECT_NE(arm.fault().find("a stop from the main core"), std::string::npos) << arm.fault();
}

}  // namespace
