#include "engine/core/zmod_file.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/core/zmod_memory.h"
#include "seam/regular_file.h"

namespace {

enum : uint8_t { OP_NONE = 0, OP_READ = 1, OP_WRITE = 2 };
constexpr uint32_t COPY_CHUNK = 32768;

bool IsSeparator(uint16_t c) { return c == '/' || c == '\\'; }

// "/x", "\x" or "X:/" (and "X:\").
bool IsAbsolute(const uint16_t* name) {
  if (IsSeparator(name[0])) return true;
  return name[0] != 0 && name[1] == ':' && IsSeparator(name[2]);
}

uint32_t Length16(const uint16_t* s) { return ClassZStd::StrLen(s, ZFILE_NAME_CAPACITY); }

// A full name for the C library: at most ZFILE_MAX_FULLNAME characters, each narrowed to
// its low byte.
struct SystemName {
  char text[ZFILE_MAX_FULLNAME + 1];
  bool ok;
  explicit SystemName(const uint16_t* name) {
    uint32_t n = ClassZStd::StrLen(name, ZFILE_MAX_FULLNAME + 1);
    ok = n > 0 && n <= ZFILE_MAX_FULLNAME;
    if (!ok) n = 0;
    for (uint32_t i = 0; i < n; i++) text[i] = static_cast<char>(name[i] & 0xFF);
    text[n] = 0;
  }
};

// An 8-bit argument widened for the 16-bit form; null stays null.
struct WideArg {
  uint16_t text[ZFILE_NAME_CAPACITY];
  const uint16_t* ptr;
  bool ok;
  explicit WideArg(const char* name) : ptr(nullptr), ok(true) {
    if (!name) return;
    ok = ZFile_WidenName(text, name) != 0;
    if (ok) ptr = text;
  }
};

void ToDateTime(Z_DATETIME* out, time_t t, bool local) {
  struct tm parts;
  std::memset(&parts, 0, sizeof(parts));
  if (local) {
    localtime_r(&t, &parts);
  } else {
    gmtime_r(&t, &parts);
  }
  out->year = static_cast<uint32_t>(parts.tm_year + 1900);
  out->month = static_cast<uint8_t>(parts.tm_mon + 1);
  out->day = static_cast<uint8_t>(parts.tm_mday);
  out->hour = static_cast<uint8_t>(parts.tm_hour);
  out->minute = static_cast<uint8_t>(parts.tm_min);
  out->second = static_cast<uint8_t>(parts.tm_sec);
}

}  // namespace

// ---- free functions -------------------------------------------------------------------

int ZFile_WidenName(uint16_t* out, const char* name) {
  out[0] = 0;
  if (!name) return 0;
  if (ClassZStd::StrLen(name, ZFILE_NAME_CAPACITY) >= ZFILE_NAME_CAPACITY) return 0;
  ClassZStd::StrCpy(out, name, ZFILE_NAME_CAPACITY);
  return 1;
}

int GetPath(uint16_t* out) {
  out[0] = '/';
  out[1] = 0;
  char* cwd = get_current_dir_name();
  if (!cwd) return 1;
  size_t n = std::strlen(cwd);
  int result = 0;
  if (n + 2 <= ZFILE_NAME_CAPACITY) {
    ClassZStd::StrCpy(out, cwd, ZFILE_NAME_CAPACITY);
    if (n == 0 || cwd[n - 1] != '/') {
      out[n] = '/';
      out[n + 1] = 0;
    }
    result = 1;
  }
  std::free(cwd);
  return result;
}

int ZFile_CheckFileName(uint16_t* out, const uint16_t* name, const uint16_t* ownname,
                        uint16_t* currentfolder) {
  out[0] = 0;
  if (!name) {
    uint32_t n = Length16(ownname);
    if (n > ZFILE_MAX_FULLNAME) return 0;
    ClassZStd::StrCpy(out, ownname, ZFILE_NAME_CAPACITY);
    return 1;
  }
  uint32_t o = 0;
  if (!IsAbsolute(name)) {
    if (currentfolder[0] == 0 && !GetPath(currentfolder)) {
      currentfolder[0] = 0;
      return 0;
    }
    for (const uint16_t* p = currentfolder; *p; p++) {
      if (o >= ZFILE_MAX_FULLNAME) return 0;
      out[o++] = *p;
    }
  }
  for (const uint16_t* p = name; *p; p++) {
    if (o >= ZFILE_MAX_FULLNAME) {
      out[0] = 0;
      return 0;
    }
    out[o++] = IsSeparator(*p) ? '/' : *p;
  }
  out[o] = 0;
  return 1;
}

