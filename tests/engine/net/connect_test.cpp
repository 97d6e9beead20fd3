// ClassZConnect against real peers on 127.0.0.1.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/zmod_std.h"
#include "tests/engine/net/net_test_util.h"

using namespace nettest;

namespace {

const char kLoopback[] = "127.0.0.1";

int RawConnect(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(0, connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a));
  return fd;
}

std::string ReadAvailable(int fd, size_t want) {
  std::string got;
  char buffer[4096];
  PumpUntil([&] {
    const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) got.append(buffer, static_cast<size_t>(n));
  }, [&] { return got.size() >= want; });
  return got;
}

// A client connection with a recording framework and capture.
struct Client {
  RecordingFramework framework;
  RecordingCapture capture;
  ClassZConnect conn;
  Client() {
    EXPECT_EQ(0, conn.Init(1, &framework));
    conn.AttachNetCapture(&capture);
  }
};

// A listening server connection on 127.0.0.1 and any free port.
struct Server {
  RecordingFramework framework;
  RecordingCapture capture;
  ClassZConnect conn;
  Server() {
    EXPECT_EQ(0, conn.Init(1, &framework));
    conn.AttachNetCapture(&capture);
    EXPECT_EQ(1, conn.SetBindAddress(kLoopback));
    EXPECT_EQ(1, conn.SearchHost(nullptr, 0));
  }
  uint16_t Port() const { return conn.GetBoundPort(); }
};

std::string GamePostReply(LoopbackServer& server, Client& c) {
  c.capture.hook = [&](const Message&) { server.Acknowledge(c.capture.Data().size()); };
  EXPECT_TRUE(PumpUntil(c.conn, [&] { return c.capture.Count(ZNET_MSG_CLOSED) > 0; }));
  return c.capture.Data();
}

}  // namespace

TEST(Connect, InitAndSetupTable) {
  RecordingFramework fw;
  ClassZConnect conn;
  EXPECT_EQ(3, conn.Init(3, &fw));
  EXPECT_EQ(3, conn.Init(0, &fw));
  EXPECT_EQ(4, conn.Init(1, nullptr));
  EXPECT_EQ(0, conn.SearchHost(kLoopback, 80)) << "not initialised";

  EXPECT_EQ(0, conn.Init(2, &fw));
  EXPECT_EQ(0, conn.SearchHost(kLoopback, 80)) << "second transport has no sockets";
  EXPECT_EQ(0, conn.SearchHost(nullptr, 0));
  EXPECT_EQ(-1, conn.CreateSocket());

  EXPECT_EQ(0, conn.Init(1, &fw));
  EXPECT_EQ(0, conn.SearchHost(kLoopback, 0)) << "a client needs a port";
  EXPECT_EQ(0, conn.SearchHost(kLoopback, 65536));
  EXPECT_EQ(0, conn.SetBindAddress("not.an.address"));

  conn.SetConnectID(40);
  ASSERT_EQ(1, conn.SetBindAddress(kLoopback));
  ASSERT_EQ(1, conn.SearchHost(nullptr, 0));
  ASSERT_EQ(1u, fw.messages.size());
  EXPECT_EQ(ZNET_MSG_LISTENING, fw.messages[0].type);
  EXPECT_EQ("127.0.0.1", fw.messages[0].data);
  EXPECT_EQ(15, fw.lastConnectID);
  EXPECT_NE(0, conn.GetBoundPort());
  EXPECT_TRUE(conn.IsServer());
  conn.Cleanup();
  EXPECT_EQ(0, conn.GetBoundPort());
  conn.CallNetMessage(0, ZNET_MSG_DATA, 0, nullptr);  // no receiver after Cleanup: dropped
  EXPECT_EQ(1u, fw.messages.size());
}

TEST(Connect, SecondInitClosesTheFirstConnection) {
  LoopbackServer server({{}, LoopbackServer::End::kHold});
  Client c;
  ASSERT_EQ(1, c.conn.SearchHost(kLoopback, server.Port()));
  ASSERT_TRUE(PumpUntil(c.conn, [&] { return c.capture.Count(ZNET_MSG_CONNECTED) == 1; }));
  EXPECT_EQ(0, c.conn.Init(1, &c.framework));
  // The server reads the request until the peer closes: it sees the end of the stream.
  EXPECT_TRUE(PumpUntil([] {}, [&] { return server.Requests().size() == 1; }));
  EXPECT_EQ("", server.Requests()[0]);
}

