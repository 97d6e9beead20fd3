// Fuzz targets of the network layer: the frame receiver, framed round trips, the HTTP
// response buffer, URL parsing with the text codecs, and the request builder.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/app/zolt.h"
#include "engine/net/zmod_connect.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

std::string Frame(const std::string& payload) {
  const auto* p = reinterpret_cast<const uint8_t*>(payload.data());
  const int32_t total = ZNet_FrameLength(p, static_cast<uint32_t>(payload.size()));
  if (total < 0) return "";
  std::string out(static_cast<size_t>(total), '\0');
  ZNet_FrameEncode(reinterpret_cast<uint8_t*>(&out[0]), p, static_cast<uint32_t>(payload.size()));
  return out;
}

// Every popped message must come from a frame that encodes again into a valid frame.
void CheckPopped(int kind, const std::string& payload) {
  FUZZ_CHECK(kind >= ZNET_POP_DATA && kind <= ZNET_POP_PING_REPLY);
  if (kind != ZNET_POP_DATA) {
    FUZZ_CHECK(payload.size() == 2);
    return;
  }
  const std::string frame = Frame(payload);
  FUZZ_CHECK(!frame.empty());
  ZNetStack again;
  FUZZ_CHECK(again.Alloc(static_cast<uint32_t>(frame.size())));
  FUZZ_CHECK(again.Push(frame.data(), static_cast<uint32_t>(frame.size())));
  std::vector<uint8_t> out(payload.size() + 1);
  uint32_t length = static_cast<uint32_t>(out.size());
  FUZZ_CHECK(again.Pop(out.data(), length) == ZNET_POP_DATA);
  FUZZ_CHECK(std::string(reinterpret_cast<char*>(out.data()), length) == payload);
}

// Arbitrary bytes in arbitrary chunks into a ring of random capacity, with pops at random
// out sizes in between.
int FrameReceiver(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  ZNetStack ring;
  const uint32_t capacity = 2 + in.Byte() * 4u;
  FUZZ_CHECK(ring.Alloc(capacity));
  std::vector<uint8_t> out(70000);
  while (!in.Empty()) {
    const uint8_t op = in.Byte();
    if (op & 0x80) {
      uint32_t room = (op & 0x40) ? static_cast<uint32_t>(out.size()) : in.Byte();
      const uint32_t peeked = ring.Peek();
      const bool has = ring.HasMessage();
      const int kind = ring.Pop(out.data(), room);
      if (!has) FUZZ_CHECK(kind == ZNET_POP_NONE && room == 0);
      if (has) FUZZ_CHECK(kind != ZNET_POP_NONE || room == peeked);
      if (kind != ZNET_POP_NONE) {
        FUZZ_CHECK(room == peeked);
        CheckPopped(kind, std::string(reinterpret_cast<char*>(out.data()), room));
      }
    } else {
      const std::string chunk = in.Take(op % 64 + 1u);
      const uint32_t before = ring.Count();
      const int pushed = ring.Push(chunk.data(), static_cast<uint32_t>(chunk.size()));
      if (pushed) FUZZ_CHECK(ring.Count() <= capacity && ring.Count() >= chunk.size());
      if (!pushed) FUZZ_CHECK(ring.Count() <= before);
    }
    FUZZ_CHECK(ring.Count() <= capacity);
  }
  return 0;
}

// Payloads framed with junk (without FF) between them, cut at random points: every payload
// pops, in order.
int FrameRoundTrip(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  std::vector<std::string> payloads;
  std::string wire;
  while (!in.Empty() && payloads.size() < 64) {
    std::string junk = in.Take(in.Byte() % 8);
    for (char& c : junk) {
      if (c == '\xFF') c = '\xFE';
    }
    wire += junk;
    const size_t n = in.Byte() * 8u + in.Byte() % 8;
    payloads.push_back(in.Take(n));
    wire += Frame(payloads.back());
  }
  ZNetStack ring;
  FUZZ_CHECK(ring.Alloc(70000));
  std::vector<uint8_t> out(70000);
  size_t popped = 0, at = 0, cut = 1;
  while (at < wire.size() || ring.HasMessage()) {
    if (at < wire.size()) {
      cut = cut * 1103515245u + 12345u;
      const size_t n = std::min(wire.size() - at, 1 + (cut >> 8) % 700);
      FUZZ_CHECK(ring.Push(wire.data() + at, static_cast<uint32_t>(n)));
      at += n;
    }
    for (;;) {
      uint32_t length = static_cast<uint32_t>(out.size());
      const int kind = ring.Pop(out.data(), length);
      if (kind == ZNET_POP_NONE) break;
      FUZZ_CHECK(kind == ZNET_POP_DATA);
      FUZZ_CHECK(popped < payloads.size());
      FUZZ_CHECK(std::string(reinterpret_cast<char*>(out.data()), length) == payloads[popped]);
      ++popped;
    }
  }
  FUZZ_CHECK(popped == payloads.size());
  return 0;
}

