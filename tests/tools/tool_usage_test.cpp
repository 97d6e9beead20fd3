// Every command-line tool answers --help (and -h) with its usage on standard output and
// exit code 0, and a mistake on its command line with the usage on standard error and
// exit code 2, without starting its work (an application tool would otherwise run on).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/tools/tool_run.h"

#ifndef TOOL_PROGRAMS
#error "TOOL_PROGRAMS: name=path pairs, separated by commas"
#endif

namespace {

struct Tool {
  std::string name, path;
};

std::vector<Tool> Tools() {
  std::vector<Tool> tools;
  std::stringstream list(TOOL_PROGRAMS);
  std::string entry;
  while (std::getline(list, entry, ',')) {
    const size_t eq = entry.find('=');
    if (eq != std::string::npos) tools.push_back({entry.substr(0, eq), entry.substr(eq + 1)});
  }
  return tools;
}

TEST(ToolUsage, HelpGoesToStandardOutputWithExitZero) {
  const std::vector<Tool> tools = Tools();
  ASSERT_FALSE(tools.empty());
  for (const Tool& t : tools)
    for (const char* ask : {"--help", "-h"}) {
      // Standard error is dropped: the usage must come on standard output alone.
      const ToolRun run = RunTool("{ " + t.path + " " + ask + " 2>/dev/null; }", "");
      EXPECT_EQ(run.status, 0) << t.name << " " << ask;
      EXPECT_EQ(run.output.rfind("usage: " + t.name, 0), 0u) << t.name << " " << ask << ": " << run.output;
    }
}

TEST(ToolUsage, AMistakeIsNamedBeforeTheUsageOnStandardErrorWithExitTwo) {
  for (const Tool& t : Tools()) {
    // An option no tool knows; standard output is dropped.
    const ToolRun run = RunTool("{ " + t.path + " --no-such-option 2>&1 >/dev/null; }", "");
    EXPECT_EQ(run.status, 2) << t.name;
    const size_t end = run.output.find('\n');
    ASSERT_NE(end, std::string::npos) << t.name << ": " << run.output;
    const std::string first = run.output.substr(0, end);
    EXPECT_EQ(first.rfind(t.name + ": ", 0), 0u) << t.name << ": " << run.output;
    EXPECT_NE(first.find("\"--no-such-option\""), std::string::npos) << t.name << ": " << run.output;
    EXPECT_EQ(run.output.find("usage: " + t.name, end), end + 1) << t.name << ": " << run.output;
  }
}

// The data step of play.sh: it copies a built game's data into a run folder it makes, and
// stops with a message naming the folder it looked in when the build has no such data
// (rather than leaving a run folder the game then fails to start in).
TEST(ToolUsage, PrepareDataCopiesTheBuiltDataOrSaysWhereItLooked) {
  std::string script;
  for (const Tool& t : Tools())
    if (t.name == "tools/prepare-data.sh") script = t.path;
  ASSERT_FALSE(script.empty());
  TempDir dir;
  ASSERT_EQ(RunTool("mkdir -p " + (dir / "build/kolvo2/data/res") + " && echo pack > " +
                        (dir / "build/kolvo2/data/res/gfx.zpk"),
                    "")
                .status,
            0);
  const ToolRun copied = RunTool(script, "kolvo2 " + (dir / "run/kolvo2") + " " + (dir / "build"));
  EXPECT_EQ(copied.status, 0) << copied.output;
  EXPECT_EQ(RunTool("cat", dir / "run/kolvo2/res/gfx.zpk").output, "pack\n");

  const ToolRun missing = RunTool(script, "kolvo2 " + (dir / "run/other") + " " + (dir / "nobuild"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("no data for kolvo2 in " + (dir / "nobuild/kolvo2/data")), std::string::npos)
      << missing.output;
  EXPECT_NE(RunTool("test -e", dir / "run/other").status, 0) << "no run folder is made for nothing";
}

}  // namespace
