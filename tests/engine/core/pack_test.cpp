// The engine must read what the reference writer makes, and every file the engine writes
// must parse with the reference reader (entries back to back from offset 28, the offset
// table at the very end, a correct checksum).
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <utime.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_memory.h"
#include "tests/engine/core/file_size_limit.h"
#include "tests/engine/core/pack_reference.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace zpkref;

// ---- fixture --------------------------------------------------------------------------

class PackTest : public ::testing::Test {
 protected:
  TempDir dir;
  TempPath name = dir / "test.zpk";
  ClassZFile pack;

  void NewPack() { ASSERT_EQ(pack.PackNew(name.c_str()), ZPK_OK); }

  Bytes Data(const std::string& entry) {
    uint8_t* buffer = nullptr;
    uint32_t size = 0;
    int result = pack.PackGetFileData(buffer, size, entry.c_str());
    EXPECT_EQ(result, ZPK_OK) << entry;
    Bytes out(buffer, buffer + size);
    ClassZMemory::DeAlloc(buffer);
    return out;
  }

  // Flushes the engine's writes by closing, parses the file, and reopens it.
  RefPack Disk() {
    pack.Close();
    RefPack ref = RefRead(ReadWholeFile(name));
    EXPECT_EQ(pack.Open(name.c_str()), 1);
    EXPECT_EQ(pack.PackValid(), 1);
    return ref;
  }

  // The names in the test's folder, sorted.
  std::vector<std::string> FolderFiles() {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.path().c_str())) {
      // The large-file form: the plain one fails on 32 bits where positions pass 32 bits.
      while (dirent64* e = readdir64(d))
        if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.push_back(e->d_name);
      closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  void Add(const std::string& entry, const Bytes& data, uint8_t kind = 0, bool overwrite = false) {
    ASSERT_EQ(pack.PackAddFileData(entry.c_str(), data.data(), static_cast<uint32_t>(data.size()),
                                   overwrite, kind, 1234),
              ZPK_OK);
  }
};

TEST(PackChecksum, QuickChecksumOfAbc) { EXPECT_EQ(ZFile_QuickChecksum("abc", 3), 860015464u); }

TEST_F(PackTest, NewPackIsAnEmptyValidPack) {
  NewPack();
  EXPECT_EQ(pack.PackContainFiles(), 0u);
  pack.Close();
  Bytes disk = ReadWholeFile(name);
  EXPECT_EQ(disk.size(), 28u);
  RefPack ref = RefRead(disk);
  EXPECT_EQ(ref.vendor, "ZOLT");
  ASSERT_EQ(pack.Open(name.c_str()), 1);
  EXPECT_EQ(pack.PackValid(), 1);
  EXPECT_EQ(pack.PackNew(name.c_str()), ZPK_EXISTS);

  ClassZFile other;
  ASSERT_EQ(other.PackNew((dir / "v.zpk").c_str(), "GAME"), ZPK_OK);
  char vendor[5];
  ASSERT_EQ(other.PackGetVendor(vendor), 1);
  EXPECT_STREQ(vendor, "GAME");
  ASSERT_EQ(other.PackChangeVendor("ABCD"), 1);
  EXPECT_EQ(RefRead(ReadWholeFile(dir / "v.zpk")).vendor, "ABCD");
  const char shorter[3] = {'X', 'Y', 0};  // nothing may be read past its end
  ASSERT_EQ(other.PackChangeVendor(shorter), 1);
  other.Close();
  EXPECT_EQ(RefRead(ReadWholeFile(dir / "v.zpk")).vendor, std::string("XY\0\0", 4));
  // A new pack's short vendor code is padded with zeros too, in both name forms.
  const uint16_t wide[] = {'w', 'v', 0};
  const std::string made[] = {dir / "n8.zpk", dir / "n16.zpk"};
  ASSERT_EQ(other.PackNew(made[0].c_str(), "AB"), ZPK_OK);
  other.Close();
  std::vector<uint16_t> wname(made[1].begin(), made[1].end());
  wname.push_back(0);
  ASSERT_EQ(other.PackNew(wname.data(), wide), ZPK_OK);
  other.Close();
  EXPECT_EQ(RefRead(ReadWholeFile(made[0])).vendor, std::string("AB\0\0", 4));
  EXPECT_EQ(RefRead(ReadWholeFile(made[1])).vendor, std::string("wv\0\0", 4));
}

