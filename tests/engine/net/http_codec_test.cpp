#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/core/zmod_file.h"
#include "engine/core/zmod_platform.h"
#include "engine/core/zmod_std.h"
#include "engine/net/zmod_connect.h"

namespace {

std::string Encode(const std::string& in) {
  std::vector<char> out(in.size() * 3 + 1);
  ClassZConnect::UrlEncode(out.data(), in.c_str());
  return out.data();
}

std::string Decode(const std::string& in) {
  std::vector<char> out(in.size() + 1);
  const uint32_t n = ClassZConnect::UrlDecode(out.data(), in.c_str());
  return std::string(out.data(), n);
}

std::string B64(const std::string& in) {
  std::vector<char> out((in.size() + 2) / 3 * 4 + 1);
  ClassZConnect::Base64Encode(out.data(), in.c_str());
  return out.data();
}

std::string Unb64(const std::string& in) {
  std::vector<char> out(in.size() + 1);
  const uint32_t n = ClassZConnect::Base64Decode(out.data(), in.c_str());
  return std::string(out.data(), n);
}

struct Param {
  std::string name, value;
};

std::vector<Param> Params(const ZHTTPRequest& r) {
  std::vector<Param> out;
  for (uint32_t i = 0; i < r.Count(); ++i) {
    out.push_back({r.Name(i), std::string(reinterpret_cast<const char*>(r.Value(i)))});
  }
  return out;
}

}  // namespace

TEST(HttpCodec, UrlEncodeTable) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"a/b~", "a%2Fb~"},
      {"A B", "A+B"},
      {"!'()*-._~09azAZ", "!'()*-._~09azAZ"},
      {"\x01\x7F\x80\xFF", "%01%7F%80%FF"},
      {"a&b=c+d%", "a%26b%3Dc%2Bd%25"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.out, Encode(c.in)) << c.in;
    EXPECT_EQ(c.in, Decode(c.out)) << c.out;
  }
}

TEST(HttpCodec, UrlDecodeTakesOnlyWholeEscapes) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"a%", "a%"},      {"a%4", "a%4"},    {"%zz", "%zz"},  {"%4z", "%4z"},
      {"%00x", std::string("\0x", 2)},      {"+", " "},      {"%2b%2B", "++"},
      {"%%41", "%A"},    {"100%", "100%"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, Decode(c.in)) << c.in;
  char inPlace[] = "a+b%21";
  ClassZConnect::UrlDecode(inPlace, inPlace);
  EXPECT_STREQ("a b!", inPlace);
}

TEST(HttpCodec, Base64Vectors) {
  const struct {
    std::string plain, coded;
  } rfc[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
             {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"abc", "YWJj"}, {"ab", "YWI="}};
  for (const auto& c : rfc) {
    EXPECT_EQ(c.coded, B64(c.plain));
    EXPECT_EQ(c.plain, Unb64(c.coded));
  }
  // The decoder stops at '=' or a foreign character and drops a lone last character.
  EXPECT_EQ("foo", Unb64("Zm9vY"));
  EXPECT_EQ("fo", Unb64("Zm8=Zm9v"));
  EXPECT_EQ("foo", Unb64("Zm9v*Zm9v"));
  EXPECT_EQ("", Unb64("="));
  EXPECT_EQ("", Unb64("Z"));
}

TEST(HttpCodec, RandomRoundTrips) {
  std::mt19937 rng(3);
  for (int i = 0; i < 500; ++i) {
    std::string text(rng() % 40, '\0');
    for (char& c : text) c = static_cast<char>(1 + rng() % 255);
    EXPECT_EQ(text, Decode(Encode(text)));
    EXPECT_EQ(text, Unb64(B64(text)));
  }
}

TEST(HttpCodec, UrlTable) {
  struct Case {
    std::string url, host, path;
    uint32_t port;
    std::vector<Param> params;
  } cases[] = {
      {"http://example.test:8080/a/b.php?x=1&y=a%20b", "example.test", "/a/b.php", 8080, {{"x", "1"}, {"y", "a b"}}},
      {"http://host", "host", "/", 80, {}},
      {"host/p", "host", "/p", 80, {}},
      {"HTTP://Host/P", "Host", "/P", 80, {}},
      {"hTtP://h:0/", "h", "/", 80, {}},
      {"https://secure/x", "https", "//secure/x", 80, {}},  // only plain http is a scheme
      {"/p", "/p", "/", 80, {}},
      {"h/p?a&b=1&c", "h", "/p", 80, {{"a&b", "1"}, {"c", ""}}},
      {"h/p?a=1=2&=3&n%20=v+w", "h", "/p", 80, {{"a", "1=2"}, {"", "3"}, {"n%20", "v w"}}},
      {"h:99999999999/", "h", "/", 1000000, {}},  // refused when sent
      {"h/a?b?c=1", "h", "/a?b", 80, {{"c", "1"}}},
  };
  for (const Case& c : cases) {
    ZHTTPRequest r(c.url.c_str());
    EXPECT_EQ(c.host, r.host) << c.url;
    EXPECT_EQ(c.path, r.path) << c.url;
    EXPECT_EQ(c.port, r.port) << c.url;
    const std::vector<Param> got = Params(r);
    ASSERT_EQ(c.params.size(), got.size()) << c.url;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(c.params[i].name, got[i].name) << c.url;
      EXPECT_EQ(c.params[i].value, got[i].value) << c.url;
    }
  }
}

