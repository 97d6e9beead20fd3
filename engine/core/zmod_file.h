// Files, folders and ZPK pack archives.
//
// ClassZFile holds at most one open file (a stdio stream), one folder listing, a current
// folder against which relative names are completed, and the state of an open pack.
// Every name-taking call has a 16-bit form that does the work and an 8-bit form that
// widens and forwards. Both '/' and '\' separate folders.
//
// Names are bounded, never cut: a completed (full) name is at most ZFILE_MAX_FULLNAME
// characters and a folder at most ZFILE_NAME_CAPACITY - 1; a call whose name does not fit
// fails, because a cut name would act on a different file.
//
// Results: 1 (or a pointer) for success, 0 (or null) for failure, except the pack calls
// that return one of the ZPK_* codes below.
#pragma once

#include <cstdint>
#include <cstdio>
#include <dirent.h>

#include "engine/core/zmod_std.h"



constexpr uint32_t ZFILE_NAME_CAPACITY = 512;  // 16-bit characters in the name buffers
constexpr uint32_t ZFILE_MAX_FULLNAME = 255;   // longest full name handed to the system
constexpr uint32_t ZFILE_FOLDER_ENTRY = 256;   // characters ReadFolder may write

// Attribute values of GetAttributes.
constexpr uint32_t ZFILE_ATTR_NONE = 0;
constexpr uint32_t ZFILE_ATTR_FILE = 1;          // a file its owner can write
constexpr uint32_t ZFILE_ATTR_READONLY = 3;      // a file or folder its owner cannot write
constexpr uint32_t ZFILE_ATTR_FOLDER = 0x21;     // a folder its owner can write

// Open modes.
constexpr uint8_t ZFILE_MODE_UPDATE = 0;  // "r+b"
constexpr uint8_t ZFILE_MODE_READ = 1;    // "rb"
constexpr uint8_t ZFILE_MODE_WRITE = 2;   // "wb"
constexpr uint8_t ZFILE_MODE_UPDATE2 = 3; // "r+b"

struct Z_FILEINFO {
  uint32_t attributes;
  Z_DATETIME created;   // status-change time
  Z_DATETIME modified;
};

// ---- ZPK pack archive ---------------------------------------------------------------
//
// Version 2 ("ZPK2") layout, little-endian: a 28-byte header; the entries, each a 92-byte
// record followed by its stored data; then the offset table, one u32 per entry (the file
// offset of its record), which is the last 4 x count bytes of the file. Version 1 ("ZPCK")
// packs are read and rewritten as version 2 before any change.
//
// A change (add, replace, delete, vendor, conversion) writes the changed pack as
// "<pack>_tmp" beside it and renames that over the pack, which is then open in its place
// (mode 0). A change fails with ZPK_FAILED (0 for the calls that return 1/0) when the pack
// was opened for reading only or "<pack>_tmp" exists; a failed change leaves the pack on
// disk as it was, still open. Extraction writes its file the same way.

constexpr uint32_t ZPK_HEADER_SIZE = 28;
constexpr uint32_t ZPK_RECORD_SIZE = 92;
constexpr uint32_t ZPK_NAME_SIZE = 64;      // store name bytes, terminator included
constexpr uint32_t ZPK_MAX_ENTRIES = 0x8000;  // PackAddFile refuses more
constexpr uint32_t ZPK_V1_HEADER_SIZE = 32;
constexpr uint32_t ZPK_V1_ENTRY_SIZE = 152;
constexpr uint32_t ZPK_CHECKSUM_ADD = 692792;
constexpr uint8_t ZPK_VERSION_1 = 100;
constexpr uint8_t ZPK_VERSION_2 = 200;

// Stored kinds of an entry.
constexpr uint8_t ZPK_STORE_RAW = 0;
constexpr uint8_t ZPK_STORE_CODEC = 1;  // the engine's LZW-style codec
constexpr uint8_t ZPK_STORE_ZLIB = 2;

// Result codes of the pack calls.
enum {
  ZPK_OK = 0,
  ZPK_FAILED = 1,      // reading or writing, the version-1 conversion, creating a file
  ZPK_NOMEMORY = 2,
  ZPK_NOPACK = 5,      // no valid pack is open
  ZPK_FULL = 6,
  ZPK_NOTFOUND = 7,    // no such entry, or the source file can't be opened
  ZPK_BADDATA = 8,     // unknown stored kind, or the stored data does not expand exactly
  ZPK_EXISTS = 9,
};