TEST_F(PackTest, KindsRoundTripAndSmallDataIsStoredRaw) {
  NewPack();
  Bytes big = Compressible(20000, 'a');
  Add("raw.bin", big, ZPK_STORE_RAW);
  Add("codec.bin", big, ZPK_STORE_CODEC);
  Add("zlib.bin", big, ZPK_STORE_ZLIB);
  Add("tiny.txt", Text("0123456789"), ZPK_STORE_CODEC);  // can't save 5 bytes
  Add("one.bin", Bytes{0x41}, ZPK_STORE_CODEC);          // an 18-byte stream
  Add("two.bin", Bytes{1, 2}, ZPK_STORE_ZLIB);
  Add("empty.bin", Bytes{}, ZPK_STORE_ZLIB);
  RefPack ref = Disk();
  ASSERT_EQ(ref.entries.size(), 7u);
  const uint8_t kinds[] = {0, 1, 2, 0, 0, 0, 0};
  for (size_t i = 0; i < ref.entries.size(); i++) {
    EXPECT_EQ(ref.entries[i].kind, kinds[i]) << ref.entries[i].name;
    EXPECT_EQ(ref.entries[i].filetime, 1234u);
    EXPECT_NE(ref.entries[i].timeadded, 0u);
  }
  EXPECT_LT(ref.entries[1].stored.size(), big.size() / 2);
  EXPECT_LT(ref.entries[2].stored.size(), big.size() / 2);
  EXPECT_EQ(RefUnpack(ref.entries[1]), big);
  EXPECT_EQ(RefUnpack(ref.entries[2]), big);
  EXPECT_EQ(Data("raw.bin"), big);
  EXPECT_EQ(Data("codec.bin"), big);
  EXPECT_EQ(Data("zlib.bin"), big);
  EXPECT_EQ(Data("one.bin"), Bytes{0x41});

  uint8_t* buffer = reinterpret_cast<uint8_t*>(1);
  uint32_t size = 99;
  EXPECT_EQ(pack.PackGetFileData(buffer, size, "empty.bin"), ZPK_OK);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(pack.PackGetFileData(buffer, size, "none.bin"), ZPK_NOTFOUND);
}

TEST_F(PackTest, EngineReadsReferencePacks) {
  Bytes big = Compressible(5000, 'q');
  RefEntry codec = RawEntry("codec.bin", {});
  codec.kind = 1;
  codec.unpacked = static_cast<uint32_t>(big.size());
  codec.stored.resize(big.size());
  ClassZMemory memory;
  uint32_t length = static_cast<uint32_t>(codec.stored.size());
  ASSERT_EQ(memory.Compress(codec.stored.data(), length, big.data(), codec.unpacked), 1);
  codec.stored.resize(length);
  RefEntry zl = ZlibEntry("zlib.bin", big);
  RefEntry raw = RawEntry("Raw.Bin", Text("hello"));
  raw.filetime = 1000;
  raw.timeadded = 2000;
  ASSERT_TRUE(WriteWholeFile(name, RefWriteV2({raw, codec, zl}, "REF1")));

  ASSERT_EQ(pack.Open(name.c_str(), ZFILE_MODE_READ), 1);
  ASSERT_EQ(pack.PackValid(), 1);
  EXPECT_EQ(pack.PackContainFiles(), 3u);
  EXPECT_EQ(Data("raw.bin"), Text("hello"));
  EXPECT_EQ(Data("codec.bin"), big);
  EXPECT_EQ(Data("zlib.bin"), big);
  ZPK_FILEINFO info;
  ASSERT_EQ(pack.PackGetFileInfo(&info, 0u, false), 1);
  EXPECT_STREQ(info.name, "Raw.Bin");
  EXPECT_EQ(info.dataoffset, 28u + 92u);
  EXPECT_EQ(info.filetime, 1000u);
  EXPECT_EQ(info.timeadded, 2000u);
  EXPECT_EQ(pack.PackGetFileInfo(&info, 3u, false), 0);
}

// Replacing and deleting entry k of n, with data larger and smaller than before.
TEST_F(PackTest, ReplaceAndDeleteAtEveryPosition) {
  struct Case {
    size_t count, index;
    int change;  // +: replace larger, -: replace smaller, 0: delete
  } cases[] = {
      {3, 0, +1}, {3, 1, +1}, {3, 2, +1}, {3, 0, -1}, {3, 1, -1}, {3, 2, -1}, {1, 0, +1},
      {1, 0, -1}, {3, 0, 0},  {3, 1, 0},  {3, 2, 0},  {1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << " entries, index " << c.index << ", change " << c.change);
    std::remove(name.c_str());
    NewPack();
    std::vector<std::pair<std::string, Bytes>> model;
    for (size_t i = 0; i < c.count; i++) {
      model.push_back({"entry" + std::to_string(i) + ".dat", Compressible(300 + 100 * i, uint8_t('a' + i))});
      Add(model.back().first, model.back().second, static_cast<uint8_t>(i % 3));
    }
    // A name index built before the change must not be used after it.
    ZPK_INDEXSLOT* index = pack.PackBuildIndex();
    ASSERT_NE(index, nullptr);
    if (c.change == 0) {
      ASSERT_EQ(pack.PackDeleteFile(model[c.index].first.c_str()), ZPK_OK);
      model.erase(model.begin() + c.index);
    } else {
      Bytes data = Compressible(c.change > 0 ? 5000 : 20, 'z');
      std::string upper = model[c.index].first;
      for (char& ch : upper) ch = static_cast<char>(toupper(ch));
      EXPECT_EQ(pack.PackAddFileData(upper.c_str(), data.data(), static_cast<uint32_t>(data.size()),
                                     false, 0, 0),
                ZPK_EXISTS);
      Add(upper, data, ZPK_STORE_RAW, true);
      model[c.index] = {upper, data};  // the record takes the name it was replaced under
    }
    RefPack ref = Disk();
    ClassZMemory::DeAlloc(index);
    ASSERT_EQ(ref.entries.size(), model.size());
    EXPECT_EQ(pack.PackContainFiles(), model.size());
    for (size_t i = 0; i < model.size(); i++) {
      EXPECT_EQ(ref.entries[i].name, model[i].first);  // the stored name keeps its case
      EXPECT_EQ(RefUnpack(ref.entries[i]), model[i].second);
      EXPECT_EQ(Data(model[i].first), model[i].second);
    }
    if (model.empty()) {
      EXPECT_EQ(ReadWholeFile(name).size(), 28u);
    }
    pack.Close();
  }
}

