// Runs the zpk program as a person would and checks its packs with the reference reader.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "tests/engine/core/pack_reference.h"
#include "tests/engine/core/temp_dir.h"
#include "tests/tools/tool_run.h"

namespace {

using namespace zpkref;

ToolRun Zpk(const std::string& arguments) { return RunTool(std::string(ZPK_PROGRAM) + " " + arguments); }

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
    const char* message;
  } cases[] = {
      {"list " + (dir / "plain.txt"), 1, "not a valid pack"},
      {"list " + (dir / "missing.zpk"), 1, "not found"},
      {"new " + (dir / "plain.txt"), 1, "already exists"},
      {"delete " + (dir / "plain.txt") + " x", 1, "not a valid pack"},
      {"add " + pack + " -k 7 x", 2, "usage"},
      {"frobnicate " + pack, 2, "usage"},
  };
  for (const Case& c : cases) {
    ToolRun run = Zpk(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << ": " << run.output;
  }
  ASSERT_EQ(Zpk("new " + pack).status, 0);
  ToolRun missing = Zpk("add " + pack + " " + (dir / "none.bin"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("not found"), std::string::npos);
  ToolRun gone = Zpk("delete " + pack + " none.bin");
  EXPECT_EQ(gone.status, 1);
  EXPECT_NE(gone.output.find("not found"), std::string::npos);
}

}  // namespace