TEST(Connect, GamePostSequence) {
  const std::string reply1 = "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\n";
  LoopbackServer server({{reply1, "1"}, LoopbackServer::End::kClose});
  Client c;
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/highscoresubmit.php";
  ZHTTPRequest request(url.c_str());
  request.AddParam("game_id", 12);
  request.AddParam("code", "ABC123");
  request.AddParam("name", "Jo Doe!");
  request.AddParam("score", 4711);
  ASSERT_EQ(1, c.conn.SendHTTPPost(&request));
  EXPECT_TRUE(c.capture.messages.empty()) << "message 0 comes from a later poll";
  EXPECT_EQ(reply1 + "1", GamePostReply(server, c));

  const std::string expected =
      "POST /highscoresubmit.php HTTP/1.0\r\nHost: 127.0.0.1\r\n"
      "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 46\r\n"
      "Accept: */*\r\nUser-Agent: Zolt/2.87\r\n\r\n"
      "game_id=12&code=ABC123&name=Jo+Doe!&score=4711";
  ASSERT_EQ(1u, server.Requests().size());
  EXPECT_EQ(expected, server.Requests()[0]);
  // Message 255 went to the framework despite the capture, with the bytes sent.
  ASSERT_EQ(1u, c.framework.messages.size());
  EXPECT_EQ(ZNET_MSG_REQUEST, c.framework.messages[0].type);
  EXPECT_EQ(expected, c.framework.messages[0].data);

  const auto& m = c.capture.messages;
  ASSERT_GE(m.size(), 3u);
  EXPECT_EQ(ZNET_MSG_CONNECTED, m.front().type);
  EXPECT_EQ("127.0.0.1", m.front().data);
  for (size_t i = 1; i + 1 < m.size(); ++i) EXPECT_EQ(ZNET_MSG_DATA, m[i].type);
  EXPECT_EQ(ZNET_MSG_CLOSED, m.back().type);
  EXPECT_EQ(0, m.back().client);
  EXPECT_EQ(1, c.capture.Count(ZNET_MSG_CLOSED));
  EXPECT_GE(c.capture.Count(ZNET_MSG_DATA), 2) << "the chunks came in separate polls";
  EXPECT_FALSE(c.conn.IsConnected());
}

TEST(Connect, GetAndOptionalHeaders) {
  LoopbackServer server({{"HTTP/1.0 200 OK\r\n\r\n"}, LoopbackServer::End::kClose});
  Client c;
  ZHTTPRequest r;
  ClassZStd::StrCpy(r.host, kLoopback, sizeof r.host);
  ClassZStd::StrCpy(r.path, "/a b", sizeof r.path);
  ClassZStd::StrCpy(r.referer, "http://r/", sizeof r.referer);
  ClassZStd::StrCpy(r.user, "user", sizeof r.user);
  ClassZStd::StrCpy(r.password, "pass", sizeof r.password);
  r.gzip = 1;
  r.connection = ZHTTP_CONNECTION_CLOSE;
  r.port = server.Port();
  r.AddParam("x", "1");
  r.AddParam("y", "a b");
  const uint8_t data[2] = {1, 2};
  r.AddData("file", data, 2);  // not part of a GET: no stray '&'
  ASSERT_EQ(1, c.conn.SendHTTPGet(&r));
  GamePostReply(server, c);
  ASSERT_EQ(1u, server.Requests().size());
  EXPECT_EQ(
      "GET /a%20b?x=1&y=a+b HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\nAccept: */*\r\n"
      "User-Agent: Zolt/2.87\r\nReferer: http://r/\r\nAuthorization: Basic dXNlcjpwYXNz\r\n"
      "Accept-Encoding: gzip\r\n\r\n",
      server.Requests()[0]);
}