// The header as kept in memory while a pack is open (the file holds it byte for byte).
struct ZPK_HEADER {
  char magic[4];
  char vendor[4];
  uint32_t headersize;
  uint8_t version;
  uint8_t reserved1[3];
  uint32_t count;
  uint32_t checksum;
  uint16_t reserved2;
  uint8_t reserved3[2];
};

// An entry record; the reading calls fill the same record.
struct ZPK_FILEINFO {
  uint32_t recordsize;
  char name[ZPK_NAME_SIZE];
  uint32_t dataoffset;   // 0 on disk; readers set it to where the data begins
  uint32_t unpacked;
  uint32_t stored;
  uint8_t compression;
  uint8_t reserved1;
  uint16_t reserved2;
  uint32_t filetime;     // seconds since 1970 (UTC) of the source file's modification
  uint32_t timeadded;    // seconds since 1970 (UTC) when written
};

typedef char ZPK_INDEXSLOT[ZPK_NAME_SIZE];

class ClassZFile {
 public:
  ClassZFile();
  ~ClassZFile();
  ClassZFile(const ClassZFile&) = delete;
  ClassZFile& operator=(const ClassZFile&) = delete;

  // Opens an existing file in one of the modes 0-3 (others fail) and positions at 0. A
  // file that holds a valid pack makes the pack calls work on it. Open and New take only
  // a regular file: a folder, FIFO or device of that name fails at once, without waiting
  // (SystemError: EISDIR for a folder, ENXIO for the others).
  int Open(const uint16_t* name, uint8_t mode = ZFILE_MODE_UPDATE);
  int Open(const char* name, uint8_t mode = ZFILE_MODE_UPDATE);
  // Creates or truncates a file for reading and writing.
  int New(const uint16_t* name);
  int New(const char* name);
  void Close();
  int IsOpen() const { return fileopen; }
  // The system's error number (errno) behind the last failed call of this object that
  // reached the system, such as ENOSPC for a full disk; 0 when there was none. The pack
  // calls clear it when they start and also keep the errors of the files they use.
  int SystemError() const { return syserror; }

  // All or nothing: 1 only when every byte moved; 0 for 0 bytes or no open file.
  int Read(void* buffer, uint32_t bytes);
  // As many of the bytes as the file gives (fewer at its end or on an error): their number.
  uint32_t ReadSome(void* buffer, uint32_t bytes);
  int Write(const void* buffer, uint32_t bytes);
  void Seek(uint32_t offset);
  uint32_t Tell();

  // Size of the named file; null (or the open file's own name) measures the open file
  // and keeps its position. 0 for a missing file.
  uint32_t Size(const uint16_t* name = nullptr);
  uint32_t SizeC(const char* name);
  // Truncates or extends the open file. A position past the new end moves to the end.
  int SetSize(uint32_t size);
  // Moves a byte range inside the open file in chunks; overlapping ranges move correctly.
  int MoveData(uint32_t to, uint32_t from, uint32_t length, uint32_t chunk);

  int Delete(const uint16_t* name);
  int Delete(const char* name);
  // Renames the file named by the second argument to the first.
  int Rename(const uint16_t* newname, const uint16_t* oldname);
  int Rename(const char* newname, const char* oldname);
  int RenameFolder(const uint16_t* newname, const uint16_t* oldname);
  int RenameFolder(const char* newname, const char* oldname);
  int NewFolder(const uint16_t* name);
  int NewFolder(const char* name);
  int DeleteFolder(const uint16_t* name);
  int DeleteFolder(const char* name);

  // Lists every entry of a folder ("." and ".." included, in the system's order); the
  // pattern is accepted and does not filter. 0 when the folder can't be opened.
  int OpenFolder(const uint16_t* folder, const uint16_t* pattern = nullptr);
  int OpenFolder(const char* folder, const char* pattern = nullptr);
  // Next entry name into out (room for ZFILE_FOLDER_ENTRY characters); 0 at the end, -1
  // when the listing cannot be read: both close the listing.
  int ReadFolder(uint16_t* out);
  void CloseFolder();

