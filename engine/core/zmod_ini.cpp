#include "engine/core/zmod_ini.h"

#include <cstring>

#include "engine/core/zmod_memory.h"

ClassZIni::ClassZIni()
    : data(nullptr),
      window(nullptr),
      winoffset(0),
      position(ZINI_WINDOW),
      length(0),
      consumed(0),
      windowsize(ZINI_WINDOW),
      open(0),
      memorymode(0) {}

ClassZIni::~ClassZIni() { Close(); }

void ClassZIni::Restart() {
  consumed = 0;
  position = windowsize;
}

uint8_t ClassZIni::Open(const uint16_t* name, uint8_t mode) {
  Close();
  if (!file.Open(name, mode)) return 0;
  window = static_cast<uint8_t*>(ClassZMemory::Alloc(ZINI_WINDOW));
  if (!window) {
    file.Close();
    return 0;
  }
  windowsize = ZINI_WINDOW;
  length = file.Size();
  Restart();
  open = 1;
  return 1;
}

uint8_t ClassZIni::Open(const char* name, uint8_t mode) {
  uint16_t wide[ZFILE_NAME_CAPACITY];
  if (!ZFile_WidenName(wide, name)) {
    Close();
    return 0;
  }
  return Open(wide, mode);
}

int ClassZIni::OpenData(const void* block, uint32_t bytes) {
  Close();
  if (!block || bytes == 0) return 0;
  data = static_cast<const uint8_t*>(block);
  window = const_cast<uint8_t*>(data);  // marks a window; bytes are read through data
  memorymode = 1;
  windowsize = ZINI_WINDOW;
  length = bytes;
  Restart();
  open = 1;
  return 1;
}

uint8_t ClassZIni::New(const uint16_t* name) {
  Close();
  if (!file.New(name)) return 0;
  windowsize = ZINI_WINDOW;
  length = 0;
  Restart();
  open = 1;
  return 1;
}

uint8_t ClassZIni::New(const char* name) {
  uint16_t wide[ZFILE_NAME_CAPACITY];
  if (!ZFile_WidenName(wide, name)) {
    Close();
    return 0;
  }
  return New(wide);
}

void ClassZIni::Close() {
  if (!memorymode) {
    ClassZMemory::DeAlloc(window);
    file.Close();
  }
  window = nullptr;
  data = nullptr;
  open = 0;
  memorymode = 0;
}

int ClassZIni::SetParseBufferSize(uint32_t size) {
  if (!open || size == 0) return 0;
  if (!memorymode) {
    ClassZMemory::DeAlloc(window);
    window = static_cast<uint8_t*>(ClassZMemory::Alloc(size));
    if (!window) return 0;
  }
  windowsize = size;
  Restart();
  return 1;
}

void ClassZIni::ResetCursor() { Restart(); }

int ClassZIni::HandleFilebuf() {
  if (!open || !window || consumed >= length || position < windowsize) return 0;
  uint32_t remaining = length - consumed;
  uint32_t take = remaining < windowsize ? remaining : windowsize;
  uint32_t start = windowsize - take;  // a short tail sits at the window's end
  if (memorymode) {
    winoffset = static_cast<int64_t>(consumed) - start;
  } else {
    // Seek every time: a write since the last refill moved the stream.
    file.Seek(consumed);
    if (!file.Read(window + start, take)) {
      consumed = length;
      return 0;
    }
  }
  position = start;
  consumed += take;
  return 1;
}

int ClassZIni::NextByte() {
  if (position >= windowsize && !HandleFilebuf()) return -1;
  uint8_t c = memorymode ? data[winoffset + position] : window[position];
  position++;
  return c;
}

namespace {
// Appends c unless the text is full; leading white space is dropped as the trim would.
void Append(char* text, uint32_t& n, uint32_t size, int c) {
  if (n == 0 && ClassZStd::IsWhiteSpace(c)) return;
  if (n + 1 < size) text[n++] = static_cast<char>(c);
}
}  // namespace

