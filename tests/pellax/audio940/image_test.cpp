// The second core's image itself: its vectors, its size against the memory map, nothing in
// it newer than ARMv4T, the start-up's coprocessor values as the emulated core holds them,
// the end of the program on stop_940, and decoding by the image on the emulated core: every
// effect and track the build makes against the plain decoder, and hostile music streams
// that must leave the core running.
#include <gtest/gtest.h>
#include <unicorn/unicorn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "pellax/audio940/direct_decode.h"
#include "pellax/platform/audio_driver.h"
#include "tests/pellax/audio940/core_fixture.h"
#include "tests/pellax/audio940/ogg_oracle.h"

using namespace audio940;
using Pass = gp2x::host::EmulatedArm::Pass;

namespace {

uint32_t word_at(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

TEST(ImageTest, EightVectorsLeadToOneStartAndThePassEndOnlyReturns) {
  ASSERT_GE(arm940_program_length, 0x24u);
  uint32_t target = 0;
  for (uint32_t v = 0; v < 8; ++v) {
    const uint32_t w = word_at(arm940_program + 4 * v);
    ASSERT_EQ(w >> 24, 0xEAu) << "vector " << v << " is not a branch";
    const int32_t offset = int32_t(w << 8) >> 6;  // signed words, in bytes
    const uint32_t to = uint32_t(int32_t(4 * v + 8) + offset);
    if (v == 0) target = to;
    EXPECT_EQ(to, target) << "vector " << v;
  }
  EXPECT_GE(target, 0x24u);
  EXPECT_EQ(word_at(arm940_program + gp2x::host::kPassEndAddress), 0xE12FFF1Eu);  // bx lr
}

TEST(ImageTest, TheImageLeavesRoomForItsVariablesTheStackAndTheArena) {
  // The image, then its variables up to the state record, the stack below 1 MB, the arena.
  EXPECT_GT(arm940_program_length, 0x1000u);
  EXPECT_LT(arm940_program_length, kStateAddress);
  EXPECT_LT(kStateAddress + sizeof(CoreState), kStackTop - 0x10000);
  EXPECT_LT(kStackTop, kArenaAddress);
}

TEST(ImageTest, NoInstructionNewerThanArmV4T) {
  const std::string command = std::string(PX940_OBJDUMP) + " -d --no-show-raw-insn " + PX940_IMAGE_ELF;
  FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  // ARMv5 and later: interworking calls, count-leading-zeros, saturating and halfword
  // multiplies, doubleword transfers, preload, breakpoints, exclusive access, v6 media.
  const std::set<std::string> newer = {"blx", "clz", "qadd", "qsub", "qdadd", "qdsub", "smlabb", "smlabt",
                                       "smlatb", "smlatt", "smlawb", "smlawt", "smulbb", "smulbt", "smultb",
                                       "smultt", "smulwb", "smulwt", "smlalbb", "smlalbt", "smlaltb", "smlaltt",
                                       "ldrd", "strd", "pld", "bkpt", "ldrex", "strex", "rev", "rev16", "sxth",
                                       "sxtb", "uxth", "uxtb", "movw", "movt", "mcrr", "mrrc", "mcr2", "mrc2",
                                       "cdp2", "ldc2", "stc2", "cpsid", "cpsie", "dmb", "dsb", "isb", "wfi", "sdiv",
                                       "udiv", "ubfx", "sbfx", "bfi", "bfc", "mls", "rbit", "umaal"};
  std::vector<std::string> found;
  int instructions = 0;
  char line[512];
  while (std::fgets(line, sizeof line, p)) {
    // "   1c:	b	40 <reset>": the mnemonic follows the address and a tab.
    const char* tab = std::strchr(line, '\t');
    if (!tab || !std::strchr(line, ':')) continue;
    std::string mnemonic;
    for (const char* c = tab + 1; *c && *c != '\t' && *c != ' ' && *c != '\n'; ++c) mnemonic += *c;
    if (mnemonic.empty() || mnemonic[0] == '.') continue;
    ++instructions;
    // Strip a condition or a suffix the base mnemonic may carry (blxeq, ldrdne, clzne).
    for (const std::string& n : newer)
      if (mnemonic.compare(0, n.size(), n) == 0 && (mnemonic.size() == n.size() || mnemonic.size() == n.size() + 2))
        found.push_back(mnemonic);
  }
  pclose(p);
  EXPECT_GT(instructions, 10000);
  EXPECT_TRUE(found.empty()) << found.size() << " newer instructions, the first " << found.front();
}

// The start-up's coprocessor writes, as the emulated core takes them.
TEST(ImageTest, StartUpSetsStackProtectionUnitCachesAndControlRegister) {
  std::vector<uint8_t> owned(kMemorySize + 0x1000);
  uint8_t* memory = owned.data() + (0x1000 - reinterpret_cast<uintptr_t>(owned.data()) % 0x1000) % 0x1000;
  std::memcpy(memory, arm940_program, arm940_program_length);
  gp2x::host::EmulatedArm arm;
  ASSERT_TRUE(arm.open(memory, kMemorySize));
  // What the program writes to the control register, caught as it is written (the
  // emulator's model does not keep the protection unit's enable bit).
  struct Seen {
    std::vector<uint32_t> control;
    uint32_t sp = 0;
  } seen;
  uc_hook hook;
  ASSERT_EQ(uc_hook_add(arm.engine(), &hook, UC_HOOK_CODE,
                        reinterpret_cast<void*>(+[](uc_engine* uc, uint64_t address, uint32_t, void* user) {
                          Seen& s = *static_cast<Seen*>(user);
                          uint32_t insn = 0;
                          uc_mem_read(uc, address, &insn, 4);
                          if ((insn & 0x0FFF0FFF) == 0x0E010F10) {  // mcr p15, 0, rd, c1, c0, 0
                            uint32_t v = 0;
                            uc_reg_read(uc, UC_ARM_REG_R0 + int((insn >> 12) & 0xF), &v);
                            s.control.push_back(v);
                            uc_reg_read(uc, UC_ARM_REG_SP, &s.sp);
                          }
                        }),
                        &seen, 0, 0x400),
            UC_ERR_OK);
  ASSERT_EQ(arm.run_pass(), Pass::kWorked) << arm.fault();
  ASSERT_EQ(seen.control.size(), 1u);
  EXPECT_EQ(seen.control[0] & 0xC0001005u, 0xC0001005u);  // bits 0, 2, 12, 30, 31
  EXPECT_EQ(seen.sp, kStackTop - 4);
  struct cp_case {
    uint32_t crn, crm, opc2, value;
  };
  const cp_case cases[] = {
      {6, 0, 0, 0x3F}, {6, 0, 1, 0x3F},  // region 0: base 0, 4 GB, on (data, instructions)
      {6, 1, 0, 0x29}, {6, 1, 1, 0x29},  // region 1: base 0, 2 MB, on
      {2, 0, 0, 2},    {2, 0, 1, 2},     // cacheable: region 1 only
      {3, 0, 0, 2},                      // write buffer: region 1 only
      {5, 0, 0, 0xF},  {5, 0, 1, 0xF},   // full access for regions 0 and 1
  };
  for (const cp_case& c : cases) {
    uc_arm_cp_reg reg{};
    reg.cp = 15;
    reg.crn = c.crn;
    reg.crm = c.crm;
    reg.opc2 = c.opc2;
    ASSERT_EQ(uc_reg_read(arm.engine(), UC_ARM_REG_CP_REG, &reg), UC_ERR_OK);
    EXPECT_EQ(reg.val, c.value) << "c" << c.crn << ", c" << c.crm << ", " << c.opc2;
  }
  uc_arm_cp_reg control{};
  control.cp = 15;
  control.crn = 1;
  ASSERT_EQ(uc_reg_read(arm.engine(), UC_ARM_REG_CP_REG, &control), UC_ERR_OK);
  EXPECT_EQ(control.val & 0xC0001004u, 0xC0001004u);
}

class ImageCoreTest : public CoreTest {
 protected:
  void SetUp() override {
    emulated_ = true;
    CoreTest::SetUp();
  }
  // Passes as the audio thread would take the blocks: both freed after every pass. Returns
  // how many blocks were mixed; every pass must end (no fault, no hang).
  int play(int passes) {
    int blocks = 0;
    for (int i = 0; i < passes; ++i) {
      service();
      blocks += int(b().pcm_a_full) + int(b().pcm_b_full);
      b().pcm_a_full = b().pcm_b_full = 0;
    }
    return blocks;
  }
  std::string log_text() {
    std::string text;
    for (uint32_t i = 0; i < b().log_write; ++i) text += char(b().log_ring[i]);
    return text;
  }
};

TEST_F(ImageCoreTest, StopEndsTheProgramAndTheBusyWordIsClearAtEveryIdlePass) {
  load_music(ogg_oracle::tone_stream(1.0, 300, 400, 0.5f));
  hold_blocks();
  run_until_idle();
  EXPECT_EQ(st().music_primed, 1u);
  EXPECT_EQ(b().music_busy, 0u);
  b().stop_940 = 1;
  EXPECT_EQ(arm_->run_pass(), Pass::kEnded);
  EXPECT_EQ(arm_->run_pass(), Pass::kEnded);
}

TEST_F(ImageCoreTest, TheLoopSoundPlaysEffectZeroAtItsLevelAcrossItsEnd) {
  // Effect 0 decoded from a short stream; the loop voice then cycles over all of it.
  const std::vector<uint8_t> stream = ogg_oracle::tone_stream(0.02, 500, 700, 0.5f, 3);
  place(kStreamsAddress, stream);
  b().sfx_offset[0] = kStreamsAddress;
  b().sfx_length[0] = uint32_t(stream.size());
  b().effects_to_decode = 1;
  hold_blocks();
  run_until_idle();
  const uint32_t n = st().sfx_pcm_samples[0];
  ASSERT_GT(n, 0u);
  ASSERT_LT(n, uint32_t(kBlockSamples));
  b().loop_enable = 1;
  b().loop_level = 200;
  b().master_volume = 256;
  b().pcm_a_full = 0;
  service();
  const int16_t* pcm = samples_at(kEffectPcm[0]);
  for (int j = 0; j < kBlockSamples; ++j)
    ASSERT_EQ(b().pcm_a[j], int16_t((int32_t(pcm[uint32_t(j) % n]) * 200) >> 8)) << j;
}

std::vector<uint8_t> chained(int links) {
  std::vector<uint8_t> out;
  for (int i = 0; i < links; ++i) {
    const std::vector<uint8_t> link = ogg_oracle::tone_stream(0.3, 200 + 50 * i, 300 + 50 * i, 0.4f, uint32_t(100 + i));
    out.insert(out.end(), link.begin(), link.end());
  }
  return out;
}

// A first page whose identification header is whole, then a comment header that claims a
// vendor string of nearly 2 GB.
std::vector<uint8_t> huge_header() {
  std::vector<uint8_t> s = ogg_oracle::tone_stream(0.5, 300, 400, 0.5f, 5);
  size_t second = 4;
  while (second + 4 < s.size() && std::memcmp(&s[second], "OggS", 4) != 0) ++second;
  const size_t body = second + 27 + s[second + 26];
  // "\x03vorbis" then the vendor length.
  s[body + 7] = 0xF0;
  s[body + 8] = 0xFF;
  s[body + 9] = 0xFF;
  s[body + 10] = 0x7F;
  return s;
}

struct hostile_case {
  const char* name;
  std::vector<uint8_t> (*make)();
};

class HostileMusicTest : public ImageCoreTest, public ::testing::WithParamInterface<hostile_case> {};

TEST_P(HostileMusicTest, TheCoreGoesOnMixingAndNeverFaults) {
  b().music_enable = 1;
  load_music(GetParam().make());
  // About six seconds of passes; every block is mixed.
  EXPECT_GE(play(600), 2 * 120) << log_text();
  EXPECT_EQ(arm_->fault(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Streams, HostileMusicTest,
    ::testing::Values(hostile_case{"chained3", [] { return chained(3); }},
                      hostile_case{"chained12", [] { return chained(12); }},
                      hostile_case{"cut", [] {
                                     std::vector<uint8_t> s = ogg_oracle::tone_stream(2.0, 300, 400, 0.5f);
                                     s.resize(s.size() / 2 + 13);
                                     return s;
                                   }},
                      hostile_case{"garbage", [] { return std::vector<uint8_t>(40000, 0xA7); }},
                      hostile_case{"empty", [] { return std::vector<uint8_t>(); }},
                      hostile_case{"huge_header", huge_header}),
    [](const ::testing::TestParamInfo<hostile_case>& i) { return std::string(i.param.name); });

// The ARM build of the decoder multiplies with instructions that drop low bits the portable
// build keeps: the image's samples may differ from the plain decoder's by a few steps.
constexpr int kTolerance = CoreTest::kImageTolerance;

// The largest difference between the two, or -1 when the lengths differ.
int largest_difference(const int16_t* got, const std::vector<int16_t>& want) {
  int most = 0;
  for (size_t i = 0; i < want.size(); ++i) most = std::max(most, std::abs(int(got[i]) - int(want[i])));
  return most;
}

TEST_F(ImageCoreTest, EveryBuiltInEffectDecodesAsThePlainDecoderWithinTolerance) {
  uint32_t at = kStreamsAddress;
  std::vector<std::vector<uint8_t>> streams;
  for (uint32_t i = 0, offset = 0; offset + 4 <= sfx_streams_size; ++i) {
    const uint32_t n = word_at(sfx_streams + offset);
    streams.emplace_back(sfx_streams + offset + 4, sfx_streams + offset + 4 + n);
    offset += 4 + n;
  }
  ASSERT_EQ(streams.size(), size_t(kEffects));
  for (size_t i = 0; i < streams.size(); ++i) {
    place(at, streams[i]);
    b().sfx_offset[i] = at;
    b().sfx_length[i] = uint32_t(streams[i].size());
    at += uint32_t(streams[i].size());
  }
  // One more each time, each into its own area.
  for (uint32_t k = 0; k < uint32_t(kEffects); ++k) {
    const std::vector<int16_t> want = direct_decode(streams[k]);
    b().effects_to_decode = k + 1;
    hold_blocks();
    run_until_idle();
    ASSERT_EQ(st().effects_decoded, k + 1);
    const uint32_t room = (kEffectPcmEnd - kEffectPcm[k]) / 2;  // the last to decode: up to the music
    const size_t expect = std::min<size_t>(want.size(), room);
    ASSERT_EQ(st().sfx_pcm_samples[k], expect) << "effect " << k;
    EXPECT_LE(largest_difference(samples_at(kEffectPcm[k]), std::vector<int16_t>(want.begin(), want.begin() + long(expect))),
              kTolerance)
        << "effect " << k;
  }
}

class TrackTest : public ImageCoreTest, public ::testing::WithParamInterface<std::string> {};

std::vector<std::string> built_tracks() {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(PELLAX_DATA_DIR)) {
    const std::string ext = e.path().extension().string();
    if (ext == ".ogg" || ext == ".lvl") names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Each track's first five seconds, decoded by the image as the first of two effects (into
// effect 0's area).
TEST_P(TrackTest, DecodesAsThePlainDecoderWithinTolerance) {
  std::ifstream f(std::string(PELLAX_DATA_DIR) + "/" + GetParam(), std::ios::binary);
  const std::vector<uint8_t> stream((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  ASSERT_GT(stream.size(), 1000u);
  place(kMusicAddress, stream);
  b().sfx_offset[0] = kMusicAddress;
  b().sfx_length[0] = uint32_t(stream.size());
  b().effects_to_decode = 2;  // the second never opens (length 0)
  hold_blocks();
  while (st().effects_decoded < 1) ASSERT_TRUE(service() || st().effects_decoded >= 1);
  const uint32_t room = (kEffectPcm[1] - kEffectPcm[0]) / 2;
  std::vector<int16_t> want = direct_decode(stream);
  want.resize(std::min<size_t>(want.size(), room));
  ASSERT_EQ(st().sfx_pcm_samples[0], want.size());
  EXPECT_LE(largest_difference(samples_at(kEffectPcm[0]), want), kTolerance);
}

INSTANTIATE_TEST_SUITE_P(Built, TrackTest, ::testing::ValuesIn(built_tracks()),
                         [](const ::testing::TestParamInfo<std::string>& i) {
                           std::string n = i.param;
                           std::replace(n.begin(), n.end(), '.', '_');
                           return n;
                         });

}  // namespace
