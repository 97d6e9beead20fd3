// Runs a built command-line program as a person would and keeps what it said.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

struct ToolRun {
  int status;          // exit status, -1 when the program did not exit normally
  std::string output;  // standard output and error together
};

inline ToolRun RunTool(const std::string& program, const std::string& arguments) {
  const std::string command = program + " " + arguments + " 2>&1";
  ToolRun run{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}