uint32_t ZFile_LongFCC(const uint16_t* chars) {
  return (chars[0] & 0xFFu) | (chars[1] & 0xFFu) << 8 | (chars[2] & 0xFFu) << 16 |
         static_cast<uint32_t>(chars[3] & 0xFFu) << 24;
}

uint32_t ZFile_LongFCC(const char* chars) {
  const uint8_t* c = reinterpret_cast<const uint8_t*>(chars);
  return c[0] | c[1] << 8 | c[2] << 16 | static_cast<uint32_t>(c[3]) << 24;
}

void ZFile_CharFCC(uint16_t* out, uint32_t fcc) {
  for (int i = 0; i < 4; i++) out[i] = static_cast<uint16_t>((fcc >> (8 * i)) & 0xFF);
  out[4] = 0;
}

void ZFile_CharFCC(char* out, uint32_t fcc) {
  for (int i = 0; i < 4; i++) out[i] = static_cast<char>((fcc >> (8 * i)) & 0xFF);
  out[4] = 0;
}

// ---- ClassZFile -----------------------------------------------------------------------

ClassZFile::ClassZFile()
    : stream(nullptr),
      folder(nullptr),
      packheader(),
      nameindex(nullptr),
      indexslots(0),
      fileopen(0),
      folderopen(0),
      packvalid(0),
      writable(0),
      lastop(OP_NONE),
      syserror(0) {
  ownname[0] = 0;
  curfolder[0] = 0;
  curfolderc[0] = 0;
}

ClassZFile::~ClassZFile() {
  Close();
  CloseFolder();
}

int ClassZFile::CompleteName(uint16_t* out, const uint16_t* name) {
  return ZFile_CheckFileName(out, name, ownname, curfolder);
}

int ClassZFile::OpenStream(const uint16_t* name, const char* mode) {
  Close();
  uint16_t full[ZFILE_NAME_CAPACITY];
  if (!CompleteName(full, name)) return 0;
  SystemName sys(full);
  if (!sys.ok) return 0;
  // A FIFO or a device where a file is expected would hold the program in the open or in
  // its first read; such a name fails here as a missing one does.
  stream = fopen_regular_file(sys.text, mode);
  if (!stream) return SystemFailure();
  fileopen = 1;
  writable = mode[0] != 'r' || std::strchr(mode, '+') != nullptr;
  lastop = OP_NONE;
  ClassZStd::StrCpy(ownname, full, ZFILE_NAME_CAPACITY);
  return 1;
}

int ClassZFile::Open(const uint16_t* name, uint8_t mode) {
  static const char* const modes[4] = {"r+b", "rb", "wb", "r+b"};
  if (mode > 3) {
    Close();
    return 0;
  }
  if (!OpenStream(name, modes[mode])) return 0;
  DetectPack();
  Seek(0);
  return 1;
}

int ClassZFile::Open(const char* name, uint8_t mode) {
  WideArg w(name);
  if (!w.ok) {
    Close();
    return 0;
  }
  return Open(w.ptr, mode);
}

int ClassZFile::New(const uint16_t* name) { return OpenStream(name, "w+b"); }

int ClassZFile::New(const char* name) {
  WideArg w(name);
  if (!w.ok) {
    Close();
    return 0;
  }
  return New(w.ptr);
}

void ClassZFile::Close() {
  if (stream) std::fclose(stream);
  stream = nullptr;
  fileopen = 0;
  writable = 0;
  lastop = OP_NONE;
  ForgetPack();
}

void ClassZFile::ForgetPack() {
  packvalid = 0;
  nameindex = nullptr;
  indexslots = 0;
}