TEST(Connect, MultipartParsesBack) {
  LoopbackServer server({{"HTTP/1.0 200 OK\r\n\r\nok"}, LoopbackServer::End::kClose});
  Client c;
  ZHTTPRequest r;
  ClassZStd::StrCpy(r.host, kLoopback, sizeof r.host);
  ClassZStd::StrCpy(r.path, "/up", sizeof r.path);
  r.port = server.Port();
  r.connection = ZHTTP_CONNECTION_KEEPALIVE;
  r.AddParam("a", "1");
  const std::string blob("\0\r\n--x\xFF", 7);
  r.AddData("d", reinterpret_cast<const uint8_t*>(blob.data()), static_cast<uint32_t>(blob.size()), "f.bin");
  ASSERT_EQ(1, c.conn.SendHTTPPostMultipart(&r));
  EXPECT_EQ("ok", GamePostReply(server, c).substr(19));
  ASSERT_EQ(1u, server.Requests().size());
  const std::string got = server.Requests()[0];

  const std::string key = "boundary=";
  const size_t at = got.find(key);
  ASSERT_NE(std::string::npos, at);
  const std::string boundary = got.substr(at + key.size(), 40);
  EXPECT_EQ(std::string(32, '-'), boundary.substr(0, 32));
  const std::string body =
      "--" + boundary + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n"
      "--" + boundary + "\r\nContent-Disposition: form-data; name=\"d\"; filename=\"f.bin\"\r\n"
      "Content-Type: application/octet-stream\r\n\r\n" + blob + "\r\n"
      "--" + boundary + "--\r\n";
  const std::string expected =
      "POST /up HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Type: multipart/form-data; boundary=" +
      boundary + "\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\nConnection: Keep-Alive\r\nAccept: */*\r\nUser-Agent: Zolt/2.87\r\n\r\n" + body;
  EXPECT_EQ(expected, got);

  // Without entries there is no closing line, and the length says so.
  LoopbackServer empty({{"HTTP/1.0 200 OK\r\n\r\n"}, LoopbackServer::End::kClose});
  Client c2;
  ZHTTPRequest none;
  ClassZStd::StrCpy(none.host, kLoopback, sizeof none.host);
  none.port = empty.Port();
  ASSERT_EQ(1, c2.conn.SendHTTPPostMultipart(&none));
  GamePostReply(empty, c2);
  ASSERT_EQ(1u, empty.Requests().size());
  EXPECT_NE(std::string::npos, empty.Requests()[0].find("Content-Length: 0\r\n"));
  EXPECT_EQ("\r\n\r\n", empty.Requests()[0].substr(empty.Requests()[0].size() - 4));
}

TEST(Connect, LargeBodiesGoOutWhole) {
  LoopbackServer server({{"HTTP/1.0 200 OK\r\n\r\n"}, LoopbackServer::End::kClose});
  Client c;
  ZHTTPRequest r;
  ClassZStd::StrCpy(r.host, kLoopback, sizeof r.host);
  r.port = server.Port();
  const std::string value(16000, '/');  // 48,000 bytes once encoded
  ASSERT_EQ(1, r.AddParam("v", value.c_str()));
  ASSERT_EQ(1, c.conn.SendHTTPPost(&r));
  GamePostReply(server, c);
  ASSERT_EQ(1u, server.Requests().size());
  const std::string got = server.Requests()[0];
  const size_t end = got.find("\r\n\r\n");
  EXPECT_NE(std::string::npos, got.find("Content-Length: 48002\r\n"));
  EXPECT_EQ(48002u, got.size() - end - 4);

  // Megabytes do not go out in one send: the rest follows on later polls.
  LoopbackServer big({{"HTTP/1.0 200 OK\r\n\r\n"}, LoopbackServer::End::kClose});
  Client c2;
  ZHTTPRequest m;
  ClassZStd::StrCpy(m.host, kLoopback, sizeof m.host);
  m.port = big.Port();
  std::string blob(3 << 20, '\0');
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<char>(i * 7 + i / 4096);
  ASSERT_EQ(1, m.AddData("blob", reinterpret_cast<const uint8_t*>(blob.data()), static_cast<uint32_t>(blob.size())));
  ASSERT_EQ(1, c2.conn.SendHTTPPostMultipart(&m));
  GamePostReply(big, c2);
  ASSERT_EQ(1u, big.Requests().size());
  const std::string sent = big.Requests()[0];
  EXPECT_NE(std::string::npos, sent.find("\r\n\r\n" + blob + "\r\n--"));
}

