// Framed messages and pings between ClassZConnect instances on 127.0.0.1.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/core/zmod_platform.h"
#include "tests/engine/net/net_test_util.h"

using namespace nettest;

namespace {

// A receiving side: data messages go through a frame ring per client number.
class FrameReceiver : public ClassZNetCapture {
 public:
  explicit FrameReceiver(bool byteByByte) : byteByByte_(byteByByte) {}
  void OnNetMessage(int32_t client, int32_t type, int32_t len, uint8_t* data) override {
    if (type == ZNET_MSG_CONNECTED) ++connected;
    if (type == ZNET_MSG_ACCEPTED) ++accepted;
    if (type != ZNET_MSG_DATA) return;
    ZNetStack& ring = rings_[client];
    if (!ring.Capacity()) ring.Alloc(131072);
    for (int32_t at = 0; at < len;) {
      const int32_t n = byteByByte_ ? 1 : len;
      ASSERT_EQ(1, ring.Push(data + at, static_cast<uint32_t>(n)));
      at += n;
      for (;;) {
        std::vector<uint8_t> out(70000);
        uint32_t length = static_cast<uint32_t>(out.size());
        const int kind = ring.Pop(out.data(), length);
        if (kind == ZNET_POP_NONE) break;
        messages[client].push_back({kind, std::string(reinterpret_cast<char*>(out.data()), length)});
      }
    }
  }
  struct Popped {
    int kind;
    std::string payload;
  };
  std::map<int32_t, std::vector<Popped>> messages;
  int connected = 0;
  int accepted = 0;

 private:
  bool byteByByte_;
  std::map<int32_t, ZNetStack> rings_;
};

struct Peer {
  RecordingFramework framework;
  FrameReceiver receiver;
  ClassZConnect conn;
  explicit Peer(bool byteByByte) : receiver(byteByByte) {
    EXPECT_EQ(0, conn.Init(1, &framework));
    conn.AttachNetCapture(&receiver);
  }
};

struct Network {
  std::unique_ptr<Peer> server;
  std::vector<std::unique_ptr<Peer>> clients;

  Network(int count, bool byteByByte) {
    server = std::make_unique<Peer>(byteByByte);
    EXPECT_EQ(1, server->conn.SetBindAddress("127.0.0.1"));
    EXPECT_EQ(1, server->conn.SearchHost(nullptr, 0));
    for (int i = 0; i < count; ++i) {
      clients.push_back(std::make_unique<Peer>(byteByByte));
      EXPECT_EQ(1, clients.back()->conn.SearchHost("127.0.0.1", server->conn.GetBoundPort()));
      // One at a time, so client i is the server's client number i + 1.
      EXPECT_TRUE(Pump([&] { return server->receiver.accepted == i + 1 && clients.back()->receiver.connected == 1; }));
    }
  }
  bool Pump(const std::function<bool()>& done) {
    return PumpUntil([&] {
      server->conn.CheckSockets(nullptr);
      for (auto& c : clients) c->conn.CheckSockets(nullptr);
    }, done);
  }
};

std::vector<std::string> Payloads(uint32_t seed, int count) {
  std::mt19937 rng(seed);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) {
    std::string p(rng() % 1500, '\0');
    const bool dense = i % 2 == 1;
    for (char& c : p) c = static_cast<char>(dense && rng() % 2 ? 0xFF : rng());
    out.push_back(p);
  }
  out.push_back("");
  out.push_back(std::string("\xFF\xFC", 2));  // data, not a ping
  return out;
}

void ExpectReceived(const std::vector<std::string>& sent, const std::vector<FrameReceiver::Popped>& got) {
  ASSERT_EQ(sent.size(), got.size());
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(ZNET_POP_DATA, got[i].kind) << i;
    EXPECT_EQ(sent[i], got[i].payload) << i;
  }
}

}  // namespace

TEST(ConnectFrames, BothWaysInOrder) {
  for (bool byteByByte : {false, true}) {
    Network net(1, byteByByte);
    Peer& s = *net.server;
    Peer& c = *net.clients[0];
    const std::vector<std::string> up = Payloads(1, 60), down = Payloads(2, 60);
    for (size_t i = 0; i < up.size(); ++i) {
      const auto* u = reinterpret_cast<const uint8_t*>(up[i].data());
      const auto* d = reinterpret_cast<const uint8_t*>(down[i].data());
      ASSERT_EQ(1, c.conn.Send(u, static_cast<int32_t>(up[i].size()), 9));  // a client ignores it
      ASSERT_EQ(1, s.conn.Send(d, static_cast<int32_t>(down[i].size()), 1));
    }
    ASSERT_TRUE(net.Pump([&] {
      return s.receiver.messages[1].size() == up.size() && c.receiver.messages[0].size() == down.size();
    }));
    ExpectReceived(up, s.receiver.messages[1]);
    ExpectReceived(down, c.receiver.messages[0]);
  }
}