struct StackResult {
  bool complete, overflow;
  std::string body, header;
  ZHTTPRESPONSE_INFO info;
};

bool Terminated(const char* field, size_t size) { return std::memchr(field, 0, size) != nullptr; }

StackResult ReadStack(const ZHTTPStack& stack) {
  StackResult r{};
  r.overflow = stack.Overflowed();
  r.complete = stack.GetResponseInfo(&r.info) == 1;
  FUZZ_CHECK(stack.BodySize() <= stack.Used());
  std::vector<char> out(stack.Capacity() + 1);
  uint32_t length = static_cast<uint32_t>(out.size());
  if (stack.GetBody(out.data(), length)) {
    FUZZ_CHECK(length == stack.BodySize() && length <= stack.Used());
    r.body.assign(out.data(), length);
  }
  if (stack.GetResponseInfo(out.data(), static_cast<uint32_t>(out.size()))) r.header = out.data();
  if (r.complete) {
    FUZZ_CHECK(Terminated(r.info.contentEncoding, sizeof r.info.contentEncoding));
    FUZZ_CHECK(Terminated(r.info.contentType, sizeof r.info.contentType));
    FUZZ_CHECK(Terminated(r.info.server, sizeof r.info.server));
    FUZZ_CHECK(Terminated(r.info.location, sizeof r.info.location));
    FUZZ_CHECK(Terminated(r.info.date, sizeof r.info.date));
    FUZZ_CHECK(r.info.contentLength >= 0 && r.info.status <= 999);
  }
  return r;
}

// A response in arbitrary chunks gives what it gives in one piece.
int HttpStack(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  const uint32_t capacity = 1 + in.Byte() * 4u;
  const uint8_t seed = in.Byte();
  const std::string reply = in.Rest();
  ZHTTPStack whole, split;
  FUZZ_CHECK(whole.Alloc(capacity) && split.Alloc(capacity));
  whole.Push(reply.data(), static_cast<uint32_t>(reply.size()));
  uint32_t cut = seed;
  for (size_t at = 0; at < reply.size();) {
    cut = cut * 1103515245u + 12345u;
    const size_t n = std::min(reply.size() - at, static_cast<size_t>(1 + (cut >> 8) % 40));
    split.Push(reply.data() + at, static_cast<uint32_t>(n));
    at += n;
  }
  const StackResult a = ReadStack(whole), b = ReadStack(split);
  FUZZ_CHECK(a.overflow == b.overflow && a.complete == b.complete);
  FUZZ_CHECK(a.body == b.body && a.header == b.header);
  if (a.complete) {
    FUZZ_CHECK(std::strcmp(a.info.location, b.info.location) == 0);
    FUZZ_CHECK(std::strcmp(a.info.contentType, b.info.contentType) == 0);
    FUZZ_CHECK(a.info.status == b.info.status && a.info.contentLength == b.info.contentLength);
  }
  return 0;
}

// URL parsing and the text codecs on arbitrary text.
int UrlCodecs(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();  // up to the first zero
  ZHTTPRequest request(text.c_str());
  FUZZ_CHECK(Terminated(request.host, sizeof request.host));
  FUZZ_CHECK(Terminated(request.path, sizeof request.path));
  FUZZ_CHECK(request.port >= 1);
  for (uint32_t i = 0; i < request.Count(); ++i) {
    FUZZ_CHECK(request.IsParam(i) && request.Length(i) >= 1);
  }

  std::vector<char> out(text.size() * 3 + 8);
  const uint32_t decoded = ClassZConnect::UrlDecode(out.data(), text.c_str());
  FUZZ_CHECK(decoded <= text.size());
  const uint32_t encoded = ClassZConnect::UrlEncode(out.data(), text.c_str());
  FUZZ_CHECK(encoded <= text.size() * 3 && out[encoded] == 0);
  std::vector<char> back(encoded + 1);
  FUZZ_CHECK(ClassZConnect::UrlDecode(back.data(), out.data()) == text.size());
  FUZZ_CHECK(std::memcmp(back.data(), text.data(), text.size()) == 0);

  const uint32_t b64 = ClassZConnect::Base64Encode(out.data(), text.c_str());
  FUZZ_CHECK(b64 == (text.size() + 2) / 3 * 4);
  FUZZ_CHECK(ClassZConnect::Base64Decode(back.data(), out.data()) == text.size());
  FUZZ_CHECK(std::memcmp(back.data(), text.data(), text.size()) == 0);
  FUZZ_CHECK(ClassZConnect::Base64Decode(out.data(), text.c_str()) <= text.size());

  char host[16], path[16];
  ClassZConnect::SplitURL(text.c_str(), host, path, static_cast<uint32_t>(size), sizeof host, sizeof path);
  FUZZ_CHECK(Terminated(host, sizeof host) && Terminated(path, sizeof path));
  char mime[ZHTTP_MIME_SIZE];
  ZHTTPRequest::GetMimeType(mime, text.c_str());
  FUZZ_CHECK(Terminated(mime, sizeof mime));
  ClassZConnect::AtoIPA(text.c_str());
  return 0;
}

