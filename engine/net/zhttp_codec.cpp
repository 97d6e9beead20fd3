// The text codecs of the HTTP client: URL and Base64 coding, URL splitting, boundaries.
#include "engine/core/zmod_memory.h"
#include "engine/core/zmod_std.h"
#include "engine/core/zmod_vtimer.h"
#include "engine/net/zmod_connect.h"

namespace {

const char kHex[] = "0123456789ABCDEF";
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool KeptByUrlEncode(uint8_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '!': case '\'': case '(': case ')': case '*': case '-': case '.': case '_': case '~':
      return true;
    default:
      return false;
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Value of each Base64 character, -1 for everything else ('=' included).
struct Base64Table {
  int8_t value[256];
  Base64Table() {
    for (int8_t& v : value) v = -1;
    for (int i = 0; i < 64; ++i) value[static_cast<uint8_t>(kBase64[i])] = static_cast<int8_t>(i);
  }
};
const Base64Table kBase64Values;

}  // namespace

uint32_t ClassZConnect::UrlEncodedLength(const uint8_t* in, uint32_t length) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < length; ++i) n += (KeptByUrlEncode(in[i]) || in[i] == ' ') ? 1 : 3;
  return n;
}

uint32_t ClassZConnect::UrlEncodeBytes(char* out, const uint8_t* in, uint32_t length) {
  uint32_t o = 0;
  for (uint32_t i = 0; i < length; ++i) {
    const uint8_t c = in[i];
    if (KeptByUrlEncode(c)) {
      out[o++] = static_cast<char>(c);
    } else if (c == ' ') {
      out[o++] = '+';
    } else {
      out[o++] = '%';
      out[o++] = kHex[c >> 4];
      out[o++] = kHex[c & 15];
    }
  }
  return o;
}

uint32_t ClassZConnect::UrlEncode(char* out, const char* in) {
  const uint32_t n = UrlEncodeBytes(out, reinterpret_cast<const uint8_t*>(in), ClassZStd::StrLen(in));
  out[n] = 0;
  return n;
}

