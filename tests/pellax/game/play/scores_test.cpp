// Messages and popups, the score text, the high-score table and its file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "pellax/base/canvas.h"
#include "pellax/game/play/messages.h"
#include "tests/engine/core/file_size_limit.h"
#include "tests/pellax/game/game_fixture.h"
#include "tests/support/fifo_guard.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ScoreText, ThousandsAreGrouped) {
  struct row {
    int32_t score;
    const char* text;
  };
  const row rows[] = {{0, "0"},         {999, "999"},         {1000, "1,000"},        {3000, "3,000"},
                      {12345, "12,345"}, {999999, "999,999"}, {1000000, "1,000,000"}, {1234567, "1,234,567"}};
  for (const row& r : rows) {
    char text[24];
    format_score(text, sizeof text, r.score);
    EXPECT_STREQ(text, r.text);
  }
}

TEST(GrowingText, GrowsThenStandsThenEnds) {
  show_message("GET READY");
  EXPECT_EQ(update_message(0), 1);
  EXPECT_EQ(message.scale, 1);
  EXPECT_EQ(update_message(12800), 1);  // half the growing time
  EXPECT_EQ(message.scale, 1 + 25 * 50);
  // Past the growing time: the rest of the step comes off the life in the same call.
  EXPECT_EQ(update_message(12800 + 25000), 1);
  EXPECT_EQ(message.scale, 1 + 25 * 100);
  EXPECT_EQ(message.life, 600);
  EXPECT_EQ(update_message(600), 0);
}

TEST(GrowingText, PopupLinesEndTogetherAfterFourHundredTicks) {
  add_popup("WAVE 1 COMPLETE", "NEXT UP", "- SHIELD UP! -");
  EXPECT_EQ(update_popups(300 * 256), 1);
  EXPECT_EQ(update_popups(99 * 256), 1);
  EXPECT_EQ(update_popups(256), 0);
}

// At full size every line of a wave popup stays inside the view: the longest wave names
// come within a few pixels of its edges.
TEST(GrowingText, WavePopupsFitTheViewAtFullSize) {
  camera_x = 224 * 256;
  camera_y = 264 * 256;
  std::vector<uint16_t> canvas(kCanvasPixels);
  for (int32_t level = 0; level < 34; ++level) {
    SCOPED_TRACE(level);
    std::fill(canvas.begin(), canvas.end(), 0);
    add_popup("WAVE 9 COMPLETE", "FINAL LEVEL", wave_name(level));
    update_popups(300 * 256);  // the longest growing time
    draw_popups(canvas.data());
    for (int32_t y = 0; y < kCanvasSize; ++y)
      for (int32_t x = 0; x < kCanvasSize; ++x)
        if (canvas[size_t(y * kCanvasSize + x)] != 0) {
          ASSERT_GE(x, 224);
          ASSERT_LT(x, 224 + 320);
          ASSERT_GE(y, 264);
          ASSERT_LT(y, 264 + 240);
        }
  }
}

TEST(GrowingText, LongTextsAreCutToTheirField) {
  show_message("A MESSAGE FAR LONGER THAN ITS FIELD");
  EXPECT_EQ(std::string(message.text), "A MESSAGE FAR LONGE");
  add_popup("1234567890123456789012", "", "");
  EXPECT_EQ(std::string(popup_lines[0].text).size(), 19u);
}

TEST(Initials, TheCycleRunsThroughLettersDigitsAndMarks) {
  EXPECT_EQ(step_initial('Z', 1), '0');
  EXPECT_EQ(step_initial('9', 1), '-');
  EXPECT_EQ(step_initial(' ', 1), 'A');
  EXPECT_EQ(step_initial('A', -1), ' ');
  EXPECT_EQ(step_initial('.', -1), '-');
  EXPECT_EQ(step_initial('a', 1), 'a');  // outside the cycle: unchanged
}

class TableTest : public GameTest {};

TEST_F(TableTest, QualifyingAndInserting) {
  struct row {
    const char* name;
    int32_t count, score, qualifies, slot, count_after;
  };
  const row rows[] = {{"equal to the sixth", 6, 10000, 0, -1, 6},
                      {"below the sixth", 6, 20, 0, -1, 6},
                      {"one more", 6, 10001, 1, 5, 6},
                      {"top", 6, 70000, 1, 0, 6},
                      {"tie goes after", 6, 40000, 1, 3, 6},
                      {"short table", 3, 5, 1, 3, 4},
                      {"short table middle", 3, 45000, 1, 2, 4}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    load_default_scores();
    high_score_table.count = r.count;
    EXPECT_EQ(score_qualifies(r.score), r.qualifies);
    if (!r.qualifies) {
      // Refused: the table keeps its last entry.
      EXPECT_EQ(insert_high_score("AAA", r.score), -1);
      EXPECT_EQ(high_score_table.count, r.count);
      EXPECT_STREQ(high_score_table.initials[5], "FEP");
      EXPECT_EQ(high_score_table.scores[5], 10000);
      continue;
    }
    EXPECT_EQ(insert_high_score("AAA", r.score), r.slot);
    EXPECT_EQ(high_score_table.count, r.count_after);
    EXPECT_EQ(high_score_table.scores[r.slot], r.score);
    EXPECT_STREQ(high_score_table.initials[r.slot], "AAA");
    for (int i = 1; i < high_score_table.count; ++i)
      EXPECT_GE(high_score_table.scores[i - 1], high_score_table.scores[i]);
  }
}

