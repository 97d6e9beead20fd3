// kolvo2: the falling-block puzzle game. Started from the console's menu in the folder
// that holds its data ("res/*.zpk") and its "Kolvo2.cfg"; hands back to the menu at its end.
#include <cstring>

#include "kolvo2/shell.h"
#include "tools/tool_usage.h"

namespace {

const char kUsage[] =
    "usage: kolvo2 [--help]\n"
    "The falling-block puzzle game. It takes no arguments: it reads its pictures, music and\n"
    "effects from \"res/\" in the folder it starts in and keeps \"Kolvo2.cfg\" there; the host\n"
    "layer's settings (GP2X_HEADLESS, GP2X_SCRIPT, GP2X_UNTIL, ...; host/README.md) say how\n"
    "it runs. ./play.sh kolvo2 builds it, prepares that folder and starts it in a window.\n";

}  // namespace

int main(int argc, char** argv) {
  // A launcher may ask for full screen, which the game always is; any other argument would
  // otherwise start a game the user did not mean: headless, on the virtual clock and
  // without end when started by hand.
  const bool fullscreen = argc == 2 && (!std::strcmp(argv[1], "-f") || !std::strcmp(argv[1], "-fullscreen"));
  if (argc > 1 && !fullscreen) return ToolUsage(kUsage, ToolHelpAsked(argc, argv));
  return Kolvo2Main(HandOverToMenu);
}
