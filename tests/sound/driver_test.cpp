// The console output driver's checks that come before the device is touched.
#include <gtest/gtest.h>

#include "sound/qssGP2X.h"

namespace {

void nothing(void*, unsigned char*, int) {}

TEST(GP2XDriver, RefusesBadArgumentsBeforeTheDevice) {
  struct Case {
    uint32_t freq, format, channels;
  };
  qssGP2X d;
  AudioSpec ok{44100, QSS_AUDIO_S16, 2};
  EXPECT_EQ(d.open(nullptr, 100, nothing, nullptr), -11);
  EXPECT_EQ(d.open(&ok, 100, nullptr, nullptr), -11);
  for (const Case& c : {Case{44100, 0, 2}, Case{44100, 0x11, 2}, Case{44100, 0x22, 1},
                        Case{44100, QSS_AUDIO_S16, 3}, Case{44100, QSS_AUDIO_U8, 0},
                        Case{0, QSS_AUDIO_S16, 2}}) {
    AudioSpec spec{c.freq, c.format, c.channels};
    EXPECT_EQ(d.open(&spec, 100, nothing, nullptr), -1) << c.freq << " " << c.format << " " << c.channels;
    EXPECT_FALSE(d.opened());
    EXPECT_EQ(d.ring(), nullptr);
  }
  EXPECT_EQ(d.close(), -3);
}

}  // namespace
