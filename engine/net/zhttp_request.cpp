#include "engine/net/zhttp_request.h"

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_std.h"
#include "engine/net/zmod_connect.h"

namespace {

const char kOctetStream[] = "application/octet-stream";

const char* const kMimeTable[][2] = {
    {".avi", "video/x-msvideo"}, {".c", "text/plain"},
    {".cc", "text/plain"}, {".cpp", "text/plain"},
    {".css", "text/css"}, {".doc", "application/msword"},
    {".gif", "image/gif"}, {".gz", "application/x-gzip"},
    {".h", "text/plain"}, {".htm", "text/html"},
    {".html", "text/html"}, {".jpe", "image/jpeg"},
    {".jpg", "image/jpeg"}, {".jpeg", "image/jpeg"},
    {".js", "application/x-javascript"}, {".mid", "audio/midi"},
    {".midi", "audio/midi"}, {".mov", "video/quicktime"},
    {".mp2", "audio/mpeg"}, {".mp3", "audio/mpeg"},
    {".mpe", "video/mpeg"}, {".mpeg", "video/mpeg"},
    {".mpg", "video/mpeg"}, {".mpga", "audio/mpeg"},
    {".png", "image/png"}, {".rtf", "text/rtf"},
    {".rtx", "text/richtext"}, {".tif", "image/tiff"},
    {".tiff", "image/tiff"}, {".txt", "text/plain"},
    {".vrml", "model/vrml"}, {".wav", "audio/x-wav"},
    {".wrl", "model/vrml"}, {".xbm", "image/x-xbitmap"},
    {".xml", "text/xml"}, {".zip", "application/zip"},
};

// URL texts may run longer than other texts (their query values are still limited).
const uint32_t kUrlMaxLength = 0xFFFF;

// Length of a text, or -1 when it runs past the limit.
int32_t TextLength(const char* text, uint32_t limit = ZSTD_MAXLEN) {
  const uint32_t n = ClassZStd::StrLen(text, limit + 1);
  return n > limit ? -1 : static_cast<int32_t>(n);
}

// A new copy of a text; null for a null text, a text past the limit, or no memory.
char* NewText(const char* text) {
  if (!text) return nullptr;
  const int32_t n = TextLength(text);
  if (n < 0) return nullptr;
  char* copy = static_cast<char*>(ClassZMemory::Alloc(static_cast<uint32_t>(n) + 1));
  if (copy) ClassZMemory::Copy(copy, text, n + 1, true);
  return copy;
}

// n bytes of an open file from its position, in a new block; null without memory or when
// the read fails.
uint8_t* ReadBlock(ClassZFile& file, uint32_t n) {
  uint8_t* block = static_cast<uint8_t*>(ClassZMemory::Alloc(n));
  if (block && !file.Read(block, n)) {
    ClassZMemory::DeAlloc(block);
    return nullptr;
  }
  return block;
}

}  // namespace

ZHTTPRequest::ZHTTPRequest() { DefaultData(); }

ZHTTPRequest::ZHTTPRequest(const char* url) {
  DefaultData();
  if (!url) return;
  const int32_t length = TextLength(url, kUrlMaxLength);
  if (length < 0) return;
  const uint32_t n = static_cast<uint32_t>(length);
  uint32_t q = n;
  for (uint32_t i = n; i-- > 0;) {
    if (url[i] == '?') {
      q = i;
      break;
    }
  }
  if (q > ZHTTP_URL_QUERY_LIMIT) return;
  if (!ClassZConnect::SplitURL(url, host, path, q, sizeof host, sizeof path)) {
    host[0] = path[0] = 0;
    return;
  }

  // Query: a name runs to the first '=' ('&' before it belongs to the name); a value runs
  // to the next '&' and is decoded.
  if (q < n) {
    const uint32_t size = n - q;  // room for the longest name or value and its zero
    char* name = static_cast<char*>(ClassZMemory::Alloc(size));
    char* value = static_cast<char*>(ClassZMemory::Alloc(size));
    if (name && value) {
      uint32_t nameLength = 0, valueLength = 0;
      bool inValue = false;
      auto add = [&]() {
        name[nameLength] = 0;
        value[valueLength] = 0;
        ClassZConnect::UrlDecode(value, value);
        AddParam(name, value);
        nameLength = valueLength = 0;
        inValue = false;
      };
      for (uint32_t i = q + 1; i < n; ++i) {
        const char c = url[i];
        if (!inValue) {
          if (c == '=') {
            inValue = true;
          } else {
            name[nameLength++] = c;
          }
        } else if (c == '&') {
          add();
        } else {
          value[valueLength++] = c;
        }
      }
      if (nameLength > 0) add();
    }
    ClassZMemory::DeAlloc(name);
    ClassZMemory::DeAlloc(value);
  }

  // Port: the digits after the first ':' of the host (anything else skipped).
  port = 0;
  const int32_t colon = ClassZStd::StrFind(host, ':');
  if (colon >= 0) {
    for (const char* p = host + colon + 1; *p; ++p) {
      // Clamped past any valid port: a port outside 1..65535 is refused when sent.
      if (*p >= '0' && *p <= '9') port = port * 10 + static_cast<uint32_t>(*p - '0');
      if (port > 1000000) port = 1000000;
    }
    host[colon] = 0;
  }
  if (port == 0) port = 80;
}