TEST(HttpCodec, UrlLimitsLeaveTheDefaults) {
  const std::string q767 = "http://" + std::string(400, 'h') + "/" + std::string(359, 'p') + "?a=1";
  const std::string q768 = "http://" + std::string(400, 'h') + "/" + std::string(360, 'p') + "?a=1";
  ZHTTPRequest at767(q767.c_str());
  EXPECT_EQ(1u, at767.Count());
  EXPECT_EQ(400u, std::string(at767.host).size());
  EXPECT_EQ(360u, std::string(at767.path).size());
  ZHTTPRequest at768(q768.c_str());
  EXPECT_EQ(0u, at768.Count());
  EXPECT_STREQ("", at768.host);
  EXPECT_EQ(80u, at768.port);

  const struct {
    std::string url;
    size_t host, path;  // 0, 0: refused, defaults kept
  } cases[] = {
      {"http://" + std::string(511, 'h') + "/p", 511, 2},
      {"http://" + std::string(512, 'h') + "/p", 0, 0},
      {"h/" + std::string(510, 'p'), 1, 511},
      {"h/" + std::string(511, 'p'), 0, 0},
      {"h/" + std::string(511, 'p') + "?a=1", 0, 0},
  };
  for (const auto& c : cases) {
    ZHTTPRequest r(c.url.c_str());
    EXPECT_EQ(c.host, std::string(r.host).size()) << c.url.size();
    EXPECT_EQ(c.path, std::string(r.path).size()) << c.url.size();
    if (!c.host) {
      EXPECT_EQ(0u, r.Count());
    }
  }
}

TEST(HttpCodec, LongUrlsAreReadUpTo65535Characters) {
  // A query value past the text limit is dropped; the rest of the URL still counts.
  const std::string url = "h/p?a=1&b=" + std::string(20000, 'v') + "&c=2";
  ZHTTPRequest r(url.c_str());
  EXPECT_STREQ("h", r.host);
  EXPECT_STREQ("/p", r.path);
  ASSERT_EQ(2u, r.Count());
  EXPECT_STREQ("a", r.Name(0));
  EXPECT_STREQ("c", r.Name(1));
  const std::string tooLong = "h/p?a=1&b=" + std::string(70000, 'v');
  ZHTTPRequest ignored(tooLong.c_str());
  EXPECT_STREQ("", ignored.host);
  EXPECT_EQ(0u, ignored.Count());
}

TEST(HttpCodec, ListsGrowInOrder) {
  ZHTTPRequest r;
  for (int i = 0; i < 100; ++i) ASSERT_EQ(1, r.AddParam(("n" + std::to_string(i)).c_str(), i - 50));
  ASSERT_EQ(100u, r.Count());
  for (uint32_t i = 0; i < 100; ++i) {
    EXPECT_EQ("n" + std::to_string(i), r.Name(i));
    EXPECT_EQ(std::to_string(static_cast<int>(i) - 50), reinterpret_cast<const char*>(r.Value(i)));
    EXPECT_EQ(static_cast<int32_t>(std::to_string(static_cast<int>(i) - 50).size() + 1), r.Length(i));
  }
  const std::string tooLong(20000, 'v');
  EXPECT_EQ(0, r.AddParam("x", tooLong.c_str()));
  EXPECT_EQ(100u, r.Count());
}

TEST(HttpCodec, FilesAndData) {
  ZHTTPRequest r;
  EXPECT_EQ(0, r.AddFile("f", "/nonexistent/zolt-missing.txt"));
  const std::string path = testing::TempDir() + "zolt_net_part.txt";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fputs("0123456789", f);
  std::fclose(f);
  ASSERT_EQ(1, r.AddFile("f", path.c_str()));
  EXPECT_EQ(10, r.Length(0));
  EXPECT_STREQ("text/plain", r.Type(0));
  EXPECT_EQ(path, r.FileName(0));

  ClassZFile file;
  ASSERT_EQ(1, file.Open(path.c_str(), 1));
  file.Seek(4);
  ASSERT_EQ(1, r.AddFile("g", &file, "x/y"));
  EXPECT_EQ(6, r.Length(1)) << "from the current position";
  EXPECT_EQ("456789", std::string(reinterpret_cast<const char*>(r.Value(1)), 6));
  EXPECT_STREQ("x/y", r.Type(1));
  EXPECT_EQ(0, r.AddFile("h", &file)) << "nothing left to read";
  file.Close();
  std::remove(path.c_str());

  const uint8_t data[3] = {0, 1, 2};
  ASSERT_EQ(1, r.AddData("d", data, 3));
  EXPECT_STREQ("file", r.FileName(2));
  EXPECT_STREQ("application/octet-stream", r.Type(2));
  ASSERT_EQ(1, r.AddData("e", data, 3, "pic.png"));
  EXPECT_STREQ("image/png", r.Type(3));
}