int ClassZIni::ReadLine(char* key, uint32_t keysize, char* value, uint32_t valuesize) {
  if (!open || !window || !key || !value || keysize == 0 || valuesize == 0) return 0;
  for (;;) {
    uint32_t kn = 0, vn = 0;
    bool comment = false, quoting = false, valuemode = false, ended = true;
    int c;
    while ((c = NextByte()) >= 0) {
      if (c == '\r' || c == '\n') {
        ended = false;
        break;
      }
      if (comment) continue;
      if (c == '#' || c == ';') {
        comment = true;
        continue;
      }
      if (c == '"') {
        quoting = !quoting;
      } else if (c == '=' && !quoting) {
        valuemode = true;
        vn = 0;
        continue;
      }
      if (valuemode) {
        Append(value, vn, valuesize, c);
      } else {
        Append(key, kn, keysize, c);
      }
    }
    key[kn] = 0;
    value[vn] = 0;
    ZIni_QuoteTrim(key);
    ZIni_QuoteTrim(value);
    if (key[0]) return 1;
    if (ended) return 0;
  }
}

int ClassZIni::FindKey(const char* key, char* value, uint32_t valuesize, bool casesensitive) {
  if (!key || !value || valuesize == 0) return 0;
  char k[ZINI_TEXT];
  while (ReadLine(k, sizeof(k), value, valuesize)) {
    if (ClassZStd::StrEqual(k, key, casesensitive)) return 1;
  }
  value[0] = 0;
  return 0;
}

int ClassZIni::FindValue(char* key, uint32_t keysize, const char* value, bool casesensitive) {
  if (!key || !value || keysize == 0) return 0;
  char v[ZINI_TEXT];
  while (ReadLine(key, keysize, v, sizeof(v))) {
    if (ClassZStd::StrEqual(v, value, casesensitive)) return 1;
  }
  key[0] = 0;
  return 0;
}

int ClassZIni::WriteLine(const char* key, const char* text) {
  if (!open || memorymode) return 0;
  return ZIni_WriteLine(&file, length, key, text ? text : "", true, false);
}

int ClassZIni::WriteLine(const char* key, int32_t number) {
  if (!open || memorymode) return 0;
  char digits[34];
  ClassZStd::IntToStr(digits, number, 10, true);
  return ZIni_WriteLine(&file, length, key, digits, false, false);
}

int ClassZIni::WriteComment(const char* text) {
  if (!open || memorymode) return 0;
  return ZIni_WriteLine(&file, length, text, nullptr, false, true);
}

int ClassZIni::WriteNewline() {
  if (!open || memorymode) return 0;
  file.Seek(length);
  if (!file.Write("\r\n", 2)) return 0;
  length += 2;
  return 1;
}

int ZIni_WriteLine(ClassZFile* file, uint32_t& offset, const char* key, const char* value,
                   bool quote, bool comment) {
  if (!file) return 0;
  int ok = 1;
  auto put = [&](const char* text) {
    uint32_t n = ClassZStd::StrLen(text);
    if (n == 0) return;
    file->Seek(offset);
    if (file->Write(text, n)) {
      offset += n;
    } else {
      ok = 0;
    }
  };
  if (offset >= 2) {
    char last[2];
    file->Seek(offset - 2);
    if (file->Read(last, 2) && last[0] != '\n' && last[1] != '\n') put("\r\n");
  }
  if (comment) put("# ");
  put(key);
  if (!comment) {
    put(" = ");
    if (quote) put("\"");
    put(value);
    if (quote) put("\"");
  }
  put("\r\n");
  return ok;
}

char* ZIni_QuoteTrim(char* text) {
  if (!text) return text;
  ClassZStd::StrTrim(text);
  uint32_t n = ClassZStd::StrLen(text);
  if (n >= 2 && text[0] == '"' && text[n - 1] == '"') {
    std::memmove(text, text + 1, n - 2);
    text[n - 2] = 0;
  }
  return text;
}
