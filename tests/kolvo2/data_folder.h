// Data folders for the game made in a test: the packs the build made, with an entry of
// the pictures left out or replaced, or packs of the test's own entries.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_memory.h"
#include "tests/support/temp_dir.h"

#ifndef KOLVO2_DATA_DIR
#error "KOLVO2_DATA_DIR: the folder holding the game's res/*.zpk"
#endif

using Bytes = std::vector<uint8_t>;
inline const std::string kGfx = std::string(KOLVO2_DATA_DIR) + "/res/gfx.zpk";

// Every entry of a pack by name.
inline std::map<std::string, Bytes> ReadPack(const std::string& path) {
  std::map<std::string, Bytes> entries;
  ClassZFile pack;
  EXPECT_TRUE(pack.Open(path.c_str(), ZFILE_MODE_READ) && pack.PackValid()) << path;
  for (uint32_t i = 0; i < pack.PackContainFiles(); ++i) {
    ZPK_FILEINFO info;
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!pack.PackGetFileInfo(&info, i) || pack.PackGetFileData(data, size, i) != ZPK_OK) continue;
    entries[info.name] = Bytes(data, data + size);
    ClassZMemory::DeAlloc(data);
  }
  return entries;
}

inline const std::map<std::string, Bytes>& GamePictures() {
  static const std::map<std::string, Bytes> pictures = ReadPack(kGfx);
  return pictures;
}

// A pack of these entries, written once from files staged beside it.
inline void WriteNamedPack(const std::string& path, const std::vector<std::pair<std::string, Bytes>>& entries) {
  const std::string stage = path + ".stage";
  ASSERT_EQ(mkdir(stage.c_str(), 0755), 0);
  std::vector<std::string> files;
  for (const auto& [name, bytes] : entries) {
    files.push_back(stage + "/" + name);
    std::ofstream(files.back(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<const char*> names;
  for (const std::string& f : files) names.push_back(f.c_str());
  ClassZFile pack;
  ASSERT_EQ(pack.PackNew(path.c_str()), ZPK_OK) << path;
  uint32_t added = 0;
  ASSERT_EQ(pack.PackAddFiles(names.data(), static_cast<uint32_t>(names.size()), false, ZPK_STORE_RAW, added), ZPK_OK);
  pack.Close();
  for (const std::string& f : files) std::remove(f.c_str());
  rmdir(stage.c_str());
}

// A data folder whose gfx.zpk is the game's own with one entry left out or replaced.
struct DataFolder {
  TempDir dir;
  explicit DataFolder(const std::string& omit = "", const std::string& replace = "",
                      const Bytes& with = {}) {
    EXPECT_EQ(mkdir((dir.path() + "/res").c_str(), 0755), 0);
    std::vector<std::pair<std::string, Bytes>> entries;
    for (const auto& [name, bytes] : GamePictures()) {
      if (name == omit) continue;
      entries.emplace_back(name, name == replace ? with : bytes);
    }
    WriteNamedPack(dir.path() + "/res/gfx.zpk", entries);
  }
  std::string path() const { return dir.path(); }
};