struct Framework : ClassZolt {};

// Random parameter sets: the Content-Length is the body's size and the body parses back
// to the same entries.
int RequestBuilder(const uint8_t* data, size_t size) {
  FuzzInput in{data, size};
  ZHTTPRequest request;
  std::strcpy(request.host, "127.0.0.1");
  request.port = 80;
  const bool multipart = in.Byte() & 1;
  std::vector<std::pair<std::string, std::string>> params;
  while (!in.Empty() && params.size() < 40) {
    std::string name = in.Take(in.Byte() % 8 + 1);
    for (char& c : name) c = "abcdefghijklmnopqrstuvwxyz0123456789_"[static_cast<uint8_t>(c) % 37];
    std::string value = in.Take(in.Byte());
    const bool isData = multipart && (in.Byte() & 1);
    if (isData) {
      FUZZ_CHECK(request.AddData(name.c_str(), reinterpret_cast<const uint8_t*>(value.data()),
                                 static_cast<uint32_t>(value.size()), "f.bin"));
    } else {
      value = value.c_str();
      FUZZ_CHECK(request.AddParam(name.c_str(), value.c_str()));
    }
    params.emplace_back(name, value);
  }
  // The second transport builds the text but never opens a socket.
  Framework fw;
  ClassZConnect conn;
  FUZZ_CHECK(conn.Init(2, &fw) == 0);
  if (multipart) {
    conn.SendHTTPPostMultipart(&request);
  } else {
    conn.SendHTTPPost(&request);
  }
  FUZZ_CHECK(conn.GetPending() != nullptr);
  const std::string text(reinterpret_cast<const char*>(conn.GetPending()),
                         static_cast<size_t>(conn.GetPendingLength()));
  const size_t end = text.find("\r\n\r\n");
  FUZZ_CHECK(end != std::string::npos);
  const std::string header = text.substr(0, end), body = text.substr(end + 4);
  const size_t lengthAt = header.find("Content-Length: ");
  FUZZ_CHECK(lengthAt != std::string::npos);
  FUZZ_CHECK(std::strtoul(header.c_str() + lengthAt + 16, nullptr, 10) == body.size());

  if (!multipart) {
    size_t at = 0, i = 0;
    while (at < body.size() || i < params.size()) {
      FUZZ_CHECK(i < params.size());
      size_t amp = body.find('&', at);
      if (amp == std::string::npos) amp = body.size();
      const std::string pair = body.substr(at, amp - at);
      const size_t eq = pair.find('=');
      FUZZ_CHECK(eq != std::string::npos && pair.substr(0, eq) == params[i].first);
      std::vector<char> value(pair.size() + 1);
      const uint32_t n = ClassZConnect::UrlDecode(value.data(), pair.substr(eq + 1).c_str());
      FUZZ_CHECK(std::string(value.data(), n) == params[i].second);
      at = amp + 1;
      ++i;
    }
    return 0;
  }
  const std::string key = "boundary=";
  const size_t b = header.find(key);
  FUZZ_CHECK(b != std::string::npos);
  const std::string boundary = "--" + header.substr(b + key.size(), 40);
  size_t at = 0;
  for (const auto& p : params) {
    FUZZ_CHECK(body.compare(at, boundary.size(), boundary) == 0);
    const size_t headEnd = body.find("\r\n\r\n", at);
    FUZZ_CHECK(headEnd != std::string::npos);
    const std::string partHead = body.substr(at, headEnd - at);
    FUZZ_CHECK(partHead.find("name=\"" + p.first + "\"") != std::string::npos);
    at = headEnd + 4;
    FUZZ_CHECK(body.compare(at, p.second.size(), p.second) == 0);
    at += p.second.size();
    FUZZ_CHECK(body.compare(at, 2, "\r\n") == 0);
    at += 2;
  }
  if (!params.empty()) FUZZ_CHECK(body.substr(at) == boundary + "--\r\n");
  if (params.empty()) FUZZ_CHECK(body.empty());
  return 0;
}

}  // namespace

int FuzzFrameReceiver(const uint8_t* data, size_t size) { return FrameReceiver(data, size); }
int FuzzFrameRoundTrip(const uint8_t* data, size_t size) { return FrameRoundTrip(data, size); }
int FuzzHttpStack(const uint8_t* data, size_t size) { return HttpStack(data, size); }
int FuzzUrlCodecs(const uint8_t* data, size_t size) { return UrlCodecs(data, size); }
int FuzzRequestBuilder(const uint8_t* data, size_t size) { return RequestBuilder(data, size); }