TEST(Connect, UnsafeRequestsAreRefused) {
  RecordingFramework fw;
  ClassZConnect conn;
  ASSERT_EQ(0, conn.Init(1, &fw));
  auto base = [] {
    auto r = std::make_unique<ZHTTPRequest>();
    ClassZStd::StrCpy(r->host, kLoopback, sizeof r->host);
    r->port = ClosedPort();
    return r;
  };
  std::vector<std::unique_ptr<ZHTTPRequest>> bad;
  bad.push_back(base());
  ClassZStd::StrCpy(bad.back()->host, "", sizeof bad.back()->host);
  bad.push_back(base());
  bad.back()->port = 0;
  bad.push_back(base());
  bad.back()->port = 70000;
  bad.push_back(base());
  ClassZStd::StrCpy(bad.back()->path, "/x\r\nEvil: 1", sizeof bad.back()->path);
  bad.push_back(base());
  ClassZStd::StrCpy(bad.back()->userAgent, "a\nb", sizeof bad.back()->userAgent);
  bad.push_back(base());
  ClassZStd::StrCpy(bad.back()->referer, "r\r", sizeof bad.back()->referer);
  bad.push_back(base());
  for (char& ch : bad.back()->host) ch = 'h';  // no terminator inside the field
  bad.push_back(base());
  bad.back()->AddParam("x\r\ny", "1");
  for (const auto& r : bad) {
    EXPECT_EQ(0, conn.SendHTTPGet(r.get()));
    EXPECT_EQ(0, conn.SendHTTPPost(r.get()));
    EXPECT_EQ(0, conn.SendHTTPPostMultipart(r.get()));
    EXPECT_EQ(nullptr, conn.GetPending());
  }
  auto quoted = base();
  quoted->AddParam("a\"b", "1");
  EXPECT_EQ(0, conn.SendHTTPPostMultipart(quoted.get()));
  EXPECT_EQ(0, conn.SendHTTPPost(static_cast<const ZHTTPRequest*>(nullptr)));
  EXPECT_TRUE(fw.messages.empty());
}

TEST(Connect, GameCaptureOutcomes) {
  // The game's submission: a 512-byte response buffer, "1" means posted, any other body
  // is shown (cut to 255 characters); a final state ignores later messages.
  struct ScoreCapture : ClassZNetCapture {
    ZHTTPStack stack;
    int state = 0;
    std::string error;
    void OnNetMessage(int32_t, int32_t type, int32_t len, uint8_t* data) override {
      if (state == 253 || state == 255) return;
      if (type == ZNET_MSG_CONNECTED) state = 1;
      if (type == ZNET_MSG_DATA) stack.Push(data, static_cast<uint32_t>(len));
      if (type != ZNET_MSG_CLOSED) return;
      const uint32_t size = stack.BodySize();
      char body[512];
      uint32_t length = sizeof body - 1;
      if (size == 0 || size > 511 || !stack.GetBody(body, length)) {
        state = 255;
        error = "Invalid response";
        return;
      }
      body[length] = 0;
      if (length == 1 && body[0] == '1') {
        state = 253;
      } else {
        state = 255;
        error = std::string(body).substr(0, 255);
      }
    }
  };
  const std::string ok = "HTTP/1.0 200 OK\r\n\r\n";
  const struct {
    std::vector<std::string> chunks;
    int state;
    std::string error;
  } cases[] = {
      {{ok + "1"}, 253, ""},
      {{ok, "1"}, 253, ""},
      {{ok + "1\r\n"}, 255, "1\r\n"},
      {{ok}, 255, "Invalid response"},
      {{ok + std::string(581, 'x')}, 255, "Invalid response"},
      {{ok + "1", std::string(600, 'x')}, 255, "Invalid response"},
      {{"HTTP/1.0 200 OK\r\nServ"}, 255, "Invalid response"},
      {{ok + std::string(300, 'e')}, 255, std::string(255, 'e')},
  };
  for (const auto& c : cases) {
    LoopbackServer server({c.chunks, LoopbackServer::End::kClose});
    RecordingFramework fw;
    ScoreCapture capture;
    ClassZConnect conn;
    ASSERT_EQ(0, conn.Init(1, &fw));
    conn.AttachNetCapture(&capture);
    ASSERT_EQ(1, capture.stack.Alloc(512));
    ZHTTPRequest r(("http://127.0.0.1:" + std::to_string(server.Port()) + "/highscoresubmit.php").c_str());
    ASSERT_EQ(1, conn.SendHTTPPost(&r));
    size_t seen = 0;
    EXPECT_TRUE(PumpUntil([&] {
      conn.CheckSockets(nullptr);
      // Releases the next chunk once this one is in (a refused chunk counts too).
      if (capture.stack.Used() != seen || capture.stack.Overflowed()) {
        seen = capture.stack.Used();
        server.Acknowledge(capture.stack.Overflowed() ? SIZE_MAX : seen);
      }
    }, [&] { return capture.state >= 253; }));
    EXPECT_EQ(c.state, capture.state) << c.chunks[0].substr(0, 40);
    EXPECT_EQ(c.error, capture.error);
    conn.Cleanup();
  }
}

