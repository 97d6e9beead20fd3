#include <gtest/gtest.h>

#include <string>

#include "engine/net/zhttp_stack.h"

namespace {

const std::string kReply = "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\n1";

struct Result {
  bool complete;
  ZHTTPRESPONSE_INFO info;
  std::string body;
  std::string header;
};

Result Read(const ZHTTPStack& stack) {
  Result r{};
  r.complete = stack.GetResponseInfo(&r.info) == 1;
  char body[4096];
  uint32_t length = sizeof body;
  if (stack.GetBody(body, length)) r.body.assign(body, length);
  char header[4096];
  if (stack.GetResponseInfo(header, sizeof header)) r.header = header;
  return r;
}

Result Parse(const std::string& reply, uint32_t capacity = 4096) {
  ZHTTPStack stack;
  EXPECT_EQ(1, stack.Alloc(capacity));
  stack.Push(reply.data(), static_cast<uint32_t>(reply.size()));
  return Read(stack);
}

void ExpectSame(const Result& a, const Result& b, const std::string& where) {
  EXPECT_EQ(a.complete, b.complete) << where;
  EXPECT_EQ(a.body, b.body) << where;
  EXPECT_EQ(a.header, b.header) << where;
  EXPECT_EQ(a.info.status, b.info.status) << where;
  EXPECT_EQ(a.info.contentLength, b.info.contentLength) << where;
  EXPECT_STREQ(a.info.contentType, b.info.contentType) << where;
  EXPECT_STREQ(a.info.location, b.info.location) << where;
}

}  // namespace

TEST(HttpStack, SimpleReplyWholeSplitAndByteByByte) {
  const Result whole = Parse(kReply);
  ASSERT_TRUE(whole.complete);
  EXPECT_EQ(200, whole.info.status);
  EXPECT_EQ(1, whole.info.contentLength);
  EXPECT_EQ("1", whole.body);
  EXPECT_EQ("HTTP/1.0 200 OK\r\nContent-Length: 1\r\n", whole.header);

  const std::string longer =
      "HTTP/1.1 302 Found\r\nServer: test\r\nLocation: /next\r\nContent-Type: text/plain\r\n"
      "Date: Thu, 01 Jan 2026 00:00:00 GMT\r\nContent-Encoding: gzip\r\n\r\nbody\r\n\r\nmore";
  for (const std::string& reply : {kReply, longer}) {
    const Result expected = Parse(reply);
    for (size_t a = 0; a <= reply.size(); ++a) {
      for (size_t b = a; b <= reply.size(); b += 7) {  // three pieces, every first cut
        ZHTTPStack stack;
        ASSERT_EQ(1, stack.Alloc(4096));
        stack.Push(reply.data(), static_cast<uint32_t>(a));
        stack.Push(reply.data() + a, static_cast<uint32_t>(b - a));
        stack.Push(reply.data() + b, static_cast<uint32_t>(reply.size() - b));
        ExpectSame(expected, Read(stack), "cut at " + std::to_string(a) + "," + std::to_string(b));
      }
    }
    ZHTTPStack stack;
    ASSERT_EQ(1, stack.Alloc(4096));
    for (char c : reply) stack.Push(&c, 1);
    ExpectSame(expected, Read(stack), "byte by byte");
  }
}

TEST(HttpStack, HeaderEndsOnlyAtCrLfCrLf) {
  EXPECT_FALSE(Parse("HTTP/1.0 200 OK\ra\rb\rc").complete);
  EXPECT_FALSE(Parse("HTTP/1.0 200 OK\n\n1").complete);
  const Result r = Parse("HTTP/1.0 200 OK\r\r\n\r\nX");
  ASSERT_TRUE(r.complete) << "a stray CR before the empty line";
  EXPECT_EQ("X", r.body);
}

