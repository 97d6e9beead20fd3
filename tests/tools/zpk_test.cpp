// Runs the zpk program as a person would and checks its packs with the reference reader.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "tests/engine/core/file_size_limit.h"
#include "tests/engine/core/pack_reference.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/tool_run.h"

namespace {

using namespace zpkref;

ToolRun Zpk(const std::string& arguments) { return RunTool(ZPK_PROGRAM, arguments); }

class ZpkTool : public ::testing::Test {
 protected:
  TempDir dir;
  std::string pack = dir / "data.zpk";
};

TEST_F(ZpkTool, MakesListsExtractsAndDeletes) {
  Bytes art = Compressible(4000, 'g');
  ASSERT_TRUE(WriteWholeFile(dir / "art.bin", art));
  ASSERT_TRUE(WriteWholeFile(dir / "note.txt", Text("a short note")));
  ASSERT_EQ(Zpk("new " + pack + " -v GAME").status, 0);
  ASSERT_EQ(Zpk("add " + pack + " -k 1 " + (dir / "art.bin")).status, 0);
  ASSERT_EQ(Zpk("add " + pack + " -k 0 " + (dir / "note.txt")).status, 0);

  RefPack ref = RefRead(ReadWholeFile(pack));
  EXPECT_EQ(ref.vendor, "GAME");
  ASSERT_EQ(ref.entries.size(), 2u);
  EXPECT_EQ(ref.entries[0].kind, 1);
  EXPECT_EQ(RefUnpack(ref.entries[0]), art);

  ToolRun list = Zpk("list " + pack);
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.output.find(pack + ": vendor GAME, 2 entries\n"), std::string::npos) << list.output;
  char row[128];
  std::snprintf(row, sizeof(row), "%6u  %-63s %4u %10zu %10u", 0u, "art.bin", 1u,
                ref.entries[0].stored.size(), 4000u);
  EXPECT_NE(list.output.find(row), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("note.txt"), std::string::npos);

  ToolRun again = Zpk("add " + pack + " " + (dir / "note.txt"));
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.output.find("already exists"), std::string::npos) << again.output;
  EXPECT_EQ(Zpk("add " + pack + " -o -k 2 " + (dir / "note.txt")).status, 0);

  ASSERT_EQ(mkdir((dir / "out").c_str(), 0700), 0);
  ASSERT_EQ(Zpk("extract " + pack + " " + (dir / "out")).status, 0);
  EXPECT_EQ(ReadWholeFile(dir / "out/art.bin"), art);
  EXPECT_EQ(ReadWholeFile(dir / "out/note.txt"), Text("a short note"));

  ASSERT_EQ(Zpk("delete " + pack + " ART.BIN").status, 0);
  ref = RefRead(ReadWholeFile(pack));
  ASSERT_EQ(ref.entries.size(), 1u);
  EXPECT_EQ(ref.entries[0].name, "note.txt");
  list = Zpk("list " + pack);
  EXPECT_NE(list.output.find(pack + ": vendor GAME, 1 entry\n"), std::string::npos) << list.output;
}

TEST_F(ZpkTool, ConvertsVersionOnePacks) {
  ASSERT_TRUE(WriteWholeFile(pack, RefWriteV1({RawEntry("dir\\old.txt", Text("old data"))})));
  ASSERT_EQ(Zpk("convert " + pack).status, 0);
  RefPack ref = RefRead(ReadWholeFile(pack));
  ASSERT_EQ(ref.entries.size(), 1u);
  EXPECT_EQ(ref.entries[0].name, "old.txt");
  EXPECT_EQ(ref.entries[0].stored, Text("old data"));
}

TEST_F(ZpkTool, ListingShowsNoControlCharactersFromThePack) {
  ASSERT_TRUE(WriteWholeFile(pack, RefWriteV2({RawEntry("a\x1b]0;owned\x07.txt", Text("x"))},
                                              "\x1b[2J")));
  ToolRun list = Zpk("list " + pack);
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.output.find('\x1b'), std::string::npos);
  EXPECT_EQ(list.output.find('\x07'), std::string::npos);
  EXPECT_NE(list.output.find("a?]0;owned?.txt"), std::string::npos) << list.output;
}