  // Absolute or relative to the current folder; "./" and "../" are resolved. 0 (and the
  // folder unchanged) when the result does not fit.
  int SetCurrentFolder(const uint16_t* folder);
  int SetCurrentFolder(const char* folder);
  const uint16_t* GetCurrentFolder();
  const char* GetCurrentFolderC();
  // The full name of the file last opened or created (kept after Close).
  const uint16_t* GetOwnName() const { return ownname; }

  uint32_t GetAttributes(const uint16_t* name = nullptr);
  uint32_t GetAttributesC(const char* name);
  int IsFolder(const uint16_t* name);
  int IsFolder(const char* name);
  int Exists(const uint16_t* name);
  int Exists(const char* name);
  int GetInformation(Z_FILEINFO* info, const uint16_t* name, bool local);
  int GetInformationC(Z_FILEINFO* info, const char* name, bool local);

  // In place: keep what follows the last separator / cut after it (and turn '\' to '/').
  static uint16_t* GetFileName(uint16_t* name);
  static uint16_t* GetFolderName(uint16_t* name);

  // ---- packs (zmod_pack.cpp) ----
  int PackValid() const;
  uint32_t PackContainFiles() const;
  int PackGetVendor(char* out) const;  // out: 5 characters
  int PackChangeVendor(const char* vendor);
  int PackGetFileInfo(ZPK_FILEINFO* info, uint32_t index, bool local = false);
  int PackGetFileInfo(ZPK_FILEINFO* info, const uint16_t* name, bool local = false);
  int PackGetFileInfo(ZPK_FILEINFO* info, const char* name, bool local = false);
  int PackSearchFile(const uint16_t* name, uint32_t& index);
  int PackSearchFile(const char* name, uint32_t& index);
  // The name index: one ZPK_INDEXSLOT per entry, from ClassZMemory::Alloc; the caller
  // owns it and frees it with ClassZMemory::DeAlloc after Close. Any change to the pack
  // through this object drops it.
  ZPK_INDEXSLOT* PackBuildIndex();
  void PackUseIndex(ZPK_INDEXSLOT* index, uint32_t slots);
  // The entry's data in a new buffer (ClassZMemory::Alloc; the caller frees it). An
  // empty entry gives ZPK_OK, size 0 and no buffer.
  int PackGetFileData(uint8_t*& buffer, uint32_t& size, uint32_t index);
  int PackGetFileData(uint8_t*& buffer, uint32_t& size, const uint16_t* name);
  int PackGetFileData(uint8_t*& buffer, uint32_t& size, const char* name);
  int PackExtractFile(const uint16_t* folder, uint32_t index, bool overwrite);
  int PackExtractFile(const uint16_t* folder, const uint16_t* name, bool overwrite);
  int PackExtractFile(const char* folder, uint32_t index, bool overwrite);
  int PackExtractFile(const char* folder, const char* name, bool overwrite);
  int PackNew(const uint16_t* name, const uint16_t* vendor = nullptr);
  int PackNew(const char* name, const char* vendor = nullptr);
  int PackAddFileData(const uint16_t* name, const void* data, uint32_t size, bool overwrite,
                      uint8_t compression, uint32_t filetime);
  int PackAddFileData(const char* name, const void* data, uint32_t size, bool overwrite,
                      uint8_t compression, uint32_t filetime);
  int PackAddFile(const uint16_t* filename, bool overwrite, uint8_t compression);
  int PackAddFile(const char* filename, bool overwrite, uint8_t compression);
  // PackAddFile for each file in turn, with the pack written once: the files are taken in
  // order up to the first that cannot be added, and added tells how many went in. That
  // file's ZPK_FULL, ZPK_EXISTS or ZPK_NOTFOUND is the result (the file is
  // filenames[added]). When the pack cannot be written (ZPK_FAILED, ZPK_NOMEMORY), added
  // is 0 and the pack stays as it was.
  int PackAddFiles(const char* const* filenames, uint32_t count, bool overwrite,
                   uint8_t compression, uint32_t& added);
  int PackDeleteFile(uint32_t index);
  int PackDeleteFile(const uint16_t* name);
  int PackDeleteFile(const char* name);
  int ConvertPackFile();

