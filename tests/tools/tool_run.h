// Runs a command line through the shell as a person would and keeps what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

struct ToolRun {
  int status;          // exit code, -1 when the program did not exit normally
  std::string output;  // standard output and error together
};

inline ToolRun RunTool(const std::string& command) {
  ToolRun run{-1, ""};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}
