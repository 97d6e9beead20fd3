// The ZPK pack archive: the pack calls of ClassZFile.
//
// Every size and offset read from a pack is checked in 64-bit arithmetic before use: the
// header at Open (exact header size, the table inside the file, the table's offsets in
// ascending order inside the data area) and each record when it is read (exact record
// size, its data inside the data area), so that a hostile pack gives an error result.

#include <cstring>
#include <initializer_list>
#include <new>

#include "engine/core/zmod_device.h"
#include "engine/core/zmod_file.h"
#include "engine/core/zmod_memory.h"

namespace {

constexpr char DEFAULT_VENDOR[4] = {'Z', 'O', 'L', 'T'};
// The most a stored kind can expand: the codec's longest phrase per 9-bit code, zlib's
// deflate limit of about 1032:1. A larger unpacked size is a corrupt record.
constexpr uint64_t CODEC_MAX_RATIO = 192;
constexpr uint64_t ZLIB_MAX_RATIO = 1032;

uint32_t GetU32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

void EncodeHeader(uint8_t* out, const ZPK_HEADER& h) {
  std::memcpy(out, h.magic, 4);
  std::memcpy(out + 4, h.vendor, 4);
  PutU32(out + 8, h.headersize);
  out[12] = h.version;
  std::memcpy(out + 13, h.reserved1, 3);
  PutU32(out + 16, h.count);
  PutU32(out + 20, h.checksum);
  out[24] = static_cast<uint8_t>(h.reserved2);
  out[25] = static_cast<uint8_t>(h.reserved2 >> 8);
  std::memcpy(out + 26, h.reserved3, 2);
}

void DecodeHeader(ZPK_HEADER& h, const uint8_t* in) {
  std::memcpy(h.magic, in, 4);
  std::memcpy(h.vendor, in + 4, 4);
  h.headersize = GetU32(in + 8);
  h.version = in[12];
  std::memcpy(h.reserved1, in + 13, 3);
  h.count = GetU32(in + 16);
  h.checksum = GetU32(in + 20);
  h.reserved2 = static_cast<uint16_t>(in[24] | in[25] << 8);
  std::memcpy(h.reserved3, in + 26, 2);
}

// The checksum of the header as it will be written, its checksum field counted as 0.
uint32_t HeaderChecksum(const ZPK_HEADER& h) {
  ZPK_HEADER copy = h;
  copy.checksum = 0;
  uint8_t bytes[ZPK_HEADER_SIZE];
  EncodeHeader(bytes, copy);
  return ZFile_QuickChecksum(bytes, ZPK_HEADER_SIZE);
}

void EncodeRecord(uint8_t* out, const ZPK_FILEINFO& r) {
  PutU32(out, r.recordsize);
  std::memcpy(out + 4, r.name, ZPK_NAME_SIZE);
  PutU32(out + 68, r.dataoffset);
  PutU32(out + 72, r.unpacked);
  PutU32(out + 76, r.stored);
  out[80] = r.compression;
  out[81] = r.reserved1;
  out[82] = static_cast<uint8_t>(r.reserved2);
  out[83] = static_cast<uint8_t>(r.reserved2 >> 8);
  PutU32(out + 84, r.filetime);
  PutU32(out + 88, r.timeadded);
}

void DecodeRecord(ZPK_FILEINFO& r, const uint8_t* in) {
  r.recordsize = GetU32(in);
  std::memcpy(r.name, in + 4, ZPK_NAME_SIZE);
  r.name[ZPK_NAME_SIZE - 1] = 0;
  r.dataoffset = GetU32(in + 68);
  r.unpacked = GetU32(in + 72);
  r.stored = GetU32(in + 76);
  r.compression = in[80];
  r.reserved1 = in[81];
  r.reserved2 = static_cast<uint16_t>(in[82] | in[83] << 8);
  r.filetime = GetU32(in + 84);
  r.timeadded = GetU32(in + 88);
}

bool IsSeparator(uint32_t c) { return c == '/' || c == '\\'; }

template <typename Char>
void StoreName(char* out, const Char* name) {
  // The whole field: it is written to the file as it is, and no stale byte may go along.
  std::memset(out, 0, ZPK_NAME_SIZE);
  if (!name) return;
  uint32_t n = ClassZStd::StrLen(name);
  uint32_t start = n;
  while (start > 0 && !IsSeparator(static_cast<uint32_t>(name[start - 1]))) start--;
  const Char* part = name + start;
  uint32_t length = n - start;
  const uint32_t limit = ZPK_NAME_SIZE - 1;
  uint32_t keep = length;      // characters taken from the front
  uint32_t extstart = length;  // where the kept extension starts
  uint32_t extlength = 0;
  if (length > limit) {
    uint32_t dot = length;
    for (uint32_t i = length; i > 0; i--) {
      if (part[i - 1] == '.') {
        dot = i - 1;
        break;
      }
    }
    if (dot < length) {
      extstart = dot;
      extlength = length - dot;
      if (extlength > 32) extlength = 32;
      keep = limit - extlength;
    } else {
      keep = limit;
    }
  }
  uint32_t o = 0;
  for (uint32_t i = 0; i < keep; i++) out[o++] = static_cast<char>(part[i] & 0xFF);
  for (uint32_t i = 0; i < extlength; i++) {
    out[o++] = static_cast<char>(part[extstart + i] & 0xFF);
  }
  out[o] = 0;
}

// Writes the table, little-endian, in place of the native values.
void EncodeTable(uint32_t* table, uint32_t count) {
  uint8_t* bytes = reinterpret_cast<uint8_t*>(table);
  for (uint32_t i = 0; i < count; i++) PutU32(bytes + 4 * i, table[i]);
}

// A name for extraction: a plain store name that cannot leave the target folder.
bool SafeStoreName(const char* name) {
  return name[0] != 0 && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
}

struct Buffer {
  uint8_t* data = nullptr;
  explicit Buffer(uint64_t bytes) {
    if (bytes > 0 && bytes <= UINT32_MAX) {
      data = static_cast<uint8_t*>(ClassZMemory::Alloc(static_cast<uint32_t>(bytes)));
    }
  }
  ~Buffer() { ClassZMemory::DeAlloc(data); }
  uint8_t* release() {
    uint8_t* d = data;
    data = nullptr;
    return d;
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
};

}  // namespace

// A new entry of a change: data from memory, or a file named as the caller gave it (8- or
// 16-bit; completed against the current folder and read only when the entry is written).
struct ClassZFile::PackNewEntry {
  char storename[ZPK_NAME_SIZE];
  const void* data = nullptr;
  uint32_t size = 0;
  const char* file8 = nullptr;
  const uint16_t* file16 = nullptr;
  uint32_t filetime = 0;
  uint8_t compression = ZPK_STORE_RAW;
};

// A change of the pack, written as a new pack beside it: the old entries in order, less
// the one removed and with new entries in the places of those they replace, then the new
// entries appended.
struct ClassZFile::PackChange {
  static constexpr uint32_t NONE = UINT32_MAX;
  ZPK_HEADER header;          // of the new pack: its vendor
  uint32_t count;             // old entries
  uint32_t tablestart = 0;    // where the old data area ends
  uint32_t* table;            // the old offsets (count + 1 slots, native values)
  uint32_t* places;           // per old entry: the new entry taking its place, or NONE
  uint32_t* appended;         // the new entries appended, in order
  uint32_t appendedcount = 0;
  uint32_t removed;           // the old entry left out, or NONE
  const PackNewEntry* entries = nullptr;