TEST(Connect, ErrorPaths) {
  const int before = CountOpenFds();
  // Refused: no message at all, nothing left open, the object still works.
  {
    Client c;
    c.conn.SearchHost(kLoopback, ClosedPort());
    EXPECT_TRUE(PumpUntil(c.conn, [&] { return !c.conn.IsConnected(); }));
    EXPECT_TRUE(c.capture.messages.empty());
    EXPECT_TRUE(c.framework.messages.empty());
    EXPECT_EQ(before, CountOpenFds());

    LoopbackServer server({{}, LoopbackServer::End::kClose, /*closeAtOnce=*/true});
    ASSERT_EQ(1, c.conn.SearchHost(kLoopback, server.Port()));
    ASSERT_TRUE(PumpUntil(c.conn, [&] { return c.capture.Count(ZNET_MSG_CLOSED) == 1; }));
    ASSERT_EQ(2u, c.capture.messages.size()) << "connected, then closed";
    EXPECT_EQ(ZNET_MSG_CONNECTED, c.capture.messages[0].type);
  }
  // A peer that never answers nor closes: polls and the cleanup return at once.
  {
    LoopbackServer server({{}, LoopbackServer::End::kHold});
    Client c;
    ZHTTPRequest r(("http://127.0.0.1:" + std::to_string(server.Port()) + "/").c_str());
    ASSERT_EQ(1, c.conn.SendHTTPPost(&r));
    ASSERT_TRUE(PumpUntil(c.conn, [&] { return server.Requests().size() == 1; }));
    auto slowest = std::chrono::steady_clock::duration::zero();
    for (int i = 0; i < 200; ++i) {
      const auto t0 = std::chrono::steady_clock::now();
      c.conn.CheckSockets(nullptr);
      slowest = std::max(slowest, std::chrono::steady_clock::now() - t0);
    }
    const auto t0 = std::chrono::steady_clock::now();
    c.conn.Cleanup();
    // Generous bounds: these catch a call that waits for the peer, not a slow machine.
    EXPECT_LT(slowest, std::chrono::milliseconds(500));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_EQ(1, c.capture.Count(ZNET_MSG_CONNECTED));
    EXPECT_EQ(0, c.capture.Count(ZNET_MSG_CLOSED));
  }
  EXPECT_EQ(before, CountOpenFds());
}

TEST(Connect, ResetPeerDoesNotKillTheProcess) {
  LoopbackServer server({{}, LoopbackServer::End::kReset});
  Client c;
  ZHTTPRequest r(("http://127.0.0.1:" + std::to_string(server.Port()) + "/").c_str());
  ASSERT_EQ(1, c.conn.SendHTTPPost(&r));
  ASSERT_TRUE(PumpUntil(c.conn, [&] { return server.Requests().size() == 1; }));
  server.Stop();  // the peer is gone with a reset
  const uint8_t bytes[64] = {};
  for (int i = 0; i < 20; ++i) c.conn.SendRaw(bytes, sizeof bytes, 0);  // no SIGPIPE
  EXPECT_TRUE(PumpUntil(c.conn, [&] { return c.capture.Count(ZNET_MSG_CLOSED) == 1; }));
  EXPECT_EQ(0, c.conn.SendRaw(bytes, sizeof bytes, 0)) << "closed";
}

