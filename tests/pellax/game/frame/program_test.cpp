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
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/temp_dir.h"

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
    // The large-file form: the plain one fails on 32 bits where positions pass 32 bits.
    while (dirent64* e = readdir64(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(temp_.path().empty());
    folder_ = temp_.path();
    ASSERT_EQ(std::system((std::string(PELLAX_DATA_MAKER) + " " + folder_).c_str()), 0);
    std::ofstream script(folder_ + "/script.txt");
    script << "# title, audio setting, volume, quit screen and back, quit\n"
              "0 none\n700 select\n800 none\n900 vol-\n1000 none\n"
              "1500 x\n1600 none\n1900 b\n2000 none\n2600 x\n2700 none\n3000 y\n3100 none\n";
  }

  // Runs the program in the data folder; returns its exit status and keeps its stderr.
  int run(const std::string& shots, const std::string& script = "script.txt", int until = 20000) {
    const std::string command = "cd " + folder_ +
                                " && GP2X_HEADLESS=1 GP2X_TIMER_START=0x4321 GP2X_SCRIPT=" + script +
                                " GP2X_SHOTS=" + shots + " GP2X_SHOT_EVERY=200 GP2X_UNTIL=" +
                                std::to_string(until) + " " +
                                PELLAX_PROGRAM + " 2> " + shots + ".err";
    return std::system(command.c_str());
  }
  TempDir temp_;
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

TEST_F(ProgramTest, PlaysVestaFromTheTitleTheSameWayEachRun) {
  {
    std::ofstream play(folder_ + "/play.txt");
    play << "# title, VESTA, then fly, turn, fire and shield\n"
            "1000 b\n1100 none\n1600 b\n1700 none\n"
            "4500 up r\n5200 r\n6000 left r\n6400 r\n7000 right r\n7600 up r\n8000 r y\n8600 r\n"
            "9500 down r\n10000 r\n";
  }
  ASSERT_EQ(run("p1", "play.txt", 12000), 0);
  ASSERT_EQ(run("p2", "play.txt", 12000), 0);
  const auto one = list_folder(folder_ + "/p1"), two = list_folder(folder_ + "/p2");
  ASSERT_EQ(one, two);
  for (const std::string& name : one)
    EXPECT_EQ(read_file(folder_ + "/p1/" + name), read_file(folder_ + "/p2/" + name)) << name;
  // The playing frames move: consecutive pictures differ.
  ASSERT_GE(one.size(), 55u);
  EXPECT_NE(read_file(folder_ + "/p1/" + one[40]), read_file(folder_ + "/p1/" + one[41]));
  EXPECT_NE(read_file(folder_ + "/p1/" + one[50]), read_file(folder_ + "/p1/" + one[54]));
}

// The game and its data generators on their command lines: a lone --help or -h prints the
// usage on standard output and exits 0; a stray or missing argument prints it on standard
// error and exits 2 without doing anything else (the game without starting a run, a
// generator without writing a file named after the option).
TEST_F(ProgramTest, CommandLinesGiveTheUsageOrRefuse) {
  struct row {
    const char* program;
    const char* args;
    int status;
    bool usage_on_stdout;
  };
  const row rows[] = {
      {PELLAX_PROGRAM, "--help", 0, true},
      {PELLAX_PROGRAM, "-h", 0, true},
      {PELLAX_PROGRAM, "--scale 2", 2, false},
      {PELLAX_PROGRAM, "level1.ogg", 2, false},
      {PELLAX_MAKE_LVL, "--help", 0, true},
      {PELLAX_MAKE_LVL, "", 2, false},
      {PELLAX_MAKE_LVL, "-v", 2, false},
      {PELLAX_MAKE_LVL, "one two", 2, false},
      {PELLAX_GLOW_FRAMES_GEN, "--help", 0, true},
      {PELLAX_GLOW_FRAMES_GEN, "--out", 2, false},
      {PELLAX_SOUND_GEN, "--help", 0, true},
      {PELLAX_SOUND_GEN, "", 2, false},
      {PELLAX_SOUND_GEN, "music", 2, false},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(std::string(r.program) + " " + r.args);
    const std::string out = folder_ + "/cli.out", err = folder_ + "/cli.err";
    // GP2X_UNTIL bounds a run that should not have started.
    const std::string command = "cd " + folder_ + " && GP2X_HEADLESS=1 GP2X_UNTIL=2000 " + r.program + " " + r.args +
                                " > " + out + " 2> " + err;
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), r.status);
    const std::string printed = read_file(r.usage_on_stdout ? out : err);
    EXPECT_EQ(printed.rfind("usage: ", 0), 0u) << printed;
    EXPECT_EQ(read_file(r.usage_on_stdout ? err : out), "");
    for (const char* stray : {"--help", "-h", "--out", "-v", "--scale", "one"})
      EXPECT_NE(access((folder_ + "/" + stray).c_str(), F_OK), 0) << "wrote " << stray;
  }
}

}  // namespace
