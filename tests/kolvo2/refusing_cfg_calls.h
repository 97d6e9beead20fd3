// The system's file calls for "Kolvo2.cfg" with the ways of setting a file aside refused,
// as file systems and system-call filters refuse them: FAT (the console's card) and some
// FUSE file systems have no one-step rename that keeps its target and no links, an old
// kernel has no such rename at all, and a filter refuses it with EPERM. The record's own
// save (its temporary file and the rename over the record) is never refused, and counted.
// FolderNames shows what a way tried left behind.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kolvo2/game_config.h"

// The errno each step fails with; 0: the system's call.
struct CfgRefusals {
  int noreplace = 0;  // the one-step rename that keeps its target
  int link = 0;
  int claim = 0;      // an exclusive create of a name
  int moveaside = 0;  // a plain rename onto a name of CFG_DAMAGED_SUFFIX
};

struct RefusingCfgCalls {
  using Refusals = CfgRefusals;
  static inline Refusals refused;
  static inline int saves = 0;  // renames of a temporary file over the record

  static CFGFILECALLS Calls(const Refusals& refusals) {
    refused = refusals;
    saves = 0;
    CFGFILECALLS calls = CfgSystemCalls();
    calls.open = Open;
    calls.rename = Rename;
    calls.rename_noreplace = NoReplace;
    calls.link = Link;
    return calls;
  }

  static int Open(const char* path, int flags, mode_t mode) {
    if ((flags & O_EXCL) && refused.claim) return errno = refused.claim, -1;
    return CfgSystemCalls().open(path, flags, mode);
  }
  static int Rename(const char* from, const char* to) {
    if (refused.moveaside && std::strstr(to, CFG_DAMAGED_SUFFIX)) return errno = refused.moveaside, -1;
    const std::string source = from;
    if (source.size() > 4 && source.compare(source.size() - 4, 4, "_tmp") == 0) ++saves;
    return CfgSystemCalls().rename(from, to);
  }
  static int NoReplace(const char* from, const char* to) {
    return refused.noreplace ? (errno = refused.noreplace, -1) : CfgSystemCalls().rename_noreplace(from, to);
  }
  static int Link(const char* from, const char* to) {
    return refused.link ? (errno = refused.link, -1) : CfgSystemCalls().link(from, to);
  }
};

// The names a folder holds, sorted.
inline std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}
