// The output driver and the speaker against the host layer's "/dev/dsp", headless on its
// virtual clock, with the device recording to a WAV file.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "tests/host/host_fixture.h"
#include "tests/sound/fake_driver.h"
#include "tests/sound/qss_fixtures.h"
#include "tests/support/temp_dir.h"
#include "sound/qssGP2X.h"

namespace {

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t le32(const std::vector<uint8_t>& v, size_t at) {
  return v[at] | (v[at + 1] << 8) | (v[at + 2] << 16) | (static_cast<uint32_t>(v[at + 3]) << 24);
}

// Each fragment filled with its call number + 1, so silence (0) stands out.
struct Counter {
  std::atomic<int> calls{0};
  static void fill(void* user, unsigned char* buffer, int bytes) {
    Counter* c = static_cast<Counter*>(user);
    memset(buffer, (c->calls.fetch_add(1) + 1) & 0xFF, static_cast<size_t>(bytes));
  }
};

// Does nothing: the fragment keeps the ring's silence.
void leaveAsIs(void*, unsigned char*, int) {}

class DeviceTest : public HostTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    wav_ = dir_ / "out.wav";
    settings_.wav_path = wav_;
    HostTest::SetUp();
  }
  void TearDown() override {
    host_finish();
    HostTest::TearDown();
  }
  void host_finish() { gp2x::host::configure(quiet_settings()); }
  // The recording's data bytes (the file is complete after every write).
  std::vector<uint8_t> recorded(uint32_t* rate = nullptr, int* channels = nullptr, int* bits = nullptr) {
    std::vector<uint8_t> wav = readFile(wav_);
    if (wav.size() < 44) return {};
    if (rate) *rate = le32(wav, 24);
    if (channels) *channels = wav[22];
    if (bits) *bits = wav[34];
    return std::vector<uint8_t>(wav.begin() + 44, wav.end());
  }
  TempDir dir_;
  std::string wav_;
};

TEST_F(DeviceTest, SizingTable) {
  struct Case {
    uint32_t freq, format, channels, samples;
    uint32_t fragments;
    int32_t fragmentBytes;
    uint8_t silence;
  };
  const Case cases[] = {
      {44100, QSS_AUDIO_S16, 2, 8820, 10, 3528, 0},    // the speaker's defaults
      {44100, QSS_AUDIO_S16, 2, 0, 3, 3528, 0},        // at least 3
      {44100, QSS_AUDIO_S16, 2, 44100, 16, 3528, 0},   // 50 clamped to 16
      {44100, QSS_AUDIO_U8, 1, 8820, 10, 888, 0x80},   // 882 + 7 rounded down to 8
      {22050, QSS_AUDIO_S16, 1, 2205, 5, 888, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fragmentBytes);
    reconfigure();
    qssGP2X d;
    AudioSpec spec{c.freq, c.format, c.channels};
    ASSERT_EQ(d.open(&spec, c.samples, leaveAsIs, nullptr), 0);
    EXPECT_EQ(d.open(&spec, c.samples, leaveAsIs, nullptr), -2);
    EXPECT_EQ(d.fragments(), c.fragments);
    EXPECT_EQ(d.fragmentBytes(), c.fragmentBytes);
    EXPECT_EQ(d.ringBytes(), c.fragments * static_cast<uint32_t>(c.fragmentBytes));
    gp2x::usleep(30000);
    EXPECT_EQ(d.close(), 0);
    EXPECT_EQ(d.close(), -3);
    uint32_t rate;
    int channels, bits;
    std::vector<uint8_t> data = recorded(&rate, &channels, &bits);
    // The three ioctls: rate, format and channels as asked.
    EXPECT_EQ(rate, c.freq);
    EXPECT_EQ(channels, static_cast<int>(c.channels));
    EXPECT_EQ(bits, c.format == QSS_AUDIO_U8 ? 8 : 16);
    ASSERT_GE(data.size(), static_cast<size_t>(c.fragmentBytes));
    EXPECT_EQ(data.size() % c.fragmentBytes, 0u);
    for (uint8_t b : data) ASSERT_EQ(b, c.silence);
  }
}

TEST_F(DeviceTest, FragmentsInOrderPacedAndNothingAfterClose) {
  qssGP2X d;
  Counter counter;
  AudioSpec spec{44100, QSS_AUDIO_S16, 2};
  ASSERT_EQ(d.open(&spec, 8820, Counter::fill, &counter), 0);
  gp2x::usleep(200000);
  // Paced by the device: 200 ms of sound plus at most its buffer and one fragment more.
  const uint64_t bytes = d.fragmentsWritten() * 3528;
  EXPECT_GE(bytes, 200u * 176400 / 1000);
  EXPECT_LE(bytes, 200u * 176400 / 1000 + settings_.dsp_fragment_size * settings_.dsp_fragments + 2 * 3528);
  ASSERT_EQ(d.close(), 0);
  const int calls = counter.calls;
  std::vector<uint8_t> data = recorded();
  ASSERT_EQ(data.size() % 3528, 0u);
  // One write per callback, in call order, without a gap.
  ASSERT_EQ(data.size() / 3528, static_cast<size_t>(calls));
  for (size_t f = 0; f < data.size() / 3528; ++f)
    for (size_t i = 0; i < 3528; i += 441) ASSERT_EQ(data[f * 3528 + i], (f + 1) & 0xFF) << f;
  // Closed: time goes on, nothing more is asked for or written.
  gp2x::usleep(200000);
  EXPECT_EQ(counter.calls, calls);
  EXPECT_EQ(recorded().size(), data.size());
}

