// The audio program over a second core's memory of its own, with the command block set up
// as the audio thread leaves it. The program runs either compiled for this machine (its
// passes called directly) or as the second core's image on the emulated ARM core (the
// game's own path): EitherCoreTest runs a test both ways, "native" and "image".
#pragma once

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/host_emulated_arm.h"
#include "pellax/audio940/command_block.h"
#include "pellax/audio940/core.h"
#include "pellax/audio940/program_image.h"

class CoreTest : public ::testing::Test {
 public:
  // Decoded samples against the plain decoder's: the same, or from the image within
  // kImageTolerance steps (its ARM build of the decoder multiplies with instructions that
  // drop low bits the portable build keeps).
  static constexpr int kImageTolerance = 8;

 protected:
  void SetUp() override {
    void* p = ::mmap(nullptr, audio940::kMemorySize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(p, MAP_FAILED);
    memory_ = static_cast<uint8_t*>(p);
    b().master_volume = audio940::kInitialVolume;
    b().sfx_enable = 1;
    b().music_level = audio940::kInitialMusicLevel;
    b().music_offset = audio940::kMusicAddress;
    b().effects_to_decode = 0;
    for (int i = 1; i < audio940::kEffects; ++i) b().sfx_volume[i] = audio940::kEffectVolume[i];
    if (!emulated_) return audio940::arm940_start(audio940::kBlockAddress, mem());
    std::memcpy(mem(), arm940_program, arm940_program_length);
    arm_ = std::make_unique<gp2x::host::EmulatedArm>();
    ASSERT_TRUE(arm_->open(mem(), audio940::kMemorySize)) << arm_->fault();
    // From the first instruction on: a count switched on later misses code already translated.
    if (counted_) arm_->count_instructions(true);
    // The start-up, up to the first pass.
    ASSERT_EQ(arm_->run_pass(), gp2x::host::EmulatedArm::Pass::kWorked) << arm_->fault();
  }
  void TearDown() override {
    arm_.reset();
    if (memory_) ::munmap(memory_, audio940::kMemorySize);
    memory_ = nullptr;
  }
  // A fresh memory and core, for a test that runs cases one after another.
  void restart() {
    TearDown();
    SetUp();
  }

  uint8_t* mem() { return memory_; }
  audio940::CommandBlock& b() { return *audio940::block_at(mem()); }
  // The program's variables, where it keeps them in its memory (both ways alike: every field
  // before the decoder's record is a 32-bit word).
  audio940::CoreState& st() { return *reinterpret_cast<audio940::CoreState*>(mem() + audio940::kStateAddress); }
  int16_t* samples_at(uint32_t address) { return reinterpret_cast<int16_t*>(mem() + address); }

  // One pass; true when it did anything.
  bool service() {
    if (!emulated_) return audio940::arm940_service();
    const gp2x::host::EmulatedArm::Pass p = arm_->run_pass();
    EXPECT_TRUE(p == gp2x::host::EmulatedArm::Pass::kWorked || p == gp2x::host::EmulatedArm::Pass::kIdle)
        << arm_->fault();
    return p == gp2x::host::EmulatedArm::Pass::kWorked;
  }
  // Both PCM blocks taken by the thread already: a pass mixes nothing.
  void hold_blocks() { b().pcm_a_full = b().pcm_b_full = 1; }
  // Places a stream at an address of the core's memory.
  void place(uint32_t address, const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) std::memcpy(mem() + address, bytes.data(), bytes.size());
  }
  // Loads a music file as music_load leaves it for the core: in place, its length set, and
  // the stream to be opened anew.
  void load_music(const std::vector<uint8_t>& stream) {
    place(audio940::kMusicAddress, stream);
    b().music_length = uint32_t(stream.size());
    b().music_rewind = 1;
    b().music_data_ready = 1;
  }
  // Passes until one does nothing (at most `limit`); returns how many ran.
  int run_until_idle(int limit = 100000) {
    int n = 0;
    while (n < limit) {
      ++n;
      if (!service()) break;
    }
    return n;
  }

  ::testing::AssertionResult same_samples(const std::vector<int16_t>& got, const std::vector<int16_t>& want) const {
    if (got.size() != want.size())
      return ::testing::AssertionFailure() << got.size() << " samples, not " << want.size();
    const int allowed = emulated_ ? kImageTolerance : 0;
    for (size_t i = 0; i < got.size(); ++i) {
      const int d = std::abs(int(got[i]) - int(want[i]));
      if (d > allowed)
        return ::testing::AssertionFailure() << "sample " << i << " is " << got[i] << ", not " << want[i];
    }
    return ::testing::AssertionSuccess();
  }

  bool emulated_ = false;
  bool counted_ = false;  // the image's instructions are counted (set before SetUp)
  uint8_t* memory_ = nullptr;
  std::unique_ptr<gp2x::host::EmulatedArm> arm_;
};

// A test run with the program compiled for this machine and again as the image on the
// emulated core.
class EitherCoreTest : public CoreTest, public ::testing::WithParamInterface<std::string> {
 protected:
  void SetUp() override {
    emulated_ = GetParam() == "image";
    CoreTest::SetUp();
  }
};

#define PX940_ON_EITHER_CORE(suite) \
  INSTANTIATE_TEST_SUITE_P(, suite, ::testing::Values("native", "image"), \
                           [](const ::testing::TestParamInfo<std::string>& i) { return i.param; })
