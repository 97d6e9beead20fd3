// Fuzz targets of every parser that reads outside data: images (PNG, BMP, 3DS), packs, the
// codec, ini files, sound (MOD with rendering, WAV, MS-ADPCM, pellax's music through the
// second core's program) and the network layer (HTTP replies, framed messages, URLs and
// text codecs). Each takes arbitrary bytes, drives its
// parser with them and aborts when a property breaks; the sanitizers catch the rest.
//
// run.sh builds each as a libFuzzer program (clang) and runs them; every test build
// replays each target's committed corpus and reproducers through them (replay_test.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using FuzzFn = int (*)(const uint8_t* data, size_t size);

struct FuzzTarget {
  const char* name;  // also the name of its corpus and reproducer folders
  FuzzFn run;
};

extern const FuzzTarget kFuzzTargets[];
extern const size_t kFuzzTargetCount;

// The target of that name, or null.
FuzzFn Fuzz_Find(const char* name);

#define FUZZ_CHECK(condition)                                                              \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)

// Reads the fuzz input as a stream of small numbers and bytes.
struct FuzzInput {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  bool Empty() const { return at >= size; }
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  std::string Take(size_t n) {
    if (n > size - at) n = size - at;
    std::string s(reinterpret_cast<const char*>(data + at), n);
    at += n;
    return s;
  }
  std::string Rest() { return Take(size - at); }
};

// The targets, a file for each area.
int FuzzPng(const uint8_t* data, size_t size);
int FuzzBmp(const uint8_t* data, size_t size);
int Fuzz3ds(const uint8_t* data, size_t size);
int FuzzPack(const uint8_t* data, size_t size);
int FuzzCodec(const uint8_t* data, size_t size);
int FuzzIni(const uint8_t* data, size_t size);
int FuzzMod(const uint8_t* data, size_t size);
int FuzzWav(const uint8_t* data, size_t size);
int FuzzAdpcm(const uint8_t* data, size_t size);
int FuzzFrameReceiver(const uint8_t* data, size_t size);
int FuzzFrameRoundTrip(const uint8_t* data, size_t size);
int FuzzHttpStack(const uint8_t* data, size_t size);
int FuzzUrlCodecs(const uint8_t* data, size_t size);
int FuzzRequestBuilder(const uint8_t* data, size_t size);
int FuzzMusic(const uint8_t* data, size_t size);
