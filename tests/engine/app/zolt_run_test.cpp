// End to end: a tiny engine application draws the demo program's moving test pattern with
// the engine's surfaces and built-in font, runs 120 frames headless on the host's virtual
// clock, and the frames it presents are checked against images the test builds on its own.
#include <array>
#include <cstring>

#include "tests/engine/app/zolt_fixture.h"
#include "tools/zoltdemo/zoltdemo_pattern.h"

namespace {

using namespace zoltdemo;
constexpr int kW = kWidth, kH = kHeight, kFrames = 120;

// Frame n's background as the test works it out for a 5:6:5 buffer.
uint16_t Background565(int n) { return uint16_t(((n * 8) & 0xF8) >> 3 << 11 | (0x40 >> 2) << 5 | (0x80 >> 3)); }

uint32_t Fnv1a(const uint8_t* p, size_t n) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}

using Screen = std::array<uint16_t, kW * kH>;

class PatternApp : public ClassZolt {
 public:
  explicit PatternApp(uint8_t backbufferformat) : format(backbufferformat) {}

  int OnCreate(ZOLTCONFIG* c, ZOLTDATA*) override {
    c->width = kW;
    c->height = kH;
    c->fps = 60;
    c->shortsleep = 0;
    c->backbufferformat = format;
    return 0;
  }
  int OnNextFrame(ClassZDisplay* d, uint32_t ms) override {
    // The framebuffer now holds the previous frame: the one this frame follows.
    if (frame > 0) Keep(frame);
    ++frame;
    totalms += ms;
    DrawPattern(d->backbuffer, &d->font, frame);
    if (frame == kFrames) Quit();
    return 0;
  }
  void OnExit(int) override { Keep(frame); }

  void Keep(int n) {
    if (n == 1 || n == 60 || n == kFrames) {
      Screen s;
      std::memcpy(s.data(), gp2x::host::framebuffer(0), sizeof s);
      shown.push_back({n, s});
    }
  }

  uint8_t format;
  int frame = 0;
  uint32_t totalms = 0;
  std::vector<std::pair<int, Screen>> shown;
};

}  // namespace

class ZoltRun : public ZoltHostTest, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(ZoltRun, PatternAtSixtyFramesASecond) {
  PatternApp app(GetParam());
  const uint64_t start = NowMicros();
  EXPECT_EQ(app.StartFramework(0), 0);
  EXPECT_EQ(app.frame, kFrames);
  EXPECT_EQ(app.GetAppStatus(), ZSTATUS_ENDED);

  // Two seconds of virtual time, measured at 60 frames a second.
  EXPECT_NEAR(double(NowMicros() - start), 2000000.0, 17000.0);
  EXPECT_NEAR(double(app.totalms), 2000.0, 17.0);
  uint32_t whole = 0, hundredths = 0;
  app.GetFPS(whole, hundredths);
  EXPECT_EQ((whole * 100 + hundredths + 50) / 100, 60u) << whole << "." << hundredths;

  ASSERT_EQ(app.shown.size(), 3u);
  for (const auto& [n, screen] : app.shown) {
    SCOPED_TRACE(n);
    // The text: glyph pixels white or black over the background, some of them white.
    int white = 0;
    Screen expected;
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const bool text = x >= kTextArea.left && x < kTextArea.right && y >= kTextArea.top &&
                          y < kTextArea.bottom;
        const bool bar = y >= kBarTop && x >= BarLeft(n) && x < BarLeft(n) + kBarWidth;
        const uint16_t actual = screen[y * kW + x];
        if (text) {
          ASSERT_TRUE(actual == Background565(n) || actual == 0xFFFF || actual == 0)
              << x << "," << y << ": " << std::hex << actual;
          white += actual == 0xFFFF;
          expected[y * kW + x] = actual;
        } else {
          expected[y * kW + x] = bar ? 0xFFFF : Background565(n);
        }
      }
    }
    EXPECT_GT(white, 20);
    EXPECT_EQ(Fnv1a(reinterpret_cast<const uint8_t*>(screen.data()), sizeof screen),
              Fnv1a(reinterpret_cast<const uint8_t*>(expected.data()), sizeof expected));
  }
  // The text is drawn the same way every frame.
  auto textOf = [](const Screen& s, int n) {
    std::vector<uint16_t> t;
    for (int y = kTextArea.top; y < kTextArea.bottom; ++y)
      for (int x = kTextArea.left; x < kTextArea.right; ++x) {
        const uint16_t v = s[y * kW + x];
        t.push_back(v == Background565(n) ? 1 : v);
      }
    return t;
  };
  EXPECT_EQ(textOf(app.shown[0].second, app.shown[0].first),
            textOf(app.shown[2].second, app.shown[2].first));
}

// The framebuffer's own format, and a 32-bit back buffer converted at every flip.
INSTANTIATE_TEST_SUITE_P(BackBuffer, ZoltRun, ::testing::Values(uint8_t(32), uint8_t(6)));
