#include <cstring>

#include "tests/fuzz/fuzz_target.h"

const FuzzTarget kFuzzTargets[] = {
    {"png", FuzzPng},
    {"bmp", FuzzBmp},
    {"3ds", Fuzz3ds},
    {"pack", FuzzPack},
    {"codec", FuzzCodec},
    {"ini", FuzzIni},
    {"mod", FuzzMod},
    {"wav", FuzzWav},
    {"adpcm", FuzzAdpcm},
    {"frame_receiver", FuzzFrameReceiver},
    {"frame_roundtrip", FuzzFrameRoundTrip},
    {"http_stack", FuzzHttpStack},
    {"url_codecs", FuzzUrlCodecs},
    {"request_builder", FuzzRequestBuilder},
    {"music", FuzzMusic},
};
const size_t kFuzzTargetCount = sizeof kFuzzTargets / sizeof kFuzzTargets[0];

FuzzFn Fuzz_Find(const char* name) {
  for (const FuzzTarget& t : kFuzzTargets) {
    if (std::strcmp(t.name, name) == 0) return t.run;
  }
  return nullptr;
}
