#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "engine/core/zmod_file.h"
#include "tests/engine/core/file_size_limit.h"
#include "tests/support/fifo_guard.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; i++) v[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return v;
}

class FileTest : public ::testing::Test {
 protected:
  TempDir dir;
  ClassZFile file;
};

TEST_F(FileTest, RelativeNamesCompleteAgainstTheWorkingFolder) {
  ASSERT_EQ(mkdir((dir / "res").c_str(), 0700), 0);
  ASSERT_TRUE(WriteWholeFile(dir / "res/gfx.zpk", Pattern(10)));
  WorkingDir cwd(dir.path());
  char* real = realpath(dir.path().c_str(), nullptr);
  std::string expected = std::string(real) + "/";
  std::free(real);

  ASSERT_EQ(file.Open("res\\gfx.zpk", ZFILE_MODE_READ), 1);
  EXPECT_EQ(Narrow(file.GetCurrentFolder()), expected);
  EXPECT_EQ(Narrow(file.GetOwnName()), expected + "res/gfx.zpk");
  EXPECT_EQ(file.Size(), 10u);
  EXPECT_EQ(file.SizeC("res/gfx.zpk"), 10u);
  EXPECT_EQ(std::string(file.GetCurrentFolderC()), expected);
}

TEST_F(FileTest, SetCurrentFolderResolvesDotSegments) {
  struct Case {
    const char* start;
    const char* folder;
    const char* result;
  } cases[] = {
      {"/", "/a/b/../c/./", "/a/c/"},
      {"/", "/../x", "/x/"},
      {"/", "\\a\\b", "/a/b/"},
      {"/base/", "sub/../other", "/base/other/"},
      {"/base/deep/", "../../..", "/"},
      {"/base/", "./", "/base/"},
  };
  for (const Case& c : cases) {
    ClassZFile f;
    ASSERT_EQ(f.SetCurrentFolder(c.start), 1);
    EXPECT_EQ(f.SetCurrentFolder(c.folder), 1) << c.folder;
    EXPECT_EQ(Narrow(f.GetCurrentFolder()), c.result) << c.start << " + " << c.folder;
  }
}

TEST_F(FileTest, ReadAndWriteAreAllOrNothing) {
  ASSERT_EQ(file.New(dir / "a.bin"), 1);
  std::vector<uint8_t> data = Pattern(64);
  EXPECT_EQ(file.Write(data.data(), 0), 0);
  ASSERT_EQ(file.Write(data.data(), 64), 1);
  file.Seek(60);
  uint8_t buffer[8];
  EXPECT_EQ(file.Read(buffer, 8), 0);  // only 4 bytes left
  file.Seek(0);
  EXPECT_EQ(file.Read(buffer, 0), 0);
  ASSERT_EQ(file.Read(buffer, 8), 1);
  EXPECT_EQ(0, std::memcmp(buffer, data.data(), 8));
  // A write right after a read (and back) lands at the current position.
  ASSERT_EQ(file.Write("XY", 2), 1);
  ASSERT_EQ(file.Read(buffer, 2), 1);
  EXPECT_EQ(buffer[0], data[10]);
  EXPECT_EQ(file.Tell(), 12u);
  file.Close();
  std::vector<uint8_t> disk = ReadWholeFile(dir / "a.bin");
  EXPECT_EQ(disk[8], 'X');
  EXPECT_EQ(disk[9], 'Y');
  EXPECT_EQ(file.Read(buffer, 1), 0);
  EXPECT_EQ(file.Tell(), 0u);
}

TEST_F(FileTest, OpenModesAndFailures) {
  ASSERT_TRUE(WriteWholeFile(dir / "x.bin", Pattern(5)));
  EXPECT_EQ(file.Open(dir / "x.bin", 4), 0);
  EXPECT_EQ(file.IsOpen(), 0);
  EXPECT_EQ(file.Open(dir / "missing.bin", ZFILE_MODE_READ), 0);
  ASSERT_EQ(file.Open(dir / "x.bin", ZFILE_MODE_READ), 1);
  EXPECT_EQ(file.Write("a", 1), 0);  // read-only mode
  ASSERT_EQ(file.Open(dir / "x.bin", ZFILE_MODE_WRITE), 1);  // "wb" truncates
  EXPECT_EQ(file.Size(), 0u);
}

