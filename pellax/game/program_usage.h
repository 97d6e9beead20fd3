// The command line of pellax's programs (the game and the generators of its data).
// wants_help is true for a lone --help or -h. print_usage writes the usage on standard
// output when it was asked for and returns 0, else on standard error and returns 2: the
// program's exit status either way.
#pragma once

#include <cstdio>
#include <cstring>

inline bool wants_help(int argc, char** argv) {
  return argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"));
}

inline int print_usage(const char* usage, bool asked) {
  std::fputs(usage, asked ? stdout : stderr);
  return asked ? 0 : 2;
}
