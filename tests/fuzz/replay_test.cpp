// Replays every fuzz target's committed corpus and reproducers, plus a fixed set of
// generated inputs, so every build checks what the fuzzers found worth keeping (and every
// fault they found stays mended).
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_target.h"

namespace {

std::string Folder(const char* kind, const char* target) {
  // From the build, not __FILE__: a compiler cache may record the source's path relative.
  return std::string(FUZZ_DATA_DIR) + "/" + kind + "/" + target;
}

std::vector<std::string> Files(const std::string& folder) {
  std::vector<std::string> files;
  if (DIR* dir = opendir(folder.c_str())) {
    // The large-file form: the plain one fails on 32 bits where positions pass 32 bits.
    while (const dirent64* e = readdir64(dir)) {
      if (e->d_name[0] != '.') files.push_back(folder + "/" + e->d_name);
    }
    closedir(dir);
  }
  std::sort(files.begin(), files.end());
  return files;
}

void Replay(const FuzzTarget& target, const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string data = bytes.str();
  SCOPED_TRACE(file);
  target.run(reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

class FuzzReplay : public testing::TestWithParam<FuzzTarget> {};

}  // namespace

// Beside the target's type, where the printer looks for it.
void PrintTo(const FuzzTarget& t, std::ostream* os) { *os << t.name; }

TEST_P(FuzzReplay, CorpusReproducersAndGeneratedInputs) {
  const FuzzTarget& target = GetParam();
  const std::vector<std::string> corpus = Files(Folder("corpus", target.name));
  EXPECT_FALSE(corpus.empty()) << "no corpus for " << target.name;
  for (const std::string& file : corpus) Replay(target, file);
  for (const std::string& file : Files(Folder("reproducers", target.name))) Replay(target, file);
  std::mt19937 rng(12345);
  for (int i = 0; i < 100; ++i) {
    std::vector<uint8_t> data(rng() % 600);
    const bool dense = i % 3 == 0;  // marker bytes make frames and line ends likely
    for (uint8_t& b : data) b = static_cast<uint8_t>(dense && rng() % 2 ? "\xFF\xFA\xFB\r\n:="[rng() % 7] : rng());
    target.run(data.data(), data.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay,
                         testing::ValuesIn(kFuzzTargets, kFuzzTargets + kFuzzTargetCount),
                         [](const testing::TestParamInfo<FuzzTarget>& info) {
                           return std::string(info.param.name);
                         });
