// Writes the puzzle game's data packs into DATA/res: make_kolvo2_data TUNES
// DATA (TUNES: the folder of the tunes' sources). Exits with 1 on any failure,
// 2 on bad usage.
#include <cstdio>
#include <stdexcept>
#include <sys/stat.h>

#include "assets/kolvo2/data_set.h"
#include "tools/tool_usage.h"

int main(int argc, char **argv) {
  const char usage[] = "usage: make_kolvo2_data TUNES DATA\nWrites kolvo2's "
                       "packs into DATA/res from the tunes' sources in TUNES.\n";
  if (ToolHelpAsked(argc, argv)) return ToolUsage(usage, true);
  for (int i = 1; i < argc; ++i)
    if (argv[i][0] == '-')
      return ToolMistake("make_kolvo2_data", std::string("unknown option \"") + argv[i] + "\"", usage);
  if (argc != 3)
    return ToolMistake("make_kolvo2_data", "needs TUNES and DATA, " + std::to_string(argc - 1) + " given", usage);
  const std::string res = std::string(argv[2]) + "/res";
  mkdir(argv[2], 0755);
  mkdir(res.c_str(), 0755);
  try {
    for (const k2data::Pack &pack : k2data::BuildPacks(argv[1])) {
      const std::string path = res + "/" + pack.file;
      const std::string error = k2data::WritePack(path, pack.entries);
      if (!error.empty()) {
        std::fprintf(stderr, "make_kolvo2_data: %s\n", error.c_str());
        return 1;
      }
      size_t bytes = 0;
      for (const k2data::Entry &e : pack.entries)
        bytes += e.bytes.size();
      std::printf("%s: %zu entries, %zu bytes unpacked\n", path.c_str(),
                  pack.entries.size(), bytes);
    }
  } catch (const std::exception &e) {
    std::fprintf(stderr, "make_kolvo2_data: %s\n", e.what());
    return 1;
  }
  return 0;
}