TEST_F(PackTest, DeleteByIndexAndMissingEntries) {
  NewPack();
  EXPECT_EQ(pack.PackDeleteFile(0u), ZPK_NOTFOUND);
  Add("a", Text("aaaa"));
  Add("b", Text("bbbb"));
  EXPECT_EQ(pack.PackDeleteFile(5u), ZPK_NOTFOUND);
  EXPECT_EQ(pack.PackDeleteFile("c"), ZPK_NOTFOUND);
  ASSERT_EQ(pack.PackDeleteFile(0u), ZPK_OK);
  RefPack ref = Disk();
  ASSERT_EQ(ref.entries.size(), 1u);
  EXPECT_EQ(ref.entries[0].name, "b");
  pack.Close();
  EXPECT_EQ(pack.PackDeleteFile(0u), ZPK_NOPACK);
  EXPECT_EQ(pack.PackAddFileData("x", "x", 1, false, 0, 0), ZPK_NOPACK);
}

TEST_F(PackTest, StoreNameRules) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"Data\\Tiles.PNG", "Tiles.PNG"},
      {"a/b/c.txt", "c.txt"},
      {"folder/", ""},
      {std::string(66, 'x') + ".bmp", std::string(59, 'x') + ".bmp"},
      {std::string(70, 'y'), std::string(63, 'y')},
      // The front keeps 63 - 32 characters, the extension its first 32.
      {std::string(30, 'n') + "." + std::string(39, 'e'), std::string(30, 'n') + ".." + std::string(31, 'e')},
      {std::string(63, 'k'), std::string(63, 'k')},
  };
  // The rest of the field is zero: the field goes to the file whole.
  auto zeroAfter = [](const char* out) {
    return std::all_of(out + std::strlen(out), out + ZPK_NAME_SIZE, [](char ch) { return ch == 0; });
  };
  for (const Case& c : cases) {
    char out[ZPK_NAME_SIZE];
    std::memset(out, 0x5A, sizeof out);
    ZFile_CheckStoreName(out, c.in.c_str());
    EXPECT_EQ(std::string(out), c.out) << c.in;
    EXPECT_TRUE(zeroAfter(out)) << c.in;
    std::memset(out, 0x5A, sizeof out);
    ZFile_CheckStoreName(out, Wide(c.in));
    EXPECT_EQ(std::string(out), c.out) << c.in;
    EXPECT_TRUE(zeroAfter(out)) << c.in;
  }
  NewPack();
  Add("Data\\Tiles.PNG", Text("png data"));
  uint32_t index = 99;
  EXPECT_EQ(pack.PackSearchFile("tiles.png", index), 1);
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(pack.PackSearchFile(Wide("x/TILES.png"), index), 1);
  EXPECT_EQ(pack.PackSearchFile("tiles.pn", index), 0);
}

TEST_F(PackTest, NameIndexSearchesOnlyItsSlots) {
  NewPack();
  Add("a", Text("aaaa"));
  Add("b", Text("bbbb"));
  Add("c", Text("cccc"));
  ZPK_INDEXSLOT* index = pack.PackBuildIndex();
  ASSERT_NE(index, nullptr);
  uint32_t at = 0;
  EXPECT_EQ(pack.PackSearchFile("C", at), 1);
  EXPECT_EQ(at, 2u);
  pack.PackUseIndex(index, 2);  // an index of an older, smaller pack
  EXPECT_EQ(pack.PackSearchFile("c", at), 0);
  EXPECT_EQ(pack.PackSearchFile("b", at), 1);
  Add("d", Text("dddd"));  // any write drops the index
  EXPECT_EQ(pack.PackSearchFile("c", at), 1);
  EXPECT_EQ(pack.PackSearchFile("d", at), 1);
  EXPECT_EQ(at, 3u);
  ClassZMemory::DeAlloc(index);
}

TEST_F(PackTest, AddFileStoresNameDataAndTime) {
  NewPack();
  ASSERT_EQ(mkdir((dir / "Data").c_str(), 0700), 0);
  Bytes content = Compressible(3000, 'f');
  ASSERT_TRUE(WriteWholeFile(dir / "Data/Tiles.PNG", content));
  struct utimbuf times = {1204286400, 1204286400};
  ASSERT_EQ(utime((dir / "Data/Tiles.PNG").c_str(), &times), 0);
  EXPECT_EQ(pack.PackAddFile((dir / "Data/missing.png").c_str(), false, 0), ZPK_NOTFOUND);
  ASSERT_EQ(pack.PackAddFile((dir / "Data\\Tiles.PNG").c_str(), false, ZPK_STORE_ZLIB), ZPK_OK);
  EXPECT_EQ(pack.PackAddFile((dir / "Data/Tiles.PNG").c_str(), false, 0), ZPK_EXISTS);
  ASSERT_TRUE(WriteWholeFile(dir / "empty.txt", {}));
  ASSERT_EQ(pack.PackAddFile((dir / "empty.txt").c_str(), false, ZPK_STORE_CODEC), ZPK_OK);
  RefPack ref = Disk();
  ASSERT_EQ(ref.entries.size(), 2u);
  EXPECT_EQ(ref.entries[0].name, "Tiles.PNG");
  EXPECT_EQ(ref.entries[0].kind, 2);
  EXPECT_EQ(ref.entries[0].filetime, 1204286400u);
  EXPECT_EQ(RefUnpack(ref.entries[0]), content);
  EXPECT_EQ(ref.entries[1].unpacked, 0u);
  EXPECT_TRUE(ref.entries[1].stored.empty());
}