// Only a regular file opens: a folder, a FIFO or a device of the name fails at once, for
// every call that opens by name (a FIFO's open would wait for its other end for ever).
TEST_F(FileTest, OnlyRegularFilesOpenAndNothingWaitsOnAFifo) {
  const struct Stand {
    const char* what;
    int error;
    std::function<bool(const std::string&)> make;  // sets the name up; false: cannot here
  } stands[] = {
      {"a FIFO", ENXIO, nullptr},
      {"a folder", EISDIR, [](const std::string& p) { return mkdir(p.c_str(), 0700) == 0; }},
      {"a device", ENXIO, [](const std::string& p) { return symlink("/dev/null", p.c_str()) == 0; }},
  };
  const struct Call {
    const char* what;
    std::function<int(ClassZFile&, const std::string&)> call;  // the result for failure is 0
  } calls[] = {
      {"Open to read", [](ClassZFile& f, const std::string& p) { return f.Open(p.c_str(), ZFILE_MODE_READ); }},
      {"Open to update", [](ClassZFile& f, const std::string& p) { return f.Open(p.c_str(), ZFILE_MODE_UPDATE); }},
      {"Open to write", [](ClassZFile& f, const std::string& p) { return f.Open(p.c_str(), ZFILE_MODE_WRITE); }},
      {"New", [](ClassZFile& f, const std::string& p) { return f.New(p.c_str()); }},
      {"Size", [](ClassZFile& f, const std::string& p) { return static_cast<int>(f.SizeC(p.c_str())); }},
  };
  ASSERT_EQ(mkdir((dir / "res").c_str(), 0700), 0);
  const std::string name = dir / "res/gfx.zpk";
  for (const Stand& s : stands) {
    for (const Call& c : calls) {
      SCOPED_TRACE(std::string(s.what) + ", " + c.what);
      dir.Clear();
      ASSERT_EQ(mkdir((dir / "res").c_str(), 0700), 0);
      std::unique_ptr<FifoGuard> fifo;
      if (s.make)
        ASSERT_TRUE(s.make(name));
      else
        fifo = std::make_unique<FifoGuard>(name);
      ClassZFile f;
      EXPECT_EQ(c.call(f, name), 0);
      EXPECT_EQ(f.IsOpen(), 0);
      if (std::string(c.what) != "Size") {  // Size opens a file object of its own
        EXPECT_EQ(f.SystemError(), s.error) << std::strerror(f.SystemError());
      }
      EXPECT_EQ(f.PackValid(), 0);
      if (fifo) {
        EXPECT_FALSE(fifo->Rescued()) << "the call waited on the FIFO";
      }
    }
  }
  // A pack's new entry from a FIFO fails as a missing file does, the pack unchanged.
  dir.Clear();
  ClassZFile pack;
  ASSERT_EQ(pack.PackNew((dir / "p.zpk").c_str()), ZPK_OK);
  FifoGuard fifo(dir / "entry.bin");
  EXPECT_EQ(pack.PackAddFile((dir / "entry.bin").c_str(), false, ZPK_STORE_RAW), ZPK_NOTFOUND);
  EXPECT_FALSE(fifo.Rescued()) << "the pack waited on the FIFO";
  EXPECT_EQ(pack.PackContainFiles(), 0u);
}

TEST_F(FileTest, SizeMeasuresWithoutMovingAndComparesNamesExactly) {
  ASSERT_TRUE(WriteWholeFile(dir / "a.bin", Pattern(100)));
  ASSERT_TRUE(WriteWholeFile(dir / "A.bin", Pattern(30)));
  ASSERT_EQ(file.Open(dir / "a.bin", ZFILE_MODE_UPDATE), 1);
  file.Seek(40);
  EXPECT_EQ(file.Size(), 100u);
  EXPECT_EQ(file.Tell(), 40u);
  EXPECT_EQ(file.Size(Wide(dir / "A.bin")), 30u);  // another file, though equal ignoring case
  EXPECT_EQ(file.Size(Wide(dir / "a.bin")), 100u);
  EXPECT_EQ(file.Size(Wide(dir / "none.bin")), 0u);
  EXPECT_EQ(file.Tell(), 40u);
  file.Close();
  EXPECT_EQ(file.Size(), 0u);
}

