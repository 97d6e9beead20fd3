// Fuzz targets of the engine's data formats: packs (read every way, then changed), the
// codec (decoding any stream, and compressing any data and back) and ini files (read from
// memory and through a small file window alike).
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_ini.h"
#include "engine/core/zmod_memory.h"
#include "tests/fuzz/fuzz_target.h"
#include "tests/support/temp_dir.h"

namespace {

// A folder of this process's own for the files the targets need, in memory where the
// system has such a place (the pack writers flush every change to disk).
const TempDir& Folder() {
  static const TempDir folder(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "");
  if (folder.path().empty()) std::abort();
  return folder;
}

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WriteAll(const std::string& name, const std::string& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  return bool(out);
}

bool IsPackCode(int r) {
  return r == ZPK_OK || r == ZPK_FAILED || r == ZPK_NOMEMORY || r == ZPK_NOPACK ||
         r == ZPK_FULL || r == ZPK_NOTFOUND || r == ZPK_BADDATA || r == ZPK_EXISTS;
}

// Every entry read by index and by name (its data matches its record), then the same
// through a name index, and the first entries extracted.
void ReadEveryEntry(ClassZFile& pack, const std::string& out) {
  const uint32_t count = pack.PackContainFiles();
  const uint32_t limit = count < 64 ? count : 64;
  for (uint32_t i = 0; i < limit; i++) {
    ZPK_FILEINFO info;
    const bool readable = pack.PackGetFileInfo(&info, i, true);
    uint8_t* buffer = nullptr;
    uint32_t size = 77;
    const int r = pack.PackGetFileData(buffer, size, i);
    FUZZ_CHECK(IsPackCode(r));
    if (r == ZPK_OK) {
      FUZZ_CHECK(readable && size == info.unpacked && (buffer != nullptr) == (size > 0));
      FUZZ_CHECK(size <= ZMEMORY_LARGEST_BLOCK);
    } else {
      FUZZ_CHECK(buffer == nullptr && size == 0);
    }
    ClassZMemory::DeAlloc(buffer);
    if (!readable) continue;
    FUZZ_CHECK(std::strlen(info.name) < ZPK_NAME_SIZE);
    // A stored name that is a store name (no folder in it) finds this entry or an earlier.
    char storename[ZPK_NAME_SIZE];
    ZFile_CheckStoreName(storename, info.name);
    uint32_t found = count;
    if (std::strcmp(storename, info.name) == 0) {
      FUZZ_CHECK(pack.PackSearchFile(info.name, found) && found <= i);
    }
    if (i < 4) FUZZ_CHECK(IsPackCode(pack.PackExtractFile(out.c_str(), i, true)));
  }
  ZPK_INDEXSLOT* index = pack.PackBuildIndex();
  if (index) {
    ZPK_FILEINFO info;
    uint32_t found;
    char storename[ZPK_NAME_SIZE];
    for (uint32_t i = 0; i < limit; i++) {
      if (!pack.PackGetFileInfo(&info, i, false)) continue;
      ZFile_CheckStoreName(storename, info.name);
      if (std::strcmp(storename, info.name) == 0) {
        FUZZ_CHECK(pack.PackSearchFile(info.name, found) && found <= i);
      }
    }
  }
  pack.Close();
  ClassZMemory::DeAlloc(index);
}

}  // namespace

// The first byte chooses the changes tried; the rest is the file. A change that succeeds
// leaves a valid pack with the entries it should have; one that fails leaves the file as
// it was.
int FuzzPack(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t choice = data[0];
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string name = Folder() / "fuzz.zpk", out = Folder() / "out";
  Folder().Clear();
  FUZZ_CHECK(WriteAll(name, bytes));
  mkdir(out.c_str(), 0700);
  ClassZFile pack;
  FUZZ_CHECK(pack.Open(name.c_str(), ZFILE_MODE_READ) == 1);
  if (!pack.PackValid()) return 0;
  ReadEveryEntry(pack, out);

  FUZZ_CHECK(pack.Open(name.c_str(), ZFILE_MODE_UPDATE) == 1 && pack.PackValid());
  for (int step = 0; step < 4; step++) {
    if (!(choice >> (2 * step) & 3)) continue;
    const std::string before = ReadAll(name);
    const uint32_t count = pack.PackContainFiles();
    uint32_t expected = count;
    int r = ZPK_OK;
    switch (step) {
      case 0: {
        const std::string text = "an entry the fuzzer adds" + bytes.substr(0, choice);
        uint32_t at;
        expected = pack.PackSearchFile("fz.bin", at) ? count : count + 1;
        r = pack.PackAddFileData("fz.bin", text.data(), uint32_t(text.size()), true,
                                 uint8_t(choice % 3), 7);
        break;
      }
      case 1:
        if (count == 0) continue;
        r = pack.PackDeleteFile(uint32_t(choice) % count);
        expected = count - 1;
        break;
      case 2:
        r = pack.PackChangeVendor("FUZZ") ? ZPK_OK : ZPK_FAILED;
        break;
      default:
        r = pack.ConvertPackFile() ? ZPK_OK : ZPK_FAILED;
        break;
    }
    FUZZ_CHECK(IsPackCode(r));
    if (r != ZPK_OK) {
      // A hostile record may stop a change; the file is never half changed.
      pack.Close();
      FUZZ_CHECK(ReadAll(name) == before);
      FUZZ_CHECK(pack.Open(name.c_str(), ZFILE_MODE_UPDATE) == 1 && pack.PackValid());
      continue;
    }
    FUZZ_CHECK(pack.PackValid() && pack.PackContainFiles() == expected);
  }
  ReadEveryEntry(pack, out);
  return 0;
}