// Many files in one call: the same entries as adding them one by one, taken in order up to
// the first that cannot be added, with the pack written once.
TEST_F(PackTest, AddingManyFilesTakesThemInOrderUpToTheFirstFailure) {
  NewPack();
  Add("b.txt", Text("old b"));
  Add("c.txt", Text("old c"));
  ASSERT_EQ(mkdir((dir / "in").c_str(), 0700), 0);
  ASSERT_EQ(mkdir((dir / "in2").c_str(), 0700), 0);
  const std::vector<std::pair<std::string, Bytes>> files = {
      {"in/a.txt", Text("new a")},  {"in/b.txt", Text("new b")},   {"in/d.bin", Compressible(5000, 'd')},
      {"in2/A.TXT", Text("newer a")}, {"in2/c.txt", Text("new c")}};
  for (const auto& f : files) ASSERT_TRUE(WriteWholeFile(dir / f.first, f.second));
  std::vector<std::string> paths;
  for (const auto& f : files) paths.push_back(dir / f.first);
  auto names = [](const std::vector<std::string>& p) {
    std::vector<const char*> v;
    for (const std::string& s : p) v.push_back(s.c_str());
    return v;
  };

  // Without overwrite: b.txt is in the pack already, so only a.txt goes in.
  uint32_t added = 99;
  EXPECT_EQ(pack.PackAddFiles(names(paths).data(), 5, false, ZPK_STORE_ZLIB, added), ZPK_EXISTS);
  EXPECT_EQ(added, 1u);
  EXPECT_EQ(pack.PackContainFiles(), 3u);
  EXPECT_EQ(Data("a.txt"), Text("new a"));
  EXPECT_EQ(Data("b.txt"), Text("old b"));

  // With overwrite: every one, the later A.TXT taking a.txt's place, replacements in place.
  EXPECT_EQ(pack.PackAddFiles(names(paths).data(), 5, true, ZPK_STORE_ZLIB, added), ZPK_OK);
  EXPECT_EQ(added, 5u);
  RefPack ref = Disk();
  std::vector<std::string> order;
  for (const RefEntry& e : ref.entries) order.push_back(e.name);
  EXPECT_EQ(order, (std::vector<std::string>{"b.txt", "c.txt", "A.TXT", "d.bin"}));
  EXPECT_EQ(Data("a.txt"), Text("newer a"));
  EXPECT_EQ(Data("b.txt"), Text("new b"));
  EXPECT_EQ(Data("c.txt"), Text("new c"));
  EXPECT_EQ(Data("d.bin"), Compressible(5000, 'd'));
  EXPECT_EQ(ref.entries[3].kind, ZPK_STORE_ZLIB);

  // A missing file in the middle: those before it go in, the rest not.
  const std::vector<std::string> gap = {dir / "in/a.txt", dir / "in/none.txt", dir / "in/d.bin"};
  ASSERT_EQ(pack.PackDeleteFile("a.txt"), ZPK_OK);
  ASSERT_EQ(pack.PackDeleteFile("d.bin"), ZPK_OK);
  EXPECT_EQ(pack.PackAddFiles(names(gap).data(), 3, false, 0, added), ZPK_NOTFOUND);
  EXPECT_EQ(added, 1u);
  uint32_t at;
  EXPECT_EQ(pack.PackSearchFile("a.txt", at), 1);
  EXPECT_EQ(pack.PackSearchFile("d.bin", at), 0);

  // A write that fails takes nothing in, leaves the pack as it was and says why.
  pack.Close();
  const Bytes before = ReadWholeFile(name);
  ASSERT_EQ(pack.Open(name.c_str()), 1);
  {
    FileSizeLimit full(before.size() + 100);
    EXPECT_EQ(pack.PackAddFiles(names(paths).data(), 5, true, ZPK_STORE_RAW, added), ZPK_FAILED);
  }
  EXPECT_EQ(added, 0u);
  EXPECT_EQ(pack.SystemError(), EFBIG);
  EXPECT_EQ(ReadWholeFile(name), before);
  EXPECT_EQ(FolderFiles(), (std::vector<std::string>{"in", "in2", "test.zpk"}));
}