TEST_F(FileTest, SetSizeTruncatesExtendsAndClampsThePosition) {
  EXPECT_EQ(file.SetSize(10), 0);  // nothing open
  ASSERT_TRUE(WriteWholeFile(dir / "a.bin", Pattern(100)));
  ASSERT_EQ(file.Open(dir / "a.bin", ZFILE_MODE_UPDATE), 1);
  file.Seek(50);
  ASSERT_EQ(file.SetSize(10), 1);
  EXPECT_EQ(file.Tell(), 10u);  // the end, so an append does not overwrite the last byte
  ASSERT_EQ(file.Write("Z", 1), 1);
  file.Seek(5);
  ASSERT_EQ(file.SetSize(20), 1);
  EXPECT_EQ(file.Tell(), 5u);
  file.Seek(0);
  ASSERT_EQ(file.SetSize(0), 1);
  file.Close();
  EXPECT_TRUE(ReadWholeFile(dir / "a.bin").empty());

  ASSERT_TRUE(WriteWholeFile(dir / "b.bin", Pattern(10)));
  ASSERT_EQ(file.Open(dir / "b.bin", ZFILE_MODE_UPDATE), 1);
  ASSERT_EQ(file.SetSize(16), 1);
  file.Close();
  std::vector<uint8_t> expect = Pattern(10);
  expect.resize(16, 0);
  expect[10] = 0;
  EXPECT_EQ(ReadWholeFile(dir / "b.bin"), expect);

  ASSERT_EQ(file.Open(dir / "b.bin", ZFILE_MODE_READ), 1);
  EXPECT_EQ(file.SetSize(4), 0);  // a read-only stream stays read-only
  EXPECT_EQ(file.Size(), 16u);
}

TEST_F(FileTest, SetSizeKeepsWrittenTail) {
  ASSERT_TRUE(WriteWholeFile(dir / "a.bin", Pattern(100)));
  ASSERT_EQ(file.Open(dir / "a.bin", ZFILE_MODE_UPDATE), 1);
  file.Seek(100);
  ASSERT_EQ(file.Write("tail", 4), 1);  // buffered until the truncation flushes it
  ASSERT_EQ(file.SetSize(102), 1);
  file.Close();
  std::vector<uint8_t> disk = ReadWholeFile(dir / "a.bin");
  ASSERT_EQ(disk.size(), 102u);
  EXPECT_EQ(disk[100], 't');
  EXPECT_EQ(disk[101], 'a');
}

TEST_F(FileTest, MoveDataHandlesOverlapInBothDirections) {
  struct Case {
    uint32_t to, from, length, chunk;
  } cases[] = {
      {0, 100, 250, 100}, {100, 0, 250, 100}, {3, 0, 350, 7}, {0, 3, 350, 7}, {10, 400, 40, 64},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> data = Pattern(500);
    ASSERT_TRUE(WriteWholeFile(dir / "m.bin", data));
    ASSERT_EQ(file.Open(dir / "m.bin", ZFILE_MODE_UPDATE), 1);
    ASSERT_EQ(file.MoveData(c.to, c.from, c.length, c.chunk), 1);
    file.Close();
    std::vector<uint8_t> expect = data;
    std::memmove(expect.data() + c.to, data.data() + c.from, c.length);
    EXPECT_EQ(ReadWholeFile(dir / "m.bin"), expect) << c.to << " " << c.from;
  }
  ASSERT_EQ(file.Open(dir / "m.bin", ZFILE_MODE_UPDATE), 1);
  EXPECT_EQ(file.MoveData(0, 10, 10, 0), 0);
  EXPECT_EQ(file.MoveData(0, 10, 0, 5), 1);
  EXPECT_EQ(file.MoveData(0, 490, 100, 64), 0);  // runs past the end
  // A write that fails when its bytes leave the stream's buffer is still a failure.
  {
    FileSizeLimit full(500);
    EXPECT_EQ(file.MoveData(450, 0, 100, 100), 0);
  }
}

