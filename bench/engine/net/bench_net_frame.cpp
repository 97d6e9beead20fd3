// Framed messages and response parsing. The baseline for frames is the framing a user
// would write by hand: a 16-bit length prefix and the payload copied, no escaping, no
// check bytes and no resynchronisation.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/net/zmod_connect.h"

namespace {

std::vector<uint8_t> Payload(size_t n, int ffEvery) {
  std::mt19937 rng(2);
  std::vector<uint8_t> p(n);
  for (size_t i = 0; i < n; ++i) p[i] = (ffEvery && i % ffEvery == 0) ? 0xFF : static_cast<uint8_t>(rng() % 255);
  return p;
}

void BM_FrameEncode_Zolt(benchmark::State& state) {
  const std::vector<uint8_t> p = Payload(static_cast<size_t>(state.range(0)), static_cast<int>(state.range(1)));
  std::vector<uint8_t> out(70000);
  for (auto _ : state) benchmark::DoNotOptimize(ZNet_FrameEncode(out.data(), p.data(), static_cast<uint32_t>(p.size())));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.size()));
}

void BM_FrameEncode_LengthPrefix(benchmark::State& state) {
  const std::vector<uint8_t> p = Payload(static_cast<size_t>(state.range(0)), static_cast<int>(state.range(1)));
  std::vector<uint8_t> out(70000);
  for (auto _ : state) {
    out[0] = static_cast<uint8_t>(p.size());
    out[1] = static_cast<uint8_t>(p.size() >> 8);
    std::memcpy(out.data() + 2, p.data(), p.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.size()));
}

// Push a stream of frames in 1024-byte chunks (one recv each) and pop every message.
void BM_FrameReceive_Zolt(benchmark::State& state) {
  const std::vector<uint8_t> p = Payload(static_cast<size_t>(state.range(0)), static_cast<int>(state.range(1)));
  std::vector<uint8_t> wire;
  for (int i = 0; i < 16; ++i) {
    std::vector<uint8_t> f(static_cast<size_t>(ZNet_FrameLength(p.data(), static_cast<uint32_t>(p.size()))));
    ZNet_FrameEncode(f.data(), p.data(), static_cast<uint32_t>(p.size()));
    wire.insert(wire.end(), f.begin(), f.end());
  }
  ZNetStack ring;
  ring.Alloc(1 << 17);
  std::vector<uint8_t> out(70000);
  for (auto _ : state) {
    for (size_t at = 0; at < wire.size(); at += 1024) {
      ring.Push(wire.data() + at, static_cast<uint32_t>(std::min<size_t>(1024, wire.size() - at)));
      for (;;) {
        uint32_t length = static_cast<uint32_t>(out.size());
        if (!ring.Pop(out.data(), length)) break;
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 16 * p.size()));
}

void BM_FrameReceive_LengthPrefix(benchmark::State& state) {
  const std::vector<uint8_t> p = Payload(static_cast<size_t>(state.range(0)), static_cast<int>(state.range(1)));
  std::vector<uint8_t> wire;
  for (int i = 0; i < 16; ++i) {
    wire.push_back(static_cast<uint8_t>(p.size()));
    wire.push_back(static_cast<uint8_t>(p.size() >> 8));
    wire.insert(wire.end(), p.begin(), p.end());
  }
  std::vector<uint8_t> buffer, out(70000);
  buffer.reserve(1 << 17);
  for (auto _ : state) {
    for (size_t at = 0; at < wire.size(); at += 1024) {
      const size_t n = std::min<size_t>(1024, wire.size() - at);
      buffer.insert(buffer.end(), wire.begin() + static_cast<long>(at), wire.begin() + static_cast<long>(at + n));
      for (;;) {
        if (buffer.size() < 2) break;
        const size_t length = buffer[0] | (buffer[1] << 8);
        if (buffer.size() < 2 + length) break;
        std::memcpy(out.data(), buffer.data() + 2, length);
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<long>(2 + length));
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 16 * p.size()));
}

void BM_HttpResponseParse(benchmark::State& state) {
  const std::string reply =
      "HTTP/1.1 200 OK\r\nDate: Thu, 01 Jan 2026 00:00:00 GMT\r\nServer: test/1.0\r\n"
      "Content-Type: text/html; charset=utf-8\r\nContent-Length: 1\r\nConnection: close\r\n\r\n1";
  ZHTTPStack stack;
  stack.Alloc(512);
  for (auto _ : state) {
    stack.Clear();
    stack.Push(reply.data(), static_cast<uint32_t>(reply.size()));
    benchmark::DoNotOptimize(stack.BodySize());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
}

}  // namespace

// Args: payload bytes, a 0xFF every n bytes (0: none).
BENCHMARK(BM_FrameEncode_Zolt)->Args({1000, 0})->Args({1000, 16})->Args({60000, 0});
BENCHMARK(BM_FrameEncode_LengthPrefix)->Args({1000, 0})->Args({1000, 16})->Args({60000, 0});
BENCHMARK(BM_FrameReceive_Zolt)->Args({1000, 0})->Args({1000, 16})->Args({4000, 0});
BENCHMARK(BM_FrameReceive_LengthPrefix)->Args({1000, 0})->Args({1000, 16})->Args({4000, 0});
BENCHMARK(BM_HttpResponseParse);
BENCHMARK_MAIN();
