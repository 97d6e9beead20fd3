// zpk: makes, lists and changes ZPK pack archives.
//
//   zpk new PACK [-v VENDOR]          an empty pack (vendor: four characters)
//   zpk list PACK                     index, name, kind, stored and unpacked sizes
//   zpk add PACK [-k KIND] [-o] FILE...   KIND 0 raw, 1 engine codec, 2 zlib (default 2);
//                                     -o replaces entries of the same name
//   zpk extract PACK FOLDER [-o] [NAME...]  every entry, or the named ones
//   zpk delete PACK NAME...
//   zpk convert PACK                  rewrites a version-1 pack as version 2
//
// An error prints the pack result's meaning and exits with 1; bad usage exits with 2.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/zmod_file.h"

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

int Usage() {
  std::fprintf(stderr,
               "usage: zpk new PACK [-v VENDOR]\n"
               "       zpk list PACK\n"
               "       zpk add PACK [-k 0|1|2] [-o] FILE...\n"
               "       zpk extract PACK FOLDER [-o] [NAME...]\n"
               "       zpk delete PACK NAME...\n"
               "       zpk convert PACK\n");
  return 2;
}

int Fail(const std::string& what, int code) {
  std::fprintf(stderr, "zpk: %s: %s\n", what.c_str(), Meaning(code));
  return 1;
}

struct Options {
  std::vector<std::string> args;  // positional arguments after the pack
  std::string vendor;
  int kind = ZPK_STORE_ZLIB;
  bool overwrite = false;
};

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 3; i < argc; i++) {
    std::string a = argv[i];
    if (a == "-o") {
      o.overwrite = true;
    } else if (a == "-k" && i + 1 < argc) {
      std::string k = argv[++i];
      if (k != "0" && k != "1" && k != "2") return false;
      o.kind = k[0] - '0';
    } else if (a == "-v" && i + 1 < argc) {
      o.vendor = argv[++i];
      if (o.vendor.empty() || o.vendor.size() > 4) return false;
    } else if (a.size() > 1 && a[0] == '-') {
      return false;
    } else {
      o.args.push_back(a);
    }
  }
  return true;
}

// Opens an existing pack for reading (list) or changing.
int OpenPack(ClassZFile& pack, const char* name, uint8_t mode) {
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

int List(ClassZFile& pack, const char* name) {
  if (int r = OpenPack(pack, name, ZFILE_MODE_READ)) return r;
  char vendor[5];
  pack.PackGetVendor(vendor);
  uint32_t count = pack.PackContainFiles();
  std::printf("%s: vendor %s, %u entries\n", name, Printable(vendor).c_str(), count);
  std::printf("%6s  %-63s %4s %10s %10s\n", "index", "name", "kind", "stored", "unpacked");
  for (uint32_t i = 0; i < count; i++) {
    ZPK_FILEINFO info;
    if (!pack.PackGetFileInfo(&info, i, false)) {
      return Fail(std::string(name) + " entry " + std::to_string(i), ZPK_FAILED);
    }
    std::printf("%6u  %-63s %4u %10u %10u\n", i, Printable(info.name).c_str(), info.compression,
                info.stored, info.unpacked);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string command = argv[1];
  const char* name = argv[2];
  Options o;
  if (!ParseOptions(argc, argv, o)) return Usage();
  ClassZFile pack;

  if (command == "new") {
    if (!o.args.empty()) return Usage();
    int r = pack.PackNew(name, o.vendor.empty() ? nullptr : o.vendor.c_str());
    return r == ZPK_OK ? 0 : Fail(name, r);
  }
  if (command == "list") {
    if (!o.args.empty()) return Usage();
    return List(pack, name);
  }
  if (command == "add") {
    if (o.args.empty()) return Usage();
    if (int r = OpenPack(pack, name, ZFILE_MODE_UPDATE)) return r;
    for (const std::string& file : o.args) {
      int r = pack.PackAddFile(file.c_str(), o.overwrite, static_cast<uint8_t>(o.kind));
      if (r != ZPK_OK) return Fail(file, r);
    }
    return 0;
  }
  if (command == "extract") {
    if (o.args.empty()) return Usage();
    if (int r = OpenPack(pack, name, ZFILE_MODE_READ)) return r;
    const char* folder = o.args[0].c_str();
    if (o.args.size() == 1) {
      for (uint32_t i = 0; i < pack.PackContainFiles(); i++) {
        int r = pack.PackExtractFile(folder, i, o.overwrite);
        if (r != ZPK_OK) return Fail("entry " + std::to_string(i), r);
      }
      return 0;
    }
    for (size_t i = 1; i < o.args.size(); i++) {
      int r = pack.PackExtractFile(folder, o.args[i].c_str(), o.overwrite);
      if (r != ZPK_OK) return Fail(o.args[i], r);
    }
    return 0;
  }
  if (command == "delete") {
    if (o.args.empty()) return Usage();
    if (int r = OpenPack(pack, name, ZFILE_MODE_UPDATE)) return r;
    for (const std::string& entry : o.args) {
      int r = pack.PackDeleteFile(entry.c_str());
      if (r != ZPK_OK) return Fail(entry, r);
    }
    return 0;
  }
  if (command == "convert") {
    if (!o.args.empty()) return Usage();
    if (int r = OpenPack(pack, name, ZFILE_MODE_UPDATE)) return r;
    char magic[4] = {0, 0, 0, 0};
    pack.Seek(0);
    if (pack.Read(magic, 4) && std::memcmp(magic, "ZPK2", 4) == 0) {
      std::printf("%s: already version 2\n", name);
      return 0;
    }
    return pack.ConvertPackFile() ? 0 : Fail(name, ZPK_FAILED);
  }
  return Usage();
}
