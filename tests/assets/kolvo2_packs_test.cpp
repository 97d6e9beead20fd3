// The four built packs: every entry, in the order the game takes them, and the same bytes
// again when the generators run once more (in this process, against the build's files).
#include <fstream>
#include <iterator>

#include "assets/kolvo2/data_set.h"
#include "tests/assets/kolvo2_packs.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(Kolvo2Packs, EveryEntryInTheGamesOrder) {
  struct Case {
    const char* file;
    std::vector<std::string> names;
  };
  // Graphics go by name (any order would do; this is the loading order); the closing
  // screen's pictures in pairs; effects and music by position.
  const Case cases[] = {
      {"gfx.zpk",
       {"splash.bmp", "stdsprite.bmp", "zoltlogo.3ds", "zoltbanner.png", "logo.png", "gfont.bmp", "gmask.bmp",
        "keyfont.bmp", "kbkey.png", "menu.3ds", "hud.bmp", "title.bmp", "upcoming.bmp"}},
      {"games.zpk", {"kolvo2a.png", "kolvo2b.png", "pellaxa.png", "pellaxb.png"}},
      {"sfx.zpk",
       {"menu.wav", "drop.wav", "lines.wav", "lock.wav", "logo.wav", "levelup.wav", "gameover.wav", "highscore.wav"}},
      {"bgm.zpk", {"title.mod", "second.mod"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(PackNames(c.file), c.names);
  }
  // Pictures for the closing screen come in pairs, 96 pixels wide.
  const std::vector<std::string> games = PackNames("games.zpk");
  EXPECT_EQ(games.size() % 2, 0u);
  for (const std::string& name : games) EXPECT_EQ(DecodeFull(PackEntry("games.zpk", name)).width, 96u) << name;
}

TEST(Kolvo2Packs, GeneratorsMakeTheSameBytesEveryRun) {
  const std::vector<k2data::Pack> packs = k2data::BuildPacks(KOLVO2_TUNES_DIR);
  ASSERT_EQ(packs.size(), 4u);
  TempDir folder;
  for (const k2data::Pack& pack : packs) {
    SCOPED_TRACE(pack.file);
    // The entries as the build stored them.
    const std::vector<std::string> names = PackNames(pack.file);
    ASSERT_EQ(names.size(), pack.entries.size());
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(names[i], pack.entries[i].name);
      EXPECT_TRUE(PackEntry(pack.file, names[i]) == pack.entries[i].bytes) << names[i];
    }
    // And the whole pack file, written again.
    const std::string path = folder / pack.file;
    ASSERT_EQ(k2data::WritePack(path, pack.entries), "");
    EXPECT_TRUE(ReadFile(path) == ReadFile(PackPath(pack.file)));
  }
}

TEST(Kolvo2Packs, WritingAPackThatCannotBeMadeLeavesNothingBehind) {
  TempDir folder;
  const std::string path = folder / "no-such-folder/x.zpk";
  EXPECT_NE(k2data::WritePack(path, {{"a.bin", {1, 2, 3}}}), "");
  EXPECT_EQ(ReadFile(path).size(), 0u);
  EXPECT_EQ(ReadFile(path + ".part").size(), 0u);
}

}  // namespace
