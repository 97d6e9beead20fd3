// The program entry of a tool that is an application on the Zolt framework: opens the
// console's devices, runs one application object to its end and closes the devices again.
// Such a tool takes no arguments (the host layer's settings say how it runs): --help or -h
// prints its usage and exits 0, anything else prints it on standard error and exits 2.
// Otherwise returns 0 after a normal end, 1 when the devices cannot be opened or start-up
// fails (the reason goes to standard error, after the program's name).
#pragma once

#include <cstdio>
#include <string>

#include "engine/app/zolt.h"
#include "engine/core/zmod_devptr.h"
#include "tools/tool_usage.h"

template <class App>
int ZoltToolMain(const char* program, int argc, char** argv, const char* usage) {
  if (argc > 1) return ToolUsage(usage, ToolHelpAsked(argc, argv));
  if (!HandleDevicePtr(false)) {
    std::fprintf(stderr, "%s: cannot open the console's devices\n", program);
    return 1;
  }
  int result;
  {
    App app;
    result = app.StartFramework(0);
    if (result) {
      std::string text;
      for (const uint16_t* c = app.GetErrorMsg(); *c; ++c) text += *c < 128 ? char(*c) : '?';
      std::fprintf(stderr, "%s: start-up failed (%d): %s\n", program, result, text.c_str());
    }
  }
  HandleDevicePtr(true);
  return result ? 1 : 0;
}