TEST_F(PackTest, ExtractWritesPlainNamesInsideTheFolder) {
  ASSERT_EQ(mkdir((dir / "out").c_str(), 0700), 0);
  RefEntry escape = RawEntry("../escape.txt", Text("outside?"));
  RefEntry dots = RawEntry("..", Text("dots"));
  RefEntry fine = RawEntry("fine.txt", Text("fine"));
  RefEntry empty = RawEntry("empty.txt", {});
  ASSERT_TRUE(WriteWholeFile(name, RefWriteV2({escape, dots, fine, empty})));
  ASSERT_EQ(pack.Open(name.c_str()), 1);
  ASSERT_EQ(pack.PackValid(), 1);
  TempPath out = dir / "out";
  EXPECT_EQ(pack.PackExtractFile(out.c_str(), 0u, false), ZPK_OK);
  EXPECT_EQ(ReadWholeFile(dir / "out/escape.txt"), Text("outside?"));
  EXPECT_EQ(pack.Exists((dir / "escape.txt").c_str()), 0);
  EXPECT_EQ(pack.PackExtractFile(out.c_str(), 1u, true), ZPK_FAILED);
  EXPECT_EQ(pack.PackExtractFile((out + "/").c_str(), "fine.txt", false), ZPK_OK);
  EXPECT_EQ(pack.PackExtractFile(out.c_str(), "fine.txt", false), ZPK_EXISTS);
  EXPECT_EQ(pack.PackExtractFile(out.c_str(), "fine.txt", true), ZPK_OK);
  EXPECT_EQ(pack.PackExtractFile(out.c_str(), "EMPTY.TXT", false), ZPK_OK);
  EXPECT_EQ(pack.SizeC((dir / "out/empty.txt").c_str()), 0u);
  EXPECT_EQ(pack.Exists((dir / "out/empty.txt").c_str()), 1);
  EXPECT_EQ(pack.PackExtractFile(out.c_str(), "none", false), ZPK_NOTFOUND);
  EXPECT_EQ(pack.PackExtractFile(out.c_str(), 9u, false), ZPK_NOTFOUND);
}

TEST_F(PackTest, VersionOnePacksAreReadAndConvertedOnChange) {
  Bytes big = Compressible(4000, 'v');
  RefEntry zl = ZlibEntry("gfx\\deep\\image.png", big);
  std::vector<RefEntry> entries = {RawEntry("sfx/boom.wav", Text("boom")), RawEntry("empty", {}), zl};
  ASSERT_TRUE(WriteWholeFile(name, RefWriteV1(entries)));

  ASSERT_EQ(pack.Open(name.c_str()), 1);
  ASSERT_EQ(pack.PackValid(), 1);
  ZPK_FILEINFO info;
  ASSERT_EQ(pack.PackGetFileInfo(&info, 2u, false), 1);
  EXPECT_STREQ(info.name, "image.png");
  EXPECT_EQ(info.filetime, 0u);
  EXPECT_EQ(Data("boom.wav"), Text("boom"));
  EXPECT_EQ(Data("image.png"), big);
  char vendor[5];
  ASSERT_EQ(pack.PackGetVendor(vendor), 1);
  EXPECT_STREQ(vendor, "OLD1");

  Add("new.txt", Text("new entry"));
  RefPack ref = Disk();
  EXPECT_EQ(ref.vendor, "OLD1");
  ASSERT_EQ(ref.entries.size(), 4u);
  EXPECT_EQ(ref.entries[0].name, "boom.wav");
  EXPECT_EQ(ref.entries[1].name, "empty");
  EXPECT_EQ(ref.entries[2].name, "image.png");
  EXPECT_EQ(RefUnpack(ref.entries[2]), big);
  EXPECT_EQ(ref.entries[3].name, "new.txt");
  EXPECT_EQ(pack.Exists((name + "_tmp").c_str()), 0);
}

TEST_F(PackTest, ConvertingEmptyPacksAndLeavingAStaleTemporaryAlone) {
  ASSERT_TRUE(WriteWholeFile(name, RefWriteV1({})));
  ASSERT_EQ(pack.Open(name.c_str()), 1);
  ASSERT_EQ(pack.PackValid(), 1);
  ASSERT_EQ(pack.ConvertPackFile(), 1);
  EXPECT_EQ(pack.PackValid(), 1);
  EXPECT_EQ(pack.ConvertPackFile(), 0);  // already version 2
  pack.Close();
  EXPECT_EQ(ReadWholeFile(name).size(), 28u);
  RefRead(ReadWholeFile(name));

  // A file in the way of the temporary name (someone's, or what a crash left) is left as
  // it is, and the change goes ahead beside it.
  Bytes v1 = RefWriteV1({RawEntry("a", Text("aaaa")), RawEntry("b", Text("bb"))});
  ASSERT_TRUE(WriteWholeFile(name, v1));
  ASSERT_TRUE(WriteWholeFile(name + "_tmp", Text("someone else's")));
  ASSERT_TRUE(WriteWholeFile(name + "_tmp2", Text("a crash's")));
  ASSERT_EQ(pack.Open(name.c_str()), 1);
  EXPECT_EQ(pack.PackDeleteFile("a"), ZPK_OK);
  EXPECT_EQ(pack.PackChangeVendor("NEW2"), 1);
  Add("c", Text("cccc"));
  RefPack ref = Disk();
  EXPECT_EQ(ref.vendor, "NEW2");
  ASSERT_EQ(ref.entries.size(), 2u);
  EXPECT_EQ(ref.entries[0].name, "b");
  EXPECT_EQ(ref.entries[1].name, "c");
  pack.Close();
  EXPECT_EQ(ReadWholeFile(name + "_tmp"), Text("someone else's"));
  EXPECT_EQ(ReadWholeFile(name + "_tmp2"), Text("a crash's"));
  EXPECT_EQ(FolderFiles(), (std::vector<std::string>{"test.zpk", "test.zpk_tmp", "test.zpk_tmp2"}));
}