TEST_F(FileTest, FolderListingEndsAndCloses) {
  EXPECT_EQ(file.OpenFolder(Wide(dir / "missing")), 0);
  uint16_t name[ZFILE_FOLDER_ENTRY];
  EXPECT_EQ(file.ReadFolder(name), 0);

  ASSERT_EQ(file.NewFolder(Wide(dir / "sub")), 1);
  ASSERT_TRUE(WriteWholeFile(dir / "one.txt", Pattern(1)));
  ASSERT_EQ(file.OpenFolder(dir.path().c_str(), "*.txt"), 1);
  std::set<std::string> seen;
  while (file.ReadFolder(name)) seen.insert(Narrow(name));
  EXPECT_EQ(seen, (std::set<std::string>{".", "..", "sub", "one.txt"}));
  EXPECT_EQ(file.ReadFolder(name), 0);
  EXPECT_EQ(name[0], 0);

  // A listing that cannot be read (its descriptor closed under it) is an error, not an
  // empty folder. The listing takes the lowest free descriptor.
  const int next = dup(0);
  ASSERT_GE(next, 0);
  close(next);
  ASSERT_EQ(file.OpenFolder(dir.path().c_str()), 1);
  ASSERT_EQ(close(next), 0);
  EXPECT_EQ(file.ReadFolder(name), -1);
  EXPECT_EQ(name[0], 0);
  EXPECT_EQ(file.ReadFolder(name), 0);  // the listing is closed
}