TEST(HttpStack, FieldTable) {
  struct Case {
    const char* header;
    uint16_t status;
    int32_t length;
    const char* type;
    const char* location;
    bool gzip;
  } cases[] = {
      {"HTTP/1.0 404 Not Found", 404, 0, "", "", false},
      {"HTTP/1.0 200 OK\r\nContent-Length:1", 200, 1, "", "", false},
      {"HTTP/1.0 200 OK\r\nContent-Length:    42", 200, 42, "", "", false},
      {"HTTP/1.0 200 OK\r\nContent-Length:\t7", 200, 7, "", "", false},
      {"HTTP/1.0 200 OK\r\nCONTENT-TYPE: text/html", 200, 0, "text/html", "", false},
      {"HTTP/1.0 200 OK\r\nContent-Encoding: x-gzip", 200, 0, "", "", true},
      {"HTTP/1.0 200 OK\r\nContent-Encoding: gzip", 200, 0, "", "", true},
      {"HTTP/1.0 200 OK\r\nContent-Encoding: GZIP", 200, 0, "", "", false},
      {"HTTP/1.0 301 Moved\r\nContent-Location: /wrong\r\nLocation: /right", 301, 0, "", "/right", false},
      {"HTTP/1.0 301 Moved\r\nContent-Location: /only", 301, 0, "", "", false},
      {"HTTP/1.0 200 OK\r\nContent-Length: 999999999999999", 200, INT32_MAX, "", "", false},
      {"HTTP/1.0 99999999999999 Big", 999, 0, "", "", false},
      {"HTTP/1.0 2x0 Odd", 2, 0, "", "", false},
      {"ICY 200 OK", 0, 0, "", "", false},
      {"HTTP/1.0", 0, 0, "", "", false},
      {"HTTP/1.0 200 OK\r\nX-Server: fake\r\nContent-Type: a\r\nContent-Type: b", 200, 0, "a", "", false},
  };
  for (const Case& c : cases) {
    ZHTTPStack stack;
    ASSERT_EQ(1, stack.Alloc(4096));
    const std::string reply = std::string(c.header) + "\r\n\r\n";
    ASSERT_EQ(1, stack.Push(reply.data(), static_cast<uint32_t>(reply.size())));
    ZHTTPRESPONSE_INFO info;
    ASSERT_EQ(1, stack.GetResponseInfo(&info)) << c.header;
    EXPECT_EQ(c.status, info.status) << c.header;
    EXPECT_EQ(c.length, info.contentLength) << c.header;
    EXPECT_STREQ(c.type, info.contentType) << c.header;
    EXPECT_STREQ(c.location, info.location) << c.header;
    EXPECT_STREQ("", info.server) << c.header;
    EXPECT_EQ(c.gzip, stack.IsGzip()) << c.header;
  }
}

TEST(HttpStack, LongValuesAreCutToTheirField) {
  for (size_t n : {200u, 1023u, 2000u}) {
    const std::string location(n, 'L');
    const Result r = Parse("HTTP/1.0 302 Found\r\nLocation: " + location + "\r\nServer: " +
                           std::string(300, 'S') + "\r\n\r\n");
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(location.substr(0, 1023), r.info.location) << n;
    EXPECT_EQ(std::string(255, 'S'), r.info.server);
  }
}