// stdio requires a positioning call between a read and a following write (and back).
int ClassZFile::SyncDirection(uint8_t op) {
  if (lastop != OP_NONE && lastop != op && std::fseek(stream, 0, SEEK_CUR) != 0) return 0;
  lastop = op;
  return 1;
}

int ClassZFile::Read(void* buffer, uint32_t bytes) {
  if (!fileopen || bytes == 0 || !buffer || !SyncDirection(OP_READ)) return 0;
  if (std::fread(buffer, bytes, 1, stream) == 1) return 1;
  return std::ferror(stream) ? SystemFailure() : 0;  // else the file ended first
}

uint32_t ClassZFile::ReadSome(void* buffer, uint32_t bytes) {
  if (!fileopen || bytes == 0 || !buffer || !SyncDirection(OP_READ)) return 0;
  return static_cast<uint32_t>(std::fread(buffer, 1, bytes, stream));
}

int ClassZFile::Write(const void* buffer, uint32_t bytes) {
  if (!fileopen || bytes == 0 || !buffer || !SyncDirection(OP_WRITE)) return 0;
  return std::fwrite(buffer, bytes, 1, stream) == 1 ? 1 : SystemFailure();
}

void ClassZFile::Seek(uint32_t offset) {
  if (!fileopen) return;
  std::fseek(stream, static_cast<long>(offset), SEEK_SET);
  lastop = OP_NONE;
}

uint32_t ClassZFile::Tell() {
  if (!fileopen) return 0;
  long p = std::ftell(stream);
  return p < 0 ? 0 : static_cast<uint32_t>(p);
}

uint32_t ClassZFile::Size(const uint16_t* name) {
  uint16_t full[ZFILE_NAME_CAPACITY];
  if (name) {
    if (!CompleteName(full, name)) return 0;
  }
  if (!name || ClassZStd::StrEqual(full, ownname, true)) {
    if (!fileopen) {
      if (!name) return 0;
    } else {
      long pos = std::ftell(stream);
      if (pos < 0 || std::fseek(stream, 0, SEEK_END) != 0) return 0;
      long end = std::ftell(stream);
      std::fseek(stream, pos, SEEK_SET);
      lastop = OP_NONE;
      return end < 0 ? 0 : static_cast<uint32_t>(end);
    }
  }
  ClassZFile other;
  if (!other.Open(full, ZFILE_MODE_READ)) return 0;
  return other.Size();
}

uint32_t ClassZFile::SizeC(const char* name) {
  WideArg w(name);
  return w.ok ? Size(w.ptr) : 0;
}

// Truncates through the open stream, so the file stays open in its own mode (a read-only
// file is never made writable) and no other name can slip in between.
int ClassZFile::SetSize(uint32_t size) {
  if (!fileopen) return 0;
  uint32_t pos = Tell();
  if (std::fflush(stream) != 0) return 0;
  int ok = ftruncate(fileno(stream), static_cast<off_t>(size)) == 0;
  if (pos > size) pos = size;
  Seek(pos);
  return ok;
}

int ClassZFile::MoveData(uint32_t to, uint32_t from, uint32_t length, uint32_t chunk) {
  if (!fileopen || chunk == 0) return 0;
  if (length == 0 || to == from) return 1;
  if (chunk > length) chunk = length;
  uint8_t* buffer = static_cast<uint8_t*>(ClassZMemory::Alloc(chunk));
  if (!buffer) return 0;
  uint32_t pieces = length / chunk + (length % chunk ? 1 : 0);
  uint32_t rest = length - (pieces - 1) * chunk;  // size of the last piece
  int ok = 1;
  for (uint32_t i = 0; i < pieces && ok; i++) {
    // Forward from the start when moving down; backward from the end when moving up, so
    // that an overlapping range is read before it is overwritten.
    uint32_t piece = to < from ? i : pieces - 1 - i;
    uint32_t offset = piece * chunk;
    uint32_t n = piece == pieces - 1 ? rest : chunk;
    Seek(from + offset);
    ok = Read(buffer, n);
    if (ok) {
      Seek(to + offset);
      ok = Write(buffer, n);
    }
  }
  ClassZMemory::DeAlloc(buffer);
  // The last pieces may still sit in the stream's buffer; only written bytes count.
  return ok && std::fflush(stream) == 0 && !std::ferror(stream);
}

