// zpk: makes, lists and changes ZPK pack archives.
//
//   zpk new PACK [-v VENDOR]          an empty pack (vendor: four characters)
//   zpk list PACK                     index, name, kind, stored and unpacked sizes
//   zpk add PACK [-k KIND] [-o] FILE...   KIND 0 raw, 1 engine codec, 2 zlib (default 2);
//                                     -o replaces entries of the same name
//   zpk extract PACK FOLDER [-o] [NAME...]  every entry, or the named ones; the folder
//                                     is made when it is not there
//   zpk delete PACK NAME...
//   zpk convert PACK                  rewrites a version-1 pack as version 2
//
// An error prints what it concerns (an entry or file by its name), the pack result's
// meaning and, for a failed read or write, the system's reason; a name that is there
// already comes with the hint that -o writes over it, and a folder named as the pack is
// called a folder. It exits with 1. Bad usage exits with 2; --help prints the usage and
// exits with 0. "add" writes the pack once for all its files; when one cannot be added,
// the files before it are, and the message names them. A file whose name is too long for
// an entry (63 characters) is reported with the name it is stored under.
//
// Dates in the pack (each entry's file time and time added) are the real ones: zpk is a
// tool on the machine, never a console program on the host layer's virtual clock.
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_platform.h"
#include "tools/tool_usage.h"

namespace {

const char* Meaning(int code) {
  switch (code) {
    case ZPK_OK: return "done";
    case ZPK_FAILED: return "failed reading or writing a file";
    case ZPK_NOMEMORY: return "out of memory";
    case ZPK_NOPACK: return "not a valid pack";
    case ZPK_FULL: return "the pack is full";
    case ZPK_NOTFOUND: return "not found";
    case ZPK_BADDATA: return "bad data: the stored entry does not unpack";
    case ZPK_EXISTS: return "already exists";
    default: return "unknown error";
  }
}

const char kUsage[] =
    "usage: zpk new PACK [-v VENDOR]\n"
    "       zpk list PACK\n"
    "       zpk add PACK [-k 0|1|2] [-o] FILE...\n"
    "       zpk extract PACK FOLDER [-o] [NAME...]\n"
    "       zpk delete PACK NAME...\n"
    "       zpk convert PACK\n"
    "\n"
    "A pack holds files (entries) under names of up to 63 characters.\n"
    "  new      makes an empty pack; VENDOR is a tag of 1 to 4 characters\n"
    "  list     shows each entry: index, name, kind, stored and unpacked size\n"
    "  add      stores the FILEs under their names without the folder; -k is how each\n"
    "           is stored: 0 as it is, 1 packed with the engine's own codec, 2 packed\n"
    "           with zlib (the default); -o replaces entries of the same name\n"
    "  extract  writes every entry, or the NAMEd ones, into FOLDER (made when missing);\n"
    "           -o overwrites files that are there\n"
    "  delete   removes the NAMEd entries\n"
    "  convert  rewrites a pack of the older version 1 as version 2\n";

int Mistake(const std::string& what) { return ToolMistake("zpk", what, kUsage); }

// The folder to extract into, made when it is not there (as "extract" into a new folder
// is the usual wish); 0 when it is a folder now, else 1 after saying why.
int ExtractFolder(const char* folder) {
  struct stat st;
  const char* reason = "not a folder";
  if (stat(folder, &st) == 0) {
    if (S_ISDIR(st.st_mode)) return 0;
  } else if (errno == ENOENT && mkdir(folder, 0777) == 0) {
    return 0;
  } else {
    reason = std::strerror(errno);
  }
  std::fprintf(stderr, "zpk: %s: cannot extract into it: %s\n", folder, reason);
  return 1;
}

// "zpk: WHAT: meaning[: the system's reason][; more]" on standard error; returns 1.
int Fail(const std::string& what, int code, int syserror = 0, const std::string& more = "") {
  std::string reason;
  if (code == ZPK_FAILED && syserror) reason = std::string(": ") + std::strerror(syserror);
  std::fprintf(stderr, "zpk: %s: %s%s%s\n", what.c_str(), Meaning(code), reason.c_str(),
               more.empty() ? "" : ("; " + more).c_str());
  return 1;
}

// What to add to a refusal to write over a file that is there.
std::string OverwriteHint(int code) {
  return code == ZPK_EXISTS ? "-o overwrites the files that are there" : "";
}

uint64_t RealNow() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::system_clock::now().time_since_epoch()).count());
}