  PackChange(const ZPK_HEADER& h, uint32_t newentries)
      : header(h),
        count(h.count),
        table(Slots(h.count + uint64_t{1})),
        places(Slots(h.count)),
        appended(Slots(newentries)),
        removed(NONE) {
    for (uint32_t i = 0; places && i < count; i++) places[i] = NONE;
  }
  ~PackChange() {
    for (uint32_t* p : {table, places, appended}) ClassZMemory::DeAlloc(p);
  }
  // Every array allocated (an empty one needs none).
  bool Ready() const { return table && (places || count == 0); }
  uint32_t NewCount() const { return count - (removed < count ? 1 : 0) + appendedcount; }
  PackChange(const PackChange&) = delete;
  PackChange& operator=(const PackChange&) = delete;

 private:
  static uint32_t* Slots(uint64_t n) { return reinterpret_cast<uint32_t*>(Buffer(4 * n).release()); }
};

// What a pass over every record needs from the file, taken once instead of per record:
// its size and, for a version-2 pack, the offset table (raw bytes; null when it can't be
// read, and each record then reads its own slot, failing as it would alone).
struct ClassZFile::PackScan {
  uint64_t filesize;
  Buffer offsets;

  explicit PackScan(ClassZFile& pack)
      : filesize(pack.Size()), offsets(TableBytes(pack.packheader)) {
    uint64_t bytes = TableBytes(pack.packheader);
    if (!offsets.data) return;
    if (bytes <= filesize) {
      pack.Seek(static_cast<uint32_t>(filesize - bytes));
      if (pack.Read(offsets.data, static_cast<uint32_t>(bytes))) return;
    }
    ClassZMemory::DeAlloc(offsets.release());
  }
  static uint64_t TableBytes(const ZPK_HEADER& h) {
    return h.version == ZPK_VERSION_1 ? 0 : uint64_t{4} * h.count;
  }
};

void ZFile_CheckStoreName(char* out, const char* name) { StoreName(out, name); }
void ZFile_CheckStoreName(char* out, const uint16_t* name) { StoreName(out, name); }

uint32_t ZFile_QuickChecksum(const void* block, uint32_t length) {
  char digest[33];
  ClassZStd::MD5Data(digest, block, length);
  return GetU32(reinterpret_cast<const uint8_t*>(digest) + 5) + ZPK_CHECKSUM_ADD;
}

// ---- recognising a pack ---------------------------------------------------------------

void ClassZFile::DetectPack() {
  ForgetPack();
  uint64_t filesize = Size();
  uint8_t bytes[ZPK_V1_HEADER_SIZE];
  Seek(0);
  if (!Read(bytes, 4)) return;
  if (std::memcmp(bytes, "ZPCK", 4) == 0) {
    Seek(0);
    if (!Read(bytes, ZPK_V1_HEADER_SIZE)) return;
    ZPK_HEADER h{};
    std::memcpy(h.magic, "ZPCK", 4);
    std::memcpy(h.vendor, bytes + 4, 4);
    h.headersize = ZPK_HEADER_SIZE;
    h.version = ZPK_VERSION_1;
    h.count = GetU32(bytes + 16);
    if (ZPK_V1_HEADER_SIZE + uint64_t{ZPK_V1_ENTRY_SIZE} * h.count > filesize) return;
    h.checksum = HeaderChecksum(h);
    packheader = h;
    packvalid = 1;
    return;
  }
  Seek(0);
  if (!Read(bytes, ZPK_HEADER_SIZE) || std::memcmp(bytes, "ZPK2", 4) != 0) return;
  ZPK_HEADER h;
  DecodeHeader(h, bytes);
  if (h.headersize != ZPK_HEADER_SIZE || h.checksum != HeaderChecksum(h)) return;
  if (ZPK_HEADER_SIZE + uint64_t{4} * h.count > filesize) return;
  packheader = h;
  packvalid = 1;
  if (!CheckPackTable(static_cast<uint32_t>(filesize))) ForgetPack();
}

// The offset table: each record inside the data area, in ascending order, at least a
// record apart. The writers rely on this to size the entries they move.
int ClassZFile::CheckPackTable(uint32_t filesize) {
  uint32_t count = packheader.count;
  if (count == 0) return 1;
  Buffer table(uint64_t{4} * count);
  if (!table.data) return 0;
  uint32_t tablestart = filesize - 4 * count;
  Seek(tablestart);
  if (!Read(table.data, 4 * count)) return 0;
  uint64_t next = ZPK_HEADER_SIZE;
  for (uint32_t i = 0; i < count; i++) {
    uint64_t offset = GetU32(table.data + 4 * i);
    if (offset < next) return 0;
    next = offset + ZPK_RECORD_SIZE;
  }
  return next <= tablestart;
}

int ClassZFile::PackValid() const { return fileopen && packvalid; }

uint32_t ClassZFile::PackContainFiles() const { return PackValid() ? packheader.count : 0; }

int ClassZFile::PackGetVendor(char* out) const {
  if (!out || !PackValid()) return 0;
  std::memcpy(out, packheader.vendor, 4);
  out[4] = 0;
  return 1;
}

int ClassZFile::WritePackHeader() {
  packheader.checksum = HeaderChecksum(packheader);
  uint8_t bytes[ZPK_HEADER_SIZE];
  EncodeHeader(bytes, packheader);
  Seek(0);
  return Write(bytes, ZPK_HEADER_SIZE);
}

int ClassZFile::PackChangeVendor(const char* vendor) {
  if (!vendor || !PackValid()) return 0;
  syserror = 0;
  if (packheader.version == ZPK_VERSION_1 && !ConvertPackFile()) return 0;
  PackChange change(packheader, 0);
  if (!change.Ready() || !ReadPackTable(change.table, change.tablestart)) return 0;
  // Four characters at most; a shorter code is padded with zeros, as PackNew does.
  for (int i = 0, end = 0; i < 4; i++) {
    end = end || vendor[i] == 0;
    change.header.vendor[i] = end ? 0 : vendor[i];
  }
  return WritePackChange(change) == ZPK_OK;
}

// ---- reading --------------------------------------------------------------------------

int ClassZFile::PackGetFileInfo(ZPK_FILEINFO* info, uint32_t index, bool local) {
  if (!info || !PackValid() || index >= packheader.count) return 0;
  if (!ReadPackRecord(info, index, Size(), nullptr)) return 0;
  if (local) {
    ClassZDevice device;
    int64_t shift = device.LocalTimeOffset();
    for (uint32_t* t : {&info->filetime, &info->timeadded}) {
      int64_t v = static_cast<int64_t>(*t) + shift;
      *t = v < 0 ? 0 : v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v);
    }
  }
  return 1;
}