// stdio may hold written bytes back, and a failed write can surface only when they are
// flushed; the error flag keeps failures that an earlier seek flushed silently.
int ClassZFile::SystemFailure() {
  if (errno != 0) syserror = errno;
  return 0;
}

int ClassZFile::SyncToDisk() {
  if (!fileopen) return 0;
  if (std::fflush(stream) != 0 || std::ferror(stream)) return SystemFailure();
  return fsync(fileno(stream)) == 0 ? 1 : SystemFailure();
}

int ClassZFile::NewBeside(ClassZFile& out, const uint16_t* finalname) {
  uint32_t n = ClassZStd::StrLen(finalname, ZFILE_NAME_CAPACITY);
  if (n == 0) return 0;
  // "<name>_tmp", or "<name>_tmp2", "_tmp3" ... when that is taken: a file of such a name
  // may be someone's, or what a crash left, and is never touched. The new file is created
  // exclusively, so no file of its name can appear in between.
  bool made = false;
  for (uint32_t attempt = 1; attempt <= 1000 && !made; attempt++) {
    char suffix[16] = "_tmp";
    if (attempt > 1) ClassZStd::IntToStr(suffix + 4, int32_t(attempt), 10, true);
    uint16_t tmpname[ZFILE_NAME_CAPACITY];
    if (n + ClassZStd::StrLen(suffix) > ZFILE_MAX_FULLNAME) return 0;
    ClassZStd::StrCpy(tmpname, finalname, ZFILE_NAME_CAPACITY);
    ClassZStd::StrCat(tmpname, suffix);
    made = out.OpenStream(tmpname, "w+bx");
    if (!made && !out.Exists(tmpname)) return 0;  // not taken: the folder refuses it
  }
  if (!made) return 0;
  // The new version keeps the permissions of the file it replaces.
  SystemName sys(finalname);
  struct stat st;
  if (sys.ok && stat(sys.text, &st) == 0) fchmod(fileno(out.stream), st.st_mode & 07777);
  return 1;
}

int ClassZFile::CommitAs(const uint16_t* finalname, bool written) {
  uint16_t tmpname[ZFILE_NAME_CAPACITY];
  ClassZStd::StrCpy(tmpname, ownname, ZFILE_NAME_CAPACITY);
  int ok = written && SyncToDisk();
  Close();
  ok = ok && Rename(finalname, tmpname);
  if (!ok) Delete(tmpname);
  return ok;
}

int ClassZFile::CopyTo(ClassZFile& out, uint32_t from, uint32_t length) {
  if (length == 0) return 1;
  uint32_t chunk = length < COPY_CHUNK ? length : COPY_CHUNK;
  uint8_t* buffer = static_cast<uint8_t*>(ClassZMemory::Alloc(chunk));
  int ok = buffer != nullptr;
  for (uint32_t done = 0; ok && done < length; done += chunk) {
    uint32_t piece = length - done < chunk ? length - done : chunk;
    Seek(from + done);
    ok = Read(buffer, piece) && out.Write(buffer, piece);
  }
  ClassZMemory::DeAlloc(buffer);
  return ok;
}

int ClassZFile::Delete(const uint16_t* name) {
  uint16_t full[ZFILE_NAME_CAPACITY];
  if (!name || !CompleteName(full, name)) return 0;
  SystemName sys(full);
  return sys.ok && std::remove(sys.text) == 0;
}

int ClassZFile::Delete(const char* name) {
  WideArg w(name);
  return w.ok && Delete(w.ptr);
}

int ClassZFile::Rename(const uint16_t* newname, const uint16_t* oldname) {
  uint16_t fullnew[ZFILE_NAME_CAPACITY], fullold[ZFILE_NAME_CAPACITY];
  if (!newname || !oldname) return 0;
  if (!CompleteName(fullnew, newname) || !CompleteName(fullold, oldname)) return 0;
  SystemName sysnew(fullnew), sysold(fullold);
  if (!sysnew.ok || !sysold.ok) return 0;
  return std::rename(sysold.text, sysnew.text) == 0 ? 1 : SystemFailure();
}