TEST(Connect, NoDescriptorLeaksOverManyCycles) {
  LoopbackServer server({{"HTTP/1.0 200 OK\r\n\r\n1"}, LoopbackServer::End::kClose}, 100);
  RecordingFramework fw;
  RecordingCapture capture;
  ClassZConnect conn;
  conn.AttachNetCapture(&capture);
  const int before = CountOpenFds();
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(0, conn.Init(1, &fw));
    ZHTTPRequest r(("http://127.0.0.1:" + std::to_string(server.Port()) + "/").c_str());
    ASSERT_EQ(1, conn.SendHTTPPost(&r));
    const int want = capture.Count(ZNET_MSG_CONNECTED) + 1;
    ASSERT_TRUE(PumpUntil(conn, [&] { return capture.Count(ZNET_MSG_CONNECTED) == want; })) << i;
    conn.Cleanup();
  }
  // The server thread's own descriptors count in this process too: let it finish first.
  EXPECT_TRUE(PumpUntil([] {}, [&] { return server.Requests().size() == 100; }));
  server.Stop();
  EXPECT_EQ(before, CountOpenFds());
}

TEST(Connect, CaptureMayCleanUpInsideAMessage) {
  LoopbackServer server({{"HTTP/1.0 200 OK\r\n\r\n", "more"}, LoopbackServer::End::kHold});
  Client c;
  c.capture.hook = [&](const Message& m) {
    if (m.type == ZNET_MSG_DATA) c.conn.Cleanup();
  };
  ZHTTPRequest r(("http://127.0.0.1:" + std::to_string(server.Port()) + "/").c_str());
  ASSERT_EQ(1, c.conn.SendHTTPPost(&r));
  ASSERT_TRUE(PumpUntil(c.conn, [&] { return c.capture.Count(ZNET_MSG_DATA) == 1; }));
  const size_t count = c.capture.messages.size();
  for (int i = 0; i < 50; ++i) c.conn.CheckSockets(nullptr);
  EXPECT_EQ(count, c.capture.messages.size());
}

TEST(Connect, CleanupInsideConnectedAndServerMessages) {
  // Inside message 0: the request is dropped unsent, and no message 255 follows.
  {
    LoopbackServer server({{}, LoopbackServer::End::kClose});
    Client c;
    c.capture.hook = [&](const Message& m) {
      if (m.type == ZNET_MSG_CONNECTED) c.conn.Cleanup();
    };
    ZHTTPRequest r(("http://127.0.0.1:" + std::to_string(server.Port()) + "/").c_str());
    ASSERT_EQ(1, c.conn.SendHTTPPost(&r));
    ASSERT_TRUE(PumpUntil(c.conn, [&] { return c.capture.Count(ZNET_MSG_CONNECTED) == 1; }));
    ASSERT_TRUE(PumpUntil([] {}, [&] { return server.Requests().size() == 1; }));
    EXPECT_EQ("", server.Requests()[0]);
    EXPECT_TRUE(c.framework.messages.empty());
    EXPECT_EQ(1u, c.capture.messages.size());
  }
  // A server cleaned up on its first client's data while the other clients' data waits
  // in the same poll: nothing more is read or reported, and every client sees the end.
  {
    Server s;
    std::vector<int> raw;
    for (int i = 0; i < 3; ++i) raw.push_back(RawConnect(s.Port()));
    ASSERT_TRUE(PumpUntil(s.conn, [&] { return s.capture.Count(ZNET_MSG_ACCEPTED) == 3; }));
    s.capture.hook = [&](const Message& m) {
      if (m.type == ZNET_MSG_DATA) s.conn.Cleanup();
    };
    for (int fd : raw) ASSERT_EQ(1, send(fd, "x", 1, 0));
    ASSERT_TRUE(PumpUntil(s.conn, [&] { return s.capture.Count(ZNET_MSG_DATA) == 1; }));
    const size_t count = s.capture.messages.size();
    for (int i = 0; i < 50; ++i) s.conn.CheckSockets(nullptr);
    EXPECT_EQ(count, s.capture.messages.size());
    for (int fd : raw) {
      char byte;
      EXPECT_TRUE(PumpUntil([] {}, [&] { return recv(fd, &byte, 1, MSG_DONTWAIT) == 0; })) << "closed";
      close(fd);
    }
  }
}