TEST_F(FileTest, FoldersAreUsableAndAttributesFollowTheMode) {
  ASSERT_EQ(file.NewFolder((dir / "sub").c_str()), 1);
  struct stat st;
  ASSERT_EQ(stat((dir / "sub").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_TRUE(WriteWholeFile(dir / "sub/inner.txt", Pattern(3)));  // the folder can be entered

  ASSERT_TRUE(WriteWholeFile(dir / "ro.txt", Pattern(3)));
  ASSERT_EQ(chmod((dir / "ro.txt").c_str(), 0444), 0);
  EXPECT_EQ(file.GetAttributesC((dir / "sub").c_str()), ZFILE_ATTR_FOLDER);
  EXPECT_EQ(file.GetAttributesC((dir / "sub/inner.txt").c_str()), ZFILE_ATTR_FILE);
  EXPECT_EQ(file.GetAttributesC((dir / "ro.txt").c_str()), ZFILE_ATTR_READONLY);
  EXPECT_EQ(file.GetAttributesC((dir / "none").c_str()), ZFILE_ATTR_NONE);
  EXPECT_EQ(file.GetAttributes(), ZFILE_ATTR_NONE);  // no open file
  EXPECT_EQ(file.IsFolder((dir / "sub").c_str()), 1);
  EXPECT_EQ(file.Exists((dir / "sub/inner.txt").c_str()), 1);

  EXPECT_EQ(file.DeleteFolder((dir / "sub").c_str()), 0);  // not empty
  EXPECT_EQ(file.Delete((dir / "sub/inner.txt").c_str()), 1);
  EXPECT_EQ(file.DeleteFolder((dir / "sub").c_str()), 1);
  EXPECT_EQ(file.Exists((dir / "sub").c_str()), 0);
}

TEST_F(FileTest, RenameTakesTheNewNameFirst) {
  ASSERT_TRUE(WriteWholeFile(dir / "old.txt", Pattern(4)));
  ASSERT_EQ(file.Rename((dir / "new.txt").c_str(), (dir / "old.txt").c_str()), 1);
  EXPECT_EQ(file.Exists((dir / "old.txt").c_str()), 0);
  EXPECT_EQ(file.SizeC((dir / "new.txt").c_str()), 4u);
}

TEST_F(FileTest, InformationGivesModificationTime) {
  ASSERT_TRUE(WriteWholeFile(dir / "t.txt", Pattern(4)));
  struct utimbuf times = {951868800, 1204286400};  // 2008-02-29 12:00:00 UTC
  ASSERT_EQ(utime((dir / "t.txt").c_str(), &times), 0);
  Z_FILEINFO info;
  ASSERT_EQ(file.GetInformationC(&info, (dir / "t.txt").c_str(), false), 1);
  EXPECT_EQ(info.attributes, ZFILE_ATTR_FILE);
  EXPECT_EQ(info.modified.year, 2008u);
  EXPECT_EQ(info.modified.month, 2);
  EXPECT_EQ(info.modified.day, 29);
  EXPECT_EQ(info.modified.hour, 12);
  EXPECT_EQ(ClassZStd::DateTimeToTimestamp(&info.modified), 1204286400u);
  EXPECT_EQ(file.GetInformationC(&info, (dir / "none").c_str(), false), 0);
}

TEST_F(FileTest, NamesThatDoNotFitFailInsteadOfBeingCut) {
  std::string folder = dir.path() + "/";
  std::string longname = folder + std::string(ZFILE_MAX_FULLNAME - folder.size() + 1, 'n');
  std::string fits = longname.substr(0, ZFILE_MAX_FULLNAME);
  EXPECT_EQ(file.New(longname.c_str()), 0);
  EXPECT_EQ(file.New(Wide(longname)), 0);
  EXPECT_EQ(file.Exists(fits.c_str()), 0);  // nothing made under the cut name
  ASSERT_EQ(file.New(fits.c_str()), 1);
  file.Close();
  EXPECT_EQ(file.Delete(longname.c_str()), 0);
  EXPECT_EQ(file.Exists(fits.c_str()), 1);
  EXPECT_EQ(file.Rename(longname.c_str(), fits.c_str()), 0);
  EXPECT_EQ(file.SetCurrentFolder(std::string(600, 'a').c_str()), 0);
}

TEST(FileNames, FolderAndFileNameParts) {
  struct Case {
    const char* in;
    const char* folder;
    const char* file;
  } cases[] = {
      {"a\\b\\c.txt", "a/b/", "c.txt"},
      {"a/b\\c.txt", "a/b/", "c.txt"},
      {"plain.txt", "", "plain.txt"},
      {"dir/", "dir/", ""},
  };
  for (const Case& c : cases) {
    Wide a(c.in), b(c.in);
    EXPECT_EQ(Narrow(ClassZFile::GetFolderName(a.text)), c.folder) << c.in;
    EXPECT_EQ(Narrow(ClassZFile::GetFileName(b.text)), c.file) << c.in;
  }
}

TEST(FileNames, CheckFileNameAndFourCharacterCodes) {
  uint16_t out[ZFILE_NAME_CAPACITY];
  Wide own("/own/name.bin"), folder("/cur/");
  uint16_t cur[ZFILE_NAME_CAPACITY];
  std::memcpy(cur, folder.text, sizeof(cur));
  ASSERT_EQ(ZFile_CheckFileName(out, nullptr, own, cur), 1);
  EXPECT_EQ(Narrow(out), "/own/name.bin");
  ASSERT_EQ(ZFile_CheckFileName(out, Wide("res\\a.png"), own, cur), 1);
  EXPECT_EQ(Narrow(out), "/cur/res/a.png");
  ASSERT_EQ(ZFile_CheckFileName(out, Wide("C:\\x"), own, cur), 1);
  EXPECT_EQ(Narrow(out), "C:/x");

  EXPECT_EQ(ZFile_LongFCC("ZPK2"), 0x324B505Au);
  char fcc[5];
  ZFile_CharFCC(fcc, 0x324B505Au);
  EXPECT_STREQ(fcc, "ZPK2");
  EXPECT_EQ(ZFile_LongFCC(Wide("ZPK2")), 0x324B505Au);
}

}  // namespace