int ClassZFile::ReadPackRecord(ZPK_FILEINFO* info, uint32_t index, uint64_t filesize,
                               const uint8_t* offsets) {
  std::memset(info, 0, sizeof(*info));
  info->recordsize = ZPK_RECORD_SIZE;
  uint32_t count = packheader.count;
  if (packheader.version == ZPK_VERSION_1) {
    uint8_t entry[ZPK_V1_ENTRY_SIZE];
    uint64_t tableend = ZPK_V1_HEADER_SIZE + uint64_t{ZPK_V1_ENTRY_SIZE} * count;
    Seek(ZPK_V1_HEADER_SIZE + ZPK_V1_ENTRY_SIZE * index);
    if (tableend > filesize || !Read(entry, ZPK_V1_ENTRY_SIZE)) return 0;
    entry[127] = 0;
    uint32_t offset = GetU32(entry + 128);
    uint32_t stored = GetU32(entry + 136);
    if (offset < tableend || offset + uint64_t{stored} > filesize) return 0;
    ZFile_CheckStoreName(info->name, reinterpret_cast<const char*>(entry));
    info->dataoffset = offset;
    info->unpacked = GetU32(entry + 132);
    info->stored = stored;
    info->compression = entry[140];
  } else {
    uint64_t tablestart = filesize - uint64_t{4} * count;
    if (uint64_t{4} * count > filesize) return 0;
    uint8_t bytes[ZPK_RECORD_SIZE];
    if (!offsets) {
      Seek(static_cast<uint32_t>(tablestart + 4 * index));
      if (!Read(bytes, 4)) return 0;
    }
    uint32_t offset = GetU32(offsets ? offsets + 4 * index : bytes);
    if (offset < ZPK_HEADER_SIZE || offset + uint64_t{ZPK_RECORD_SIZE} > tablestart) return 0;
    Seek(offset);
    if (!Read(bytes, ZPK_RECORD_SIZE)) return 0;
    ZPK_FILEINFO r;
    DecodeRecord(r, bytes);
    if (r.recordsize != ZPK_RECORD_SIZE) return 0;
    r.dataoffset = offset + ZPK_RECORD_SIZE;
    if (r.dataoffset + uint64_t{r.stored} > tablestart) return 0;
    *info = r;
  }
  return 1;
}