ZHTTPRequest::~ZHTTPRequest() {
  for (uint32_t i = 0; i < count; ++i) {
    ClassZMemory::DeAlloc(values[i]);
    ClassZMemory::DeAlloc(fileNames[i]);
    ClassZMemory::DeAlloc(names[i]);
    ClassZMemory::DeAlloc(types[i]);
  }
  ClassZMemory::DeAlloc(lengths);
  ClassZMemory::DeAlloc(values);
  ClassZMemory::DeAlloc(fileNames);
  ClassZMemory::DeAlloc(names);
  ClassZMemory::DeAlloc(types);
}

void ZHTTPRequest::DefaultData() {
  host[0] = path[0] = referer[0] = user[0] = password[0] = 0;
  ClassZStd::StrCpy(userAgent, "Zolt/2.87", sizeof userAgent);
  port = 80;
  gzip = 0;
  connection = ZHTTP_CONNECTION_NONE;
}

int ZHTTPRequest::ExpandList(size_t blocks) {
  const size_t entries = blocks * ZHTTP_LIST_BLOCK;
  if (entries <= listCapacity || entries > 0x7FFFFFF) return 0;
  const uint32_t pointerBytes = static_cast<uint32_t>(entries * sizeof(void*));
  int32_t* newLengths = static_cast<int32_t*>(ClassZMemory::Alloc(static_cast<uint32_t>(entries * sizeof(int32_t))));
  uint8_t** newValues = static_cast<uint8_t**>(ClassZMemory::Alloc(pointerBytes));
  char** newFileNames = static_cast<char**>(ClassZMemory::Alloc(pointerBytes));
  char** newNames = static_cast<char**>(ClassZMemory::Alloc(pointerBytes));
  char** newTypes = static_cast<char**>(ClassZMemory::Alloc(pointerBytes));
  if (!newLengths || !newValues || !newFileNames || !newNames || !newTypes) {
    ClassZMemory::DeAlloc(newLengths);
    ClassZMemory::DeAlloc(newValues);
    ClassZMemory::DeAlloc(newFileNames);
    ClassZMemory::DeAlloc(newNames);
    ClassZMemory::DeAlloc(newTypes);
    return 0;
  }
  for (size_t i = 0; i < entries; ++i) {
    const bool old = i < count;
    newLengths[i] = old ? lengths[i] : 0;
    newValues[i] = old ? values[i] : nullptr;
    newFileNames[i] = old ? fileNames[i] : nullptr;
    newNames[i] = old ? names[i] : nullptr;
    newTypes[i] = old ? types[i] : nullptr;
  }
  ClassZMemory::DeAlloc(lengths);
  ClassZMemory::DeAlloc(values);
  ClassZMemory::DeAlloc(fileNames);
  ClassZMemory::DeAlloc(names);
  ClassZMemory::DeAlloc(types);
  lengths = newLengths;
  values = newValues;
  fileNames = newFileNames;
  names = newNames;
  types = newTypes;
  listCapacity = entries;
  return 1;
}

int ZHTTPRequest::AddEntry(const char* name, uint8_t* value, int32_t length,
                           const char* fileName, const char* type) {
  char* nameCopy = NewText(name);
  char* fileCopy = fileName ? NewText(fileName) : nullptr;
  char* typeCopy = type ? NewText(type) : nullptr;
  const bool ok = value && nameCopy && (!fileName || fileCopy) && (!type || typeCopy) &&
                  (count < listCapacity || ExpandList(listCapacity / ZHTTP_LIST_BLOCK + 1));
  if (!ok) {
    ClassZMemory::DeAlloc(value);
    ClassZMemory::DeAlloc(nameCopy);
    ClassZMemory::DeAlloc(fileCopy);
    ClassZMemory::DeAlloc(typeCopy);
    return 0;
  }
  lengths[count] = length;
  values[count] = value;
  names[count] = nameCopy;
  fileNames[count] = fileCopy;
  types[count] = typeCopy;
  ++count;
  return 1;
}

