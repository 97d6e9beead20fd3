// Request texts of the HTTP client: GET, form POST and multipart POST. Each text is
// measured first and then written into a buffer of exactly that size.
#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_std.h"
#include "engine/net/zmod_connect.h"

namespace {

const uint8_t kBoundaryLength = 40;

// Appends text to a buffer, or only counts it when there is no buffer.
struct TextWriter {
  char* buffer;
  uint64_t offset;

  void Bytes(const void* bytes, uint64_t n) {
    if (buffer) ClassZMemory::Copy(buffer + offset, bytes, static_cast<int32_t>(n), true);
    offset += n;
  }
  void Text(const char* text) { Bytes(text, ClassZStd::StrLen(text)); }
  void Number(int32_t value) {
    char digits[16];
    ClassZStd::IntToStr(digits, value, 10, true);
    Text(digits);
  }
  // A blank would end the request line: it goes out as %20.
  void UrlText(const char* text) {
    for (const char* p = text; *p; ++p) {
      if (*p == ' ') {
        Text("%20");
      } else {
        Bytes(p, 1);
      }
    }
  }
  void UrlEncoded(const uint8_t* bytes, uint32_t n) {
    if (buffer) ClassZConnect::UrlEncodeBytes(buffer + offset, bytes, n);
    offset += ClassZConnect::UrlEncodedLength(bytes, n);
  }
};

// A field of `size` bytes holds a terminated text without CR or LF (and without '"' when
// it goes between quotes).
bool SafeText(const char* text, uint32_t size, bool quoted = false) {
  const uint32_t n = ClassZStd::StrLen(text, size);
  if (n >= size) return false;
  for (uint32_t i = 0; i < n; ++i) {
    if (text[i] == '\r' || text[i] == '\n' || (quoted && text[i] == '"')) return false;
  }
  return true;
}

bool SafeRequest(const ZHTTPRequest* r, bool multipart) {
  if (!r || r->port < 1 || r->port > 65535) return false;
  if (!SafeText(r->host, sizeof r->host) || r->host[0] == 0) return false;
  if (!SafeText(r->path, sizeof r->path) || !SafeText(r->referer, sizeof r->referer) ||
      !SafeText(r->userAgent, sizeof r->userAgent) || !SafeText(r->user, sizeof r->user) ||
      !SafeText(r->password, sizeof r->password)) {
    return false;
  }
  for (uint32_t i = 0; i < r->Count(); ++i) {
    if (!SafeText(r->Name(i), ZSTD_MAXLEN + 1, multipart)) return false;
    if (multipart && !r->IsParam(i) &&
        (!SafeText(r->FileName(i), ZSTD_MAXLEN + 1, true) || !SafeText(r->Type(i), ZSTD_MAXLEN + 1))) {
      return false;
    }
  }
  return true;
}

void WritePath(TextWriter& w, const ZHTTPRequest* r) {
  if (r->path[0]) {
    w.UrlText(r->path);
  } else {
    w.Text("/");
  }
}

// name=UrlEncode(value) for each plain parameter, joined by '&'. Names are not encoded;
// in the request line a blank in a name is escaped so the line stays whole.
void WriteQuery(TextWriter& w, const ZHTTPRequest* r, bool requestLine) {
  bool first = true;
  for (uint32_t i = 0; i < r->Count(); ++i) {
    if (!r->IsParam(i)) continue;
    if (!first) w.Text("&");
    first = false;
    if (requestLine) {
      w.UrlText(r->Name(i));
    } else {
      w.Text(r->Name(i));
    }
    w.Text("=");
    w.UrlEncoded(r->Value(i), static_cast<uint32_t>(r->Length(i) - 1));
  }
}

bool HasParams(const ZHTTPRequest* r) {
  for (uint32_t i = 0; i < r->Count(); ++i) {
    if (r->IsParam(i)) return true;
  }
  return false;
}

// Connection, Accept, User-Agent, Referer, Authorization and Accept-Encoding lines, each
// starting with its line break.
void WriteCommonHeaders(TextWriter& w, const ZHTTPRequest* r) {
  if (r->connection == ZHTTP_CONNECTION_CLOSE) w.Text("\r\nConnection: close");
  if (r->connection == ZHTTP_CONNECTION_KEEPALIVE) w.Text("\r\nConnection: Keep-Alive");
  w.Text("\r\nAccept: */*\r\nUser-Agent: ");
  w.Text(r->userAgent);
  if (r->referer[0]) {
    w.Text("\r\nReferer: ");
    w.Text(r->referer);
  }
  if (r->user[0]) {
    char credentials[ZHTTP_USER_SIZE + ZHTTP_PASSWORD_SIZE];
    uint32_t n = 0;
    ClassZConnect::ExpandString(credentials, n, r->user);
    ClassZConnect::ExpandString(credentials, n, ":");
    ClassZConnect::ExpandString(credentials, n, r->password);
    char encoded[(sizeof credentials + 2) / 3 * 4 + 1];
    encoded[ClassZConnect::Base64EncodeBytes(encoded, reinterpret_cast<uint8_t*>(credentials), n)] = 0;
    w.Text("\r\nAuthorization: Basic ");
    w.Text(encoded);
  }
  if (r->gzip) w.Text("\r\nAccept-Encoding: gzip");
}

// The header of a POST up to its empty line; the boundary (if any) follows the type.
void WritePostHeader(TextWriter& w, const ZHTTPRequest* r, const char* type, const char* boundary,
                     int32_t bodyLength) {
  w.Text("POST ");
  WritePath(w, r);
  w.Text(" HTTP/1.0\r\nHost: ");
  w.Text(r->host);
  w.Text("\r\nContent-Type: ");
  w.Text(type);
  if (boundary) w.Text(boundary);
  w.Text("\r\nContent-Length: ");
  w.Number(bodyLength);
  WriteCommonHeaders(w, r);
  w.Text("\r\n\r\n");
}

void WriteParts(TextWriter& w, const ZHTTPRequest* r, const char* boundary) {
  for (uint32_t i = 0; i < r->Count(); ++i) {
    w.Text("--");
    w.Text(boundary);
    w.Text("\r\nContent-Disposition: form-data; name=\"");
    w.Text(r->Name(i));
    w.Text("\"");
    uint32_t length = static_cast<uint32_t>(r->Length(i));
    if (r->IsParam(i)) {
      --length;  // the value's terminating zero stays home
    } else {
      w.Text("; filename=\"");
      w.Text(r->FileName(i));
      w.Text("\"\r\nContent-Type: ");
      w.Text(r->Type(i));
    }
    w.Text("\r\n\r\n");
    w.Bytes(r->Value(i), length);
    w.Text("\r\n");
  }
  if (r->Count() > 0) {
    w.Text("--");
    w.Text(boundary);
    w.Text("--\r\n");
  }
}

// Runs build twice: to measure, then to write into an exact buffer. Null when the text
// would pass the 32-bit length or memory runs out.
template <typename Build>
uint8_t* BuildText(Build build, uint32_t& length) {
  TextWriter measure{nullptr, 0};
  build(measure);
  if (measure.offset > 0x7FFFFFFF) return nullptr;
  char* text = static_cast<char*>(ClassZMemory::Alloc(static_cast<uint32_t>(measure.offset) + 1));
  if (!text) return nullptr;
  TextWriter write{text, 0};
  build(write);
  length = static_cast<uint32_t>(write.offset);
  return reinterpret_cast<uint8_t*>(text);
}

void WriteQueryPart(TextWriter& w, const ZHTTPRequest* r, const char*) { WriteQuery(w, r, false); }

// The whole text of a POST: the header, with the length of the body measured by writing it
// once without storing, then the body (given the boundary, if any). Null as for BuildText.
uint8_t* BuildPost(const ZHTTPRequest* r, const char* type, const char* boundary,
                   void (*body)(TextWriter&, const ZHTTPRequest*, const char*), uint32_t& length) {
  TextWriter measure{nullptr, 0};
  body(measure, r, boundary);
  if (measure.offset > 0x7FFFFFFF) return nullptr;
  const int32_t bodyLength = static_cast<int32_t>(measure.offset);
  return BuildText([&](TextWriter& w) {
    WritePostHeader(w, r, type, boundary, bodyLength);
    body(w, r, boundary);
  }, length);
}

}  // namespace

