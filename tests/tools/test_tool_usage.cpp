// Every command-line tool answers --help (and -h) with its usage on standard output and
// exit code 0, and a mistake on its command line with the usage on standard error and
// exit code 2, without starting its work (an application tool would otherwise run on).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

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

TEST(ToolUsage, AMistakeGivesTheUsageOnStandardErrorWithExitTwo) {
  for (const Tool& t : Tools()) {
    // An option no tool knows; standard output is dropped.
    const ToolRun run = RunTool("{ " + t.path + " --no-such-option 2>&1 >/dev/null; }", "");
    EXPECT_EQ(run.status, 2) << t.name;
    EXPECT_EQ(run.output.rfind("usage: " + t.name, 0), 0u) << t.name << ": " << run.output;
  }
}

}  // namespace