TEST(Connect, CaptureAndConnectionDetachEachOther) {
  RecordingFramework fw;
  auto conn = std::make_unique<ClassZConnect>();
  ASSERT_EQ(0, conn->Init(1, &fw));
  {
    RecordingCapture capture;
    conn->AttachNetCapture(&capture);
    EXPECT_EQ(conn.get(), capture.GetConnection());
  }
  EXPECT_EQ(nullptr, conn->GetNetCapture());
  conn->CallNetMessage(0, ZNET_MSG_DATA, 0, nullptr);
  EXPECT_EQ(1u, fw.messages.size()) << "back to the framework";

  RecordingCapture capture;
  conn->AttachNetCapture(&capture);
  ClassZConnect other;
  other.AttachNetCapture(&capture);  // moves: the first connection forgets it
  EXPECT_EQ(nullptr, conn->GetNetCapture());
  EXPECT_EQ(&other, capture.GetConnection());
  conn->AttachNetCapture(&capture);
  conn.reset();
  EXPECT_EQ(nullptr, capture.GetConnection());
  EXPECT_EQ(nullptr, other.GetNetCapture());
}

TEST(Connect, ServerRoleAcceptsReadsAndReusesSlots) {
  Server s;
  ASSERT_EQ(1, s.capture.Count(ZNET_MSG_LISTENING));
  EXPECT_EQ("127.0.0.1", s.capture.messages[0].data);
  std::vector<int> raw;
  for (int i = 0; i < 17; ++i) raw.push_back(RawConnect(s.Port()));
  ASSERT_TRUE(PumpUntil(s.conn, [&] { return s.capture.Count(ZNET_MSG_ACCEPTED) == 16; }));
  for (int i = 0; i < 20; ++i) s.conn.CheckSockets(nullptr);
  EXPECT_EQ(16, s.capture.Count(ZNET_MSG_ACCEPTED)) << "the 17th waits for a free slot";
  int number = 1;
  for (const Message& m : s.capture.messages) {
    if (m.type != ZNET_MSG_ACCEPTED) continue;
    EXPECT_EQ(number++, m.client);
    EXPECT_EQ("127.0.0.1", m.data);
  }
  for (int i = 0; i < 16; ++i) {
    const std::string text = "hello " + std::to_string(i + 1);
    ASSERT_EQ(static_cast<ssize_t>(text.size()), send(raw[i], text.data(), text.size(), 0));
  }
  ASSERT_TRUE(PumpUntil(s.conn, [&] { return s.capture.Count(ZNET_MSG_DATA) >= 16 && s.capture.Data(16).size() == 8; }));
  for (int k = 1; k <= 16; ++k) EXPECT_EQ("hello " + std::to_string(k), s.capture.Data(k));

  close(raw[4]);  // client 5
  ASSERT_TRUE(PumpUntil(s.conn, [&] { return s.capture.Count(ZNET_MSG_ACCEPTED) == 17; }));
  const Message& closed = s.capture.messages[s.capture.messages.size() - 2];
  EXPECT_EQ(ZNET_MSG_CLOSED, closed.type);
  EXPECT_EQ(5, closed.client);
  EXPECT_EQ(5, s.capture.messages.back().client) << "the freed slot is taken again";
  // Data to one slot reaches only that client.
  ASSERT_EQ(1, s.conn.SendRaw(reinterpret_cast<const uint8_t*>("to5"), 3, 5));
  EXPECT_EQ("to5", ReadAvailable(raw[16], 3));
  EXPECT_EQ(0, s.conn.SendRaw(reinterpret_cast<const uint8_t*>("x"), 1, 17));
  for (int fd : raw) close(fd);
}

TEST(Connect, HostNamesAreLookedUpAndUrlFormsSend) {
  LoopbackServer server({{"HTTP/1.0 200 OK\r\n\r\nok"}, LoopbackServer::End::kClose});
  Client c;
  const std::string url = "http://localhost:" + std::to_string(server.Port()) + "/p?q=a%26b";
  ASSERT_EQ(1, c.conn.SendHTTPGet(url.c_str()));
  GamePostReply(server, c);
  ASSERT_FALSE(c.capture.messages.empty());
  EXPECT_EQ("127.0.0.1", c.capture.messages[0].data) << "message 0 carries the looked-up address";
  ASSERT_EQ(1u, server.Requests().size());
  EXPECT_EQ(0u, server.Requests()[0].find("GET /p?q=a%26b HTTP/1.0\r\nHost: localhost\r\n"));
}