// Extraction writes beside its target too: entries whose names are another's temporary
// name all come out whole, in either order, and so does one beside a stale temporary.
TEST_F(PackTest, EntriesNamedLikeATemporaryFileAllExtract) {
  const std::vector<RefEntry> entries = {RawEntry("x_tmp", Text("first")), RawEntry("x", Text("second")),
                                         RawEntry("y", Text("third")), RawEntry("y_tmp", Text("fourth"))};
  ASSERT_TRUE(WriteWholeFile(name, RefWriteV2(entries)));
  TempDir out;
  ASSERT_TRUE(WriteWholeFile(out / "z_tmp", Text("stale")));
  ASSERT_EQ(pack.Open(name.c_str(), ZFILE_MODE_READ), 1);
  for (uint32_t i = 0; i < 4; i++) EXPECT_EQ(pack.PackExtractFile(out.path().c_str(), i, false), ZPK_OK) << i;
  for (const RefEntry& e : entries) EXPECT_EQ(ReadWholeFile(out / e.name), e.stored) << e.name;
  pack.Close();
  ASSERT_TRUE(WriteWholeFile(name, RefWriteV2({RawEntry("z", Text("fifth"))})));
  ASSERT_EQ(pack.Open(name.c_str(), ZFILE_MODE_READ), 1);
  EXPECT_EQ(pack.PackExtractFile(out.path().c_str(), 0u, false), ZPK_OK);
  EXPECT_EQ(ReadWholeFile(out / "z"), Text("fifth"));
  EXPECT_EQ(ReadWholeFile(out / "z_tmp"), Text("stale"));
}

// A change that fails part way through its writes leaves the pack on disk exactly as it
// was, no temporary file, and the pack still open and readable; the same change succeeds
// once the disk has room.
TEST_F(PackTest, AFailedWriteLeavesThePackAsItWas) {
  const Bytes large = Compressible(6000, 'L');
  struct Case {
    const char* what;
    bool grows;
    size_t after;  // entries after the change
    std::function<int(ClassZFile&)> change;
  } cases[] = {
      {"append", true, 4, [&](ClassZFile& p) {
         return p.PackAddFileData("new.bin", large.data(), 6000, false, ZPK_STORE_RAW, 0);
       }},
      {"replace larger", true, 3, [&](ClassZFile& p) {
         return p.PackAddFileData("entry0.dat", large.data(), 6000, true, ZPK_STORE_RAW, 0);
       }},
      {"replace smaller", false, 3, [&](ClassZFile& p) {
         return p.PackAddFileData("entry2.dat", large.data(), 10, true, ZPK_STORE_RAW, 0);
       }},
      {"delete first", false, 2, [](ClassZFile& p) { return p.PackDeleteFile(0u); }},
      {"delete last", false, 2, [](ClassZFile& p) { return p.PackDeleteFile(2u); }},
      {"vendor", false, 3, [](ClassZFile& p) { return p.PackChangeVendor("NEW1") ? ZPK_OK : ZPK_FAILED; }},
  };
  std::vector<Bytes> contents;
  for (size_t i = 0; i < 3; i++) contents.push_back(Compressible(300 + 100 * i, uint8_t('a' + i)));
  for (const Case& c : cases) {
    std::remove(name.c_str());
    NewPack();
    for (size_t i = 0; i < 3; i++) Add("entry" + std::to_string(i) + ".dat", contents[i], ZPK_STORE_RAW);
    pack.Close();
    const Bytes before = ReadWholeFile(name);
    std::vector<rlim_t> limits = {0, 100, before.size() / 2};
    if (c.grows) limits.push_back(before.size());  // the old bytes may all be rewritten
    for (rlim_t limit : limits) {
      SCOPED_TRACE(testing::Message() << c.what << ", files limited to " << limit << " bytes");
      ASSERT_EQ(pack.Open(name.c_str()), 1);
      int result;
      {
        FileSizeLimit full(limit);
        result = c.change(pack);
      }
      EXPECT_EQ(result, ZPK_FAILED);
      EXPECT_EQ(ReadWholeFile(name), before);
      EXPECT_EQ(pack.Exists((name + "_tmp").c_str()), 0);
      EXPECT_EQ(pack.PackValid(), 1);
      EXPECT_EQ(pack.PackContainFiles(), 3u);
      EXPECT_EQ(Data("entry1.dat"), contents[1]);
      pack.Close();
    }
    ASSERT_EQ(pack.Open(name.c_str()), 1);
    EXPECT_EQ(c.change(pack), ZPK_OK) << c.what;
    EXPECT_EQ(Disk().entries.size(), c.after);
    pack.Close();
  }

  // A pack opened for reading is never changed.
  ASSERT_EQ(pack.Open(name.c_str(), ZFILE_MODE_READ), 1);
  const Bytes kept = ReadWholeFile(name);
  EXPECT_EQ(pack.PackAddFileData("x.bin", "xyz", 3, false, 0, 0), ZPK_FAILED);
  EXPECT_EQ(pack.PackDeleteFile(0u), ZPK_FAILED);
  EXPECT_EQ(ReadWholeFile(name), kept);
  pack.Close();

  // Converting a version-1 pack, creating a pack and extracting over an existing file.
  const Bytes v1 = RefWriteV1({RawEntry("a", Text("aaaa")), RawEntry("b", large)});
  ASSERT_TRUE(WriteWholeFile(name, v1));
  ASSERT_EQ(pack.Open(name.c_str()), 1);
  ASSERT_TRUE(WriteWholeFile(dir / "b", Text("keep me")));
  {
    FileSizeLimit full(v1.size() / 2);
    EXPECT_EQ(pack.ConvertPackFile(), 0);
    EXPECT_EQ(pack.PackExtractFile(dir.path().c_str(), "b", true), ZPK_FAILED);
    ClassZFile other;
    EXPECT_EQ(other.PackNew((dir / "new.zpk").c_str()), ZPK_OK);
    FileSizeLimit nothing(0);
    EXPECT_EQ(other.PackNew((dir / "none.zpk").c_str()), ZPK_FAILED);
  }
  EXPECT_EQ(ReadWholeFile(name), v1);
  EXPECT_EQ(ReadWholeFile(dir / "b"), Text("keep me"));
  EXPECT_EQ(pack.Exists((dir / "none.zpk").c_str()), 0);
  EXPECT_EQ(pack.Exists((name + "_tmp").c_str()), 0);
  EXPECT_EQ(pack.Exists((dir / "b_tmp").c_str()), 0);
  EXPECT_EQ(Data("a"), Text("aaaa"));
  EXPECT_EQ(pack.ConvertPackFile(), 1);
  EXPECT_EQ(pack.PackExtractFile(dir.path().c_str(), "b", true), ZPK_OK);
  EXPECT_EQ(ReadWholeFile(dir / "b"), large);
}

