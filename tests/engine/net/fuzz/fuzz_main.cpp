// libFuzzer entry for one network fuzz target, chosen when built (NET_FUZZ_TARGET).
#include <cstdio>
#include <cstdlib>

#include "tests/engine/net/net_fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const NetFuzzFn run = [] {
    const NetFuzzFn fn = NetFuzz_Find(NET_FUZZ_TARGET);
    if (!fn) {
      std::fprintf(stderr, "unknown fuzz target %s\n", NET_FUZZ_TARGET);
      std::abort();
    }
    return fn;
  }();
  return run(data, size);
}