TEST_F(DeviceTest, RecordingIsTheSameOnEveryRun) {
  std::vector<uint8_t> first;
  for (int run = 0; run < 3; ++run) {
    reconfigure();
    qssGP2X d;
    Counter counter;
    AudioSpec spec{44100, QSS_AUDIO_S16, 2};
    ASSERT_EQ(d.open(&spec, 8820, Counter::fill, &counter), 0);
    gp2x::usleep(200000);  // at once: the writer may not have run yet
    ASSERT_EQ(d.close(), 0);
    std::vector<uint8_t> data = recorded();
    ASSERT_GE(data.size(), 3528u);
    EXPECT_EQ(data[0], 1);  // the first fragment starts the recording
    if (run == 0) first = data;
    else EXPECT_EQ(data, first) << "run " << run;
  }
}

TEST_F(DeviceTest, SuspendStopsWritingAndResumeGoesOnInOrder) {
  qssGP2X d;
  Counter counter;
  AudioSpec spec{44100, QSS_AUDIO_S16, 2};
  ASSERT_EQ(d.open(&spec, 8820, Counter::fill, &counter), 0);
  gp2x::usleep(100000);
  d.suspend();
  const uint64_t before = d.fragmentsWritten();
  gp2x::usleep(300000);  // the device runs dry
  EXPECT_LE(d.fragmentsWritten(), before + 1);  // at most the write in progress
  const int callsSuspended = counter.calls;
  d.resume();
  gp2x::usleep(100000);
  ASSERT_EQ(d.close(), 0);
  std::vector<uint8_t> data = recorded();
  // The fragments, minus the silence the device played while starved, count on without a
  // skip.
  std::vector<int> order;
  size_t silent = 0;
  for (size_t i = 0; i < data.size(); i += 4) {
    if (data[i] == 0) {
      ++silent;
      continue;
    }
    if (order.empty() || order.back() != data[i]) order.push_back(data[i]);
  }
  EXPECT_GT(silent * 4, 100u * 176400 / 1000);
  ASSERT_GT(order.size(), static_cast<size_t>(callsSuspended));
  for (size_t i = 0; i < order.size(); ++i) ASSERT_EQ(order[i], static_cast<int>((i + 1) & 0xFF));
}

TEST_F(DeviceTest, DeviceThatCannotOpen) {
  settings_.dsp = false;
  reconfigure();
  qssGP2X d;
  AudioSpec spec{44100, QSS_AUDIO_S16, 2};
  EXPECT_EQ(d.open(&spec, 8820, leaveAsIs, nullptr), -1);
  EXPECT_EQ(d.ring(), nullptr);
  EXPECT_FALSE(d.opened());
  qssSpeaker s;
  EXPECT_EQ(s.open(44100, 16, true, 1, 8), -1);
  EXPECT_EQ(s.driver, nullptr);
  EXPECT_FALSE(s.isOpen());
}

TEST_F(DeviceTest, SpeakerRecordingMatchesTheMixer) {
  std::vector<uint8_t> module = demoModule(4, 1);
  WavBuilder w;
  w.data.assign(20000, 0);
  for (size_t i = 0; i < w.data.size(); i += 2) w.data[i + 1] = static_cast<uint8_t>(i * 13);
  std::vector<uint8_t> effect = w.build();

  // The same module and effect through the fake driver, pumped fragment by fragment.
  FakeSpeaker reference;
  ASSERT_EQ(reference.open(44100, 16, true, 1, 8), 0);
  qssMusic music;
  qssSound sound;
  ASSERT_EQ(music.load(module.data(), module.size(), false), 0);
  ASSERT_EQ(sound.load(effect.data(), effect.size(), false), 0);
  ASSERT_EQ(reference.playMusic(&music, QSS_ANY_CHANNEL), 0);
  ASSERT_EQ(reference.playSound(&sound, QSS_ANY_CHANNEL | QSS_START_PAUSED), 1);
  reference.unpauseSounds();
  std::vector<uint8_t> expect;
  for (int f = 0; f < 45; ++f) {
    auto b = reference.pump(3528);
    expect.insert(expect.end(), b.begin(), b.end());
  }

  qssSpeaker s;
  ASSERT_EQ(s.open(44100, 16, true, 1, 8), 0);
  ASSERT_EQ(s.playMusic(&music, QSS_ANY_CHANNEL | QSS_START_PAUSED), 0);
  ASSERT_EQ(s.playSound(&sound, QSS_ANY_CHANNEL | QSS_START_PAUSED), 1);
  // Both start on one fragment boundary: unpaused inside the critical section.
  s.enterCriticalSection();
  s.channel(0)->resume();
  s.channel(1)->resume();
  uint64_t startFragment = static_cast<qssGP2X*>(s.driver)->fragmentsWritten();
  s.leaveCriticalSection();
  gp2x::usleep(1000000);
  s.close();
  std::vector<uint8_t> data = recorded();
  // Fragments before the start are silence, possibly with one being written at the time.
  size_t from = static_cast<size_t>(startFragment) * 3528;
  while (from < data.size() && std::all_of(data.begin() + from, data.begin() + from + 3528,
                                           [](uint8_t b) { return b == 0; }))
    from += 3528;
  ASSERT_GE(data.size(), from + expect.size());
  EXPECT_TRUE(std::equal(expect.begin(), expect.end(), data.begin() + from));
}

}  // namespace