// Two bytes give the room, the rest is a stream to decode; the whole input is also
// compressed and must come back exactly.
int FuzzCodec(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  const uint32_t room = uint32_t(in.Byte()) << 8 | in.Byte();
  const std::string stream = in.Rest();
  std::vector<uint8_t> out(room + 1);
  uint32_t length = room;
  ClassZMemory codec;
  const int r = codec.UnCompress(out.data(), length,
                                 reinterpret_cast<const uint8_t*>(stream.data()),
                                 uint32_t(stream.size()));
  FUZZ_CHECK(r == 0 || r == 1);
  if (r == 1) FUZZ_CHECK(length <= room);

  if (size == 0) return 0;
  std::vector<uint8_t> packed(size + 18), back(size);
  uint32_t packedlength = uint32_t(packed.size());
  if (!codec.Compress(packed.data(), packedlength, data, uint32_t(size))) return 0;
  FUZZ_CHECK(size == 1 ? packedlength == 18 : packedlength + 4 <= size);
  uint32_t backlength = uint32_t(size);
  FUZZ_CHECK(codec.UnCompress(back.data(), backlength, packed.data(), packedlength) == 1);
  FUZZ_CHECK(backlength == size && std::memcmp(back.data(), data, size) == 0);
  return 0;
}

namespace {

// Every line of an ini source: key and value, cut to the buffers.
std::vector<std::string> IniLines(ClassZIni& ini, uint32_t keysize, uint32_t valuesize) {
  std::vector<std::string> lines;
  std::vector<char> key(keysize + 1, 'K'), value(valuesize + 1, 'V');
  while (lines.size() < 10000 && ini.ReadLine(key.data(), keysize, value.data(), valuesize)) {
    FUZZ_CHECK(std::memchr(key.data(), 0, keysize) && std::memchr(value.data(), 0, valuesize));
    FUZZ_CHECK(key[0] != 0);
    lines.push_back(std::string(key.data()) + "\n" + value.data());
  }
  return lines;
}

}  // namespace

// Two bytes choose the buffers and the file window; the rest is the ini text. Memory and
// file reading give the same lines, and the searches find what the reading found.
int FuzzIni(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  const uint32_t keysize = 1 + in.Byte() % 64, valuesize = 1 + in.Byte() % 64;
  const uint32_t window = 1 + (keysize * 7 + valuesize) % 97;
  const std::string text = in.Rest();
  if (text.empty()) return 0;
  ClassZIni memory;
  FUZZ_CHECK(memory.OpenData(text.data(), uint32_t(text.size())) == 1);
  const std::vector<std::string> lines = IniLines(memory, keysize, valuesize);

  const std::string name = Folder() / "fuzz.ini";
  FUZZ_CHECK(WriteAll(name, text));
  ClassZIni file;
  FUZZ_CHECK(file.Open(name.c_str(), ZFILE_MODE_READ) == 1);
  FUZZ_CHECK(file.SetParseBufferSize(window) == 1);
  FUZZ_CHECK(IniLines(file, keysize, valuesize) == lines);

  // The first key, read into buffers as large as the search's own, is found again.
  char key[ZINI_TEXT], value[ZINI_TEXT];
  memory.ResetCursor();
  if (memory.ReadLine(key, sizeof key, value, sizeof value) && std::strlen(key) + 1 < sizeof key) {
    memory.ResetCursor();
    FUZZ_CHECK(memory.FindKey(key, value, sizeof value, true) == 1);
  }
  return 0;
}