// Every field a hostile pack can set: the pack is refused at Open, or the entry gives an
// error result; never a crash, an overflow or a huge allocation.
TEST_F(PackTest, HostileFieldsGiveErrors) {
  Bytes data = Compressible(600, 'h');
  RefEntry zl = ZlibEntry("z.bin", data);
  const Bytes good = RefWriteV2({RawEntry("a.bin", Text("first entry")), zl});
  const size_t rec0 = 28, rec1 = 28 + 92 + 11, table = good.size() - 8;

  struct Case {
    const char* what;
    std::function<void(Bytes&)> mutate;
    bool valid;       // still a pack after Open
    int entry;        // which entry to read
    int result;       // PackGetFileData of that entry
  } cases[] = {
      {"count huge", [](Bytes& b) { Put32(b, 16, 0xFFFFFFFFu); Reseal(b); }, false, 0, 0},
      {"count past the file", [&](Bytes& b) { Put32(b, 16, static_cast<uint32_t>(b.size() / 4)); Reseal(b); }, false, 0, 0},
      {"header size 27", [](Bytes& b) { Put32(b, 8, 27); Reseal(b); }, false, 0, 0},
      {"header size 29", [](Bytes& b) { Put32(b, 8, 29); Reseal(b); }, false, 0, 0},
      {"header size huge", [](Bytes& b) { Put32(b, 8, 0x7FFFFFFF); Reseal(b); }, false, 0, 0},
      {"checksum wrong", [](Bytes& b) { b[20] ^= 1; }, false, 0, 0},
      {"truncated header", [](Bytes& b) { b.resize(20); }, false, 0, 0},
      {"table cut off", [](Bytes& b) { b.resize(b.size() - 3); }, false, 0, 0},
      {"offset inside header", [&](Bytes& b) { Put32(b, table, 10); }, false, 0, 0},
      {"offset past table", [&](Bytes& b) { Put32(b, table + 4, 0xFFFFFF00u); }, false, 0, 0},
      {"offsets descending", [&](Bytes& b) { Put32(b, table + 4, 20 + 28); }, false, 0, 0},
      {"record size 91", [&](Bytes& b) { Put32(b, rec0, 91); }, true, 0, ZPK_NOTFOUND},
      {"record size 93", [&](Bytes& b) { Put32(b, rec0, 93); }, true, 0, ZPK_NOTFOUND},
      {"record size 0", [&](Bytes& b) { Put32(b, rec1, 0); }, true, 1, ZPK_NOTFOUND},
      {"stored past table", [&](Bytes& b) { Put32(b, rec1 + 76, 0xFFFFFFF0u); }, true, 1, ZPK_NOTFOUND},
      {"raw sizes differ", [&](Bytes& b) { Put32(b, rec0 + 72, 100000); }, true, 0, ZPK_BADDATA},
      {"raw unpacked smaller", [&](Bytes& b) { Put32(b, rec0 + 72, 3); }, true, 0, ZPK_BADDATA},
      {"unknown kind", [&](Bytes& b) { b[rec0 + 80] = 3; }, true, 0, ZPK_BADDATA},
      // Unpacked size 0 is an empty entry whatever the kind and stored bytes say.
      {"unpacked 0, unknown kind", [&](Bytes& b) { Put32(b, rec0 + 72, 0); b[rec0 + 80] = 3; }, true, 0, ZPK_OK},
      {"unpacked 0, raw with stored bytes", [&](Bytes& b) { Put32(b, rec0 + 72, 0); }, true, 0, ZPK_OK},
      {"unpacked 0, zlib", [&](Bytes& b) { Put32(b, rec1 + 72, 0); }, true, 1, ZPK_OK},
      {"zlib unpacked huge", [&](Bytes& b) { Put32(b, rec1 + 72, 0xFFFFFFFFu); }, true, 1, ZPK_BADDATA},
      {"zlib unpacked larger", [&](Bytes& b) { Put32(b, rec1 + 72, 700); }, true, 1, ZPK_BADDATA},
      {"zlib unpacked smaller", [&](Bytes& b) { Put32(b, rec1 + 72, 500); }, true, 1, ZPK_BADDATA},
      {"zlib stream garbage", [&](Bytes& b) { for (size_t i = 0; i < 20; i++) b[rec1 + 92 + i] ^= 0x5A; }, true, 1, ZPK_BADDATA},
      {"as codec stream", [&](Bytes& b) { b[rec1 + 80] = 1; }, true, 1, ZPK_BADDATA},
      {"codec unpacked huge", [&](Bytes& b) { b[rec1 + 80] = 1; Put32(b, rec1 + 72, 0xFFFFFFFFu); }, true, 1, ZPK_BADDATA},
      {"name unterminated", [&](Bytes& b) { std::memset(b.data() + rec0 + 4, 'N', 64); }, true, 0, ZPK_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bytes = good;
    c.mutate(bytes);
    ASSERT_TRUE(WriteWholeFile(name, bytes));
    ClassZFile f;
    ASSERT_EQ(f.Open(name.c_str(), ZFILE_MODE_READ), 1);  // a plain file at least
    EXPECT_EQ(f.PackValid() != 0, c.valid);
    uint8_t* buffer = nullptr;
    uint32_t size = 0;
    int result = f.PackGetFileData(buffer, size, static_cast<uint32_t>(c.entry));
    EXPECT_EQ(result, c.valid ? c.result : ZPK_NOPACK);
    if (result != ZPK_OK) {
      EXPECT_EQ(buffer, nullptr);
    }
    ClassZMemory::DeAlloc(buffer);
    ZPK_FILEINFO info;
    if (f.PackGetFileInfo(&info, static_cast<uint32_t>(c.entry), false)) {
      EXPECT_LT(std::strlen(info.name), ZPK_NAME_SIZE);
    }
    EXPECT_NE(f.PackExtractFile(dir.path().c_str(), "missing", false), ZPK_OK);
    if (c.valid) {
      // The search by name checks each record as a read by index does, and a bad record
      // hides only itself.
      const char* names[] = {"a.bin", "z.bin"};
      bool readable = f.PackGetFileInfo(&info, static_cast<uint32_t>(c.entry), false);
      const char* found = readable ? info.name : names[c.entry];
      result = f.PackGetFileData(buffer, size, found);
      EXPECT_EQ(result, readable ? c.result : ZPK_NOTFOUND);
      ClassZMemory::DeAlloc(buffer);
      EXPECT_EQ(f.PackGetFileData(buffer, size, names[1 - c.entry]), ZPK_OK);
      ClassZMemory::DeAlloc(buffer);
    }
  }

  // An entry larger than the console could hold (64 MB), with stored data that could
  // expand to it, is refused as out of memory before anything is allocated.
  Bytes noise(400000);
  uint32_t x = 12345;
  for (uint8_t& v : noise) v = uint8_t((x = x * 1103515245u + 12345u) >> 24);
  RefEntry zbig = ZlibEntry("big.bin", noise), cbig = RawEntry("codec.bin", noise);
  cbig.kind = 1;  // a codec stream may expand 192 times its size
  for (uint32_t unpacked : {(64u << 20) + 1, 70u << 20}) {
    zbig.unpacked = cbig.unpacked = unpacked;
    ASSERT_TRUE(WriteWholeFile(name, RefWriteV2({zbig, cbig})));
    ClassZFile f;
    ASSERT_EQ(f.Open(name.c_str(), ZFILE_MODE_READ), 1);
    ASSERT_EQ(f.PackValid(), 1);
    for (uint32_t entry : {0u, 1u}) {
      uint8_t* buffer = nullptr;
      uint32_t size = 0;
      EXPECT_EQ(f.PackGetFileData(buffer, size, entry), ZPK_NOMEMORY) << entry << " " << unpacked;
      EXPECT_EQ(buffer, nullptr);
    }
  }

  // Version 1: the entry table past the file, and an entry's data past the file.
  Bytes v1 = RefWriteV1({RawEntry("a", Text("aaaa"))});
  Bytes huge = v1;
  Put32(huge, 16, 0x10000000u);
  ASSERT_TRUE(WriteWholeFile(name, huge));
  ASSERT_EQ(pack.Open(name.c_str()), 1);
  EXPECT_EQ(pack.PackValid(), 0);
  Bytes far = v1;
  Put32(far, 32 + 136, 0x7FFFFFFF);
  ASSERT_TRUE(WriteWholeFile(name, far));
  ASSERT_EQ(pack.Open(name.c_str()), 1);
  ASSERT_EQ(pack.PackValid(), 1);
  uint8_t* buffer = nullptr;
  uint32_t size = 0;
  EXPECT_EQ(pack.PackGetFileData(buffer, size, 0u), ZPK_NOTFOUND);
  EXPECT_EQ(pack.ConvertPackFile(), 0);
  EXPECT_EQ(ReadWholeFile(name), far);
}

}  // namespace
