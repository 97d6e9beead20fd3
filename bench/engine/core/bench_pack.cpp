// Reading many small entries from a pack, against the same entries as plain files in a
// folder read with stdio (what a program without packs would do). Items are entries.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_memory.h"

namespace {

constexpr uint32_t ENTRIES = 500;

std::string EntryName(uint32_t i) { return "sprite_" + std::to_string(i) + ".bmp"; }

std::vector<uint8_t> EntryData(uint32_t i) {
  std::vector<uint8_t> data(200 + (i * 37) % 1800);
  for (size_t k = 0; k < data.size(); k++) {
    data[k] = static_cast<uint8_t>(k % 24 < 16 ? 0xE3 : (i + k / 24) & 0x3F);
  }
  return data;
}

// One folder, made once per run: a raw pack, a zlib pack, and the entries as files.
struct Fixture {
  std::string dir;
  Fixture() {
    char pattern[] = "/tmp/zolt_bench_XXXXXX";
    dir = mkdtemp(pattern) ? pattern : "/tmp";
    mkdir((dir + "/files").c_str(), 0700);
    for (uint8_t kind : {ZPK_STORE_RAW, ZPK_STORE_ZLIB}) {
      ClassZFile pack;
      std::string name = dir + "/kind" + std::to_string(kind) + ".zpk";
      pack.PackNew(name.c_str());
      for (uint32_t i = 0; i < ENTRIES; i++) {
        std::vector<uint8_t> data = EntryData(i);
        pack.PackAddFileData(EntryName(i).c_str(), data.data(), static_cast<uint32_t>(data.size()),
                             false, kind, 0);
      }
    }
    for (uint32_t i = 0; i < ENTRIES; i++) {
      std::vector<uint8_t> data = EntryData(i);
      FILE* f = std::fopen((dir + "/files/" + EntryName(i)).c_str(), "wb");
      if (f) {
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
      }
    }
  }
  ~Fixture() {
    for (uint32_t i = 0; i < ENTRIES; i++) std::remove((dir + "/files/" + EntryName(i)).c_str());
    std::remove((dir + "/files").c_str());
    std::remove((dir + "/kind0.zpk").c_str());
    std::remove((dir + "/kind2.zpk").c_str());
    std::remove(dir.c_str());
  }
};

Fixture& Data() {
  static Fixture fixture;
  return fixture;
}

std::vector<std::string> Names() {
  std::vector<std::string> names;
  for (uint32_t i = 0; i < ENTRIES; i++) names.push_back(EntryName((i * 7919) % ENTRIES));
  return names;
}

// range(0): stored kind; range(1): 1 with a name index, 0 searching the records.
void BM_PackReadByName(benchmark::State& state) {
  ClassZFile pack;
  std::string name = Data().dir + "/kind" + std::to_string(state.range(0)) + ".zpk";
  if (!pack.Open(name.c_str(), ZFILE_MODE_READ) || !pack.PackValid()) {
    state.SkipWithError("no pack");
    return;
  }
  ZPK_INDEXSLOT* index = state.range(1) ? pack.PackBuildIndex() : nullptr;
  std::vector<std::string> names = Names();
  size_t next = 0, bytes = 0;
  for (auto _ : state) {
    uint8_t* buffer;
    uint32_t size;
    if (pack.PackGetFileData(buffer, size, names[next].c_str()) != ZPK_OK) {
      state.SkipWithError("read failed");
      break;
    }
    bytes += size;
    ClassZMemory::DeAlloc(buffer);
    next = (next + 1) % names.size();
  }
  pack.Close();
  ClassZMemory::DeAlloc(index);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_PackReadByName)->ArgNames({"kind", "index"})->Args({0, 1})->Args({2, 1})->Args({0, 0});

void BM_PlainFilesRead(benchmark::State& state) {
  std::vector<std::string> names = Names();
  for (std::string& n : names) n = Data().dir + "/files/" + n;
  size_t next = 0, bytes = 0;
  for (auto _ : state) {
    FILE* f = std::fopen(names[next].c_str(), "rb");
    if (!f) {
      state.SkipWithError("open failed");
      break;
    }
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    std::vector<uint8_t> data(static_cast<size_t>(size));
    if (std::fread(data.data(), 1, data.size(), f) != data.size()) state.SkipWithError("short read");
    std::fclose(f);
    bytes += data.size();
    benchmark::DoNotOptimize(data.data());
    next = (next + 1) % names.size();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_PlainFilesRead);

// Adding 200 files to a new pack: in one call (one write of the pack), one call per file
// (a write of the whole pack each), and the plain alternative of copying them into a
// folder.
constexpr uint32_t ADDED = 200;

void BM_PackAddFiles(benchmark::State& state) {
  const bool together = state.range(0) != 0;
  std::vector<std::string> names = Names();
  names.resize(ADDED);
  for (std::string& n : names) n = Data().dir + "/files/" + n;
  std::vector<const char*> files;
  for (const std::string& n : names) files.push_back(n.c_str());
  const std::string pack = Data().dir + "/added.zpk";
  for (auto _ : state) {
    std::remove(pack.c_str());
    ClassZFile f;
    f.PackNew(pack.c_str());
    uint32_t added = 0;
    if (together) {
      f.PackAddFiles(files.data(), ADDED, false, ZPK_STORE_RAW, added);
    } else {
      for (const char* file : files) added += f.PackAddFile(file, false, ZPK_STORE_RAW) == ZPK_OK;
    }
    if (added != ADDED) state.SkipWithError("not all added");
  }
  std::remove(pack.c_str());
  state.SetItemsProcessed(state.iterations() * ADDED);
}
BENCHMARK(BM_PackAddFiles)->ArgNames({"together"})->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_PlainFilesCopy(benchmark::State& state) {
  std::vector<std::string> names = Names();
  names.resize(ADDED);
  const std::string folder = Data().dir + "/copies";
  mkdir(folder.c_str(), 0700);
  for (auto _ : state) {
    for (const std::string& n : names) {
      FILE* in = std::fopen((Data().dir + "/files/" + n).c_str(), "rb");
      FILE* out = std::fopen((folder + "/" + n).c_str(), "wb");
      if (!in || !out) {
        state.SkipWithError("open failed");
        if (in) std::fclose(in);
        if (out) std::fclose(out);
        break;
      }
      char buffer[4096];
      for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
        std::fwrite(buffer, 1, got, out);
      }
      std::fclose(in);
      // Flushed to the disk as the pack's writes are.
      std::fflush(out);
      fsync(fileno(out));
      std::fclose(out);
    }
  }
  for (const std::string& n : names) std::remove((folder + "/" + n).c_str());
  std::remove(folder.c_str());
  state.SetItemsProcessed(state.iterations() * ADDED);
}
BENCHMARK(BM_PlainFilesCopy)->Unit(benchmark::kMillisecond);

}  // namespace