TEST(ConnectFrames, ServerBroadcastsToEveryClient) {
  Network net(3, false);
  const std::vector<std::string> payloads = Payloads(3, 20);
  for (const std::string& p : payloads) {
    ASSERT_EQ(1, net.server->conn.Send(reinterpret_cast<const uint8_t*>(p.data()), static_cast<int32_t>(p.size()), 0));
  }
  const std::string only2 = "for client 2";
  ASSERT_EQ(1, net.server->conn.Send(reinterpret_cast<const uint8_t*>(only2.data()), static_cast<int32_t>(only2.size()), 2));
  ASSERT_EQ(0, net.server->conn.Send(reinterpret_cast<const uint8_t*>(only2.data()), 1, 4)) << "slot 4 is free";
  ASSERT_TRUE(net.Pump([&] {
    return net.clients[0]->receiver.messages[0].size() == payloads.size() &&
           net.clients[1]->receiver.messages[0].size() == payloads.size() + 1 &&
           net.clients[2]->receiver.messages[0].size() == payloads.size();
  }));
  for (int i = 0; i < 3; ++i) {
    std::vector<FrameReceiver::Popped> got = net.clients[i]->receiver.messages[0];
    if (i == 1) {
      EXPECT_EQ(only2, got.back().payload);
      got.pop_back();
    }
    ExpectReceived(payloads, got);
  }
  // Clients' frames arrive tagged with their client numbers.
  for (int i = 0; i < 3; ++i) {
    const std::string text = "from " + std::to_string(i + 1);
    ASSERT_EQ(1, net.clients[i]->conn.Send(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int32_t>(text.size()), 0));
  }
  ASSERT_TRUE(net.Pump([&] {
    return net.server->receiver.messages[1].size() == 1 && net.server->receiver.messages[2].size() == 1 &&
           net.server->receiver.messages[3].size() == 1;
  }));
  for (int k = 1; k <= 3; ++k) EXPECT_EQ("from " + std::to_string(k), net.server->receiver.messages[k][0].payload);
}

TEST(ConnectFrames, LargeSendsAreQueuedNotCut) {
  Network net(1, false);
  // Far more than the socket buffers take at once: the rest goes out on later polls.
  std::vector<std::string> payloads;
  for (int i = 0; i < 64; ++i) payloads.push_back(std::string(60000, static_cast<char>(i)));
  for (const std::string& p : payloads) {
    ASSERT_EQ(1, net.clients[0]->conn.Send(reinterpret_cast<const uint8_t*>(p.data()), static_cast<int32_t>(p.size()), 0));
  }
  ASSERT_TRUE(net.Pump([&] { return net.server->receiver.messages[1].size() == payloads.size(); }));
  ExpectReceived(payloads, net.server->receiver.messages[1]);
  const std::vector<uint8_t> tooBig(65535, 1);
  int32_t frameLength = 0;
  EXPECT_EQ(0, net.clients[0]->conn.ZoltSend(0, tooBig.data(), 65535, frameLength, true));
  EXPECT_EQ(0, net.clients[0]->conn.Send(tooBig.data(), 65535, 0));
  EXPECT_EQ(1, net.clients[0]->conn.ZoltSend(0, tooBig.data(), 65527, frameLength, true));
  EXPECT_EQ(65535, frameLength);
}

namespace {
uint64_t g_fakeMicros = 0;
uint64_t FakeNow() { return g_fakeMicros; }
}  // namespace

TEST(ConnectFrames, PingRoundTrip) {
  g_fakeMicros = 1000000000ull;
  ZPlatform_SetClock(FakeNow, nullptr);
  Network net(1, false);
  ClassZConnect& a = net.clients[0]->conn;
  ClassZConnect& b = net.server->conn;
  auto& aGot = net.clients[0]->receiver.messages[0];
  auto& bGot = net.server->receiver.messages[1];

  EXPECT_EQ(0u, a.GetPingTime()) << "no ping sent";
  ASSERT_EQ(1, b.RequestPing(1));  // B's own ping is outstanding while it answers A
  g_fakeMicros += 10000;
  ASSERT_EQ(1, a.RequestPing(0));
  ASSERT_TRUE(net.Pump([&] { return bGot.size() == 1 && aGot.size() == 1; }));
  EXPECT_EQ(ZNET_POP_PING_REQUEST, bGot[0].kind);
  EXPECT_EQ(ZNET_POP_PING_REQUEST, aGot[0].kind);
  g_fakeMicros += 30000;
  ASSERT_EQ(1, b.RespondPing(1));
  ASSERT_TRUE(net.Pump([&] { return aGot.size() == 2; }));
  EXPECT_EQ(ZNET_POP_PING_REPLY, aGot[1].kind);
  EXPECT_EQ(15u, a.GetPingTime()) << "half of 30 ms";
  EXPECT_EQ(0u, a.GetPingTime()) << "once";
  EXPECT_EQ(20u, b.GetPingTime()) << "B's request time was kept while it answered";
  ZPlatform_SetClock(nullptr, nullptr);
}