TEST_F(ZpkTool, ErrorsSayWhatWentWrong) {
  ASSERT_TRUE(WriteWholeFile(dir / "plain.txt", Text("not a pack at all, just text")));
  struct Case {
    std::string arguments;
    int status;
    std::string message;
  } cases[] = {
      {"list " + (dir / "plain.txt"), 1, "not a valid pack"},
      {"list " + (dir / "missing.zpk"), 1, "not found"},
      {"new " + (dir / "plain.txt"), 1, "already exists"},
      {"delete " + (dir / "plain.txt") + " x", 1, "not a valid pack"},
      // A folder is no pack, and not a damaged one either.
      {"list " + dir.path(), 1, "zpk: " + dir.path() + ": is a folder, not a pack\n"},
      {"add " + dir.path() + " " + (dir / "plain.txt"), 1, "zpk: " + dir.path() + ": is a folder, not a pack\n"},
      {"extract " + dir.path() + " " + (dir / "out"), 1, "zpk: " + dir.path() + ": is a folder, not a pack\n"},
      {"delete " + dir.path() + " x", 1, "zpk: " + dir.path() + ": is a folder, not a pack\n"},
      {"convert " + dir.path(), 1, "zpk: " + dir.path() + ": is a folder, not a pack\n"},
      {"new " + dir.path(), 1, "zpk: " + dir.path() + ": is a folder, not a pack\n"},
      // Mistakes on the command line: named in the first line, the usage after it.
      {"add " + pack + " -k 7 x", 2, "zpk: -k 7: the kind is 0 (stored raw), 1 (engine codec) or 2 (zlib)\nusage"},
      {"add " + pack + " x -k", 2, "zpk: -k needs a value\nusage"},
      {"frobnicate " + pack, 2, "zpk: unknown command \"frobnicate\"\nusage"},
      {"frobnicate", 2, "zpk: unknown command \"frobnicate\"\nusage"},
      {"list", 2, "zpk: list: no PACK given\nusage"},
      {"new " + pack + " -v toolong", 2, "zpk: -v toolong: a vendor is 1 to 4 characters\nusage"},
      {"add " + pack, 2, "zpk: add needs at least one FILE\nusage"},
  };
  for (const Case& c : cases) {
    ToolRun run = Zpk(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    if (c.status == 2) {
      EXPECT_EQ(run.output.rfind(c.message, 0), 0u) << c.arguments << ": " << run.output;
    } else {
      EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << ": " << run.output;
    }
  }
  ASSERT_EQ(Zpk("new " + pack).status, 0);
  ToolRun missing = Zpk("add " + pack + " " + (dir / "none.bin"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("not found"), std::string::npos);
  ToolRun gone = Zpk("delete " + pack + " none.bin");
  EXPECT_EQ(gone.status, 1);
  EXPECT_NE(gone.output.find("not found"), std::string::npos);
}

// "extract" makes its folder when it is missing, and refuses a folder it cannot use with a
// message that names the folder rather than the first entry it failed to write.
TEST_F(ZpkTool, ExtractMakesAMissingFolder) {
  ASSERT_TRUE(WriteWholeFile(dir / "note.txt", Text("a short note")));
  ASSERT_EQ(Zpk("new " + pack).status, 0);
  ASSERT_EQ(Zpk("add " + pack + " " + (dir / "note.txt")).status, 0);
  ToolRun made = Zpk("extract " + pack + " " + (dir / "fresh"));
  EXPECT_EQ(made.status, 0) << made.output;
  EXPECT_EQ(ReadWholeFile(dir / "fresh/note.txt"), Text("a short note"));

  struct Case {
    std::string folder;
    const char* message;
  } cases[] = {
      {dir / "note.txt", "not a folder"},
      {dir / "no/such/parent", "No such file or directory"},
  };
  for (const Case& c : cases) {
    ToolRun run = Zpk("extract " + pack + " " + c.folder);
    EXPECT_EQ(run.status, 1) << c.folder;
    EXPECT_NE(run.output.find(c.folder + ": cannot extract into it: " + c.message), std::string::npos)
        << run.output;
  }
}

// The time an entry was added is the real time: zpk keeps no console's virtual clock.
TEST_F(ZpkTool, StampsEntriesWithTheRealTime) {
  ASSERT_TRUE(WriteWholeFile(dir / "now.txt", Text("stamped")));
  ASSERT_EQ(Zpk("new " + pack).status, 0);
  const uint32_t before = static_cast<uint32_t>(std::time(nullptr));
  ASSERT_EQ(Zpk("add " + pack + " " + (dir / "now.txt")).status, 0);
  const uint32_t after = static_cast<uint32_t>(std::time(nullptr));
  RefPack ref = RefRead(ReadWholeFile(pack));
  ASSERT_EQ(ref.entries.size(), 1u);
  EXPECT_GE(ref.entries[0].timeadded, before);
  EXPECT_LE(ref.entries[0].timeadded, after);
  struct stat st;
  ASSERT_EQ(stat((dir / "now.txt").c_str(), &st), 0);
  EXPECT_EQ(ref.entries[0].filetime, static_cast<uint32_t>(st.st_mtime));
}

// Adding many files renames a new pack over the old one once, not once per file.
TEST_F(ZpkTool, AddsManyFilesWithOneWriteOfThePack) {
  ASSERT_EQ(Zpk("new " + pack).status, 0);
  std::string files;
  for (int i = 0; i < 6; i++) {
    const std::string file = dir / ("f" + std::to_string(i) + ".txt");
    ASSERT_TRUE(WriteWholeFile(file, Text("file " + std::to_string(i))));
    files += " " + file;
  }
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, dir.path().c_str(), IN_MOVED_TO), 0);
  ASSERT_EQ(Zpk("add " + pack + files).status, 0);
  int renames = 0;
  alignas(inotify_event) char buffer[4096];
  for (ssize_t n; (n = read(watch, buffer, sizeof(buffer))) > 0;) {
    for (char* p = buffer; p < buffer + n;) {
      const inotify_event* e = reinterpret_cast<const inotify_event*>(p);
      renames += e->len && std::string(e->name) == "data.zpk";
      p += sizeof(inotify_event) + e->len;
    }
  }
  close(watch);
  EXPECT_EQ(renames, 1);
  EXPECT_EQ(RefRead(ReadWholeFile(pack)).entries.size(), 6u);
}