int ClassZFile::PackGetFileInfo(ZPK_FILEINFO* info, const uint16_t* name, bool local) {
  uint32_t index;
  return PackSearchFile(name, index) && PackGetFileInfo(info, index, local);
}

int ClassZFile::PackGetFileInfo(ZPK_FILEINFO* info, const char* name, bool local) {
  uint16_t wide[ZFILE_NAME_CAPACITY];
  return ZFile_WidenName(wide, name) && PackGetFileInfo(info, wide, local);
}

int ClassZFile::FindStoreName(const char* storename, uint32_t& index) {
  if (!PackValid()) return 0;
  uint32_t count = packheader.count;
  if (nameindex) {
    uint32_t slots = indexslots < count ? indexslots : count;
    for (uint32_t i = 0; i < slots; i++) {
      if (ClassZStd::StrEqual(nameindex[i], storename, false)) {
        index = i;
        return 1;
      }
    }
    return 0;
  }
  PackScan scan(*this);
  ZPK_FILEINFO info;
  for (uint32_t i = 0; i < count; i++) {
    if (ReadPackRecord(&info, i, scan.filesize, scan.offsets.data) &&
        ClassZStd::StrEqual(info.name, storename, false)) {
      index = i;
      return 1;
    }
  }
  return 0;
}

int ClassZFile::PackSearchFile(const uint16_t* name, uint32_t& index) {
  char storename[ZPK_NAME_SIZE];
  ZFile_CheckStoreName(storename, name);
  return name && FindStoreName(storename, index);
}

int ClassZFile::PackSearchFile(const char* name, uint32_t& index) {
  uint16_t wide[ZFILE_NAME_CAPACITY];
  return ZFile_WidenName(wide, name) && PackSearchFile(wide, index);
}

ZPK_INDEXSLOT* ClassZFile::PackBuildIndex() {
  if (!PackValid()) return nullptr;
  uint32_t count = packheader.count;
  Buffer array(uint64_t{ZPK_NAME_SIZE} * count);
  if (!array.data) return nullptr;
  std::memset(array.data, 0, ZPK_NAME_SIZE * count);
  nameindex = nullptr;  // read the records themselves while filling
  ZPK_INDEXSLOT* slots = reinterpret_cast<ZPK_INDEXSLOT*>(array.data);
  PackScan scan(*this);
  ZPK_FILEINFO info;
  for (uint32_t i = 0; i < count; i++) {
    if (ReadPackRecord(&info, i, scan.filesize, scan.offsets.data)) {
      std::memcpy(slots[i], info.name, ZPK_NAME_SIZE);
    }
  }
  PackUseIndex(slots, count);
  array.release();
  return slots;
}

void ClassZFile::PackUseIndex(ZPK_INDEXSLOT* index, uint32_t slots) {
  nameindex = index;
  indexslots = index ? slots : 0;
}

int ClassZFile::PackGetFileData(uint8_t*& buffer, uint32_t& size, uint32_t index) {
  buffer = nullptr;
  size = 0;
  if (!PackValid()) return ZPK_NOPACK;
  ZPK_FILEINFO info;
  if (!PackGetFileInfo(&info, index, false)) return ZPK_NOTFOUND;
  // Nothing to unpack is an empty entry, whatever its kind and stored bytes say.
  if (info.unpacked == 0) return ZPK_OK;
  uint8_t kind = info.compression;
  if (kind > ZPK_STORE_ZLIB) return ZPK_BADDATA;
  if (kind == ZPK_STORE_RAW && info.stored != info.unpacked) return ZPK_BADDATA;
  uint64_t bound = kind == ZPK_STORE_CODEC ? uint64_t{info.stored} * CODEC_MAX_RATIO
                                           : uint64_t{info.stored} * ZLIB_MAX_RATIO + 1024;
  if (kind != ZPK_STORE_RAW && info.unpacked > bound) return ZPK_BADDATA;
  if (info.unpacked > ZMEMORY_LARGEST_BLOCK || info.stored > ZMEMORY_LARGEST_BLOCK)
    return ZPK_NOMEMORY;

  Seek(info.dataoffset);
  Buffer out(info.unpacked);
  if (!out.data) return ZPK_NOMEMORY;
  if (kind == ZPK_STORE_RAW) {
    if (!Read(out.data, info.unpacked)) return ZPK_FAILED;
  } else {
    Buffer stored(info.stored);
    if (!stored.data) return ZPK_NOMEMORY;
    if (!Read(stored.data, info.stored)) return ZPK_FAILED;
    uint32_t length = info.unpacked;
    int ok;
    if (kind == ZPK_STORE_CODEC) {
      ClassZMemory codec;
      ok = codec.UnCompress(out.data, length, stored.data, info.stored);
    } else {
      ok = ClassZMemory::UnCompressZLib(out.data, length, stored.data, info.stored);
    }
    if (!ok || length != info.unpacked) return ZPK_BADDATA;
  }
  size = info.unpacked;
  buffer = out.release();
  return ZPK_OK;
}

int ClassZFile::PackGetFileData(uint8_t*& buffer, uint32_t& size, const uint16_t* name) {
  buffer = nullptr;
  size = 0;
  if (!PackValid()) return ZPK_NOPACK;
  uint32_t index;
  if (!PackSearchFile(name, index)) return ZPK_NOTFOUND;
  return PackGetFileData(buffer, size, index);
}

