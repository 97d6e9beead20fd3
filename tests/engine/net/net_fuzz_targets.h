// Fuzz targets of the network layer. Each takes arbitrary bytes, drives one parser with
// them and aborts when a property breaks. They run under libFuzzer in the optional fuzz
// build, and the test program replays the committed corpus through them.
#pragma once

#include <cstddef>
#include <cstdint>

using NetFuzzFn = int (*)(const uint8_t* data, size_t size);

struct NetFuzzTarget {
  const char* name;  // also the corpus folder's name
  NetFuzzFn run;
};

extern const NetFuzzTarget kNetFuzzTargets[];
extern const size_t kNetFuzzTargetCount;

// The target of that name, or null.
NetFuzzFn NetFuzz_Find(const char* name);