TEST(HttpStack, CapacityAndStickyOverflow) {
  ZHTTPStack stack;
  EXPECT_EQ(0, stack.Push("x", 1)) << "no buffer";
  ASSERT_EQ(1, stack.Alloc(512));
  const std::string big(600, 'a');
  EXPECT_EQ(0, stack.Push(big.data(), 600));
  EXPECT_EQ(0u, stack.Used());

  // Exact fit.
  ASSERT_EQ(1, stack.Alloc(512));
  std::string exact = "HTTP/1.0 200 OK\r\n\r\n";
  exact += std::string(512 - exact.size(), 'b');
  EXPECT_EQ(1, stack.Push(exact.data(), 512));
  EXPECT_EQ(512u - 19u, stack.BodySize());

  // A lost chunk makes the response invalid, whatever fits afterwards.
  ASSERT_EQ(1, stack.Alloc(512));
  const std::string head = kReply;
  EXPECT_EQ(1, stack.Push(head.data(), static_cast<uint32_t>(head.size())));
  EXPECT_EQ(0, stack.Push(big.data(), 600));
  EXPECT_EQ(0, stack.Push("2", 1));
  EXPECT_TRUE(stack.Overflowed());
  EXPECT_EQ(0u, stack.BodySize());
  char out[16];
  uint32_t length = sizeof out;
  EXPECT_FALSE(stack.GetBody(out, length));
  ZHTTPRESPONSE_INFO info;
  EXPECT_EQ(0, stack.GetResponseInfo(&info));
  stack.Clear();
  EXPECT_FALSE(stack.Overflowed());
  EXPECT_EQ(1, stack.Push(head.data(), static_cast<uint32_t>(head.size())));
  EXPECT_EQ(1u, stack.BodySize());
}

TEST(HttpStack, NothingBeforeTheHeaderEnds) {
  ZHTTPStack stack;
  ASSERT_EQ(1, stack.Alloc(512));
  const std::string part = "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r";
  ASSERT_EQ(1, stack.Push(part.data(), static_cast<uint32_t>(part.size())));
  EXPECT_EQ(0u, stack.BodySize());
  char out[512];
  uint32_t length = sizeof out;
  EXPECT_FALSE(stack.GetBody(out, length));
  ZHTTPRESPONSE_INFO info;
  EXPECT_EQ(0, stack.GetResponseInfo(&info));
  EXPECT_EQ(0, stack.GetResponseInfo(out, sizeof out));
}

TEST(HttpStack, CallerBuffersAreBounded) {
  ZHTTPStack stack;
  ASSERT_EQ(1, stack.Alloc(512));
  const std::string reply = "HTTP/1.0 200 OK\r\n\r\n0123456789";
  ASSERT_EQ(1, stack.Push(reply.data(), static_cast<uint32_t>(reply.size())));
  char out[64];
  uint32_t length = 4;
  EXPECT_FALSE(stack.GetBody(out, length));
  EXPECT_EQ(10u, length) << "the room needed";
  EXPECT_EQ(0, stack.GetResponseInfo(out, 10)) << "header of 19 bytes";
  EXPECT_EQ(1, stack.GetResponseInfo(out, 19));
  EXPECT_STREQ("HTTP/1.0 200 OK\r\n", out);
}

TEST(HttpStack, AllocAndClearResetEveryField) {
  ZHTTPStack stack;
  ASSERT_EQ(1, stack.Alloc(512));
  const std::string first = "HTTP/1.0 302 Found\r\nLocation: /a\r\nContent-Type: t\r\n\r\nx";
  ASSERT_EQ(1, stack.Push(first.data(), static_cast<uint32_t>(first.size())));
  const std::string second = "HTTP/1.0 200 OK\r\n\r\ny";
  for (int viaClear = 0; viaClear < 2; ++viaClear) {
    if (viaClear) {
      stack.Clear();
    } else {
      ASSERT_EQ(1, stack.Alloc(512));
    }
    EXPECT_EQ(0u, stack.Used());
    ASSERT_EQ(1, stack.Push(second.data(), static_cast<uint32_t>(second.size())));
    ZHTTPRESPONSE_INFO info;
    ASSERT_EQ(1, stack.GetResponseInfo(&info));
    EXPECT_STREQ("", info.location);
    EXPECT_STREQ("", info.contentType);
    EXPECT_EQ(200, info.status);
    ASSERT_EQ(1, stack.Push(first.data(), 1));  // dirty it again for the next round
  }
  EXPECT_EQ(0, stack.Alloc(0));
  EXPECT_EQ(0u, stack.Capacity());
  EXPECT_EQ(0, stack.Push("a", 1));
}