int ClassZFile::Rename(const char* newname, const char* oldname) {
  WideArg n(newname), o(oldname);
  return n.ok && o.ok && Rename(n.ptr, o.ptr);
}

int ClassZFile::RenameFolder(const uint16_t* newname, const uint16_t* oldname) {
  return Rename(newname, oldname);
}

int ClassZFile::RenameFolder(const char* newname, const char* oldname) {
  return Rename(newname, oldname);
}

int ClassZFile::NewFolder(const uint16_t* name) {
  uint16_t full[ZFILE_NAME_CAPACITY];
  if (!name || !CompleteName(full, name)) return 0;
  SystemName sys(full);
  return sys.ok && mkdir(sys.text, 0700) == 0;
}

int ClassZFile::NewFolder(const char* name) {
  WideArg w(name);
  return w.ok && NewFolder(w.ptr);
}

int ClassZFile::DeleteFolder(const uint16_t* name) {
  uint16_t full[ZFILE_NAME_CAPACITY];
  if (!name || !CompleteName(full, name)) return 0;
  SystemName sys(full);
  return sys.ok && rmdir(sys.text) == 0;
}

int ClassZFile::DeleteFolder(const char* name) {
  WideArg w(name);
  return w.ok && DeleteFolder(w.ptr);
}

int ClassZFile::OpenFolder(const uint16_t* name, const uint16_t* /*pattern*/) {
  CloseFolder();
  uint16_t full[ZFILE_NAME_CAPACITY];
  if (!name || !CompleteName(full, name)) return 0;
  SystemName sys(full);
  if (!sys.ok) return 0;
  folder = opendir(sys.text);
  if (!folder) return 0;
  folderopen = 1;
  return 1;
}

int ClassZFile::OpenFolder(const char* name, const char* pattern) {
  WideArg w(name), p(pattern);
  if (!w.ok) {
    CloseFolder();
    return 0;
  }
  return OpenFolder(w.ptr, p.ptr);
}

int ClassZFile::ReadFolder(uint16_t* out) {
  if (!out) return 0;
  out[0] = 0;
  if (!folderopen) return 0;
  // The large-file form: on a 32-bit system the plain one fails where the file system's
  // inode numbers or positions pass 32 bits.
  errno = 0;
  struct dirent64* entry = readdir64(folder);
  if (!entry) {
    // An error ends the listing as well, but is not passed off as its end.
    const int error = errno;
    CloseFolder();
    return error ? -1 : 0;
  }
  ClassZStd::StrCpy(out, entry->d_name, ZFILE_FOLDER_ENTRY);
  return 1;
}

void ClassZFile::CloseFolder() {
  if (folder) closedir(folder);
  folder = nullptr;
  folderopen = 0;
}

int ClassZFile::SetCurrentFolder(const uint16_t* name) {
  if (!name) return 0;
  uint16_t text[2 * ZFILE_NAME_CAPACITY];
  uint32_t n = 0;
  if (!IsAbsolute(name)) {
    if (curfolder[0] == 0 && !GetPath(curfolder)) {
      curfolder[0] = 0;
      return 0;
    }
    for (const uint16_t* p = curfolder; *p; p++) text[n++] = *p;
  }
  uint32_t length = Length16(name);
  if (length >= ZFILE_NAME_CAPACITY) return 0;
  for (uint32_t i = 0; i < length; i++) text[n++] = IsSeparator(name[i]) ? '/' : name[i];
  if (n == 0 || text[n - 1] != '/') text[n++] = '/';
  text[n] = 0;

  // Resolve segment by segment into out; "out" always ends in '/'.
  uint16_t out[2 * ZFILE_NAME_CAPACITY];
  uint32_t o = 0;
  uint32_t i = 0;
  if (text[0] == '/') {
    out[o++] = '/';
    i = 1;
  }
  uint32_t root = o;
  while (i < n) {
    uint32_t end = i;
    while (text[end] != '/') end++;
    uint32_t seglen = end - i;
    bool dot = seglen == 1 && text[i] == '.';
    bool dotdot = seglen == 2 && text[i] == '.' && text[i + 1] == '.';
    if (dotdot) {
      if (o > root) {
        o--;  // the '/' of the previous segment
        while (o > root && out[o - 1] != '/') o--;
      }
    } else if (!dot && seglen > 0) {
      for (uint32_t k = i; k <= end; k++) out[o++] = text[k];
    }
    i = end + 1;
  }
  if (o == 0) out[o++] = '/';
  if (o >= ZFILE_NAME_CAPACITY) return 0;
  out[o] = 0;
  ClassZStd::StrCpy(curfolder, out, ZFILE_NAME_CAPACITY);
  return 1;
}

