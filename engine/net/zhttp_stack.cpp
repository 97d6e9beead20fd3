#include "engine/net/zhttp_stack.h"

#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_std.h"

namespace {

const char kHeaderEnd[4] = {'\r', '\n', '\r', '\n'};

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// True when the line at text (of at most n bytes) starts with name, ignoring ASCII case.
bool StartsWithNoCase(const char* text, uint32_t n, const char* name) {
  uint32_t i = 0;
  for (; name[i]; ++i) {
    if (i >= n || Upper(text[i]) != Upper(name[i])) return false;
  }
  return true;
}

// Copies the field value that starts at text (blanks skipped, up to the line end) into a
// field of `size` bytes, cut to size - 1.
void CopyValue(char* field, uint32_t size, const char* text, uint32_t n) {
  uint32_t i = 0;
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  uint32_t out = 0;
  while (i < n && text[i] != '\r' && text[i] != '\n' && text[i] != 0 && out + 1 < size) {
    field[out++] = text[i++];
  }
  field[out] = 0;
}

// Leading decimal digits of up to `limit` characters, clamped to `maximum`.
int64_t ParseDigits(const char* text, uint32_t n, uint32_t limit, int64_t maximum) {
  int64_t value = 0;
  for (uint32_t i = 0; i < n && i < limit && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > maximum) value = maximum;
  }
  return value;
}

}  // namespace

ZHTTPStack::ZHTTPStack() { ResetResponse(); }

ZHTTPStack::~ZHTTPStack() { DeAlloc(); }

void ZHTTPStack::ResetResponse() {
  info = ZHTTPRESPONSE_INFO{};
  used = headerEnd = 0;
  match = gzip = 0;
  overflow = false;
}

int ZHTTPStack::Alloc(uint32_t size) {
  DeAlloc();
  buffer = static_cast<uint8_t*>(ClassZMemory::Alloc(size));
  if (!buffer) return 0;
  capacity = size;
  return 1;
}

void ZHTTPStack::DeAlloc() {
  ClassZMemory::DeAlloc(buffer);
  buffer = nullptr;
  capacity = 0;
  ResetResponse();
}

void ZHTTPStack::Clear() { ResetResponse(); }

int ZHTTPStack::Push(const void* data, uint32_t length) {
  if (!buffer || overflow) return 0;
  if (length > capacity - used) {
    overflow = true;
    return 0;
  }
  ClassZMemory::Copy(buffer + used, data, static_cast<int32_t>(length), true);
  const uint32_t from = used;
  used += length;
  for (uint32_t i = from; i < used && !headerEnd; ++i) {
    const char c = static_cast<char>(buffer[i]);
    if (c == kHeaderEnd[match]) {
      ++match;
    } else {
      match = (c == '\r') ? 1 : 0;
    }
    if (match == 4) {
      headerEnd = i + 1;
      buffer[i - 1] = 0;  // ends the header text after its last line end
      buffer[i] = 0;
      ParseHeader();
    }
  }
  return 1;
}

void ZHTTPStack::ParseHeader() {
  if (!headerEnd) return;
  const char* text = reinterpret_cast<const char*>(buffer);
  const uint32_t n = headerEnd - 2;  // the header text without its closing zeros

  // Status line: "HTTP/x.y NNN reason".
  uint32_t lineEnd = 0;
  while (lineEnd < n && text[lineEnd] != '\r' && text[lineEnd] != '\n') ++lineEnd;
  if (StartsWithNoCase(text, lineEnd, "HTTP/")) {
    uint32_t blank = 0;
    while (blank < lineEnd && text[blank] != ' ') ++blank;
    if (blank < lineEnd) {
      info.status = static_cast<uint16_t>(
          ParseDigits(text + blank + 1, lineEnd - blank - 1, 15, 999));
    }
  }

  struct Field {
    const char* name;
    char* value;
    uint32_t size;
  };
  char length[16];
  length[0] = 0;
  const Field fields[] = {
      {"content-length:", length, sizeof length},
      {"date:", info.date, sizeof info.date},
      {"server:", info.server, sizeof info.server},
      {"content-type:", info.contentType, sizeof info.contentType},
      {"content-encoding:", info.contentEncoding, sizeof info.contentEncoding},
      {"location:", info.location, sizeof info.location},
  };
  bool seen[6] = {};
  // Field names count only at the start of a line (after the status line).
  for (uint32_t at = lineEnd; at < n;) {
    while (at < n && (text[at] == '\r' || text[at] == '\n')) ++at;
    uint32_t end = at;
    while (end < n && text[end] != '\r' && text[end] != '\n') ++end;
    for (uint32_t f = 0; f < 6; ++f) {
      const uint32_t nameLength = ClassZStd::StrLen(fields[f].name, 0x4000);
      if (!seen[f] && StartsWithNoCase(text + at, end - at, fields[f].name)) {
        CopyValue(fields[f].value, fields[f].size, text + at + nameLength, end - at - nameLength);
        seen[f] = true;
      }
    }
    at = end;
  }
  info.contentLength = static_cast<int32_t>(
      ParseDigits(length, ClassZStd::StrLen(length, 0x4000), 15, INT32_MAX));
  gzip = (ClassZStd::StrEqual(info.contentEncoding, "gzip", true) ||
          ClassZStd::StrEqual(info.contentEncoding, "x-gzip", true)) ? 1 : 0;
}

uint32_t ZHTTPStack::BodySize() const {
  return (headerEnd && !overflow) ? used - headerEnd : 0;
}

bool ZHTTPStack::GetBody(void* out, uint32_t& length) const {
  if (!headerEnd || overflow) return false;
  const uint32_t size = used - headerEnd;
  if (size > length) {
    length = size;
    return false;
  }
  ClassZMemory::Copy(out, buffer + headerEnd, static_cast<int32_t>(size), true);
  length = size;
  return true;
}

int ZHTTPStack::GetResponseInfo(ZHTTPRESPONSE_INFO* out) const {
  if (!headerEnd || overflow || !out) return 0;
  *out = info;
  return 1;
}

int ZHTTPStack::GetResponseInfo(char* out, uint32_t size) const {
  if (!headerEnd || overflow || !out || size < headerEnd) return 0;
  ClassZMemory::Copy(out, buffer, static_cast<int32_t>(headerEnd), true);
  return 1;
}