int ZHTTPRequest::AddParam(const char* name, const char* value) {
  if (!value) return 0;
  const int32_t n = TextLength(value);
  if (n < 0) return 0;
  return AddEntry(name, reinterpret_cast<uint8_t*>(NewText(value)), n + 1, nullptr, nullptr);
}

int ZHTTPRequest::AddParam(const char* name, int32_t value) {
  char text[16];
  ClassZStd::IntToStr(text, value, 10, true);
  return AddParam(name, text);
}

int ZHTTPRequest::AddFilePart(const char* name, uint8_t* value, uint32_t length,
                              const char* fileName, const char* type) {
  char mime[ZHTTP_MIME_SIZE];
  if (!type) {
    GetMimeType(mime, fileName);
    type = mime;
  }
  return AddEntry(name, value, static_cast<int32_t>(length), fileName, type);
}

int ZHTTPRequest::AddData(const char* name, const uint8_t* data, uint32_t length,
                          const char* fileName, const char* type) {
  if ((!data && length) || length > 0x7FFFFFFF) return 0;
  // An empty block still needs an owned pointer: a null value means a failed copy.
  uint8_t* copy = static_cast<uint8_t*>(ClassZMemory::Alloc(length ? length : 1));
  if (!copy) return 0;
  ClassZMemory::Copy(copy, data, static_cast<int32_t>(length), true);
  return AddFilePart(name, copy, length, fileName ? fileName : "file", type);
}

int ZHTTPRequest::AddFile(const char* name, const char* filePath, const char* type) {
  if (!filePath) return 0;
  ClassZFile file;
  if (!file.Open(filePath, 1)) return 0;
  const uint32_t size = file.Size(nullptr);
  if (size == 0 || size > 0x7FFFFFFF) return 0;
  uint8_t* block = ReadBlock(file, size);
  if (!block) return 0;
  return AddFilePart(name, block, size, filePath, type);
}

int ZHTTPRequest::AddFile(const char* name, ClassZFile* file, const char* type) {
  if (!file || !file->IsOpen()) return 0;
  const uint32_t size = file->Size(nullptr);
  const uint32_t position = file->Tell();
  if (size <= position || size - position > 0x7FFFFFFF) return 0;
  char fileName[ZFILE_NAME_CAPACITY];
  ClassZStd::StrCpy(fileName, file->GetOwnName(), sizeof fileName);
  uint8_t* block = ReadBlock(*file, size - position);
  if (!block) return 0;
  return AddFilePart(name, block, size - position, fileName, type);
}

void ZHTTPRequest::GetMimeType(char* out, const char* fileName) {
  const char* type = kOctetStream;
  if (fileName) {
    const uint32_t n = ClassZStd::StrLen(fileName, ZSTD_MAXLEN);
    for (const auto& row : kMimeTable) {
      const uint32_t e = ClassZStd::StrLen(row[0], ZSTD_MAXLEN);
      if (e <= n && ClassZStd::StrEqual(fileName + n - e, row[0], true)) {
        type = row[1];
        break;
      }
    }
  }
  ClassZStd::StrCpy(out, type, ZHTTP_MIME_SIZE);
}

void ZHTTPRequest::GetMimeType(char* out, const uint16_t* fileName) {
  if (!fileName) {
    GetMimeType(out, static_cast<const char*>(nullptr));
    return;
  }
  const uint32_t n = ClassZStd::StrLen(fileName, ZSTD_MAXLEN);
  char local[256];
  char* narrow = n < sizeof local ? local : static_cast<char*>(ClassZMemory::Alloc(n + 1));
  if (!narrow) {
    GetMimeType(out, static_cast<const char*>(nullptr));
    return;
  }
  ClassZStd::StrCpy(narrow, fileName, static_cast<int32_t>(n + 1));
  GetMimeType(out, narrow);
  if (narrow != local) ClassZMemory::DeAlloc(narrow);
}

int ZHTTPRequest::AddMimeArray(uint32_t& count, char extensions[][ZHTTP_MIME_EXT_SIZE],
                               char types[][ZHTTP_MIME_SIZE], uint32_t capacity,
                               const char* extension, const char* type) {
  if (count >= capacity || !extension || !type) return 0;
  if (ClassZStd::StrLen(extension, ZHTTP_MIME_EXT_SIZE) >= ZHTTP_MIME_EXT_SIZE) return 0;
  if (ClassZStd::StrLen(type, ZHTTP_MIME_SIZE) >= ZHTTP_MIME_SIZE) return 0;
  ClassZStd::StrCpy(extensions[count], extension, ZHTTP_MIME_EXT_SIZE);
  ClassZStd::StrCpy(types[count], type, ZHTTP_MIME_SIZE);
  ++count;
  return 1;
}
