// pellax: a vector-graphics shoot-em-up for the handheld console.
#include "pellax/game/frame/frame_loop.h"
#include "tools/tool_usage.h"

namespace {

const char kUsage[] =
    "usage: pellax [--help]\n"
    "The shoot-em-up. It takes no arguments: it reads its pictures and music from the folder\n"
    "it starts in and keeps its scores and opened zones there; the host layer's settings\n"
    "(GP2X_HEADLESS, GP2X_SCRIPT, GP2X_UNTIL, ...; host/README.md) say how it runs.\n"
    "./play.sh pellax builds it, prepares that folder and starts it in a window.\n";

}  // namespace

int main(int argc, char** argv) {
  // A stray argument would otherwise start a game the user did not mean, headless and
  // without end when started by hand.
  if (argc > 1) return ToolUsage(kUsage, ToolHelpAsked(argc, argv));
  return pellax_main();
}
