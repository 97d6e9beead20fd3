// The memory service's tracked list: 40,000 blocks allocated, then freed in the order
// they came, against the plain allocator a program without the list would use.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/core/zmod_memory.h"

namespace {

constexpr int BLOCKS = 40000;

void BM_TrackedListAllocFree(benchmark::State& state) {
  std::vector<void*> blocks(BLOCKS);
  for (auto _ : state) {
    ClassZMemory memory;
    for (int i = 0; i < BLOCKS; i++) blocks[i] = memory.AllocList(16 + i % 64);
    for (void* b : blocks) memory.DeAllocList(b);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * BLOCKS);
}
BENCHMARK(BM_TrackedListAllocFree)->Unit(benchmark::kMillisecond);

void BM_PlainNewDelete(benchmark::State& state) {
  std::vector<uint8_t*> blocks(BLOCKS);
  for (auto _ : state) {
    for (int i = 0; i < BLOCKS; i++) blocks[i] = new uint8_t[16 + i % 64];
    for (uint8_t* b : blocks) delete[] b;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * BLOCKS);
}
BENCHMARK(BM_PlainNewDelete)->Unit(benchmark::kMillisecond);

}  // namespace
