// The usage text of a command-line tool. Asked for ("--help" or "-h" as the only
// argument) it goes to standard output and the tool exits with 0; shown after a mistake
// on the command line it goes to standard error and the tool exits with 2.
#pragma once

#include <cstdio>
#include <cstring>

// True when the command line is exactly one "--help" or "-h".
inline bool ToolHelpAsked(int argc, char** argv) {
  return argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"));
}

// Prints the usage where it belongs and returns the exit code: 0 when asked, else 2.
inline int ToolUsage(const char* text, bool asked) {
  std::fputs(text, asked ? stdout : stderr);
  return asked ? 0 : 2;
}
