// URL and Base64 coding, beside what a user would pick instead: OpenSSL's EVP Base64 and
// the usual hand-written std::string URL coder.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/net/zmod_connect.h"

namespace {

std::string Text(size_t n, bool binary) {
  std::mt19937 rng(1);
  std::string s(n, 'a');
  for (char& c : s) c = binary ? static_cast<char>(1 + rng() % 255) : "abc XYZ-_.019&=/"[rng() % 16];
  return s;
}

std::string NaiveUrlEncode(const std::string& in) {
  std::string out;
  for (unsigned char c : in) {
    if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '!' || c == '\'' ||
        c == '(' || c == ')' || c == '*') {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string NaiveUrlDecode(const std::string& in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '+') {
      out += ' ';
    } else if (in[i] == '%' && i + 2 < in.size() + 0 && isxdigit(in[i + 1]) && isxdigit(in[i + 2])) {
      out += static_cast<char>(std::stoi(in.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += in[i];
    }
  }
  return out;
}

void BM_UrlEncode_Zolt(benchmark::State& state) {
  const std::string in = Text(static_cast<size_t>(state.range(0)), false);
  std::vector<char> out(in.size() * 3 + 1);
  for (auto _ : state) benchmark::DoNotOptimize(ClassZConnect::UrlEncode(out.data(), in.c_str()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_UrlEncode_StdString(benchmark::State& state) {
  const std::string in = Text(static_cast<size_t>(state.range(0)), false);
  for (auto _ : state) benchmark::DoNotOptimize(NaiveUrlEncode(in));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_UrlDecode_Zolt(benchmark::State& state) {
  const std::string in = NaiveUrlEncode(Text(static_cast<size_t>(state.range(0)), false));
  std::vector<char> out(in.size() + 1);
  for (auto _ : state) benchmark::DoNotOptimize(ClassZConnect::UrlDecode(out.data(), in.c_str()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_UrlDecode_StdString(benchmark::State& state) {
  const std::string in = NaiveUrlEncode(Text(static_cast<size_t>(state.range(0)), false));
  for (auto _ : state) benchmark::DoNotOptimize(NaiveUrlDecode(in));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_Base64Encode_Zolt(benchmark::State& state) {
  const std::string in = Text(static_cast<size_t>(state.range(0)), true);
  std::vector<char> out(in.size() / 3 * 4 + 8);
  for (auto _ : state) benchmark::DoNotOptimize(ClassZConnect::Base64Encode(out.data(), in.c_str()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_Base64Encode_OpenSSL(benchmark::State& state) {
  const std::string in = Text(static_cast<size_t>(state.range(0)), true);
  std::vector<unsigned char> out(in.size() / 3 * 4 + 8);
  for (auto _ : state) {
    benchmark::DoNotOptimize(EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(in.data()),
                                             static_cast<int>(in.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_Base64Decode_Zolt(benchmark::State& state) {
  const std::string plain = Text(static_cast<size_t>(state.range(0)), true);
  std::vector<char> coded(plain.size() / 3 * 4 + 8);
  ClassZConnect::Base64Encode(coded.data(), plain.c_str());
  std::vector<char> out(plain.size() + 8);
  for (auto _ : state) benchmark::DoNotOptimize(ClassZConnect::Base64Decode(out.data(), coded.data()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
}

void BM_Base64Decode_OpenSSL(benchmark::State& state) {
  const std::string plain = Text(static_cast<size_t>(state.range(0)), true);
  std::vector<char> coded(plain.size() / 3 * 4 + 8);
  const uint32_t n = ClassZConnect::Base64Encode(coded.data(), plain.c_str());
  std::vector<unsigned char> out(plain.size() + 8);
  for (auto _ : state) {
    benchmark::DoNotOptimize(EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(coded.data()),
                                             static_cast<int>(n)));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
}

}  // namespace

BENCHMARK(BM_UrlEncode_Zolt)->Arg(64)->Arg(4096);
BENCHMARK(BM_UrlEncode_StdString)->Arg(64)->Arg(4096);
BENCHMARK(BM_UrlDecode_Zolt)->Arg(64)->Arg(4096);
BENCHMARK(BM_UrlDecode_StdString)->Arg(64)->Arg(4096);
BENCHMARK(BM_Base64Encode_Zolt)->Arg(64)->Arg(12288);
BENCHMARK(BM_Base64Encode_OpenSSL)->Arg(64)->Arg(12288);
BENCHMARK(BM_Base64Decode_Zolt)->Arg(64)->Arg(12288);
BENCHMARK(BM_Base64Decode_OpenSSL)->Arg(64)->Arg(12288);