TEST(HttpCodec, MimeTypes) {
  const struct {
    const char* name;
    const char* type;
  } cases[] = {
      {"x.HTML", "application/octet-stream"}, {"x.html", "text/html"},
      {"archive.tar.gz", "application/x-gzip"}, {"c", "application/octet-stream"},
      {"a.c", "text/plain"}, {"a.cc", "text/plain"}, {"song.mpga", "audio/mpeg"},
      {"page.htm", "text/html"}, {"x.jpeg", "image/jpeg"}, {".zip", "application/zip"},
      {"", "application/octet-stream"}, {nullptr, "application/octet-stream"},
  };
  for (const auto& c : cases) {
    char out[ZHTTP_MIME_SIZE];
    ZHTTPRequest::GetMimeType(out, c.name);
    EXPECT_STREQ(c.type, out) << (c.name ? c.name : "null");
  }
  const uint16_t wide[] = {'a', '.', 'w', 'a', 'v', 0};
  char out[ZHTTP_MIME_SIZE];
  ZHTTPRequest::GetMimeType(out, wide);
  EXPECT_STREQ("audio/x-wav", out);
  std::vector<uint16_t> longName(300, 'a');
  longName.push_back('.');
  longName.push_back('h');
  longName.push_back(0);
  ZHTTPRequest::GetMimeType(out, longName.data());
  EXPECT_STREQ("text/plain", out);

  char extensions[2][ZHTTP_MIME_EXT_SIZE];
  char types[2][ZHTTP_MIME_SIZE];
  uint32_t count = 0;
  EXPECT_EQ(1, ZHTTPRequest::AddMimeArray(count, extensions, types, 2, ".a", "x/a"));
  EXPECT_EQ(0, ZHTTPRequest::AddMimeArray(count, extensions, types, 2, ".toolong", "x/b"));
  EXPECT_EQ(0, ZHTTPRequest::AddMimeArray(count, extensions, types, 2, ".b", std::string(32, 't').c_str()));
  EXPECT_EQ(1, ZHTTPRequest::AddMimeArray(count, extensions, types, 2, ".b", "x/b"));
  EXPECT_EQ(0, ZHTTPRequest::AddMimeArray(count, extensions, types, 2, ".c", "x/c"));
  EXPECT_EQ(2u, count);
  EXPECT_STREQ(".b", extensions[1]);
}

TEST(HttpCodec, DottedAddresses) {
  const struct {
    const char* text;
    uint32_t value;
  } cases[] = {
      {"10.0.0.1", 10u * 16777216u + 1u}, {"1.2.3.4.5", 0xFFFFFFFF}, {"1.2.x.4", 0xFFFFFFFF},
      {"300.1.1.1", (300u % 256u) << 24 | 0x010101}, {"1.2", 0x01020000},
      {"127.0.0.1", 0x7F000001}, {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value, ClassZConnect::AtoIPA(c.text)) << c.text;
  // Long digit runs stay modulo 256 as they accumulate (no overflow).
  uint32_t n = 0;
  for (char d : std::string("99999999999999999999")) n = (n * 10 + static_cast<uint32_t>(d - '0')) % 256;
  EXPECT_EQ(n << 24 | 0x010101, ClassZConnect::AtoIPA("99999999999999999999.1.1.1"));

  char text[16];
  EXPECT_EQ(10, ClassZConnect::IPAtoA(text, (192u << 24) | (168u << 16) | 1u));
  EXPECT_STREQ("192.168.0.1", text);
  EXPECT_EQ(14, ClassZConnect::IPAtoA(text, 0xFFFFFFFF));
  EXPECT_STREQ("255.255.255.255", text);
}

namespace {
uint64_t g_micros = 0;
uint64_t FixedNow() { return g_micros; }
}  // namespace

TEST(HttpCodec, BoundaryEndsWithTheClockInHex) {
  // Count() = 0xDEADBEEF ms, a value with the sign bit set.
  g_micros = 0xDEADBEEFull * 1000ull;
  ZPlatform_SetClock(FixedNow, nullptr);
  char boundary[41];
  ClassZConnect::GenerateBoundary(boundary, 40);
  EXPECT_EQ(std::string(32, '-') + "DEADBEEF", boundary);
  char shortOne[5];
  ClassZConnect::GenerateBoundary(shortOne, 4);
  EXPECT_STREQ("BEEF", shortOne);
  ZPlatform_SetClock(nullptr, nullptr);
}

// What this layer leans on in the core's text routines.
TEST(HttpCodec, CoreTextContracts) {
  char field[8];
  ClassZStd::StrCpy(field, "0123456789", sizeof field);
  EXPECT_STREQ("0123456", field) << "cut and terminated";
  EXPECT_EQ(5u, ClassZStd::StrLen("0123456789", 5));
  char hex[16];
  ClassZStd::IntToStr(hex, static_cast<int32_t>(0x80000000u), 16, false);
  EXPECT_STREQ("80000000", hex);
  EXPECT_EQ(1, ClassZStd::StrEqual("gzip", "gzip", true));
  EXPECT_EQ(0, ClassZStd::StrEqual("gzip", "GZIP", true));
}