// Messages name the file or entry concerned, say which files went in before a failure,
// give the system's reason for a failed write and report a name cut to fit an entry.
TEST_F(ZpkTool, MessagesNameWhatTheyConcern) {
  ASSERT_TRUE(WriteWholeFile(dir / "one.txt", Text("one")));
  ASSERT_TRUE(WriteWholeFile(dir / "two.txt", Text("two")));
  const std::string longname = std::string(70, 'n') + ".txt";
  ASSERT_TRUE(WriteWholeFile(dir / longname, Text("long")));
  ASSERT_EQ(Zpk("new " + pack).status, 0);

  ToolRun gap = Zpk("add " + pack + " " + (dir / "one.txt") + " " + (dir / "two.txt") + " " +
                    (dir / "gone.txt") + " " + (dir / longname));
  EXPECT_EQ(gap.status, 1);
  EXPECT_NE(gap.output.find((dir / "gone.txt") + ": not found; added before it: " + (dir / "one.txt") +
                            ", " + (dir / "two.txt")),
            std::string::npos)
      << gap.output;
  EXPECT_EQ(RefRead(ReadWholeFile(pack)).entries.size(), 2u);

  ToolRun first = Zpk("add " + pack + " " + (dir / "one.txt"));
  EXPECT_NE(first.output.find((dir / "one.txt") +
                              ": already exists; nothing was added; -o replaces entries of the same name\n"),
            std::string::npos)
      << first.output;

  ToolRun cut = Zpk("add " + pack + " " + (dir / longname));
  EXPECT_EQ(cut.status, 0);
  const std::string stored = std::string(59, 'n') + ".txt";
  EXPECT_NE(cut.output.find("stored as \"" + stored + "\""), std::string::npos) << cut.output;
  EXPECT_EQ(RefRead(ReadWholeFile(pack)).entries.back().name, stored);

  // Extracting over a file that is there names the entry.
  ASSERT_EQ(mkdir((dir / "out").c_str(), 0700), 0);
  ASSERT_TRUE(WriteWholeFile(dir / "out/two.txt", Text("mine")));
  ToolRun extract = Zpk("extract " + pack + " " + (dir / "out"));
  EXPECT_EQ(extract.status, 1);
  EXPECT_NE(extract.output.find("zpk: two.txt: already exists; -o overwrites the files that are there\n"),
            std::string::npos)
      << extract.output;
  ToolRun named = Zpk("extract " + pack + " " + (dir / "out") + " two.txt");
  EXPECT_NE(named.output.find("zpk: two.txt: already exists; -o overwrites the files that are there\n"),
            std::string::npos)
      << named.output;

  // A write that fails says why, and nothing goes in.
  const Bytes before = ReadWholeFile(pack);
  ASSERT_TRUE(WriteWholeFile(dir / "big.bin", Bytes(4000, 7)));
  ToolRun full;
  {
    FileSizeLimit limit(before.size() + 50);  // the program inherits it
    full = Zpk("add " + pack + " -o -k 0 " + (dir / "one.txt") + " " + (dir / "big.bin"));
  }
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.output.find(pack + ": failed reading or writing a file: " + std::strerror(EFBIG) +
                             "; nothing was added"),
            std::string::npos)
      << full.output;
  EXPECT_EQ(ReadWholeFile(pack), before);
}

}  // namespace