uint32_t ClassZConnect::UrlDecode(char* out, const char* in) {
  uint32_t o = 0;
  for (uint32_t i = 0; in[i]; ++i) {
    const char c = in[i];
    if (c == '+') {
      out[o++] = ' ';
      continue;
    }
    if (c == '%') {
      const int high = HexValue(in[i + 1]);
      const int low = high >= 0 ? HexValue(in[i + 2]) : -1;
      if (low >= 0) {
        out[o++] = static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out[o++] = c;
  }
  out[o] = 0;
  return o;
}

uint32_t ClassZConnect::Base64EncodeBytes(char* out, const uint8_t* in, uint32_t length) {
  uint32_t o = 0, i = 0;
  for (; i + 3 <= length; i += 3) {
    const uint32_t v = (in[i] << 16) | (in[i + 1] << 8) | in[i + 2];
    out[o++] = kBase64[v >> 18];
    out[o++] = kBase64[(v >> 12) & 63];
    out[o++] = kBase64[(v >> 6) & 63];
    out[o++] = kBase64[v & 63];
  }
  if (i < length) {
    const bool two = i + 1 < length;
    const uint32_t v = (in[i] << 16) | (two ? in[i + 1] << 8 : 0);
    out[o++] = kBase64[v >> 18];
    out[o++] = kBase64[(v >> 12) & 63];
    out[o++] = two ? kBase64[(v >> 6) & 63] : '=';
    out[o++] = '=';
  }
  return o;
}

uint32_t ClassZConnect::Base64Encode(char* out, const char* in) {
  const uint32_t n = Base64EncodeBytes(out, reinterpret_cast<const uint8_t*>(in), ClassZStd::StrLen(in));
  out[n] = 0;
  return n;
}

uint32_t ClassZConnect::Base64Decode(char* out, const char* in) {
  const auto* p = reinterpret_cast<const uint8_t*>(in);
  const int8_t* v = kBase64Values.value;
  uint32_t o = 0;
  // Whole groups of four first; the terminator (and '=') is not in the alphabet, so a
  // group with any of them falls through to the tail below.
  for (;;) {
    const int a = v[p[0]];
    if (a < 0) break;
    const int b = v[p[1]];
    if (b < 0) break;
    const int c = v[p[2]];
    if (c < 0) break;
    const int d = v[p[3]];
    if (d < 0) break;
    const uint32_t bits = static_cast<uint32_t>(a << 18 | b << 12 | c << 6 | d);
    out[o++] = static_cast<char>(bits >> 16);
    out[o++] = static_cast<char>(bits >> 8);
    out[o++] = static_cast<char>(bits);
    p += 4;
  }
  // A last group of two or three characters gives one or two bytes; one alone gives none.
  int held = 0;
  uint32_t bits = 0;
  while (held < 3 && v[p[held]] >= 0) {
    bits = bits << 6 | static_cast<uint32_t>(v[p[held]]);
    ++held;
  }
  if (held == 2) out[o++] = static_cast<char>(bits >> 4);
  if (held == 3) {
    out[o++] = static_cast<char>(bits >> 10);
    out[o++] = static_cast<char>(bits >> 2);
  }
  out[o] = 0;
  return o;
}

int ClassZConnect::SplitURL(const char* url, char* host, char* path, uint32_t length,
                            uint32_t hostSize, uint32_t pathSize) {
  const uint32_t limit = length < ZSTD_MAXLEN ? length : ZSTD_MAXLEN;
  const uint32_t n = ClassZStd::StrLen(url, limit);
  uint32_t hostStart = 0;
  if (n > 6 && (url[0] | 0x20) == 'h' && (url[1] | 0x20) == 't' && (url[2] | 0x20) == 't' &&
      (url[3] | 0x20) == 'p' && url[4] == ':' && url[5] == '/' && url[6] == '/') {
    hostStart = 7;
  }
  uint32_t slash = hostStart;
  while (slash < n && url[slash] != '/') ++slash;
  uint32_t hostEnd = slash, pathStart = slash;
  if (slash == n || slash == 0) {
    // No path (or a bare leading '/'): the host runs to the end, the path is "/".
    hostEnd = n;
    pathStart = n;
  }
  const uint32_t hostLength = hostEnd - hostStart;
  const uint32_t pathLength = pathStart < n ? n - pathStart : 1;
  if (hostLength >= hostSize || pathLength >= pathSize) {
    if (hostSize) host[0] = 0;
    if (pathSize) path[0] = 0;
    return 0;
  }
  ClassZMemory::Copy(host, url + hostStart, static_cast<int32_t>(hostLength), true);
  host[hostLength] = 0;
  if (pathStart < n) {
    ClassZMemory::Copy(path, url + pathStart, static_cast<int32_t>(pathLength), true);
  } else {
    path[0] = '/';
  }
  path[pathLength] = 0;
  return 1;
}

void ClassZConnect::ExpandString(char* buffer, uint32_t& offset, const char* text) {
  const uint32_t n = ClassZStd::StrLen(text);
  if (buffer) ClassZMemory::Copy(buffer + offset, text, static_cast<int32_t>(n), true);
  offset += n;
}

void ClassZConnect::GenerateBoundary(char* out, uint8_t length) {
  for (uint32_t i = 0; i < length; ++i) out[i] = '-';
  out[length] = 0;
  char hex[16];
  ClassZStd::IntToStr(hex, static_cast<int32_t>(ClassZRTimer::Count()), 16, false);
  uint32_t h = ClassZStd::StrLen(hex, sizeof hex);
  const char* digits = hex;
  if (h > length) {
    digits += h - length;
    h = length;
  }
  ClassZMemory::Copy(out + length - h, digits, static_cast<int32_t>(h), true);
}