struct Options {
  std::vector<std::string> args;  // positional arguments after the pack
  std::string vendor;
  int kind = ZPK_STORE_ZLIB;
  bool overwrite = false;
};

// Empty when the options are right, else what is wrong with them.
std::string ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 3; i < argc; i++) {
    std::string a = argv[i];
    if (a == "-o") {
      o.overwrite = true;
    } else if (a == "-k" || a == "-v") {
      if (i + 1 >= argc) return a + " needs a value";
      const std::string v = argv[++i];
      if (a == "-k") {
        if (v != "0" && v != "1" && v != "2")
          return "-k " + v + ": the kind is 0 (stored raw), 1 (engine codec) or 2 (zlib)";
        o.kind = v[0] - '0';
      } else {
        if (v.empty() || v.size() > 4) return "-v " + v + ": a vendor is 1 to 4 characters";
        o.vendor = v;
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return "unknown option \"" + a + "\"";
    } else {
      o.args.push_back(a);
    }
  }
  return "";
}

// True after saying so when the pack named is a folder, which no command can use as one.
bool IsFolder(const char* name) {
  struct stat st;
  if (stat(name, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  std::fprintf(stderr, "zpk: %s: is a folder, not a pack\n", name);
  return true;
}

// Opens an existing pack for reading (list) or changing.
int OpenPack(ClassZFile& pack, const char* name, uint8_t mode) {
  if (IsFolder(name)) return 1;
  if (!pack.Open(name, mode)) return Fail(name, ZPK_NOTFOUND);
  if (!pack.PackValid()) return Fail(name, ZPK_NOPACK);
  return 0;
}

// A stored name as it may be shown on a terminal: control characters from a hostile pack
// must not reach it as commands.
std::string Printable(const char* text) {
  std::string out;
  for (const char* p = text; *p; p++) {
    unsigned char c = static_cast<unsigned char>(*p);
    out += c < 0x20 || c == 0x7F ? '?' : *p;
  }
  return out;
}

// The name part of a path, as the entry would be named if nothing were cut.
std::string LastPart(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Adds every file with one write of the pack, then says which name was cut and, on a
// failure, which file it concerns and which files went in before it.
int Add(ClassZFile& pack, const char* name, const Options& o) {
  std::vector<const char*> files;
  for (const std::string& f : o.args) files.push_back(f.c_str());
  uint32_t added = 0;
  int r = pack.PackAddFiles(files.data(), static_cast<uint32_t>(files.size()), o.overwrite,
                            static_cast<uint8_t>(o.kind), added);
  for (uint32_t i = 0; i < added; i++) {
    char stored[ZPK_NAME_SIZE];
    ZFile_CheckStoreName(stored, files[i]);
    if (LastPart(files[i]) != stored) {
      std::fprintf(stderr, "zpk: %s: stored as \"%s\" (entry names hold 63 characters)\n",
                   Printable(files[i]).c_str(), Printable(stored).c_str());
    }
  }
  if (r == ZPK_OK) return 0;
  // A file refused (full, already there, not found) is the one after those added; any
  // other failure is the pack's, and then nothing went in.
  const bool file = r == ZPK_FULL || r == ZPK_EXISTS || r == ZPK_NOTFOUND;
  std::string which;
  for (uint32_t i = 0; i < added; i++) which += (i ? ", " : "") + Printable(files[i]);
  return Fail(file ? Printable(files[added]) : name, r, pack.SystemError(),
              (added ? "added before it: " + which : "nothing was added") +
                  (r == ZPK_EXISTS ? "; -o replaces entries of the same name" : ""));
}

int List(ClassZFile& pack, const char* name) {
  if (int r = OpenPack(pack, name, ZFILE_MODE_READ)) return r;
  char vendor[5];
  pack.PackGetVendor(vendor);
  uint32_t count = pack.PackContainFiles();
  std::printf("%s: vendor %s, %u %s\n", name, Printable(vendor).c_str(), count, count == 1 ? "entry" : "entries");
  std::printf("%6s  %-63s %4s %10s %10s\n", "index", "name", "kind", "stored", "unpacked");
  for (uint32_t i = 0; i < count; i++) {
    ZPK_FILEINFO info;
    if (!pack.PackGetFileInfo(&info, i, false)) {
      // No name to give: the record itself cannot be read.
      return Fail(std::string(name) + ": the record at index " + std::to_string(i),
                  ZPK_FAILED, pack.SystemError(), "the pack is damaged");
    }
    std::printf("%6u  %-63s %4u %10u %10u\n", i, Printable(info.name).c_str(), info.compression,
                info.stored, info.unpacked);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (ToolHelpAsked(argc, argv)) return ToolUsage(kUsage, true);
  const std::string command = argc > 1 ? argv[1] : "";
  static const char* const kCommands[] = {"new", "list", "add", "extract", "delete", "convert"};
  bool known = false;
  for (const char* c : kCommands) known = known || command == c;
  if (argc < 2) return Mistake("no command given");
  if (!known) return Mistake("unknown command \"" + command + "\"");
  if (argc < 3) return Mistake(command + ": no PACK given");
  const char* name = argv[2];
  Options o;
  const std::string wrong = ParseOptions(argc, argv, o);
  if (!wrong.empty()) return Mistake(wrong);
  ClassZFile pack;

  ZPlatform_SetClock(RealNow, nullptr);
  if (command == "new") {
    if (!o.args.empty()) return Mistake("new takes no files: \"" + o.args[0] + "\"");
    if (IsFolder(name)) return 1;
    int r = pack.PackNew(name, o.vendor.empty() ? nullptr : o.vendor.c_str());
    return r == ZPK_OK ? 0 : Fail(name, r, pack.SystemError());
  }
  if (command == "list") {
    if (!o.args.empty()) return Mistake("list takes no files: \"" + o.args[0] + "\"");
    return List(pack, name);
  }
  if (command == "add") {
    if (o.args.empty()) return Mistake("add needs at least one FILE");
    if (int r = OpenPack(pack, name, ZFILE_MODE_UPDATE)) return r;
    return Add(pack, name, o);
  }
  if (command == "extract") {
    if (o.args.empty()) return Mistake("extract needs a FOLDER");
    if (int r = OpenPack(pack, name, ZFILE_MODE_READ)) return r;
    const char* folder = o.args[0].c_str();
    if (int r = ExtractFolder(folder)) return r;
    if (o.args.size() == 1) {
      for (uint32_t i = 0; i < pack.PackContainFiles(); i++) {
        int r = pack.PackExtractFile(folder, i, o.overwrite);
        if (r == ZPK_OK) continue;
        ZPK_FILEINFO info;
        std::string entry = pack.PackGetFileInfo(&info, i, false)
                                ? Printable(info.name)
                                : "the record at index " + std::to_string(i);
        return Fail(entry, r, pack.SystemError(), OverwriteHint(r));
      }
      return 0;
    }
    for (size_t i = 1; i < o.args.size(); i++) {
      int r = pack.PackExtractFile(folder, o.args[i].c_str(), o.overwrite);
      if (r != ZPK_OK) return Fail(o.args[i], r, pack.SystemError(), OverwriteHint(r));
    }
    return 0;
  }
  if (command == "delete") {
    if (o.args.empty()) return Mistake("delete needs at least one NAME");
    if (int r = OpenPack(pack, name, ZFILE_MODE_UPDATE)) return r;
    for (const std::string& entry : o.args) {
      int r = pack.PackDeleteFile(entry.c_str());
      if (r != ZPK_OK) return Fail(entry, r, pack.SystemError());
    }
    return 0;
  }
  if (command == "convert") {
    if (!o.args.empty()) return Mistake("convert takes no files: \"" + o.args[0] + "\"");
    if (int r = OpenPack(pack, name, ZFILE_MODE_UPDATE)) return r;
    char magic[4] = {0, 0, 0, 0};
    pack.Seek(0);
    if (pack.Read(magic, 4) && std::memcmp(magic, "ZPK2", 4) == 0) {
      std::printf("%s: already version 2\n", name);
      return 0;
    }
    return pack.ConvertPackFile() ? 0 : Fail(name, ZPK_FAILED, pack.SystemError());
  }
  return Mistake("unknown command \"" + command + "\"");
}