int ClassZFile::SetCurrentFolder(const char* name) {
  WideArg w(name);
  return w.ok && SetCurrentFolder(w.ptr);
}

const uint16_t* ClassZFile::GetCurrentFolder() {
  if (curfolder[0] == 0 && !GetPath(curfolder)) curfolder[0] = 0;
  return curfolder;
}

const char* ClassZFile::GetCurrentFolderC() {
  ClassZStd::StrCpy(curfolderc, GetCurrentFolder(), ZFILE_NAME_CAPACITY);
  return curfolderc;
}

uint32_t ClassZFile::GetAttributes(const uint16_t* name) {
  if (!name && !fileopen) return ZFILE_ATTR_NONE;
  uint16_t full[ZFILE_NAME_CAPACITY];
  if (!CompleteName(full, name)) return ZFILE_ATTR_NONE;
  SystemName sys(full);
  struct stat st;
  if (!sys.ok || stat(sys.text, &st) != 0) return ZFILE_ATTR_NONE;
  if (!(st.st_mode & S_IWUSR)) return ZFILE_ATTR_READONLY;
  return S_ISDIR(st.st_mode) ? ZFILE_ATTR_FOLDER : ZFILE_ATTR_FILE;
}

uint32_t ClassZFile::GetAttributesC(const char* name) {
  WideArg w(name);
  return w.ok ? GetAttributes(w.ptr) : ZFILE_ATTR_NONE;
}

int ClassZFile::IsFolder(const uint16_t* name) {
  return (GetAttributes(name) & 0x20) != 0;
}

int ClassZFile::IsFolder(const char* name) { return (GetAttributesC(name) & 0x20) != 0; }

int ClassZFile::Exists(const uint16_t* name) { return GetAttributes(name) != 0; }

int ClassZFile::Exists(const char* name) { return GetAttributesC(name) != 0; }

int ClassZFile::GetInformation(Z_FILEINFO* info, const uint16_t* name, bool local) {
  if (!info) return 0;
  info->attributes = GetAttributes(name);
  if (info->attributes == 0) return 0;
  uint16_t full[ZFILE_NAME_CAPACITY];
  if (!CompleteName(full, name)) return 0;
  SystemName sys(full);
  struct stat st;
  if (!sys.ok || stat(sys.text, &st) != 0) return 0;
  ToDateTime(&info->created, st.st_ctime, local);
  ToDateTime(&info->modified, st.st_mtime, local);
  return 1;
}

int ClassZFile::GetInformationC(Z_FILEINFO* info, const char* name, bool local) {
  WideArg w(name);
  return w.ok && GetInformation(info, w.ptr, local);
}

uint16_t* ClassZFile::GetFileName(uint16_t* name) {
  if (!name) return name;
  uint32_t n = ClassZStd::StrLen(name);
  uint32_t start = n;
  while (start > 0 && !IsSeparator(name[start - 1])) start--;
  if (start > 0) std::memmove(name, name + start, (n - start + 1) * sizeof(uint16_t));
  return name;
}

uint16_t* ClassZFile::GetFolderName(uint16_t* name) {
  if (!name) return name;
  uint32_t n = ClassZStd::StrLen(name);
  while (n > 0 && !IsSeparator(name[n - 1])) n--;
  name[n] = 0;
  for (uint32_t i = 0; i < n; i++) {
    if (name[i] == '\\') name[i] = '/';
  }
  return name;
}