namespace {

// A raw loopback socket with a tiny receive buffer, so that the kernel soon stops taking
// bytes and the connection has to keep them.
int SmallBufferSocket() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int size = 4096;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  return fd;
}

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// Sends 60,000-byte frames to a peer that reads nothing until one is refused, then reads
// while the sender polls: every frame taken arrives whole and in order, then one more.
void ExpectQueuedFramesArrive(ClassZConnect& sender, uint8_t destination, int peer) {
  std::vector<std::string> taken;
  bool refused = false;
  for (int i = 0; i < 400 && !refused; ++i) {
    std::string p(60000, static_cast<char>(i));
    for (size_t k = 0; k < p.size(); k += 97) p[k] = '\xFF';
    if (sender.Send(reinterpret_cast<const uint8_t*>(p.data()), static_cast<int32_t>(p.size()), destination)) {
      taken.push_back(p);
    } else {
      refused = true;
    }
  }
  ASSERT_TRUE(refused) << "the kernel took everything: nothing was kept back";
  ASSERT_GT(taken.size(), 1u);

  ZNetStack ring;
  ASSERT_EQ(1, ring.Alloc(131072));
  std::vector<std::string> got;
  std::vector<uint8_t> out(70000);
  auto readAll = [&](size_t want) {
    return PumpUntil([&] {
      sender.CheckSockets(nullptr);
      char buffer[8192];
      const ssize_t n = recv(peer, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n <= 0) return;
      ASSERT_EQ(1, ring.Push(buffer, static_cast<uint32_t>(n)));
      for (;;) {
        uint32_t length = static_cast<uint32_t>(out.size());
        if (ring.Pop(out.data(), length) == ZNET_POP_NONE) break;
        got.emplace_back(reinterpret_cast<char*>(out.data()), length);
      }
    }, [&] { return got.size() >= want; }, 20000);
  };
  ASSERT_TRUE(readAll(taken.size()));
  const std::string last = "after the queue ran dry";
  ASSERT_EQ(1, sender.Send(reinterpret_cast<const uint8_t*>(last.data()), static_cast<int32_t>(last.size()), destination));
  taken.push_back(last);
  ASSERT_TRUE(readAll(taken.size()));
  ASSERT_EQ(taken.size(), got.size());
  for (size_t i = 0; i < taken.size(); ++i) EXPECT_TRUE(taken[i] == got[i]) << "frame " << i;
}

}  // namespace

TEST(ConnectFrames, QueuedSendsFlushWholeAndInOrder) {
  // Client role: the peer is a raw server that does not read.
  {
    const int listener = SmallBufferSocket();
    sockaddr_in a = Loopback(0);
    socklen_t size = sizeof a;
    ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a));
    ASSERT_EQ(0, getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size));
    ASSERT_EQ(0, listen(listener, 1));
    Peer client(false);
    ASSERT_EQ(1, client.conn.SearchHost("127.0.0.1", ntohs(a.sin_port)));
    ASSERT_TRUE(PumpUntil(client.conn, [&] { return client.receiver.connected == 1; }));
    const int peer = accept(listener, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    ExpectQueuedFramesArrive(client.conn, 0, peer);
    close(peer);
    close(listener);
  }
  // Server role: the peer is a raw client that does not read.
  {
    Peer server(false);
    ASSERT_EQ(1, server.conn.SetBindAddress("127.0.0.1"));
    ASSERT_EQ(1, server.conn.SearchHost(nullptr, 0));
    const int peer = SmallBufferSocket();
    const sockaddr_in a = Loopback(server.conn.GetBoundPort());
    ASSERT_EQ(0, connect(peer, reinterpret_cast<const sockaddr*>(&a), sizeof a));
    ASSERT_TRUE(PumpUntil(server.conn, [&] { return server.receiver.accepted == 1; }));
    ExpectQueuedFramesArrive(server.conn, 1, peer);
    close(peer);
  }
}
