// The engine's MD5 against OpenSSL's on the same megabyte. OpenSSL's libcrypto is loaded
// at run time, so the program builds and runs (reporting the engine alone) without it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <dlfcn.h>
#include <vector>

#include "engine/core/zmod_std.h"

namespace {

using OpenSslMd5 = unsigned char* (*)(const unsigned char*, size_t, unsigned char*);

OpenSslMd5 LoadOpenSsl() {
  static OpenSslMd5 fn = [] {
    for (const char* name : {"libcrypto.so.3", "libcrypto.so"}) {
      if (void* lib = dlopen(name, RTLD_NOW | RTLD_LOCAL))
        if (void* sym = dlsym(lib, "MD5")) return reinterpret_cast<OpenSslMd5>(sym);
    }
    return static_cast<OpenSslMd5>(nullptr);
  }();
  return fn;
}

const std::vector<uint8_t>& Data() {
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> v(1u << 20);
    uint32_t x = 12345;
    for (auto& b : v) {
      x = x * 1103515245u + 12345u;
      b = static_cast<uint8_t>(x >> 16);
    }
    return v;
  }();
  return data;
}

void BM_MD5Engine(benchmark::State& state) {
  const auto& data = Data();
  char out[33];
  for (auto _ : state) {
    ClassZStd::MD5Data(out, data.data(), static_cast<uint32_t>(data.size()));
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * data.size());
}

void BM_MD5OpenSsl(benchmark::State& state) {
  OpenSslMd5 md5 = LoadOpenSsl();
  if (md5 == nullptr) {
    state.SkipWithError("OpenSSL's libcrypto is not available");
    for (auto _ : state) {
    }
    return;
  }
  const auto& data = Data();
  unsigned char digest[16];
  char ours[33], theirs[33];
  md5(data.data(), data.size(), digest);
  for (int i = 0; i < 16; i++) snprintf(theirs + 2 * i, 3, "%02x", digest[i]);
  ClassZStd::MD5Data(ours, data.data(), static_cast<uint32_t>(data.size()));
  if (std::strcmp(ours, theirs) != 0) state.SkipWithError("digests differ");
  for (auto _ : state) {
    md5(data.data(), data.size(), digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * data.size());
}

BENCHMARK(BM_MD5Engine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MD5OpenSsl)->Unit(benchmark::kMillisecond);

}  // namespace
