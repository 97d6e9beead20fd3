// libFuzzer entry for one fuzz target, chosen when built (FUZZ_TARGET).
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const FuzzFn run = [] {
    const FuzzFn fn = Fuzz_Find(FUZZ_TARGET);
    if (!fn) {
      std::fprintf(stderr, "unknown fuzz target %s\n", FUZZ_TARGET);
      std::abort();
    }
    return fn;
  }();
  return run(data, size);
}