int ClassZFile::PackGetFileData(uint8_t*& buffer, uint32_t& size, const char* name) {
  uint16_t wide[ZFILE_NAME_CAPACITY];
  buffer = nullptr;
  size = 0;
  if (!PackValid()) return ZPK_NOPACK;
  if (!ZFile_WidenName(wide, name)) return ZPK_NOTFOUND;
  return PackGetFileData(buffer, size, wide);
}

int ClassZFile::PackExtractFile(const uint16_t* folder, uint32_t index, bool overwrite) {
  if (!PackValid()) return ZPK_NOPACK;
  syserror = 0;
  if (index >= packheader.count) return ZPK_NOTFOUND;
  ZPK_FILEINFO info;
  if (!PackGetFileInfo(&info, index, false)) return ZPK_FAILED;
  // The stored name is untrusted: keep only a plain name inside the folder.
  char storename[ZPK_NAME_SIZE];
  ZFile_CheckStoreName(storename, info.name);
  if (!SafeStoreName(storename)) return ZPK_FAILED;

  uint16_t target[ZFILE_NAME_CAPACITY];
  if (!folder || !CompleteName(target, folder)) return ZPK_FAILED;
  uint32_t n = ClassZStd::StrLen(target);
  if (n == 0 || target[n - 1] != '/') target[n++] = '/';
  uint32_t namelength = ClassZStd::StrLen(storename);
  if (n + namelength > ZFILE_MAX_FULLNAME) return ZPK_FAILED;
  ClassZStd::StrCpy(target + n, storename, ZPK_NAME_SIZE);

  ClassZFile out;
  if (!overwrite && out.Exists(target)) return ZPK_EXISTS;
  uint8_t* data;
  uint32_t size;
  int result = PackGetFileData(data, size, index);
  if (result != ZPK_OK) return result;
  // Written beside the target and renamed over it: a failed write neither leaves a
  // half-written file nor loses the one it was to replace.
  if (!NewBeside(out, target) || !out.CommitAs(target, size == 0 || out.Write(data, size))) {
    KeepError(out);
    result = ZPK_FAILED;
  }
  ClassZMemory::DeAlloc(data);
  return result;
}

int ClassZFile::PackExtractFile(const uint16_t* folder, const uint16_t* name, bool overwrite) {
  if (!PackValid()) return ZPK_NOPACK;
  uint32_t index;
  if (!PackSearchFile(name, index)) return ZPK_NOTFOUND;
  return PackExtractFile(folder, index, overwrite);
}

int ClassZFile::PackExtractFile(const char* folder, uint32_t index, bool overwrite) {
  uint16_t wide[ZFILE_NAME_CAPACITY];
  if (!PackValid()) return ZPK_NOPACK;
  if (!ZFile_WidenName(wide, folder)) return ZPK_FAILED;
  return PackExtractFile(wide, index, overwrite);
}

int ClassZFile::PackExtractFile(const char* folder, const char* name, bool overwrite) {
  uint16_t wide[ZFILE_NAME_CAPACITY];
  if (!PackValid()) return ZPK_NOPACK;
  if (!ZFile_WidenName(wide, name)) return ZPK_NOTFOUND;
  uint32_t index;
  if (!PackSearchFile(wide, index)) return ZPK_NOTFOUND;
  return PackExtractFile(folder, index, overwrite);
}

// ---- writing --------------------------------------------------------------------------

// The changed pack is written beside the old one and renamed over it, so that a failure at
// any point (a full disk, an I/O error, a source file that can't be read) leaves the old
// pack whole and open. Old entries are copied as they are stored, in runs of neighbours.
int ClassZFile::WritePackChange(const PackChange& c) {
  if (!writable) return ZPK_FAILED;
  nameindex = nullptr;  // the entries change under it
  indexslots = 0;
  const uint32_t newcount = c.NewCount();
  Buffer tablebuffer(uint64_t{4} * newcount);
  if (newcount && !tablebuffer.data) return ZPK_NOMEMORY;
  uint32_t* newtable = reinterpret_cast<uint32_t*>(tablebuffer.data);
  ClassZFile out;
  if (!NewBeside(out, ownname)) {
    KeepError(out);
    return ZPK_FAILED;
  }

  ZPK_HEADER h = c.header;
  std::memcpy(h.magic, "ZPK2", 4);
  h.headersize = ZPK_HEADER_SIZE;
  h.version = ZPK_VERSION_2;
  h.count = newcount;
  h.checksum = HeaderChecksum(h);
  uint8_t bytes[ZPK_HEADER_SIZE];
  EncodeHeader(bytes, h);
  int result = out.Write(bytes, ZPK_HEADER_SIZE) ? ZPK_OK : ZPK_FAILED;
  uint64_t pos = ZPK_HEADER_SIZE;
  uint32_t k = 0;
  uint32_t runfrom = 0, runlength = 0;  // old bytes waiting to be copied
  auto flush = [&]() {
    if (result == ZPK_OK && !CopyTo(out, runfrom, runlength)) result = ZPK_FAILED;
    pos += runlength;
    runlength = 0;
  };
  auto add = [&](const PackNewEntry& e) {
    newtable[k++] = static_cast<uint32_t>(pos);
    if (result == ZPK_OK) result = WriteNewEntry(out, e, pos);
  };
  for (uint32_t i = 0; i < c.count && result == ZPK_OK; i++) {
    uint32_t start = c.table[i];
    uint32_t end = i + 1 < c.count ? c.table[i + 1] : c.tablestart;
    if (i == c.removed || c.places[i] != PackChange::NONE) {
      flush();
      if (i != c.removed) add(c.entries[c.places[i]]);
      continue;
    }
    if (runlength == 0) runfrom = start;
    newtable[k++] = static_cast<uint32_t>(pos + runlength);
    runlength += end - start;  // the table ascends (checked at Open): neighbours touch
  }
  flush();
  for (uint32_t j = 0; j < c.appendedcount && result == ZPK_OK; j++) add(c.entries[c.appended[j]]);
  if (result == ZPK_OK && pos + uint64_t{4} * newcount > UINT32_MAX) result = ZPK_FAILED;
  if (result == ZPK_OK && newcount) {
    EncodeTable(newtable, newcount);
    if (!out.Write(newtable, 4 * newcount)) result = ZPK_FAILED;
  }
  if (!FinishPackRewrite(out, result == ZPK_OK) && result == ZPK_OK) result = ZPK_FAILED;
  return result;
}

