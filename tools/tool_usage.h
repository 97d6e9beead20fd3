// The usage text of a command-line tool. Asked for ("--help" or "-h" as the only
// argument) it goes to standard output and the tool exits with 0; shown after a mistake
// on the command line it goes to standard error and the tool exits with 2, after one line
// that says what was wrong ("TOOL: WHAT"), so that nobody has to guess it from the usage.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

// True when the command line is exactly one "--help" or "-h".
inline bool ToolHelpAsked(int argc, char** argv) {
  return argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"));
}

// Prints the usage where it belongs and returns the exit code: 0 when asked, else 2.
inline int ToolUsage(const char* text, bool asked) {
  std::fputs(text, asked ? stdout : stderr);
  return asked ? 0 : 2;
}

// A mistake on the command line: "TOOL: WHAT", then the usage, on standard error; 2.
inline int ToolMistake(const char* tool, const std::string& what, const char* usage) {
  std::fprintf(stderr, "%s: %s\n", tool, what.c_str());
  return ToolUsage(usage, false);
}

// For a tool that takes no arguments: true when there are none; otherwise answers --help
// or names the first argument as the mistake, sets `exit` to 0 or 2 and returns false.
inline bool ToolTakesNoArguments(const char* tool, int argc, char** argv, const char* usage, int& exit) {
  if (argc < 2) return true;
  exit = ToolHelpAsked(argc, argv)
             ? ToolUsage(usage, true)
             : ToolMistake(tool, std::string("takes no arguments, not \"") + argv[1] + "\"", usage);
  return false;
}