// Each test in a fresh folder.
class ScoreFileTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    ASSERT_TRUE(getcwd(previous_, sizeof previous_));
    ASSERT_FALSE(temp_.path().empty());
    folder_ = temp_.path();
    ASSERT_EQ(chdir(folder_.c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(previous_), 0);
    chmod(folder_.c_str(), 0755);
    GameTest::TearDown();
  }
  static void write(const std::vector<unsigned char>& bytes) {
    std::ofstream f("pellax.dat", std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  static std::string read(const char* name = "pellax.dat") {
    std::ifstream f(name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  char previous_[PATH_MAX];
  TempDir temp_;
  std::string folder_;
};

std::vector<unsigned char> le32(int32_t v) {
  const uint32_t u = uint32_t(v);
  return {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
}

std::vector<unsigned char> file_of(int32_t count, std::vector<std::pair<std::string, int32_t>> entries) {
  std::vector<unsigned char> b = le32(count);
  for (const auto& e : entries) {
    for (int k = 0; k < 4; ++k) b.push_back(k < int(e.first.size()) ? uint8_t(e.first[size_t(k)]) : 0);
    const auto s = le32(e.second);
    b.insert(b.end(), s.begin(), s.end());
  }
  return b;
}

TEST_F(ScoreFileTest, MissingFileGivesTheDefaults) {
  high_score_table.count = 0;
  load_high_scores();
  EXPECT_EQ(high_score_table.count, 6);
  EXPECT_STREQ(high_score_table.initials[0], "KWO");
  EXPECT_EQ(high_score_table.scores[5], 10000);
  EXPECT_STREQ(high_score_table.initials[5], "FEP");
}

TEST_F(ScoreFileTest, RoundTripIsByteForByte) {
  insert_high_score("ZED", 55555);
  ASSERT_EQ(save_high_scores(), 0);
  const std::vector<unsigned char> want = file_of(
      6, {{"KWO", 60000}, {"ZED", 55555}, {"TAM", 50000}, {"RUV", 40000}, {"LIB", 30000}, {"NOX", 20000}});
  EXPECT_EQ(read(), std::string(want.begin(), want.end()));
  high_score_table = {};
  load_high_scores();
  EXPECT_EQ(high_score_table.count, 6);
  EXPECT_STREQ(high_score_table.initials[1], "ZED");
  EXPECT_EQ(high_score_table.scores[1], 55555);
  EXPECT_FALSE(std::ifstream("pellax.dat.new").good()) << "no temporary file left";
}

TEST_F(ScoreFileTest, BadCountsGiveTheOneEntryTable) {
  for (int32_t count : {0, 7, -1}) {
    SCOPED_TRACE(count);
    write(file_of(count, {{"ABC", 5}}));
    load_high_scores();
    EXPECT_EQ(high_score_table.count, 1);
    EXPECT_STREQ(high_score_table.initials[0], "KWO");
    EXPECT_EQ(high_score_table.scores[0], 100000);
  }
}

TEST_F(ScoreFileTest, AShortFileKeepsWhatItDoesNotHold) {
  std::vector<unsigned char> b = file_of(3, {{"ONE", 900}, {"TWO", 800}});
  b.resize(b.size() - 2);  // the second score cut short
  write(b);
  load_high_scores();
  EXPECT_EQ(high_score_table.count, 3);
  EXPECT_STREQ(high_score_table.initials[0], "ONE");
  EXPECT_EQ(high_score_table.scores[0], 900);
  EXPECT_STREQ(high_score_table.initials[1], "TWO");
  EXPECT_EQ(high_score_table.scores[1], 50000);  // as it was
  EXPECT_STREQ(high_score_table.initials[2], "RUV");
}

TEST_F(ScoreFileTest, InitialsWithoutANulEndAtTheirFourthByte) {
  std::vector<unsigned char> b = le32(1);
  for (unsigned char c : {'W', 'X', 'Y', 'Z'}) b.push_back(c);
  const auto s = le32(1234);
  b.insert(b.end(), s.begin(), s.end());
  write(b);
  load_high_scores();
  EXPECT_STREQ(high_score_table.initials[0], "WXY");
  ASSERT_EQ(save_high_scores(), 0);
  EXPECT_EQ(read()[7], '\0');
}

TEST_F(ScoreFileTest, AnUnwritableFolderIsReportedAndKeepsTheOldFile) {
  const std::vector<unsigned char> old = file_of(2, {{"OLD", 500}, {"ONE", 400}});
  write(old);
  load_high_scores();
  insert_high_score("NEW", 900);
  if (geteuid() == 0) {
    // Root writes anywhere: a folder in place of the temporary file stands in.
    ASSERT_EQ(mkdir("pellax.dat.new", 0755), 0);
    ASSERT_EQ(mkdir("pellax.dat.new/x", 0755), 0);
  } else {
    ASSERT_EQ(chmod(folder_.c_str(), 0555), 0);
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(save_high_scores(), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot save the high scores"), std::string::npos);
  EXPECT_EQ(read(), std::string(old.begin(), old.end()));
}

// A FIFO or a folder named "pellax.dat" or as its temporary file: the load gives the default
// table and says why, the save fails or replaces the FIFO, and neither waits on a FIFO.
TEST_F(ScoreFileTest, AFifoOrFolderOfTheFilesNamesWaitsForNothing) {
  const struct Case {
    const char* what;
    const char* name;
    bool fifo;
    int saved;  // what the save gives
  } cases[] = {
      {"a FIFO as the file", "pellax.dat", true, 0},  // the saved file takes the name
      {"a folder as the file", "pellax.dat", false, -1},
      {"a FIFO as the temporary file", "pellax.dat.new", true, -1},
      {"a folder as the temporary file", "pellax.dat.new", false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(std::system("rm -rf pellax.dat pellax.dat.new"), 0);
    std::unique_ptr<FifoGuard> fifo;
    if (c.fifo)
      fifo = std::make_unique<FifoGuard>(c.name);
    else
      ASSERT_EQ(mkdir(c.name, 0755), 0);
    high_score_table.count = 0;
    testing::internal::CaptureStderr();
    load_high_scores();
    insert_high_score("NEW", 70000);
    EXPECT_EQ(save_high_scores(), c.saved);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(high_score_table.count, 6);
    EXPECT_STREQ(high_score_table.initials[0], "NEW");
    if (fifo) {
      EXPECT_FALSE(fifo->Rescued()) << "the scores waited on the FIFO";
    }
    if (std::string(c.name) == "pellax.dat") {
      EXPECT_NE(said.find("pellax: cannot read the high scores (pellax.dat): "), std::string::npos) << said;
    }
    EXPECT_EQ(c.saved == 0, said.find("cannot save the high scores") == std::string::npos) << said;
    if (c.saved == 0) {
      EXPECT_EQ(read().size(), 4u + 8 * 6);
    }
  }
}

// A disk that fills up in the middle of the save: the save fails, and the old table
// stays whole with no temporary file left beside it.
TEST_F(ScoreFileTest, ADiskFullDuringTheSaveFailsAndKeepsTheOldFile) {
  const std::vector<unsigned char> old = file_of(2, {{"OLD", 500}, {"ONE", 400}});
  write(old);
  load_high_scores();
  for (int i = 0; i < 6; ++i) insert_high_score("NEW", 900 + i);
  {
    // Not captured: the capture's own file would be cut at the limit too.
    const FileSizeLimit full(20);  // the table takes 52 bytes
    EXPECT_EQ(save_high_scores(), -1);
  }
  EXPECT_EQ(read(), std::string(old.begin(), old.end()));
  EXPECT_FALSE(std::ifstream("pellax.dat.new").good()) << "no temporary file left";
  ASSERT_EQ(save_high_scores(), 0);
  load_high_scores();
  EXPECT_EQ(high_score_table.count, 6);
  EXPECT_EQ(high_score_table.scores[0], 905);
}

TEST_F(ScoreFileTest, AnInterruptedSaveLeavesTheOldFileWhole) {
  // A save that died before its rename leaves a half-written temporary file: the table
  // still loads from the old file, and the next save replaces both.
  write(file_of(2, {{"OLD", 500}, {"ONE", 400}}));
  { std::ofstream half("pellax.dat.new", std::ios::binary); half << "\x06\x00"; }
  load_high_scores();
  EXPECT_EQ(high_score_table.count, 2);
  EXPECT_STREQ(high_score_table.initials[0], "OLD");
  insert_high_score("NEW", 900);
  ASSERT_EQ(save_high_scores(), 0);
  load_high_scores();
  EXPECT_EQ(high_score_table.count, 3);
  EXPECT_STREQ(high_score_table.initials[0], "NEW");
}

}  // namespace