// Opens the file of a new entry for reading, its name completed into full; 0 (the system's
// error kept) when it cannot be.
int ClassZFile::OpenNewEntryFile(const PackNewEntry& e, ClassZFile& source, uint16_t* full) {
  uint16_t wide[ZFILE_NAME_CAPACITY];
  const uint16_t* name = e.file16;
  if (!name && ZFile_WidenName(wide, e.file8)) name = wide;
  if (name && CompleteName(full, name) && source.Open(full, ZFILE_MODE_READ)) return 1;
  KeepError(source);
  return 0;
}

// Reads (when it comes from a file), stores and writes one new entry at pos, which moves on.
int ClassZFile::WriteNewEntry(ClassZFile& out, const PackNewEntry& e, uint64_t& pos) {
  const void* data = e.data;
  uint32_t size = e.data ? e.size : 0;
  Buffer filedata(0);
  if (e.file8 || e.file16) {
    uint16_t full[ZFILE_NAME_CAPACITY];
    ClassZFile source;
    // It could be opened a moment ago: now a reading failure.
    if (!OpenNewEntryFile(e, source, full)) return ZPK_FAILED;
    size = source.Size();
    Buffer read(size);
    if (size && !read.data) return ZPK_NOMEMORY;
    if (size && !source.Read(read.data, size)) {
      KeepError(source);
      return ZPK_FAILED;
    }
    filedata.data = read.release();
    data = filedata.data;
  }
  // The stored form: compressed only when that saves at least 5 bytes.
  uint64_t room = uint64_t{size} + size / 100 + 12;
  if (room < 18) room = 18;  // a codec stream of one byte is 18 bytes long
  Buffer work(size ? room : 0);
  if (size && !work.data) return ZPK_NOMEMORY;
  uint32_t stored = 0;
  uint8_t kind = ZPK_STORE_RAW;
  if (size) {
    uint32_t length = static_cast<uint32_t>(room);
    int ok = 0;
    if (e.compression == ZPK_STORE_CODEC) {
      ClassZMemory codec;
      ok = codec.Compress(work.data, length, data, size);
    } else if (e.compression == ZPK_STORE_ZLIB) {
      ok = ClassZMemory::CompressZLib(work.data, length, data, size);
    }
    if (ok && uint64_t{length} + 4 < size) {
      stored = length;
      kind = e.compression;
    } else {
      std::memcpy(work.data, data, size);
      stored = size;
    }
  }
  ZPK_FILEINFO record{};
  std::memcpy(record.name, e.storename, ZPK_NAME_SIZE);
  record.recordsize = ZPK_RECORD_SIZE;
  record.unpacked = size;
  record.stored = stored;
  record.compression = kind;
  record.filetime = e.filetime;
  ClassZDevice device;
  record.timeadded = device.TimestampNow(false);
  if (pos + ZPK_RECORD_SIZE + stored > UINT32_MAX) return ZPK_FAILED;
  uint8_t bytes[ZPK_RECORD_SIZE];
  EncodeRecord(bytes, record);
  if (!out.Write(bytes, ZPK_RECORD_SIZE) || (stored && !out.Write(work.data, stored))) {
    return ZPK_FAILED;
  }
  pos += ZPK_RECORD_SIZE + stored;
  return ZPK_OK;
}

int ClassZFile::FinishPackRewrite(ClassZFile& out, bool written) {
  uint16_t packname[ZFILE_NAME_CAPACITY];
  ClassZStd::StrCpy(packname, ownname, ZFILE_NAME_CAPACITY);
  if (!out.CommitAs(packname, written)) {
    KeepError(out);
    return 0;
  }
  Close();
  return Open(packname, ZFILE_MODE_UPDATE) && PackValid() ? 1 : 0;
}

int ClassZFile::PackNew(const uint16_t* name, const uint16_t* vendor) {
  Close();
  syserror = 0;
  if (!name || GetAttributes(name) != 0) return ZPK_EXISTS;
  if (!New(name)) return ZPK_FAILED;
  ZPK_HEADER h{};
  std::memcpy(h.magic, "ZPK2", 4);
  std::memcpy(h.vendor, DEFAULT_VENDOR, 4);
  if (vendor) {
    // Four characters at most; a shorter code is padded with zeros.
    for (int i = 0, end = 0; i < 4; i++) {
      end = end || vendor[i] == 0;
      h.vendor[i] = end ? 0 : static_cast<char>(vendor[i] & 0xFF);
    }
  }
  h.headersize = ZPK_HEADER_SIZE;
  h.version = ZPK_VERSION_2;
  packheader = h;
  if (!WritePackHeader() || !SyncToDisk()) {
    // Not a pack: nothing of it is left behind.
    Close();
    Delete(ownname);
    return ZPK_FAILED;
  }
  packvalid = 1;
  Seek(0);
  return ZPK_OK;
}