namespace {

// Names that take seconds to look up: "slow.test" is 127.0.0.1, any other name is not
// found. In place of the system's resolver for the life of the object.
constexpr int kLookupMs = 2500;
struct SlowNames {
  SlowNames() { ZNetLookup::SetResolver(Resolve); }
  ~SlowNames() { ZNetLookup::SetResolver(nullptr); }
  static bool Resolve(const char* name, uint32_t& address) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kLookupMs));
    if (std::string(name) != "slow.test") return false;
    address = INADDR_LOOPBACK;
    return true;
  }
};

using Clock = std::chrono::steady_clock;
int64_t MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

}  // namespace

// A name service that takes seconds holds up no call: the request is taken at once, every
// poll returns at once, and the connection waits in its connecting state until the
// address comes; then the request goes out as it would to a dotted address.
TEST(Connect, ASlowNameLookupHoldsUpNoCallAndConnectsWhenItComes) {
  SlowNames names;
  LoopbackServer server({{"HTTP/1.0 200 OK\r\n\r\n1"}, LoopbackServer::End::kClose});
  Client c;
  const Clock::time_point start = Clock::now();
  const std::string url = "http://slow.test:" + std::to_string(server.Port()) + "/highscoresubmit.php";
  ASSERT_EQ(1, c.conn.SendHTTPPost(url.c_str()));
  EXPECT_LT(MsSince(start), kLookupMs / 5) << "the request waited for the lookup";
  EXPECT_TRUE(c.conn.IsConnected());
  int64_t longest = 0;
  while (c.capture.messages.empty() && MsSince(start) < 60000) {
    const Clock::time_point poll = Clock::now();
    c.conn.CheckSockets(nullptr);
    longest = std::max(longest, MsSince(poll));
    usleep(1000);
  }
  EXPECT_LT(longest, kLookupMs / 5) << "a poll waited for the lookup";
  EXPECT_GE(MsSince(start), kLookupMs) << "connected before the address came";
  EXPECT_EQ("HTTP/1.0 200 OK\r\n\r\n1", GamePostReply(server, c));
  ASSERT_FALSE(c.capture.messages.empty());
  EXPECT_EQ(ZNET_MSG_CONNECTED, c.capture.messages[0].type);
  EXPECT_EQ("127.0.0.1", c.capture.messages[0].data);
  ASSERT_EQ(1u, server.Requests().size());
  EXPECT_EQ(0u, server.Requests()[0].find("POST /highscoresubmit.php HTTP/1.0\r\nHost: slow.test\r\n"));
}

// A name that is not found, and a lookup left behind by a clean-up or a new request, give
// no message and no connection; the request goes with it, and the next one works.
TEST(Connect, ALostOrAbandonedLookupGivesNoMessage) {
  SlowNames names;
  LoopbackServer server({{"HTTP/1.0 200 OK\r\n\r\nok"}, LoopbackServer::End::kClose});
  Client c;
  const std::string port = std::to_string(server.Port());
  ASSERT_EQ(1, c.conn.SendHTTPGet(("http://nowhere.test:" + port + "/").c_str()));
  EXPECT_TRUE(PumpUntil(c.conn, [&] { return !c.conn.IsConnected(); }));
  EXPECT_EQ(nullptr, c.conn.GetPending());

  ASSERT_EQ(1, c.conn.SendHTTPGet(("http://slow.test:" + port + "/").c_str()));
  c.conn.Cleanup();
  ASSERT_EQ(0, c.conn.Init(1, &c.framework));
  c.conn.AttachNetCapture(&c.capture);
  // The answer comes to nobody: no connect, no message, while the polls go on.
  const Clock::time_point start = Clock::now();
  PumpUntil(c.conn, [&] { return MsSince(start) > kLookupMs + 500; });
  EXPECT_TRUE(c.capture.messages.empty());
  EXPECT_TRUE(server.Requests().empty());

  // A request to a dotted address while a lookup runs replaces it.
  ASSERT_EQ(1, c.conn.SendHTTPGet(("http://slow.test:" + port + "/old").c_str()));
  ASSERT_EQ(1, c.conn.SendHTTPGet(("http://127.0.0.1:" + port + "/new").c_str()));
  EXPECT_NE(std::string::npos, GamePostReply(server, c).find("ok"));
  ASSERT_EQ(1u, server.Requests().size());
  EXPECT_EQ(0u, server.Requests()[0].find("GET /new HTTP/1.0\r\n"));
}