bool ClassZConnect::BeginRequest(const ZHTTPRequest* r, bool multipart) {
  if ((transport != 1 && transport != 2) || !SafeRequest(r, multipart)) return false;
  Disconnect(0);
  FreePending();
  return true;
}

int ClassZConnect::StartRequest(const ZHTTPRequest* r, uint8_t* text, uint32_t length) {
  if (!text) return 0;
  SetPending(text, length);
  return SearchHost(r->host, static_cast<int32_t>(r->port));
}

int ClassZConnect::SendHTTPGet(const ZHTTPRequest* r) {
  if (!BeginRequest(r, false)) return 0;
  uint32_t length = 0;
  uint8_t* text = BuildText([&](TextWriter& w) {
    w.Text("GET ");
    WritePath(w, r);
    if (HasParams(r)) {
      w.Text("?");
      WriteQuery(w, r, true);
    }
    w.Text(" HTTP/1.0\r\nHost: ");
    w.Text(r->host);
    WriteCommonHeaders(w, r);
    w.Text("\r\n\r\n");
  }, length);
  return StartRequest(r, text, length);
}

int ClassZConnect::SendHTTPPost(const ZHTTPRequest* r) {
  if (!BeginRequest(r, false)) return 0;
  uint32_t length = 0;
  uint8_t* text = BuildPost(r, "application/x-www-form-urlencoded", nullptr, WriteQueryPart, length);
  return StartRequest(r, text, length);
}

int ClassZConnect::SendHTTPPostMultipart(const ZHTTPRequest* r) {
  if (!BeginRequest(r, true)) return 0;
  char boundary[kBoundaryLength + 1];
  GenerateBoundary(boundary, kBoundaryLength);
  uint32_t length = 0;
  uint8_t* text = BuildPost(r, "multipart/form-data; boundary=", boundary, WriteParts, length);
  return StartRequest(r, text, length);
}

int ClassZConnect::SendHTTPGet(const char* url, bool) {
  ZHTTPRequest request(url);
  return SendHTTPGet(&request);
}

int ClassZConnect::SendHTTPPost(const char* url, bool) {
  ZHTTPRequest request(url);
  return SendHTTPPost(&request);
}