int ClassZFile::PackNew(const char* name, const char* vendor) {
  uint16_t wname[ZFILE_NAME_CAPACITY], wvendor[5] = {0, 0, 0, 0, 0};
  if (!ZFile_WidenName(wname, name)) {
    Close();
    return ZPK_FAILED;
  }
  if (vendor) {
    for (int i = 0; i < 4 && vendor[i]; i++) wvendor[i] = static_cast<uint8_t>(vendor[i]);
  }
  return PackNew(wname, vendor ? wvendor : nullptr);
}

// Reads the offset table (count slots, room for one more) and where it starts.
int ClassZFile::ReadPackTable(uint32_t* table, uint32_t& tablestart) {
  uint32_t count = packheader.count;
  tablestart = Size() - 4 * count;
  if (count == 0) return 1;
  uint8_t* bytes = reinterpret_cast<uint8_t*>(table);
  Seek(tablestart);
  if (!Read(bytes, 4 * count)) return 0;
  for (uint32_t i = count; i > 0; i--) table[i - 1] = GetU32(bytes + 4 * (i - 1));
  return 1;
}

// Takes the new entries in order into one change, up to the first that cannot be added;
// then writes the pack once. taken = how many went into the pack (0 when it could not be
// written). The result is that first entry's code, else the write's.
int ClassZFile::AddPackEntries(PackNewEntry* entries, uint32_t n, bool overwrite,
                               uint32_t& taken) {
  taken = 0;
  syserror = 0;
  if (!PackValid()) return ZPK_NOPACK;
  if (n == 0) return ZPK_OK;
  uint32_t count = packheader.count;
  // The old store names, read once for every lookup (unreadable records match nothing).
  Buffer oldnames(uint64_t{ZPK_NAME_SIZE} * count), readable(count);
  if (count && (!oldnames.data || !readable.data)) return ZPK_NOMEMORY;
  {
    PackScan scan(*this);
    ZPK_FILEINFO info;
    for (uint32_t i = 0; i < count; i++) {
      readable.data[i] = ReadPackRecord(&info, i, scan.filesize, scan.offsets.data);
      std::memcpy(oldnames.data + ZPK_NAME_SIZE * i, info.name, ZPK_NAME_SIZE);
    }
  }
  PackChange change(packheader, n);
  if (!change.Ready() || !change.appended) return ZPK_NOMEMORY;
  change.entries = entries;
  int result = ZPK_OK;
  uint32_t f = 0;
  for (; f < n; f++) {
    PackNewEntry& e = entries[f];
    const bool fromfile = e.file8 || e.file16;
    if (fromfile && count + change.appendedcount >= ZPK_MAX_ENTRIES) {
      result = ZPK_FULL;
      break;
    }
    uint32_t old = PackChange::NONE, added = PackChange::NONE;
    for (uint32_t i = 0; i < count && old == PackChange::NONE; i++) {
      const char* name = reinterpret_cast<const char*>(oldnames.data + ZPK_NAME_SIZE * i);
      if (readable.data[i] && ClassZStd::StrEqual(name, e.storename, false)) old = i;
    }
    for (uint32_t j = 0; j < change.appendedcount && old == PackChange::NONE; j++) {
      if (ClassZStd::StrEqual(entries[change.appended[j]].storename, e.storename, false)) added = j;
    }
    if ((old != PackChange::NONE || added != PackChange::NONE) && !overwrite) {
      result = ZPK_EXISTS;
      break;
    }
    if (fromfile) {
      // Whether the file can be opened at all, and its modification time.
      uint16_t full[ZFILE_NAME_CAPACITY];
      ClassZFile source;
      if (!OpenNewEntryFile(e, source, full)) {
        result = ZPK_NOTFOUND;
        break;
      }
      source.Close();
      Z_FILEINFO info;
      e.filetime = source.GetInformation(&info, full, false)
                       ? ClassZStd::DateTimeToTimestamp(&info.modified)
                       : 0;
    }
    if (old != PackChange::NONE) {
      change.places[old] = f;  // a later one of the same name wins the place
    } else if (added != PackChange::NONE) {
      change.appended[added] = f;
    } else {
      change.appended[change.appendedcount++] = f;
    }
  }
  if (f == 0) return result;
  // Something to write: a version-1 pack becomes version 2 first (its entries in the same
  // order, so the places found above stay right).
  if (packheader.version == ZPK_VERSION_1 && !ConvertPackFile()) return ZPK_FAILED;
  if (!ReadPackTable(change.table, change.tablestart)) return ZPK_FAILED;
  int written = WritePackChange(change);
  if (written != ZPK_OK) return written;
  taken = f;
  return result;
}

int ClassZFile::PackAddFileData(const uint16_t* name, const void* data, uint32_t size,
                                bool overwrite, uint8_t compression, uint32_t filetime) {
  PackNewEntry e;
  ZFile_CheckStoreName(e.storename, name);
  e.data = data;
  e.size = data ? size : 0;
  e.filetime = filetime;
  e.compression = compression;
  uint32_t taken;
  return AddPackEntries(&e, 1, overwrite, taken);
}