 private:
  int CompleteName(uint16_t* out, const uint16_t* name);
  int OpenStream(const uint16_t* name, const char* mode);
  int SyncDirection(uint8_t op);
  void ForgetPack();
  void DetectPack();
  int CheckPackTable(uint32_t filesize);
  int ReadPackTable(uint32_t* table, uint32_t& tablestart);
  int WritePackHeader();
  int FindStoreName(const char* storename, uint32_t& index);
  // Entry index of the open pack (index < count), each offset and size checked against a
  // file of filesize bytes; times as stored. 0 for a record that fails a check. offsets:
  // the version-2 offset table already read (raw bytes), or null to read the entry's slot.
  int ReadPackRecord(ZPK_FILEINFO* info, uint32_t index, uint64_t filesize,
                     const uint8_t* offsets);
  struct PackScan;
  // Saving without ever leaving a half-written file: a new version is written into a new
  // file beside it, "<name>_tmp" or, when a file of that name exists, "<name>_tmp2" and so
  // on (NewBeside; existing files are never touched), then made the file by one rename
  // once every byte has reached the disk (CommitAs on the new file's object). When it was
  // not all written, or the sync or the rename fails, the temporary file is removed and
  // the old file stays as it was.
  int SyncToDisk();
  int NewBeside(ClassZFile& out, const uint16_t* finalname);
  int CommitAs(const uint16_t* finalname, bool written);
  int CopyTo(ClassZFile& out, uint32_t from, uint32_t length);
  struct PackNewEntry;
  struct PackChange;
  int AddPackEntries(PackNewEntry* entries, uint32_t n, bool overwrite, uint32_t& taken);
  int WritePackChange(const PackChange& change);
  int OpenNewEntryFile(const PackNewEntry& entry, ClassZFile& source, uint16_t* full);
  int WriteNewEntry(ClassZFile& out, const PackNewEntry& entry, uint64_t& pos);
  int FinishPackRewrite(ClassZFile& out, bool written);
  // Keeps errno as the system error; 0 for the caller to return.
  int SystemFailure();
  // Takes another object's system error when it has one (a helper file that failed).
  void KeepError(const ClassZFile& other) {
    if (other.syserror) syserror = other.syserror;
  }

  FILE* stream;
  DIR* folder;
  ZPK_HEADER packheader;
  uint16_t ownname[ZFILE_NAME_CAPACITY];
  uint16_t curfolder[ZFILE_NAME_CAPACITY];
  char curfolderc[ZFILE_NAME_CAPACITY];
  ZPK_INDEXSLOT* nameindex;
  uint32_t indexslots;
  uint8_t fileopen;
  uint8_t folderopen;
  uint8_t packvalid;
  uint8_t writable;  // opened in a mode that may change the file
  uint8_t lastop;  // the stream's last direction: stdio needs a seek between the two
  int syserror;    // errno of the last failed system call (0: none)
};

// The working folder followed by "/"; just "/" when it can't be read. 0 (out "/") when it
// does not fit a buffer of ZFILE_NAME_CAPACITY characters.
int GetPath(uint16_t* out);
// Completes a name: none -> own name; relative -> current folder (filled from GetPath
// when empty) in front; separators become '/'. 0 when the full name is longer than
// ZFILE_MAX_FULLNAME.
int ZFile_CheckFileName(uint16_t* out, const uint16_t* name, const uint16_t* ownname,
                        uint16_t* currentfolder);
// Widens an 8-bit name into out (ZFILE_NAME_CAPACITY characters); 0 when it does not fit.
int ZFile_WidenName(uint16_t* out, const char* name);
// The first four characters (low bytes), the first in the low byte; and back.
uint32_t ZFile_LongFCC(const uint16_t* chars);
uint32_t ZFile_LongFCC(const char* chars);
void ZFile_CharFCC(uint16_t* out, uint32_t fcc);
void ZFile_CharFCC(char* out, uint32_t fcc);

// The name an entry is stored under: the part after the last separator, cut to 63
// characters keeping (up to 32 characters of) the extension. out: ZPK_NAME_SIZE bytes.
void ZFile_CheckStoreName(char* out, const char* name);
void ZFile_CheckStoreName(char* out, const uint16_t* name);
// The pack checksum of a block: MD5 hex digits 5..8 as a little-endian u32, plus 692792.
uint32_t ZFile_QuickChecksum(const void* block, uint32_t length);
