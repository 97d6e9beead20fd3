// The program itself on the host layer, headless: it starts, runs a button script, and
// quits through the hand-over to the menu; two runs with the same timer start and script
// show identical frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

std::vector<std::string> list_folder(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pellax_program_XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    folder_ = pattern;
    ASSERT_EQ(std::system((std::string(PELLAX_MAKE_LVL) + " " + folder_).c_str()), 0);
    std::ofstream script(folder_ + "/script.txt");
    script << "# title, audio setting, volume, quit screen and back, quit\n"
              "0 none\n700 select\n800 none\n900 vol-\n1000 none\n"
              "1500 x\n1600 none\n1900 b\n2000 none\n2600 x\n2700 none\n3000 y\n3100 none\n";
  }
  void TearDown() override { std::system(("rm -rf " + folder_).c_str()); }

  // Runs the program in the data folder; returns its exit status and keeps its stderr.
  int run(const std::string& shots) {
    const std::string command = "cd " + folder_ +
                                " && GP2X_HEADLESS=1 GP2X_TIMER_START=0x4321 GP2X_SCRIPT=script.txt"
                                " GP2X_SHOTS=" + shots + " GP2X_SHOT_EVERY=200 GP2X_UNTIL=20000 " +
                                PELLAX_PROGRAM + " 2> " + shots + ".err";
    return std::system(command.c_str());
  }
  std::string folder_;
};

TEST_F(ProgramTest, QuitsThroughTheMenuHandOverWithTheSameFramesEachRun) {
  ASSERT_EQ(run("one"), 0);
  ASSERT_EQ(run("two"), 0);
  const std::string err = read_file(folder_ + "/one.err");
  EXPECT_NE(err.find("hands over to \"/usr/gp2x/gp2xmenu\""), std::string::npos) << err;
  EXPECT_EQ(err.find("run ended"), std::string::npos) << "quit before the time limit";
  const auto one = list_folder(folder_ + "/one"), two = list_folder(folder_ + "/two");
  ASSERT_GE(one.size(), 10u);
  ASSERT_EQ(one, two);
  for (const std::string& name : one)
    EXPECT_EQ(read_file(folder_ + "/one/" + name), read_file(folder_ + "/two/" + name)) << name;
  // The frames change over the run (the quit screen differs from the title).
  EXPECT_NE(read_file(folder_ + "/one/" + one[2]), read_file(folder_ + "/one/" + one[8]));
}

}  // namespace