int ClassZFile::PackAddFileData(const char* name, const void* data, uint32_t size,
                                bool overwrite, uint8_t compression, uint32_t filetime) {
  uint16_t wide[ZFILE_NAME_CAPACITY];
  if (!PackValid()) return ZPK_NOPACK;
  if (!ZFile_WidenName(wide, name)) return ZPK_FAILED;
  return PackAddFileData(wide, data, size, overwrite, compression, filetime);
}

int ClassZFile::PackAddFile(const uint16_t* filename, bool overwrite, uint8_t compression) {
  if (!PackValid()) return ZPK_NOPACK;
  if (!filename) return ZPK_NOTFOUND;
  PackNewEntry e;
  ZFile_CheckStoreName(e.storename, filename);
  e.file16 = filename;
  e.compression = compression;
  uint32_t taken;
  return AddPackEntries(&e, 1, overwrite, taken);
}

int ClassZFile::PackAddFile(const char* filename, bool overwrite, uint8_t compression) {
  uint16_t wide[ZFILE_NAME_CAPACITY];
  if (!PackValid()) return ZPK_NOPACK;
  if (!ZFile_WidenName(wide, filename)) return ZPK_NOTFOUND;
  return PackAddFile(wide, overwrite, compression);
}

int ClassZFile::PackAddFiles(const char* const* filenames, uint32_t count, bool overwrite,
                             uint8_t compression, uint32_t& added) {
  added = 0;
  if (!PackValid()) return ZPK_NOPACK;
  if (!filenames) return ZPK_NOTFOUND;
  Buffer block(uint64_t{sizeof(PackNewEntry)} * count);
  if (count && !block.data) return ZPK_NOMEMORY;
  PackNewEntry* entries = reinterpret_cast<PackNewEntry*>(block.data);
  for (uint32_t i = 0; i < count; i++) {
    PackNewEntry* e = new (entries + i) PackNewEntry;
    uint16_t wide[ZFILE_NAME_CAPACITY];
    if (filenames[i] && ZFile_WidenName(wide, filenames[i])) {
      ZFile_CheckStoreName(e->storename, wide);
    } else {
      e->storename[0] = 0;
    }
    e->file8 = filenames[i] ? filenames[i] : "";
    e->compression = compression;
  }
  return AddPackEntries(entries, count, overwrite, added);
}

int ClassZFile::PackDeleteFile(uint32_t index) {
  if (!PackValid()) return ZPK_NOPACK;
  if (index >= packheader.count) return ZPK_NOTFOUND;
  syserror = 0;
  if (packheader.version == ZPK_VERSION_1 && !ConvertPackFile()) return ZPK_FAILED;
  PackChange change(packheader, 0);
  if (!change.Ready()) return ZPK_NOMEMORY;
  if (!ReadPackTable(change.table, change.tablestart)) return ZPK_FAILED;
  change.removed = index;
  return WritePackChange(change);
}

int ClassZFile::PackDeleteFile(const uint16_t* name) {
  if (!PackValid()) return ZPK_NOPACK;
  uint32_t index;
  if (!PackSearchFile(name, index)) return ZPK_NOTFOUND;
  return PackDeleteFile(index);
}

int ClassZFile::PackDeleteFile(const char* name) {
  uint16_t wide[ZFILE_NAME_CAPACITY];
  if (!PackValid()) return ZPK_NOPACK;
  if (!ZFile_WidenName(wide, name)) return ZPK_NOTFOUND;
  return PackDeleteFile(wide);
}

// Writes the version-2 form beside the pack as "<name>_tmp" and renames it over the
// pack, so that the pack is whole at every moment.
int ClassZFile::ConvertPackFile() {
  if (!PackValid() || !writable || packheader.version != ZPK_VERSION_1) return 0;
  syserror = 0;
  uint32_t count = packheader.count;
  ZPK_HEADER h{};
  std::memcpy(h.magic, "ZPK2", 4);
  std::memcpy(h.vendor, packheader.vendor, 4);
  h.headersize = ZPK_HEADER_SIZE;
  h.version = ZPK_VERSION_2;
  h.count = count;
  h.checksum = HeaderChecksum(h);
  Buffer tablebuffer(uint64_t{4} * count);
  if (count && !tablebuffer.data) return 0;
  uint32_t* table = reinterpret_cast<uint32_t*>(tablebuffer.data);
  ClassZFile out;
  if (!NewBeside(out, ownname)) {
    KeepError(out);
    return 0;
  }

  uint8_t bytes[ZPK_RECORD_SIZE];
  EncodeHeader(bytes, h);
  bool ok = out.Write(bytes, ZPK_HEADER_SIZE);
  for (uint32_t i = 0; i < count && ok; i++) {
    ZPK_FILEINFO info;
    ok = PackGetFileInfo(&info, i, false);
    if (!ok) break;
    uint32_t from = info.dataoffset;
    table[i] = out.Tell();
    info.recordsize = ZPK_RECORD_SIZE;
    info.dataoffset = 0;
    EncodeRecord(bytes, info);
    ok = out.Write(bytes, ZPK_RECORD_SIZE) && CopyTo(out, from, info.stored);
  }
  if (ok && count) {
    EncodeTable(table, count);
    ok = out.Write(table, 4 * count);
  }
  return FinishPackRewrite(out, ok);
}
