// Replays the committed fuzz corpus through the fuzz targets, plus a fixed set of
// generated inputs, so every build checks what the fuzzers found worth keeping.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/engine/net/net_fuzz_targets.h"

namespace {

std::string CorpusFolder(const char* target) {
  std::string here = __FILE__;
  return here.substr(0, here.rfind('/')) + "/corpus/" + target;
}

std::vector<std::string> CorpusFiles(const std::string& folder) {
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

class NetFuzzReplay : public testing::TestWithParam<NetFuzzTarget> {};

}  // namespace

TEST_P(NetFuzzReplay, CorpusAndGeneratedInputs) {
  const NetFuzzTarget& target = GetParam();
  const std::vector<std::string> files = CorpusFiles(CorpusFolder(target.name));
  EXPECT_FALSE(files.empty()) << "no corpus for " << target.name;
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string data = bytes.str();
    SCOPED_TRACE(file);
    target.run(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  }
  std::mt19937 rng(12345);
  for (int i = 0; i < 300; ++i) {
    std::vector<uint8_t> data(rng() % 600);
    const bool dense = i % 3 == 0;  // marker bytes make frames and line ends likely
    for (uint8_t& b : data) b = static_cast<uint8_t>(dense && rng() % 2 ? "\xFF\xFA\xFB\r\n:"[rng() % 6] : rng());
    target.run(data.data(), data.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, NetFuzzReplay,
                         testing::ValuesIn(kNetFuzzTargets, kNetFuzzTargets + kNetFuzzTargetCount),
                         [](const testing::TestParamInfo<NetFuzzTarget>& info) {
                           return std::string(info.param.name);
                         });
